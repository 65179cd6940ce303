// The information server end to end: a host program starts it as a control
// does; this test is its client, across processes, through the window
// title, the registered message, the mutex and the files.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "appkit/text.h"
#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

#include <mmsystem.h>

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

// The mixer line's product: the first mixer device's name, or "N/A".
std::string MixerProduct() {
  MIXERCAPSA caps{};
  if (mixerGetNumDevs() == 0 || mixerGetDevCapsA(0, &caps, sizeof(caps)) != MMSYSERR_NOERROR) return "N/A";
  return caps.szPname;
}

std::string ThisMachineKb(ULONGLONG bytes) { return std::to_string(bytes >> 10) + " KB"; }

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// A file of category 0, 1 or 8 as its writer leaves it when it ends (the
// memory file with or without its heap lines): what a reader may see.
bool WholeFile(unsigned category, const std::string& text) {
  std::vector<std::string> lines;
  if (!SplitCrLf(text, &lines) || lines.size() < 3 || lines[0] != "") return false;
  switch (category) {
    case 0:
      return lines[1] == "@3Summary" && StartsWith(lines.back(), "CD-ROM:\t");
    case 1: {
      if (lines[1] != "@3Memory Utilization") return false;
      size_t heaps = 0;
      while (heaps < lines.size() && lines[heaps] != "@3Heaps Allocation") ++heaps;
      if (heaps == lines.size()) return lines.back().empty() && StartsWith(lines[lines.size() - 2], "Free Virtual Memory Space:\t");
      if (heaps < 2 || !lines[heaps - 1].empty() || !StartsWith(lines[heaps - 2], "Free Virtual Memory Space:\t")) return false;
      for (size_t i = heaps + 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() < 4 || l.find('\t') == std::string::npos || l.compare(l.size() - 3, 3, " KB") != 0) return false;
      }
      return true;
    }
    case 8:
      return lines[1] == "@3Drivers Information" && lines.back() == "" &&
             StartsWith(lines[lines.size() - 3], "@3Midi Input Devices");
    default:
      return false;
  }
}

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

