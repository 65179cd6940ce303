// How the server's write of an information file turns out: the new file
// takes the old one's place only when it is whole and can be put there;
// otherwise the old file stays byte for byte and the request is answered
// 103. No temporary file of the writer is left behind either way.
//
// The FullDrive tests need a small drive of their own: full_drive.sh runs
// them on a file system mounted for them alone (HALVIX_FULL_DRIVE names
// its folder); without one they are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "appkit/text.h"
#include "infoclient/linereader.h"
#include "infofile.h"
#include "software.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"
#include "worker.h"

using namespace testsupport;

namespace {

// A good file of an earlier run, as the server wrote it.
const std::string kOldFile =
    "\r\n@3Memory Utilization\r\nTotal Physical Memory:\t 524,288 KB\r\nAvailable Physical Memory:\t 312,004 KB\r\n"
    "Total Page File:\t 1,048,576 KB\r\nAvailable Page File:\t 998,120 KB\r\nMemory Load:\t 40%\r\n"
    "Free Memory Percent:\t 60%\r\n";

bool IsNewMemoryFile(const std::string& text) {
  return text.find("@3Memory Utilization") != std::string::npos && text != kOldFile;
}

class ScratchDir {
 public:
  explicit ScratchDir(const wchar_t* leaf) : dir_(TempDir() + leaf + L"\\") {
    RemoveTree(dir_);
    ::CreateDirectoryW(dir_.c_str(), nullptr);
  }
  ~ScratchDir() { RemoveTree(dir_); }
  const std::wstring& dir() const { return dir_; }

 private:
  std::wstring dir_;
};

// A list box on a thread of its own; with `answers` false that thread
// stops serving its messages once the list is made.
class ListThread {
 public:
  explicit ListThread(bool answers) {
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, answers] {
      threadId_ = ::GetCurrentThreadId();
      list_ = ::CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
      ::SetEvent(ready_);
      if (!answers) ::WaitForSingleObject(release_, INFINITE);
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
      ::DestroyWindow(list_);
    });
    ::WaitForSingleObject(ready_, 10000);
  }
  ~ListThread() {
    ::SetEvent(release_);
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    ::CloseHandle(ready_);
    ::CloseHandle(release_);
  }
  HWND list() const { return list_; }

 private:
  std::thread thread_;
  HANDLE ready_, release_;
  DWORD threadId_ = 0;
  HWND list_ = nullptr;
};

}  // namespace

