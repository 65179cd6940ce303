// The file write, read and compare test in process on the prefix's drive
// C:, with a host that records its lines: a passing drive, an abort in the
// middle of a write, a drive without room, a drive that is not there.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "disktest/filetest.h"

using namespace disktest;

namespace {

struct RecordingHost : FileTestHost {
  std::vector<std::string> lines;
  std::vector<std::string> dirs;
  std::vector<int> progress;
  std::function<bool()> abort = [] { return false; };
  void Line(const std::string& t) override { lines.push_back(t); }
  bool Aborted() override { return abort(); }
  void Progress(int p) override { progress.push_back(p); }
  void UsedDirectory(const std::string& d) override { dirs.push_back(d); }
};

int TempFilesIn(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA((dir + "\\Kyt*.tmp").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (::FindNextFileA(h, &fd));
  ::FindClose(h);
  return n;
}

FileTestConfig SmallConfig() {
  FileTestConfig c;
  c.root = "C:\\";
  c.increment = 5000;
  c.incrementMax = 20000;
  c.largest = 80000;
  return c;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(FileTest, PassingDriveReportsEveryFileAndKeepsNone) {
  RecordingHost host;
  FileTestConfig c = SmallConfig();
  ASSERT_EQ(RunFileTest(c, host), FileTestOutcome::Passed);
  std::vector<std::string> sizes;
  for (const std::string& l : host.lines) {
    ASSERT_EQ(l.rfind("C:\\DISKTEST\\Kyt", 0), 0u) << l;
    size_t at = l.find(" \tOK.  File size: ");
    ASSERT_NE(at, std::string::npos) << l;
    sizes.push_back(l.substr(at + 18));
  }
  EXPECT_EQ(sizes, (std::vector<std::string>{"5000", "10000", "20000", "40000", "80000"}));
  ASSERT_EQ(host.dirs, std::vector<std::string>{"C:\\DISKTEST"});
  EXPECT_EQ(TempFilesIn("C:\\DISKTEST"), 0);
  EXPECT_EQ(host.progress.back(), 100);
  ::RemoveDirectoryA("C:\\DISKTEST");
}

TEST(FileTest, AbortInAWriteRemovesThePartFile) {
  RecordingHost host;
  FileTestConfig c = SmallConfig();
  c.largest = 200000;
  c.incrementMax = 5000;  // many blocks a file: the abort lands in a write
  int polls = 0;
  host.abort = [&] { return ++polls > 30; };
  ASSERT_EQ(RunFileTest(c, host), FileTestOutcome::Aborted);
  ASSERT_GE(host.lines.size(), 2u);
  EXPECT_TRUE(EndsWith(host.lines[host.lines.size() - 2], ".tmp File deleted.")) << host.lines[host.lines.size() - 2];
  EXPECT_EQ(host.lines.back(), "C:\\ ===>Test aborted.");
  EXPECT_EQ(TempFilesIn("C:\\DISKTEST"), 0);
  ::RemoveDirectoryA("C:\\DISKTEST");
}

TEST(FileTest, FailuresNameTheDriveAndEndItsTest) {
  struct Case {
    std::string root;
    int64_t largest;
    std::string firstLine;  // "" = any system text after the root
  } cases[] = {
      // The first block does not fit the largest size.
      {"C:\\", 4000, "C:\\ Not enough disk space."},
      // No such drive: the volume query's error text.
      {"Q:\\", 80000, ""},
  };
  for (const Case& k : cases) {
    RecordingHost host;
    FileTestConfig c = SmallConfig();
    c.root = k.root;
    c.largest = k.largest;
    EXPECT_EQ(RunFileTest(c, host), FileTestOutcome::Failed) << k.root;
    ASSERT_EQ(host.lines.size(), 2u) << k.root;
    if (!k.firstLine.empty())
      EXPECT_EQ(host.lines[0], k.firstLine);
    else
      EXPECT_GT(host.lines[0].size(), k.root.size() + 1) << host.lines[0];
    EXPECT_EQ(host.lines[1], k.root + " ===>Test failed.");
  }
  ::RemoveDirectoryA("C:\\DISKTEST");
}

TEST(FileTest, NetworkModeTestsBelowTheGivenPath) {
  FileTestConfig c;
  c.root = "N:\\";
  c.network = true;
  c.netPath = "share\\sub";
  EXPECT_EQ(TestDirectory(c), "N:\\share\\sub\\DISKTEST");
  c.netPath = "share\\";
  EXPECT_EQ(TestDirectory(c), "N:\\share\\DISKTEST");
  c.network = false;
  EXPECT_EQ(TestDirectory(c), "N:\\DISKTEST");
}
