// Result log names, titles and append rules, and the troubleshooting tips
// taken from the help page (also from the page the suite ships).
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "ctlfw/testlog.h"
#include "testsupport/process.h"

using namespace ctlfw;

namespace {

std::tm At(int year, int mon, int day, int hour, int min) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = min;
  return t;
}

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TempDir {
 public:
  TempDir() {
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    dir = std::string(base) + "memtest_log_" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(dir.c_str(), nullptr);
  }
  ~TempDir() {
    for (const char* f : {"KytMEM.LOG", "KytMEM3.LOG"}) ::DeleteFileA((dir + f).c_str());
    ::RemoveDirectoryA(dir.c_str());
  }
  std::string dir;
};

}  // namespace

TEST(MemtestLog, HeaderTitleAndFileNameRules) {
  EXPECT_EQ(LogHeader(At(2026, 12, 8, 7, 5)), "[Last Updated: 12/08/2026 07:05AM]\n\n");
  EXPECT_EQ(LogHeader(At(2026, 1, 31, 19, 30)), "[Last Updated: 01/31/2026 07:30PM]\n\n");

  auto noCd = [](const std::string&) { return false; };
  struct Case {
    std::string digit;
    int loop;
    bool check;
    std::string file, title;
  } cases[] = {
      {"", 0, false, "C:\\suite\\KytMEM.LOG", "Memory Test\n"},
      {"3", 2, false, "C:\\suite\\KytMEM3.LOG", "Memory Test - Loop 2\n"},
      {"3", 2, true, "C:\\suite\\KytMEM3.LOG", "Memory Test\n"},
  };
  for (const Case& c : cases) {
    TestLogRequest r{"C:\\suite\\", "KytMEM", c.digit, "Memory Test", c.loop, c.check};
    EXPECT_EQ(LogFileName(r, noCd), c.file);
    EXPECT_EQ(LogTitle(r.title, r.loop, r.check), c.title);
  }
  TestLogRequest onCd{"D:\\suite\\", "KytMEM", "", "Memory Test"};
  std::string asked;
  EXPECT_EQ(LogFileName(onCd, [&](const std::string& root) { asked = root; return true; }), "A:\\KytMEM.LOG");
  EXPECT_EQ(asked, "D:\\");
  EXPECT_EQ(LogText(TestLogRequest{"", "KytMEM", "", "Memory Test", 0, false, true, 1}, At(2026, 12, 8, 7, 5), {"a", "b"}),
            "[Last Updated: 12/08/2026 07:05AM]\n\nMemory Test\na\nb\n\n");
}

TEST(MemtestLog, WritesTruncatesAndAppendsOnlyWithErrors) {
  TempDir tmp;
  TestLogRequest r{tmp.dir, "KytMEM", "", "Memory Test"};
  ASSERT_TRUE(WriteTestLogFile(r, {"first run"}));
  ASSERT_TRUE(WriteTestLogFile(r, {"Test Data Pattern:\tFFFFFFFFh\tPASSED ", "No Error Found."}));
  std::string text = ReadAll(tmp.dir + "KytMEM.LOG");
  EXPECT_EQ(text.rfind("[Last Updated: ", 0), 0u);
  EXPECT_NE(text.find("]\r\n\r\nMemory Test\r\nTest Data Pattern:\tFFFFFFFFh\tPASSED \r\nNo Error Found.\r\n"), std::string::npos);
  EXPECT_EQ(text.find("first run"), std::string::npos);

  r.append = true;
  r.errorCount = 0;
  EXPECT_FALSE(WriteTestLogFile(r, {"nothing"}));
  EXPECT_EQ(ReadAll(tmp.dir + "KytMEM.LOG"), text);

  r.errorCount = 1;
  r.loop = 4;
  ASSERT_TRUE(WriteTestLogFile(r, {"Found Error(s)."}));
  std::string appended = ReadAll(tmp.dir + "KytMEM.LOG");
  ASSERT_EQ(appended.compare(0, text.size(), text), 0);
  std::string tail = appended.substr(text.size());
  EXPECT_EQ(tail.rfind("[Last Updated: ", 0), 0u);
  EXPECT_EQ(tail.substr(tail.find(']')), "]\r\n\r\nMemory Test - Loop 4\r\nFound Error(s).\r\n\r\n");

  TestLogRequest noBase{tmp.dir, "", "", "Memory Test"};
  EXPECT_FALSE(WriteTestLogFile(noBase, {"x"}));
  TestLogRequest badDir{tmp.dir + "no\\such\\dir\\", "KytMEM", "", "Memory Test"};
  EXPECT_FALSE(WriteTestLogFile(badDir, {"x"}));
}

TEST(MemtestTips, AnchorAndMarkerRules) {
  struct Case {
    const char* name;
    std::string html;
    std::vector<std::string> tips;
  } cases[] = {
      {"plain", "x\n<A NAME=\"memory\"></A>\n<h2>Memory</h2>\n<PRE>\n  one  \n\ttwo\n</PRE>\nafter\n", {"one", "two"}},
      {"text after anchor, any case", "  <a name=\"MEMORY\"></a><h2>M</h2>\r\n<pre>\r\nTip\r\n</pre>\r\n", {"Tip"}},
      {"PRE carrying text is no marker", "<A NAME=\"memory\"></A>\n<PRE>skip\nnot yet\n<PRE>\nyes\n</PRE>\n", {"yes"}},
      {"no closing marker", "<A NAME=\"memory\"></A>\n<PRE>\na\n\nb\n", {"a", "", "b"}},
      {"other anchor only", "<A NAME=\"disk\"></A>\n<PRE>\nd\n</PRE>\n", {}},
      {"anchor not at line start", "see <A NAME=\"memory\"></A>\n<PRE>\nm\n</PRE>\n", {}},
      {"stops at the first section's end", "<A NAME=\"memory\"></A>\n<PRE>\nm\n</PRE>\n<PRE>\nn\n</PRE>\n", {"m"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractTips(c.html, "memory"), c.tips) << c.name;
}

TEST(MemtestTips, MissingPageGivesNothingAndTheShippedPageServesEveryControl) {
  std::vector<std::string> tips;
  EXPECT_FALSE(ReadTroubleshootingTips("C:\\no\\such\\place\\", "memory", &tips));

  std::wstring wide = testsupport::SuiteDir();
  std::string suite(wide.begin(), wide.end());
  EXPECT_EQ(TroubleshootingFile(suite), suite + "\\help\\errhelp.htm");
  for (const char* anchor : {"memory", "processor", "disk", "floppy", "graph", "audio", "video", "modem", "cdrom", "io"}) {
    ASSERT_TRUE(ReadTroubleshootingTips(suite, anchor, &tips)) << suite;
    EXPECT_GE(tips.size(), 3u) << anchor;
    for (const std::string& t : tips) EXPECT_EQ(t.find('<'), std::string::npos) << anchor << ": " << t;
  }
}
