// CTestTest: the Test page of the memory and processor control on the test
// control framework. The framework's page class carries the lists and the
// dialog hooks; TestPageLogic does the page's work.
#include <windows.h>
#include <commctrl.h>

#include "appkit/text.h"
#include "ctlfw/listbox.h"
#include "ctlfw/runner.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testpage.h"
#include "memtest/testpage.h"
#include "runner.h"

namespace {

memtest::PageSettings SettingsOf(const CZentrelRunner& r) {
  const ctlfw::Switches& o = r.Options();
  memtest::PageSettings p;
  if (o.procTest)
    p.mode = o.bench ? memtest::PageMode::ProcessorBench : memtest::PageMode::Processor;
  else
    p.mode = o.bench ? memtest::PageMode::MemoryBench : memtest::PageMode::Memory;
  p.autoRun = o.autoRun;
  p.check = o.check;
  p.append = o.append;
  p.concurrent = o.coverage;
  p.percent = o.coverageValue;
  p.loop = o.loop;
  p.digit = o.runSuffix;
  p.baseName = r.BaseName();
  p.title = appkit::Narrow(r.LogTitle());
  p.directory = appkit::Narrow(r.ModuleDirectory());
  int maxMem = r.Setting("MaxMem");
  p.maxMemMB = maxMem > 0 ? (uint64_t)maxMem : 0;
  return p;
}

class CTestTest : public ctlfw::TestPage, private memtest::TestPageHost {
 public:
  explicit CTestTest(CZentrelRunner& runner)
      : TestPage(runner),
        runner_(runner),
        results_(runner.MakerKey()),
        tests_(runner.Resources(), runner.MakerKey()),
        logic_(*this, SettingsOf(runner)) {
    LoadFlags();
  }
  ~CTestTest() override { Destroy(); }

  BOOL DoTest() override { return hwnd() ? logic_.DoTest() : FALSE; }
  BOOL IsRunning() override { return logic_.IsRunning(); }
  BOOL Abort() override { return hwnd() ? logic_.Abort() : FALSE; }
  void StopTests() override {
    logic_.StopTests();
    StoreFlags();
  }
  bool HasLiveWorker() override { return logic_.HasLiveWorker(); }
  BOOL ResizeControls() override {
    ctlfw::CTest* sheet = runner_.GetSheet();
    if (!runner_.Created() || !hwnd() || !sheet) return FALSE;
    appkit::StretchInside(sheet->hwnd(), sheet->TabControl(), 5, false);
    appkit::StretchInside(sheet->TabControl(), hwnd(), 5, false);
    appkit::StretchInside(hwnd(), Item(IDC_TEST_RESULTS), 5, false);
    appkit::StretchInside(hwnd(), Item(IDC_TEST_PROGRESS), 5, true);
    appkit::StretchInside(hwnd(), Item(IDC_TEST_CHECKLIST), 5, false);
    return TRUE;
  }

 protected:
  BOOL OnInit() override {
    if (!results_.hwnd()) results_.Attach(hwnd(), IDC_TEST_RESULTS);
    if (!tests_.hwnd()) tests_.Attach(hwnd(), IDC_TEST_CHECKLIST);
    SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, 100);
    return logic_.OnInitDialog(hwnd());
  }
  bool OnCommand(int id, int code, HWND ctl) override {
    LRESULT answer = 0;
    bool handled = logic_.OnCommand(MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(ctl), &answer);
    StoreFlags();
    if (handled) return AnswerCommand(answer);
    return TestPage::OnCommand(id, code, ctl);
  }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    if (ctlfw::ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
      *result = TRUE;
      return true;
    }
    // Replies of the information server are taken here (the processor
    // mode's CPU information reader comes with its tests).
    if (quorrelMessage_ && msg == quorrelMessage_) {
      *result = 1;
      return true;
    }
    return false;
  }
  BOOL OnSetActive() override {
    ResizeControls();
    return TRUE;
  }

 private:
  // ---- TestPageHost ----
  int RunnerMessageBox(const std::wstring& text, UINT type) override { return runner_.ShowMessage(text, type); }
  HWND ControlWindow() override { return runner_.ControlWindow(); }
  HINSTANCE Resources() override { return runner_.Resources(); }
  memtest::TestFlags& Flags() override { return flags_; }
  void SetResultTabStops(int count, const int* stops) override { results_.SetTabStops(count, stops); }
  HWND SheetWindow() override { return runner_.GetSheet() ? runner_.GetSheet()->hwnd() : nullptr; }
  HANDLE StartThread(LPTHREAD_START_ROUTINE proc) override { return ctlfw::StartWorker(proc, nullptr); }

  void LoadFlags() {
    std::vector<std::string> names = runner_.EnableSettings();
    for (size_t i = 0; i < names.size() && i < flags_.size(); ++i) flags_[i] = runner_.Setting(names[i]);
  }
  void StoreFlags() {
    std::vector<std::string> names = runner_.EnableSettings();
    for (size_t i = 0; i < names.size() && i < flags_.size(); ++i) runner_.SetSetting(names[i], flags_[i]);
  }

  CZentrelRunner& runner_;
  ctlfw::CInfoListBox results_;
  ctlfw::CTestListBox tests_;
  memtest::TestFlags flags_{1, 1, 1, 1, 1};
  memtest::TestPageLogic logic_;
  UINT quorrelMessage_ = ::RegisterWindowMessageW(L"kyt_quorrel_msg");
};

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakeZentrelTestPage(CZentrelRunner& runner) {
  return std::make_unique<CTestTest>(runner);
}
