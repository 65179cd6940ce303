// A benchmark series of the CD-ROM benchmark end to end: the stand-in main
// program runs cdrom.mod with "-AutoRun -Bench" on a CD-ROM drive of the
// test's own (over the folder with_cd_disc.sh made), the module appends its
// block to the series' BNCHMARK.BNH, and the results score its transfer
// rate. The module, its control and the readers run from the series' data
// directory, where the series keeps its file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;
using testsupport::SuitePath;

TEST(BenchmarkCdrom, SeriesAppendsTheCdromBlockAndTheResultsScoreIt) {
  const char* disc = std::getenv("CDROM_DISC_DIR");
  if (!disc) GTEST_SKIP() << "run through with_cd_disc.sh";
  RunFixture f(L"cdrom series");
  for (const wchar_t* file : {L"cdrom.mod", L"CDROM.OCX", L"trunnelnt.dll", L"trunnel.dll", L"bnchdflt.dat",
                              L"bnchref.bnh", L"temp_nt.htm", L"temp_w95.htm"})
    ASSERT_TRUE(::CopyFileW(SuitePath(file).c_str(), (f.dir() + file).c_str(), FALSE)) << file;
  ASSERT_EQ(testsupport::RegisterControl(f.dir() + L"CDROM.OCX"), 0);
  ASSERT_TRUE(testsupport::DefineDrive(L'q', DRIVE_CDROM, disc));
  appkit::RegWriteString(HKEY_CURRENT_USER, L"Software\\Kyt\\CDROM\\Setting", L"SelectedDrive", L"Q:\\");
  f.WriteFile(L"bnchmark.dat", ";Test Modules\r\nCD-ROM Benchmark|" + appkit::Narrow(f.dir()) +
                                   "cdrom.mod|-AutoRun -Bench||KytCD.LOG|||\r\n");

  Process host;
  HWND dlg = f.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  HWND results = WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 180000);
  testsupport::DefineDrive(L'q', DRIVE_NO_ROOT_DIR, nullptr);
  ASSERT_NE(results, nullptr) << "the series did not complete";

  // The series' header, then the module's block.
  std::vector<std::string> lines = f.Lines(L"BNCHMARK.BNH");
  size_t at = 0;
  while (at < lines.size() && lines[at] != "CD-ROM Performance Test(s):") ++at;
  ASSERT_LT(at + 2, lines.size()) << f.ReadFile(L"BNCHMARK.BNH");
  EXPECT_TRUE(std::regex_match(lines[at + 1], std::regex(R"(Transfer Rate \(q:\)\t\d+\.\d\d KB/Sec)"))) << lines[at + 1];
  EXPECT_EQ(lines[at + 2], "");

  HWND table = testsupport::FindChildById(results, 1101);
  auto labels = testsupport::ListViewItems(table, 0);
  auto mine = testsupport::ListViewItems(table, 1);
  ASSERT_EQ(labels.size(), mine.size());
  bool seen = false;
  for (size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] != L"CD-ROM Transfer Rate") continue;
    seen = true;
    EXPECT_TRUE(std::regex_match(appkit::Narrow(mine[i]), std::regex(R"(\d+\.\d\d KB/Sec)"))) << appkit::Narrow(mine[i]);
  }
  EXPECT_TRUE(seen);
  // The other blocks are missing: a score, marked incomplete.
  std::wstring score = testsupport::GetText(testsupport::FindChildById(results, 1119));
  EXPECT_TRUE(std::regex_match(appkit::Narrow(score), std::regex(R"(\d+\.\d\d \(Incomplete Result\))")))
      << appkit::Narrow(score);
  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  // The suite's own control stays the registered one.
  EXPECT_EQ(testsupport::RegisterControl(SuitePath(L"CDROM.OCX")), 0);
}
