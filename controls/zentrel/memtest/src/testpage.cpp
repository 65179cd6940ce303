// CTestTest: the Test page of the memory and processor control.
#include "memtest/testpage.h"

#include <ctime>

#include "appkit/system.h"
#include "appkit/text.h"
#include "appkit/threads.h"
#include "infoclient/infoclient.h"
#include "ctlfw/runner.h"
#include "ctlfw/sheet.h"
#include "memtest/settings.h"
#include "memtest/testlist.h"
#include "memtest/worker.h"
#include "suite/info.h"
#include "suite/messages.h"

namespace memtest {
namespace {

constexpr UINT kMemoryIcon = 130, kProcessorIcon = 132;

// Lines to the run's result list and progress bar.
class WindowSink : public TestSink {
 public:
  int AddLine(const std::string& text) override { return ctlfw::AddResultLine(text); }
  void ReplaceLine(int index, const std::string& text) override {
    HWND list = ctlfw::TheRunState().resultsWindow;
    ::SendMessageW(list, LB_DELETESTRING, (WPARAM)index, 0);
    ::SendMessageW(list, LB_INSERTSTRING, (WPARAM)index, (LPARAM)appkit::Widen(text).c_str());
  }
  void SetProgress(int percent) override { ctlfw::SetRunProgress(percent); }
  void SetErasing(bool on) override {
    ::SendMessageW(ctlfw::TheRunState().resultsWindow, WM_COMMAND, 101, on ? 1 : 0);
  }
  bool AbortRequested() override { return ctlfw::RunAborted(); }
};

TestFlags ToArray(const std::vector<int>& v) {
  TestFlags f{};
  for (size_t i = 0; i < f.size() && i < v.size(); ++i) f[i] = v[i];
  return f;
}

ItemData ToArray(const std::vector<long>& v) {
  ItemData d{};
  for (size_t i = 0; i < d.size() && i < v.size(); ++i) d[i] = v[i];
  return d;
}

template <class T, size_t N>
void CopyBack(const std::array<T, N>& a, std::vector<T>* v) {
  v->assign(a.begin(), a.end());
}

class CTestTest : public ctlfw::TestPage {
 public:
  explicit CTestTest(ctlfw::TestRunner& runner) : TestPage(runner) {
    const ctlfw::Switches& o = runner.Options();
    mode_ = o.procTest ? (o.bench ? PageMode::ProcessorBench : PageMode::Processor)
                       : (o.bench ? PageMode::MemoryBench : PageMode::Memory);
  }
  ~CTestTest() override {
    // The readers of KytPROC.IFO stop waiting and are out before the page goes.
    if (readerCancel_) ::SetEvent(readerCancel_);
    for (HANDLE h : readers_) {
      appkit::JoinServingSentMessages(h);
      ::CloseHandle(h);
    }
    if (readerCancel_) ::CloseHandle(readerCancel_);
  }

 protected:
  bool Processor() const { return mode_ == PageMode::Processor || mode_ == PageMode::ProcessorBench; }
  bool Bench() const { return mode_ == PageMode::MemoryBench || mode_ == PageMode::ProcessorBench; }
  // The mode's settings, read through the runner by their fields.
  ZentrelValues Values() const { return Runner().FieldValues(ZentrelFields(Processor())); }

