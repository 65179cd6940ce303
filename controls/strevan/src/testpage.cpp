#include "testpage.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "appkit/paths.h"
#include "appkit/text.h"
#include "infoclient/listbox.h"
#include "ctlfw/runner.h"
#include "porttest_rules.h"
#include "runner.h"
#include "strevan_ids.h"
#include "suite/controls.h"

namespace porttest {

namespace {

constexpr DWORD kPollMs = 200;
constexpr int kProgressSteps = 10;
constexpr int kResultTabStop = 100;

// Reads at most kMaxResultFile bytes of a result file; *whole is false when
// it holds more.
bool ReadResultFile(const std::wstring& path, std::string* text, bool* whole) {
  *whole = true;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  bool ok = true;
  // One byte past the bound tells a file that holds more.
  while (text->size() <= kMaxResultFile) {
    DWORD want = (DWORD)std::min(sizeof buffer, kMaxResultFile + 1 - text->size());
    if (!::ReadFile(f, buffer, want, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    text->append(buffer, got);
  }
  ::CloseHandle(f);
  if (text->size() > kMaxResultFile) {
    text->resize(kMaxResultFile);
    *whole = false;
  }
  return ok;
}

// Removes a result file a run before left, also a read-only one; false when
// it is still there (this run's tester could not be told from it).
bool RemoveResultFile(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return true;
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetFileAttributesW(path.c_str(), attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    if (::DeleteFileW(path.c_str())) return true;
  }
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

constexpr UINT_PTR kPollTimer = 1;

struct GroupTexts {
  UINT header, notStarted;
};
const GroupTexts kGroupTexts[kGroupCount] = {{IDS_STREVAN_PRINTER_HEADER, IDS_STREVAN_PRINTER_NOT_STARTED},
                                             {IDS_STREVAN_SERIAL_HEADER, IDS_STREVAN_SERIAL_NOT_STARTED},
                                             {IDS_STREVAN_GAME_HEADER, IDS_STREVAN_GAME_NOT_STARTED}};

// The run goes from group to group on the page's own thread, driven by its
// messages: a tester is started, polled on the page's timer, judged, and
// the next group follows. Nothing of the run waits inside a handler, so the
// page stays responsive, and Stop, Abort or the sheet closing end the run
// at once, while the page is still whole.
class CStrevanTestPage : public ctlfw::TestPage {
 public:
  explicit CStrevanTestPage(CStrevanRunner& runner) : TestPage(runner), runner_(runner) {}
  ~CStrevanTestPage() override { EndTester(); }

 protected:
  UINT TestIconId() const override { return IDI_STREVAN; }
  std::wstring Description() const override { return Text(IDS_STREVAN_TEST_TEXT); }
  std::vector<std::string> TestNames() const override {
    return RowTexts(IDS_STREVAN_ITEM_BASE, 13);
  }
  ctlfw::RunEnd RunEndRule() const override {
    ctlfw::RunEnd end;
    end.summary = ctlfw::RunEnd::Summary::None;  // the page writes its own verdict
    end.tipsAnchor = "io";
    end.doneAfterAbort = true;
    return end;
  }
  std::vector<long> FillItemData(std::vector<int>* flags) const override { return PortItemData(flags); }
  int CanCheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const override {
    return PortCanCheck(index, flags, data);
  }
  int CanUncheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const override {
    return PortCanUncheck(index, flags, data);
  }

  BOOL OnInit() override {
    BOOL r = TestPage::OnInit();
    SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, kProgressSteps);
    return r;
  }
  BOOL OnSetActive() override {
    if (auto* list = dynamic_cast<ctlfw::CInfoListBox*>(appkit::Window::FromHandle(Item(IDC_TEST_RESULTS)))) {
      int stop = kResultTabStop;
      list->SetTabStops(1, &stop);
    }
    return TestPage::OnSetActive();
  }
  bool OnCommand(int id, int code, HWND ctl) override {
    // Stop (the button, or Abort): the run ends here and now.
    if (id == IDC_TEST_STARTSTOP && code == BN_CLICKED && running_) {
      StopRun();
      return true;
    }
    return TestPage::OnCommand(id, code, ctl);
  }
  void OnTimer(UINT_PTR id) override {
    if (id == kPollTimer) Poll();
  }
  // The sheet closes: a run still going ends first, so that nothing waits
  // for it and nothing of the page is left to it.
  void OnSheetClosing() override { StopRun(); }

  void StartWorkers() override {
    BeginRunOnPageThread(true);
    running_ = true;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    PortChoices& c = choices_;
    c = PortChoices{};
    const PortValues v = runner_.Values();
    c.printer = v.bLPT == 1;
    c.printerLoopback1 = v.bLPTLoopback1 == 1;
    c.printerLoopback2 = v.bLPTLoopback2 == 1;
    c.serial = v.bCom == 1;
    c.serialLoopback = v.bComLoopback == 1;
    c.game = v.bGame == 1;
    const std::wstring dir = runner_.ModuleDirectory();
    for (int g = 0; g < kGroupCount; ++g) cmd_[g] = CommandFor((Group)g, c, dir, appkit::FileExists);
    failed_ = {};
    group_ = -1;
    NextGroup();
  }

 private:
  std::wstring Text(UINT id) const { return appkit::LoadStr(id, runner_.Resources()); }
  void Add(UINT id, const std::wstring& tail = L"") { ctlfw::AddResultLine(appkit::Narrow(Text(id) + tail)); }

  // Ends a run that is going on: its tester is stopped and the run ends as
  // an aborted one. Its Done reaches the host before this returns: a host
  // that stops the run on its way out (Abort, then away) still hears it.
  void StopRun() {
    if (!running_) return;
    ctlfw::RunState& s = ctlfw::TheRunState();
    s.abortFlag = 1;
    if (tester_.hProcess) EndWait();
    else FinishRun();
    if (s.controlWindow) ctlfw::DeliverTestDone(s.controlWindow);
  }

  // Goes on with the groups after `group_` until a tester is started (its
  // wait goes on on the timer) or the run is over.
  void NextGroup() {
    ctlfw::RunState& s = ctlfw::TheRunState();
    while (++group_ < kGroupCount && !s.abortFlag) {
      const int g = group_;
      if (g == kGroupSerial && !runner_.AnyComPortOpens()) {
        // Counted failed whether or not the serial test was chosen.
        Add(IDS_STREVAN_SERIAL_HEADER);
        Add(IDS_STREVAN_NO_SERIAL_PORT);
        ctlfw::AddResultLine("");
        failed_[g] = true;
        continue;
      }
      if (cmd_[g].program.empty()) continue;
      if (StartTester((Group)g)) return;
      failed_[g] = true;
      ctlfw::AddResultLine("");
    }
    FinishRun();
  }

  // Starts the group's tester in the control's directory; false (with its
  // line) when it is missing or does not start.
  bool StartTester(Group g) {
    const GroupCommand& cmd = cmd_[g];
    const bool removed = RemoveResultFile(cmd.resultFile);
    if (!appkit::FileExists(cmd.program)) {
      Add(IDS_STREVAN_MISSING_FILE, L"(" + cmd.program + L")");
      return false;
    }
    if (!removed) {
      Add(IDS_STREVAN_OLD_RESULT, L"(" + cmd.resultFile + L")");
      return false;
    }
    // The tester writes its result file into its current directory: the
    // directory it is read from.
    const std::wstring& dir = runner_.ModuleDirectory();
    std::wstring line = L"\"" + cmd.program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(cmd.program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
      Add(kGroupTexts[g].notStarted);
      return false;
    }
    tester_ = pi;
    Add(kGroupTexts[g].header);
    polls_ = 0;
    maxPolls_ = runner_.MaxLoop() > 0 ? runner_.MaxLoop() : 0;
    ::SetTimer(hwnd(), kPollTimer, kPollMs, nullptr);
    Poll();
    return true;
  }

  // One poll of the tester: at most MaxLoop of them, 200 ms apart, until it
  // ends or the run is stopped.
  void Poll() {
    if (!tester_.hProcess) {
      ::KillTimer(hwnd(), kPollTimer);
      return;
    }
    if (ctlfw::RunAborted() || polls_ >= maxPolls_ || ::WaitForSingleObject(tester_.hProcess, 0) == WAIT_OBJECT_0) {
      EndWait();
      return;
    }
    ctlfw::SetRunProgress(polls_ % kProgressSteps + 1);
    ++polls_;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  }

  // The wait for the current group's tester is over: a tester still
  // running is ended, the group judged (unless the run was stopped), and
  // the run goes on.
  void EndWait() {
    ::KillTimer(hwnd(), kPollTimer);
    ctlfw::SetRunProgress(0);
    const bool ended = ::WaitForSingleObject(tester_.hProcess, 0) == WAIT_OBJECT_0;
    EndTester();
    const Group g = (Group)group_;
    if (!ctlfw::RunAborted()) {
      bool groupFailed = false;
      if (!ended) {
        // A tester that hangs has proven nothing, whatever it left behind.
        Add(IDS_STREVAN_TESTER_STOPPED);
        groupFailed = true;
      }
      std::string text;
      bool whole = true, cut = false;
      bool readable = ReadResultFile(cmd_[g].resultFile, &text, &whole);
      std::vector<std::string> lines;
      groupFailed |= ResultFileFailed(g, readable, text, &lines, whole, &cut);
      // A tester that ended without its result (it died, or could not
      // write the file) has tested nothing.
      if (ended && (!readable || text.empty())) Add(IDS_STREVAN_NO_RESULT);
      for (const std::string& l : lines) ctlfw::AddResultLine(l);
      if (cut) Add(IDS_STREVAN_RESULT_CUT);
      failed_[g] = groupFailed;
    }
    ctlfw::AddResultLine("");
    NextGroup();
  }

  // The verdict, the log, and the end of the run.
  void FinishRun() {
    ctlfw::RunState& s = ctlfw::TheRunState();
    running_ = false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    // A stopped run has not shown the ports to be good: it counts as failed.
    int errors = s.abortFlag ? 1
                             : RunErrorCount(failed_[kGroupSerial], failed_[kGroupPrinter], choices_.game,
                                             failed_[kGroupGame]);
    ::EnterCriticalSection(&s.runLock);
    s.errorCount = errors;
    ::LeaveCriticalSection(&s.runLock);
    int verdict = -1;
    if (s.abortFlag)
      Add(IDS_STREVAN_ABORTED);
    else if (cmd_[kGroupPrinter].program.empty() && cmd_[kGroupSerial].program.empty() &&
             cmd_[kGroupGame].program.empty())
      Add(IDS_STREVAN_NO_TEST);
    else
      verdict = ctlfw::AddResultLine(appkit::Narrow(Text(errors ? IDS_STREVAN_FOUND_ERRORS : IDS_STREVAN_NO_ERROR)));
    // Log, tips, the button, and WM_TESTDONE in an automatic run.
    ctlfw::EndWorker(false);
    ctlfw::AddResultLine("");
    HWND list = Item(IDC_TEST_RESULTS);
    LRESULT count = SendItem(IDC_TEST_RESULTS, LB_GETCOUNT);
    LRESULT top = errors == 0 || verdict < 3 ? count - 9 : verdict - 3;
    ::SendMessageW(list, LB_SETTOPINDEX, (WPARAM)(top > 0 ? top : 0), 0);
  }

  // Ends a tester that still runs and lets its handles go.
  void EndTester() {
    if (tester_.hProcess) {
      if (::WaitForSingleObject(tester_.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(tester_.hProcess, 0);
        ::WaitForSingleObject(tester_.hProcess, 5000);
      }
      ::CloseHandle(tester_.hProcess);
    }
    if (tester_.hThread) ::CloseHandle(tester_.hThread);
    tester_ = PROCESS_INFORMATION{};
  }

  CStrevanRunner& runner_;
  PortChoices choices_;
  std::array<GroupCommand, kGroupCount> cmd_;
  std::array<bool, kGroupCount> failed_{};
  int group_ = -1;
  int polls_ = 0, maxPolls_ = 0;
  PROCESS_INFORMATION tester_{};
  bool running_ = false;
};

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakePortTestPage(CStrevanRunner& runner) {
  return std::make_unique<CStrevanTestPage>(runner);
}

}  // namespace porttest
