// graphics.mod end to end on the test display: the automatic run with its
// log and reported count, DirectX libraries made missing, a display of
// fewer than 256 colours, Stop in the middle of a run and the host's quit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "stress/benchscore.h"
#include "suite/diag.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/smalldisk.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\GRAPHICS\\Setting";

std::string Log() {
  std::string text;
  for (char c : ReadFileBytes(SuitePath(L"KytVGA.LOG")))
    if (c != '\r') text += c;
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; start = nl + 1, nl = text.find('\n', start))
    out.push_back(text.substr(start, nl - start));
  return out;
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The line that starts with `label` ("Pixel Drawings:\t"), or "".
std::string LineOf(const std::string& log, const std::string& label) {
  for (const std::string& l : Lines(log))
    if (l.rfind(label, 0) == 0) return l;
  return "";
}

struct Windows {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindResultList(HWND h, LPARAM lp) {
  auto* q = reinterpret_cast<Windows*>(lp);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(h, &owner);
  if (owner != q->pid) return TRUE;
  q->found = FindChildById(h, 1005);
  return q->found == nullptr;
}

// The Test page's result list in the module's windows.
HWND ResultList(DWORD pid) {
  Windows w{pid, nullptr};
  ::EnumWindows(&FindResultList, reinterpret_cast<LPARAM>(&w));
  return w.found;
}

class GraphicsModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterControl(SuitePath(L"GRAPHICS.OCX")), 0); }

  void SetUp() override {
    key_.emplace(L"Software\\Kyt\\GRAPHICS", L"Software\\HalvixTestBackup\\GRAPHICS");
    ::DeleteFileW(SuitePath(L"KytVGA.LOG").c_str());
    // Short batches: -Check divides these by four.
    for (auto [name, value] : std::vector<std::pair<const wchar_t*, DWORD>>{
             {L"Loop", 1},           {L"DirectDraw", 40},   {L"Direct3D", 400},     {L"BitmapStretch", 8},
             {L"BitmapDraw", 40},    {L"FloodFill", 8},     {L"PixelDraw", 40},     {L"LineDraw", 40},
             {L"EllipseRect", 40},   {L"BitmapScroll", 4},  {L"ChangeFont", 40},    {L"DirectSoundEnable", 0},
             {L"DirectDrawEnable", 1}, {L"Direct3DEnable", 1}})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
    for (const wchar_t* e : {L"BitmapStretchingEnable", L"BitmapDrawingEnable", L"FloodFilledDrawingEnable",
                             L"PixelDrawingEnable", L"LineDrawingEnable", L"FilledShapeDrawingEnable",
                             L"BitmapScrollingEnable", L"StringDrawingEnable"})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, e, 1);
    WithAllLibraries();
  }
  void TearDown() override {
    WithAllLibraries();
    ::DeleteFileW(SuitePath(L"KytVGA.LOG").c_str());
    key_.reset();
  }
  // Wine's own overrides for the module program: a library set to "" is
  // disabled (as "name=d" in WINEDLLOVERRIDES), so loading it fails.
  static constexpr wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\graphics.mod\\DllOverrides";
  static void WithoutLibrary(const wchar_t* name) { appkit::RegWriteString(HKEY_CURRENT_USER, kOverrides, name, L""); }
  static void WithAllLibraries() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kOverrides); }
  static void OnlyGdiTest(const wchar_t* enable) {
    for (const wchar_t* e : {L"BitmapStretchingEnable", L"BitmapDrawingEnable", L"FloodFilledDrawingEnable",
                             L"PixelDrawingEnable", L"LineDrawingEnable", L"FilledShapeDrawingEnable",
                             L"BitmapScrollingEnable", L"StringDrawingEnable"})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, e, std::wstring(e) == enable);
  }
  WPARAM Run(const std::wstring& args) {
    Process p;
    WPARAM result = 99;
    EXPECT_TRUE(ctltest::StartModuleAndWaitReport(p, SuitePath(L"graphics.mod"), args, &result, 240000));
    EXPECT_TRUE(p.WaitExit(20000));
    return result;
  }
  // Starts graphics.mod and tells it the host window and the cookie, as the
  // main program does; the number of "kyt_diag_msg".
  static UINT StartAsHost(Process& p, MessageCatcher& host, const std::wstring& args) {
    EXPECT_TRUE(p.Start(SuitePath(L"graphics.mod"), args));
    EXPECT_TRUE(p.WaitIdle(10000));
    return ctltest::PostHostAndStart(p, host.hwnd());
  }
  // Starts graphics.mod as the main program does and clicks Start on its
  // Test page; the page's result list, or nullptr.
  static HWND StartAndClickStart(Process& p, MessageCatcher& host, const std::wstring& args, UINT* diag) {
    *diag = StartAsHost(p, host, args);
    HWND list = nullptr;
    PumpUntil([&] { return (list = ResultList(p.Pid())) != nullptr; }, 20000);
    return list && ClickButton(::GetParent(list), 1007) ? list : nullptr;
  }
  std::optional<KeyAside> key_;
};

