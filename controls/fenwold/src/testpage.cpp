#include "testpage.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "appkit/system.h"
#include "appkit/text.h"
#include "disktest/bench.h"
#include "disktest/filetest.h"
#include "disktest/lowlevel.h"
#include "disktest/ids.h"
#include "ctlfw/benchfile.h"
#include "infoclient/listbox.h"
#include "runner.h"

namespace disktest {

namespace {

// DISKTEST directories the runs used, removed (when empty) as the page closes.
std::mutex g_dirLock;
std::vector<std::string> g_directories;

void RecordDirectory(const std::string& dir) {
  std::lock_guard<std::mutex> hold(g_dirLock);
  for (const std::string& d : g_directories)
    if (_stricmp(d.c_str(), dir.c_str()) == 0) return;
  g_directories.push_back(dir);
}

// ---- File-test worker -----------------------------------------------------------

class PageFileHost : public FileTestHost {
 public:
  void Line(const std::string& text) override { ctlfw::AddResultLine(text); }
  bool Aborted() override { return ctlfw::RunAborted(); }
  void Progress(int percent) override { ctlfw::SetRunProgress(percent); }
  void UsedDirectory(const std::string& path) override { RecordDirectory(path); }
  void ScrollToEnd() override { ctlfw::ScrollRunResultsToEnd(); }
};

DWORD WINAPI FileTestThread(LPVOID p) {
  std::unique_ptr<FileTestConfig> config(static_cast<FileTestConfig*>(p));
  PageFileHost host;
  FileTestOutcome outcome = RunFileTest(*config, host);
  ctlfw::EndWorker(outcome == FileTestOutcome::Failed);
  return 0;
}

// ---- Benchmark worker -------------------------------------------------------------

struct BenchJob {
  BenchConfig config;
  std::wstring benchFile;
};

class PageBenchHost : public BenchHost {
 public:
  explicit PageBenchHost(ctlfw::BenchmarkFile& file) : file_(file) {}
  void ListLine(const std::string& text) override {
    ctlfw::AddResultLine(text);
    ctlfw::ScrollRunResultsToEnd();
  }
  void FileLine(const std::string& text) override { file_.WriteLine(text); }
  bool Aborted() override { return ctlfw::RunAborted(); }
  void Progress(int percent) override { ctlfw::SetRunProgress(percent); }
  void UsedDirectory(const std::string& path) override { RecordDirectory(path); }
  void CountError() override { ctlfw::CountRunError(); }

 private:
  ctlfw::BenchmarkFile& file_;
};

DWORD WINAPI BenchmarkThread(LPVOID p) {
  std::unique_ptr<BenchJob> job(static_cast<BenchJob*>(p));
  // The series created the file; without it the lines only go to the list.
  ctlfw::BenchmarkFile file(job->benchFile);
  PageBenchHost host(file);
  RunDiskBenchmark(job->config, host);
  if (ctlfw::TheRunState().errorCount > 0)
    host.FileLine(appkit::Narrow(appkit::LoadStr(IDS_DISK_FOUND_ERRORS, job->config.texts)));
  host.FileLine("");
  file.Close();
  // A block the file had no room for is not there: the list says so.
  std::string lost = file.FailureLine(job->config.texts);
  if (!lost.empty()) host.ListLine(lost);
  ctlfw::EndWorker(false);
  return 0;
}

// ---- The page ---------------------------------------------------------------------

class CDiskTestPage : public ctlfw::TestPage {
 public:
  explicit CDiskTestPage(CFenwoldRunner& runner) : ctlfw::TestPage(runner, IDD_FENWOLD_TEST_PAGE), fw_(runner) {}

 protected:
  UINT TestIconId() const override {
    return fw_.Options().floppy ? IDI_FENWOLD_TEST_FLOPPY : IDI_FENWOLD_TEST_FIXED;
  }
  std::wstring Description() const override {
    UINT id = 0;
    if (fw_.Options().bench) id = IDS_DISK_BENCH_HINT;
    else if (fw_.Options().netDisk) id = IDS_DISK_NET_HINT;
    else if (!appkit::IsWindows9x()) id = IDS_DISK_NT_HINT;
    return id ? appkit::LoadStr(id, fw_.Resources()) : std::wstring();
  }
  std::vector<std::string> TestNames() const override {
    if (fw_.Options().bench) return {};
    return {"- Sequential Read/Write Test", "- Random Read/Write Test"};
  }
  std::vector<int> ResultTabStops() const override { return {180, 220, 300, 480}; }
  ctlfw::PageItems Items() const override {
    ctlfw::PageItems items;
    items.checkList = IDC_DISK_SELECTION;
    items.showOptions = IDC_DISK_SHOW_OPTIONS;
    items.includes = IDC_DISK_INCLUDES;
    items.optionsOnly = {IDC_DISK_DRIVE_LABEL, IDC_DISK_DRIVES};
    return items;
  }
  ctlfw::RunEnd RunEndRule() const override {
    ctlfw::RunEnd end;
    if (fw_.Options().bench) {
      end.summary = ctlfw::RunEnd::Summary::ErrorsOnly;
      end.doneAfterAbort = fw_.Options().check;
    } else {
      end.summary = ctlfw::RunEnd::Summary::EmptyThenVerdict;
      end.tipsAnchor = fw_.Options().floppy ? "floppy" : "disk";
      end.verdictNearTop = true;
    }
    return end;
  }

