#include "testpage.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "appkit/text.h"
#include "infoclient/listbox.h"
#include "engine.h"
#include "modemlogic/rules.h"
#include "ids.h"
#include "recorder.h"
#include "runner.h"
#include "sequence.h"

namespace modemtest {

namespace {

// Run flags beside the framework's run state. Each is written by one side
// and polled by the other; the serial port itself belongs to the worker.
struct ModemFlags {
  volatile LONG testRunning = 0;        // the modem test is on
  volatile LONG connectionRunning = 0;  // the connection test is on
  volatile LONG stopFlag = 0;           // Stop or Disconnect was pressed
  volatile LONG closingFlag = 0;        // the sheet is closing
};
ModemFlags g_flags;

// A run's worker writes through this to the run's list and progress bar.
class ListHost : public TestHost {
 public:
  explicit ListHost(HINSTANCE texts) : texts_(texts) {}
  void AddLine(const std::string& text) override {
    ctlfw::AddResultLine(text);
    ctlfw::ScrollRunResultsToEnd();
  }
  void AppendToLastLine(const std::string& text) override {
    HWND list = ctlfw::TheRunState().resultsWindow;
    LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count == LB_ERR || count < 1) {
      AddLine(text);
      return;
    }
    // The last line is read at its own length, however long a modem's
    // reply made it.
    std::wstring last;
    ctlfw::ListItemText(list, (int)(count - 1), &last, (size_t)1 << 20);
    ::SendMessageW(list, LB_DELETESTRING, (WPARAM)(count - 1), 0);
    AddLine(appkit::Narrow(last) + text);
  }
  bool Stopped() override { return g_flags.stopFlag || g_flags.closingFlag; }
  std::string Text(UINT id) override { return appkit::Narrow(appkit::LoadStr(id, texts_)); }
  void CountError() override { ctlfw::CountRunError(); }
  void Progress(int step) override { ctlfw::SetRunProgress(step); }

 private:
  HINSTANCE texts_;
};

struct WorkerJob {
  RunSettings settings;
  HINSTANCE texts = nullptr;
  ToneRecorder* recorder = nullptr;
};

DWORD WINAPI ModemTestThread(LPVOID p) {
  std::unique_ptr<WorkerJob> job(static_cast<WorkerJob*>(p));
  const RunSettings& s = job->settings;
  ListHost host(job->texts);
  AtEngine engine(host, s.testBaudRate, s.innerLoopDelay);
  ModemSequence sequence(engine, host, s, job->recorder);
  host.Progress(0);
  int found = 0;
  for (int pass = 0; pass < s.loop && !host.Stopped(); ++pass) {
    host.AddLine(host.Text(IDS_MODEM_SEARCHING));
    found = 0;
    for (int n = 1; n <= 9 && !host.Stopped(); ++n) {
      engine.SetTimeout(s.timeouts.standardMs);
      if (!engine.OpenModemPort("COM" + std::to_string(n))) continue;
      host.AddLine("");
      ++found;
      host.Progress(1);
      if (!host.Stopped()) sequence.RunModemTestSequence();
      engine.ClosePort();
      host.Progress(0);
    }
  }
  bool stopped = host.Stopped();
  if (found == 0 && !stopped) {
    host.AddLine(host.Text(IDS_MODEM_NOT_FOUND_ANY));
    host.CountError();
  }
  if (stopped) {
    host.AddLine("");
    host.AddLine(host.Text(IDS_MODEM_ABORTED_LINE));
  }
  engine.ClosePort();
  if (found == 0) host.AddLine("");
  g_flags.testRunning = 0;
  g_flags.stopFlag = 0;
  ctlfw::EndWorker(false);
  return 0;
}

DWORD WINAPI ConnectionTestThread(LPVOID p) {
  std::unique_ptr<WorkerJob> job(static_cast<WorkerJob*>(p));
  const RunSettings& s = job->settings;
  ListHost host(job->texts);
  AtEngine engine(host, s.testBaudRate, s.innerLoopDelay);
  ModemSequence sequence(engine, host, s, nullptr);
  if (!s.bbsNumber.empty()) {
    host.AddLine(host.Text(IDS_MODEM_SEARCHING));
    int found = 0;
    for (int n = 1; n <= 9 && !host.Stopped(); ++n) {
      engine.SetTimeout(s.timeouts.standardMs);
      if (!engine.OpenModemPort("COM" + std::to_string(n))) continue;
      ++found;
      if (!host.Stopped()) sequence.TestBbsConnection(false);
      host.AddLine("");
      engine.ClosePort();
    }
    if (found == 0 && !host.Stopped()) {
      host.AddLine(host.Text(IDS_MODEM_NOT_FOUND_ANY));
      host.CountError();
    }
    if (host.Stopped()) {
      host.AddLine("");
      host.AddLine(host.Text(IDS_MODEM_ABORTED_LINE));
    }
  }
  engine.ClosePort();
  if (s.bbsNumber.empty()) host.AddLine(host.Text(IDS_MODEM_ABORTED_LINE));
  g_flags.connectionRunning = 0;
  g_flags.stopFlag = 0;
  ctlfw::EndWorker(false);
  return 0;
}

const char* const kSpeeds[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};

// The connection test's telephone number and connect speed.
class CConnectDlg : public appkit::Dialog {
 public:
  explicit CConnectDlg(CModemRunner& runner) : appkit::Dialog(IDD_MODEM_CONNECT, runner.Resources()), r_(runner) {}
  void SetValues(const std::string& number, unsigned long speed) {
    accepted_ = number_ = number;
    speed_ = std::to_string(speed);
  }
  const std::string& Accepted() const { return accepted_; }
  const std::string& Speed() const { return speed_; }

