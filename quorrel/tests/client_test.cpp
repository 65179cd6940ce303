// The Information page's client: its rules, its requests and replies against
// a stand-in server window, and a real server end to end.
#include <gtest/gtest.h>


#include <regex>
#include <thread>

#include "appkit/text.h"
#include "appkit/window.h"
#include "infoclient/infoclient.h"
#include "infoclient/linereader.h"
#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace ctlfw;
using namespace testsupport;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> out;
  for (const std::wstring& l : ListBoxLines(list)) out.push_back(appkit::Narrow(l));
  return out;
}

// A page: a window with a list box, handing the protocol to its client.
class TestPage : public appkit::Window {
 public:
  explicit TestPage(InfoClient* c) : client(c) {
    Create(L"InfoClientTestPage", L"page", WS_OVERLAPPEDWINDOW, 0, 0, 0, 300, 200, nullptr);
    list = ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_HASSTRINGS, 0, 0, 200, 100, hwnd(), (HMENU)1004,
                             nullptr, nullptr);
  }
  InfoClient* client;
  HWND list = nullptr;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    LRESULT r = 0;
    if (client->HandleMessage(msg, wp, lp, &r)) return r;
    return Default(msg, wp, lp);
  }
};

// Stands in for the server: records the requests it gets.
class FakeServer : public appkit::Window {
 public:
  FakeServer() { Create(L"InfoClientFakeServer", suite::kInfoServerTitle, WS_OVERLAPPED, 0, 0, 0, 10, 10, nullptr); }
  std::vector<std::pair<WPARAM, uint32_t>> requests;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == kMsg) {
      requests.push_back({wp, (uint32_t)lp});
      return 1;
    }
    return Default(msg, wp, lp);
  }
};

void WriteText(const std::wstring& path, const char* text) {
  FILE* f = _wfopen(path.c_str(), L"wt");
  ASSERT_NE(f, nullptr);
  fputs(text, f);
  fclose(f);
}

}  // namespace

TEST(InfoClientRules, HeaderLinesAndDirectories) {
  struct Case {
    WORD h, m;
    const char* out;
  } cases[] = {{0, 5, "[Last Updated: 03/07/2026 12:05AM]"},
               {12, 30, "[Last Updated: 03/07/2026 12:30PM]"},
               {23, 59, "[Last Updated: 03/07/2026 11:59PM]"},
               {9, 0, "[Last Updated: 03/07/2026 09:00AM]"}};
  for (const Case& c : cases) {
    SYSTEMTIME t{2026, 3, 6, 7, c.h, c.m, 0, 0};
    EXPECT_EQ(FormatLastUpdatedHeader("Last Updated:", t), c.out);
  }
  EXPECT_TRUE(IsListedInfoLine(""));
  EXPECT_TRUE(IsListedInfoLine("A:\t1"));
  EXPECT_TRUE(IsListedInfoLine(" ;x"));
  EXPECT_FALSE(IsListedInfoLine(";comment"));

  EXPECT_TRUE(IsAbsoluteDirectory(L"C:\\Suite\\"));
  EXPECT_TRUE(IsAbsoluteDirectory(L"\\\\host\\share\\"));
  EXPECT_FALSE(IsAbsoluteDirectory(L"Suite\\"));
  EXPECT_FALSE(IsAbsoluteDirectory(L".\\"));
  EXPECT_FALSE(IsAbsoluteDirectory(L"C:Suite\\"));
  EXPECT_FALSE(IsAbsoluteDirectory(L"C:\\Suite"));
  std::wstring p;
  EXPECT_TRUE(BuildInfoFilePath(L"C:\\S\\", "KytMEM", &p));
  EXPECT_EQ(p, L"C:\\S\\KytMEM.IFO");
  EXPECT_FALSE(BuildInfoFilePath(L"C:\\" + std::wstring(250, L'a') + L"\\", "KytMEM", &p));

  EXPECT_EQ(NextWaitProgress(10), 12);
  EXPECT_EQ(NextWaitProgress(98), 100);
  EXPECT_EQ(NextWaitProgress(100), 10);
}

