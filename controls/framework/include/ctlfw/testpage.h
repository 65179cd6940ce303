// The Test page of a test control's sheet (dialog template 103) and the run
// state it shares with its worker threads. The page owns the lifecycle every
// control's Test page has: the Start/Stop button 1007, the check list 1023
// filled from the runner's enable settings, "Show Options" 1024, DoTest,
// Abort and StopTests with the stop wait, the run state under its lock,
// progress bar 1006, result list 1005, resizing, and the end of a run with
// its verdict lines, result log, troubleshooting tips and WM_TESTDONE to the
// initialised control. A control's page supplies its texts, its check-list
// rules, how its runs end and the workers that do the testing.
#pragma once
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "appkit/propsheet.h"
#include "infoclient/listbox.h"
#include "ctlfw/resource_ids.h"
#include "ctlfw/testlog.h"

namespace ctlfw {

class TestRunner;

// How the last worker out ends a run.
struct RunEnd {
  enum class Summary {
    BlankThenVerdict,  // " ", then "Found Error(s)." or "No Error Found."
    EmptyThenVerdict,  // "", then the verdict
    Verdict,           // "Found Error(s)." or "No Error Found."
    ErrorsOnly,        // "Found Error(s)." only when errors were found
    None,              // the page wrote its own closing lines
  };
  Summary summary = Summary::BlankThenVerdict;
  // Writes the result log, and with errors shows the tips under this anchor
  // of help\errhelp.htm; nullptr: neither (benchmarks).
  const char* tipsAnchor = nullptr;
  // With errors, the verdict line is shown three lines below the top (the
  // tips follow it) instead of the last ten lines.
  bool verdictNearTop = false;
  // An automatic run reports its count even when it was aborted.
  bool doneAfterAbort = false;
  // The result log is written even without tips (a benchmark's log).
  bool logWithoutTips = false;
  // With errors, the "Troubleshooting Tips:" heading is shown also when the
  // help page cannot be read.
  bool tipsHeadingAlways = false;
  // The verdict line is shown three lines below the top also without errors.
  bool verdictNearTopAlways = false;
  // With a tips anchor: whether the tips follow the log (or only the log).
  bool showTips = true;
  // The text of the run's button once the run is over.
  const wchar_t* idleButtonText = L"&Start";
};

// Run state shared by the Test page and its workers: one set per control
// module. The counters change only under runLock; abortFlag and the window
// handles are written by one side and polled by the other.
struct RunState {
  volatile LONG abortFlag = 0;
  volatile LONG runningCount = 0;
  volatile LONG errorCount = 0;
  bool doneArmed = false;  // -AutoRun: the end of a run posts WM_TESTDONE
  HWND resultsWindow = nullptr, buttonWindow = nullptr, progressWindow = nullptr, controlWindow = nullptr;
  CRITICAL_SECTION runLock;
  bool lockReady = false;
  // Captured at Start for the end of the run.
  RunEnd end;
  TestLogRequest log;
  std::vector<HANDLE> workers;
};
RunState& TheRunState();

// ---- For worker threads -------------------------------------------------------
// Adds a line to the run's result list; its index.
int AddResultLine(const std::string& text);
// Moves the run's progress bar.
void SetRunProgress(int percent);
// Scrolls the run's result list so that its last ten lines show.
void ScrollRunResultsToEnd();
// Whether Stop was pressed.
inline bool RunAborted() { return TheRunState().abortFlag != 0; }
// Counts one error of the run.
void CountRunError();
// The end of one worker's part of the run: "===>Test Aborts." or, when it
// failed, "===>Test Failed." and one more error; the worker that takes the
// running count to 0 ends the run as RunState::end says.
void FinishWorker(bool failed, bool aborted);
// The same for a worker that wrote its own closing lines: one more error when
// `countError`, and the run's end when it is the last one out.
void EndWorker(bool countError);
// Dispatches the run's WM_TESTDONE still waiting for the control window (on
// the page's thread), so that Done comes before the control goes; a pending
// WM_QUIT is left for the program's loop.
void DeliverTestDone(HWND control);

// The result log of the run (the lines of the result list).
void WriteTestLog(RunState& s);
// Tips from directory\help\errhelp.htm under the anchor, added to the list
// behind an empty line and "Troubleshooting Tips:" (those two only when the
// page could be read, unless `headingAlways`).
void ShowTroubleshooting(HWND list, const std::string& directory, const std::string& anchorName,
                         bool headingAlways = false);

// The page's items that a control's dialog may number its own way.
struct PageItems {
  int checkList = IDC_TEST_CHECKLIST;
  int showOptions = IDC_TEST_SHOWOPTIONS;
  int includes = IDC_TEST_INCLUDES;
  int icon = IDC_TEST_ICON;
  int text = IDC_TEST_TEXT;  // the page's description
  // Further items shown only with the options view.
  std::vector<int> optionsOnly;
};

class TestPage : public appkit::SheetPage {
 public:
  explicit TestPage(TestRunner& runner, UINT templateId = IDD_CTLFW_TEST_PAGE);
  ~TestPage() override;
  TestRunner& Runner() const { return runner_; }

