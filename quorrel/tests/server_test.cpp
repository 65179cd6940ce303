// The information server end to end: a host program starts it as a control
// does; this test is its client, across processes, through the window
// title, the registered message, the mutex and the files.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "appkit/text.h"
#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;
using namespace infotest;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
const UINT kMsg2 = ::RegisterWindowMessageW(suite::kQuorrelMessage2);

std::wstring InfoPath(unsigned category) {
  return TestBinDir() + appkit::Widen(suite::kInfoFileBase[category]) + L".IFO";
}

struct ServerCount {
  int count = 0;
  DWORD pid = 0;
};
BOOL CALLBACK CountServers(HWND hwnd, LPARAM lp) {
  auto* c = reinterpret_cast<ServerCount*>(lp);
  if (GetText(hwnd) == suite::kInfoServerTitle) {
    ++c->count;
    ::GetWindowThreadProcessId(hwnd, &c->pid);
  }
  return TRUE;
}
ServerCount Servers() {
  ServerCount c;
  ::EnumWindows(&CountServers, reinterpret_cast<LPARAM>(&c));
  return c;
}

std::string ThisMachineKb(ULONGLONG bytes) { return std::to_string(bytes >> 10) + " KB"; }

class InfoServer : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKey(suite::kTressalSettingKey);
    DeleteKey(suite::kQuorrelSettingKey);
    SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
    ASSERT_EQ(Servers().count, 0) << "a server of another test is still running";
    StartHost();
  }
  void TearDown() override {
    if (host_.Running()) {
      ::PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
      EXPECT_TRUE(host_.WaitExit(20000));
      EXPECT_EQ(host_.ExitCode(), 0u) << "workers left alive after the server closed";
    }
  }
  void StartHost() {
    ASSERT_TRUE(host_.Start(TestBinDir() + L"quorrel_host.exe")) << host_.LastError().c_str();
    ASSERT_TRUE(host_.WaitIdle(10000));
    hostWindow_ = WaitForWindow(L"Quorrel test host", L"", host_.Pid(), 10000);
    ASSERT_NE(hostWindow_, nullptr);
    server_ = WaitForWindow(suite::kInfoServerTitle, L"", host_.Pid(), 10000);
    ASSERT_NE(server_, nullptr);
  }
  // Posts a request and waits for its reply 101.
  bool Request(uint32_t word, DWORD ms = 20000) {
    if (!::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), (LPARAM)word)) return false;
    MessageCatcher::Caught reply{};
    if (!catcher_.WaitFor(kMsg, ms, &reply)) return false;
    EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
    EXPECT_EQ((uint32_t)reply.lp, word & ~suite::INFO_REQUEST_REUSE);
    return true;
  }

  Process host_;
  HWND hostWindow_ = nullptr;
  HWND server_ = nullptr;
  MessageCatcher catcher_;
};

}  // namespace

TEST_F(InfoServer, MemoryRequestWithAndWithoutReuseBitWritesThisMachinesMemory) {
  EXPECT_EQ(ReadString(suite::kQuorrelSettingKey, suite::kModulePathValue), TestBinDir());
  ::DeleteFileW(InfoPath(1).c_str());
  ASSERT_TRUE(Request(suite::INFO_REQUEST_REUSE | 1));
  ASSERT_TRUE(Request(1));

  std::vector<std::string> lines;
  std::string text = ReadFileLocked(InfoPath(1));
  ASSERT_TRUE(SplitCrLf(text, &lines)) << "every line ends in CR LF";
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof(ms);
  ASSERT_TRUE(GlobalMemoryStatusEx(&ms));
  ASSERT_EQ(lines.size(), 9u) << text;
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "@3Memory Utilization");
  EXPECT_EQ(lines[2], "Total Physical Memory:\t" + ThisMachineKb(ms.ullTotalPhys));
  EXPECT_EQ(lines[3].rfind("Free Physical Memory:\t", 0), 0u);
  EXPECT_EQ(lines[4], "Total Pagefile:\t" + ThisMachineKb(ms.ullTotalPageFile));
  EXPECT_EQ(lines[5].rfind("Free Pagefile:\t", 0), 0u);
  EXPECT_EQ(lines[6], "Total Virtual Memory Space:\t" + ThisMachineKb(ms.ullTotalVirtual));
  EXPECT_EQ(lines[7].rfind("Free Virtual Memory Space:\t", 0), 0u);
  for (int i = 2; i <= 7; ++i) EXPECT_EQ(lines[i].substr(lines[i].size() - 3), " KB");
  EXPECT_EQ(lines[8], "");
}

