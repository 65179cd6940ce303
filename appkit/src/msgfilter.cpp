#include "appkit/msgfilter.h"

#include "appkit/app.h"

namespace appkit {

namespace {
thread_local HHOOK t_hook = nullptr;
}

ModalThreadMessageFilter::ModalThreadMessageFilter() {
  if (t_hook) return;  // one per thread is enough
  hook_ = ::SetWindowsHookExW(WH_MSGFILTER, &FilterProc, nullptr, ::GetCurrentThreadId());
  t_hook = hook_;
}

ModalThreadMessageFilter::~ModalThreadMessageFilter() {
  if (!hook_) return;
  ::UnhookWindowsHookEx(hook_);
  t_hook = nullptr;
}

LRESULT CALLBACK ModalThreadMessageFilter::FilterProc(int code, WPARAM wp, LPARAM lp) {
  // Only thread messages: messages for a window are dispatched by the loop
  // that took them, and our own loop hands thread messages over itself.
  MSG* msg = reinterpret_cast<MSG*>(lp);
  if (code >= 0 && msg && !msg->hwnd) {
    App* app = App::Current();
    if (app && app->PreTranslate(*msg)) return TRUE;
  }
  return ::CallNextHookEx(t_hook, code, wp, lp);
}

}  // namespace appkit
