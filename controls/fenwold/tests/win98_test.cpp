// The disk control's Windows 9x branch end to end: a probe program of the
// control's runner and page runs under Wine's per-program Windows 98
// setting, with a stand-in system-access library beside it, and presses
// Verify; on the NT family the button is hidden and nothing runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "appkit/registry.h"
#include "testsupport/process.h"

namespace {

const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\fenwold_verify_probe.exe";

std::string RunProbe(bool win98, const std::wstring& cmdLine) {
  if (win98)
    appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98");
  else
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
  std::wstring dir = testsupport::TestBinDir() + L"fenwold9x\\";
  std::wstring out = testsupport::TempDir() + L"fenwold_verify.txt";
  ::DeleteFileW(out.c_str());
  testsupport::Process p;
  EXPECT_TRUE(p.Start(dir + L"fenwold_verify_probe.exe", L"\"" + out + L"\" " + cmdLine, dir));
  EXPECT_TRUE(p.WaitExit(60000));
  EXPECT_EQ(p.ExitCode(), 0u);
  appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
  std::ifstream in(out.c_str(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  ::DeleteFileW(out.c_str());
  return s.str();
}

}  // namespace

TEST(FenwoldWin98, VerifyRunsTheFourTestsThroughTheSystemAccessLibrary) {
  std::string text = RunProbe(true, L"-");
  EXPECT_EQ(text,
            "9x visible enabled\n"
            "Drive No.\t 0\n"
            "Verify Sector Test...\n"
            "Track #  4\tOK\n"
            "Track #  5\tFAILED\n"
            "Head Seek Test...\tPASSED\n"
            "Funnel Seek Test...\tPASSED\n"
            "Random Seek Test...\tPASSED\n"
            // 6 verifies, 4 heads, 39 funnel steps, 20 random seeks
            "requests 69\n");
}

TEST(FenwoldWin98, FloppyModeVerifiesDriveA) {
  std::string text = RunProbe(true, L"-Floppy");
  EXPECT_EQ(text,
            "9x visible enabled\n"
            "Drive No.\t 0\n"
            "Verify Sector Test...\tPASSED\n"
            "Head Seek Test...\tPASSED\n"
            "Funnel Seek Test...\tPASSED\n"
            "Random Seek Test...\tPASSED\n"
            "requests 201\n");
}

TEST(FenwoldWin98, TheNtFamilyHidesVerify) {
  EXPECT_EQ(RunProbe(false, L"-"), "nt hidden disabled\nrequests -1\n");
}
