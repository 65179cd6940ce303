#include "testsupport/process.h"

#include <ole2.h>

#include <cstdio>
#include <vector>

#include "appkit/binding.h"
#include "appkit/paths.h"
#include "appkit/system.h"

namespace testsupport {

namespace {

std::wstring DirOf(const std::wstring& p) {
  size_t slash = p.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

// Dispatches every message waiting for this thread.
void DispatchWaiting() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

std::wstring Normalise(std::wstring p) {
  std::vector<wchar_t> buf(32768);
  DWORD n = ::GetFullPathNameW(p.c_str(), (DWORD)buf.size(), buf.data(), nullptr);
  if (n > 0 && n < buf.size()) p.assign(buf.data(), n);
  if (!p.empty() && p.back() != L'\\') p += L'\\';
  return p;
}

}  // namespace

std::wstring TestBinDir() { return appkit::ModuleDir(); }

std::wstring TempDir() {
  wchar_t buf[MAX_PATH];
  DWORD n = ::GetTempPathW(MAX_PATH, buf);
  return std::wstring(buf, n);
}

std::wstring SuiteDir() {
  wchar_t env[32768];
  DWORD n = ::GetEnvironmentVariableW(L"HALVIX_SUITE", env, 32768);
  if (n > 0 && n < 32768) return Normalise(env);
  return Normalise(TestBinDir() + L"..\\suite");
}

std::wstring SuitePath(const std::wstring& name) { return SuiteDir() + name; }

Process::~Process() {
  Kill();
  if (pi_.hProcess) ::CloseHandle(pi_.hProcess);
  if (pi_.hThread) ::CloseHandle(pi_.hThread);
}

bool Process::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd) {
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  std::wstring dir = cwd.empty() ? DirOf(exe) : cwd;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::vector<wchar_t> line(cmd.begin(), cmd.end());
  line.push_back(0);
  // A new process that Wine lost during its own start (ERROR_INTERNAL_ERROR,
  // seen now and then on a busy machine) is started again, three times at
  // the most.
  for (int attempt = 1;; ++attempt) {
    std::vector<wchar_t> copy = line;
    if (::CreateProcessW(exe.c_str(), copy.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         dir.empty() ? nullptr : dir.c_str(), &si, &pi_))
      return true;
    const DWORD error = ::GetLastError();
    error_ = L"CreateProcess failed for " + exe + L": error " + std::to_wstring(error);
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) return false;
    std::fprintf(stderr, "[ start   ] %ls: start lost (error %lu), started again\n", exe.c_str(), error);
  }
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
  ::CloseHandle(f);
  return bytes;
}

std::string ReadTextFile(const std::wstring& path) {
  std::string text;
  for (char c : ReadFileBytes(path))
    if (c != '\r') text += c;
  return text;
}

int CountOccurrences(const std::string& text, const std::string& what) {
  int n = 0;
  if (what.empty()) return 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < text.size()) {
    size_t lf = text.find('\n', from);
    size_t end = lf == std::string::npos ? text.size() : lf;
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = bytes.empty() || (::WriteFile(f, bytes.data(), (DWORD)bytes.size(), &put, nullptr) && put == bytes.size());
  return ::CloseHandle(f) && ok;
}

std::vector<std::wstring> NamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring n = fd.cFileName;
    if (n != L"." && n != L"..") names.push_back(n);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return names;
}

void RemoveTree(const std::wstring& dir) {
  std::wstring base = dir;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((base + L"*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring n = fd.cFileName;
      if (n == L"." || n == L"..") continue;
      std::wstring path = base + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  }
  ::RemoveDirectoryW(base.c_str());
}

bool Process::WaitIdle(DWORD ms) const {
  return pi_.hProcess && appkit::WaitForInputReady(pi_.hProcess, pi_.dwThreadId, ms) == 0;
}

bool Process::WaitExit(DWORD ms) const {
  return pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0;
}

bool Process::WaitExitPumping(DWORD ms) const {
  if (!pi_.hProcess) return false;
  DWORD start = ::GetTickCount();
  for (;;) {
    DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return WaitExit(0);
    DWORD r = ::MsgWaitForMultipleObjects(1, &pi_.hProcess, FALSE, ms - elapsed, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return true;
    DispatchWaiting();
  }
}

bool Process::Running() const { return pi_.hProcess && !WaitExit(0); }

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (pi_.hProcess) ::GetExitCodeProcess(pi_.hProcess, &code);
  return code;
}

void Process::Kill() {
  if (Running()) {
    ::TerminateProcess(pi_.hProcess, 255);
    WaitExit(5000);
  }
}

int RunRegsvr32(const std::wstring& file, bool unregister) {
  wchar_t sys[MAX_PATH] = {};
  ::GetSystemDirectoryW(sys, MAX_PATH);
  Process p;
  std::wstring args = std::wstring(unregister ? L"/u " : L"") + L"/s \"" + file + L"\"";
  if (!p.Start(std::wstring(sys) + L"\\regsvr32.exe", args)) return -1;
  if (!p.WaitExit(60000)) return -1;
  return (int)p.ExitCode();
}

int RegisterControl(const std::wstring& file, bool unregister) {
  HMODULE module = ::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return 3;
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry =
      reinterpret_cast<Entry>(::GetProcAddress(module, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
  int result = 4;
  if (entry) {
    HRESULT ole = ::OleInitialize(nullptr);
    result = SUCCEEDED(entry()) ? 0 : 5;
    if (SUCCEEDED(ole)) ::OleUninitialize();
  }
  // Let go of the file, so that a test may replace or remove it afterwards.
  ::FreeLibrary(module);
  return result;
}

void EndProcessById(DWORD pid) {
  if (!pid) return;
  HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!h) return;
  if (::WaitForSingleObject(h, 0) != WAIT_OBJECT_0) ::TerminateProcess(h, 0);
  ::WaitForSingleObject(h, 5000);
  ::CloseHandle(h);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    DispatchWaiting();
    if (done()) return true;
    DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, (ms - elapsed) < 20 ? (ms - elapsed) : 20, QS_ALLINPUT);
  }
}

MessageCatcher::MessageCatcher() {
  static const wchar_t kClass[] = L"testsupport.MessageCatcher";
  WNDCLASSW wc{};
  wc.lpfnWndProc = &MessageCatcher::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassW(&wc);
  hwnd_ = ::CreateWindowExW(0, kClass, L"testsupport catcher", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            wc.hInstance, this);
}

MessageCatcher::~MessageCatcher() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK MessageCatcher::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    appkit::BindWindowObject(hwnd, reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams, appkit::BoundKind::Plain);
  if (msg == WM_NCDESTROY) appkit::UnbindWindowObject(hwnd, appkit::BoundKind::Plain);
  auto* self = appkit::BoundObject<MessageCatcher>(hwnd, appkit::BoundKind::Plain);
  if (self && msg >= WM_USER) {
    self->caught_.push_back({msg, wp, lp});
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool MessageCatcher::WaitFor(UINT msg, DWORD ms, Caught* out) {
  bool found = false;
  PumpUntil(
      [&] {
        for (size_t i = 0; i < caught_.size(); ++i) {
          if (caught_[i].msg == msg) {
            if (out) *out = caught_[i];
            caught_.erase(caught_.begin() + i);
            found = true;
            return true;
          }
        }
        return false;
      },
      ms);
  return found;
}

std::vector<MessageCatcher::Caught> MessageCatcher::Take() {
  PumpUntil([] { return true; }, 0);
  std::vector<Caught> out;
  out.swap(caught_);
  return out;
}

}  // namespace testsupport