// Minimised, the server's window paints (its icon) and keeps serving.
TEST_F(InfoServer, MinimisedWindowPaintsAndServes) {
  const bool shown = ::IsWindowVisible(server_) != FALSE;
  Minimised m = MinimiseAndRestore(server_, 10000);
  EXPECT_TRUE(m.minimised);
  EXPECT_TRUE(m.painted);
  EXPECT_TRUE(m.answered);
  EXPECT_EQ(::IsWindowVisible(server_) != FALSE, shown) << "shown or hidden again as it was";
  EXPECT_TRUE(Request(1));
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
  // 200 requests from five processes while four readers read under the
  // mutex and one more keeps it for two seconds: every request is answered
  // and a file read under the mutex is always a finished one. Every other
  // request carries the reuse bit and may reuse the file (AutoRefresh 0), so
  // that requests which write and requests which reuse run at once. That
  // also halves the files written and so keeps the writers' queue shorter
  // than their 15 s wait for the mutex (a writer that waits longer writes
  // without it, and a reader could then see a file in the making).
  const unsigned cats[3] = {0, 1, 8};
  for (unsigned c : cats) ASSERT_TRUE(Request(c));
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 0);
  SetFiletime(suite::kHalvixSettingKey, suite::kModuleBeginValue, AddSeconds(NowUtc(), -3600));
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, broken{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r) {
    readers.emplace_back([&, r] {
      for (int i = 0; !stop; ++i) {
        unsigned c = cats[(r + i) % 3];
        if (!WholeFile(c, ReadFileLocked(InfoPath(c)))) ++broken;
        ++reads;
      }
    });
  }
  HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HANDLE m = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
    DWORD r = m ? ::WaitForSingleObject(m, 30000) : WAIT_FAILED;
    ::SetEvent(held);
    ::Sleep(2000);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ::ReleaseMutex(m);
    if (m) ::CloseHandle(m);
  });
  ASSERT_EQ(::WaitForSingleObject(held, 30000), WAIT_OBJECT_0);

  const int kOwn = 40, kOthers = 4, kEach = 40;
  DWORD t0 = ::GetTickCount();
  Process others[kOthers];
  for (Process& p : others)
    ASSERT_TRUE(p.Start(TestBinDir() + L"quorrel_requester.exe", std::to_wstring(kEach))) << p.LastError().c_str();
  for (int i = 0; i < kOwn; ++i)
    ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()),
                   (LPARAM)(cats[i % 3] | (i % 2 ? suite::INFO_REQUEST_REUSE : 0)));
  int replies = 0;
  PumpUntil(
      [&] {
        for (const auto& m : catcher_.Take())
          if (m.msg == kMsg && m.wp == suite::INFO_REPLY_READY) ++replies;
        return replies >= kOwn;
      },
      90000);
  for (Process& p : others) {
    ASSERT_TRUE(p.WaitExit(90000));
    EXPECT_EQ(p.ExitCode(), 0u) << "requests of another process left without a reply";
  }
  DWORD elapsed = ::GetTickCount() - t0;
  stop = true;
  for (auto& t : readers) t.join();
  holder.join();
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  ::CloseHandle(held);
  EXPECT_EQ(replies, kOwn);
  EXPECT_GT(reads.load(), 10);
  EXPECT_EQ(broken.load(), 0);
  EXPECT_TRUE(TempFilesIn(TestBinDir()).empty()) << "a writer left its temporary file";
  RecordProperty("requests", kOwn + kOthers * kEach);
  RecordProperty("milliseconds", (int)elapsed);
  std::printf("[ measure  ] %d requests from %d processes answered in %lu ms (mutex held 2000 ms of it)\n",
              kOwn + kOthers * kEach, kOthers + 1, elapsed);
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
  // A handle of ours keeps the mutex alive after the server's process ends,
  // so that what the writers left it in can be seen.
  HANDLE m = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
  ASSERT_NE(m, nullptr);
  for (int i = 0; i < 12; ++i)
    ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), (LPARAM)(i % 2 ? 1 : 8));
  ::PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(host_.WaitExit(20000));
  EXPECT_EQ(host_.ExitCode(), 0u);
  EXPECT_EQ(Servers().count, 0);
  // The mutex is not left owned: free, not abandoned by a writer that was
  // still holding it when the process ended.
  DWORD r = ::WaitForSingleObject(m, 0);
  EXPECT_EQ(r, (DWORD)WAIT_OBJECT_0) << (r == WAIT_ABANDONED ? "abandoned" : "still owned");
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ::ReleaseMutex(m);
  ::CloseHandle(m);
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
  // The BIOS and processor lines are this machine's (its SMBIOS table, its
  // measured clock): they are switched off for a layout of fixed lines. The
  // category walk (all_categories_test) checks the processor line.
  SetDword(suite::kQuorrelSettingKey, L"SummaryBios", 0);
  SetDword(suite::kQuorrelSettingKey, L"SummaryCpu", 0);

  ASSERT_TRUE(Request(0));
  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(0)), &lines));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
            (std::vector<std::string>{"", "@3Summary", version, memory}));
  // The drive lines: no removable drive here, the fixed drive C: with its
  // size, no CD-ROM drive.
  EXPECT_EQ(lines[4], "Floppy:\t");
  EXPECT_EQ(lines[5].rfind("Hard Disk:\tC:", 0), 0u) << lines[5];
  EXPECT_EQ(lines[6], "CD-ROM:\tN/A");

  // Switches are read again before every request.
  SetDword(suite::kQuorrelSettingKey, L"SummaryVersion", 0);
  SetDword(suite::kQuorrelSettingKey, L"AudioSummary", 1);
  SetDword(suite::kQuorrelSettingKey, L"ResourceSummary", 1);  // Windows 9x only
  ASSERT_TRUE(Request(0));
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(InfoPath(0)), &lines));
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{"", "@3Summary", memory}));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.begin() + 8), (std::vector<std::string>{"", "@3Audio"}));
  EXPECT_EQ(lines[8].rfind("MCI Drivers:", 0), 0u);
  EXPECT_EQ(lines.back(), "Mixer Driver:\t" + MixerProduct());
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
  EXPECT_EQ(lines[mixer], "Mixer Driver:\t" + MixerProduct());
  // Each list follows an empty line with its heading, then holds "N/A"
  // without devices or begins with the first device's maker; the machine's
  // device counts decide which.
  const struct {
    const char* heading;
    UINT devices;
  } lists[] = {{"@3Wave Output Devices\t", waveOutGetNumDevs()},
               {"@3Wave Input Devices\t", waveInGetNumDevs()},
               {"@3Midi Output Devices\t", midiOutGetNumDevs()},
               {"@3Midi Input Devices\t", midiInGetNumDevs()},
               // Its lines have a test of their own; here only its place.
               {"@3MCI Drivers Capabilities\t", UINT_MAX}};
  size_t at = mixer + 1;
  for (const auto& list : lists) {
    while (at < lines.size() && lines[at].rfind(list.heading, 0) != 0) ++at;
    ASSERT_LT(at + 1, lines.size()) << list.heading << " in order after the mixer line:\n" << audio;
    EXPECT_EQ(lines[at - 1], "") << list.heading;
    if (list.devices == 0) {
      EXPECT_EQ(lines[at + 1], "N/A") << list.heading;
    } else if (list.devices != UINT_MAX) {
      EXPECT_EQ(lines[at + 1].rfind("Manufacturer:\t", 0), 0u) << list.heading;
    }
    ++at;
  }
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
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "@3Printer(s)");
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

