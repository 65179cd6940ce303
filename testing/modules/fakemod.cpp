// A module program for tests of the stress and benchmark runs. It speaks the
// module side of "kyt_diag_msg" as a module runner does: code 0 (lParam =
// the window to report to), code 1 (lParam = the cookie; with -AutoRun the
// "test" starts), code 2 (close at once); when it ends and it has both a
// window and a nonzero cookie, it posts "kyt_diag_msg" (result, cookie) to
// that window.
//
// Switches, anywhere on its command line (the stress run adds -L, -Append
// and -C, which it ignores):
//   -AutoRun      start the test on code 1 (else wait for code 2)
//   -Result<n>    result to report (default 0; may be negative)
//   -NoResult     end without reporting anything
//   -NeverIdle    never take input: the host's wait for input idle runs out
//   -Work<ms>     length of the test (default 300)
//   -Trace<file>  append the command line to <file> in its own directory,
//                 and "code 2" when the host asks it to close
//   -Bnh<name>    at the end of the test, append a block "<name>:\tdone"
//                 to BNCHMARK.BNH in its own directory when that exists
//   -Exit<n>      end with exit code n
//   -Crash        end with an access violation (exit code 0xC0000005)
//   -Window<title> show a window with this title (no blanks); closing it
//                 ends the program
// Without -AutoRun, -Exit, -Crash and -Window make a plain program: it ends
// by itself after its -Work time, speaking no protocol.
#include <windows.h>

#include <string>

#include "appkit/app.h"
#include "appkit/paths.h"
#include "appkit/text.h"
#include "appkit/window.h"
#include "suite/messages.h"

namespace {

std::wstring g_cmd;

// The text after `sw` up to the next blank; `found` tells whether the
// switch is present at all.
std::wstring SwitchValue(const std::wstring& sw, bool* found = nullptr) {
  size_t p = 0;
  for (;;) {
    p = g_cmd.find(sw, p);
    if (p == std::wstring::npos) {
      if (found) *found = false;
      return {};
    }
    if (p == 0 || g_cmd[p - 1] == L' ') break;
    p += sw.size();
  }
  if (found) *found = true;
  p += sw.size();
  size_t end = g_cmd.find(L' ', p);
  return g_cmd.substr(p, end == std::wstring::npos ? std::wstring::npos : end - p);
}

bool Has(const std::wstring& sw) {
  bool found = false;
  std::wstring v = SwitchValue(sw, &found);
  return found && v.empty();
}

void AppendToFile(const std::wstring& path, const std::string& text, DWORD disposition) {
  // Retried briefly: the file may be held by another writer for a moment.
  for (int i = 0; i < 50; ++i) {
    HANDLE f = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD put = 0;
      ::WriteFile(f, text.data(), (DWORD)text.size(), &put, nullptr);
      ::CloseHandle(f);
      return;
    }
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return;
    ::Sleep(20);
  }
}

void Trace(const std::string& text) {
  bool traced = false;
  std::wstring trace = SwitchValue(L"-Trace", &traced);
  if (traced && !trace.empty()) AppendToFile(appkit::ModuleDir() + trace, text, OPEN_ALWAYS);
}

class FakeModule : public appkit::App {
 public:
  UINT diagMsg = ::RegisterWindowMessageW(suite::kDiagMessage);
  HWND replyWindow = nullptr;
  LPARAM cookie = 0;
  int result = 0;
  bool autoRun = false;
  UINT workMs = 300;
  HWND window = nullptr;
  bool finished = false;

  bool PreTranslate(MSG& msg) override {
    if (msg.message != diagMsg) return false;
    switch (msg.wParam) {
      case 0:
        replyWindow = reinterpret_cast<HWND>(msg.lParam);
        break;
      case 1:
        cookie = msg.lParam;
        if (autoRun) ::SetTimer(window, 1, workMs, nullptr);
        break;
      case 2:
        // Closed before its test ended: the result stays 0.
        if (!finished) result = 0;
        Trace("code 2\r\n");
        ::PostQuitMessage(0);
        break;
      default:
        break;
    }
    return true;
  }
};

FakeModule* g_app = nullptr;

constexpr UINT_PTR kPlainTimer = 2;

// The titled window of -Window: its end is the program's.
class TitledWindow : public appkit::Window {
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return Default(msg, wp, lp);
  }
};

// No handler for the access violation of -Crash: the process ends with its
// code, without a debugger being started.
LONG WINAPI EndWithTheException(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

// The end of the "test": the benchmark block, then the program ends.
class HiddenWindow : public appkit::Window {
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != WM_TIMER) return Default(msg, wp, lp);
    ::KillTimer(hwnd(), wp);
    if (wp == kPlainTimer) {
      ::PostQuitMessage(0);
      return 0;
    }
    g_app->finished = true;
    bool bnh = false;
    std::wstring block = SwitchValue(L"-Bnh", &bnh);
    if (bnh)
      AppendToFile(appkit::ModuleDir() + L"BNCHMARK.BNH", appkit::Narrow(block) + ":\tdone\r\n\r\n", OPEN_EXISTING);
    ::PostQuitMessage(0);
    return 0;
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  g_cmd = ::GetCommandLineW();
  Trace(appkit::Narrow(g_cmd) + "\r\n");

  if (Has(L"-NeverIdle")) {
    // Busy without ever looking at its messages; ended by the host.
    ::Sleep(120000);
    return 0;
  }

  FakeModule app;
  g_app = &app;
  app.autoRun = Has(L"-AutoRun");
  bool given = false;
  std::wstring v = SwitchValue(L"-Result", &given);
  if (given) app.result = _wtoi(v.c_str());
  v = SwitchValue(L"-Work", &given);
  if (given) app.workMs = (UINT)_wtoi(v.c_str());

  bool exitGiven = false, windowGiven = false;
  std::wstring exitCode = SwitchValue(L"-Exit", &exitGiven);
  std::wstring title = SwitchValue(L"-Window", &windowGiven);
  const bool crash = Has(L"-Crash");

  HiddenWindow w;
  if (!w.Create(L"HalvixFakeModule", L"fake module", WS_OVERLAPPED, 0, 0, 0, 10, 10, nullptr)) return 1;
  app.window = w.hwnd();
  TitledWindow titled;
  if (windowGiven &&
      !titled.Create(L"HalvixFakeTitled", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 40, 40, 200, 100, nullptr))
    return 1;
  if (!app.autoRun && (exitGiven || crash || windowGiven)) ::SetTimer(w.hwnd(), kPlainTimer, app.workMs, nullptr);
  int code = app.Run();
  if (!Has(L"-NoResult") && app.replyWindow && app.cookie)
    ::PostMessageW(app.replyWindow, app.diagMsg, (WPARAM)(INT_PTR)app.result, app.cookie);
  if (crash) {
    ::SetUnhandledExceptionFilter(&EndWithTheException);
    // Read through a volatile pointer so that the compiler cannot know it is null.
    int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
  if (exitGiven) return _wtoi(exitCode.c_str());
  return code;
}
