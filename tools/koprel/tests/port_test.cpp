// KOPREL.EXE end to end on COM ports of this test's Wine prefix that
// with_com_ports.sh backs with pseudo-terminals: COM2 has an echo peer (a
// loopback plug), COM3 a silent peer, COM4 nothing at all. (COM1 is the
// machine's own port where it has one: Wine maps it to the device.) The modem lines
// come from simulated UARTs (the tester's test build) or, for the tester
// itself, from the machine, where this process has no port access.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "appkit/registry.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\Koprel\\Setting";

std::wstring SimulatedTester() { return TestBinDir() + L"portsim\\KOPREL.EXE"; }

class KoprelPorts : public ::testing::Test {
 protected:
  KeyAside aside{kKey, L"Software\\Kyt\\TestAside\\Koprel"};
  std::wstring dir;
  void SetUp() override {
    char flag[8] = {};
    if (!::GetEnvironmentVariableA("HALVIX_COM_PORTS", flag, sizeof flag)) GTEST_SKIP() << "run through with_com_ports.sh";
    dir = TempDir() + L"koprel_ports\\";
    RemoveTree(dir);
    ::CreateDirectoryW(dir.c_str(), nullptr);
  }
  void TearDown() override { RemoveTree(dir); }

  // COM2 chosen in the settings. The peer is a script on a busy machine: a
  // gap of more than the usual 50 ms between the bytes it sends back is no
  // fault of the line.
  static void UseCom2() {
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"COM1", 0);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"COM2", 1);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"ReadIntervalTimeout", 1000);
  }

  // Runs a tester in the scratch folder; its KOPREL.TXT.
  std::string Run(const std::wstring& exe, const char* plugs, const char* config) {
    ::SetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", plugs);
    ::DeleteFileW((dir + L"CONFIG.TXT").c_str());
    if (config) WriteFileBytes(dir + L"CONFIG.TXT", config);
    Process p;
    EXPECT_TRUE(p.Start(exe, L"", dir)) << exe.c_str();
    EXPECT_TRUE(p.WaitExit(120000));
    EXPECT_EQ(p.ExitCode(), 0u);
    return ReadFileBytes(dir + L"KOPREL.TXT");
  }
};

}  // namespace

TEST_F(KoprelPorts, DataLoopsThroughTheEchoPeerAndNotThroughSilentOrMissingPorts) {
  struct Case {
    const char* name;
    const char* plugs;
    const char* config;
    std::string expected;
    DWORD plugType = 0;
    // A read of a port that sends nothing back lasts its whole time-out, on
    // each of the three passes: a short one through the tester's own
    // settings (the constant part alone; 0 keeps the usual time-out).
    DWORD readTotalMs = 0;
    // Every read time-out set to 0, which asks for no end at all.
    bool noReadTimeouts = false;
  } cases[] = {
      {"echo peer on COM2", "uart:other", nullptr, "Serial Port Loopback Test\tPASSED [2F8] \n"},
      {"plug type 1 set in the settings", "uart:type1", nullptr, "Serial Port Loopback Test\tPASSED [2F8] \n", 1},
      {"COM2 named in CONFIG.TXT", "uart:other", "COM|2\r\n",
       "Testing Serial Port(s)\t\t2F8h \nSerial Port Loopback Test\tPASSED [2F8] \n"},
      {"silent peer: the read times out", "uart:other", "COM|3\r\n",
       "Testing Serial Port(s)\t\t3E8h \nSerial Port Loopback Test\tFAILED [3E8][TX/RV][10]\n", 0, 300},
      // COM2's echo still has a second to come back.
      {"good COM2, silent COM3", "uart:other", "COM|3\nCOM|2\n",
       "Testing Serial Port(s)\t\t2F8h 3E8h \nSerial Port Loopback Test\tFAILED [3E8][TX/RV][10]\n", 0, 1000},
      // Read time-outs of 0 are range-checked: the read still ends.
      {"silent peer with no read time-outs", "uart:other", "COM|3\r\n",
       "Testing Serial Port(s)\t\t3E8h \nSerial Port Loopback Test\tFAILED [3E8][TX/RV][10]\n", 0, 0, true},
      {"no COM4 in the prefix", "uart:other", "COM|4\n",
       "Testing Serial Port(s)\t\t2E8h \nSerial Port Loopback Test\tFAILED [2E8][TX/RV][4]\n"},
      {"data loops but the modem lines do not", "uart:dataonly", nullptr,
       "Serial Port Loopback Test\tFAILED [2F8][DTR]\n"},
  };
  for (const Case& c : cases) {
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"PlugType", c.plugType);
    UseCom2();
    if (c.readTotalMs) {
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"ReadTotalTimeoutConstant", c.readTotalMs);
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"ReadTotalTimeoutMultiplier", 0);
    }
    if (c.noReadTimeouts)
      for (const wchar_t* name : {L"ReadIntervalTimeout", L"ReadTotalTimeoutMultiplier", L"ReadTotalTimeoutConstant"})
        appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, 0);
    EXPECT_EQ(Run(SimulatedTester(), c.plugs, c.config), c.expected) << c.name;
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
  }
}

TEST_F(KoprelPorts, TheTesterWithoutPortAccessReportsThePortNotDetected) {
  // No port driver here: the registers are never touched, and the verdict
  // says so, whatever is on the line.
  EXPECT_EQ(Run(SuitePath(L"KOPREL.EXE"), "", nullptr), "Serial Port Loopback Test\tFAILED [3F8][port not detected]\n");
  EXPECT_EQ(Run(SuitePath(L"KOPREL.EXE"), "", "COM|2\nCOM|4\n"),
            "Testing Serial Port(s)\t\t2F8h 2E8h \nSerial Port Loopback Test\tFAILED [2F8][port not detected]\n");
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kKey, L"COM1", 9), 0u);
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kKey, L"COM2", 9), 1u) << "the selection the run used is kept";
}
