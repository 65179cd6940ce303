// The report file: sources joined in table order, missing ones skipped,
// lines bounded, and the report read back into list items.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

using namespace tamblet;

namespace {

class ReportFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::TempDir() + L"tamblet-report-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    data_ = dir_ + L"data\\";
    ::CreateDirectoryW(data_.c_str(), nullptr);
    report_ = dir_ + L"DIAGReport.txt";
  }
  void TearDown() override {
    WIN32_FIND_DATAW fd;
    for (const std::wstring& d : {data_, dir_}) {
      HANDLE h = ::FindFirstFileW((d + L"*").c_str(), &fd);
      if (h != INVALID_HANDLE_VALUE) {
        do {
          std::wstring p = d + fd.cFileName;
          ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
          ::DeleteFileW(p.c_str());
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
      }
    }
    ::RemoveDirectoryW(data_.c_str());
    ::RemoveDirectoryW(dir_.c_str());
  }
  BuildResult Build(const Selection& sel) {
    return BuildReportFile(report_, data_, sel, "TEST RESULTS\n", "SYSTEM INFORMATION\n");
  }
  std::wstring dir_, data_, report_;
};

const std::string kLong300 = std::string(300, 'x');
const std::string kExact255 = std::string(254, 'y') + "z";
const std::string kLong600 = std::string(255, 'a') + std::string(253, 'b') + std::string(92, 'c');

// The fixtures of the golden report: CR LF and LF files, a log without a
// last line end, an information file with over-long lines, and selected
// sources that are missing.
void WriteFixtures(const std::wstring& data) {
  testsupport::WriteFileBytes(data + L"STRESS.LOG", "12/10/2026 07:00AM\r\nStress Test\r\nLoop 1\tPASSED\r\n");
  testsupport::WriteFileBytes(data + L"KytMEM.LOG", "12/10/2026 07:05AM\r\nMemory Test\r\nWalking Ones\tPASSED");
  testsupport::WriteFileBytes(data + L"BNCHMARK.BNH", "Dhrystone\t400\nWhetstone\t120\n");
  testsupport::WriteFileBytes(data + L"KytVGA.LOG", "not selected\r\n");
  testsupport::WriteFileBytes(data + L"KytSUM.IFO", "\r\n@3Summary\r\n;Video Info\r\nOperating System:\tWindows\r\n");
  testsupport::WriteFileBytes(data + L"KytMEM.IFO", "\r\n@3Memory\r\n" + kLong300 + "\r\n" + kExact255 + "\r\n" + kLong600 + "\n");
  testsupport::WriteFileBytes(data + L"KytPCI.IFO", "not selected\r\n");
}

TEST_F(ReportFiles, GoldenReportFromLogsAndInformationFiles) {
  WriteFixtures(data_);
  Selection sel;
  sel.tests[0] = sel.tests[1] = sel.tests[2] = sel.tests[11] = true;  // KytPROC.LOG is missing
  sel.info[0] = sel.info[1] = sel.info[2] = true;                    // KytPROC.IFO is missing
  ASSERT_EQ(Build(sel), BuildResult::Written);
  const std::string expected =
      "@3TEST RESULTS\r\n"
      "\r\n"
      "12/10/2026 07:00AM\r\nStress Test\r\nLoop 1\tPASSED\r\n"
      "\r\n"
      "12/10/2026 07:05AM\r\nMemory Test\r\nWalking Ones\tPASSED\r\n"
      "\r\n"
      "Dhrystone\t400\r\nWhetstone\t120\r\n"
      "\r\n\r\n"
      "@3SYSTEM INFORMATION\r\n"
      "\r\n@3Summary\r\n;Video Info\r\nOperating System:\tWindows\r\n"
      "\r\n@3Memory\r\n" +
      std::string(255, 'x') + "\r\n  " + std::string(45, 'x') + "\r\n" + kExact255 + "\r\n" +
      std::string(255, 'a') + "\r\n  " + std::string(253, 'b') + "\r\n  " + std::string(92, 'c') + "\r\n";
  EXPECT_EQ(testsupport::ReadFileBytes(report_), expected);
}

