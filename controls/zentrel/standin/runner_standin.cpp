#include "runner.h"

#include <cstdlib>
#include <cstring>

#include "appkit/axcontrol.h"
#include "appkit/paths.h"
#include "suite/controls.h"

namespace {
const UINT kAddLine = WM_APP + 1;
const UINT kRunEnded = WM_APP + 2;
const wchar_t kSheetClass[] = L"ZentrelStandInSheet";

int EnvInt(const char* name, int def) {
  char buf[32] = {};
  DWORD n = ::GetEnvironmentVariableA(name, buf, sizeof(buf));
  return n > 0 && n < sizeof(buf) ? std::atoi(buf) : def;
}
}  // namespace

CZentrelRunner::~CZentrelRunner() { Join(); }

LRESULT CALLBACK CZentrelRunner::SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<CZentrelRunner*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case kAddLine: {
      auto* text = reinterpret_cast<std::wstring*>(lp);
      ::SendDlgItemMessageW(hwnd, 1005, LB_ADDSTRING, 0, (LPARAM)text->c_str());
      delete text;
      return 0;
    }
    case kRunEnded:
      if (self) {
        self->Join();
        if (self->autoRun_ && !self->abort_ && self->control_)
          ::PostMessageW(self->control_, suite::WM_TESTDONE, wp, 0);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == 1007 && self) {
        if (self->running_) {
          self->abort_ = true;
          self->Join();
        } else {
          self->Join();
          self->abort_ = false;
          self->running_ = true;
          ::SendDlgItemMessageW(hwnd, 1005, LB_RESETCONTENT, 0, 0);
          self->worker_ = std::thread(&CZentrelRunner::Worker, self, EnvInt("ZENTREL_STANDIN_LINES", 3),
                                      EnvInt("ZENTREL_STANDIN_MS", 300), EnvInt("ZENTREL_STANDIN_ERRORS", 0));
        }
        return 0;
      }
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void CZentrelRunner::Worker(int lines, int ms, int errors) {
  appkit::AxModuleLockHolder hold;
  for (int i = 0; i < lines && !abort_; ++i) {
    ::PostMessageW(sheet_, kAddLine, 0, (LPARAM) new std::wstring(L"Line " + std::to_wstring(i)));
    for (int t = 0; t < ms / lines / 10 + 1 && !abort_; ++t) ::Sleep(10);
  }
  running_ = false;
  ::PostMessageW(sheet_, kRunEnded, (WPARAM)errors, 0);
}

void CZentrelRunner::Join() {
  if (worker_.joinable()) worker_.join();
  running_ = false;
}

BOOL CZentrelRunner::Init(HWND controlWindow, const std::string& cmdLine) {
  if (sheet_) return FALSE;
  control_ = controlWindow;
  autoRun_ = _strnicmp(cmdLine.c_str(), "-AutoRun", 8) == 0 || cmdLine.find("-AutoRun") != std::string::npos;
  title_ = cmdLine.find("-ProcTest") != std::string::npos ? "Processor Test" : "Memory Test";
  HINSTANCE inst = appkit::ThisModule();
  WNDCLASSW wc{};
  wc.lpfnWndProc = &CZentrelRunner::SheetProc;
  wc.hInstance = inst;
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszClassName = kSheetClass;
  ::RegisterClassW(&wc);
  sheet_ = ::CreateWindowExW(0, kSheetClass, L"", WS_CHILD | WS_VISIBLE, 2, 2, 356, 236, controlWindow, nullptr,
                             inst, nullptr);
  if (!sheet_) return TRUE;
  ::SetWindowLongPtrW(sheet_, GWLP_USERDATA, (LONG_PTR)this);
  ::CreateWindowExW(0, L"BUTTON", L"&Start", WS_CHILD | WS_VISIBLE, 5, 5, 80, 24, sheet_, (HMENU)1007, inst,
                    nullptr);
  ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 5, 35, 300, 150, sheet_,
                    (HMENU)1005, inst, nullptr);
  return TRUE;
}

BOOL CZentrelRunner::SetProp(const std::string& name, const std::string& value) {
  if (!sheet_ || name.size() != 4 || _stricmp(name.c_str(), "Size") != 0 || value.size() <= 6) return FALSE;
  int cx = 0, cy = 0;
  std::sscanf(value.c_str(), "%d %d", &cx, &cy);
  ::MoveWindow(sheet_, 2, 2, cx < 360 ? 356 : cx - 4, cy < 240 ? 236 : cy - 4, FALSE);
  return TRUE;
}

BOOL CZentrelRunner::Cleanup() {
  if (!sheet_) return FALSE;
  abort_ = true;
  Join();
  ::DestroyWindow(sheet_);
  sheet_ = nullptr;
  return TRUE;
}

BOOL CZentrelRunner::DoTest() {
  if (!sheet_ || running_) return FALSE;
  ::PostMessageW(sheet_, WM_COMMAND, 1007, 0);
  return TRUE;
}

BOOL CZentrelRunner::IsRunning() { return sheet_ && running_; }

BOOL CZentrelRunner::Abort() {
  if (!sheet_ || !running_) return FALSE;
  ::SendMessageW(sheet_, WM_COMMAND, 1007, 0);
  return TRUE;
}

HWND CZentrelRunner::ActivePageList() const { return sheet_ ? ::GetDlgItem(sheet_, 1005) : nullptr; }
