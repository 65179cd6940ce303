#include "testpage.h"

#include <commctrl.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "appkit/system.h"
#include "appkit/text.h"
#include "cdtest/engine.h"
#include "cdtest/ids.h"
#include "ctlfw/benchfile.h"
#include "runner.h"
#include "suite/diag.h"

namespace cdtest {

namespace {

class CCdromTestPage;

// The page as the drive tests see it: its result list, progress bar and
// pump, and the benchmark file of a benchmark run.
class PageHost : public CdHost {
 public:
  PageHost(CCdromTestPage& page, ctlfw::BenchmarkFile* file) : page_(page), file_(file) {}
  void Line(const std::string& text) override { ctlfw::AddResultLine(text); }
  void AppendToLast(const std::string& text) override;
  void FileLine(const std::string& text) override {
    if (file_) file_->WriteLine(text);
  }
  void Pump() override;
  bool Stopped() override { return ctlfw::RunAborted(); }
  void ProgressRange(uint32_t max) override {
    ::SendMessageW(ctlfw::TheRunState().progressWindow, PBM_SETRANGE32, 0, (LPARAM)max);
  }
  void Progress(uint32_t pos) override { ::SendMessageW(ctlfw::TheRunState().progressWindow, PBM_SETPOS, pos, 0); }
  void ScrollToEnd() override { ctlfw::ScrollRunResultsToEnd(); }
  void CountError() override { ctlfw::CountRunError(); }
  void Searching(bool on) override;

 private:
  CCdromTestPage& page_;
  ctlfw::BenchmarkFile* file_;
};

class CCdromTestPage : public ctlfw::TestPage {
 public:
  explicit CCdromTestPage(CCdromRunner& runner) : ctlfw::TestPage(runner, IDD_CDROM_TEST_PAGE), cd_(runner) {}

  // Lets the page's and the host's messages through between the steps of a
  // run; the host's close request stops the run and still reports.
  void Pump();
  void SetSearching(bool on) {
    searching_ = on;
    ::SetCursor(::LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
  }

 protected:
  UINT TestIconId() const override { return IDI_CDROM_TEST; }
  std::wstring Description() const override {
    return cd_.Options().bench ? appkit::LoadStr(IDS_CD_BENCH_HINT, cd_.Resources()) : std::wstring();
  }
  std::vector<std::string> TestNames() const override {
    if (cd_.Options().bench) return {};
    return RowTexts({IDS_CD_READ_DATA_TEST, IDS_CD_TRANSFER_RATE_TEST, IDS_CD_FULL_STROKE_TEST, IDS_CD_RANDOM_TEST});
  }
  ctlfw::PageItems Items() const override {
    ctlfw::PageItems items;
    items.checkList = IDC_CD_SELECTION;
    items.showOptions = IDC_CD_SHOW_OPTIONS;
    items.includes = IDC_CD_INCLUDES;
    items.text = IDC_CD_HINT;
    items.optionsOnly = {IDC_CD_DRIVE_LABEL, IDC_CD_DRIVES};
    return items;
  }
  std::wstring StartQuestion() const override {
    // Asked only before a run that will test: the refusals come first.
    if (cd_.Options().bench || drives_.empty() || !reader_ || SendItem(IDC_CD_DRIVES, CB_GETCURSEL) < 0) return {};
    return appkit::LoadStr(IDS_CD_ASK_START, cd_.Resources());
  }

  BOOL OnInit() override;
  void StartWorkers() override;
  void KeepChoices() override;
  void AfterWorkersOut() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    if (msg == WM_SETCURSOR && searching_) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      *result = TRUE;
      return true;
    }
    return ctlfw::TestPage::OnMessage(msg, wp, lp, result);
  }

 private:
  std::string Text(UINT id) const { return appkit::Narrow(appkit::LoadStr(id, cd_.Resources())); }
  void LoadReader();
  void FillDrives();
  std::string ComboText(int index) const { return ComboItemText(IDC_CD_DRIVES, index); }
  void RunTests();
  void RunBenchmark();
  // Ends a run the page refused or finished with lines of its own.
  void EndRun(const ctlfw::RunEnd& end);
  bool DriveChosen(size_t j, int selection) const {
    return selection == (int)drives_.size() || (int)j == selection;
  }