// The count a log's result lines add up to.
int ErrorsIn(const std::string& log) {
  int n = 0;
  for (const std::string& l : Lines(log)) {
    size_t tab = l.find('\t');
    bool result = Has(l, "Test:\t") || Has(l, "Drawings:\t") || Has(l, "Stretching:\t") || Has(l, "Scrolling:\t");
    if (tab == std::string::npos || !result) continue;
    if (l.substr(tab + 1) != "PASSED") ++n;
  }
  return n;
}

}  // namespace

TEST_F(GraphicsModule, AutoRunCheckPassesTheGdiTestsWritesTheLogAndReportsItsCount) {
  WPARAM result = Run(L"-AutoRun -Check");
  std::string log = Log();
  ASSERT_FALSE(log.empty()) << "no KytVGA.LOG";
  EXPECT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  EXPECT_TRUE(Has(log, "\nGraphics Test\n")) << log;
  for (const char* label : {"Bitmap Stretching:\t", "Bitmap Drawings:\t", "Flood-filled Drawings:\t",
                            "Pixel Drawings:\t", "Line Drawings:\t", "Filled Shapes Drawings:\t",
                            "Bitmap Scrolling:\t", "String Drawings:\t"})
    EXPECT_EQ(LineOf(log, label), std::string(label) + "PASSED") << log;
  // The DirectX lines are this machine's truth; every one that did not pass
  // counts, and the count is what Done reported.
  EXPECT_NE(LineOf(log, "Direct3D Test:\t"), "") << log;
  EXPECT_NE(LineOf(log, "DirectDraw Test:\t"), "") << log;
  EXPECT_EQ((int)result, ErrorsIn(log)) << log;
  EXPECT_TRUE(Has(log, result ? "\nFound Error(s).\n" : "\nNo Error Found.\n")) << log;
  // -Check never writes its scaled counts back.
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kKey, L"PixelDraw", 0), 40u);
}

TEST_F(GraphicsModule, EachMissingDirectXLibraryGivesNotAvailable) {
  OnlyGdiTest(L"PixelDrawingEnable");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"DirectSoundEnable", 1);
  struct Case {
    const wchar_t* missing;
    bool d3dNA, ddNA, soundNA;
  } cases[] = {
      {L"ddraw", true, true, false},
      {L"d3drm", true, false, false},
      {L"dsound", false, false, true},
  };
  for (const Case& c : cases) {
    WithAllLibraries();
    WithoutLibrary(c.missing);
    ::DeleteFileW(SuitePath(L"KytVGA.LOG").c_str());
    WPARAM result = Run(L"-AutoRun -Check");
    std::string log = Log();
    std::string d3d = LineOf(log, "Direct3D Test:\t"), dd = LineOf(log, "DirectDraw Test:\t"),
                sound = LineOf(log, "DirectSound Test:\t");
    EXPECT_EQ(d3d == "Direct3D Test:\tN/A", c.d3dNA) << std::string(c.missing, c.missing + wcslen(c.missing)) << "\n" << log;
    EXPECT_EQ(dd == "DirectDraw Test:\tN/A", c.ddNA) << log;
    EXPECT_EQ(sound == "DirectSound Test:\tN/A", c.soundNA) << log;
    EXPECT_EQ(LineOf(log, "Pixel Drawings:\t"), "Pixel Drawings:\tPASSED") << log;
    EXPECT_EQ((int)result, ErrorsIn(log)) << log;
    EXPECT_GE((int)result, 1);
  }
}

