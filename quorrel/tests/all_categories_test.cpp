// All sixteen information files of a running server, on the NT family and on
// Windows 9x (Wine's per-program setting): each holds what its writer takes
// from this machine, or the writer's own text for a source that is missing,
// and never a heading made up for a category without a writer. Then the
// installed software of this machine in sorted order, and a server that
// closes while it lists the software.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace testsupport;
using namespace infotest;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
const wchar_t kHostVersionKey[] = L"Software\\Wine\\AppDefaults\\quorrel_host.exe";
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Headings that no writer writes: the made-up ones a category without a
// writer used to get.
const char* const kMadeUpHeadings[suite::INFO_CATEGORY_COUNT] = {
    nullptr,      nullptr,           "Processor",     "BIOS",    "PCI Bus",       "Plug and Play Devices",
    "Ports",      "Display",         nullptr,         "Hard Disks", "Floppy Drives", "Modems",
    "CD-ROM Drives", "Network",      "Printers",      "Installed Software"};

std::string Text(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

class Server {
 public:
  // A copy of the test host in a folder of its own, or the host copied into
  // `dir` (with a trailing backslash): the server keeps its files beside it,
  // out of the way of other tests' servers.
  explicit Server(bool win98, const std::wstring& dir = std::wstring()) : win98_(win98), dir_(dir) {
    if (dir_.empty()) {
      copy_ = std::make_unique<HostCopy>(L"categories");
      dir_ = copy_->dir();
    }
    if (win98_) {
      HKEY k = nullptr;
      ::RegCreateKeyExW(HKEY_CURRENT_USER, kHostVersionKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
      ::RegSetValueExW(k, L"Version", 0, REG_SZ, (const BYTE*)L"win98", sizeof(L"win98"));
      ::RegCloseKey(k);
    }
    SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
    if (process_.Start(dir_ + L"quorrel_host.exe") && process_.WaitIdle(10000))
      server_ = WaitForWindow(suite::kInfoServerTitle, L"", process_.Pid(), 10000);
  }
  ~Server() {
    Close();
    if (win98_) ::RegDeleteTreeW(HKEY_CURRENT_USER, kHostVersionKey);
  }
  HWND window() const { return server_; }
  Process& process() { return process_; }

  // Asks for a category and reads its file once the server answered; false
  // when no answer came.
  bool Request(unsigned category, std::string* text) {
    const std::wstring file = dir_ + appkit::Widen(suite::kInfoFileBase[category]) + L".IFO";
    ::DeleteFileW(file.c_str());
    MessageCatcher::Caught reply{};
    if (!server_ || !::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), category) ||
        !catcher_.WaitFor(kMsg, 60000, &reply))
      return false;
    if (reply.wp != suite::INFO_REPLY_READY || reply.lp != (LPARAM)category) return false;
    *text = ReadFileLocked(file);
    return true;
  }
  void PostClose() { ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", process_.Pid()), WM_CLOSE, 0, 0); }
  bool Close() {
    if (closed_) return true;
    closed_ = true;
    PostClose();
    return process_.WaitExit(30000);
  }

 private:
  bool win98_;
  std::wstring dir_;
  std::unique_ptr<HostCopy> copy_;
  Process process_;
  HWND server_ = nullptr;
  MessageCatcher catcher_;
  bool closed_ = false;
};

// What a file begins with on this machine under Wine: its writer's first
// lines, which for a missing source are the whole file.
struct Opening {
  unsigned category;
  std::vector<std::string> nt, win98;  // leading lines; a line ending in a tab is a label
  bool whole = false;                  // the lines are the whole file
  bool lastLineUnended = false;        // the writer ends its file without a line end
  std::string contains = {};           // a part of the file on both families
};

std::vector<Opening> Openings() {
  using namespace suite;
  const std::vector<std::string> empty = {""};
  return {
      {INFO_SUMMARY, {"", "@3Summary", "Windows NT Version:\t"}, {"", "@3Summary", "Windows 98 Version:\t"}},
      {INFO_MEMORY,
       {"", "@3Memory Utilization", "Total Physical Memory:\t"},
       {"", "@3Memory Utilization", "Percent Memory in Use:\t"}},
      {INFO_PROCESSOR, {"", "@3CPU Identification", "CPU Type:\t"}, {"", "@3CPU Identification", "CPU Type:\t"}},
      // Windows 9x finds no BIOS identity in the registry under Wine.
      {INFO_BIOS, {"", "@3BIOS Information", "BIOS Date:\t"}, {"", "@3BIOS Information", ""}},
      {INFO_PCI,
       {"", "@3PCI BIOS Information", "Not Available!"},
       {"", "@3PCI BIOS Information", "Not Available!"},
       true,
       true},
      {INFO_PNP, empty, empty, true},
      {INFO_PORT, empty, empty, true},
      {INFO_VIDEO, {";Video Info", "", "@3Drivers Information"}, {"", "@3VGA BIOS Information", ";Video Info"}},
      {INFO_AUDIO,
       {"", "@3Drivers Information", "MCI Drivers:\t"},
       {"", "@3Drivers Information", "MCI Drivers:\t"},
       false,
       false,
       "\n@3Wave Output Devices\t\n"},
      {INFO_DISK, empty, empty, false, false, "\n@3Logical Drive C:\\\nFile System:\t"},
      {INFO_FLOPPY, empty, empty, true},  // no floppy drive
      {INFO_MODEM, {"", "@3Modem Information", "Modem:\t"}, {"", "@3Modem Information", "Modem:\t"}},
      {INFO_CDROM, empty, empty},
      {INFO_NETWORK, {}, {}},
      {INFO_PRINTER, {"", "@3Printer(s)"}, {"", "@3Printer(s)"}, false, false, "\n@3Printer Drivers\n"},
      {INFO_SOFTWARE, {"", "@3Software"}, {"", "@3Software"}},
  };
}

// Every heading of the summary is followed by its block's lines, but for
// blocks whose sources are all missing here.
void ExpectSummaryBlocksFilled(const std::string& sum, const std::set<std::string>& mayStandAlone) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = sum.find('\n', start)) != std::string::npos; start = at + 1)
    lines.push_back(sum.substr(start, at - start));
  std::set<std::string> allowed = mayStandAlone;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("@3", 0) != 0 || allowed.count(lines[i])) continue;
    // A block whose source is missing may hold its own headed text (the
    // network block: "@3Network", "", "@3Network:\t").
    if (i + 2 < lines.size() && lines[i + 1].empty() && lines[i + 2].rfind(lines[i] + ":", 0) == 0) continue;
    EXPECT_TRUE(i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1].rfind("@3", 0) != 0)
        << lines[i] << " has no lines in\n" << sum;
  }
}

