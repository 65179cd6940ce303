// The parallel tester's register test and verdict on simulated ports with
// loopback plugs, and its run without the port driver.
#include <gtest/gtest.h>

#include <string>

#include "appkit/registry.h"
#include "lanvet/lanvet.h"
#include "portio/simulated.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/smalldisk.h"

using namespace lanvet;

namespace {

// A port whose n-th status read (counted from 0) comes back with busy
// flipped: a fault at one exact step of the test.
struct FlakyStatus : portio::SimulatedPorts {
  int badRead = -1, reads = 0;
  uint8_t In(uint16_t port) override {
    uint8_t v = SimulatedPorts::In(port);
    if (port == 0x379 && reads++ == badRead) v ^= 0x80;
    return v;
  }
};

}  // namespace

TEST(LanvetPort, StagesOfTheRegisterTest) {
  struct Case {
    const char* name;
    uint8_t brokenLines;
    int badRead;
    int expected;
  } cases[] = {
      {"a good plug", 0, -1, -1},
      {"strobe not wired", 0x01, -1, kStageStrobeSelect},
      {"line feed not wired", 0x02, -1, kStageLineFeedPaperOut},
      {"select-in not wired", 0x08, -1, kStageSelectBusy},
      {"control lines but no data line", 0x10, -1, kStageData},
      {"second pattern of stage A", 0, 1, kStageLineFeedPaperOut},
      {"third pattern of stage B", 0, 6, kStageInitAck},
      {"last pattern of stage B", 0, 7, kStageSelectBusy},
      {"data low read", 0, 8, -1},  // busy is not looked at in the data stage
  };
  for (const Case& c : cases) {
    FlakyStatus io;
    io.AddParallel(0x378, portio::ParallelPlug{c.brokenLines}, 0x35);
    io.badRead = c.badRead;
    EXPECT_EQ(PortTest(io, 0x378), c.expected) << c.name;
    EXPECT_EQ(io.Register(0x378 + kExtendedControl), 0x35) << c.name << ": the extended control register is put back";
  }
  EXPECT_STREQ(StageName(kStageStrobeSelect), "strb-slct");
  EXPECT_STREQ(StageName(kStageData), "d0-error");
}

TEST(LanvetPort, VerdictOverTheSelectedPorts) {
  struct Case {
    const char* name;
    Settings settings;
    const char* plug;
    std::string expected;
  } cases[] = {
      {"LPT1 good", {{1, 0, 0}}, "lpt:plug", "Printer Port Loopback Test\tPASSED [378] \n"},
      {"LPT1 and LPT3 good", {{1, 0, 1}}, "lpt:plug", "Printer Port Loopback Test\tPASSED [378] [3BC] \n"},
      {"nothing selected", {{0, 0, 0}}, "lpt:plug", "Printer Port Loopback Test\tFAILED [no port selected]\n"},
      {"only exactly 1 selects", {{2, 0, 0}}, "lpt:plug", "Printer Port Loopback Test\tFAILED [no port selected]\n"},
      {"no data line", {{1, 0, 0}}, "lpt:nodata", "Printer Port Loopback Test\tFAILED [378][d0-error]\n"},
      {"no port at all", {{0, 1, 0}}, "", "Printer Port Loopback Test\tFAILED [278][strb-slct]\n"},
      {"the first failure ends the run", {{0, 1, 1}}, "lpt:noinit",
       "Printer Port Loopback Test\tFAILED [278][init-ack]\n"},
  };
  for (const Case& c : cases) {
    portio::SimulatedAccess access;
    portio::FitPorts(&access.ports, c.plug);
    std::string lines;
    Verdict v = TestPorts(access, c.settings, &lines);
    EXPECT_EQ(lines + VerdictLine(v, c.settings), c.expected) << c.name;
  }
}

TEST(LanvetPort, LaterPortsAreNotTouchedAfterAFailure) {
  portio::SimulatedAccess access;
  access.ports.AddParallel(0x278, portio::ParallelPlug{0x10});
  access.ports.AddParallel(0x3BC, portio::ParallelPlug{}, 0x15);
  std::string lines;
  Settings s{{0, 1, 1}};
  TestPorts(access, s, &lines);
  EXPECT_EQ(access.ports.Register(0x3BC + kControl), 0) << "LPT3 was written";
}