TEST(InfoClientRules, InfoDirectoryMustBeAbsolute) {
  const std::wstring saved = infotest::ReadString(suite::kQuorrelSettingKey, suite::kModulePathValue);
  auto set = [](const std::wstring& v) {
    HKEY k = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    RegSetValueExW(k, suite::kModulePathValue, 0, REG_SZ, (const BYTE*)v.c_str(), (DWORD)(v.size() + 1) * 2);
    RegCloseKey(k);
  };
  set(L"relative\\");
  EXPECT_EQ(ReadInfoDirectory(), L"");
  set(L"C:\\" + std::wstring(245, L'a') + L"\\");
  EXPECT_EQ(ReadInfoDirectory(), L"") << "too long for the information files";
  set(L"C:\\Suite\\");
  EXPECT_EQ(ReadInfoDirectory(), L"C:\\Suite\\");
  set(saved);
}

TEST(InfoClient, NoServerMeansNoWait) {
  ASSERT_EQ(FindWindowW(nullptr, suite::kInfoServerTitle), nullptr);
  InfoClient client(1, "KytMEM");
  TestPage page(&client);
  int changes = 0;
  client.OnWaitChanged([&](bool) { ++changes; });
  client.Attach(page.hwnd(), page.list, kMsg, nullptr, TempDir(), "Last Updated:");
  EXPECT_FALSE(client.Request(true));
  EXPECT_FALSE(client.Waiting());
  EXPECT_EQ(changes, 0);
  // Nor without a message id.
  FakeServer server;
  client.Attach(page.hwnd(), page.list, 0, nullptr, TempDir(), "");
  EXPECT_FALSE(client.Request(true));
  EXPECT_TRUE(server.requests.empty());
  // Without an absolute directory it still asks: the file is then read by
  // its bare name.
  client.Attach(page.hwnd(), page.list, kMsg, nullptr, L"relative\\", "");
  EXPECT_EQ(client.path(), L"KytMEM.IFO");
  EXPECT_TRUE(client.Request(true));
}

TEST(InfoClient, RequestsRepliesAndReading) {
  FakeServer server;
  const std::wstring dir = TempDir();
  WriteText(dir + L"KytMEM.IFO", "\n@3Memory Utilization\n;hidden\nTotal Physical Memory:\t4 KB\n\nlast\n");
  HANDLE mutex = CreateMutexW(nullptr, FALSE, suite::kInfoMutexName);
  InfoClient client(1, "KytMEM");
  TestPage page(&client);
  std::vector<bool> shown;
  client.OnWaitChanged([&](bool on) { shown.push_back(on); });
  client.Attach(page.hwnd(), page.list, kMsg, mutex, dir, "Last Updated:");

  ASSERT_TRUE(client.Request(true));
  ASSERT_TRUE(client.Request(false));
  PumpUntil([&] { return server.requests.size() == 2; }, 2000);
  ASSERT_EQ(server.requests.size(), 2u);
  EXPECT_EQ(server.requests[0].first, reinterpret_cast<WPARAM>(page.hwnd()));
  EXPECT_EQ(server.requests[0].second, 0x80000001u) << "activation asks with bit 31";
  EXPECT_EQ(server.requests[1].second, 1u) << "Refresh asks without it";
  EXPECT_TRUE(client.Waiting());

  // Another page's reply changes nothing.
  PostMessageW(page.hwnd(), kMsg, suite::INFO_REPLY_READY, 2);
  PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(client.Waiting());
  EXPECT_EQ(client.RunningReaders(), 0u);

  PostMessageW(page.hwnd(), kMsg, suite::INFO_REPLY_READY, 1);
  ASSERT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 10000));
  std::vector<std::string> lines = ListLines(page.list);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\[Last Updated: \d\d/\d\d/\d{4} \d\d:\d\d[AP]M\])"))) << lines[0];
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"", "@3Memory Utilization", "Total Physical Memory:\t4 KB", "", "last"}));
  EXPECT_EQ(shown, (std::vector<bool>{true, false}));

  // A missing file: no header, an empty list, and the wait still ends.
  DeleteFileW((dir + L"KytMEM.IFO").c_str());
  ASSERT_TRUE(client.Request(false));
  PostMessageW(page.hwnd(), kMsg, suite::INFO_REPLY_READY, 1);
  ASSERT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 10000));
  EXPECT_TRUE(ListLines(page.list).empty());
  CloseHandle(mutex);
}