TEST_F(InfoServer, ReuseRuleKeepsARecentFileOnlyWhenAllowed) {
  const std::wstring path = InfoPath(1);
  const FILETIME begin = AddSeconds(NowUtc(), -3600);
  const FILETIME recent = AddSeconds(begin, 60);
  SetFiletime(suite::kHalvixSettingKey, suite::kModuleBeginValue, begin);
  ASSERT_TRUE(Request(1));
  FILETIME t{};

  struct Case {
    const char* what;
    DWORD autoRefresh;
    bool haveBegin;
    FILETIME fileTime;
    uint32_t word;
    bool reused;
  } cases[] = {
      {"AutoRefresh 0, newer than ModuleBegin", 0, true, recent, suite::INFO_REQUEST_REUSE | 1, true},
      {"without bit 31", 0, true, recent, 1, false},
      {"AutoRefresh 1", 1, true, recent, suite::INFO_REQUEST_REUSE | 1, false},
      {"ModuleBegin missing", 0, false, recent, suite::INFO_REQUEST_REUSE | 1, false},
      {"same second as ModuleBegin", 0, true, begin, suite::INFO_REQUEST_REUSE | 1, false},
      {"older than ModuleBegin", 0, true, AddSeconds(begin, -5), suite::INFO_REQUEST_REUSE | 1, false},
  };
  for (const Case& c : cases) {
    SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, c.autoRefresh);
    if (c.haveBegin) SetFiletime(suite::kHalvixSettingKey, suite::kModuleBeginValue, begin);
    else DeleteValue(suite::kHalvixSettingKey, suite::kModuleBeginValue);
    ASSERT_TRUE(SetLastWrite(path, c.fileTime));
    ASSERT_TRUE(Request(c.word)) << c.what;
    ASSERT_TRUE(LastWrite(path, &t));
    bool same = CompareFileTime(&t, &c.fileTime) == 0;
    EXPECT_EQ(same, c.reused) << c.what;
    EXPECT_GT(ReadFileLocked(path).size(), 100u) << c.what;
  }
}

