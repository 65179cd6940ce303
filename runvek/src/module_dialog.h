// The module dialogs: a test dialog that hosts the module's control above
// Help and Close, and the dialog that reports an unknown module name.
#pragma once
#include <memory>

#include "appkit/dialog.h"
#include "hosting/wrappers.h"
#include "runner_logic.h"

namespace runvek {

// Posted to the main dialog when the host's DiagStart has come.
constexpr UINT kHostStartedMessage = WM_APP + 2;
// Posted to the main dialog, ahead of its Close, when the host's DiagClose
// has come.
constexpr UINT kHostClosingMessage = WM_APP + 3;

class ModuleDialog : public appkit::Dialog {
 public:
  ModuleDialog(const ModuleInfo& module, const RunnerSwitches& switches);
  ~ModuleDialog() override;

  // The Done event of the control: the number in its text becomes the
  // result, and the dialog closes.
  void OnDone(const std::wstring& result);

 protected:
  BOOL OnInit() override;
  void OnOK() override;      // Help
  void OnCancel() override;  // Close, Esc, DiagClose, Done
  void OnDestroy() override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void ControlFailed();
  void EndUnattendedRun();
  void AnswerBoxesForHost();
  const ModuleInfo& module_;
  RunnerSwitches switches_;
  std::unique_ptr<hosting::TestControlWrapper> control_;
  bool failureShown_ = false;
  bool endWhenStarted_ = false;  // unattended run without its control
  bool hostClosing_ = false;     // DiagClose came: nobody answers boxes
};

class UnknownModuleDialog : public appkit::Dialog {
 public:
  UnknownModuleDialog();

 protected:
  BOOL OnInit() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
};

}  // namespace runvek
