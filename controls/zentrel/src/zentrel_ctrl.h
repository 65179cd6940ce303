// The Zentrel control: the six dispatch methods of every test control and
// the Done event, forwarding the work to the module's runner.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/axcontrol.h"

class CZentrelCtrl : public appkit::AxControl {
 public:
  CZentrelCtrl();
  ~CZentrelCtrl() override;
  // For the class factory.
  static IUnknown* Create();

  BOOL Init(const std::string& cmdLine);
  BOOL SetProp(const std::string& name, const std::string& value);
  BOOL DoTest(const std::string& param);
  BOOL IsRunning();
  BOOL Abort();
  std::string GetProp(const std::string& name);
  void FireDone(const std::string& result);

  // The control whose Init succeeded (the one that receives WM_TESTDONE),
  // nullptr when none.
  static CZentrelCtrl* Initialised();

 protected:
  void OnDestroy() override;
  void OnDraw(HDC dc, const RECT& bounds) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
};