TEST_F(InfoServer, InvalidRequestsAreDroppedAndCommandsAnswered) {
  ::DeleteFileW(InfoPath(15).c_str());
  // A window that existed once and is gone.
  HWND gone = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ::DestroyWindow(gone);
  ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(gone), 15);
  ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), 16);
  ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), (LPARAM)(suite::INFO_REQUEST_REUSE | 16));
  ASSERT_TRUE(Request(0));
  PumpUntil([] { return false; }, 700);
  EXPECT_TRUE(catcher_.Take().empty()) << "no reply to category 16";
  EXPECT_EQ(::GetFileAttributesW(InfoPath(15).c_str()), INVALID_FILE_ATTRIBUTES) << "nothing written for a dead window";

  for (UINT cmd = suite::INFO_CMD_SHOW_SHEET; cmd <= suite::INFO_CMD_SHOW_INI; ++cmd)
    EXPECT_EQ(::SendMessageW(server_, kMsg, 0, cmd), 1) << cmd;
  EXPECT_EQ(::SendMessageW(server_, kMsg2, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(server_, kMsg2, 6, 0), 1) << "no such self-test";
  // Enter and Esc neither close nor hide the server.
  ::SendMessageW(server_, WM_COMMAND, IDCANCEL, 0);
  ::SendMessageW(server_, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(::IsWindow(server_));
}

TEST_F(InfoServer, SecondHostStartsNoSecondServer) {
  Process second;
  ASSERT_TRUE(second.Start(TestBinDir() + L"quorrel_host.exe"));
  ASSERT_TRUE(second.WaitIdle(10000));
  ASSERT_NE(WaitForWindow(L"Quorrel test host", L"", second.Pid(), 10000), nullptr);
  PumpUntil([] { return false; }, 300);
  ServerCount c = Servers();
  EXPECT_EQ(c.count, 1);
  EXPECT_EQ(c.pid, host_.Pid());
  ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", second.Pid()), WM_CLOSE, 0, 0);
  ASSERT_TRUE(second.WaitExit(10000));
  EXPECT_TRUE(::IsWindow(server_)) << "the second host's end leaves the server alone";
  EXPECT_TRUE(Request(1));
}

TEST_F(InfoServer, ConcurrentWritersAndReadersLeaveEveryFileWhole) {
  // A file read under the mutex is always a finished one: it ends where its
  // writer ends it.
  auto whole = [](unsigned category, const std::string& text) {
    std::vector<std::string> lines;
    if (!SplitCrLf(text, &lines) || lines.size() < 3) return false;
    switch (category) {
      case 0: return lines[1] == "@3Summary" && lines.back().find("Memory:\t") == 0;
      case 1: return lines[1] == "@3Memory Utilization" && lines.back().empty() &&
                     lines[lines.size() - 2].find("Free Virtual Memory Space:\t") == 0;
      default: return lines[1] == "@3Drivers Information" && lines.back() == "" &&
                      lines[lines.size() - 3].find("@3Midi Input Devices") == 0;
    }
  };
  const unsigned cats[3] = {0, 1, 8};
  for (unsigned c : cats) ASSERT_TRUE(Request(c));
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, broken{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r) {
    readers.emplace_back([&, r] {
      for (int i = 0; !stop; ++i) {
        unsigned c = cats[(r + i) % 3];
        if (!whole(c, ReadFileLocked(InfoPath(c)))) ++broken;
        ++reads;
      }
    });
  }
  const int kRequests = 30;
  for (int i = 0; i < kRequests; ++i)
    ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()),
                   (LPARAM)(cats[i % 3] | (i % 2 ? suite::INFO_REQUEST_REUSE : 0)));
  int replies = 0;
  PumpUntil(
      [&] {
        for (const auto& m : catcher_.Take())
          if (m.msg == kMsg && m.wp == suite::INFO_REPLY_READY) ++replies;
        return replies >= kRequests;
      },
      60000);
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(replies, kRequests);
  EXPECT_GT(reads.load(), 10);
  EXPECT_EQ(broken.load(), 0);
}

TEST_F(InfoServer, ClosingWhileAWorkerWaitsLeavesNoThread) {
  HANDLE m = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(::WaitForSingleObject(m, 5000), WAIT_OBJECT_0);
  ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), 1);
  ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), 8);
  PumpUntil([] { return false; }, 300);
  DWORD t0 = ::GetTickCount();
  ::PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(host_.WaitExit(10000));
  EXPECT_LT(::GetTickCount() - t0, 8000u) << "the workers gave up their wait";
  EXPECT_EQ(host_.ExitCode(), 0u) << "no worker left alive";
  ::ReleaseMutex(m);
  ::CloseHandle(m);
  EXPECT_EQ(Servers().count, 0);
}