// Another program's hold on the old file: where the file can still be
// replaced the new one is in place, the holder reads on in the old one to
// its end, and once it lets go nothing of the old file is left (also of a
// read-only one); where it cannot, the old file stays as it was.
TEST(InfoFileReplace, TheOldFileGivesWayWholeOrStaysAsItWas) {
  ScratchDir scratch(L"quorrel_replace");
  const std::wstring path = scratch.dir() + L"KytMEM.IFO";
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const struct {
    const char* who;
    bool held;
    DWORD share;
    bool readOnly;
    bool replaced;
  } cases[] = {
      {"nobody holds it", false, 0, false, true},
      {"a read-only file nobody holds", false, 0, true, true},
      {"a reader that lets it be deleted (every reader of the suite)", true, all, false, true},
      {"a reader that lets it be deleted, the file read-only", true, all, true, true},
      {"a holder that shares reading and writing, not deleting", true, FILE_SHARE_READ | FILE_SHARE_WRITE, false,
       false},
      {"a holder that shares nothing", true, 0, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.who);
    ASSERT_TRUE(WriteFileBytes(path, kOldFile));
    if (c.readOnly) {
      ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.held) {
      held = ::CreateFileW(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    quorrel::GatherContext ctx;
    EXPECT_EQ(quorrel::WriteInfoFile(path.c_str(), suite::INFO_MEMORY, ctx), c.replaced);
    if (held != INVALID_HANDLE_VALUE) {
      std::string read(kOldFile.size() + 16, '\0');
      DWORD n = 0;
      EXPECT_TRUE(::ReadFile(held, &read[0], (DWORD)read.size(), &n, nullptr));
      read.resize(n);
      EXPECT_EQ(read, kOldFile) << "the holder reads the old file to its end";
      ::CloseHandle(held);
    }
    std::string now = ReadFileBytes(path);
    if (c.replaced) {
      EXPECT_TRUE(IsNewMemoryFile(now)) << now.substr(0, 60);
    } else {
      EXPECT_EQ(now, kOldFile);
    }
    EXPECT_TRUE(infotest::TempFilesIn(scratch.dir()).empty()) << "a writer's file is left";
    quorrel::RemoveLeftoverTempFiles(scratch.dir());
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// A software listing that could not be completed is no listing: the old
// file stays and nothing is left beside it. The list box of the server
// window has gone, or its thread does not answer within the writer's wait.
TEST(InfoFileReplace, ASoftwareListingCutShortLeavesTheOldFile) {
  ScratchDir scratch(L"quorrel_soft_cut");
  const std::wstring path = scratch.dir() + L"KytSOFT.IFO";
  const std::string old = "\r\n@3Software\r\nAn Editor\r\nA Player\r\n";
  // The writer needs the machine's Uninstall key to reach the list at all.
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, quorrel::kUninstallKey, 0, nullptr, 0, KEY_READ, nullptr, &key,
                              nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
  HWND gone = ::CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
  ::DestroyWindow(gone);
  ListThread silent(false);
  ListThread answering(true);
  const struct {
    const char* why;
    HWND list;
    bool whole;
  } cases[] = {
      {"the list box has gone", gone, false},
      {"the list box's thread does not answer", silent.list(), false},
      {"the list box answers", answering.list(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    ASSERT_NE(c.list, nullptr);
    ASSERT_TRUE(WriteFileBytes(path, old));
    quorrel::GatherContext ctx;
    ctx.softwareList = c.list;
    EXPECT_EQ(quorrel::WriteInfoFile(path.c_str(), suite::INFO_SOFTWARE, ctx), c.whole);
    std::string now = ReadFileBytes(path);
    if (c.whole) {
      EXPECT_EQ(now.rfind("\r\n@3Software\r\n", 0), 0u) << now;
      EXPECT_NE(now, old);
    } else {
      EXPECT_EQ(now, old);
    }
    EXPECT_TRUE(infotest::TempFilesIn(scratch.dir()).empty()) << "a writer's file is left";
  }
}

// ---- On a small drive that fills up ------------------------------------------

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);

// The folder of the drive that full_drive.sh mounted, with a trailing
// backslash; empty without one.
std::wstring DriveDir() {
  const char* dir = std::getenv("HALVIX_FULL_DRIVE");
  if (!dir || !*dir) return {};
  std::wstring w = appkit::Widen(dir);
  if (w.back() != L'\\') w += L'\\';
  return w;
}

// Takes every byte of the drive: one file grown until not one more byte
// fits.
bool FillBytes(const std::wstring& file) {
  HANDLE f = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::string block(1 << 20, 'f');
  for (DWORD size : {1u << 20, 1u << 16, 1u << 12, 1u}) {
    DWORD n = 0;
    while (::WriteFile(f, block.data(), size, &n, nullptr) && n == size) {
    }
  }
  // The drive is full when one byte more is refused.
  DWORD n = 0;
  bool full = !::WriteFile(f, "f", 1, &n, nullptr) || n == 0;
  ::CloseHandle(f);
  return full;
}

// Takes every file the drive can hold: empty files made until no other can be.
int FillFiles(const std::wstring& dir) {
  for (int i = 0; i < 100000; ++i) {
    std::wstring name = dir + L"slot" + std::to_wstring(i) + L".dat";
    HANDLE f = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return i;
    ::CloseHandle(f);
  }
  return -1;
}

void FreeFiles(const std::wstring& dir, int count) {
  for (int i = 0; i < count; ++i) ::DeleteFileW((dir + L"slot" + std::to_wstring(i) + L".dat").c_str());
}

class FullDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = DriveDir();
    if (dir_.empty()) GTEST_SKIP() << "no drive of the test's own (full_drive.sh makes one)";
    host_ = dir_ + L"quorrel_host.exe";
    ASSERT_TRUE(::CopyFileW((TestBinDir() + L"quorrel_host.exe").c_str(), host_.c_str(), FALSE));
    path_ = dir_ + L"KytMEM.IFO";
  }
  void TearDown() override {
    if (dir_.empty()) return;
    ::DeleteFileW(Filler().c_str());
    FreeFiles(dir_, slots_);
  }
  std::wstring Filler() const { return dir_ + L"filler.dat"; }

  // Fills the drive as `bytes` says: every byte, or every file.
  void Fill(bool bytes) {
    if (bytes) {
      ASSERT_TRUE(FillBytes(Filler())) << "the drive did not fill";
    } else {
      slots_ = FillFiles(dir_);
      ASSERT_GT(slots_, 0) << "the drive takes no file, or no end of them";
    }
  }
  void Unfill() {
    ASSERT_TRUE(::DeleteFileW(Filler().c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND);
    FreeFiles(dir_, slots_);
    slots_ = 0;
  }

  std::wstring dir_, host_, path_;
  int slots_ = 0;
};

const struct {
  const char* what;
  bool bytes;
} kFull[] = {
    {"no byte of the new file fits", true},
    {"no new file can be made", false},
};

}  // namespace

// The writer itself on the full drive: it reports the failure, the old
// file is untouched and nothing of the new one is left.
TEST_F(FullDrive, TheWriterLeavesTheOldFileWhole) {
  for (const auto& c : kFull) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(path_, kOldFile));
    Fill(c.bytes);
    quorrel::GatherContext ctx;
    EXPECT_FALSE(quorrel::WriteInfoFile(path_.c_str(), suite::INFO_MEMORY, ctx));
    EXPECT_EQ(ReadFileBytes(path_), kOldFile);
    EXPECT_TRUE(infotest::TempFilesIn(dir_).empty()) << "a writer's file is left";
    Unfill();
  }
  // With room again, the same write puts a new file in place.
  quorrel::GatherContext ctx;
  EXPECT_TRUE(quorrel::WriteInfoFile(path_.c_str(), suite::INFO_MEMORY, ctx));
  EXPECT_TRUE(IsNewMemoryFile(ReadFileBytes(path_)));
}

// A server whose folder is the full drive: a category request is answered
// 103 and the old file stays byte for byte; once there is room again the
// answer is 101 with a new file.
TEST_F(FullDrive, ARequestGetsTheFailureReplyAndTheOldFileStays) {
  Process host;
  ASSERT_TRUE(host.Start(host_));
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 30000);
  ASSERT_NE(server, nullptr);
  MessageCatcher catcher;
  auto ask = [&](MessageCatcher::Caught* reply) {
    return ::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), suite::INFO_MEMORY) &&
           catcher.WaitFor(kMsg, 30000, reply);
  };
  for (const auto& c : kFull) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(path_, kOldFile));
    FILETIME before{}, after{};
    ASSERT_TRUE(infotest::LastWrite(path_, &before));
    Fill(c.bytes);
    MessageCatcher::Caught reply{};
    ASSERT_TRUE(ask(&reply));
    EXPECT_EQ(reply.wp, suite::INFO_REPLY_FAILED);
    EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_MEMORY);
    EXPECT_EQ(infotest::ReadFileLocked(path_), kOldFile);
    ASSERT_TRUE(infotest::LastWrite(path_, &after));
    EXPECT_EQ(::CompareFileTime(&before, &after), 0) << "the old file was written";
    EXPECT_TRUE(infotest::TempFilesIn(dir_).empty()) << "a writer's file is left";
    Unfill();
  }
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(ask(&reply));
  EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
  EXPECT_TRUE(IsNewMemoryFile(infotest::ReadFileLocked(path_)));
  ::PostMessageW(WaitForWindow(L"Quorrel test host", L"", host.Pid(), 5000), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(20000));
  EXPECT_EQ(host.ExitCode(), 0u);
}