 protected:
  BOOL OnInit() override {
    SetItemText(IDC_CONNECT_NUMBER, appkit::Widen(number_));
    for (const char* speed : kSpeeds) SendItem(IDC_CONNECT_SPEED, CB_ADDSTRING, 0, (LPARAM)appkit::Widen(speed).c_str());
    LRESULT at = SendItem(IDC_CONNECT_SPEED, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)appkit::Widen(speed_).c_str());
    SendItem(IDC_CONNECT_SPEED, CB_SETCURSEL, at == CB_ERR ? (WPARAM)-1 : (WPARAM)at);
    return TRUE;
  }
  void OnOK() override {
    number_ = appkit::Narrow(ItemText(IDC_CONNECT_NUMBER));
    speed_.clear();
    std::wstring text;
    if (ctlfw::ComboItemText(Item(IDC_CONNECT_SPEED), (int)SendItem(IDC_CONNECT_SPEED, CB_GETCURSEL), &text, 64))
      speed_ = appkit::Narrow(text);
    accepted_ = number_;
    if (!number_.empty() && !speed_.empty()) {
      EndDialog(IDOK);
      return;
    }
    UINT id = number_.empty() && speed_.empty() ? IDS_MODEM_FILL_BOTH
              : number_.empty()                 ? IDS_MODEM_FILL_NUMBER
                                                : IDS_MODEM_FILL_SPEED;
    r_.RunnerMessageBox(id, MB_OK);
  }

 private:
  CModemRunner& r_;
  std::string accepted_, number_, speed_;
};

class CTestTest : public ctlfw::TestPage {
 public:
  explicit CTestTest(CModemRunner& runner) : ctlfw::TestPage(runner, IDD_MODEM_TEST_PAGE), m_(runner) {
    g_flags = ModemFlags{};
    connectionText_ = appkit::LoadStr(IDS_MODEM_CONNECTION_TEST, runner.Resources());
  }

 protected:
  UINT TestIconId() const override { return IDI_MODEM_TEST; }
  std::wstring Description() const override { return appkit::LoadStr(IDS_MODEM_HINT, m_.Resources()); }
  std::vector<std::string> TestNames() const override {
    return RowTexts({IDS_MODEM_TEST_DIALTONE, IDS_MODEM_TEST_STANDARD, IDS_MODEM_TEST_ADVANCED});
  }
  ctlfw::PageItems Items() const override {
    ctlfw::PageItems items;
    items.checkList = IDC_MODEM_TESTLIST;
    items.showOptions = IDC_MODEM_SHOW_OPTIONS;
    items.includes = IDC_MODEM_INCLUDES;
    return items;
  }
  ctlfw::RunEnd RunEndRule() const override {
    ctlfw::RunEnd end;
    end.summary = ctlfw::RunEnd::Summary::Verdict;
    end.tipsAnchor = "modem";
    end.verdictNearTop = true;
    end.doneAfterAbort = m_.Options().check;
    return end;
  }
  bool WaitOutWorkersOnClose() const override { return true; }