// Settings that leave nothing to test: no pass at all ("Loop" 0 or less, a
// stored 0xFFFFFFFF reads as -1) or a batch of no step (a count of 0 or less).
// The run ends by itself and never reports success without a test that
// passed; a count the settings bring into range instead must really test.
TEST_F(GraphicsModule, ARunThatTestsNothingEndsAndDoesNotReportSuccess) {
  OnlyGdiTest(L"PixelDrawingEnable");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"DirectDrawEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Direct3DEnable", 0);
  struct Case {
    const wchar_t* name;
    DWORD value;
    bool noTestChosen;
  } cases[] = {{L"Loop", 0, false},         {L"Loop", 0xFFFFFFFF, false}, {L"PixelDraw", 0, false},
               {L"PixelDraw", 0xFFFFFFFF, false},
               // No test chosen at all, with as many passes as a value can ask for.
               {L"Loop", 0x7FFFFFFF, true}};
  for (const Case& c : cases) {
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"PixelDraw", 40);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"PixelDrawingEnable", c.noTestChosen ? 0 : 1);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, c.name, c.value);
    ::DeleteFileW(SuitePath(L"KytVGA.LOG").c_str());
    const std::string what = std::string(c.name, c.name + wcslen(c.name)) + "=" + std::to_string(c.value);
    WPARAM result = Run(L"-AutoRun -Check");  // bounded: the run must end and report
    std::string log = Log();
    ASSERT_FALSE(log.empty()) << what;
    const std::string pixel = LineOf(log, "Pixel Drawings:\t");
    const bool nothing = Has(log, "\nNothing was tested.\n");
    if (result == 0) {
      EXPECT_EQ(pixel, "Pixel Drawings:\tPASSED") << what << "\n" << log;
    } else {
      EXPECT_TRUE(nothing || pixel == "Pixel Drawings:\tNOT TESTED") << what << "\n" << log;
      EXPECT_TRUE(Has(log, "\nFound Error(s).\n")) << what << "\n" << log;
    }
    EXPECT_EQ((int)result, ErrorsIn(log) + (nothing ? 1 : 0)) << what << "\n" << log;
    // With no pass there is no result line at all, and the run says why.
    if (pixel.empty()) {
      EXPECT_TRUE(nothing) << what << "\n" << log;
    }
  }
}

TEST_F(GraphicsModule, FewerThan256ColoursFailBothDirectXTestsButNotTheGdiTests) {
  OnlyGdiTest(L"LineDrawingEnable");
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"graphics.mod"), L"-AutoRun -Check"));
  ASSERT_TRUE(p.WaitIdle(10000));
  HWND list = nullptr;
  PumpUntil([&] { return (list = ResultList(p.Pid())) != nullptr; }, 20000);
  ASSERT_NE(list, nullptr);
  // The display changes to 16 colours before the run starts.
  ::SendMessageW(::GetParent(list), WM_DISPLAYCHANGE, 4, MAKELPARAM(1280, 1024));
  MessageCatcher host;
  UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 120000, &done));
  EXPECT_TRUE(p.WaitExit(20000));
  std::string log = Log();
  EXPECT_EQ(LineOf(log, "Direct3D Test:\t"), "Direct3D Test:\tNeed no less than 256 colors") << log;
  EXPECT_EQ(LineOf(log, "DirectDraw Test:\t"), "DirectDraw Test:\tNeed no less than 256 colors") << log;
  EXPECT_EQ(LineOf(log, "Line Drawings:\t"), "Line Drawings:\tPASSED") << log;
  EXPECT_EQ(done.wp, 2u);
}

TEST_F(GraphicsModule, StopInTheMiddleEndsTheRunWithoutDone) {
  OnlyGdiTest(L"PixelDrawingEnable");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"DirectDrawEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Direct3DEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"PixelDraw", 4000000);  // far longer than the test waits
  Process p;
  MessageCatcher host;
  UINT diag = StartAsHost(p, host, L"-AutoRun -Check");
  HWND common = WaitForWindow(L"Graphics Test", L"Kyt COMMON WINDOW", p.Pid(), 30000);
  ASSERT_NE(common, nullptr);
  HWND list = ResultList(p.Pid());
  ASSERT_NE(list, nullptr);
  ::Sleep(500);
  ASSERT_TRUE(ClickButton(::GetParent(list), 1007));
  EXPECT_TRUE(WaitWindowGone(common, 30000));
  // An aborted automatic run reports nothing: the module stays until asked.
  MessageCatcher::Caught done{};
  EXPECT_FALSE(host.WaitFor(diag, 2000, &done));
  PumpUntil([] { return !Log().empty(); }, 10000);
  std::string log = Log();
  EXPECT_TRUE(Has(log, "\n \n===>Test aborts.\n \n")) << log;
  EXPECT_EQ(LineOf(log, "Pixel Drawings:\t"), "Pixel Drawings:\tPASSED") << log;
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
  ASSERT_TRUE(host.WaitFor(diag, 30000, &done));
  EXPECT_EQ(done.wp, 0u);
  EXPECT_TRUE(p.WaitExit(20000));
}