// Every switch of the summary on, but for the modem block where a case has
// no use for it (its probe waits on every port that never answers); the
// server's settings come back as they were when the test ends.
class AllSummarySwitchesOn {
 public:
  explicit AllSummarySwitchesOn(bool modem = true) {
    for (const suite::InfoSwitch& s : suite::kInfoSwitches) SetDword(suite::kQuorrelSettingKey, s.name, 1);
    if (!modem) SetDword(suite::kQuorrelSettingKey, suite::kInfoSwitches[suite::SW_MODEM_SUMMARY].name, 0);
  }

 private:
  testsupport::KeyAside aside_{suite::kQuorrelSettingKey, L"Software\\HalvixCategoriesTestBackup\\QuorrelSetting"};
};

// The summary's modem block is asked for on one family only: it is the same
// on both, and each probe costs the ports' time-outs.
void WalkAllCategories(bool win98, std::vector<std::string>* files) {
  AllSummarySwitchesOn switches(!win98);
  Server server(win98);
  ASSERT_NE(server.window(), nullptr);
  files->assign(suite::INFO_CATEGORY_COUNT, std::string());
  for (const Opening& o : Openings()) {
    SCOPED_TRACE(suite::kInfoFileBase[o.category]);
    std::string text;
    ASSERT_TRUE(server.Request(o.category, &text)) << "no answer";
    if (o.lastLineUnended) {
      EXPECT_NE(text.substr(text.size() < 2 ? 0 : text.size() - 2), "\r\n");
      text += "\r\n";
    }
    std::vector<std::string> lines;
    EXPECT_TRUE(SplitCrLf(text, &lines)) << "every line ends in CR LF";
    (*files)[o.category] = Text(lines);
    if (const char* madeUp = kMadeUpHeadings[o.category]) {
      EXPECT_EQ(std::find(lines.begin(), lines.end(), std::string("@3") + madeUp), lines.end())
          << "a made-up heading in:\n" << Text(lines);
    }
    if (!o.contains.empty()) {
      EXPECT_NE(Text(lines).find(o.contains), std::string::npos) << Text(lines);
    }
    EXPECT_FALSE(text.empty()) << "an empty file";
    const std::vector<std::string>& want = win98 ? o.win98 : o.nt;
    ASSERT_GE(lines.size(), want.size()) << Text(lines);
    for (size_t i = 0; i < want.size(); ++i) {
      // A line given with a trailing tab is a label: the value is this machine's.
      if (!want[i].empty() && want[i].back() == '\t')
        EXPECT_EQ(lines[i].rfind(want[i], 0), 0u) << Text(lines);
      else
        EXPECT_EQ(lines[i], want[i]) << Text(lines);
    }
    if (o.whole) {
      EXPECT_EQ(lines.size(), want.size()) << Text(lines);
    }
  }
  EXPECT_TRUE(server.Close());
  EXPECT_EQ(server.process().ExitCode(), 0u) << "request workers outlived the server";
}

}  // namespace

