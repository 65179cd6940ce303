// Zentrel's Information page against the real server: the page asks the
// server, lists KytMEM.IFO under its header, and goes away cleanly while a
// request or a reader is still under way.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <tlhelp32.h>

#include <set>
#include <thread>
#include <vector>

#include "appkit/axhost.h"
#include "infofile.h"
#include "suite/controls.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);

// The ids of this process's threads.
std::set<DWORD> ThreadsOfThisProcess() {
  std::set<DWORD> ids;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  THREADENTRY32 t{};
  t.dwSize = sizeof(t);
  for (BOOL ok = ::Thread32First(snap, &t); ok; ok = ::Thread32Next(snap, &t))
    if (t.th32OwnerProcessID == ::GetCurrentProcessId()) ids.insert(t.th32ThreadID);
  ::CloseHandle(snap);
  return ids;
}

// True when `thread` started in `module` (the control's workers start in
// the control's own module; Wine's threads do not).
bool StartedIn(HANDLE thread, HMODULE module) {
  using QueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static auto query = reinterpret_cast<QueryThread>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  const int kWin32StartAddress = 9;
  ULONG_PTR start = 0;
  if (!module || !query || query(thread, kWin32StartAddress, &start, sizeof(start), nullptr) != 0) return false;
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  return start >= (ULONG_PTR)base && start < (ULONG_PTR)base + nt->OptionalHeader.SizeOfImage;
}

// Handles of the threads of `module` that run now and did not run at `before`.
std::vector<HANDLE> ThreadsStartedSince(const std::set<DWORD>& before, HMODULE module) {
  std::vector<HANDLE> started;
  for (DWORD id : ThreadsOfThisProcess()) {
    if (before.count(id)) continue;
    HANDLE h = ::OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, id);
    if (h && StartedIn(h, module)) started.push_back(h);
    else if (h) ::CloseHandle(h);
  }
  return started;
}

HWND CreateHostWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuorrelInfoPageHost";
  ::RegisterClassW(&wc);
  return ::CreateWindowW(L"QuorrelInfoPageHost", L"Information page host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN |
                         WS_VISIBLE, 10, 10, 700, 560, nullptr, nullptr, wc.hInstance, nullptr);
}

class ZentrelInformationPage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(RegisterControl(SuitePath(L"QUORREL.OCX")), 0);
    ASSERT_EQ(RegisterControl(SuitePath(L"ZENTREL.OCX")), 0);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }

  void SetUp() override {
    ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr) << "a server of another test still runs";
    infotest::SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
    ASSERT_TRUE(server_.Start(TestBinDir() + L"quorrel_host.exe", L"-Control"));
    ASSERT_TRUE(server_.WaitIdle(10000));
    serverWindow_ = WaitForWindow(suite::kInfoServerTitle, L"", server_.Pid(), 10000);
    ASSERT_NE(serverWindow_, nullptr);
    window_ = CreateHostWindow();
    ASSERT_EQ(host_.Create(suite::Control(suite::kCtlZentrel).clsid, window_, RECT{10, 10, 650, 490}, 1001), S_OK);
    HRESULT hr = E_FAIL;
    ASSERT_TRUE(host_.CallBool(suite::kDispInit, {""}, &hr));
    sheet_ = ::GetWindow(host_.hwnd(), GW_CHILD);
    ASSERT_NE(sheet_, nullptr);
    list_ = FindChildById(sheet_, 1004);
    ASSERT_NE(list_, nullptr);
  }
  void TearDown() override {
    host_.Destroy();
    ::DestroyWindow(window_);
    if (server_.Running()) {
      ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", server_.Pid()), WM_CLOSE, 0, 0);
      EXPECT_TRUE(server_.WaitExit(20000));
      EXPECT_EQ(server_.ExitCode(), 0u);
    }
  }
  // Makes the Information page (tab 0) the active page, as a click on its tab does.
  void ShowInformationPage() {
    HWND tab = FindChild(sheet_, L"SysTabControl32");
    ASSERT_NE(tab, nullptr);
    NMHDR hdr{tab, (UINT_PTR)::GetDlgCtrlID(tab), (UINT)TCN_SELCHANGING};
    if (::SendMessageW(sheet_, WM_NOTIFY, hdr.idFrom, (LPARAM)&hdr)) return;
    ::SendMessageW(tab, TCM_SETCURSEL, 0, 0);
    hdr.code = (UINT)TCN_SELCHANGE;
    ::SendMessageW(sheet_, WM_NOTIFY, hdr.idFrom, (LPARAM)&hdr);
  }
  bool Listed() {
    std::vector<std::wstring> lines = ListBoxLines(list_);
    return lines.size() > 3 && lines[0].rfind(L"[Last Updated: ", 0) == 0;
  }
  // Listed, and the reader has ended (the page no longer waits): the list
  // holds the whole file.
  bool ListedWhole() { return Listed() && !::IsWindowVisible(FindChildById(::GetParent(list_), 1018)); }

  Process server_;
  HWND serverWindow_ = nullptr;
  HWND window_ = nullptr;
  appkit::AxHost host_;
  HWND sheet_ = nullptr;
  HWND list_ = nullptr;
};

}  // namespace