TEST(InfoServerKilled, MidWriteLeavesEveryFileWholeAndTheNextServerAnswers) {
  DeleteKey(suite::kTressalSettingKey);
  DeleteKey(suite::kQuorrelSettingKey);
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  // The memory writer walks every process's heaps: it takes a while.
  SetDword(suite::kQuorrelSettingKey, L"MemoryHeap", 1);
  ASSERT_EQ(Servers().count, 0) << "a server of another test is still running";
  // A directory of its own: the only changes there are the server's.
  HostCopy copy(L"killed");
  ASSERT_TRUE(copy.Ok());
  auto path = [&](unsigned c) { return copy.dir() + appkit::Widen(suite::kInfoFileBase[c]) + L".IFO"; };
  const unsigned cats[3] = {0, 1, 8};
  MessageCatcher catcher;
  auto request = [&](HWND server, unsigned c) {
    return ::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), c) &&
           catcher.WaitFor(kMsg, 20000);
  };
  std::map<unsigned, std::string> before;
  for (unsigned killed : cats) {
    Process host;
    ASSERT_TRUE(host.Start(copy.exe())) << host.LastError().c_str();
    HWND server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000);
    ASSERT_NE(server, nullptr);
    if (before.empty()) {
      for (unsigned c : cats) {
        ASSERT_TRUE(request(server, c));
        before[c] = ReadFileLocked(path(c));
        ASSERT_TRUE(WholeFile(c, before[c])) << c << ": " << before[c];
      }
    }
    // The first change in the directory is the worker beginning its file:
    // the server dies while it writes.
    HANDLE change = ::FindFirstChangeNotificationW(
        copy.dir().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
    ASSERT_NE(change, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), killed));
    EXPECT_EQ(::WaitForSingleObject(change, 20000), WAIT_OBJECT_0) << "no writer began";
    ASSERT_TRUE(::TerminateProcess(host.Handle(), 9));
    ASSERT_TRUE(host.WaitExit(10000));
    ::FindCloseChangeNotification(change);
    for (unsigned c : cats) {
      std::string text = ReadFileBytes(path(c));
      EXPECT_TRUE(text == before[c] || WholeFile(c, text))
          << "category " << c << " after a kill while writing " << killed << ": " << text.size() << " bytes\n" << text;
      if (WholeFile(c, text)) before[c] = text;
    }
  }
  // The next start serves again and clears what the dead writers left.
  Process host;
  ASSERT_TRUE(host.Start(copy.exe()));
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000);
  ASSERT_NE(server, nullptr);
  EXPECT_TRUE(TempFilesIn(copy.dir()).empty());
  for (unsigned c : cats) {
    ASSERT_TRUE(request(server, c)) << c;
    EXPECT_TRUE(WholeFile(c, ReadFileLocked(path(c)))) << c;
  }
  ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", host.Pid()), WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(20000));
  EXPECT_EQ(host.ExitCode(), 0u);
  DeleteKey(suite::kQuorrelSettingKey);
}

namespace {

// A program run under this test's debugger, on a thread of its own (debug
// events go to the thread that started the program), keeping what it
// writes with OutputDebugString.
class DebuggedProcess {
 public:
  DebuggedProcess(const std::wstring& exe, const std::wstring& args) {
    started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, exe, args] { Run(exe, args); });
    ::WaitForSingleObject(started_, 20000);
  }
  ~DebuggedProcess() {
    if (process_) ::TerminateProcess(process_, 1);
    thread_.join();
    if (process_) ::CloseHandle(process_);
    ::CloseHandle(started_);
  }
  DWORD Pid() const { return pid_; }
  bool WaitExit(DWORD ms) const { return process_ && ::WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    return process_ && ::GetExitCodeProcess(process_, &code) ? code : (DWORD)-1;
  }
  std::string Output() {
    std::lock_guard<std::mutex> lock(lock_);
    return output_;
  }

 private:
  void Run(const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring dir = exe.substr(0, exe.find_last_of(L'\\') + 1);
    BOOL ok = ::CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                               dir.c_str(), &si, &pi);
    if (ok) {
      ::CloseHandle(pi.hThread);
      process_ = pi.hProcess;
      pid_ = pi.dwProcessId;
    }
    ::SetEvent(started_);
    if (!ok) return;
    for (;;) {
      DEBUG_EVENT ev{};
      if (!::WaitForDebugEvent(&ev, INFINITE)) break;
      DWORD how = DBG_CONTINUE;
      switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
          if (ev.u.CreateProcessInfo.hFile) ::CloseHandle(ev.u.CreateProcessInfo.hFile);
          break;
        case LOAD_DLL_DEBUG_EVENT:
          if (ev.u.LoadDll.hFile) ::CloseHandle(ev.u.LoadDll.hFile);
          break;
        case EXCEPTION_DEBUG_EVENT:
          if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) how = DBG_EXCEPTION_NOT_HANDLED;
          break;
        case OUTPUT_DEBUG_STRING_EVENT: {
          const OUTPUT_DEBUG_STRING_INFO& s = ev.u.DebugString;
          std::string text(s.nDebugStringLength, '\0');
          SIZE_T got = 0;
          if (!s.fUnicode && ::ReadProcessMemory(process_, s.lpDebugStringData, &text[0], text.size(), &got)) {
            text.resize(got);
            std::lock_guard<std::mutex> lock(lock_);
            output_ += text.c_str();
          }
          break;
        }
        default:
          break;
      }
      ::ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, how);
      if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) break;
    }
  }

  HANDLE started_ = nullptr;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  std::thread thread_;
  std::mutex lock_;
  std::string output_;
};