TEST_F(ReportFiles, SectionsAppearOnlyWhenSelected) {
  testsupport::WriteFileBytes(data_ + L"KytSUM.IFO", "\r\n@3Summary\r\nA:\tB\r\n");
  struct Case {
    const char* name;
    bool anyTest;  // tests[3] selected (its log is missing)
    bool sumInfo;  // info[0] selected
    std::string expected;
  } cases[] = {
      {"information only", false, true, "@3SYSTEM INFORMATION\r\n\r\n@3Summary\r\nA:\tB\r\n"},
      {"missing logs only", true, false, "@3TEST RESULTS\r\n\r\n\r\n"},
      {"missing logs and information", true, true,
       "@3TEST RESULTS\r\n\r\n\r\n@3SYSTEM INFORMATION\r\n\r\n@3Summary\r\nA:\tB\r\n"},
  };
  for (const Case& c : cases) {
    Selection sel;
    sel.tests[3] = c.anyTest;
    sel.info[0] = c.sumInfo;
    ASSERT_EQ(Build(sel), BuildResult::Written) << c.name;
    EXPECT_EQ(testsupport::ReadFileBytes(report_), c.expected) << c.name;
  }
}

TEST_F(ReportFiles, ReportThatCannotBeWrittenSaysSoAndLeavesNoNewFile) {
  testsupport::WriteFileBytes(data_ + L"KytSUM.IFO", "\r\n@3Summary\r\n");
  Selection sel;
  sel.info[0] = true;
  // Nothing selected: the old report stays as it was.
  testsupport::WriteFileBytes(report_, "old report\r\n");
  EXPECT_EQ(Build(Selection{}), BuildResult::NothingSelected);
  EXPECT_EQ(testsupport::ReadFileBytes(report_), "old report\r\n");
  // In a directory that does not exist.
  EXPECT_EQ(BuildReportFile(dir_ + L"nosuch\\DIAGReport.txt", data_, sel, "T\n", "S\n"), BuildResult::CannotCreate);
  // A path longer than the report path buffer.
  std::wstring longPath = dir_ + std::wstring(kReportPathMax, L'r');
  EXPECT_EQ(BuildReportFile(longPath, data_, sel, "T\n", "S\n"), BuildResult::PathTooLong);
  // A directory where the report should be.
  std::wstring blocked = dir_ + L"blocked.txt";
  ASSERT_TRUE(::CreateDirectoryW(blocked.c_str(), nullptr));
  EXPECT_EQ(BuildReportFile(blocked, data_, sel, "T\n", "S\n"), BuildResult::CannotCreate);
  ::RemoveDirectoryW(blocked.c_str());
}

TEST_F(ReportFiles, LineEndsSplitAcrossTheReadBufferAndStrayCarriageReturns) {
  // A CR LF whose CR is the last byte of the first 8 KB read, a lone CR
  // inside a line, and a file ending in CR.
  std::string first(8191, 'k');
  std::string bytes = "\r\n";
  for (size_t i = 0; i < first.size(); i += 100) {
    size_t n = std::min<size_t>(98, first.size() - i);
    bytes += std::string(n, 'k');
    if (i + 100 < first.size()) bytes += "\r\n";
  }
  bytes.resize(8191, 'k');
  bytes += "\r\nlone\rcr\r\nend\r";
  testsupport::WriteFileBytes(data_ + L"KytSUM.IFO", bytes);
  FILE* f = _wfopen((data_ + L"KytSUM.IFO").c_str(), L"rb");
  ASSERT_NE(f, nullptr);
  LineReader reader(f);
  std::string line, joined;
  std::vector<std::string> lines;
  while (reader.Next(&line)) lines.push_back(line);
  fclose(f);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2], "lone\rcr");
  EXPECT_EQ(lines.back(), "end\r");
  for (const std::string& l : lines) {
    EXPECT_LE(l.size(), kMaxLine);
    EXPECT_EQ(l.find('\n'), std::string::npos);
  }
  // Rebuilt with CR LF the lines give back the file (it had no over-long line).
  for (const std::string& l : lines) joined += l + "\r\n";
  EXPECT_EQ(joined, bytes + "\r\n");
}

TEST_F(ReportFiles, LoadedItemsHideMarkersShowBlanksAndEndWithOne) {
  testsupport::WriteFileBytes(report_, "@3TEST RESULTS\r\n\r\n;hidden\r\n;" + kLong300 + "\r\nA:\tB\r\n" + kLong300 +
                                           "\r\n;also hidden");
  std::vector<std::string> items;
  ASSERT_TRUE(ReadReportItems(report_, &items));
  std::vector<std::string> expected = {"@3TEST RESULTS", " ", "A:\tB", std::string(255, 'x'),
                                       "  " + std::string(45, 'x'), " "};
  EXPECT_EQ(items, expected);
  EXPECT_FALSE(ReadReportItems(dir_ + L"missing.txt", &items));
  EXPECT_TRUE(items.empty());
  testsupport::WriteFileBytes(report_, "");
  ASSERT_TRUE(ReadReportItems(report_, &items));
  EXPECT_EQ(items, std::vector<std::string>{" "});
}