// A benchmark count far beyond what the test waits for: Stop is seen between
// two calls of the benchmark (the scrolling benchmark, which makes all its
// rounds in one call, between two rounds), and the series ends at once.
TEST_F(GraphicsModule, StopEndsABenchmarkOfAHugeCount) {
  const wchar_t* counts[] = {L"BenchBitmapStretch", L"BenchBitmapDraw", L"BenchFloodFill", L"BenchPixelDraw",
                             L"BenchLineDraw",      L"BenchEllipseRect", L"BenchBitmapScroll"};
  for (const wchar_t* huge : {L"BenchBitmapStretch", L"BenchBitmapScroll"}) {
    for (const wchar_t* n : counts) appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, n, 1);
    // The largest count the settings take (a larger one reads as the default).
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, huge, 10000);
    ::DeleteFileW(SuitePath(L"KytVGA.LOG").c_str());
    const std::string what(huge, huge + wcslen(huge));
    Process p;
    MessageCatcher host;
    UINT diag = StartAsHost(p, host, L"-AutoRun -Bench");
    HWND common = WaitForWindow(L"Graphics Test", L"Kyt COMMON WINDOW", p.Pid(), 30000);
    ASSERT_NE(common, nullptr) << what;
    HWND list = ResultList(p.Pid());
    ASSERT_NE(list, nullptr) << what;
    // The benchmark of the huge count is the one that runs.
    const std::string before = huge == std::wstring(L"BenchBitmapScroll") ? "Filled Shapes Drawings:\t" : "";
    if (!before.empty()) {
      PumpUntil([&] { return ::SendMessageW(list, LB_GETCOUNT, 0, 0) >= 6; }, 60000);
      ASSERT_GE(::SendMessageW(list, LB_GETCOUNT, 0, 0), 6) << what;
    }
    ::Sleep(500);  // into the benchmark (the test passes also when Stop comes before it)
    ASSERT_TRUE(ClickButton(::GetParent(list), 1007)) << what;
    EXPECT_TRUE(WaitWindowGone(common, 30000)) << what << ": Stop was not seen";
    PumpUntil([] { return !Log().empty(); }, 10000);
    EXPECT_TRUE(Has(Log(), "===>Test aborts.")) << what << "\n" << Log();
    ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
    MessageCatcher::Caught done{};
    ASSERT_TRUE(host.WaitFor(diag, 30000, &done)) << what;
    EXPECT_TRUE(p.WaitExit(20000)) << what;
  }
}

TEST_F(GraphicsModule, TheHostsQuitDuringARunClosesTheModule) {
  OnlyGdiTest(L"LineDrawingEnable");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"DirectDrawEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Direct3DEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"LineDraw", 4000000);
  Process p;
  MessageCatcher host;
  UINT diag = 0;
  ASSERT_NE(StartAndClickStart(p, host, L"", &diag), nullptr);
  ASSERT_NE(WaitForWindow(L"Graphics Test", L"Kyt COMMON WINDOW", p.Pid(), 30000), nullptr);
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 60000, &done)) << "the run swallowed the host's quit";
  EXPECT_TRUE(p.WaitExit(20000));
  EXPECT_TRUE(Has(Log(), "===>Test aborts.")) << Log();
}

namespace {
int RowOf(const std::vector<stress::ResultRow>& rows, const std::string& label) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (label == rows[i].label) return (int)i;
  return -1;
}
}  // namespace

