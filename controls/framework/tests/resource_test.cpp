// The runner in a program of its own: resources from the library named after
// the program, and on Windows 9x the system-access library's start-up call.
#include <gtest/gtest.h>

#include "appkit/registry.h"
#include "testsupport/process.h"

namespace {

const wchar_t kProbe[] = L"ctlfw\\ctlfw_runner_probe.exe";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\ctlfw_runner_probe.exe";

DWORD RunProbe(const wchar_t* system) {
  testsupport::Process p;
  EXPECT_TRUE(p.Start(testsupport::TestBinDir() + kProbe, system)) << p.LastError();
  EXPECT_TRUE(p.WaitExit(20000));
  return p.ExitCode();
}

TEST(RunnerModule, ResourceLibraryServesAndNtSkipsTheSystemAccessLibrary) {
  EXPECT_EQ(RunProbe(L"nt"), 0u);
}

TEST(RunnerModule, Windows9xMakesTheStartupCall) {
  ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98"));
  DWORD code = RunProbe(L"9x");
  appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
  EXPECT_EQ(code, 0u);
}

}  // namespace
