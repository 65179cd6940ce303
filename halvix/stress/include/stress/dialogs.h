// The Stress Test dialog (CStressTestDlg, template 160) and the Benchmarks
// dialog (CBenchmarkDlg, template 184). Both run the enabled modules of
// their list file as separate processes, supervise them with a one-second
// timer and take each module's result from the module protocol
// ("kyt_diag_msg": codes 0 and 1 posted to the module's primary thread,
// one reply (result, cookie) posted back to the dialog).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "stress/modlist.h"
#include "stress/resource.h"
#include "stress/settings.h"

namespace stress {

// The module that carries the dialogs' resources: the main program's
// resource module when it has them, else the module this code is linked
// into.
HINSTANCE StressResources();
std::wstring StressString(UINT id);
// A message box with the main program's caption.
int ShowStressMessage(HWND owner, const StressSettings& s, const std::wstring& text, UINT type);

// What the two dialogs share: the list file, the record array, the list
// control, starting, waiting for and judging module processes.
//
// Nothing here blocks the dialog's thread: the wait for a started module to
// take input and the pause between concurrent starts are steps of a short
// timer, so that Stop, Cancel and close act at once in every phase.
class ModuleDialog : public appkit::Dialog {
 public:
  ModuleDialog(UINT templateId, ListKind kind, const StressSettings& settings);
  ~ModuleDialog() override;

  // Loads the list file once; the dialog opens only when this is TRUE.
  BOOL SetListFile(const std::wstring& path);
  BOOL LoadModuleList();
  BOOL SaveModuleList();
  // Messages before the dialog exists go to this window.
  void SetMessageOwner(HWND owner) { owner_ = owner; }

  // Why the last load gave FALSE.
  enum class LoadProblem { None, OpenFailed, NoEntry };
  LoadProblem loadProblem() const { return loadProblem_; }
  // Text about entries of the list that were refused at load (empty: none).
  const std::wstring& refusedEntries() const { return refusedEntries_; }
  const std::wstring& listPath() const { return listPath_; }

  int listLoaded = 0;
  const std::vector<ModuleRecord>& records() const { return records_; }

 protected:
  struct Refresh {
    int live = 0;
    bool failure = false;
  };

  BOOL OnInit() override;
  LRESULT OnNotify(NMHDR* hdr) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

  // State text as the list shows it.
  virtual std::wstring StatusText(const ModuleRecord& r) const;
  // Called for every enabled record on a timer tick, before it is judged.
  virtual void OnTickRecord(ModuleRecord& r) {}
  // A module's process ended with an exception or a nonzero exit code.
  virtual void OnModuleEndedBadly(ModuleRecord& r, DWORD exitCode) {}
  virtual void StopRun() = 0;
  // The one-second timer of a run.
  virtual void OnRunTimer() = 0;
  // A run goes on (posted by the run timer for the next module or loop).
  virtual void GoOn() = 0;
  // The wait for the module at list position `pos` ended.
  enum class IdleWait { Idle, EndedBeforeLimit, LimitReached, Failed };
  virtual void OnIdleWaitDone(int pos, IdleWait outcome) = 0;
  virtual void OnPauseDone() {}

  int Message(UINT stringId, UINT type = MB_OK | MB_ICONEXCLAMATION);
  int MessageText(const std::wstring& text, UINT type = MB_OK | MB_ICONEXCLAMATION);
  // A problem that must not hold a run: shown in the dialog's notice line
  // and, unless the run is unattended, in a message box once the current
  // step of the run is done.
  void Report(const std::wstring& text);
  HWND List() const { return Item(IDC_MODULE_LIST); }
  int ItemCount() const;
  ModuleRecord* RecordAt(int pos);
  std::wstring CellText(int pos, int column) const;
  void SetColumn(int pos, int column, const std::wstring& text);
  void SetImage(int pos, int image);
  void ShowRecord(int pos);  // status, elapsed and image columns
  void ToggleModule(int pos);
  bool AllDisabled();

  static bool Alive(const ModuleRecord& r);
  static void EndProcess(ModuleRecord& r);  // ends a live process, closes its handles
  bool StartProcess(ModuleRecord& r, const std::wstring& commandLine);
  void MarkStartFailed(ModuleRecord& r);
  // Starts waiting (in steps of the idle wait, at most maxWaits of them)
  // until the module at `pos` takes input; OnIdleWaitDone follows.
  void BeginIdleWait(int pos, int maxWaits);
  // Pauses the starts for `ms`; OnPauseDone follows.
  void BeginPause(DWORD ms);
  void CancelStartStep();
  bool InStartStep() const { return startStep_ != StartStep::None; }
  void PostProtocol(ModuleRecord& r);
  void AskToQuit(ModuleRecord& r);
  void StopLiveModules();
  void OnModuleReply(WPARAM wp, LPARAM lp);
  void DrainReplies();
  Refresh RefreshModules(bool timerTick);
  void SetRunButton(bool running);
  void ShowTotalElapsed();
  void CreateImageLists();
  // The run ends here: posted steps of it are dropped, and clicks queued
  // before this moment start nothing.
  void MarkStopped();
  // A click on Run that was queued before the last Stop took effect (or
  // came as the second click of a double click on Stop).
  bool QueuedBeforeStop(HWND ctl) const;
  void PostGoOn() { ::PostMessageW(hwnd(), kGoOnMsg, runId_, 0); }
  void PostStop() { ::PostMessageW(hwnd(), kStopMsg, runId_, 0); }

