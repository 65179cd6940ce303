// Hosting one test control at a time in a pane window: what the main
// program's module view does, apart from the view window itself.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "hosting/wrappers.h"

namespace hosting {

class ModuleViewHost {
 public:
  // `view`: the pane window the control fills (child id 1001).
  explicit ModuleViewHost(HWND view) : view_(view) {}
  ~ModuleViewHost() { CloseTestControl(); }
  ModuleViewHost(const ModuleViewHost&) = delete;
  ModuleViewHost& operator=(const ModuleViewHost&) = delete;

  // Hosts the control of that module name, Init with `switches`, sized to
  // the view's client area. A name no control answers to leaves kind 0.
  void CreateTestControl(const std::string& name, const std::string& switches);
  // Aborts a running test (unless StopTest asked already), destroys the
  // hosted control.
  void CloseTestControl();
  // Asks a running test of the hosted control to stop (Abort), once a run:
  // a CloseTestControl that follows does not ask again.
  void StopTest();
  bool HasTestControl() const { return hosted() != nullptr; }
  // IsRunning of the hosted control; false when none.
  bool IsTestRunning();
  // Moves the control to (0, 0, cx, cy) and sends SetProp "Size" "cx cy".
  void SizeTestControl(int cx, int cy);
  // The view's WM_SIZE (after its own handling).
  void OnSize(UINT type, int cx, int cy);
  // The view's pre-translation: dialog-style keyboard navigation for the
  // hosted control (IsDialogMessage on the view). True when consumed.
  bool PreTranslate(MSG& msg);

  int kind() const { return kind_; }
  TestControlWrapper* hosted() const { return kind_ > 0 && kind_ < kKindCount ? wrappers_[kind_].get() : nullptr; }

  static constexpr UINT kControlId = 1001;

 private:
  HWND view_;
  int kind_ = kKindNone;
  bool stopAsked_ = false;
  std::unique_ptr<TestControlWrapper> wrappers_[kKindCount];
};

}  // namespace hosting