  BOOL OnInit() override;
  void StartWorkers() override;
  void KeepChoices() override;
  void AfterWorkersOut() override;
  // Stop while the workers are being started (the pause between two starts
  // lets the click through): no more of them start, and the wait for those
  // that run follows the starts, so that it does not wait on the page's own
  // hold on the run.
  void StopRunning() override {
    if (!starting_) {
      ctlfw::TestPage::StopRunning();
      return;
    }
    ctlfw::TheRunState().abortFlag = 1;
    stopAfterStarts_ = true;
  }

 private:
  std::string ComboText(int index) const { return ComboItemText(IDC_DISK_DRIVES, index); }
  void StartFileWorkers(int index);
  void StartBenchmark();
  void PauseBetweenStarts() { PumpMessages(500); }
  void LoadSystemAccess();
  void FreeSystemAccess();
  void OnVerify();
  bool OnCommand(int id, int code, HWND ctl) override {
    if (id == IDC_DISK_VERIFY && code == BN_CLICKED) {
      OnVerify();
      return true;
    }
    return ctlfw::TestPage::OnCommand(id, code, ctl);
  }

  CFenwoldRunner& fw_;
  bool starting_ = false;
  bool stopAfterStarts_ = false;
  HMODULE vexholm_ = nullptr;
  SystemAccess access_;
};

// Windows 9x: the system-access library beside the control, and the label
// texts of MirvaneRC, which the library's 16-bit side is told as well.
void CDiskTestPage::LoadSystemAccess() {
  access_ = SystemAccess();
  vexholm_ = ::LoadLibraryW((fw_.ModuleDirectory() + L"Vexholm.DLL").c_str());
  if (!vexholm_) return;
  access_.getQuorrel = reinterpret_cast<GetQuorrelFn>(::GetProcAddress(vexholm_, "GetQuorrel"));
  access_.readSector = reinterpret_cast<ReadSectorFn>(::GetProcAddress(vexholm_, "ReadSector"));
  if (!access_.getQuorrel) return;
  HMODULE labels = ::LoadLibraryExW((fw_.ModuleDirectory() + L"MirvaneRC.DLL").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
  if (!labels) return;
  for (UINT id : {40u, 46u}) {
    char text[257] = {};
    int n = ::LoadStringA(labels, id, text, 256);
    if (n <= 0) continue;
    std::vector<char> record(2 + (size_t)n + 1, 0);
    record[0] = (char)(id & 0xFF);
    record[1] = (char)(id >> 8);
    std::memcpy(&record[2], text, (size_t)n);
    access_.getQuorrel(105, (WORD)(2 + n), record.data());
    (id == 40 ? access_.floppyLabel : access_.diskLabel) = text;
  }
  ::FreeLibrary(labels);
}

void CDiskTestPage::FreeSystemAccess() {
  access_ = SystemAccess();
  if (vexholm_) ::FreeLibrary(vexholm_);
  vexholm_ = nullptr;
}

class ListVerifyHost : public VerifyHost {
 public:
  ListVerifyHost(HWND list, HWND progress) : list_(list), progress_(progress) {}
  int AddLine(const std::string& text) override {
    int at = (int)::SendMessageW(list_, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(text).c_str());
    LRESULT count = ::SendMessageW(list_, LB_GETCOUNT, 0, 0);
    if (count != LB_ERR && count - 10 > 0) ::SendMessageW(list_, LB_SETTOPINDEX, (WPARAM)(count - 10), 0);
    return at;
  }
  void DeleteLine(int index) override { ::SendMessageW(list_, LB_DELETESTRING, (WPARAM)index, 0); }
  void Progress(int percent) override { ::SendMessageW(progress_, PBM_SETPOS, (WPARAM)percent, 0); }
  void Beep() override { ::MessageBeep(MB_ICONHAND); }
  void Erase(bool on) override { ::SendMessageW(list_, WM_COMMAND, 101, on ? 1 : 0); }

 private:
  HWND list_, progress_;
};

void CDiskTestPage::OnVerify() {
  if (!access_.Bound()) return;
  if (IsRunning()) {
    ::MessageBeep(MB_ICONHAND);
    return;
  }
  SendItem(IDC_TEST_RESULTS, LB_RESETCONTENT);
  if (!fw_.Options().bench && IsChecked(IDC_DISK_SHOW_OPTIONS)) {
    Check(IDC_DISK_SHOW_OPTIONS, false);
    ctlfw::TestPage::OnCommand(IDC_DISK_SHOW_OPTIONS, BN_CLICKED, Item(IDC_DISK_SHOW_OPTIONS));
  }
  HCURSOR old = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  ListVerifyHost host(Item(IDC_TEST_RESULTS), Item(IDC_TEST_PROGRESS));
  RunVerifyTests(fw_.Options().floppy, access_, host, fw_.Resources());
  ::SetCursor(old);
  SendItem(IDC_TEST_PROGRESS, PBM_SETPOS, 0);
  ::UpdateWindow(Item(IDC_TEST_PROGRESS));
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

BOOL CDiskTestPage::OnInit() {
  ctlfw::TestPage::OnInit();
  const ctlfw::Switches& o = fw_.Options();
  HINSTANCE res = fw_.Resources();

  // The low-level Verify tests need the system-access library of Windows 9x.
  if (!appkit::IsWindows9x()) {
    EnableItem(IDC_DISK_VERIFY, false);
    ShowItem(IDC_DISK_VERIFY, false);
  } else {
    LoadSystemAccess();
    EnableItem(IDC_DISK_VERIFY, access_.Bound() && !o.bench);
  }
  if (o.bench) EnableItem(IDC_DISK_DRIVES, false);
  bool netOnly = o.netDisk && !o.floppy;
  if (netOnly) {
    EnableItem(IDC_DISK_VERIFY, false);
    ShowItem(IDC_DISK_VERIFY, false);
    ShowItem(IDC_DISK_PATH, true);
    EnableItem(IDC_DISK_PATH, true);
    SendItem(IDC_DISK_PATH, EM_LIMITTEXT, 32, 0);
    SetItemText(IDC_DISK_PATH, appkit::Widen(fw_.NetPath()));
  } else {
    ShowItem(IDC_DISK_PATH, false);
  }

  ::srand((unsigned)::time(nullptr));
  UINT type = DRIVE_FIXED;
  UINT label = IDS_DISK_FIXED;
  if (o.floppy) {
    type = DRIVE_REMOVABLE;
    label = IDS_DISK_REMOVABLE;
  } else if (o.netDisk) {
    type = DRIVE_REMOTE;
    label = IDS_DISK_NETWORK;
  }
  SetItemText(IDC_DISK_DRIVE_LABEL, appkit::LoadStr(label, res) + L":");

  HWND combo = Item(IDC_DISK_DRIVES);
  wchar_t roots[256] = {};
  DWORD n = ::GetLogicalDriveStringsW(255, roots);
  int drives = 0;
  for (const wchar_t* r = roots; n && n <= 255 && *r; r += wcslen(r) + 1) {
    if (::GetDriveTypeW(r) != type) continue;
    ::SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)r);
    ++drives;
  }
  if (drives > 1 && !o.netDisk)
    ::SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)appkit::LoadStr(IDS_DISK_ALL, res).c_str());
  if (drives == 0) {
    EnableItem(IDC_TEST_STARTSTOP, false);
    EnableItem(IDC_DISK_DRIVES, false);
    SendItem(IDC_TEST_RESULTS, LB_ADDSTRING, 0, (LPARAM)appkit::LoadStr(IDS_DISK_NO_DRIVE, res).c_str());
  }
  int count = (int)::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  int select = 0;
  int saved = (int)::SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                  (LPARAM)appkit::Widen(fw_.SelectedDrive()).c_str());
  if (!o.bench || appkit::IsWindows9x()) {
    if (saved != CB_ERR) select = saved;
    // The benchmark measures one drive: never "<All>".
    if (o.bench && count > 1 && select == count - 1) select = 0;
  }
  if (count > 0) ::SendMessageW(combo, CB_SETCURSEL, select, 0);
  if (o.bench) {
    // The results from the start; no options in benchmark mode.
    ShowItem(IDC_DISK_DRIVE_LABEL, false);
    ShowItem(IDC_DISK_DRIVES, false);
  }
  return TRUE;
}