TEST(ReportCommandLine, ArgumentIsTakenWholeWithoutItsQuotes) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* argument;
  } cases[] = {
      {L"\"C:\\Suite\\Tamblet.MOD\"", L""},
      {L"\"C:\\Suite\\Tamblet.MOD\"   ", L""},
      {L"Tamblet.MOD C:\\r.txt", L"C:\\r.txt"},
      {L"\"C:\\My Suite\\Tamblet.MOD\" \"C:\\My Reports\\old report.txt\"", L"C:\\My Reports\\old report.txt"},
      {L"Tamblet.MOD C:\\My Reports\\old report.txt ", L"C:\\My Reports\\old report.txt"},
      {L"Tamblet.MOD \" C:\\r.txt \"", L"C:\\r.txt"},
      {L"Tamblet.MOD \"", L"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(CommandLineArgument(c.commandLine), c.argument) << c.commandLine;
}

std::vector<std::wstring> SortedNamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names = testsupport::NamesIn(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// A report that cannot take the old one's place leaves the old one as it
// was: a read-only report, and (on the small disk of with_small_disk.sh) a
// disk without room for the new one.
TEST_F(ReportFiles, AReadOnlyOldReportStaysAsItWas) {
  testsupport::WriteFileBytes(data_ + L"KytSUM.IFO", "\r\n@3Summary\r\nA:\tB\r\n");
  testsupport::WriteFileBytes(report_, "old report\r\n");
  ::SetFileAttributesW(report_.c_str(), FILE_ATTRIBUTE_READONLY);
  Selection sel;
  sel.info[0] = true;
  EXPECT_EQ(Build(sel), BuildResult::CannotCreate);
  EXPECT_EQ(testsupport::ReadFileBytes(report_), "old report\r\n");
  EXPECT_EQ(SortedNamesIn(dir_), (std::vector<std::wstring>{L"DIAGReport.txt", L"data"}));
}

TEST(ReportSmallDisk, AReportTheDiskHasNoRoomForLeavesTheOldOneOrIsWhole) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring dir = disk.root() + L"wizard\\", data = dir + L"data\\", report = dir + L"DIAGReport.txt";
  const std::string old = "@3TEST RESULTS\r\n\r\nold report\r\n\r\n\r\n";
  std::string info = "\r\n@3Software\r\n";
  for (int i = 0; i < 160; ++i) info += "Program " + std::to_string(i) + ":\t" + std::string(50, 's') + "\r\n";
  const std::string whole = "@3SYSTEM INFORMATION\r\n" + info;
  Selection sel;
  sel.info[15] = true;
  struct Case {
    const char* what;
    bool entries;          // no free file entry, else no free block
    bool newMayBeWhole;    // in place without a new file entry a whole new report is as good
  } cases[] = {
      {"no free block", false, false},
      {"no free file entry", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RemoveTree(dir);
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(data.c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(data + L"KytSOFT.IFO", info));
    ASSERT_TRUE(testsupport::WriteFileBytes(report, old));
    ASSERT_TRUE(c.entries ? disk.FillEntries() : disk.FillSpace());

    BuildResult r = BuildReportFile(report, data, sel, "TEST RESULTS\n", "SYSTEM INFORMATION\n");
    const std::string now = testsupport::ReadFileBytes(report);
    if (c.newMayBeWhole && r == BuildResult::Written) {
      EXPECT_TRUE(now == whole) << "a cut report: " << now.size() << " bytes";
    } else {
      EXPECT_NE(r, BuildResult::Written);
      EXPECT_TRUE(now == old) << "the old report is gone or changed: " << now.size() << " bytes";
    }
    EXPECT_EQ(SortedNamesIn(dir), (std::vector<std::wstring>{L"DIAGReport.txt", L"data"}))
        << "a temporary file stayed";

    disk.Free();
    EXPECT_EQ(BuildReportFile(report, data, sel, "TEST RESULTS\n", "SYSTEM INFORMATION\n"), BuildResult::Written);
    EXPECT_TRUE(testsupport::ReadFileBytes(report) == whole);
  }
  testsupport::RemoveTree(dir);
}

}  // namespace
