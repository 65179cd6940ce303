// Files written whole: a write either puts every byte in place or leaves
// the old file as it was, and never leaves its temporary file behind. The
// full-disk cases run on the small disk of with_small_disk.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

std::string Bytes(size_t n, char fill) { return std::string(n, fill); }

class WholeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::TempDir() + L"wholefile-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    testsupport::RemoveTree(dir_);
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
  }
  void TearDown() override { testsupport::RemoveTree(dir_); }
  std::wstring dir_;
};

}  // namespace

TEST_F(WholeFile, AWriteThatCannotFinishLeavesTheOldFileAndNoTemporaryFile) {
  const std::string old = ";Test Modules\r\nMemory Test|zentrel.mod|-AutoRun||KytMEM.LOG|0||\r\n";
  enum class In { Nothing, Held, ReadOnly, Folder };
  struct Case {
    const char* what;
    In obstacle;
    std::string bytes;
    bool written;
    DWORD error;  // when not written; 0: any (the system's own)
  } cases[] = {
      {"a longer list over a shorter one", In::Nothing, old + old, true, 0},
      {"a shorter list over a longer one", In::Nothing, ";Test Modules\r\n", true, 0},
      {"an empty file", In::Nothing, "", true, 0},
      {"more than one write's worth", In::Nothing, Bytes((3 << 20) + 17, 'm'), true, 0},
      {"a target another program holds without sharing its deletion", In::Held, old + old, false, 0},
      {"a read-only target", In::ReadOnly, old + old, false, ERROR_ACCESS_DENIED},
      {"a folder in the target's place", In::Folder, old, false, ERROR_ACCESS_DENIED},
  };
  const std::wstring target = dir_ + L"modules.dat";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.obstacle == In::Folder)
      ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));
    else
      ASSERT_TRUE(WriteFileBytes(target, old));
    if (c.obstacle == In::ReadOnly) ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.obstacle == In::Held)
      held = ::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);

    DWORD error = 0;
    EXPECT_EQ(appkit::WriteFileWhole(target, c.bytes, &error), c.written);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    if (c.written) {
      EXPECT_EQ(ReadFileBytes(target), c.bytes);
    } else {
      if (c.error) {
        EXPECT_EQ(error, c.error) << appkit::Narrow(appkit::SystemErrorText(error));
      } else {
        EXPECT_NE(error, 0u);
      }
      if (c.obstacle != In::Folder) {
        EXPECT_EQ(ReadFileBytes(target), old);
      }
    }
    EXPECT_EQ(testsupport::NamesIn(dir_), std::vector<std::wstring>{L"modules.dat"});
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(target.c_str());
    ::DeleteFileW(target.c_str());
  }
}

TEST_F(WholeFile, WritesANewFileAndRefusesAFolderThatIsNotThere) {
  const std::wstring target = dir_ + L"bnchmark.dat";
  ASSERT_TRUE(appkit::WriteFileWhole(target, ";Test Modules\r\n"));
  EXPECT_EQ(ReadFileBytes(target), ";Test Modules\r\n");
  EXPECT_EQ(testsupport::NamesIn(dir_), std::vector<std::wstring>{L"bnchmark.dat"});

  DWORD error = 0;
  EXPECT_FALSE(appkit::WriteFileWhole(dir_ + L"gone\\bnchmark.dat", "x", &error));
  EXPECT_NE(error, 0u);
  EXPECT_FALSE(appkit::CopyFileWhole(target, dir_ + L"gone\\modules.dat", &error));
  EXPECT_NE(error, 0u);
  EXPECT_EQ(testsupport::NamesIn(dir_), std::vector<std::wstring>{L"bnchmark.dat"});
}

TEST_F(WholeFile, ACopyIsCompleteOrDoesNotHappen) {
  const std::wstring from = dir_ + L"Modules.bdt", target = dir_ + L"Modules.dat";
  const std::string defaults = Bytes(70000, 'd');
  ASSERT_TRUE(WriteFileBytes(from, defaults));
  ASSERT_TRUE(WriteFileBytes(target, ";the user's list\r\n"));
  ASSERT_TRUE(appkit::CopyFileWhole(from, target));
  EXPECT_EQ(ReadFileBytes(target), defaults);

  // A source that is not there copies nothing.
  ASSERT_TRUE(WriteFileBytes(target, ";the user's list\r\n"));
  DWORD error = 0;
  EXPECT_FALSE(appkit::CopyFileWhole(dir_ + L"missing.bdt", target, &error));
  EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadFileBytes(target), ";the user's list\r\n");
  EXPECT_EQ(testsupport::NamesIn(dir_).size(), 2u);
}

