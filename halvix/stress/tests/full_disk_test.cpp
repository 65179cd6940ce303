// What the stress and benchmark dialogs write, on the small disk of
// with_small_disk.sh when its room runs out: STRESS.LOG, the header of
// BNCHMARK.BNH and the results' HTML report are whole or not there (a cut
// one would read as the whole of a loop, a series or its results), and the
// run says that it keeps none.
#include <gtest/gtest.h>

#include <string>

#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

// Fills the disk but for one block: a file made afterwards holds at most
// that block's 4096 bytes.
bool LeaveOneFreeBlock(testsupport::SmallDisk& disk) {
  const std::wstring reserve = disk.root() + L"reserve";
  if (!testsupport::WriteFileBytes(reserve, std::string(4096, 'r')) || !disk.FillSpace()) return false;
  return ::DeleteFileW(reserve.c_str()) != FALSE;
}

// Each test has a data directory of its own on the small disk.
class StressFullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  }
  std::wstring DataDir(const std::wstring& name) {
    const std::wstring dir = disk.root() + name + L" data\\";
    testsupport::RemoveTree(dir);
    return ::CreateDirectoryW(dir.c_str(), nullptr) ? dir : std::wstring();
  }
  testsupport::SmallDisk disk;
};

}  // namespace

// A loop whose "***" lines outgrow the one block left: its STRESS.LOG is not
// kept (not a cut one without its table), the dialog says so, and with room
// again the next run's log is whole.
TEST_F(StressFullDisk, ALoopLogTheDiskHasNoRoomForIsNotKept) {
  const std::wstring dir = DataDir(L"full stress");
  ASSERT_FALSE(dir.empty());
  RunFixture fx(L"full stress", dir);
  fx.SetChoices(1, 0, 0);
  // Forty modules whose programs are not there: each start fails at once
  // and logs a line of about 130 bytes, more than the block holds.
  std::string list = ";Test Modules\r\n";
  std::string lines;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "Module " + std::to_string(10 + i) + " " + std::string(90, 'm');
    list += name + "|" + appkit::Narrow(dir) + "no such program.exe|-AutoRun||||||\r\n";
    lines += "*** Failed to create process:\t" + name + "\r\n";
  }
  ASSERT_GT(lines.size(), 4096u);
  fx.WriteFile(L"modules.dat", list);

  for (bool full : {true, false}) {
    SCOPED_TRACE(full ? "no room for the loop's lines" : "room again");
    if (full) {
      ASSERT_TRUE(LeaveOneFreeBlock(disk));
    } else {
      disk.Free();
    }
    Process host;
    HWND dlg = fx.OpenDialog(host, L"-Stress");
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
    ASSERT_TRUE(WaitStressRun(dlg, 30000));
    auto rows = ListRows(dlg);
    ASSERT_EQ(rows.size(), 40u);
    const std::wstring notice = NoticeText(dlg);
    ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
    ASSERT_TRUE(host.WaitExitPumping(10000));

    const std::string log = fx.ReadFile(L"STRESS.LOG");
    if (full) {
      EXPECT_FALSE(fx.Exists(L"STRESS.LOG")) << "a log of " << log.size() << " bytes stayed, ending \""
                                             << log.substr(log.size() > 60 ? log.size() - 60 : 0) << "\"";
      EXPECT_EQ(Occurrences(notice, L"Cannot write " + dir + L"STRESS.LOG: "), 1u) << appkit::Narrow(notice);
    } else {
      EXPECT_EQ(notice.find(L"STRESS.LOG"), std::wstring::npos) << appkit::Narrow(notice);
      const size_t header = log.find("]\nLOOP: 1\r\n");
      ASSERT_NE(header, std::string::npos) << log.substr(0, 80);
      EXPECT_EQ(log.compare(header + 11, lines.size(), lines), 0) << "the loop's lines are not all there";
      // The table (its names cut to 58 characters) follows, whole.
      const std::string table = log.substr(header + 11 + lines.size());
      EXPECT_EQ(table.rfind("Module\tStatus\tElapsed Time\r\n", 0), 0u) << table.substr(0, 80);
      EXPECT_EQ(testsupport::CountOccurrences(table, "\tFailed to run.\t\r\n"), 40);
      EXPECT_NE(table.find("\r\nTotal Elapsed Time:\t"), std::string::npos) << "no whole table";
    }
  }
  testsupport::RemoveTree(dir);
}

// A series whose header does not fit leaves no BNCHMARK.BNH (an empty or
// cut one is no file of this series), and says so.
TEST_F(StressFullDisk, ASeriesWhoseHeaderDoesNotFitLeavesNoFile) {
  const std::wstring dir = DataDir(L"full bench");
  ASSERT_FALSE(dir.empty());
  RunFixture fx(L"full bench", dir);
  fx.WriteFile(L"bnchmark.dat",
               ";Test Modules\r\nOne Bench|" + appkit::Narrow(dir) + "no such program.exe|-AutoRun -Bench||1.LOG|||\r\n");
  ASSERT_TRUE(disk.FillSpace());
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] {
        auto rows = ListRows(dlg);
        return rows.size() == 1 && !rows[0][1].empty() && rows[0][1] != L"Running..." &&
               RunButtonSays(dlg, L"&Run");
      },
      20000));
  const std::wstring notice = NoticeText(dlg);
  EXPECT_EQ(Occurrences(notice, L"Cannot write " + dir + L"BNCHMARK.BNH: "), 1u) << appkit::Narrow(notice);
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  EXPECT_FALSE(fx.Exists(L"BNCHMARK.BNH")) << "a file of " << fx.ReadFile(L"BNCHMARK.BNH").size() << " bytes stayed";
  testsupport::RemoveTree(dir);
}

// The results' HTML report that the disk has no room for keeps the old one.
TEST_F(StressFullDisk, AResultsReportTheDiskHasNoRoomForKeepsTheOldOne) {
  const std::wstring dir = DataDir(L"full results");
  ASSERT_FALSE(dir.empty());
  RunFixture fx(L"full results", dir);
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n");
  fx.WriteFile(L"BNCHMARK.BNH", "[Last Updated: 12/11/2026 09:00AM]\n\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n");
  // A template longer than the old report's block, its first placeholder
  // the Description row.
  std::string html = "<html><body>\r\n <p>AAAAAAA</p>\r\n";
  while (html.size() < 9000) html += "<p>" + std::string(90, 't') + "</p>\r\n";
  html += "</body></html>\r\n";
  fx.WriteFile(L"temp_nt.htm", html);
  const std::string old = "<!--an old report-->\r\n";
  fx.WriteFile(L"BNCHMARK.htm", old);

  for (bool full : {true, false}) {
    SCOPED_TRACE(full ? "no free block" : "room again");
    if (full) {
      ASSERT_TRUE(disk.FillSpace());
    } else {
      disk.Free();
    }
    Process host;
    HWND dlg = nullptr, results = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenBenchResults(fx, host, &dlg, &results));
    CloseResultsAndHost(results, dlg, host);
    const std::string report = fx.ReadFile(L"BNCHMARK.htm");
    if (full) {
      EXPECT_TRUE(report == old) << "the old report is gone or cut: " << report.size() << " bytes";
    } else {
      EXPECT_EQ(report.rfind("<!--", 0), 0u);
      EXPECT_NE(report.find("</body></html>\r\n"), std::string::npos) << "no whole report: " << report.size() << " bytes";
    }
  }
  testsupport::RemoveTree(dir);
}
