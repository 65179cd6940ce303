// The suite's shipped module lists end to end: the stand-in main program
// opens the Stress Test and the Benchmarks dialog over modules.dat and
// bnchmark.dat exactly as the suite ships them, with the default choices,
// and every enabled module runs to its verdict. The suite directory is the
// test's own copy (the test runner makes one for each test program), so the
// logs and BNCHMARK.BNH land there; its controls are registered once for the
// program. The module settings are moved aside, so each control starts from
// its defaults; only the sizes that make a run long are made small.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "run_support.h"
#include "suite/info.h"
#include "testsupport/drives.h"
#include "testsupport/machine.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;
using testsupport::SuitePath;

namespace {

std::vector<std::wstring> Controls(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*.OCX").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return names;
}

// The module settings of the suite's programs, moved aside for the test.
const wchar_t* const kModuleKeys[] = {L"Software\\Kyt\\ZENTREL", L"Software\\Kyt\\Fenwold", L"Software\\Kyt\\CDROM",
                                      L"Software\\Kyt\\GRAPHICS", L"Software\\Qev\\MEDIA", L"Software\\Kyt\\MODEM",
                                      L"Software\\Kyt\\STREVAN"};

class DefaultLists : public ::testing::Test {
 protected:
  // The suite's controls, registered from this test's copy of the suite.
  static void SetUpTestSuite() {
    for (const std::wstring& ocx : Controls(SuitePath(L"")))
      ASSERT_EQ(testsupport::RegisterControl(SuitePath(ocx)), 0) << appkit::Narrow(ocx);
  }

  // Everything a default run needs: the suite directory without the
  // results of an earlier run, the information server, a CD-ROM drive with
  // a data disc.
  void Start(const std::wstring& name) {
    const char* disc = std::getenv("CDROM_DISC_DIR");
    if (!disc) GTEST_SKIP() << "run through with_cd_disc.sh";
    fx_.emplace(name, SuitePath(L""));
    for (const wchar_t* file : {L"STRESS.LOG", L"BNCHMARK.BNH", L"BNCHMARK.htm"}) ::DeleteFileW(SuitePath(file).c_str());
    for (const wchar_t* k : kModuleKeys)
      aside_.push_back(std::make_unique<testsupport::KeyAside>(k, std::wstring(L"Software\\HalvixTestBackup\\") +
                                                                      (wcsrchr(k, L'\\') + 1)));
    // A memory test over a small machine (the whole of it is tested); the
    // disk test writes files of up to 1 MB; the graphics test draws short
    // batches.
    ASSERT_TRUE(testsupport::UseSmallMachine(4));
    for (auto [name, count] : {std::pair<const wchar_t*, DWORD>{L"DirectDraw", 40}, {L"BitmapStretch", 8},
                               {L"BitmapDraw", 40}, {L"FloodFill", 8}, {L"PixelDraw", 40}, {L"LineDraw", 40},
                               {L"EllipseRect", 40}, {L"BitmapScroll", 4}, {L"ChangeFont", 40}})
      appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Kyt\\GRAPHICS\\Setting", name, count);
    // This machine has no MIDI device (Wine has none): the audio test plays
    // its wave files only.
    appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Qev\\MEDIA\\Setting", L"MidiEnable", 0);
    // The information server that the main program keeps running (the
    // processor test asks it for the processor's lines).
    ASSERT_TRUE(server_.Start(testsupport::TestBinDir() + L"quorrel_host.exe"));
    ASSERT_NE(testsupport::WaitForWindow(suite::kInfoServerTitle, L"", server_.Pid(), 20000), nullptr);
    appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Kyt\\Fenwold\\Setting", L"nLargestSize", 1000000);
    ASSERT_TRUE(testsupport::DefineDrive(L'q', DRIVE_CDROM, disc));
    drive_ = true;
    appkit::RegWriteString(HKEY_CURRENT_USER, L"Software\\Kyt\\CDROM\\Setting", L"SelectedDrive", L"Q:\\");
  }
  void TearDown() override {
    if (drive_) testsupport::DefineDrive(L'q', DRIVE_NO_ROOT_DIR, nullptr);
    if (server_.Running()) {
      ::PostMessageW(testsupport::FindTopWindow(L"Quorrel test host", L"", server_.Pid()), WM_CLOSE, 0, 0);
      if (!server_.WaitExit(20000)) server_.Kill();
    }
    testsupport::UseWholeMachine();
    aside_.clear();
    fx_.reset();
  }
  // The stand-in main program over the suite directory: the list names its
  // programs relative to the current directory, the suite's.
  HWND Open(Process& host, const std::wstring& mode) {
    if (!host.Start(testsupport::TestBinDir() + L"stresshost.exe",
                    mode + L" -SettingsKey" + fx_->key() + L" -IdleWait1000", fx_->dir()))
      return nullptr;
    return WaitDialog(host.Pid(), mode == L"-Bench" ? L"Benchmarks" : L"Stress Test", 30000);
  }