// On a disk without room: the new contents need blocks the disk does not
// have (a write in place would first have given up the old file's blocks,
// then stopped part way), or no new file can be made at all.
TEST(WholeFileSmallDisk, AFullDiskKeepsTheOldFile) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::string old = ";Test Modules\r\n" + Bytes(4000, 'o') + "\r\n";
  const std::string longer = ";Test Modules\r\n" + Bytes(9000, 'n') + "\r\n";
  struct Case {
    const char* what;
    bool entries;  // fill the file entries, else the space
    bool copy;     // CopyFileWhole from a file written before filling
    DWORD error;   // 0: any (the system's own for a file it cannot make)
  } cases[] = {
      {"no free block, a write", false, false, ERROR_DISK_FULL},
      {"no free block, a copy", false, true, ERROR_DISK_FULL},
      {"no free file entry, a write", true, false, 0},
      {"no free file entry, a copy", true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring dir = disk.root() + L"suite\\";
    testsupport::RemoveTree(dir);
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    const std::wstring target = dir + L"modules.dat", source = dir + L"Modules.bdt";
    ASSERT_TRUE(WriteFileBytes(target, old));
    ASSERT_TRUE(WriteFileBytes(source, longer));
    ASSERT_TRUE(c.entries ? disk.FillEntries() : disk.FillSpace());

    DWORD error = 0;
    bool written = c.copy ? appkit::CopyFileWhole(source, target, &error)
                          : appkit::WriteFileWhole(target, longer, &error);
    EXPECT_FALSE(written);
    if (c.error) {
      EXPECT_EQ(error, c.error) << appkit::Narrow(appkit::SystemErrorText(error));
    } else {
      EXPECT_NE(error, 0u);
    }
    EXPECT_TRUE(ReadFileBytes(target) == old) << "the old file changed";
    std::vector<std::wstring> names = testsupport::NamesIn(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Modules.bdt", L"modules.dat"})) << "a temporary file stayed";

    // With room again the same write goes through.
    disk.Free();
    EXPECT_TRUE(c.copy ? appkit::CopyFileWhole(source, target, &error) : appkit::WriteFileWhole(target, longer, &error))
        << appkit::Narrow(appkit::SystemErrorText(error));
    EXPECT_TRUE(ReadFileBytes(target) == longer) << "the new contents are not in place";
    testsupport::RemoveTree(dir);
  }
}

// Files that grow by records: a record is added whole or taken back, and a
// file opened for writing in place refuses to be read-only.
TEST_F(WholeFile, AFileOpenedForWritingInPlaceMayNotBeReadOnly) {
  const std::wstring target = dir_ + L"STRESS.LOG";
  ASSERT_TRUE(WriteFileBytes(target, "old log\r\n"));
  struct Case {
    const char* what;
    DWORD creation;
  } cases[] = {{"kept", OPEN_EXISTING}, {"grown", OPEN_ALWAYS}, {"made anew", CREATE_ALWAYS}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE f = appkit::CreateFileForWriting(target, 0, c.creation, FILE_ATTRIBUTE_NORMAL);
    const DWORD error = ::GetLastError();
    EXPECT_EQ(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, (DWORD)ERROR_ACCESS_DENIED);
    if (f != INVALID_HANDLE_VALUE) ::CloseHandle(f);
    EXPECT_EQ(ReadFileBytes(target), "old log\r\n");

    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    f = appkit::CreateFileForWriting(target, 0, c.creation, FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ::CloseHandle(f);
    ASSERT_TRUE(WriteFileBytes(target, "old log\r\n"));
  }
}

TEST(WholeFileSmallDisk, ARecordThatDoesNotFitIsTakenBack) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring target = disk.root() + L"BNCHMARK.BNH";
  const std::string head = "[Last Updated: 12/11/2026 09:00AM]\n\r\n";
  ASSERT_TRUE(WriteFileBytes(target, head));
  // Afterwards the file can grow only into the rest of its one block.
  ASSERT_TRUE(disk.FillSpace());
  HANDLE f = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  const std::string fits = Bytes(3000, 'f') + "\r\n", over = Bytes(2000, 'o') + "\r\n";
  DWORD error = 0;
  EXPECT_TRUE(appkit::AppendWhole(f, fits, &error)) << appkit::Narrow(appkit::SystemErrorText(error));
  EXPECT_FALSE(appkit::AppendWhole(f, over, &error));
  EXPECT_EQ(error, (DWORD)ERROR_DISK_FULL) << appkit::Narrow(appkit::SystemErrorText(error));
  ::CloseHandle(f);
  EXPECT_TRUE(ReadFileBytes(target) == head + fits) << "the record that did not fit was not taken back whole: "
                                                    << ReadFileBytes(target).size() << " bytes";

  // With room again it goes in whole.
  disk.Free();
  f = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(appkit::AppendWhole(f, over, &error));
  ::CloseHandle(f);
  EXPECT_TRUE(ReadFileBytes(target) == head + fits + over);
}
