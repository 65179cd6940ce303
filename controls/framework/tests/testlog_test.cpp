// Result log names, titles and append rules, and the troubleshooting tips
// taken from the help page (also from the page the suite ships).
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "appkit/text.h"
#include "ctlfw/testlog.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

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

std::string ReadAll(const std::wstring& name) { return testsupport::ReadFileBytes(name); }

class TempDir {
 public:
  TempDir() {
    dir = testsupport::TempDir() + L"memtest_log_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
  }
  ~TempDir() { testsupport::RemoveTree(dir); }
  std::wstring dir;
};

}  // namespace

TEST(MemtestLog, HeaderTitleAndFileNameRules) {
  EXPECT_EQ(LogHeader(At(2026, 12, 8, 7, 5)), "[Last Updated: 12/08/2026 07:05AM]\n\n");
  EXPECT_EQ(LogHeader(At(2026, 1, 31, 19, 30)), "[Last Updated: 01/31/2026 07:30PM]\n\n");

  auto noCd = [](const std::wstring&) { return false; };
  struct Case {
    std::string digit;
    int loop;
    bool check;
    std::wstring file;
    std::string title;
  } cases[] = {
      {"", 0, false, L"C:\\suite\\KytMEM.LOG", "Memory Test\n"},
      {"3", 2, false, L"C:\\suite\\KytMEM3.LOG", "Memory Test - Loop 2\n"},
      {"3", 2, true, L"C:\\suite\\KytMEM3.LOG", "Memory Test\n"},
  };
  for (const Case& c : cases) {
    TestLogRequest r{L"C:\\suite\\", "KytMEM", c.digit, "Memory Test", c.loop, c.check};
    EXPECT_EQ(LogFileName(r, noCd), c.file);
    EXPECT_EQ(LogTitle(r.title, r.loop, r.check), c.title);
  }
  TestLogRequest onCd{L"D:\\suite\\", "KytMEM", "", "Memory Test"};
  std::wstring asked;
  EXPECT_EQ(LogFileName(onCd, [&](const std::wstring& root) { asked = root; return true; }), L"A:\\KytMEM.LOG");
  EXPECT_EQ(asked, L"D:\\");
  EXPECT_EQ(LogText(TestLogRequest{L"", "KytMEM", "", "Memory Test", 0, false, true, 1}, At(2026, 12, 8, 7, 5), {"a", "b"}),
            "[Last Updated: 12/08/2026 07:05AM]\n\nMemory Test\na\nb\n\n");
}

TEST(MemtestLog, WritesTruncatesAndAppendsOnlyWithErrors) {
  TempDir tmp;
  TestLogRequest r{tmp.dir, "KytMEM", "", "Memory Test"};
  ASSERT_TRUE(WriteTestLogFile(r, {"first run"}));
  ASSERT_TRUE(WriteTestLogFile(r, {"Test Data Pattern:\tFFFFFFFFh\tPASSED ", "No Error Found."}));
  std::string text = ReadAll(tmp.dir + L"KytMEM.LOG");
  EXPECT_EQ(text.rfind("[Last Updated: ", 0), 0u);
  EXPECT_NE(text.find("]\r\n\r\nMemory Test\r\nTest Data Pattern:\tFFFFFFFFh\tPASSED \r\nNo Error Found.\r\n"), std::string::npos);
  EXPECT_EQ(text.find("first run"), std::string::npos);

  r.append = true;
  r.errorCount = 0;
  EXPECT_FALSE(WriteTestLogFile(r, {"nothing"}));
  EXPECT_EQ(ReadAll(tmp.dir + L"KytMEM.LOG"), text);

  r.errorCount = 1;
  r.loop = 4;
  ASSERT_TRUE(WriteTestLogFile(r, {"Found Error(s)."}));
  std::string appended = ReadAll(tmp.dir + L"KytMEM.LOG");
  ASSERT_EQ(appended.compare(0, text.size(), text), 0);
  std::string tail = appended.substr(text.size());
  EXPECT_EQ(tail.rfind("[Last Updated: ", 0), 0u);
  EXPECT_EQ(tail.substr(tail.find(']')), "]\r\n\r\nMemory Test - Loop 4\r\nFound Error(s).\r\n\r\n");

  TestLogRequest noBase{tmp.dir, "", "", "Memory Test"};
  EXPECT_FALSE(WriteTestLogFile(noBase, {"x"}));
  TestLogRequest badDir{tmp.dir + L"no\\such\\dir\\", "KytMEM", "", "Memory Test"};
  EXPECT_FALSE(WriteTestLogFile(badDir, {"x"}));
}

namespace {

// Whether `text` is one whole run of the log: its header, then `body`
// (CR LF line ends).
bool IsWholeRun(const std::string& text, const std::string& body) {
  return text.rfind("[Last Updated: ", 0) == 0 && text.size() > body.size() &&
         text.compare(text.size() - body.size(), body.size(), body) == 0 &&
         text.find("]\r\n\r\n") == text.size() - body.size() - 5;
}

// The lines of a run whose log is `bytes` long or more.
std::vector<std::string> RunLines(size_t bytes) {
  std::vector<std::string> lines;
  for (size_t n = 0; n < bytes; n += 100) lines.push_back("Test Data Pattern:\t" + std::string(78, 'p') + "\tFAILED");
  lines.push_back("Found Error(s).");
  return lines;
}

std::string Body(const std::string& title, const std::vector<std::string>& lines, bool append) {
  std::string body = title + "\r\n";
  for (const std::string& l : lines) body += l + "\r\n";
  if (append) body += "\r\n";
  return body;
}

}  // namespace

