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
  void OnDestroy() override;

  // State text as the list shows it.
  virtual std::wstring StatusText(const ModuleRecord& r) const;
  // Called for every enabled record on a timer tick, before it is judged.
  virtual void OnTickRecord(ModuleRecord& r) {}
  virtual void StopRun() = 0;

  int Message(UINT stringId, UINT type = MB_OK | MB_ICONEXCLAMATION);
  int MessageText(const std::wstring& text, UINT type = MB_OK | MB_ICONEXCLAMATION);
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
  // Waits (in steps of the idle wait) until a started module takes input.
  enum class IdleWait { Idle, EndedBeforeLimit, LimitReached, Failed };
  IdleWait WaitIdle(ModuleRecord& r, int maxWaits);
  void PostProtocol(const ModuleRecord& r);
  void AskToQuit(ModuleRecord& r);
  void StopLiveModules();
  void OnModuleReply(WPARAM wp, LPARAM lp);
  void DrainReplies();
  Refresh RefreshModules(bool timerTick);
  void SetRunButton(bool running);
  void ShowTotalElapsed();
  void CreateImageLists();

  static constexpr UINT_PTR kTimerId = 1001;

  StressSettings settings_;
  ListKind kind_;
  std::wstring listPath_;
  std::vector<ModuleRecord> records_;
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
  void OnTimer(UINT_PTR id) override;
  void OnOK() override;
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  std::wstring StatusText(const ModuleRecord& r) const override;
  void OnTickRecord(ModuleRecord& r) override;
  void StopRun() override;

 private:
  void RunStressTest();
  bool StartLoop();
  void OnStressTimer(bool fromRun);
  void WaitForModule(ModuleRecord& r);
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
};

class CBenchmarkDlg : public ModuleDialog {
 public:
  explicit CBenchmarkDlg(const StressSettings& settings);
  ~CBenchmarkDlg() override;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;
  std::wstring StatusText(const ModuleRecord& r) const override;
  void StopRun() override;
  // "&View Results...": the results of BNCHMARK.BNH.
  virtual void ViewResults();

 private:
  void RunBenchmarks();
  void OnBenchTimer();
  void WaitForModule(ModuleRecord& r);
  void CreateResultsFile();
  void SortList();
  static int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM self);

  int sortColumn_ = 0;
  bool ascending_ = true;
};

// A file viewer standing in for the log and results dialogs: shows the
// text of up to two files under a title.
class FileViewDlg : public appkit::Dialog {
 public:
  FileViewDlg(const std::wstring& title, std::vector<std::wstring> files);

 protected:
  BOOL OnInit() override;

 private:
  std::wstring title_;
  std::vector<std::wstring> files_;
};

}  // namespace stress
