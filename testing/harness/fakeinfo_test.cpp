// The fake information server seen from a client written with plain Win32
// calls: find the window by title, post a request, pump for the reply, read
// the file under the named mutex, and find the directory in the registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/fakeinfo.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);

// As a client reads: open the mutex by name, hold it while reading.
std::string ReadLocked(const std::wstring& path) {
  HANDLE m = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, suite::kInfoMutexName);
  if (!m) return "<no mutex>";
  DWORD w = ::WaitForSingleObject(m, 10000);
  std::string text = ReadFileBytes(path);
  if (w == WAIT_OBJECT_0 || w == WAIT_ABANDONED) ::ReleaseMutex(m);
  ::CloseHandle(m);
  return text;
}

bool ReadModulePath(std::wstring* out) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf) - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, RRF_RT_REG_SZ, nullptr,
                     buf, &size) != ERROR_SUCCESS)
    return false;
  *out = buf;
  return true;
}

void WriteModulePath(const wchar_t* value) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  if (value)
    ::RegSetValueExW(key, suite::kModulePathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  else
    ::RegDeleteValueW(key, suite::kModulePathValue);
  ::RegCloseKey(key);
}

class FakeInfoServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr) << "a server of another test still runs";
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    // A blank in the name, as in "Program Files".
    dir = std::wstring(tmp) + L"fake info " + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    hadPath = ReadModulePath(&savedPath);
  }
  void TearDown() override {
    for (const char* base : suite::kInfoFileBase)
      ::DeleteFileW((dir + std::wstring(base, base + strlen(base)) + L".IFO").c_str());
    ::RemoveDirectoryW(dir.c_str());
    WriteModulePath(hadPath ? savedPath.c_str() : nullptr);
  }
  static bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::wstring dir;
  std::wstring savedPath;
  bool hadPath = false;
  MessageCatcher client;
};

}  // namespace

TEST_F(FakeInfoServerTest, RepliesWithTheFileWrittenAndRecordsEachRequest) {
  FakeInfoServer server(dir);
  ASSERT_TRUE(server.Ok());
  HWND found = ::FindWindowW(nullptr, suite::kInfoServerTitle);
  ASSERT_EQ(found, server.hwnd());
  EXPECT_NE(::GetWindowThreadProcessId(found, nullptr), ::GetCurrentThreadId());  // its own thread

  // Activation's request: the memory category, may reuse.
  ASSERT_TRUE(::PostMessageW(found, kMsg, (WPARAM)client.hwnd(), suite::INFO_REQUEST_REUSE | suite::INFO_MEMORY));
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(client.WaitFor(kMsg, 5000, &reply));
  EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
  EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_MEMORY);
  std::string text = ReadLocked(dir + L"KytMEM.IFO");
  EXPECT_EQ(text, FakeInfoServer::DefaultFixture(suite::INFO_MEMORY));
  // What clients rely on: an empty first line, the heading, a marker line,
  // an empty line, labelled values.
  EXPECT_EQ(text.rfind("\r\n@3", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n;"), std::string::npos);
  EXPECT_NE(text.find("\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nLabel:\tValue\r\n"), std::string::npos);

  // Refresh's request with a fixture of the test's own.
  server.SetFixture(suite::INFO_PROCESSOR, "\r\n@3CPU\r\nSpeed:\t100 MHz\r\n");
  ASSERT_TRUE(::PostMessageW(found, kMsg, (WPARAM)client.hwnd(), suite::INFO_PROCESSOR));
  ASSERT_TRUE(client.WaitFor(kMsg, 5000, &reply));
  EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_PROCESSOR);
  EXPECT_EQ(ReadLocked(server.FilePath(suite::INFO_PROCESSOR)), "\r\n@3CPU\r\nSpeed:\t100 MHz\r\n");

  FakeInfoServer::Request r{};
  ASSERT_TRUE(server.WaitForRequest(1000, &r));
  EXPECT_EQ(r.client, client.hwnd());
  EXPECT_EQ(r.category, (uint32_t)suite::INFO_MEMORY);
  EXPECT_TRUE(r.reuse);
  ASSERT_TRUE(server.WaitForRequest(1000, &r));
  EXPECT_EQ(r.category, (uint32_t)suite::INFO_PROCESSOR);
  EXPECT_FALSE(r.reuse);
  DWORD t0 = ::GetTickCount();
  EXPECT_FALSE(server.WaitForRequest(200, &r));  // both were taken
  EXPECT_LT(::GetTickCount() - t0, 3000u);
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(FakeInfoServerTest, WritesOnlyWhileHoldingTheMutex) {
  FakeInfoServer server(dir);
  ASSERT_TRUE(server.Ok());
  HANDLE m = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, suite::kInfoMutexName);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(::WaitForSingleObject(m, 5000), WAIT_OBJECT_0);
  ::PostMessageW(server.hwnd(), kMsg, (WPARAM)client.hwnd(), suite::INFO_DISK);
  ASSERT_TRUE(server.WaitForRequest(5000));
  // A reader holds the files: nothing is written, nothing answered.
  EXPECT_FALSE(client.WaitFor(kMsg, 300));
  EXPECT_FALSE(Exists(server.FilePath(suite::INFO_DISK)));
  ::ReleaseMutex(m);
  ::CloseHandle(m);
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(client.WaitFor(kMsg, 5000, &reply));
  EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_DISK);
  EXPECT_TRUE(Exists(server.FilePath(suite::INFO_DISK)));
}

