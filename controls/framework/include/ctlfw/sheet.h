// CTest: a test control's property sheet, created as a child of the control
// window: the Information page (left out in an automatic run) and the Test
// page.
#pragma once
#include <windows.h>

#include <memory>

#include "appkit/propsheet.h"

namespace ctlfw {

class CTestInfo;
class TestPage;
class TestRunner;

class CTest : public appkit::TabbedSheet {
 public:
  // With `withInfoPage` the Information page comes first and the Test page
  // (index 1) starts active; else the Test page is the only page.
  CTest(TestRunner& runner, std::unique_ptr<TestPage> testPage, bool withInfoPage);
  ~CTest() override;

  CTestInfo* InfoPage() const { return info_.get(); }
  TestPage* Test() const { return test_.get(); }
  // Ids of "kyt_quorrel_msg" and "kyt_quorrel_msg2" (0 until the window exists).
  UINT QuorrelMessage() const { return quorrelMsg_; }
  UINT QuorrelMessage2() const { return quorrelMsg2_; }
  // The information server's mutex (nullptr when the server does not run).
  HANDLE ServerMutex() const { return mutex_; }

  // Before the window goes: the Information page stops waiting, the Test page
  // stops its tests, the mutex handle is closed.
  void ClosePages();

 protected:
  BOOL OnInit() override;

 private:
  TestRunner& runner_;
  std::unique_ptr<CTestInfo> info_;
  std::unique_ptr<TestPage> test_;
  UINT quorrelMsg_ = 0;
  UINT quorrelMsg2_ = 0;
  HANDLE mutex_ = nullptr;
};

}  // namespace ctlfw