TEST(InfoClient, AWaitWithoutServerEnds) {
  InfoClient client(1, "KytMEM");
  TestPage page(&client);
  client.Attach(page.hwnd(), page.list, kMsg, nullptr, TempDir(), "");
  {
    FakeServer server;
    ASSERT_TRUE(client.Request(true));
    client.OnWaitTick();
    EXPECT_TRUE(client.Waiting()) << "the server is still there";
  }
  client.OnWaitTick();
  EXPECT_FALSE(client.Waiting()) << "no reply can come from a server that has gone";
}

TEST(InfoClient, DetachCancelsAReaderWaitingForTheMutex) {
  FakeServer server;
  const std::wstring dir = TempDir();
  WriteText(dir + L"KytMEM.IFO", "A:\t1\n");
  HANDLE mutex = CreateMutexW(nullptr, FALSE, suite::kInfoMutexName);
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HANDLE m = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
    WaitForSingleObject(m, INFINITE);
    SetEvent(held);
    WaitForSingleObject(release, 20000);
    ReleaseMutex(m);
    CloseHandle(m);
  });
  WaitForSingleObject(held, 5000);
  {
    InfoClient client(1, "KytMEM");
    TestPage page(&client);
    client.Attach(page.hwnd(), page.list, kMsg, mutex, dir, "");
    ASSERT_TRUE(client.Request(true));
    PostMessageW(page.hwnd(), kMsg, suite::INFO_REPLY_READY, 1);
    PumpUntil([&] { return client.RunningReaders() == 1; }, 2000);
    EXPECT_EQ(client.RunningReaders(), 1u);
    DWORD t0 = GetTickCount();
    client.Detach();
    EXPECT_LT(GetTickCount() - t0, 2000u);
    EXPECT_EQ(client.RunningReaders(), 0u);
    EXPECT_FALSE(client.Waiting());
  }
  SetEvent(release);
  holder.join();
  CloseHandle(held);
  CloseHandle(release);
  CloseHandle(mutex);
}

TEST(InfoClient, AReaderWaitsForTheMutexOfAServerThatStartedAfterItsSheet) {
  // The sheet found no server mutex (no server ran then); a server has
  // started since, and a reader keeps its file.
  FakeServer server;
  const std::wstring dir = TempDir();
  WriteText(dir + L"KytMEM.IFO", "A:\t1\n");
  InfoClient client(1, "KytMEM");
  TestPage page(&client);
  client.Attach(page.hwnd(), page.list, kMsg, nullptr, dir, "Last Updated:");
  HANDLE mutex = CreateMutexW(nullptr, FALSE, suite::kInfoMutexName);
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(held);
    WaitForSingleObject(release, 20000);
    ReleaseMutex(mutex);
  });
  ASSERT_EQ(WaitForSingleObject(held, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(client.Request(false));
  PostMessageW(page.hwnd(), kMsg, suite::INFO_REPLY_READY, 1);
  PumpUntil([] { return false; }, 500);
  EXPECT_TRUE(client.Waiting());
  EXPECT_TRUE(ListLines(page.list).empty()) << "read while another held the server's mutex";
  SetEvent(release);
  EXPECT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 10000));
  EXPECT_EQ(ListLines(page.list).size(), 2u);
  holder.join();
  EXPECT_EQ(WaitForSingleObject(mutex, 5000), (DWORD)WAIT_OBJECT_0) << "the reader released it";
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  CloseHandle(held);
  CloseHandle(release);
}