TEST_F(GraphicsModule, ABenchmarkSeriesGetsTheVideoBlockAndScoresIt) {
  for (const wchar_t* n : {L"BenchBitmapStretch", L"BenchBitmapDraw", L"BenchFloodFill", L"BenchPixelDraw",
                           L"BenchLineDraw", L"BenchEllipseRect", L"BenchBitmapScroll"})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, n, 2);
  const std::wstring bench = SuitePath(L"BNCHMARK.BNH");
  const std::string head = "[Last Updated: 12/10/2026 09:00AM]\r\nThis machine\r\n\r\n";
  ASSERT_TRUE(WriteFileBytes(bench, head));
  WPARAM result = Run(L"-AutoRun -Bench -Check");
  std::string file = ReadFileBytes(bench);
  ::DeleteFileW(bench.c_str());
  EXPECT_EQ(result, 0u) << file;
  ASSERT_EQ(file.rfind(head, 0), 0u) << "the block is appended to what the series wrote";
  std::string block = file.substr(head.size());
  EXPECT_EQ(block.rfind("Video Performance Tests:\r\nCurrent Resolution:\t", 0), 0u) << block;
  for (const char* label : {"Bitmap Stretching:\t", "Bitmap Drawings:\t", "Flood-filled Drawings:\t",
                            "Pixel Drawings:\t", "Line Drawings:\t", "Filled Shapes Drawings:\t",
                            "Bitmap Scrolling:\t"})
    EXPECT_TRUE(Has(block, std::string("\r\n") + label)) << label << "\n" << block;
  EXPECT_FALSE(Has(block, "FAILED")) << block;
  EXPECT_TRUE(block.size() > 4 && block.compare(block.size() - 4, 4, "\r\n\r\n") == 0) << "ends with an empty line";

  const std::vector<stress::ResultRow> rows = stress::ResultRows(true);
  const std::vector<long> defaults =
      stress::ReadDefaults(stress::ResultLines(ReadFileBytes(SuitePath(L"bnchdflt.dat"))), rows);
  const stress::ResultColumn column = stress::ReadResults(stress::ResultLines(file), rows, defaults);
  int speed = RowOf(rows, "Video Speed");
  ASSERT_GE(speed, 0);
  double mps = 0;
  ASSERT_TRUE(stress::LeadingNumber(column.cells[speed], &mps)) << block;
  EXPECT_GT(mps, 0.0);
  EXPECT_GT(column.count, 0);
  // The log of the run holds the list's lines.
  EXPECT_TRUE(Has(Log(), "Video Speed:\t")) << Log();
}

// The control in a folder of the small disk of with_small_disk.sh, where its
// BNCHMARK.BNH has no room for the video block: the block is taken back and
// the results list says that this run's results are not in the file.
class GraphicsSmallDisk : public GraphicsModule {
 protected:
  void SetUp() override {
    GraphicsModule::SetUp();
    if (!disk_.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
    dir_ = disk_.root() + L"graphics\\";
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((dir_ + L"TESTDATA").c_str(), nullptr));
    for (const wchar_t* f : {L"GRAPHICS.OCX", L"TESTDATA\\TESTBMP.BMP"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE));
    ASSERT_EQ(RegisterControl(dir_ + L"GRAPHICS.OCX"), 0);
    moved_ = true;
  }
  void TearDown() override {
    if (moved_) {
      EXPECT_EQ(RegisterControl(SuitePath(L"GRAPHICS.OCX")), 0);
    }
    GraphicsModule::TearDown();
  }
  testsupport::SmallDisk disk_;
  std::wstring dir_;
  bool moved_ = false;
};

