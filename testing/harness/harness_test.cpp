// The test harness itself: a program started as another process, found by
// its window, driven by a registered message, and judged by its exit code.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

TEST(Harness, ProbeAnswersRegisteredMessageAndExitsWithItsCode) {
  Process probe;
  ASSERT_TRUE(probe.Start(TestBinDir() + L"probe.exe", L"-title Harness probe 1 -exit 37")) << probe.LastError().c_str();
  ASSERT_TRUE(probe.WaitIdle(10000));
  HWND w = WaitForWindow(L"Harness probe 1", L"", probe.Pid(), 10000);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetText(w), L"Harness probe 1");
  EXPECT_EQ(ClassOf(w), L"HalvixProbe");

  HWND list = FindChildById(w, 100);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListBoxLines(list), (std::vector<std::wstring>{L"alpha", L"beta"}));
  ASSERT_TRUE(ClickButton(w, 101));
  EXPECT_TRUE(PumpUntil([&] { return ListBoxLines(list).size() == 3; }, 5000));
  EXPECT_EQ(ListBoxLines(list).back(), L"gamma");

  MessageCatcher catcher;
  UINT ping = ::RegisterWindowMessageW(L"halvix_probe_ping");
  UINT pong = ::RegisterWindowMessageW(L"halvix_probe_pong");
  ASSERT_TRUE(::PostMessageW(w, ping, reinterpret_cast<WPARAM>(catcher.hwnd()), 41));
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(catcher.WaitFor(pong, 10000, &reply));
  EXPECT_EQ(reply.wp, 42u);
  EXPECT_EQ(static_cast<DWORD>(reply.lp), probe.Pid());

  ASSERT_TRUE(probe.WaitExit(10000));
  EXPECT_EQ(probe.ExitCode(), 37u);
  EXPECT_FALSE(::IsWindow(w));
}

namespace {

// A list box whose items each grow once, between their length and their
// text, as a line of another process's results list does when the run
// appends its verdict.
std::vector<bool> g_grown;

LRESULT CALLBACK GrowingList(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(::GetPropW(w, L"old"));
  LRESULT r = ::CallWindowProcW(old, w, msg, wp, lp);
  if (msg == LB_GETTEXTLEN && r >= 0 && wp < g_grown.size() && !g_grown[wp]) {
    g_grown[wp] = true;
    std::wstring text(r + 1, L'\0');
    ::CallWindowProcW(old, w, LB_GETTEXT, wp, reinterpret_cast<LPARAM>(text.data()));
    text.resize(r);
    text += L"\tPASSED" + std::wstring(200, L'.');
    ::CallWindowProcW(old, w, LB_DELETESTRING, wp, 0);
    ::CallWindowProcW(old, w, LB_INSERTSTRING, wp, reinterpret_cast<LPARAM>(text.c_str()));
  }
  return r;
}

}  // namespace

TEST(Harness, ListLinesThatGrowWhileReadAreReadWhole) {
  HWND list = ::CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  for (const wchar_t* line : {L"a", L"Reading File(test1.dat):"})
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  g_grown.assign(2, false);
  ::SetPropW(list, L"old", reinterpret_cast<HANDLE>(::GetWindowLongPtrW(list, GWLP_WNDPROC)));
  ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GrowingList));
  std::vector<std::wstring> lines = ListBoxLines(list);
  ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(::GetPropW(list, L"old")));
  ::RemovePropW(list, L"old");
  ::DestroyWindow(list);
  ASSERT_EQ(lines.size(), 2u);
  // Each item as it stood when its text was asked for.
  const std::wstring verdict = L"\tPASSED" + std::wstring(200, L'.');
  EXPECT_EQ(lines[0], L"a" + verdict);
  EXPECT_EQ(lines[1], L"Reading File(test1.dat):" + verdict);
}

TEST(Harness, MissingProgramIsReportedNotHung) {
  Process p;
  EXPECT_FALSE(p.Start(TestBinDir() + L"no-such-program.exe"));
  EXPECT_FALSE(p.LastError().empty());
}

TEST(Harness, WaitForWindowTimesOut) {
  DWORD t0 = ::GetTickCount();
  EXPECT_EQ(WaitForWindow(L"No window has this title 9f3", L"", 0, 300), nullptr);
  EXPECT_LT(::GetTickCount() - t0, 3000u);
}

// A control registered in this process as regsvr32 would: its class points
// at the file registered, unregistering removes it, and the file is let go
// of afterwards; failures give regsvr32's codes.
TEST(Harness, RegisterControlRegistersUnregistersAndLetsGoOfTheFile) {
  const std::wstring dir = TempDir() + L"harness_register\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring copy = dir + L"MURRICK.OCX";
  ASSERT_TRUE(::CopyFileW(SuitePath(L"MURRICK.OCX").c_str(), copy.c_str(), FALSE));
  const std::wstring server = L"Software\\Classes\\CLSID\\{A02BD6A4-F0F6-11D2-AA4B-00403323FD64}\\InprocServer32";
  auto registeredFile = [&] {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, server.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
      return std::wstring();
    return std::wstring(value);
  };

  EXPECT_EQ(RegisterControl(copy), 0);
  EXPECT_EQ(::lstrcmpiW(registeredFile().c_str(), copy.c_str()), 0);
  EXPECT_EQ(RegisterControl(copy, true), 0);
  EXPECT_EQ(registeredFile(), L"") << "unregistered";
  EXPECT_TRUE(::DeleteFileW(copy.c_str())) << "the file is not held";

  EXPECT_EQ(RegisterControl(copy), 3) << "a file that does not load";
  EXPECT_EQ(RegisterControl(SuitePath(L"whet.dll")), 4) << "a library without the entry";
  // The suite's own control again, as the other tests find it.
  EXPECT_EQ(RegisterControl(SuitePath(L"MURRICK.OCX")), 0);
  ::RemoveDirectoryW(dir.c_str());
}