TEST_F(InfoServer, ClosingWhileWritersRunLeavesNoThread) {
  SetDword(suite::kQuorrelSettingKey, L"MemoryHeap", 1);
  for (int i = 0; i < 12; ++i)
    ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), (LPARAM)(i % 2 ? 1 : 8));
  ::PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(host_.WaitExit(20000));
  EXPECT_EQ(host_.ExitCode(), 0u);
  EXPECT_EQ(Servers().count, 0);
  // The mutex is not left owned: a reader gets it at once.
  std::string text = ReadFileLocked(InfoPath(1));
  SUCCEED() << text.size();
}

TEST_F(InfoServer, SummaryAndAudioFilesAsLaidOut) {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  ASSERT_TRUE(GetVersionExA(&vi));
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof(ms);
  ASSERT_TRUE(GlobalMemoryStatusEx(&ms));
  char version[128], memory[128];
  snprintf(version, sizeof(version), "Windows NT Version:\t%lu.%2.2lu.%lu", vi.dwMajorVersion, vi.dwMinorVersion,
           vi.dwBuildNumber & 0xFFFF);
  snprintf(memory, sizeof(memory), "Memory:\t%.2f MB", ms.ullTotalPhys / 1024.0 / 1024.0);

  ASSERT_TRUE(Request(0));
  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(0)), &lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"", "@3Summary", version, memory}));

  // Switches are read again before every request.
  SetDword(suite::kQuorrelSettingKey, L"SummaryVersion", 0);
  SetDword(suite::kQuorrelSettingKey, L"AudioSummary", 1);
  SetDword(suite::kQuorrelSettingKey, L"ResourceSummary", 1);  // Windows 9x only
  ASSERT_TRUE(Request(0));
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(0)), &lines));
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5),
            (std::vector<std::string>{"", "@3Summary", memory, "", "@3Audio"}));
  EXPECT_EQ(lines[5].rfind("MCI Drivers:", 0), 0u);
  EXPECT_EQ(lines.back(), "Mixer Driver:\tN/A") << "no sound devices here";
  for (const std::string& l : lines) EXPECT_EQ(l.find("Resource Monitor"), std::string::npos);

  SetDword(suite::kQuorrelSettingKey, L"AudioMCI", 1);
  ASSERT_TRUE(Request(8));
  std::string audio = ReadFileLocked(InfoPath(8));
  ASSERT_TRUE(SplitCrLf(audio, &lines)) << audio;
  ASSERT_GE(lines.size(), 6u) << audio;
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "@3Drivers Information");
  EXPECT_EQ(lines[2].rfind("MCI Drivers:", 0), 0u);
  size_t mixer = 0;
  while (mixer < lines.size() && lines[mixer].rfind("Mixer Driver:\t", 0) != 0) ++mixer;
  ASSERT_LT(mixer, lines.size());
  EXPECT_EQ(lines[mixer], "Mixer Driver:\tN/A");
  std::vector<std::string> rest(lines.begin() + (long)mixer + 1, lines.end());
  // No sound devices here: each list is its heading and "N/A".
  std::vector<std::string> lists = {"", "@3Wave Output Devices\t", "N/A", "", "@3Wave Input Devices\t", "N/A", "",
                                    "@3Midi Output Devices\t", "N/A", "", "@3Midi Input Devices\t", "N/A", ""};
  ASSERT_GE(rest.size(), lists.size()) << audio;
  EXPECT_EQ(std::vector<std::string>(rest.begin(), rest.begin() + (long)lists.size()), lists) << audio;
  ASSERT_GT(rest.size(), lists.size()) << "the MCI capabilities block follows with AudioMCI on";
  EXPECT_EQ(rest[lists.size()].rfind("@3MCI Drivers Capabilities\t", 0), 0u);
}