TEST(InfoClient, ListsTheServersMemoryFile) {
  Process host;
  ASSERT_TRUE(host.Start(TestBinDir() + L"quorrel_host.exe"));
  ASSERT_TRUE(host.WaitIdle(10000));
  ASSERT_NE(WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000), nullptr);
  HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
  ASSERT_NE(mutex, nullptr);
  {
    InfoClient client(suite::INFO_MEMORY, suite::kInfoFileBase[suite::INFO_MEMORY]);
    TestPage page(&client);
    client.Attach(page.hwnd(), page.list, kMsg, mutex, ReadInfoDirectory(), "Last Updated:");
    EXPECT_EQ(client.path(), TestBinDir() + L"KytMEM.IFO");
    for (bool reuse : {true, false}) {
      ASSERT_TRUE(client.Request(reuse));
      ASSERT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 20000));
      std::vector<std::string> lines = ListLines(page.list);
      ASSERT_GE(lines.size(), 9u);
      EXPECT_EQ(lines[0].rfind("[Last Updated: ", 0), 0u);
      EXPECT_EQ(lines[2], "@3Memory Utilization");
      EXPECT_EQ(lines[3].rfind("Total Physical Memory:\t", 0), 0u);
    }
  }
  CloseHandle(mutex);
  ::PostMessageW(WaitForWindow(L"Quorrel test host", L"", host.Pid(), 1000), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(10000));
  EXPECT_EQ(host.ExitCode(), 0u);
}

TEST(InfoClient, AFileTheServerCouldNotWriteIsNotListedAsNew) {
  Process host;
  ASSERT_TRUE(host.Start(TestBinDir() + L"quorrel_host.exe"));
  ASSERT_NE(WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000), nullptr);
  HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
  ASSERT_NE(mutex, nullptr);
  {
    InfoClient client(suite::INFO_MEMORY, suite::kInfoFileBase[suite::INFO_MEMORY]);
    TestPage page(&client);
    client.Attach(page.hwnd(), page.list, kMsg, mutex, ReadInfoDirectory(), "Last Updated:");
    const std::wstring path = client.path();
    ASSERT_FALSE(path.empty());
    // What keeps the server from writing here: another program holding the
    // file open without letting anyone write it.
    const struct {
      const char* who;
      DWORD share;
    } holders[] = {{"a reader that lets the file be deleted", FILE_SHARE_READ | FILE_SHARE_DELETE},
                   {"a reader that shares nothing", 0},
                   {"a reader that shares reading and writing, not deleting", FILE_SHARE_READ | FILE_SHARE_WRITE}};
    for (const auto& h : holders) {
      WriteText(path, "\n@3Old Memory\nOld:\t1\n");
      HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, h.share, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE) << h.who;
      ASSERT_TRUE(client.Request(false));
      ASSERT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 20000)) << h.who;
      for (const std::string& line : ListLines(page.list))
        EXPECT_EQ(line.find("Old"), std::string::npos) << h.who << ": the old file listed as the answer";
      CloseHandle(held);
      // Let go, the file is written anew.
      ASSERT_TRUE(client.Request(false));
      ASSERT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 20000)) << h.who;
      std::vector<std::string> lines = ListLines(page.list);
      ASSERT_GE(lines.size(), 4u) << h.who;
      EXPECT_EQ(lines[0].rfind("[Last Updated: ", 0), 0u);
      EXPECT_EQ(lines[2], "@3Memory Utilization");
    }
    EXPECT_TRUE(infotest::TempFilesIn(TestBinDir()).empty()) << "a writer left its temporary file";
  }
  CloseHandle(mutex);
  ::PostMessageW(WaitForWindow(L"Quorrel test host", L"", host.Pid(), 1000), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(10000));
  EXPECT_EQ(host.ExitCode(), 0u);
}