  static constexpr UINT_PTR kTimerId = 1001;
  static constexpr UINT_PTR kStartTimerId = 1002;
  static constexpr UINT kStartPollMs = 50;
  static constexpr UINT kGoOnMsg = WM_APP + 40;
  static constexpr UINT kStopMsg = WM_APP + 41;
  static constexpr UINT kNoticeMsg = WM_APP + 42;

  StressSettings settings_;
  ListKind kind_;
  std::wstring listPath_;
  std::vector<ModuleRecord> records_;
  std::vector<ListLine> layout_;
  HWND owner_ = nullptr;
  UINT diagMsg_ = 0;
  int running_ = 0;
  int listChanged_ = 0;
  int selectedItem_ = -1;
  int moduleIndex_ = -1;
  DWORD runStartTick_ = 0;
  DWORD nowTick_ = 0;
  HIMAGELIST smallImages_ = nullptr;
  HIMAGELIST largeImages_ = nullptr;
  bool closing_ = false;
  // Changes at every Stop and new run, so that steps posted by an earlier
  // run are dropped.
  WPARAM runId_ = 1;

 private:
  void PollStartStep();
  void ShowNotices();
  void ShowPendingBoxes();

  enum class StartStep { None, WaitIdle, Pause };
  StartStep startStep_ = StartStep::None;
  int waitPos_ = -1;
  int waitLimit_ = 0;
  int waitTimeouts_ = 0;
  DWORD sliceStart_ = 0;
  DWORD pauseUntil_ = 0;
  DWORD stoppedTick_ = 0;
  bool stoppedOnce_ = false;
  LoadProblem loadProblem_ = LoadProblem::None;
  std::wstring refusedEntries_;
  bool saveFailureReported_ = false;
  std::vector<std::wstring> notices_;
  std::vector<std::wstring> pendingBoxes_;
  bool showingBox_ = false;
};

class CStressTestDlg : public ModuleDialog {
 public:
  explicit CStressTestDlg(const StressSettings& settings);
  ~CStressTestDlg() override;

  static constexpr unsigned maxTests = 65535;
  // Set by the caller before DoModal, read back after IDOK.
  unsigned nTests = 1;
  int stopOnErrors = 1;
  int concurrent = 0;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnOK() override;
  void OnDestroy() override;
  std::wstring StatusText(const ModuleRecord& r) const override;
  void OnTickRecord(ModuleRecord& r) override;
  void OnModuleEndedBadly(ModuleRecord& r, DWORD exitCode) override;
  void StopRun() override;
  void OnRunTimer() override { OnStressTimer(false); }
  void GoOn() override { RunStressTest(); }
  void OnIdleWaitDone(int pos, IdleWait outcome) override;
  void OnPauseDone() override { ContinueStarts(); }

 private:
  void RunStressTest();
  bool StartLoop();
  void ContinueStarts();
  bool FinishStart(int pos);
  void EndStarts();
  void OnStressTimer(bool fromRun);
  bool JudgeWait(ModuleRecord& r, IdleWait outcome);
  void ViewLog();
  bool ReadControls();
  void WriteControls();
  void ValidateTests(bool fromEdit);
  void NotifyMonitor(int kind);
  void SetTopmost(bool on);
  void EnableOptions(bool on);
  void LogLine(const std::string& text);
  void WriteResultTable();
  void CloseLog();

  int loop_ = 0;
  UINT drelmakMsg_ = 0;
  // The module starts of the step under way.
  int nextStart_ = 0;
  bool startedOne_ = false;
  // This run could not create or write STRESS.LOG (the reason, empty when
  // it could).
  std::wstring logFailure_;
  // A line of this loop's STRESS.LOG did not fit: the file was emptied.
  bool logCut_ = false;
};

class CBenchmarkDlg : public ModuleDialog {
 public:
  explicit CBenchmarkDlg(const StressSettings& settings);
  ~CBenchmarkDlg() override;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  std::wstring StatusText(const ModuleRecord& r) const override;
  void StopRun() override;
  void OnRunTimer() override { OnBenchTimer(); }
  void GoOn() override { RunBenchmarks(); }
  void OnIdleWaitDone(int pos, IdleWait outcome) override;
  // "&View Results...": the results of BNCHMARK.BNH.
  virtual void ViewResults();

 private:
  void RunBenchmarks();
  void OnBenchTimer();
  bool CreateResultsFile();
  void SortList();
  static int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM self);

  static constexpr UINT kResultsMsg = WM_APP + 43;

  int sortColumn_ = 0;
  bool ascending_ = true;
  // A series ran in this dialog; whether it wrote BNCHMARK.BNH (else why not).
  bool seriesRan_ = false;
  std::wstring resultsFailure_;
};

}  // namespace stress