TEST(LanvetPort, WithoutThePortDriverTheMissingDriverLineComesFirst) {
  portio::MachineAccess nt(true, L"\\\\.\\KYTNTIO", GENERIC_READ | GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL);
  Settings s{{0, 1, 1}};
  std::string lines;
  Verdict v = TestPorts(nt, s, &lines);
  EXPECT_EQ(lines + VerdictLine(v, s), "[kytntio.sys not found]\nPrinter Port Loopback Test\tFAILED [278][strb-slct]\n");
  EXPECT_FALSE(static_cast<portio::MachinePorts&>(nt.Io()).Refused()) << "no register was touched";
}

class LanvetRun : public ::testing::Test {
 protected:
  const std::wstring key = L"Software\\Kyt\\Lanvet\\Setting";
  testsupport::KeyAside aside{key, L"Software\\Kyt\\TestAside\\Lanvet"};
  std::wstring dir, previous;
  void SetUp() override {
    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    previous = cwd;
    UseDir(testsupport::TempDir() + L"lanvet_run\\");
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(previous.c_str());
    ::SetFileAttributesW((dir + L"LANVET.TXT").c_str(), FILE_ATTRIBUTE_NORMAL);
    testsupport::RemoveTree(dir);
  }
  // The run's current directory, made anew.
  void UseDir(const std::wstring& d) {
    ::SetCurrentDirectoryW(previous.c_str());
    if (!dir.empty()) testsupport::RemoveTree(dir);
    dir = d;
    testsupport::RemoveTree(dir);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::SetCurrentDirectoryW(dir.c_str());
  }
  int Run(const char* plug) {
    portio::SimulatedAccess access;
    portio::FitPorts(&access.ports, plug);
    return RunLanvet(access);
  }
  std::string Result() { return testsupport::ReadFileBytes(dir + L"LANVET.TXT"); }
};

TEST_F(LanvetRun, ResultFileInTheCurrentDirectoryAndSettingsBackUnchanged) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, key, L"LPT2", 7);
  EXPECT_EQ(Run("lpt:plug"), 0);
  EXPECT_EQ(Result(), "Printer Port Loopback Test\tPASSED [378] \n");
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, key, L"LPT1", 9), 1u);
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, key, L"LPT2", 9), 7u);
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, key, L"LPT3", 9), 0u);
}

// A result file the run cannot make is no verdict: a read-only old one stays
// as it was, and the ports are not tested.
TEST_F(LanvetRun, AReadOnlyOldResultStaysAsItWas) {
  const std::string old = "Printer Port Loopback Test\tPASSED [278] \n";
  ASSERT_TRUE(testsupport::WriteFileBytes(dir + L"LANVET.TXT", old));
  ::SetFileAttributesW((dir + L"LANVET.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
  portio::SimulatedAccess access;
  portio::FitPorts(&access.ports, "lpt:plug");
  EXPECT_EQ(RunLanvet(access), 0);
  EXPECT_EQ(Result(), old);
  EXPECT_EQ(access.ports.Register(0x378 + kControl), 0) << "LPT1 was tested";
}

// On the small disk of with_small_disk.sh: a verdict the disk has no room
// for leaves no file (an empty or cut LANVET.TXT would be read as a verdict),
// and with room again the verdict is written.
TEST_F(LanvetRun, SmallDiskAVerdictTheDiskHasNoRoomForLeavesNoFile) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  UseDir(disk.root() + L"lanvet\\");
  ASSERT_TRUE(disk.FillSpace());
  EXPECT_EQ(Run("lpt:plug"), 0);
  EXPECT_EQ(::GetFileAttributesW((dir + L"LANVET.TXT").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a result file of " << Result().size() << " bytes stayed";

  disk.Free();
  EXPECT_EQ(Run("lpt:plug"), 0);
  EXPECT_EQ(Result(), "Printer Port Loopback Test\tPASSED [378] \n");
}