// The server's reply 101 says "your file is written". A program holding the
// file without letting it be deleted keeps the server from replacing it:
// the server says 103 instead. Holding it as the suite's readers and the
// report wizard open it (ctlfw::OpenSharedForReading) never does.
TEST(InfoServerReply, UpdatedOnlyForAFileTheServerWrote) {
  Process host;
  ASSERT_TRUE(host.Start(TestBinDir() + L"quorrel_host.exe"));
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000);
  ASSERT_NE(server, nullptr);
  const std::wstring path = TestBinDir() + L"KytMEM.IFO";
  MessageCatcher catcher;
  auto ask = [&](MessageCatcher::Caught* reply) {
    return ::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), suite::INFO_MEMORY) &&
           catcher.WaitFor(kMsg, 30000, reply);
  };
  const struct {
    const char* who;
    bool wizardOpen;  // else CreateFile with `share`
    DWORD share;
    WPARAM reply;
    bool replaced;
  } cases[] = {
      {"the report wizard's open", true, 0, suite::INFO_REPLY_READY, true},
      {"a C runtime's fopen (reading and writing shared)", false, FILE_SHARE_READ | FILE_SHARE_WRITE,
       suite::INFO_REPLY_FAILED, false},
      {"a holder that shares nothing", false, 0, suite::INFO_REPLY_FAILED, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.who);
    ASSERT_TRUE(WriteFileBytes(path, "\r\n@3Old Memory\r\nOld:\t1\r\n"));
    FILE* wizard = nullptr;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.wizardOpen) ASSERT_NE(wizard = OpenSharedForReading(path.c_str()), nullptr);
    else ASSERT_NE(held = CreateFileW(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr),
                   INVALID_HANDLE_VALUE);
    MessageCatcher::Caught reply{};
    ASSERT_TRUE(ask(&reply));
    EXPECT_EQ(reply.wp, c.reply);
    EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_MEMORY);
    if (wizard) {
      // The wizard reads on in the file it opened.
      char first[32] = {};
      EXPECT_EQ(std::fread(first, 1, 13, wizard), 13u);
      EXPECT_STREQ(first, "\r\n@3Old Memor");
      std::fclose(wizard);
    }
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    std::string now = infotest::ReadFileLocked(path);
    EXPECT_EQ(now.find("@3Memory Utilization") != std::string::npos, c.replaced) << now.substr(0, 40);
    // Let go, the next request is answered with a new file.
    ASSERT_TRUE(ask(&reply));
    EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
  }
  EXPECT_TRUE(infotest::TempFilesIn(TestBinDir()).empty()) << "a writer left its temporary file";
  ::PostMessageW(WaitForWindow(L"Quorrel test host", L"", host.Pid(), 1000), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(10000));
  EXPECT_EQ(host.ExitCode(), 0u);
}

TEST(InfoClient, AReaderTakesOverAnAbandonedMutexAndReleasesIt) {
  FakeServer server;
  const std::wstring dir = TempDir();
  WriteText(dir + L"KytMEM.IFO", "A:\t1\n");
  HANDLE mutex = CreateMutexW(nullptr, FALSE, suite::kInfoMutexName);
  std::thread([] {
    HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, suite::kInfoMutexName);
    WaitForSingleObject(m, 5000);
    CloseHandle(m);
  }).join();
  InfoClient client(1, "KytMEM");
  TestPage page(&client);
  client.Attach(page.hwnd(), page.list, kMsg, mutex, dir, "Last Updated:");
  ASSERT_TRUE(client.Request(false));
  PostMessageW(page.hwnd(), kMsg, suite::INFO_REPLY_READY, 1);
  ASSERT_TRUE(PumpUntil([&] { return !client.Waiting(); }, 10000));
  EXPECT_EQ(ListLines(page.list).size(), 2u);
  EXPECT_EQ(WaitForSingleObject(mutex, 5000), (DWORD)WAIT_OBJECT_0) << "released, not abandoned again";
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}