// A control installed in a folder whose name the ANSI code page cannot
// spell (and with blanks in it) still writes its log there.
TEST(MemtestLog, AFolderNameOutsideTheCodePageGetsItsLog) {
  const std::wstring dir = testsupport::TempDir() + L"\u03A9mega \u0436 suite\\";
  testsupport::RemoveTree(dir);
  ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
  TestLogRequest r{dir, "KytMEM", "2", "Memory Test", 1, false, false, 1};
  ASSERT_TRUE(WriteTestLogFile(r, {"Found Error(s)."}));
  r.append = true;
  ASSERT_TRUE(WriteTestLogFile(r, {"Found Error(s)."}));
  const std::string text = testsupport::ReadFileBytes(dir + L"KytMEM2.LOG");
  EXPECT_EQ(testsupport::CountOccurrences(text, "\r\nMemory Test - Loop 1\r\nFound Error(s).\r\n"), 2) << text;
  EXPECT_EQ(testsupport::NamesIn(dir), std::vector<std::wstring>{L"KytMEM2.LOG"});
  testsupport::RemoveTree(dir);
}

TEST(MemtestLog, AReadOnlyLogOrAFolderInItsPlaceStaysAsItIs) {
  TempDir tmp;
  const std::wstring log = tmp.dir + L"KytMEM.LOG";
  const std::string old = "[Last Updated: 12/10/2026 07:00AM]\r\n\r\nMemory Test\r\nNo Error Found.\r\n";
  struct Case {
    const char* what;
    bool append, folder;
  } cases[] = {
      {"a read-only log, written anew", false, false},
      {"a read-only log, a run appended", true, false},
      {"a folder in the log's place, written anew", false, true},
      {"a folder in the log's place, a run appended", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.folder) {
      ASSERT_TRUE(::CreateDirectoryW(log.c_str(), nullptr));
    } else {
      ASSERT_TRUE(testsupport::WriteFileBytes(log, old));
      ::SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    TestLogRequest r{tmp.dir, "KytMEM", "", "Memory Test", 2, false, c.append, 1};
    EXPECT_FALSE(WriteTestLogFile(r, {"Found Error(s)."}));
    if (c.folder) {
      EXPECT_EQ(::GetFileAttributesW(log.c_str()) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    } else {
      EXPECT_EQ(testsupport::ReadFileBytes(log), old);
    }
    EXPECT_EQ(testsupport::NamesIn(tmp.dir), std::vector<std::wstring>{L"KytMEM.LOG"});
    ::SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(log.c_str());
    ::RemoveDirectoryW(log.c_str());
  }
}

// On the small disk of with_small_disk.sh: a log written anew that the disk
// has no room for keeps the old log as it was; a run appended to a log goes
// in whole or not at all, as a run cut short would read as a run with fewer
// lines.
TEST(MemtestLogSmallDisk, ARunTheDiskHasNoRoomForLeavesNoCutLog) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring dir = L"K:\\suite\\";
  const std::wstring log = dir + L"KytMEM.LOG";
  const std::string old = "[Last Updated: 12/10/2026 07:00AM]\r\n\r\nMemory Test - Loop 1\r\nFound Error(s).\r\n\r\n";
  enum class Full { Space, Entries };
  struct Case {
    const char* what;
    bool append, oldLog;
    Full full;
    bool newMayBeWhole;  // in place without a new file entry a whole new log is as good
  } cases[] = {
      {"written anew, longer than the old log's block, no free block", false, true, Full::Space, false},
      {"appended, longer than the rest of the old log's block", true, true, Full::Space, false},
      {"appended to a log not yet there, no free block", true, false, Full::Space, false},
      {"written anew, no free file entry", false, true, Full::Entries, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RemoveTree(dir);
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    if (c.oldLog) {
      ASSERT_TRUE(testsupport::WriteFileBytes(log, old));
    }
    ASSERT_TRUE(c.full == Full::Space ? disk.FillSpace() : disk.FillEntries());

    TestLogRequest r{dir, "KytMEM", "", "Memory Test", 2, false, c.append, 1};
    const std::vector<std::string> lines = RunLines(6000);
    const std::string body = Body("Memory Test - Loop 2", lines, c.append);
    bool written = WriteTestLogFile(r, lines);
    const std::string now = testsupport::ReadFileBytes(log);
    if (c.newMayBeWhole && written) {
      EXPECT_TRUE(IsWholeRun(now, body)) << "a cut log: " << now.size() << " bytes";
    } else {
      EXPECT_FALSE(written);
      EXPECT_TRUE(now == (c.oldLog ? old : "")) << "the log is not as it was: " << now.size() << " bytes";
    }
    EXPECT_EQ(testsupport::NamesIn(dir),
              c.oldLog ? std::vector<std::wstring>{L"KytMEM.LOG"} : std::vector<std::wstring>{})
        << "a temporary file or an empty log stayed";

    // With room again the run is written.
    disk.Free();
    ASSERT_TRUE(WriteTestLogFile(r, lines));
    const std::string after = testsupport::ReadFileBytes(log);
    if (c.append && c.oldLog) {
      EXPECT_EQ(after.compare(0, old.size(), old), 0);
      EXPECT_TRUE(IsWholeRun(after.substr(old.size()), body));
    } else {
      EXPECT_TRUE(IsWholeRun(after, body));
    }
  }
  testsupport::RemoveTree(dir);
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