void SetModulePath(const std::wstring& dir) {
  HKEY k = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  ::RegSetValueExW(k, suite::kModulePathValue, 0, REG_SZ, (const BYTE*)dir.c_str(), (DWORD)(dir.size() + 1) * 2);
  ::RegCloseKey(k);
}

}  // namespace

TEST(InfoServerStart, AFolderTooLongForItsFilesIsRefusedWithItsReason) {
  ASSERT_EQ(Servers().count, 0) << "a server of another test is still running";
  // One character more than the longest directory whose files fit.
  const size_t longest = suite::kInfoPathMax - 1 - suite::kInfoFileNameMax;
  HostCopy copy(L"deep", longest + 1, L"q.exe");
  ASSERT_TRUE(copy.Ok());
  ASSERT_EQ(copy.dir().size(), longest + 1);
  const std::string dir = appkit::Narrow(copy.dir());
  auto saysWhy = [&](const std::string& text) {
    return text.find("not started") != std::string::npos && text.find(dir) != std::string::npos &&
           text.find(std::to_string(longest + 1) + " characters") != std::string::npos &&
           text.find(std::to_string(longest) + " characters") != std::string::npos;
  };

  // Started by someone: a message box says it.
  SetModulePath(TestBinDir());
  Process host;
  ASSERT_TRUE(host.Start(copy.exe())) << host.LastError().c_str();
  HWND box = WaitForWindow(L"System Information", L"#32770", host.Pid(), 10000);
  ASSERT_NE(box, nullptr) << "no message box";
  std::string text = appkit::Narrow(GetText(FindChildById(box, 0xFFFF)));
  EXPECT_TRUE(saysWhy(text)) << text;
  EXPECT_EQ(ReadString(suite::kQuorrelSettingKey, suite::kModulePathValue), L"")
      << "ModulePath still names another server's folder";
  EXPECT_EQ(Servers().count, 0);
  ASSERT_TRUE(ClickButton(box, IDOK));
  HWND hostWindow = WaitForWindow(L"Quorrel test host", L"", host.Pid(), 10000);
  ASSERT_NE(hostWindow, nullptr);
  PumpUntil([] { return false; }, 1200);  // the watch does not try again
  EXPECT_EQ(FindTopWindow(L"System Information", L"#32770", host.Pid()), nullptr);
  ::PostMessageW(hostWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(10000));

  // Started unattended ("-Startup"): nothing waits for an answer; the
  // reason goes to the debugger's output.
  SetModulePath(TestBinDir());
  {
    DebuggedProcess quiet(copy.exe(), L"-Startup");
    ASSERT_NE(quiet.Pid(), 0u);
    hostWindow = WaitForWindow(L"Quorrel test host", L"", quiet.Pid(), 20000);
    ASSERT_NE(hostWindow, nullptr) << "the start waited for something";
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(FindTopWindow(L"", L"#32770", quiet.Pid()), nullptr) << "a modal box in an unattended start";
    EXPECT_TRUE(saysWhy(quiet.Output())) << quiet.Output();
    EXPECT_EQ(ReadString(suite::kQuorrelSettingKey, suite::kModulePathValue), L"");
    EXPECT_EQ(Servers().count, 0);
    ::PostMessageW(hostWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(quiet.WaitExit(10000));
    EXPECT_EQ(quiet.ExitCode(), 0u);
  }
}
