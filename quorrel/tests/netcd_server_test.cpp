// KytNET.IFO, KytCDROM.IFO and their summary lines end to end: the test host
// starts the server, the test asks it for a category and compares the file
// with what the system tells this process (user, computer, sockets, drives,
// volumes). The pool's prefixes have no network provider (the category is
// then the one line of a failed enumeration) and no CD-ROM drive. Under
// tests/own_prefix.sh the prefix has a CD-ROM drive R: whose label and
// serial the script chose (HALVIX_CDROM_*) and a network provider of ours
// with three connected drives (HALVIX_NET_PROVIDER).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <winnetwk.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "infofile.h"
#include "suite/info.h"

using namespace infotest;

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

std::string Env(const char* name) {
  char value[256] = {};
  DWORD n = ::GetEnvironmentVariableA(name, value, sizeof(value));
  return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

// What the system says of the provider enumeration in this process.
bool ConnectedEnumerationOpens() {
  HANDLE e = nullptr;
  if (::WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, RESOURCEUSAGE_CONTAINER, nullptr, &e) != NO_ERROR)
    return false;
  ::WNetCloseEnum(e);
  return true;
}

std::string SocketsDescription() {
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(2, 0), &data) != 0) return {};
  ::WSACleanup();
  return data.szDescription;
}

// The lines after `heading` up to the next empty line.
std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& heading) {
  std::vector<std::string> body;
  auto at = std::find(lines.begin(), lines.end(), heading);
  if (at == lines.end()) return body;
  for (++at; at != lines.end() && !at->empty(); ++at) body.push_back(*at);
  return body;
}

class Win98Setting {
 public:
  Win98Setting() {
    HKEY k = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
        ERROR_SUCCESS) {
      ::RegSetValueExW(k, L"Version", 0, REG_SZ, (const BYTE*)L"win98", sizeof(L"win98"));
      ::RegCloseKey(k);
    }
  }
  ~Win98Setting() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\quorrel_host.exe";
};

}  // namespace

TEST(NetworkServer, TheCategoryDescribesThisMachine) {
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  std::vector<std::string> lines = RequestLines(suite::INFO_NETWORK);
  std::string all = Joined(lines);
  std::printf("[ machine  ] KytNET.IFO:\n%s", all.c_str());
  ASSERT_FALSE(lines.empty());
  if (!ConnectedEnumerationOpens()) {
    EXPECT_EQ(lines, (std::vector<std::string>{"", "@3Network:\t"}));
    return;
  }
  char user[256] = {}, computer[256] = {};
  DWORD size = 255;
  bool haveUser = ::WNetGetUserA(nullptr, user, &size) == NO_ERROR;
  size = 255;
  ASSERT_TRUE(::GetComputerNameA(computer, &size));
  std::vector<std::string> head{""};
  if (haveUser) head.insert(head.end(), {"@3User Name", std::string("\t") + user});
  head.insert(head.end(), {"@3Computer Name", std::string("\t") + computer, "", "@3Network Adapters\t"});
  ASSERT_GE(lines.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head) << all;
  for (const std::string& adapter : Section(lines, "@3Network Adapters\t"))
    EXPECT_TRUE(adapter.size() > 1 && adapter[0] == '\t') << adapter;

  // The provider of tests/own_prefix.sh reports three connected drives.
  std::string provider = Env("HALVIX_NET_PROVIDER");
  if (!provider.empty()) {
    EXPECT_EQ(Section(lines, "@3" + provider),
              (std::vector<std::string>{"\t\\\\fileserv\\public (F:) ", "\t\\\\fileserv\\home (G:) ",
                                        "\t\\\\fileserv\\scratch (H:) "}))
        << all;
  }

  std::string sockets = SocketsDescription();
  ASSERT_FALSE(sockets.empty());
  std::vector<std::string> socketLines = Section(lines, "@3Windows Sockets\t");
  ASSERT_EQ(socketLines.size(), 4u) << all;
  EXPECT_EQ(socketLines[0], "\t" + sockets);
  EXPECT_EQ(socketLines[2].rfind("\tMax. # of Sockets: ", 0), 0u);
  EXPECT_EQ(socketLines[3].rfind("\tMax. UDP size: ", 0), 0u);
  // Wine's dial-up library lists no entries and no connections.
  auto dialUp = std::find(lines.begin(), lines.end(), "@3Dial-Up Networking");
  ASSERT_NE(dialUp, lines.end()) << all;
  EXPECT_EQ(std::vector<std::string>(dialUp + 1, lines.end()),
            (std::vector<std::string>{"@3\t[Phonebook]", "\tNone.", "", "@3\t[Active Connection]", "\tNone.", ""}));
}

// Windows 9x (Wine's per-program setting): the components come from the
// Enum branches, which this machine does not have.
TEST(NetworkServer, OnWindows9xTheBindingsSectionSaysNotAvailable) {
  Win98Setting win98;
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  std::vector<std::string> lines = RequestLines(suite::INFO_NETWORK);
  std::string all = Joined(lines);
  if (!ConnectedEnumerationOpens()) {
    EXPECT_EQ(lines, (std::vector<std::string>{"", "@3Network:\t"}));
    return;
  }
  std::printf("[ machine  ] KytNET.IFO as Windows 98:\n%s", all.c_str());
  EXPECT_NE(all.find("\n\n@3Installed Network Components / Bindings\tN/A\n\n"), std::string::npos) << all;
  EXPECT_EQ(all.find("@3Network Adapters"), std::string::npos) << all;
  EXPECT_NE(all.find("\n@3Windows Sockets\t\n"), std::string::npos) << all;
}