TEST_F(GraphicsSmallDisk, ABenchmarkBlockTheDiskHasNoRoomForIsTakenBackAndTheListSaysSo) {
  for (const wchar_t* n : {L"BenchBitmapStretch", L"BenchBitmapDraw", L"BenchFloodFill", L"BenchPixelDraw",
                           L"BenchLineDraw", L"BenchEllipseRect", L"BenchBitmapScroll"})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, n, 1);
  // The series' header and the blocks before fill the file's one block but
  // for a few bytes, and the disk has no other.
  const std::wstring bench = dir_ + L"BNCHMARK.BNH";
  std::string before = "[Last Updated: 12/10/2026 09:00AM]\r\nThis machine\r\n\r\n";
  while (before.size() < 4000) before += "Memory Read Performance Tests:\t" + std::string(60, '-') + "\r\n";
  ASSERT_TRUE(WriteFileBytes(bench, before));
  ASSERT_TRUE(disk_.FillSpace());

  Process p;
  MessageCatcher host;
  UINT diag = 0;
  HWND list = StartAndClickStart(p, host, L"-Bench", &diag);
  ASSERT_NE(list, nullptr);
  HWND page = ::GetParent(list);
  HWND common = WaitForWindow(L"Graphics Test", L"Kyt COMMON WINDOW", p.Pid(), 30000);
  ASSERT_NE(common, nullptr);
  EXPECT_TRUE(WaitWindowGone(common, 120000));
  // The run has ended once its button reads Start again.
  EXPECT_TRUE(PumpUntil([&] { return GetText(::GetDlgItem(page, 1007)) == L"&Start"; }, 30000));
  const std::vector<std::wstring> lines = ListBoxLines(list);
  std::wstring said;
  for (const std::wstring& l : lines)
    if (l.rfind(L"Cannot write " + bench + L": ", 0) == 0) said = l;
  std::wstring all;
  for (const std::wstring& l : lines) all += l + L"\n";
  EXPECT_NE(said.find(L"This run's results are not in it."), std::wstring::npos) << appkit::Narrow(all);
  const std::string now = ReadFileBytes(bench);
  EXPECT_TRUE(now == before) << "the file does not hold the earlier blocks alone: " << now.size() << " bytes";

  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
  MessageCatcher::Caught done{};
  EXPECT_TRUE(host.WaitFor(diag, 30000, &done));
  EXPECT_TRUE(p.WaitExit(20000));
}

TEST_F(GraphicsModule, TheDirectDrawTestAnimatesInAWindowOfItsOwnInAnAutomaticRun) {
  OnlyGdiTest(L"PixelDrawingEnable");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Direct3DEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"DirectDraw", 600);
  for (auto [name, value] : std::vector<std::pair<const wchar_t*, DWORD>>{
           {L"DisplayX", 120}, {L"DisplayY", 90}, {L"DisplayWidth", 520}, {L"DisplayHeight", 400}})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
  Process p;
  MessageCatcher host;
  UINT diag = StartAsHost(p, host, L"-AutoRun -Check");
  // Windowed (no display mode change) at the display rectangle, on top.
  HWND dd = WaitForWindow(L"DirectDraw", L"Kyt DDRAW WINDOW", p.Pid(), 60000);
  ASSERT_NE(dd, nullptr);
  RECT r{};
  ::GetWindowRect(dd, &r);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 90);
  EXPECT_EQ(r.right - r.left, 520);
  EXPECT_EQ(r.bottom - r.top, 400);
  EXPECT_TRUE(::GetWindowLongW(dd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024) << "the display mode stays";
  EXPECT_TRUE(WaitWindowGone(dd, 120000)) << "the window goes with its batch";
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 120000, &done));
  EXPECT_TRUE(p.WaitExit(20000));
  std::string log = Log();
  EXPECT_EQ(LineOf(log, "DirectDraw Test:\t"), "DirectDraw Test:\tPASSED") << log;
  EXPECT_EQ(LineOf(log, "Direct3D Test:\t"), "") << log;
  EXPECT_EQ(done.wp, 0u) << log;
}

TEST_F(GraphicsModule, DirectSoundIsJudgedByThePlaybackDuringTheDirectXTests) {
  OnlyGdiTest(L"LineDrawingEnable");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"DirectSoundEnable", 1);
  WPARAM result = Run(L"-AutoRun -Check");
  std::string log = Log();
  ASSERT_EQ(LineOf(log, "DirectDraw Test:\t"), "DirectDraw Test:\tPASSED") << log;
  // With the test server's sound devices the sound plays; without any, the
  // player cannot make its DirectSound object and the test fails.
  const bool audio = std::getenv("HALVIX_AUDIO") != nullptr;
  EXPECT_EQ(LineOf(log, "DirectSound Test:\t"), audio ? "DirectSound Test:\tPASSED" : "DirectSound Test:\tFAILED")
      << log;
  EXPECT_EQ((int)result, ErrorsIn(log)) << log;

  // With -C (modules running side by side) there is no DirectSound test.
  result = Run(L"-AutoRun -Check -C50");
  log = Log();
  EXPECT_EQ(LineOf(log, "DirectSound Test:\t"), "") << log;
}