  CCdromRunner& cd_;
  std::string message_;       // why the reader is missing
  HMODULE library_ = nullptr;
  ReadSectorsFn reader_ = nullptr;
  std::vector<char> drives_;  // letters of the CD drives, in combo order
  bool searching_ = false;
  bool quitRequested_ = false;
  bool quitPosted_ = false;
  int quitCode_ = 0;
};

void PageHost::AppendToLast(const std::string& text) {
  HWND list = ctlfw::TheRunState().resultsWindow;
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count == LB_ERR || count <= 0) {
    Line(text);
    return;
  }
  LRESULT len = ::SendMessageW(list, LB_GETTEXTLEN, (WPARAM)(count - 1), 0);
  std::wstring last;
  if (len != LB_ERR && len >= 0) {
    last.assign((size_t)len + 1, L'\0');
    LRESULT got = ::SendMessageW(list, LB_GETTEXT, (WPARAM)(count - 1), (LPARAM)&last[0]);
    last.resize(got > 0 && got <= len ? (size_t)got : 0);
  }
  ::SendMessageW(list, LB_DELETESTRING, (WPARAM)(count - 1), 0);
  Line(appkit::Narrow(last) + text);
}

void PageHost::Pump() { page_.Pump(); }

void PageHost::Searching(bool on) { page_.SetSearching(on); }

void CCdromTestPage::Pump() {
  UINT diag = cd_.DiagMessage();
  DrainThreadQueue([this, diag](const MSG& m) {
    if (m.message == WM_QUIT) {
      // Kept for the loop that waits for it, once the run is over.
      quitPosted_ = true;
      quitCode_ = (int)m.wParam;
      ctlfw::TheRunState().abortFlag = 1;
      return true;
    }
    if (!m.hwnd && diag && m.message == diag) {
      if (m.wParam == suite::DiagClose) {
        quitRequested_ = true;
        ctlfw::TheRunState().abortFlag = 1;
      }
      // The host program's own filter keeps its part of the protocol.
      MSG copy = m;
      ::CallMsgFilterW(&copy, MSGF_DIALOGBOX);
      return true;
    }
    return false;
  });
}

void CCdromTestPage::LoadReader() {
  const std::wstring& dir = cd_.ModuleDirectory();
  UINT failure = 0;
  if (dir.empty()) {
    failure = IDS_CD_NO_PATH;
  } else {
    library_ = ::LoadLibraryW((dir + (appkit::IsWindows9x() ? L"trunnel.dll" : L"trunnelnt.dll")).c_str());
    if (!library_) {
      failure = IDS_CD_NO_LIBRARY;
    } else {
      reader_ = reinterpret_cast<ReadSectorsFn>(
          reinterpret_cast<void*>(::GetProcAddress(library_, "ReadSectorsFromCD")));
      if (!reader_) failure = IDS_CD_NO_ENTRY;
    }
  }
  if (!failure) return;
  message_ = Text(failure);
  ctlfw::TheRunState().resultsWindow = Item(IDC_TEST_RESULTS);
  SendItem(IDC_TEST_RESULTS, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(message_).c_str());
}

void CCdromTestPage::FillDrives() {
  HWND combo = Item(IDC_CD_DRIVES);
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    char root[4] = {letter, ':', '\\', 0};
    if (::GetDriveTypeA(root) != DRIVE_CDROM) continue;
    ::SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)appkit::Widen(root).c_str());
    drives_.push_back(letter);
  }
  if (drives_.size() > 1)
    ::SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)appkit::LoadStr(IDS_CD_ALL, cd_.Resources()).c_str());
  if (drives_.empty()) {
    SendItem(IDC_TEST_RESULTS, LB_ADDSTRING, 0, (LPARAM)appkit::LoadStr(IDS_CD_NO_DRIVE, cd_.Resources()).c_str());
    return;
  }
  int select = 0;
  if (!cd_.Options().bench) {
    int count = (int)::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
      if (_stricmp(ComboText(i).c_str(), cd_.SelectedDrive().c_str()) == 0) select = i;
  }
  ::SendMessageW(combo, CB_SETCURSEL, select, 0);
}

BOOL CCdromTestPage::OnInit() {
  ctlfw::TestPage::OnInit();
  if (cd_.Options().bench) EnableItem(IDC_CD_DRIVES, false);
  ::srand((unsigned)::time(nullptr));
  LoadReader();
  FillDrives();
  return TRUE;
}

void CCdromTestPage::EndRun(const ctlfw::RunEnd& end) {
  ctlfw::RunState& s = ctlfw::TheRunState();
  s.end = end;
  // Asked to close: the count still goes to the control, also after a stop.
  if (quitRequested_) s.end.doneAfterAbort = true;
  ctlfw::EndWorker(false);
  if (quitPosted_) ::PostQuitMessage(quitCode_);
}

