#include "appkit/app.h"

#include "appkit/dialog.h"

namespace appkit {

App* App::current_ = nullptr;

App::App() : instance_(::GetModuleHandleW(nullptr)) { current_ = this; }
App::~App() {
  if (current_ == this) current_ = nullptr;
}
App* App::Current() { return current_; }

bool App::PreTranslate(MSG& msg) { return false; }

bool PumpOne(MSG& msg) {
  App* app = App::Current();
  if (app && app->PreTranslate(msg)) return true;
  if (msg.hwnd) {
    // Keyboard navigation for the dialog that owns the focus window.
    HWND top = msg.hwnd;
    for (HWND h = msg.hwnd; h; h = ::GetParent(h)) {
      if (Dialog::FromHandle(h)) top = h;
      if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
    }
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && Dialog::FromHandle(top) &&
        ::IsDialogMessageW(top, &msg))
      return true;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  return true;
}

int App::Run() {
  if (!InitInstance()) return ExitInstance();
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    PumpOne(msg);
    OnLoopTop();
  }
  if (msg.message == WM_QUIT) exitCode_ = (int)msg.wParam;
  return ExitInstance();
}

void RunModalLoop(const bool* done) {
  MSG msg;
  while (!*done) {
    BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
    if (r <= 0) {
      ::PostQuitMessage(r == 0 ? (int)msg.wParam : 0);
      return;
    }
    PumpOne(msg);
  }
}

bool PumpPending() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage((int)msg.wParam);
      return false;
    }
    PumpOne(msg);
  }
  return true;
}

QuitKeeper::~QuitKeeper() {
  if (seen_) ::PostQuitMessage(code_);
}

bool QuitKeeper::Take(MSG* msg, HWND hwnd, UINT first, UINT last) {
  while (::PeekMessageW(msg, hwnd, first, last, PM_REMOVE)) {
    if (msg->message != WM_QUIT) return true;
    seen_ = true;
    code_ = (int)msg->wParam;
  }
  return false;
}

namespace {

BOOL CALLBACK AnswerBox(HWND box, LPARAM except) {
  if (box == reinterpret_cast<HWND>(except) || !::IsWindowVisible(box)) return TRUE;
  wchar_t cls[16] = {};
  if (!::GetClassNameW(box, cls, 16) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
  for (int id : {IDCANCEL, IDNO, IDOK}) {
    if (HWND button = ::GetDlgItem(box, id)) {
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
      return TRUE;
    }
  }
  ::PostMessageW(box, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

void AnswerThreadBoxes(HWND except) {
  ::EnumThreadWindows(::GetCurrentThreadId(), &AnswerBox, reinterpret_cast<LPARAM>(except));
}

}  // namespace appkit