// The summary's network block (switched on here) and its CD-ROM line.
TEST(NetworkServer, SummaryBlocks) {
  const wchar_t* network = suite::kInfoSwitches[suite::SW_NETWORK_SUMMARY].name;
  SetDword(suite::kQuorrelSettingKey, network, 1);
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  std::vector<std::string> lines = RequestLines(suite::INFO_SUMMARY);
  DeleteValue(suite::kQuorrelSettingKey, network);
  std::string all = Joined(lines);
  std::string drive = Env("HALVIX_CDROM_DRIVE");
  EXPECT_NE(all.find("\nCD-ROM:\t" + (drive.empty() ? std::string("N/A") : drive + ":") + "\n"), std::string::npos)
      << all;
  std::string block = ConnectedEnumerationOpens() ? "\n@3Network\nNetwork:\t" + Env("HALVIX_NET_PROVIDER") + "\n"
                                                  : "\n@3Network\n\n@3Network:\t\n";
  size_t at = all.find(block);
  ASSERT_NE(at, std::string::npos) << all;
  size_t sockets = all.find("\nWindows Sockets:\t" + SocketsDescription() + "\n", at);
  EXPECT_NE(sockets, std::string::npos) << all;
}

// The pool's prefixes have no CD-ROM drive and no IDE device.
TEST(CdromServer, NoDriveInThisPrefix) {
  if (!Env("HALVIX_CDROM_DRIVE").empty()) GTEST_SKIP() << "the prefix has a CD-ROM drive";
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  std::vector<std::string> lines = RequestLines(suite::INFO_CDROM);
  EXPECT_EQ(lines, (std::vector<std::string>{"", "No Logical CD-ROM Drive Available!"})) << Joined(lines);
}

// The drive tests/own_prefix.sh defined: a directory with a label and a
// serial number of its choice, seen by the system as a CD-ROM.
TEST(CdromServer, TheDriveOfThisPrefixIsDescribed) {
  std::string drive = Env("HALVIX_CDROM_DRIVE");
  if (drive.empty()) GTEST_SKIP() << "run by tests/own_prefix.sh";
  std::string root = drive + ":\\";
  ASSERT_EQ(::GetDriveTypeA(root.c_str()), (UINT)DRIVE_CDROM);
  char label[256] = {}, fs[256] = {};
  DWORD serial = 0, maxName = 0, flags = 0;
  ASSERT_TRUE(::GetVolumeInformationA(root.c_str(), label, 255, &serial, &maxName, &flags, fs, 255));
  EXPECT_EQ(label, Env("HALVIX_CDROM_LABEL"));
  char serialText[16];
  std::snprintf(serialText, sizeof(serialText), "%lX", (unsigned long)serial);
  EXPECT_EQ(serialText, Env("HALVIX_CDROM_SERIAL"));
  // Free and total space of the drive now, in MB.
  auto measure = [&](double& freeMB, double& totalMB) {
    ULARGE_INTEGER avail{}, total{}, freeBytes{};
    ASSERT_TRUE(::GetDiskFreeSpaceExA(root.c_str(), &avail, &total, &freeBytes));
    freeMB = freeBytes.QuadPart / 1048576.0;
    totalMB = total.QuadPart / 1048576.0;
  };

  // The NT family and Windows 98 (Wine's per-program setting) describe the
  // drive alike: Wine's drive device answers no SCSI inquiry.
  for (bool nine : {false, true}) {
    SCOPED_TRACE(nine ? "Windows 98" : "NT family");
    std::unique_ptr<Win98Setting> win98(nine ? new Win98Setting : nullptr);
    SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
    // Other programs write to the same file system while the server
    // answers: its free space is taken on both sides of the request.
    double freeBefore = 0, freeAfter = 0, totalMB = 0;
    ASSERT_NO_FATAL_FAILURE(measure(freeBefore, totalMB));
    std::vector<std::string> lines = RequestLines(suite::INFO_CDROM);
    ASSERT_NO_FATAL_FAILURE(measure(freeAfter, totalMB));
    std::string all = Joined(lines);
    std::printf("[ machine  ] KytCDROM.IFO%s:\n%s", nine ? " as Windows 98" : "", all.c_str());
    char volume[512];
    std::snprintf(volume, sizeof(volume),
                  "\n@3Logical CD-ROM Drive\t%s\nFile System:\t%s\nSerial No.:\t%lX\nCD-ROM Title:\t%s\n"
                  "Max Filename Legnth:\t%lu\n",
                  root.c_str(), fs, (unsigned long)serial, label, (unsigned long)maxName);
    ASSERT_EQ(all.rfind(volume, 0), 0u) << all;
    // The sizes of the file system that holds the directory: other programs
    // change its free space while the test runs, never its size.
    double used = -1, freeSpace = -1, totalSpace = -1;
    ASSERT_EQ(std::sscanf(all.c_str() + std::strlen(volume),
                          "Used Space:\t%lf MB\nFree space:\t%lf MB\nTotal space:\t%lf MB\n", &used, &freeSpace,
                          &totalSpace),
              3)
        << all;
    char expectedTotal[64], writtenTotal[64];
    std::snprintf(expectedTotal, sizeof(expectedTotal), "%.2f", totalMB);
    std::snprintf(writtenTotal, sizeof(writtenTotal), "%.2f", totalSpace);
    EXPECT_STREQ(writtenTotal, expectedTotal);
    EXPECT_NEAR(used + freeSpace, totalSpace, 0.02);
    EXPECT_GE(freeSpace, std::min(freeBefore, freeAfter) - 64.0);
    EXPECT_LE(freeSpace, std::max(freeBefore, freeAfter) + 64.0);
    EXPECT_EQ(all.substr(all.size() - 2), "\n\n") << "one drive, then no IDE device";
    EXPECT_EQ(std::count(all.begin(), all.end(), '@'), 1) << all;
  }
}
