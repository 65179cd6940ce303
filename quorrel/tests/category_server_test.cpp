// Categories end to end: a host program starts the server and this test asks
// it for a category. KytPRT.IFO lists the test scripts' default printer "PDF"
// as local and default, with its port and the drivers the spooler itself
// reports; KytVIDEO.IFO describes this display as the system does.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;
using namespace infotest;

namespace {

std::vector<std::string> SpoolerDrivers() {
  std::vector<std::string> names;
  DWORD needed = 0, count = 0;
  ::EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!::EnumPrinterDriversA(nullptr, nullptr, 3, buffer.data(), needed, &needed, &count)) return names;
  auto* d = reinterpret_cast<DRIVER_INFO_3A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names.push_back(d[i].pName ? d[i].pName : "");
  return names;
}

}  // namespace

TEST(PrinterServer, ThePdfPrinterIsListedAsLocalAndDefault) {
  wchar_t pdfDir[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"HALVIX_PDF_DIR", pdfDir, MAX_PATH)) GTEST_SKIP() << "no PDF printer";
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);

  std::vector<std::string> lines = RequestLines(suite::INFO_PRINTER);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "@3Printer(s)");
  auto pdf = std::find(lines.begin(), lines.end(), "\tPDF (LOCAL, DEFAULT) ");
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  ASSERT_NE(pdf, lines.end()) << "no line for the PDF printer in:\n" << all;
  ASSERT_LT(pdf + 2, lines.end());
  EXPECT_EQ(pdf[1].rfind("\tPORT: ", 0), 0u) << pdf[1];
  EXPECT_GT(pdf[1].size(), std::string("\tPORT: ").size()) << "a port name";
  EXPECT_EQ(pdf[2], "");

  // The drivers the spooler reports, each with a path line.
  auto heading = std::find(lines.begin(), lines.end(), "@3Printer Drivers");
  ASSERT_NE(heading, lines.end());
  EXPECT_EQ(heading[-1], "");
  std::vector<std::string> drivers = SpoolerDrivers();
  ASSERT_FALSE(drivers.empty());
  ASSERT_EQ(lines.end() - heading, (long)(1 + 3 * drivers.size()));
  for (size_t i = 0; i < drivers.size(); ++i) {
    EXPECT_EQ(heading[1 + 3 * i], "\t" + drivers[i]);
    EXPECT_EQ(heading[2 + 3 * i].rfind("\t", 0), 0u);
    EXPECT_GT(heading[2 + 3 * i].size(), 1u) << "a driver path";
    EXPECT_EQ(heading[3 + 3 * i], "");
  }
}

TEST(VideoServer, TheDisplayIsDescribedAsTheSystemSeesIt) {
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  std::vector<std::string> lines = RequestLines(suite::INFO_VIDEO);
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], ";Video Info");
  EXPECT_EQ(lines[2], "@3Drivers Information");
  EXPECT_EQ(all.find("@3VGA BIOS Information"), std::string::npos) << "NT family: display lines only";
  DEVMODEA dm{};
  dm.dmSize = sizeof(dm);
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm));
  char current[128];
  snprintf(current, sizeof(current), "Current Resolution:\t%dx%d (", GetSystemMetrics(SM_CXSCREEN),
           GetSystemMetrics(SM_CYSCREEN));
  EXPECT_NE(all.find(current), std::string::npos) << all;
  EXPECT_NE(all.find("\nDirectDraw Support:\t"), std::string::npos) << all;
  auto heading = std::find(lines.begin(), lines.end(), "@3Supported Video Modes");
  ASSERT_NE(heading, lines.end()) << all;
  size_t listed = lines.end() - heading - 1, marked = 0;
  EXPECT_GE(listed, 1u);
  EXPECT_LE(listed, 52u);
  for (auto l = heading + 1; l != lines.end(); ++l) {
    EXPECT_EQ(l->rfind("Video Mode ", 0), 0u) << *l;
    if (l->find("(current mode)") != std::string::npos) {
      ++marked;
      char mode[64];
      snprintf(mode, sizeof(mode), "\t%lux%lu, %lu-bit color", dm.dmPelsWidth, dm.dmPelsHeight, dm.dmBitsPerPel);
      EXPECT_NE(l->find(mode), std::string::npos) << *l;
    }
  }
  EXPECT_LE(marked, 1u);
  std::printf("[ machine  ] %zu display modes listed, current marked %zu time(s)\n", listed, marked);
}

// Windows 9x (Wine's per-program setting): the video-BIOS writer comes first
// and, without the system-access library, writes its heading alone; the
// display writer adds the hardware heading and marks no current mode.
TEST(VideoServer, OnWindows9xTheBiosHeadingStandsAloneWithoutTheLibrary) {
  const wchar_t* key = L"Software\\Wine\\AppDefaults\\quorrel_host.exe";
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueExW(k, L"Version", 0, REG_SZ, (const BYTE*)L"win98", sizeof(L"win98"));
  RegCloseKey(k);
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  std::vector<std::string> lines = RequestLines(suite::INFO_VIDEO);
  RegDeleteTreeW(HKEY_CURRENT_USER, key);
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  EXPECT_EQ(all.rfind("\n@3VGA BIOS Information\n;Video Info\n\n@3Drivers Information\n", 0), 0u) << all;
  EXPECT_NE(all.find(";Video Info\n\n@3Hardware Support\n\n@3Driver Support\nCurrent Resolution:\t"),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("@3Supported Video Modes\n"), std::string::npos);
  EXPECT_EQ(all.find("(current mode)"), std::string::npos);
}
