// The test control every control module of the suite exposes: the six
// dispatch methods and the Done event, forwarded to the module's runner, and
// the module's classes and exports. A control module is its identity (its
// row of suite/controls.inc), its runner and its resources:
//
//   CTLFW_CONTROL_MODULE(suite::Control(suite::kCtlZentrel), CZentrelRunner)
//
// One set of module-wide state per control module: the initialised control
// (the window that receives WM_TESTDONE) and the runner.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/axcontrol.h"
#include "suite/controls.h"

namespace ctlfw {

class TestRunner;

// String ids of the control module's own resources, the same in every module.
enum ControlResourceIds : UINT {
  kToolboxBitmapId = 1,
  kTypeNameStringId = 160,   // "<Name> Control"
  kPageTypeNameStringId = 161,  // "<Name> Property Page"
  kPageCaptionStringId = 162,   // "General"
  kPropPageDialogId = 200,
};

class CTestCtrl : public appkit::AxControl {
 public:
  CTestCtrl(const suite::ControlIdentity& identity, TestRunner& runner);
  ~CTestCtrl() override;

  BOOL Init(const std::string& cmdLine);
  BOOL SetProp(const std::string& name, const std::string& value);
  BOOL DoTest(const std::string& param);
  BOOL IsRunning();
  BOOL Abort();
  std::string GetProp(const std::string& name);
  void FireDone(const std::string& result);

  // The control of this module whose Init succeeded, nullptr when none.
  static CTestCtrl* Initialised();

 protected:
  void OnDestroy() override;
  void OnDraw(HDC dc, const RECT& bounds) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  TestRunner& runner_;
};

// What CTLFW_CONTROL_MODULE defines for the module.
const suite::ControlIdentity& ModuleIdentity();
TestRunner& ModuleRunner();
// The module's classes (control and property page) for its exports.
const appkit::AxServer& ModuleServer();

}  // namespace ctlfw

#define CTLFW_CONTROL_MODULE(identity, RunnerClass)                              \
  const suite::ControlIdentity& ctlfw::ModuleIdentity() { return (identity); } \
  ctlfw::TestRunner& ctlfw::ModuleRunner() {                                    \
    static RunnerClass runner;                                                  \
    return runner;                                                              \
  }                                                                             \
  APPKIT_AX_MODULE_EXPORTS(ctlfw::ModuleServer())