  // Waits until the series has ended: the results opened by themselves, or
  // the series stopped ("&Run" again with "&View Results..." enabled).
  // Returns the results window, or nullptr when the series stopped short.
  HWND WaitSeriesEnd(DWORD pid, HWND dlg, DWORD ms) {
    HWND results = nullptr;
    auto ended = [&] {
      results = WaitOtherWindow(pid, L"Benchmarks", dlg, 0);
      HWND view = testsupport::FindChildById(dlg, 1028);
      return results != nullptr || (RunButtonSays(dlg, L"&Run") && view && ::IsWindowEnabled(view));
    };
    if (!testsupport::PumpUntil(ended, ms)) return nullptr;
    // A good series posts "&View Results..." as it ends.
    if (!results) results = WaitOtherWindow(pid, L"Benchmarks", dlg, 10000);
    return results;
  }

  Process server_;
  std::optional<RunFixture> fx_;
  std::vector<std::unique_ptr<testsupport::KeyAside>> aside_;
  bool drive_ = false;
};

// The rows the list file names, in file order.
struct Listed {
  std::wstring first;  // name
  bool second;         // disabled
  std::wstring log;
};
std::vector<Listed> ListedModules(const std::string& list) {
  std::vector<Listed> rows;
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find("\r\n", pos);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(pos, end - pos);
    pos = end + 2;
    if (line.empty() || line[0] == ';') continue;
    std::vector<std::string> f;
    for (size_t a = 0, b; (b = line.find('|', a)) != std::string::npos; a = b + 1) f.push_back(line.substr(a, b - a));
    if (f.size() < 5) continue;
    rows.push_back({appkit::Widen(f[0]), _stricmp(f[3].c_str(), "(Disabled)") == 0, appkit::Widen(f[4])});
  }
  return rows;
}

}  // namespace

TEST_F(DefaultLists, StressTestRunsEveryEnabledModuleToAVerdict) {
  ASSERT_NO_FATAL_FAILURE(Start(L"default stress"));
  if (IsSkipped()) return;
  const std::string list = testsupport::ReadFileBytes(SuitePath(L"modules.dat"));
  auto listed = ListedModules(list);
  ASSERT_GE(listed.size(), 9u) << list;
  // The default choices (one loop, one module after the other) but without
  // stopping at the first failure, so that every module is judged: Wine on
  // this display has no Direct3D, which fails the graphics test.
  fx_->SetChoices(1, 0, 1);

  DWORD t0 = ::GetTickCount();
  Process host;
  HWND dlg = Open(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), listed.size());
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 400000)) << "the run did not end";
  std::printf("stress run: %lu ms\n", ::GetTickCount() - t0);

  rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), listed.size());
  int timed = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(appkit::Narrow(rows[i][0]));
    EXPECT_EQ(rows[i][0], listed[i].first);
    if (listed[i].second) {
      EXPECT_EQ(rows[i][1], L"(Disabled)");
    } else {
      // Its verdict.
      EXPECT_TRUE(rows[i][1] == L"PASSED" || rows[i][1] == L"FAILED")
          << appkit::Narrow(rows[i][1]) << "\n" << fx_->ReadFile(L"STRESS.LOG");
      std::printf("%s: %s in %s\n", appkit::Narrow(rows[i][0]).c_str(), appkit::Narrow(rows[i][1]).c_str(),
                  appkit::Narrow(rows[i][2]).c_str());
      // Its time, or nothing for a module that ended within half a second.
      EXPECT_TRUE(std::regex_match(appkit::Narrow(rows[i][2]), std::regex(R"((\d+:[0-5]\d:[0-5]\d)?)")))
          << appkit::Narrow(rows[i][2]);
      if (!rows[i][2].empty()) ++timed;
    }
  }
  EXPECT_GE(timed, 1) << "the memory test alone takes seconds";
  std::string log = fx_->ReadFile(L"STRESS.LOG");
  EXPECT_NE(log.find(ExpectedTable(rows)), std::string::npos) << log;
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(20000));
}