  UINT TestIconId() const override { return Processor() ? kProcessorIcon : kMemoryIcon; }
  std::wstring Description() const override {
    if (Processor())
      return Bench() ? L"CPU Performance Tests"
                     : L"Click the Start button to verify the functionality of the processor installed in your system.";
    return Bench() ? L"Memory Performance Tests"
                   : L"Click the Start button to verify the integrity of the memory  installed in your system.";
  }
  std::vector<std::string> TestNames() const override {
    if (Bench()) return {};
    const auto& names = TestRowNames(Processor());
    return {names.begin(), names.end()};
  }
  std::vector<int> ResultTabStops() const override {
    if (Processor()) return {170, 260, 350, 440};
    return {140, 220, 300, 480};
  }
  std::wstring StartQuestion() const override {
    if (Processor()) return {};
    return L"The memory test will take about 3 minutes.  Do you want to start now?";
  }
  ctlfw::RunEnd RunEndRule() const override {
    using Summary = ctlfw::RunEnd::Summary;
    switch (mode_) {
      case PageMode::Memory: return {Summary::BlankThenVerdict, "memory", false, false};
      case PageMode::Processor: return {Summary::Verdict, "processor", true, false};
      case PageMode::MemoryBench: return {Summary::ErrorsOnly, nullptr, false, Runner().Options().check};
      case PageMode::ProcessorBench: break;
    }
    return {Summary::ErrorsOnly, nullptr, false, false};
  }
  std::vector<long> FillItemData(std::vector<int>* flags) const override {
    TestFlags f = ToArray(*flags);
    ItemData d = memtest::FillItemData(Processor(), &f);
    CopyBack(f, flags);
    return {d.begin(), d.end()};
  }
  int CanCheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const override {
    ItemData d = ToArray(*data);
    bool changed = false;
    int answer = memtest::CanCheckTest(Processor(), index, ToArray(*flags), &d, &changed);
    if (changed) CopyBack(d, data);
    return answer;
  }
  int CanUncheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const override {
    TestFlags f = ToArray(*flags);
    ItemData d = ToArray(*data);
    bool changed = false;
    int answer = memtest::CanUncheckTest(Processor(), index, &f, &d, &changed);
    CopyBack(f, flags);
    if (changed) CopyBack(d, data);
    return answer;
  }
  BOOL OnInit() override {
    TheMemoryRun().random.seed((unsigned)std::time(nullptr));
    return TestPage::OnInit();
  }
  void StartWorkers() override {
    const ctlfw::TestRunner& r = Runner();
    MemoryRun& run = TheMemoryRun();
    run.mode = mode_;
    run.check = r.Options().check;
    run.concurrent = r.Options().coverage;
    run.percent = r.Options().coverageValue;
    const ZentrelValues v = Values();
    run.maxMemMB = v.maxMem > 0 ? (uint64_t)v.maxMem : 0;
    run.selection = Selection{v.dataPatternEnable == 1, v.walkOneEnable == 1, v.moveInversionEnable == 1,
                              v.walkZeroEnable == 1, v.randomMemCopyEnable == 1};
    run.processor = ProcessorSelection{v.generalRegisterEnable == 1, v.mathCalculationEnable == 1,
                                       v.mathPerformanceEnable == 1, v.mmxArithEnable == 1, v.cpuSpeedEnable == 1};
    ctlfw::CTest* sheet = Runner().GetSheet();
    run.selfTestMessage = sheet ? sheet->QuorrelMessage2() : 0;
    switch (mode_) {
      case PageMode::Memory:
        StartRunWorker(MemoryTestThread);
        break;
      case PageMode::Processor:
        StartRunWorker(ProcessorTestThread);
        break;
      case PageMode::ProcessorBench:
        PrepareBench(&run);
        RequestCpuInfo();
        StartRunWorker(CpuBenchmarkThread);
        break;
      case PageMode::MemoryBench:
        PrepareBench(&run);
        StartRunWorker(MemoryBenchmarkThread);
        break;
    }
  }
  // The server's replies about the processor's file: 101 starts its
  // reader, the reader's 102 says the lines are there.
  void OnServerReply(WPARAM wp, LPARAM lp) override {
    if (!Processor() || lp != suite::INFO_PROCESSOR) return;
    if (wp == suite::INFO_REPLY_READY) StartCpuInfoReader(suite::INFO_PROCESSOR);
    else if (wp == suite::INFO_REPLY_LOADED) TheCpuInfo().ready = 1;
  }

 private:
  void PrepareBench(MemoryRun* run) const {
    const ctlfw::TestRunner& r = Runner();
    run->benchFile = r.ModuleDirectory() + L"BNCHMARK.BNH";
    run->texts = r.Resources();
    run->memoryBench.read = reinterpret_cast<MemBenchFn>(r.Entry("DoMemReadBenchMark"));
    run->memoryBench.write = reinterpret_cast<MemBenchFn>(r.Entry("DoMemWriteBenchMark"));
    const ZentrelValues v = Values();
    run->memoryBench.loops = (DWORD)v.memBenchMarkLoop;
    run->cpuBench.dhrystone = reinterpret_cast<CpuBenchFn>(r.Entry("DoDhrystoneTest"));
    run->cpuBench.whetstone = reinterpret_cast<CpuBenchFn>(r.Entry("DoWhetstoneTest"));
    run->cpuBench.dhrystoneCount = v.dhrystoneCount;
    run->cpuBench.dhryMinTime = v.dhryMinTime;
    run->cpuBench.whetstoneCount = v.whetstoneCount;
    run->cpuBench.whetMinTime = v.whetMinTime;
    run->cpuBench.waitCpu = v.waitCpu;
  }
  // A fresh gathering of the processor's file (no reuse) for the benchmark.
  void RequestCpuInfo() {
    CpuInfo& info = TheCpuInfo();
    info.lines = CpuInfoLines();
    info.ready = 0;
    ctlfw::CTest* sheet = Runner().GetSheet();
    HWND server = ::FindWindowW(nullptr, suite::kInfoServerTitle);
    if (server && sheet && sheet->QuorrelMessage())
      ::PostMessageW(server, sheet->QuorrelMessage(), (WPARAM)hwnd(), suite::INFO_PROCESSOR);
  }
  void StartCpuInfoReader(unsigned category) {
    std::wstring path;
    if (!ctlfw::BuildInfoFilePath(Runner().InfoDirectory(), suite::kInfoFileBase[category], &path)) return;
    auto* rec = static_cast<ctlfw::InfoReaderRecord*>(std::calloc(1, sizeof(ctlfw::InfoReaderRecord)));
    if (!rec) return;
    if (!readerCancel_) readerCancel_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    rec->page = hwnd();
    wcsncpy(rec->path, path.c_str(), 255);
    rec->category = category;
    ctlfw::CTest* sheet = Runner().GetSheet();
    rec->message = sheet ? sheet->QuorrelMessage() : 0;
    // The reader's own handle of the server's mutex: it outlives no one.
    rec->mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
    rec->cancel = readerCancel_;
    int waitUnits = Values().waitCpu;
    TheCpuInfo().mutexWaitMs = (DWORD)(waitUnits > 0 ? waitUnits : 20) * 500;
    appkit::CloseFinishedThreads(&readers_);
    HANDLE h = ctlfw::StartWorker(CpuInfoThread, rec);
    if (!h) {
      if (rec->mutex) ::CloseHandle(rec->mutex);
      std::free(rec);
      return;
    }
    readers_.push_back(h);
  }