void CDiskTestPage::StartFileWorkers(int index) {
  const ctlfw::Switches& o = fw_.Options();
  std::string root = ComboText(index);
  const DiskValues v = fw_.Values();
  int threads = o.netDisk ? 1 : v.nThread;
  for (int t = 0; t < threads && !ctlfw::RunAborted(); ++t) {
    auto* c = new FileTestConfig;
    c->root = root;
    c->network = o.netDisk;
    c->netPath = fw_.NetPath();
    c->increment = (uint32_t)v.increment;
    c->incrementMax = (uint32_t)v.incrementMax;
    c->largest = (uint32_t)v.largest;
    c->sequential = v.sequentialEnable != 0;
    c->random = v.randomEnable != 0;
    c->check = o.check;
    c->texts = fw_.Resources();
    StartRunWorker(&FileTestThread, c);
    PauseBetweenStarts();
  }
}

void CDiskTestPage::StartBenchmark() {
  auto* job = new BenchJob;
  std::string drive = ComboText(0);
  int sel = (int)SendItem(IDC_DISK_DRIVES, CB_GETCURSEL);
  int count = (int)SendItem(IDC_DISK_DRIVES, CB_GETCOUNT);
  if (count > 1 && sel >= 0) drive = ComboText(sel);
  job->config.letter = drive.empty() ? 'C' : drive[0];
  job->config.baseLoop = (uint32_t)fw_.Values().baseLoop;
  job->config.texts = fw_.Resources();
  job->config.nine = appkit::IsWindows9x();
  job->config.access = access_;
  if (!fw_.Options().autoRun) {
    CFenwoldRunner* runner = &fw_;
    job->config.retryBox = [runner](const std::wstring& text) { runner->ShowMessage(text, MB_OK); };
  }
  job->benchFile = fw_.ModuleDirectory() + L"BNCHMARK.BNH";
  StartRunWorker(&BenchmarkThread, job);
  PauseBetweenStarts();
}