TEST_F(DefaultLists, BenchmarkSeriesWithACdromDriveAndADisplayReachesItsScore) {
  ASSERT_NO_FATAL_FAILURE(Start(L"default bench"));
  if (IsSkipped()) return;
  const std::string list = testsupport::ReadFileBytes(SuitePath(L"bnchmark.dat"));
  auto listed = ListedModules(list);
  ASSERT_GE(listed.size(), 5u) << list;

  DWORD t0 = ::GetTickCount();
  Process host;
  HWND dlg = Open(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_EQ(ListRows(dlg).size(), listed.size());
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] { return testsupport::GetText(testsupport::FindChildById(dlg, 1025)) == L"&Stop"; }, 10000));
  HWND results = WaitSeriesEnd(host.Pid(), dlg, 400000);
  std::printf("benchmark series: %lu ms\n", ::GetTickCount() - t0);
  const std::string bnh = fx_->ReadFile(L"BNCHMARK.BNH");
  auto rows = ListRows(dlg);
  for (const auto& row : rows) EXPECT_EQ(row[1], L"DONE") << appkit::Narrow(row[0]);
  ASSERT_NE(results, nullptr) << "the series did not complete\n" << bnh;

  // Every scored row has this system's value. The disk's access time needs
  // raw reads of the first physical disk: Wine opens \\.\PhysicalDrive0 for
  // a folder-backed C: with a made-up geometry but fails every raw read of
  // it, so there the row reads -1 ms, a time not taken, and the score is
  // incomplete; otherwise it is complete.
  HWND table = testsupport::FindChildById(results, 1101);
  auto labels = testsupport::ListViewItems(table, 0);
  auto mine = testsupport::ListViewItems(table, 1);
  ASSERT_EQ(labels.size(), mine.size());
  bool untimedAccess = false;
  for (const wchar_t* scored : {L"Dhrystone", L"Whetstone", L"Memory Read Average", L"Memory Write Average",
                                L"Fixed Disk Transfer Rate", L"Fixed Disk Average Access Time",
                                L"CD-ROM Transfer Rate", L"Video Speed"}) {
    bool seen = false;
    for (size_t i = 0; i < labels.size(); ++i)
      if (labels[i] == scored) {
        seen = true;
        if (std::wstring(scored) == L"Fixed Disk Average Access Time" && mine[i] == L"-1 ms") {
          untimedAccess = true;
          continue;
        }
        EXPECT_TRUE(std::regex_search(appkit::Narrow(mine[i]), std::regex(R"(^\d*\.?\d+)")))
            << appkit::Narrow(scored) << ": " << appkit::Narrow(mine[i]);
      }
    EXPECT_TRUE(seen) << appkit::Narrow(scored);
  }
  std::wstring score = testsupport::GetText(testsupport::FindChildById(results, 1119));
  EXPECT_TRUE(std::regex_match(appkit::Narrow(score), std::regex(untimedAccess ? R"(\d+\.\d\d \(Incomplete Result\))"
                                                                               : R"(\d+\.\d\d)")))
      << appkit::Narrow(score) << "\n" << bnh;
  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(20000));
}
