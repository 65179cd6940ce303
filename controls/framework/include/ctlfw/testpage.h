// The Test page of a test control's sheet, as the runner and the sheet see
// it, and a small stand-in Test page that runs a timed worker.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "appkit/propsheet.h"
#include "ctlfw/listbox.h"
#include "ctlfw/resource_ids.h"

namespace ctlfw {

class TestRunner;

// A control's Test page (dialog template 103): Start/Stop button 1007,
// progress bar 1006, result list 1005 (CInfoListBox), check list 1023
// (CTestListBox). Its workers post WM_TESTDONE to the runner's control window
// at the end of an automatic run.
//
// Note for pages that answer the check list's questions (WM_COMMAND 103 and
// 104 from CTestListBox): a dialog answers a sent WM_COMMAND through
// DWLP_MSGRESULT, so set it with the answer (see AnswerCommand).
class TestPage : public appkit::SheetPage {
 public:
  explicit TestPage(TestRunner& runner, UINT templateId = IDD_CTLFW_TEST_PAGE);
  TestRunner& Runner() const { return runner_; }

  // FALSE while a test runs; else starts one (by posting the Start button).
  virtual BOOL DoTest() = 0;
  virtual BOOL IsRunning() = 0;
  // FALSE when nothing runs; else stops the run (synchronously).
  virtual BOOL Abort() = 0;
  // The sheet closes: keep the check list's choices in the runner's settings,
  // ask running workers to stop and wait for them.
  virtual void StopTests() = 0;
  // Fits the tab control, the page and its lists to the sheet.
  virtual BOOL ResizeControls() = 0;
  // Whether a worker thread of this page still exists (after StopTests, the
  // sheet is never deleted while this holds).
  virtual bool HasLiveWorker() { return IsRunning() != FALSE; }

 protected:
  // Sets the answer of a sent WM_COMMAND; returns true for OnCommand.
  bool AnswerCommand(LRESULT answer);
  // Dispatches the page's messages for `ms` milliseconds (sent messages of
  // other threads are served too).
  void PumpMessages(DWORD ms);

 private:
  TestRunner& runner_;
};

// Stand-in Test page: fills the check list from the runner's five enable
// settings, and runs one worker that counts through ten steps and ends with
// the error count of the setting "StandInErrors" (default 0) after about
// "StandInRunMs" milliseconds (default 500), both read under the control's
// settings key when a run starts.
class StandInTestPage : public TestPage {
 public:
  explicit StandInTestPage(TestRunner& runner);
  ~StandInTestPage() override;

  BOOL DoTest() override;
  BOOL IsRunning() override;
  BOOL Abort() override;
  void StopTests() override;
  BOOL ResizeControls() override;
  bool HasLiveWorker() override;

  int ErrorCount() const { return errorCount_; }

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  BOOL OnSetActive() override;

 private:
  static DWORD WINAPI WorkerThread(LPVOID self);
  void Run();
  void StartStopTest();
  void StartTest();
  void StopRunning();
  // Waits (pumping) up to `ms` for the worker; true when it has ended.
  bool WaitWorker(DWORD ms);
  // The stop wait of 7.5 seconds at most; false when the worker still runs.
  bool WaitForStop();
  void FillTestList();
  void ReadTestSelection();

  bool started_ = false;
  CInfoListBox results_;
  CTestListBox tests_;
  std::atomic<int> runningCount_{0};
  std::atomic<int> abortFlag_{0};
  std::atomic<int> errorCount_{0};
  std::atomic<bool> startPending_{false};
  bool doneArmed_ = false;
  // Captured when a run starts; the worker uses only these and the counters.
  HWND resultsWindow_ = nullptr;
  HWND buttonWindow_ = nullptr;
  HWND progressWindow_ = nullptr;
  HWND controlWindow_ = nullptr;
  int plannedErrors_ = 0;
  DWORD runMs_ = 500;
  HANDLE worker_ = nullptr;
};

}  // namespace ctlfw