TEST(AllCategories, NtFamily) {
  std::vector<std::string> files;
  WalkAllCategories(false, &files);
  if (HasFatalFailure()) return;
  const std::string& sum = files[suite::INFO_SUMMARY];
  // The NT family has neither the system-access library's lines nor the
  // Windows 9x blocks.
  for (const char* absent : {"Bus Type:", "@3I/O Devices", "@3Resource Monitor", "Media:", "Monitor:"})
    EXPECT_EQ(sum.find(absent), std::string::npos) << absent << " in\n" << sum;
  ExpectSummaryBlocksFilled(sum, {"@3Summary"});
  // The processor's one line, with its measured clock.
  size_t cpu = sum.find("\nProcessor:\t");
  ASSERT_NE(cpu, std::string::npos) << sum;
  std::string line = sum.substr(cpu + 1, sum.find('\n', cpu + 1) - cpu - 1);
  EXPECT_NE(line.find("MHz"), std::string::npos) << line;
}

TEST(AllCategories, Windows9x) {
  std::vector<std::string> files;
  WalkAllCategories(true, &files);
  if (HasFatalFailure()) return;
  const std::string& sum = files[suite::INFO_SUMMARY];
  // Without the system-access library: no bus line and no port lines; the
  // media and monitor lines say so; mouse, keyboard and joysticks are this
  // machine's; the resource block has its heading alone.
  EXPECT_EQ(sum.find("Bus Type:"), std::string::npos) << sum;
  EXPECT_NE(sum.find("\nMedia:\tN/A\nMonitor:\tUnknown\n"), std::string::npos) << sum;
  int buttons = ::GetSystemMetrics(SM_CMOUSEBUTTONS);
  std::string mouse = buttons > 0 ? "Mouse:\tInstalled (" + std::to_string(buttons) + "-button)" : "Mouse:\tN/A";
  size_t io = sum.find("\n@3I/O Devices\n" + mouse + "\nKeyboard:\t");
  ASSERT_NE(io, std::string::npos) << sum;
  size_t joystick = sum.find("\nJoystick:\t", io);
  ASSERT_NE(joystick, std::string::npos) << sum;
  std::string afterJoystick = sum.substr(sum.find('\n', joystick + 1) + 1);
  EXPECT_EQ(afterJoystick.rfind("\n@3", 0), 0u) << "no port lines without the library:\n" << sum;
  EXPECT_NE(sum.find("\n@3Resource Monitor\n"), std::string::npos) << sum;
  ExpectSummaryBlocksFilled(sum, {"@3Summary", "@3Resource Monitor"});
  EXPECT_EQ(files[suite::INFO_PORT], "\n");
}

// Windows 9x with the system-access library and its partner (a stand-in of
// ours beside the server): the bus, media, monitor, port and resource lines
// come from the partner's texts, and the port category lists its ports with
// the serial port's settings.
TEST(AllCategories, Windows9xWithThePartnerLibrary) {
  HostCopy copy(L"partner9x");
  ASSERT_TRUE(copy.Ok());
  ASSERT_TRUE(::CopyFileW((TestBinDir() + L"partner9x\\Vexholm.DLL").c_str(), (copy.dir() + L"Vexholm.DLL").c_str(),
                          FALSE));
  AllSummarySwitchesOn switches(false);
  std::string sum, ports;
  {
    Server server(true, copy.dir());
    ASSERT_NE(server.window(), nullptr);
    ASSERT_TRUE(server.Request(suite::INFO_SUMMARY, &sum));
    ASSERT_TRUE(server.Request(suite::INFO_PORT, &ports));
  }
  EXPECT_NE(sum.find("\r\nBus Type:\tISA+PCI+USB\r\nProcessor:\t"), std::string::npos) << sum;
  EXPECT_NE(sum.find("\r\nMedia:\tCreative Sound Card \r\nMonitor:\tPlug and Play Monitor\r\n"), std::string::npos)
      << sum;
  EXPECT_NE(sum.find("\r\nJoystick:\t"), std::string::npos) << sum;
  EXPECT_NE(sum.find("\r\nSerial Port:\t03F8-03FF(COM1) \r\nParallel Port:\t0378-037A(LPT1) \r\n"), std::string::npos)
      << sum;
  EXPECT_NE(sum.find("\r\n@3Resource Monitor\r\nIRQ:\t5 of 16 used\r\n"), std::string::npos) << sum;
  EXPECT_EQ(ports.rfind("\r\nCommunications Port (COM1)\r\n  I/O Range: 03F8-03FF\r\n  Portname: COM1\r\n"
                        "   Max Baud Rate:\t",
                        0),
            0u)
      << ports;
  EXPECT_NE(ports.find("\r\n   Flow Control:\t"), std::string::npos) << ports;
  EXPECT_NE(ports.find("\r\n\r\nPrinter Port (LPT1)\r\n  I/O Range: 0378-037A\r\n  Portname: LPT1\r\n\r\n"),
            std::string::npos)
      << ports;
  EXPECT_EQ(ports.find("System Timer"), std::string::npos) << ports;
}