void CCdromTestPage::StartWorkers() {
  BeginRunOnPageThread(true);
  quitRequested_ = quitPosted_ = false;
  if (cd_.Options().bench)
    RunBenchmark();
  else
    RunTests();
}

void CCdromTestPage::RunTests() {
  ctlfw::RunState& s = ctlfw::TheRunState();
  ctlfw::RunEnd quiet;
  quiet.summary = ctlfw::RunEnd::Summary::None;
  if (drives_.empty()) {
    ctlfw::AddResultLine(Text(IDS_CD_NO_DRIVE));
    s.errorCount = 1;
    ctlfw::WriteTestLog(s);
    EndRun(quiet);
    return;
  }
  if (!reader_ && !cd_.Options().autoRun) {
    ctlfw::AddResultLine(message_);
    ctlfw::CountRunError();
    EndRun(quiet);
    return;
  }
  int selection = (int)SendItem(IDC_CD_DRIVES, CB_GETCURSEL);
  if (selection < 0) {
    ctlfw::AddResultLine(Text(IDS_CD_SELECT_DRIVE));
    s.errorCount = 1;
    EndRun(quiet);
    return;
  }
  Pump();
  PageHost host(*this, nullptr);
  CdDriveTest test(cd_.MakeRunConfig(reader_), host);
  for (int pass = 0; pass < test.Current().loop && !ctlfw::RunAborted(); ++pass)
    for (size_t j = 0; j < drives_.size() && !ctlfw::RunAborted(); ++j)
      if (DriveChosen(j, selection)) test.RunDrive(drives_[j]);
  if (ctlfw::RunAborted()) {
    ctlfw::AddResultLine(Text(IDS_CD_ABORTED));
    ctlfw::AddResultLine("");
  }
  ctlfw::RunEnd end;
  end.summary = ctlfw::RunEnd::Summary::Verdict;
  end.tipsAnchor = "cdrom";
  end.verdictNearTop = true;
  EndRun(end);
}

void CCdromTestPage::RunBenchmark() {
  ctlfw::RunState& s = ctlfw::TheRunState();
  // The series created the file; without it the lines only go to the list.
  ctlfw::BenchmarkFile file(cd_.ModuleDirectory() + L"BNCHMARK.BNH");
  PageHost host(*this, &file);
  std::string heading = Text(IDS_CD_BENCH_HEADING);
  int selection = (int)SendItem(IDC_CD_DRIVES, CB_GETCURSEL);
  if (drives_.empty() || selection < 0) {
    std::string line = Text(drives_.empty() ? IDS_CD_NO_DRIVE : IDS_CD_SELECT_DRIVE);
    host.Line(line);
    host.FileLine(heading);
    host.FileLine(line);
    s.errorCount = 1;
  } else {
    Pump();
    host.Line(Text(IDS_CD_BENCH_TESTING));
    host.FileLine(heading);
    CdDriveTest test(cd_.MakeRunConfig(reader_), host);
    for (size_t j = 0; j < drives_.size() && !ctlfw::RunAborted(); ++j)
      if (DriveChosen(j, selection)) test.RunBenchmarkDrive(drives_[j]);
  }
  for (UINT id : {IDS_CD_ABORTED, IDS_CD_FOUND_ERRORS}) {
    if (id == IDS_CD_ABORTED ? !ctlfw::RunAborted() : s.errorCount == 0) continue;
    host.Line(Text(id));
    host.FileLine(Text(id));
  }
  host.FileLine("");
  file.Close();
  // A block the file had no room for is not there: the list says so.
  std::string lost = file.FailureLine(cd_.Resources());
  if (!lost.empty()) host.Line(lost);
  ctlfw::RunEnd end;
  end.summary = ctlfw::RunEnd::Summary::None;
  end.doneAfterAbort = cd_.Options().check;
  EndRun(end);
}

void CCdromTestPage::KeepChoices() {
  if (cd_.Options().bench) return;
  int sel = (int)SendItem(IDC_CD_DRIVES, CB_GETCURSEL);
  if (sel >= 0) cd_.SetSelectedDrive(ComboText(sel));
}

void CCdromTestPage::AfterWorkersOut() {
  reader_ = nullptr;
  if (library_) ::FreeLibrary(library_);
  library_ = nullptr;
}

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakeCdromTestPage(CCdromRunner& runner) {
  return std::make_unique<CCdromTestPage>(runner);
}

}  // namespace cdtest
