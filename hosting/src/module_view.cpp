#include "hosting/module_view.h"

#include <cstdio>

#include "appkit/system.h"

namespace hosting {

void ModuleViewHost::CreateTestControl(const std::string& name, const std::string& switches) {
  RECT rc{0, 0, 0, 0};
  ::GetClientRect(view_, &rc);
  CloseTestControl();
  kind_ = ViewKindFromName(name);
  if (kind_ == kKindNone) return;
  if (wrappers_[kind_]) return;
  if (kind_ == kKindStrevan && !appkit::IsWindows9x()) return;  // the port test runs on Windows 9x only
  std::unique_ptr<TestControlWrapper> w = NewWrapper(kind_);
  if (!w || !w->Create(L"", WS_CHILD | WS_VISIBLE, rc, view_, kControlId)) return;
  wrappers_[kind_] = std::move(w);
  wrappers_[kind_]->Init(switches);
  SizeTestControl(rc.right - rc.left, rc.bottom - rc.top);
}

void ModuleViewHost::CloseTestControl() {
  TestControlWrapper* w = hosted();
  if (!w) return;
  if (!stopAsked_ && w->IsRunning()) w->Abort();
  stopAsked_ = false;
  wrappers_[kind_].reset();
}

void ModuleViewHost::StopTest() {
  TestControlWrapper* w = hosted();
  if (!w) return;
  if (!w->IsRunning()) {
    stopAsked_ = false;  // the next run is asked afresh
    return;
  }
  if (stopAsked_) return;
  stopAsked_ = true;
  w->Abort();
}

bool ModuleViewHost::IsTestRunning() {
  TestControlWrapper* w = hosted();
  return w && w->IsRunning();
}

void ModuleViewHost::SizeTestControl(int cx, int cy) {
  TestControlWrapper* w = hosted();
  if (!w) return;
  w->Move(RECT{0, 0, cx, cy});
  char size[32];
  std::snprintf(size, sizeof(size), "%d %d", cx, cy);
  w->SetProp("Size", size);
}

void ModuleViewHost::OnSize(UINT type, int cx, int cy) {
  if (type == SIZE_RESTORED || type == SIZE_MAXIMIZED) SizeTestControl(cx, cy);
}

bool ModuleViewHost::PreTranslate(MSG& msg) {
  if (!hosted() || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (msg.hwnd != view_ && !::IsChild(view_, msg.hwnd)) return false;
  return ::IsDialogMessageW(view_, &msg) != FALSE;
}

}  // namespace hosting