  PageMode mode_;
  HANDLE readerCancel_ = nullptr;
  std::vector<HANDLE> readers_;
};

}  // namespace

MemoryRun& TheMemoryRun() {
  static MemoryRun run;
  return run;
}

DWORD WINAPI MemoryTestThread(LPVOID) {
  MemoryRun& run = TheMemoryRun();
  if (!ctlfw::TheRunState().resultsWindow) {
    ctlfw::FinishWorker(true, false);
    return 0;
  }
  MemTestConfig c;
  c.win9x = appkit::IsWindows9x();
  c.concurrent = run.concurrent;
  c.percent = run.percent;
  c.quick = run.check;
  c.maxMemMB = run.maxMemMB;
  c.selection = run.selection;
  RealSystemMemory sys(run.machineLimit);
  WindowSink sink;
  Outcome o = RunMemoryTest(sys, c, sink, [&run] { return (uint32_t)run.random(); }, run.faults);
  ctlfw::FinishWorker(o == Outcome::Failed, o == Outcome::Aborted);
  return 0;
}

DWORD WINAPI ProcessorTestThread(LPVOID) {
  MemoryRun& run = TheMemoryRun();
  HWND server = ::FindWindowW(nullptr, suite::kInfoServerTitle);
  // Without the server, or the message to ask it, nothing can be tested.
  if (!ctlfw::TheRunState().resultsWindow || !run.selfTestMessage || !server) {
    ctlfw::FinishWorker(true, false);
    return 0;
  }
  WindowSelfTestServer selfTests(server, run.selfTestMessage, kSelfTestTimeoutMs, [] { return ctlfw::RunAborted(); });
  WindowSink sink;
  Outcome o = RunProcessorTest(selfTests, run.processor, run.concurrent, sink, [](DWORD ms) { ::Sleep(ms); });
  ctlfw::FinishWorker(o == Outcome::Failed, o == Outcome::Aborted);
  return 0;
}

namespace {

// The end of a benchmark run: the file's closing lines, the file closed
// (the next module of the series opens it), then the run's end.
void FinishBench(BenchResultsFile& file, Outcome o) {
  bool aborted = o == Outcome::Aborted;
  bool failed = o == Outcome::Failed;
  EndBenchFile(file, aborted, failed || ctlfw::TheRunState().errorCount > 0);
  file.Close();
  // A block the file had no room for is not there: the list says so.
  std::string lost = file.FailureLine(TheMemoryRun().texts);
  if (!lost.empty()) ctlfw::AddResultLine(lost);
  ctlfw::FinishWorker(failed, aborted);
}

}  // namespace

DWORD WINAPI MemoryBenchmarkThread(LPVOID) {
  MemoryRun& run = TheMemoryRun();
  BenchResultsFile file(run.benchFile);
  RealSystemMemory sys(run.machineLimit);
  WindowSink sink;
  Outcome o = RunMemoryBenchmark(run.memoryBench, sys, sink, file, [](DWORD ms) { ::Sleep(ms); });
  FinishBench(file, o);
  return 0;
}

DWORD WINAPI CpuBenchmarkThread(LPVOID) {
  MemoryRun& run = TheMemoryRun();
  BenchResultsFile file(run.benchFile);
  WindowSink sink;
  CpuInfo& info = TheCpuInfo();
  Outcome o = RunCpuBenchmark(
      run.cpuBench, [&info]() -> const CpuInfoLines* { return info.ready ? &info.lines : nullptr; }, sink, file,
      [](DWORD ms) { ::Sleep(ms); });
  FinishBench(file, o);
  return 0;
}

std::unique_ptr<ctlfw::TestPage> MakeZentrelTestPage(ctlfw::TestRunner& runner) {
  return std::make_unique<CTestTest>(runner);
}

}  // namespace memtest
