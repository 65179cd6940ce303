// A reader that still holds an information file (its wait for the server's
// mutex timed out, or it does not take the mutex at all, as the report
// wizard) never makes the server's next write of that file fail: the reader
// reads what it opened, the server puts its new file in place, and nothing
// is left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "infoclient/linereader.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"
#include "worker.h"

namespace {

int TempFilesIn(const std::wstring& dir) {
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((dir + L"ifo*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return n;
}

}  // namespace

TEST(InfoFileSharing, AReaderHoldingTheFileNeverMakesTheServersWriteFail) {
  std::wstring dir = testsupport::TempDir() + L"quorrel_share\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring path = dir + L"KytMEM.IFO";
  {
    std::ofstream old(path.c_str(), std::ios::binary);
    old << "Old:\tfile\r\nSecond:\tline\r\n";
  }
  // A reader in the middle of the file, opened as every reader of the
  // suite opens it (the pages' reader thread, the report wizard).
  FILE* in = ctlfw::OpenSharedForReading(path.c_str());
  ASSERT_NE(in, nullptr);
  std::vector<std::string> lines;
  {
    ctlfw::BoundedLineReader reader(in);
    std::string line;
    ASSERT_TRUE(reader.Next(&line));
    lines.push_back(line);

    quorrel::GatherContext ctx;
    EXPECT_TRUE(quorrel::WriteInfoFile(path.c_str(), 1, ctx));
    EXPECT_NE(testsupport::ReadFileBytes(path).find("@3Memory Utilization"), std::string::npos)
        << "the new file is in place";

    while (reader.Next(&line)) lines.push_back(line);
  }
  std::fclose(in);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Old:\tfile");
  EXPECT_EQ(lines[1], "Second:\tline") << "the reader reads to the end of what it opened";
  EXPECT_EQ(TempFilesIn(dir), 0) << "the old file went once the reader let go";
  ::DeleteFileW(path.c_str());
  ::RemoveDirectoryW(dir.c_str());
}
