#include "testpage.h"

#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

#include "appkit/paths.h"
#include "appkit/text.h"
#include "ctlfw/listbox.h"
#include "ctlfw/runner.h"
#include "porttest_rules.h"
#include "runner.h"
#include "strevan_ids.h"
#include "suite/diag.h"

namespace porttest {

namespace {

constexpr DWORD kPollMs = 200;
constexpr int kProgressSteps = 10;
constexpr int kResultTabStop = 100;
// Result files hold a line or two; more is not read.
constexpr size_t kMaxResultFile = 64 * 1024;

bool ReadResultFile(const std::wstring& path, std::string* text) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  bool ok = true;
  while (text->size() < kMaxResultFile) {
    if (!::ReadFile(f, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    text->append(buffer, got);
  }
  ::CloseHandle(f);
  return ok;
}

class CStrevanTestPage : public ctlfw::TestPage {
 public:
  explicit CStrevanTestPage(CStrevanRunner& runner) : TestPage(runner), runner_(runner) {}
  ~CStrevanTestPage() override {
    *alive_ = false;
    EndTester();
  }

 protected:
  UINT TestIconId() const override { return IDI_STREVAN; }
  std::wstring Description() const override { return Text(IDS_STREVAN_TEST_TEXT); }
  std::vector<std::string> TestNames() const override {
    std::vector<std::string> names;
    for (UINT id = IDS_STREVAN_ITEM_BASE; id <= IDS_STREVAN_ITEM_BASE + 12; ++id)
      names.push_back(appkit::Narrow(Text(id)));
    return names;
  }
  std::vector<int> ResultTabStops() const override { return {170, 250, 330, 480}; }
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
    // Stop while the testers run on this thread: the run sees the flag at
    // its next poll and ends itself.
    if (id == IDC_TEST_STARTSTOP && code == BN_CLICKED && running_) {
      ctlfw::TheRunState().abortFlag = 1;
      return true;
    }
    return TestPage::OnCommand(id, code, ctl);
  }
  void KeepChoices() override { EndTester(); }

  void StartWorkers() override {
    BeginRunOnPageThread();
    running_ = true;
    std::shared_ptr<bool> alive = alive_;
    RunGroups(alive);
    // The page may be gone when a message dispatched during the run closed
    // its sheet: then nothing of it is touched any more.
    if (!*alive) return;
    running_ = false;
    for (const MSG& m : held_) {
      if (m.message == WM_QUIT) ::PostQuitMessage((int)m.wParam);
      else ::PostThreadMessageW(::GetCurrentThreadId(), m.message, m.wParam, m.lParam);
    }
    held_.clear();
  }

 private:
  std::wstring Text(UINT id) const { return appkit::LoadStr(id, runner_.Resources()); }
  void Add(UINT id, const std::wstring& tail = L"") { ctlfw::AddResultLine(appkit::Narrow(Text(id) + tail)); }

  void RunGroups(const std::shared_ptr<bool>& alive) {
    ctlfw::RunState& s = ctlfw::TheRunState();
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    PortChoices c;
    c.printer = runner_.Setting("bLPT") == 1;
    c.printerLoopback1 = runner_.Setting("bLPTLoopback1") == 1;
    c.printerLoopback2 = runner_.Setting("bLPTLoopback2") == 1;
    c.serial = runner_.Setting("bCom") == 1;
    c.serialLoopback = runner_.Setting("bComLoopback") == 1;
    c.game = runner_.Setting("bGame") == 1;
    const std::wstring dir = runner_.ModuleDirectory();
    std::array<GroupCommand, kGroupCount> cmd;
    for (int g = 0; g < kGroupCount; ++g) cmd[g] = CommandFor((Group)g, c, dir, appkit::FileExists);
    std::array<bool, kGroupCount> failed{};

    struct Texts {
      UINT header, notStarted;
    };
    const Texts texts[kGroupCount] = {{IDS_STREVAN_PRINTER_HEADER, IDS_STREVAN_PRINTER_NOT_STARTED},
                                      {IDS_STREVAN_SERIAL_HEADER, IDS_STREVAN_SERIAL_NOT_STARTED},
                                      {IDS_STREVAN_GAME_HEADER, IDS_STREVAN_GAME_NOT_STARTED}};
    for (int g = 0; g < kGroupCount && !s.abortFlag; ++g) {
      if (g == kGroupSerial && !runner_.AnyComPortOpens()) {
        // Counted failed whether or not the serial test was chosen.
        Add(IDS_STREVAN_SERIAL_HEADER);
        Add(IDS_STREVAN_NO_SERIAL_PORT);
        ctlfw::AddResultLine("");
        failed[g] = true;
        continue;
      }
      if (cmd[g].program.empty()) continue;
      failed[g] = RunGroup((Group)g, cmd[g], texts[g].header, texts[g].notStarted, alive);
      if (!*alive) return;
      ctlfw::AddResultLine("");
    }

    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    // A stopped run has not shown the ports to be good: it counts as failed.
    int errors = s.abortFlag ? 1 : RunErrorCount(failed[kGroupSerial], failed[kGroupPrinter], c.game, failed[kGroupGame]);
    ::EnterCriticalSection(&s.runLock);
    s.errorCount = errors;
    ::LeaveCriticalSection(&s.runLock);
    int verdict = -1;
    if (s.abortFlag)
      Add(IDS_STREVAN_ABORTED);
    else if (cmd[kGroupPrinter].program.empty() && cmd[kGroupSerial].program.empty() && cmd[kGroupGame].program.empty())
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

  // One group: its tester started in `dir`, waited for and judged. True
  // when the group failed.
  bool RunGroup(Group g, const GroupCommand& cmd, UINT header, UINT notStarted, const std::shared_ptr<bool>& alive) {
    ::DeleteFileW(cmd.resultFile.c_str());
    if (!appkit::FileExists(cmd.program)) {
      Add(IDS_STREVAN_MISSING_FILE, L"(" + cmd.program + L")");
      return true;
    }
    // The tester writes its result file into its current directory: the
    // directory it is read from.
    const std::wstring& dir = runner_.ModuleDirectory();
    std::wstring line = L"\"" + cmd.program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(cmd.program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
      Add(notStarted);
      return true;
    }
    tester_ = pi;
    Add(header);
    bool ended = WaitForTester(alive);
    if (!*alive) return false;
    if (ctlfw::RunAborted()) return false;
    bool groupFailed = false;
    if (!ended) {
      // A tester that hangs has proven nothing, whatever it left behind.
      Add(IDS_STREVAN_TESTER_STOPPED);
      groupFailed = true;
    }
    std::string text;
    bool readable = ReadResultFile(cmd.resultFile, &text);
    std::vector<std::string> lines;
    groupFailed |= ResultFileFailed(g, readable, text, &lines);
    for (const std::string& l : lines) ctlfw::AddResultLine(l);
    return groupFailed;
  }

  // Polls the tester every 200 ms, at most MaxLoop times, until it ends or
  // the run is stopped, keeping the page alive in between; a tester still
  // running then is ended. True when it ended by itself.
  bool WaitForTester(const std::shared_ptr<bool>& alive) {
    int polls = runner_.MaxLoop() > 0 ? runner_.MaxLoop() : 0;
    for (int i = 0; i < polls && !ctlfw::RunAborted(); ++i) {
      if (::WaitForSingleObject(tester_.hProcess, 0) == WAIT_OBJECT_0) break;
      ctlfw::SetRunProgress(i % kProgressSteps + 1);
      PumpWhileWaiting(kPollMs);
      if (!*alive) return false;
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    }
    ctlfw::SetRunProgress(0);
    bool ended = ::WaitForSingleObject(tester_.hProcess, 0) == WAIT_OBJECT_0;
    EndTester();
    return ended;
  }

  // Dispatches this thread's window messages for `ms` (or until the tester
  // ends); messages for the thread itself (the module program's protocol)
  // are held and posted again after the run. A module program asked to
  // close stops the run at once, so that it can close.
  void PumpWhileWaiting(DWORD ms) {
    DWORD start = ::GetTickCount();
    for (;;) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!msg.hwnd) {
          if (msg.message == runner_.DiagMessage() && msg.wParam == suite::DiagClose)
            ctlfw::TheRunState().abortFlag = 1;
          held_.push_back(msg);
          if (msg.message == WM_QUIT) return;
          continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      DWORD spent = ::GetTickCount() - start;
      if (spent >= ms || !tester_.hProcess) return;
      if (::MsgWaitForMultipleObjects(1, &tester_.hProcess, FALSE, ms - spent, QS_ALLINPUT) == WAIT_OBJECT_0) return;
    }
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
  PROCESS_INFORMATION tester_{};
  bool running_ = false;
  std::vector<MSG> held_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakePortTestPage(CStrevanRunner& runner) {
  return std::make_unique<CStrevanTestPage>(runner);
}

}  // namespace porttest