TEST_F(FakeInfoServerTest, ModesThatDoNotDeliver) {
  FakeInfoServer server(dir, FakeInfoServer::Mode::NeverReply);
  ASSERT_TRUE(server.Ok());
  ::PostMessageW(server.hwnd(), kMsg, (WPARAM)client.hwnd(), suite::INFO_REQUEST_REUSE | suite::INFO_VIDEO);
  FakeInfoServer::Request r{};
  ASSERT_TRUE(server.WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, (uint32_t)suite::INFO_VIDEO);
  EXPECT_TRUE(r.reuse);
  EXPECT_FALSE(client.WaitFor(kMsg, 300));
  EXPECT_FALSE(Exists(server.FilePath(suite::INFO_VIDEO)));

  // Another category's reply: 101, but not for what was asked.
  server.SetMode(FakeInfoServer::Mode::ReplyOtherCategory);
  ::PostMessageW(server.hwnd(), kMsg, (WPARAM)client.hwnd(), suite::INFO_VIDEO);
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(client.WaitFor(kMsg, 5000, &reply));
  EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
  EXPECT_NE(reply.lp, (LPARAM)suite::INFO_VIDEO);
  EXPECT_LT(reply.lp, (LPARAM)suite::INFO_CATEGORY_COUNT);
  EXPECT_FALSE(Exists(server.FilePath(suite::INFO_VIDEO)));
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(FakeInfoServerTest, PublishesItsDirectoryAndLeavesNothingBehind) {
  // A value there before, and none there before.
  for (const wchar_t* before : {L"C:\\Earlier\\", (const wchar_t*)nullptr}) {
    WriteModulePath(before);
    {
      FakeInfoServer server(dir.substr(0, dir.size() - 1));  // the backslash is added
      ASSERT_TRUE(server.Ok());
      EXPECT_EQ(server.dir(), dir);
      ASSERT_TRUE(server.PublishModulePath());
      std::wstring published;
      ASSERT_TRUE(ReadModulePath(&published));
      EXPECT_EQ(published, dir);
    }
    // Stopped: window, thread and mutex gone, the registry as it was.
    EXPECT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr);
    HANDLE m = ::OpenMutexW(SYNCHRONIZE, FALSE, suite::kInfoMutexName);
    EXPECT_EQ(m, nullptr);
    if (m) ::CloseHandle(m);
    std::wstring now;
    bool has = ReadModulePath(&now);
    EXPECT_EQ(has, before != nullptr);
    if (before) {
      EXPECT_EQ(now, before);
    }
  }
}

TEST_F(FakeInfoServerTest, RunsAsAProgramOfItsOwn) {
  Process p;
  ASSERT_TRUE(p.Start(TestBinDir() + L"fakeinfo.exe", L"-mode reply -publish -dir \"" + dir + L"\""))
      << p.LastError().c_str();
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", p.Pid(), 10000);
  ASSERT_NE(server, nullptr);
  // The program publishes its folder once its window is up.
  std::wstring published;
  EXPECT_TRUE(PumpUntil([&] { return ReadModulePath(&published) && published == dir; }, 10000));
  EXPECT_EQ(published, dir);
  ::PostMessageW(server, kMsg, (WPARAM)client.hwnd(), suite::INFO_CDROM);
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(client.WaitFor(kMsg, 5000, &reply));
  EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_CDROM);
  EXPECT_EQ(ReadLocked(published + L"KytCDROM.IFO"), FakeInfoServer::DefaultFixture(suite::INFO_CDROM));
  ::PostMessageW(server, WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.WaitExit(10000));
  EXPECT_EQ(p.ExitCode(), 0u);
  EXPECT_EQ(ReadModulePath(&published), hadPath);
}
