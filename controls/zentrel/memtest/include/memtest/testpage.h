// The Test page of the memory and processor control, apart from the
// framework class it sits in: check list, Start/Stop, the run state shared
// with the worker threads, the end of a run with its verdict lines, the
// result log, the troubleshooting tips and WM_TESTDONE. The framework's page
// class forwards its dialog hooks here and supplies a TestPageHost.
#pragma once
#include <windows.h>

#include <random>
#include <string>

#include "memtest/testlist.h"
#include "memtest/testlog.h"
#include "memtest/worker.h"

namespace memtest {

// Controls of dialog template 103.
enum TestPageIds {
  kResultList = 1005,
  kProgressBar = 1006,
  kStartStop = 1007,
  kDescription = 1013,
  kTestIcon = 1015,
  kTestList = 1023,
  kShowOptions = 1024,
  kTestIncludes = 1026,
};
constexpr UINT WM_TESTDONE = WM_USER + 1000;  // 2024, to the control window
constexpr UINT kMemoryIcon = 130, kProcessorIcon = 132;

enum class PageMode { Memory, Processor, MemoryBench, ProcessorBench };

// What the page reads of its runner (its switches and settings).
struct PageSettings {
  PageMode mode = PageMode::Memory;
  bool autoRun = false, check = false, append = false, concurrent = false;
  int percent = 8, loop = 0;
  std::string digit;                       // after -AutoRun
  std::string baseName = "KytMEM", title = "Memory Test";
  std::string directory;                   // the control's own directory, trailing backslash
  uint64_t maxMemMB = 20;
  // Caps the machine's memory figures (bytes, 0 = none); test runs only.
  uint64_t machineLimit = 0;
};

// What the page needs of the framework around it.
class TestPageHost {
 public:
  virtual ~TestPageHost() = default;
  // A message box with the runner's caption; answers the button.
  virtual int RunnerMessageBox(const std::wstring& text, UINT type) = 0;
  virtual HWND ControlWindow() = 0;
  virtual HINSTANCE Resources() = 0;
  // The runner's five selection settings of the page's mode.
  virtual TestFlags& Flags() = 0;
  // Tab stops of the results list (CInfoListBox::SetTabStops).
  virtual void SetResultTabStops(int count, const int* stops) = 0;
  // The sheet window once the runner has created it (nullptr before).
  virtual HWND SheetWindow() = 0;
  // Starts a worker thread (the control keeps its module loaded for it).
  virtual HANDLE StartThread(LPTHREAD_START_ROUTINE proc) { return ::CreateThread(nullptr, 0, proc, nullptr, 0, nullptr); }
};

// Run state of the control module (one set per module, shared with the
// workers). abortFlag and the window handles are written by one side and
// polled by the other; runLock guards the counters.
struct RunState {
  volatile LONG abortFlag = 0;
  volatile LONG runningCount = 0;
  volatile LONG errorCount = 0;
  int doneArmed = 0;
  HWND resultsWindow = nullptr, buttonWindow = nullptr, progressWindow = nullptr;
  HWND controlWindow = nullptr;
  CRITICAL_SECTION runLock;
  bool lockReady = false;
  PageSettings settings;  // copied at Start for the worker
  Selection selection;
  std::minstd_rand random;
  HANDLE worker = nullptr;
  FaultInjector* faults = nullptr;  // laid over the test block (tests only)
};
RunState& TheRunState();

// The worker of memory mode, and the stand-in worker of the modes whose
// tests this build does not carry yet (their rows answer "not available").
DWORD WINAPI MemoryTestThread(LPVOID);
DWORD WINAPI UnavailableTestThread(LPVOID);

// The end of a worker's run: the verdict lines, log, tips and WM_TESTDONE
// by the last worker out.
void FinishWorker(RunState& s, bool failed, bool aborted);

// The result log of the run (lines from the results list).
void WriteTestLog(RunState& s);
// Tips from directory\help\errhelp.htm under the anchor, added to the list.
void ShowTroubleshooting(HWND list, const std::string& directory, const std::string& anchorName);

class TestPageLogic {
 public:
  TestPageLogic(TestPageHost& host, const PageSettings& settings) : host_(host), settings_(settings) {}

  // After the base dialog initialisation and the list subclassing.
  BOOL OnInitDialog(HWND page);
  // WM_COMMAND of the page; true when handled.
  bool OnCommand(WPARAM wp, LPARAM lp, LRESULT* result);
  void OnSetActive() { ResizeControls(); }

  BOOL DoTest();
  BOOL IsRunning() const { return TheRunState().runningCount > 0; }
  BOOL Abort();
  void StopTests();

  void StartStopTest();
  void OnShowOptions();
  void ShowTestList(bool on);
  void FillTestList();
  void ReadTestSelection();
  void PumpMessages(DWORD ms);
  BOOL ResizeControls();
  bool started() const { return started_ != 0; }
  // Whether the worker thread of the last run still exists.
  bool HasLiveWorker() const;

 private:
  bool Bench() const { return settings_.mode == PageMode::MemoryBench || settings_.mode == PageMode::ProcessorBench; }
  bool Processor() const { return settings_.mode == PageMode::Processor || settings_.mode == PageMode::ProcessorBench; }
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }
  ItemData ListData() const;
  void SetListData(const ItemData& d);
  // Waits for the worker as Stop does; false when it still runs.
  bool WaitForWorkers();

  TestPageHost& host_;
  PageSettings settings_;
  HWND page_ = nullptr;
  int started_ = 0;
  bool startPending_ = false;  // a DoTest's Start is on its way
};

}  // namespace memtest