// This machine's uninstall entries, with a few of the test's own among them,
// sorted without regard to letter case.
TEST(Software, ThisMachinesProgramsInSortedOrder) {
  struct Fixture {
    const char* key;
    const char* name;
    bool uninstall;
  } fixtures[] = {{"HalvixTest-1", "halvix test zulu", true},
                  {"HalvixTest-2", "Halvix Test Alpha", true},
                  {"HalvixTest-3", "HALVIX TEST MIKE", true},
                  {"HalvixTest-4", "Halvix Test Hidden", false}};
  for (const Fixture& f : fixtures) {
    HKEY k = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\" + f.key).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(k, "DisplayName", 0, REG_SZ, (const BYTE*)f.name, (DWORD)strlen(f.name) + 1);
    if (f.uninstall) ::RegSetValueExA(k, "UninstallString", 0, REG_SZ, (const BYTE*)"x.exe", 6);
    ::RegCloseKey(k);
  }
  std::string text;
  {
    Server server(false);
    ASSERT_NE(server.window(), nullptr);
    EXPECT_TRUE(server.Request(suite::INFO_SOFTWARE, &text));
  }
  for (const Fixture& f : fixtures) ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\" + f.key).c_str());

  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(text, &lines));
  ASSERT_GE(lines.size(), 5u) << Text(lines);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "@3Software");
  std::vector<std::string> names(lines.begin() + 2, lines.end());
  std::printf("[ machine  ] %zu programs listed\n", names.size());
  auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  EXPECT_LT(at("Halvix Test Alpha"), at("HALVIX TEST MIKE")) << Text(lines);
  EXPECT_LT(at("HALVIX TEST MIKE"), at("halvix test zulu")) << Text(lines);
  EXPECT_LT(at("halvix test zulu"), (long)names.size()) << Text(lines);
  EXPECT_EQ(at("Halvix Test Hidden"), (long)names.size()) << "listed without an uninstall command";
  for (size_t i = 1; i < names.size(); ++i)
    EXPECT_LE(::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, names[i - 1].c_str(), -1, names[i].c_str(), -1),
              CSTR_EQUAL)
        << names[i - 1] << " before " << names[i];
}

// A server that closes while its worker lists many programs ends promptly,
// and no worker outlives it.
TEST(Software, CloseDuringTheListing) {
  const int kEntries = 400;
  for (int i = 0; i < kEntries; ++i) {
    HKEY k = nullptr;
    std::string key = std::string(kUninstall) + "\\HalvixClose-" + std::to_string(i);
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    std::string name = "Halvix Close " + std::to_string(kEntries - i);
    ::RegSetValueExA(k, "DisplayName", 0, REG_SZ, (const BYTE*)name.c_str(), (DWORD)name.size() + 1);
    ::RegSetValueExA(k, "UninstallString", 0, REG_SZ, (const BYTE*)"x.exe", 6);
    ::RegCloseKey(k);
  }
  DWORD exitCode = 1;
  double closeMs = 0;
  {
    Server server(false);
    ASSERT_NE(server.window(), nullptr);
    MessageCatcher catcher;
    // The request and the close reach the server's thread one after the other.
    ::PostMessageW(server.window(), kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), suite::INFO_SOFTWARE);
    DWORD t0 = ::GetTickCount();
    server.PostClose();
    EXPECT_TRUE(server.process().WaitExit(30000));
    closeMs = (double)(::GetTickCount() - t0);
    exitCode = server.process().ExitCode();
  }
  for (int i = 0; i < kEntries; ++i)
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\HalvixClose-" + std::to_string(i)).c_str());
  EXPECT_EQ(exitCode, 0u) << "request workers outlived the server";
  std::printf("[ measured ] closed %.0f ms after a software request\n", closeMs);
}