  BOOL OnInit() override {
    ctlfw::TestPage::OnInit();
    SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, 7);
    const ModemValues v = m_.Values();
    if (m_.Options().autoRun) {
      timeouts_.shortMs = (DWORD)v.shortTimeout;
      timeouts_.standardMs = (DWORD)v.standardTimeout;
      timeouts_.longMs = (DWORD)v.longTimeout;
      timeouts_.connectMs = (DWORD)v.connectTimeout;
      timeouts_.loopbackMs = (DWORD)v.att1Timeout;
    }
    // The sound card is set up for the tone-dialling test only.
    if (!m_.ToneDigits().empty())
      soundCard_.Open(hwnd(), Item(IDC_TEST_RESULTS), m_.Resources(), (DWORD)v.defaultVolume);
    return TRUE;
  }

  bool OnCommand(int id, int code, HWND ctl) override {
    if (id == IDC_TEST_STARTSTOP && code == BN_CLICKED && g_flags.connectionRunning) {
      // A host's Abort ends the connection test as Disconnect does.
      if (AbortInProgress())
        StopRunning();
      else
        m_.RunnerMessageBox(IDS_MODEM_WAIT_CONNECTION, MB_OK);
      return true;
    }
    if (id == IDC_MODEM_CONNECTION && code == BN_CLICKED) {
      OnConnectionTest();
      return true;
    }
    return ctlfw::TestPage::OnCommand(id, code, ctl);
  }

  // Stop does not wait: the worker sees the flag within one polling round,
  // hangs up a modem that is dialling or on line, and ends the run.
  void StopRunning() override {
    g_flags.stopFlag = 1;
    ctlfw::TheRunState().abortFlag = 1;
  }

  void StartWorkers() override {
    g_flags.stopFlag = 0;
    g_flags.testRunning = 1;
    StartRunWorker(&ModemTestThread, MakeJob(soundCard_.Recorder()));
  }

  void OnSheetClosing() override { g_flags.closingFlag = 1; }
  // No worker records any more: the user's mixer settings go back.
  void AfterWorkersOut() override { soundCard_.Close(); }

 private:
  WorkerJob* MakeJob(ToneRecorder* recorder) const {
    auto* job = new WorkerJob;
    RunSettings& s = job->settings;
    const ModemValues v = m_.Values();
    s.loop = v.loop;
    s.dialTone = v.dialtoneTestEnable == 1;
    s.standard = v.standardTestEnable == 1;
    s.advanced = v.advancedTestEnable == 1;
    s.connectionTest = v.connectionTest == 1;
    s.checkConnectSpeed = v.checkConnectSpeed != 0;
    s.bbsNumber = m_.BbsNumber();
    s.bbsBaudRate = (DWORD)v.bbsBaudRate;
    s.att1BaudRate = (DWORD)v.att1BaudRate;
    s.testBaudRate = (DWORD)v.testBaudRate;
    s.innerLoopDelay = (DWORD)v.innerLoopDelay;
    s.toneDigits = m_.ToneDigits();
    s.lineInput = modemlogic::RecordsLineInput(m_.ToneInput());
    s.toneSleepMs = (DWORD)v.testATS6Sleep;
    s.tones.jump = v.testATS6Jump;
    s.tones.sample = v.testATS6Sample;
    s.tones.percent = v.testATS6Percent;
    s.tones.period = v.testATS6Period;
    s.tones.repeat = v.testATS6Repeat;
    s.tones.beginNoise = (unsigned)v.testATS6BeginNoise;
    s.tones.tolerance = v.testATS6ToneTolerance;
    s.timeouts = timeouts_;
    job->texts = m_.Resources();
    job->recorder = recorder;
    return job;
  }

  void OnConnectionTest() {
    ctlfw::RunState& s = ctlfw::TheRunState();
    if (s.runningCount > 0 && !g_flags.connectionRunning) {
      m_.RunnerMessageBox(IDS_MODEM_WAIT_MODEM, MB_OK);
      return;
    }
    if (g_flags.connectionRunning) {
      // Disconnect: the worker hangs up and reports the call as aborted.
      g_flags.stopFlag = 1;
      s.abortFlag = 1;
      if (!g_flags.closingFlag && !m_.Options().autoRun) m_.RunnerMessageBox(IDS_MODEM_WAIT_ABORT, MB_OK);
      return;
    }
    g_flags.stopFlag = 0;
    if (IsChecked(IDC_MODEM_SHOW_OPTIONS)) {
      Check(IDC_MODEM_SHOW_OPTIONS, false);
      ctlfw::TestPage::OnCommand(IDC_MODEM_SHOW_OPTIONS, BN_CLICKED, Item(IDC_MODEM_SHOW_OPTIONS));
    }
    CConnectDlg dialog(m_);
    dialog.SetValues(m_.BbsNumber(), (unsigned long)(DWORD)m_.Values().bbsBaudRate);
    if (dialog.DoModal(hwnd()) != IDOK) return;
    m_.SetBbsNumber(dialog.Accepted());
    m_.SetField(m_.Fields(), &ModemValues::bbsBaudRate, std::atoi(dialog.Speed().c_str()));
    if (s.runningCount > 0) return;  // a run began while the dialog was open

    g_flags.connectionRunning = 1;
    ctlfw::RunEnd end;
    end.summary = ctlfw::RunEnd::Summary::EmptyThenVerdict;
    end.tipsAnchor = "modem";
    end.showTips = false;
    end.idleButtonText = connectionText_.c_str();
    disconnectText_ = appkit::LoadStr(IDS_MODEM_DISCONNECT, m_.Resources());
    PrepareRun(IDC_MODEM_CONNECTION, disconnectText_.c_str(), end);
    StartRunWorker(&ConnectionTestThread, MakeJob(nullptr));
  }

  CModemRunner& m_;
  Timeouts timeouts_;
  ToneSoundCard soundCard_;
  std::wstring connectionText_, disconnectText_;
};

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakeModemTestPage(CModemRunner& runner) { return std::make_unique<CTestTest>(runner); }

}  // namespace modemtest
