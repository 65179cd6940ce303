// CTest: a test control's property sheet, created as a child of the control
// window: the Information page (left out in an automatic run) and the Test
// page.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "appkit/propsheet.h"

namespace ctlfw {

class CTestInfo;
class TestPage;
class TestRunner;

class CTest : public appkit::TabbedSheet {
 public:
  // With `withInfoPage` the Information pages (one per category of the
  // runner) come first and the Test page, the last, starts active; else the
  // Test page is the only page. Without a Test page the first page starts.
  CTest(TestRunner& runner, std::unique_ptr<TestPage> testPage, bool withInfoPage);
  ~CTest() override;

  // The first Information page (nullptr without one) and all of them.
  CTestInfo* InfoPage() const { return infos_.empty() ? nullptr : infos_.front().get(); }
  const std::vector<std::unique_ptr<CTestInfo>>& InfoPages() const { return infos_; }
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
  std::vector<std::unique_ptr<CTestInfo>> infos_;
  std::unique_ptr<TestPage> test_;
  UINT quorrelMsg_ = 0;
  UINT quorrelMsg2_ = 0;
  HANDLE mutex_ = nullptr;
};

}  // namespace ctlfw
