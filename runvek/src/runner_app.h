// The module runner's application object: which module it is, the host it
// reports to, the module side of "kyt_diag_msg", and the result at exit.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/app.h"
#include "appkit/dialog.h"
#include "hosting/wrappers.h"
#include "runner_logic.h"

namespace runvek {

class RunnerApp : public appkit::App {
 public:
  explicit RunnerApp(const std::wstring& arguments);
  static RunnerApp& Get() { return *static_cast<RunnerApp*>(App::Current()); }

  bool InitInstance() override;
  int ExitInstance() override;
  bool PreTranslate(MSG& msg) override;

  // The arguments of the command line (never the program path), as the
  // control gets them.
  const std::string& arguments() const { return arguments_; }
  const std::wstring& programDir() const { return programDir_; }
  const ModuleInfo& module() const { return *module_; }
  const RunnerSwitches& switches() const { return switches_; }

  // The host's DiagStart has come (the run has a cookie to report with).
  bool HostStarted() const { return cookie_ != 0; }

  // The result of the run: the last number Done reported, 0 when none came.
  int result() const { return result_; }
  void SetResult(int result) { result_ = result; }

  // The control of the module's dialog while that dialog exists.
  void Publish(hosting::TestControlWrapper* control) { control_ = control; }

  // Opens the module's help page.
  void ShowHelp() const;

 private:
  std::string arguments_;
  std::wstring programDir_;
  const ModuleInfo* module_ = nullptr;
  RunnerSwitches switches_;
  UINT diagMessage_ = 0;
  HWND replyWindow_ = nullptr;
  LPARAM cookie_ = 0;
  HINSTANCE resourceDll_ = nullptr;
  appkit::Dialog* mainDialog_ = nullptr;
  hosting::TestControlWrapper* control_ = nullptr;
  int result_ = 0;
};

}  // namespace runvek