TEST(InfoServerStart, PrebuildChainWritesFlaggedCategoriesOnce) {
  DeleteKey(suite::kTressalSettingKey);
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, suite::kTressalSettingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr),
            ERROR_SUCCESS);
  const struct {
    unsigned cat;
    const char* value;
    bool built;
  } cases[] = {{4, "Yes", true}, {14, "y", true}, {5, "YES", true}, {6, "N", false}, {9, "", false}, {12, nullptr, false}};
  for (const auto& c : cases) {
    ::DeleteFileW(InfoPath(c.cat).c_str());
    if (c.value) RegSetValueExA(k, suite::kInfoFileBase[c.cat], 0, REG_SZ, (const BYTE*)c.value, (DWORD)strlen(c.value) + 1);
  }
  RegCloseKey(k);
  Process host;
  ASSERT_TRUE(host.Start(TestBinDir() + L"quorrel_host.exe"));
  ASSERT_TRUE(host.WaitIdle(10000));
  ASSERT_NE(WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000), nullptr);
  EXPECT_TRUE(PumpUntil(
      [&] {
        return GetFileAttributesW(InfoPath(4).c_str()) != INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesW(InfoPath(5).c_str()) != INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesW(InfoPath(14).c_str()) != INVALID_FILE_ATTRIBUTES;
      },
      10000));
  PumpUntil([] { return false; }, 300);
  for (const auto& c : cases)
    EXPECT_EQ(GetFileAttributesW(InfoPath(c.cat).c_str()) != INVALID_FILE_ATTRIBUTES, c.built) << c.cat;
  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(14)), &lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"", "@3Printers"}));
  ::PostMessageW(WaitForWindow(L"Quorrel test host", L"", host.Pid(), 1000), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(10000));
  DeleteKey(suite::kTressalSettingKey);
}

TEST(InfoServerOnWindows9x, MemoryAndSummaryTakeTheir9xLines) {
  // Wine reports Windows 98 to a program named in AppDefaults.
  const wchar_t* key = L"Software\\Wine\\AppDefaults\\quorrel_host.exe";
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueExW(k, L"Version", 0, REG_SZ, (const BYTE*)L"win98", sizeof(L"win98"));
  RegCloseKey(k);
  DeleteKey(suite::kQuorrelSettingKey);
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);

  Process host;
  ASSERT_TRUE(host.Start(TestBinDir() + L"quorrel_host.exe"));
  ASSERT_TRUE(host.WaitIdle(10000));
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000);
  RegDeleteTreeW(HKEY_CURRENT_USER, key);
  ASSERT_NE(server, nullptr);
  MessageCatcher catcher;
  std::vector<std::string> mem, sum;
  for (unsigned c : {1u, 0u}) {
    ASSERT_TRUE(PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), c));
    ASSERT_TRUE(catcher.WaitFor(kMsg, 20000));
  }
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(1)), &mem));
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(0)), &sum));
  ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", host.Pid()), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(10000));

  ASSERT_EQ(mem.size(), 10u);
  EXPECT_EQ(mem[1], "@3Memory Utilization");
  EXPECT_EQ(mem[2].rfind("Percent Memory in Use:\t", 0), 0u);
  EXPECT_EQ(mem[2].substr(mem[2].size() - 8), " percent");
  EXPECT_EQ(mem[3].rfind("Total Physical Memory:\t", 0), 0u);
  ASSERT_GE(sum.size(), 3u);
  EXPECT_EQ(sum[2].rfind("Windows 98 Version:\t4.10.", 0), 0u) << sum[2];
}

TEST_F(InfoServer, AnAbandonedMutexIsTakenOverAndReleased) {
  // A reader that died holding the mutex leaves it abandoned.
  std::thread([] {
    HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, suite::kInfoMutexName);
    WaitForSingleObject(m, 5000);
    CloseHandle(m);
  }).join();
  ASSERT_TRUE(Request(1));
  EXPECT_GT(ReadFileBytes(InfoPath(1)).size(), 100u);
  // The worker that took it over released it: it is free, not abandoned again.
  HANDLE m = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(WaitForSingleObject(m, 5000), (DWORD)WAIT_OBJECT_0);
  ReleaseMutex(m);
  CloseHandle(m);
}