void CDiskTestPage::StartWorkers() {
  const ctlfw::Switches& o = fw_.Options();
  if (o.netDisk) fw_.SetNetPath(appkit::Narrow(ItemText(IDC_DISK_PATH)));
  int n = (int)SendItem(IDC_DISK_DRIVES, CB_GETCOUNT);
  int s = (int)SendItem(IDC_DISK_DRIVES, CB_GETCURSEL);
  if (n <= 0 || s < 0) {
    // Nothing to test (a machine without a drive of this kind): the run
    // ends at once with one error, its verdict and log, so that an
    // automatic run reports to its host instead of never finishing.
    BeginRunOnPageThread();
    if (n <= 0) ctlfw::AddResultLine(appkit::Narrow(appkit::LoadStr(IDS_DISK_NO_DRIVE, fw_.Resources())));
    ctlfw::EndWorker(true);
    return;
  }
  if (o.bench) {
    StartBenchmark();
    return;
  }
  // The page holds the run open while it starts the workers one after the
  // other, so that an early finisher cannot end the run for the rest.
  BeginRunOnPageThread();
  starting_ = true;
  stopAfterStarts_ = false;
  if (o.netDisk) {
    StartFileWorkers(s);
  } else if (n == 1) {
    StartFileWorkers(0);
  } else if (s == n - 1) {
    for (int i = 0; i < n - 1 && !ctlfw::RunAborted(); ++i) StartFileWorkers(i);
  } else {
    StartFileWorkers(s);
  }
  starting_ = false;
  ctlfw::EndWorker(false);
  if (stopAfterStarts_) {
    stopAfterStarts_ = false;
    if (ctlfw::TheRunState().runningCount > 0) ctlfw::TestPage::StopRunning();
  }
}

void CDiskTestPage::KeepChoices() {
  if (fw_.Options().bench) return;
  int sel = (int)SendItem(IDC_DISK_DRIVES, CB_GETCURSEL);
  if (sel >= 0) fw_.SetSelectedDrive(ComboText(sel));
  if (fw_.Options().netDisk) fw_.SetNetPath(appkit::Narrow(ItemText(IDC_DISK_PATH)));
}

void CDiskTestPage::AfterWorkersOut() {
  FreeSystemAccess();
  if (fw_.Options().netDisk) return;
  std::lock_guard<std::mutex> hold(g_dirLock);
  for (const std::string& d : g_directories) ::RemoveDirectoryW(appkit::Widen(d).c_str());
  g_directories.clear();
}

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakeDiskTestPage(CFenwoldRunner& runner) {
  return std::make_unique<CDiskTestPage>(runner);
}

}  // namespace disktest