  // FALSE while a test runs (or a DoTest's Start is on its way); else posts
  // the Start button to the page.
  BOOL DoTest();
  // TRUE from the moment DoTest accepted a run.
  BOOL IsRunning() const { return TheRunState().runningCount > 0 || startPending_; }
  // FALSE when nothing runs; else stops the run as the Stop button does.
  BOOL Abort();
  // The sheet closes: the check list's choices go to the runner's settings,
  // a running worker is asked to stop and waited for.
  void StopTests();
  // Fits the tab control, the page and its lists to the sheet.
  BOOL ResizeControls();
  // Whether a worker of the last run still exists.
  bool HasLiveWorker() const;

 protected:
  // ---- What a control's page supplies -----------------------------------------
  virtual UINT TestIconId() const = 0;
  virtual std::wstring Description() const = 0;
  // The check list's rows, in the order of the runner's enable settings;
  // none: the page shows its results from the start and has no options.
  virtual std::vector<std::string> TestNames() const { return {}; }
  // Check-list rows from the runner's string table: the texts of `ids`, or of
  // `count` ids from `first` on.
  std::vector<std::string> RowTexts(std::initializer_list<UINT> ids) const;
  std::vector<std::string> RowTexts(UINT first, UINT count) const;
  virtual std::vector<int> ResultTabStops() const { return {170, 250, 330, 480}; }
  virtual PageItems Items() const { return {}; }
  // Asked (Yes/No) before a run that is not automatic; empty: no question.
  virtual std::wstring StartQuestion() const { return {}; }
  virtual RunEnd RunEndRule() const { return RunEnd{}; }
  // Item data of a freshly filled check list from the flags (may change them).
  virtual std::vector<long> FillItemData(std::vector<int>* flags) const;
  // The check list's questions before a click takes effect, with the flags
  // just read back from the list; nonzero lets the click through. `data` may
  // be changed (the list then takes it).
  virtual int CanCheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const { return 1; }
  virtual int CanUncheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const;
  // Starts the run's workers with StartRunWorker; the run state is ready.
  virtual void StartWorkers() = 0;
  // The sheet closes (StopTests): first the page's choices go to the runner;
  // then, once no worker of the page runs any more, what the runs left
  // behind can go.
  virtual void KeepChoices() {}
  virtual void AfterWorkersOut() {}
  // A reply of the information server to this page; answered 1.
  virtual void OnServerReply(WPARAM wp, LPARAM lp) {}
  // The sheet closes: told before the page waits for its workers.
  virtual void OnSheetClosing() {}
  // Whether the closing page waits for its workers however long they take
  // (its workers always end) instead of giving up after the stop wait.
  virtual bool WaitOutWorkersOnClose() const { return false; }
  // The Stop button while a run is on: by default the run is asked to stop
  // and waited for (the stop wait).
  virtual void StopRunning();
  // Sets up the run state for a run started with `button` (which reads
  // `busyText` until the run ends as `end` says); the workers come next.
  void PrepareRun(int buttonId, const wchar_t* busyText, const RunEnd& end);

  // Starts one worker of the run (counted running at once); a worker that
  // cannot start ends its part as failed.
  void StartRunWorker(LPTHREAD_START_ROUTINE proc, void* arg = nullptr);
  // A run that tests on the sheet's own thread instead of a worker: counted
  // running until the page ends it with FinishWorker. With `stopByFlag`,
  // Stop (and Abort) only raise the abort flag, which the run sees at its
  // next step: there is no worker to wait for.
  void BeginRunOnPageThread(bool stopByFlag = false);
  // Dispatches the page's messages for `ms` milliseconds (messages that other
  // threads send are answered too).
  void PumpMessages(DWORD ms);
  // Takes every message of the thread's queue, for any window, until it is
  // empty (between the steps of a run on the page's thread); `hook` sees each
  // message first and answers true for one it has consumed.
  void DrainThreadQueue(const std::function<bool(const MSG&)>& hook = {});
  // The text of item `index` of the page's combo box `comboId` (empty when
  // there is none or it is longer than 255 characters).
  std::string ComboItemText(int comboId, int index) const;
  // Sets the answer of a sent WM_COMMAND; returns true for OnCommand.
  bool AnswerCommand(LRESULT answer);
  bool HasTestList() const { return !TestNames().empty(); }
  // The Start/Stop button: by default a running test stops, else one starts.
  virtual void StartStopTest();
  // What every start does before the page's own work: the run state reset,
  // the result list emptied and shown, the button reading "&Stop", the end
  // rule and the log request taken.
  void PrepareRun();
  // The check list's choices into the runner's settings.
  void ReadTestSelection();
  // Shows the check list (options view) or the results.
  void ShowTestList(bool on);
  // Whether the Start/Stop command being handled comes from Abort.
  bool AbortInProgress() const { return stopOnly_; }

  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  BOOL OnSetActive() override;

 private:
  void StartTest();
  // The stop wait: 0.5 s, 1 s, then up to six times 1 s while a worker runs;
  // false (after a beep) when one still runs.
  bool WaitForStop();
  void FillTestList();
  std::vector<int> Flags() const;
  void SetFlags(const std::vector<int>& flags);
  std::vector<long> ListData() const;
  void SetListData(const std::vector<long>& data);
  void JoinWorkers();

  TestRunner& runner_;
  CInfoListBox results_;
  CTestListBox tests_;
  bool started_ = false;
  bool startPending_ = false;
  bool stopOnly_ = false;  // the button's command comes from Abort
  bool stopByFlag_ = false;
};

}  // namespace ctlfw