TEST_F(ZentrelInformationPage, ListsTheMemoryFileWithItsHeader) {
  ::DeleteFileW(SuitePath(L"KytMEM.IFO").c_str());
  ShowInformationPage();
  ASSERT_TRUE(PumpUntil([&] { return ListedWhole(); }, 20000));
  std::vector<std::wstring> lines = ListBoxLines(list_);
  FILETIME written{}, local{};
  SYSTEMTIME st{};
  ASSERT_TRUE(infotest::LastWrite(SuitePath(L"KytMEM.IFO"), &written));
  FileTimeToLocalFileTime(&written, &local);
  FileTimeToSystemTime(&local, &st);
  wchar_t header[64];
  swprintf(header, 64, L"[Last Updated: %02u/%02u/%04u %02d:%02u%ls]", st.wMonth, st.wDay, st.wYear,
           st.wHour % 12 ? st.wHour % 12 : 12, st.wMinute, st.wHour < 12 ? L"AM" : L"PM");
  EXPECT_EQ(lines[0], header);
  EXPECT_EQ(lines[1], L"");
  EXPECT_EQ(lines[2], L"@3Memory Utilization");
  EXPECT_EQ(lines[3].rfind(L"Total Physical Memory:\t", 0), 0u);
  // GetProp reads the active page's list: the Information page's lines.
  EXPECT_TRUE(PumpUntil([&] { return host_.CallString(suite::kDispGetProp, {"count"}) == std::to_string(lines.size()); },
                        5000));

  // Refresh asks again; the page may be left once the list is read.
  HWND page = ::GetParent(list_);
  ASSERT_TRUE(ClickButton(page, 1016));
  ASSERT_TRUE(PumpUntil([&] { return Listed() && ::IsWindowVisible(FindChildById(page, 1018)) == FALSE; }, 20000));
}

TEST_F(ZentrelInformationPage, ClosingWhileAReaderWaitsLeavesNoThread) {
  ShowInformationPage();
  ASSERT_TRUE(PumpUntil([&] { return ListedWhole(); }, 20000));
  // Another reader holds the server's mutex: the page's reader has to wait.
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HANDLE m = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
    WaitForSingleObject(m, INFINITE);
    SetEvent(held);
    WaitForSingleObject(release, 30000);
    ReleaseMutex(m);
    CloseHandle(m);
  });
  // Pumping while the holder waits: a reader of the page's may still hold
  // the mutex and be sending its lines to this thread.
  ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(held, 0) == WAIT_OBJECT_0; }, 10000));
  // Threads are told apart by id: a reader of the earlier request may
  // still be ending while the new one starts.
  const std::set<DWORD> before = ThreadsOfThisProcess();
  HWND page = ::GetParent(list_);
  ASSERT_TRUE(ClickButton(page, 1016));                             // a request the server cannot serve yet
  ::PostMessageW(page, kMsg, suite::INFO_REPLY_READY, 1);           // and a reader that waits for the mutex
  std::vector<HANDLE> started;
  PumpUntil(
      [&] {
        for (HANDLE h : started) ::CloseHandle(h);
        started = ThreadsStartedSince(before, ::GetModuleHandleW(L"ZENTREL.OCX"));
        return !started.empty();
      },
      3000);
  EXPECT_FALSE(started.empty()) << "the reader runs";

  DWORD t0 = GetTickCount();
  host_.Destroy();
  ::DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_LT(GetTickCount() - t0, 5000u) << "closing does not wait out the reader's 30 s";
  for (HANDLE h : started) {
    EXPECT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }, 5000))
        << "a reader was left behind";
    ::CloseHandle(h);
  }

  SetEvent(release);
  holder.join();
  CloseHandle(held);
  CloseHandle(release);
  // The server's worker writes the file and finds no page to reply to.
  PumpUntil([] { return false; }, 500);
  EXPECT_TRUE(::IsWindow(serverWindow_));
}
