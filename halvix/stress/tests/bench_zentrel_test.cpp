// A benchmark series of the suite's own bnchmark.dat end to end: the
// stand-in main program runs zentrel.mod with "-Bench" and with "-Bench
// -ProcTest", the modules append their blocks to BNCHMARK.BNH, and the
// results open by themselves with a score, a bar chart and an HTML report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "run_support.h"
#include "suite/info.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;
using testsupport::SuitePath;

namespace {

const wchar_t kKey[] = L"Software\\Qev\\HalvixStressTest\\zentrel_series";
const wchar_t kZentrelKey[] = L"Software\\Kyt\\ZENTREL\\Setting";
const wchar_t* const kMinTimes[] = {L"DhryMinTime", L"WhetMinTime"};

// For a picture of a window taken from outside (of the X display): with
// HALVIX_TEST_HOLD_MS set, the test keeps the window open that long.
void HoldForPicture() {
  char buf[16];
  DWORD n = ::GetEnvironmentVariableA("HALVIX_TEST_HOLD_MS", buf, sizeof buf);
  if (n > 0 && n < sizeof buf) testsupport::PumpUntil([] { return false; }, (DWORD)atoi(buf));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// The suite's shipped benchmark list cut down to the lines of one module
// program while the test runs, and put back as it was afterwards.
class ShippedListOf {
 public:
  explicit ShippedListOf(const std::string& program) : path_(SuitePath(L"bnchmark.dat")) {
    shipped_ = testsupport::ReadFileBytes(path_);
    std::string kept;
    for (const std::string& line : Lines(shipped_))
      if (line.rfind(";", 0) == 0 || line.find("|" + program + "|") != std::string::npos) kept += line + "\r\n";
    testsupport::WriteFileBytes(path_, kept);
  }
  ~ShippedListOf() { testsupport::WriteFileBytes(path_, shipped_); }

 private:
  std::wstring path_;
  std::string shipped_;
};

}  // namespace

TEST(BenchmarkZentrel, SeriesWritesBothBlocksAndTheResultsShowAScore) {
  ShippedListOf zentrelOnly("zentrel.mod");
  ASSERT_EQ(testsupport::RegisterControl(SuitePath(L"ZENTREL.OCX")), 0);
  appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
  // The suite's directory is the data directory: the modules append to the
  // BNCHMARK.BNH beside themselves.
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, suite::kModulePathValue, SuitePath(L"halvix.exe"));
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"MessageBoxTitle", L"Zentrel Series");
  // No information server here: the processor benchmark waits once for its lines.
  appkit::RegWriteDword(HKEY_CURRENT_USER, kZentrelKey, L"nWaitCpu", 1);
  // The processor loops give their figures from one run each: no longer
  // second run for a minimum time (the lines read the same either way).
  for (const wchar_t* name : kMinTimes) appkit::RegWriteDword(HKEY_CURRENT_USER, kZentrelKey, name, 0);
  ::DeleteFileW(SuitePath(L"BNCHMARK.BNH").c_str());
  ::DeleteFileW(SuitePath(L"BNCHMARK.htm").c_str());

  Process host;
  // bnchmark.dat names "zentrel.mod" relative to the current directory.
  std::wstring suiteDir = SuitePath(L"");
  ASSERT_TRUE(host.Start(testsupport::TestBinDir() + L"stresshost.exe",
                         std::wstring(L"-Bench -SettingsKey") + kKey + L" -IdleWait5000", suiteDir));
  HWND dlg = WaitDialog(host.Pid(), L"Benchmarks");
  ASSERT_NE(dlg, nullptr);
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], L"Memory Benchmark");
  EXPECT_EQ(rows[1][0], L"Processor Benchmark");
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));

  HWND results = WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 180000);
  ASSERT_NE(results, nullptr) << "the series did not complete";
  rows = ListRows(dlg);
  EXPECT_EQ(rows[0][1], L"DONE");
  EXPECT_EQ(rows[1][1], L"DONE");

  // Header, memory block, processor block, each line ending in CR LF.
  std::string bnh = testsupport::ReadFileBytes(SuitePath(L"BNCHMARK.BNH"));
  size_t close = bnh.find("]\n\r\n");
  ASSERT_NE(close, std::string::npos) << bnh;
  std::vector<std::string> lines = Lines(bnh.substr(close + 4));
  const std::vector<std::string> patterns = {
      R"(OS Type:\t.+ \[\d+\.\d\d\.\d+\])", "",
      R"(Memory Size:\t\d+\.\d\d MB)", "",
      "Memory Read Performance Tests:",
      R"(4K Blocks:\t\d+\.\d\d MB/Sec)", R"(16K Blocks:\t\d+\.\d\d MB/Sec)", R"(64K Blocks:\t\d+\.\d\d MB/Sec)",
      R"(256K Blocks:\t\d+\.\d\d MB/Sec)", R"(1024K Blocks:\t\d+\.\d\d MB/Sec)",
      R"(Memory Read Average:\t\d+\.\d\d MB/Sec)", "",
      "Memory Write Performance Tests:",
      R"(4K Blocks:\t\d+\.\d\d MB/Sec)", R"(16K Blocks:\t\d+\.\d\d MB/Sec)", R"(64K Blocks:\t\d+\.\d\d MB/Sec)",
      R"(256K Blocks:\t\d+\.\d\d MB/Sec)", R"(1024K Blocks:\t\d+\.\d\d MB/Sec)",
      R"(Memory Write Average:\t\d+\.\d\d MB/Sec)", "",
      "CPU Performance Tests:",
      R"(Dhrystone:\t\d+\.\d K Dhrystones/Sec)", R"(Whetstone:\t\d+\.\d MWIPS)", ""};
  ASSERT_EQ(lines.size(), patterns.size()) << bnh;
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i]))) << i << ": " << lines[i];
  EXPECT_EQ(bnh.substr(bnh.size() - 4), "\r\n\r\n");

  // The score of this system: the disk, CD-ROM and video blocks are missing.
  std::wstring score = testsupport::GetText(testsupport::FindChildById(results, 1119));
  EXPECT_TRUE(std::regex_match(appkit::Narrow(score), std::regex(R"(\d+\.\d\d \(Incomplete Result\))")))
      << appkit::Narrow(score);
  HWND table = testsupport::FindChildById(results, 1101);
  auto labels = testsupport::ListViewItems(table, 0);
  auto mine = testsupport::ListViewItems(table, 1);
  auto refs = testsupport::ListViewItems(table, 2);
  ASSERT_EQ(labels.size(), mine.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] == L"Dhrystone") {
      EXPECT_NE(mine[i].find(L"K Dhrystones/Sec"), std::wstring::npos);
    }
    if (labels[i] == L"Memory Read Average") {
      EXPECT_NE(mine[i].find(L"MB/Sec"), std::wstring::npos);
    }
    if (labels[i] == L"Qev Benchmark Score") {
      EXPECT_EQ(mine[i], score);
      // The reference file of the suite is complete.
      EXPECT_TRUE(std::regex_match(appkit::Narrow(refs[i]), std::regex(R"(\d+\.\d\d)"))) << appkit::Narrow(refs[i]);
    }
  }
  std::string html = testsupport::ReadFileBytes(SuitePath(L"BNCHMARK.htm"));
  EXPECT_EQ(html.rfind("<!--", 0), 0u);
  EXPECT_NE(html.find(appkit::Narrow(score)), std::string::npos);

  // The bar chart: two legend lines and two bars for each charted row.
  ASSERT_TRUE(testsupport::ClickButton(results, 1108));
  HWND chart = WaitOtherWindow(host.Pid(), L"Benchmark Results in Bar Chart", nullptr, 10000);
  ASSERT_NE(chart, nullptr);
  auto items = testsupport::ListBoxLines(testsupport::FindChildById(chart, 1105));
  ASSERT_GE(items.size(), 3u);
  EXPECT_EQ(items[0], L"This System");
  EXPECT_EQ(items[1], L"Ref. System");
  EXPECT_EQ(items[2].rfind(L"Dhrystone|", 0), 0u);
  HoldForPicture();
  ::PostMessageW(chart, WM_CLOSE, 0, 0);
  ASSERT_TRUE(testsupport::WaitWindowGone(chart, 5000));
  HoldForPicture();

  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
  HKEY k;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kZentrelKey, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
    ::RegDeleteValueW(k, L"nWaitCpu");
    for (const wchar_t* name : kMinTimes) ::RegDeleteValueW(k, name);
    ::RegCloseKey(k);
  }
}
