// The serial tester's logic on simulated UARTs and a stand-in communication
// link: line tests, probe, data loop, passes, configuration file and the
// lines of KOPREL.TXT.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "koprel/koprel.h"
#include "portio/simulated.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/smalldisk.h"

using namespace koprel;
using portio::UartPlug;

namespace {

// A COM port whose far end loops data back, failing at the step asked for.
struct FakeLink : SerialLink {
  int failAt = kDataOk;  // the data-test code of the step that fails
  bool corrupt = false;  // one byte comes back changed
  int opens = 0, closes = 0, writes = 0;
  bool open = false;
  std::string loop;
  DCB state{};

  bool Open(int) override {
    ++opens;
    return open = failAt != kDataOpen;
  }
  bool SetTimeouts(const COMMTIMEOUTS&) override { return failAt != kDataTimeouts; }
  bool GetState(DCB* dcb) override { return failAt != kDataGetState; }
  bool SetState(const DCB& dcb) override {
    state = dcb;
    return failAt != kDataSetState;
  }
  bool Purge() override { return failAt != kDataPurge; }
  bool Write(const uint8_t* data, DWORD n, DWORD* written) override {
    ++writes;
    *written = failAt == kDataWrite && n ? n - 1 : n;
    loop.assign(reinterpret_cast<const char*>(data), *written);
    if (corrupt && !loop.empty()) loop[loop.size() / 2] ^= 0x40;
    return true;
  }
  bool Read(uint8_t* data, DWORD n, DWORD* got) override {
    if (failAt == kDataRead) return false;
    *got = (DWORD)std::min<size_t>(n, loop.size());
    memcpy(data, loop.data(), *got);
    return true;
  }
  void Close() override {
    if (open) ++closes;
    open = false;
  }
};

struct Ports {
  portio::SimulatedAccess access;
  explicit Ports(std::vector<std::pair<uint16_t, UartPlug>> uarts) {
    for (auto& [base, plug] : uarts) access.ports.AddUart(base, plug);
  }
};

std::string Lines(const Verdict& v, const bool selected[kPortCount]) { return VerdictLine(v, selected); }

}  // namespace

TEST(KoprelLines, DtrAndRtsTestsOnSimulatedPlugs) {
  struct Case {
    const char* name;
    UartPlug plug;
    int plugType;
    int expected;
  } cases[] = {
      {"the usual plug", portio::kUartPlugOther, 0, -1},
      {"plug type 1", portio::kUartPlugType1, 1, -1},
      {"usual plug read as type 1", portio::kUartPlugOther, 1, kReasonDtr},
      {"type 1 plug read as the usual one", portio::kUartPlugType1, 0, kReasonDtr},
      {"data only, no modem lines", portio::kUartPlugDataOnly, 0, kReasonDtr},
      {"RTS misses RI", UartPlug{portio::kDcd | portio::kDsr, portio::kCts}, 0, kReasonRts},
      {"RTS drives one line too many", UartPlug{portio::kDcd | portio::kDsr, portio::kCts | portio::kDsr | portio::kRi},
       0, kReasonRts},
      {"DTR also drives CTS", UartPlug{portio::kDcd | portio::kDsr | portio::kCts, portio::kCts | portio::kRi}, 0,
       kReasonDtr},
  };
  for (const Case& c : cases) {
    portio::SimulatedPorts io;
    io.AddUart(0x2F8, c.plug);
    EXPECT_TRUE(ProbePort(io, 0x2F8)) << c.name;
    EXPECT_EQ(LineTest(io, 0x2F8, c.plugType), c.expected) << c.name;
    // Each register access waits first (hardware needs the time).
    EXPECT_GE(io.PausedMs(), 50u) << c.name;
  }
}

TEST(KoprelLines, ProbeFindsOnlyAUartThatKeepsTheScratchValue) {
  portio::SimulatedPorts io;
  io.AddUart(0x3F8, portio::kUartPlugOther);
  EXPECT_TRUE(ProbePort(io, 0x3F8));
  EXPECT_FALSE(ProbePort(io, 0x2F8));  // nothing there: 0xFF
  EXPECT_EQ(io.Register(0x3F8 + kScratch), 0x55);
}

TEST(KoprelData, EveryFailingStepHasItsCodeAndThePortIsClosed) {
  Settings s;
  for (int step : {kDataOpen, kDataTimeouts, kDataGetState, kDataSetState, kDataPurge, kDataWrite, kDataRead}) {
    FakeLink link;
    link.failAt = step;
    EXPECT_EQ(SerialDataTest(link, 1, s), step);
    EXPECT_EQ(link.closes, step == kDataOpen ? 0 : 1) << step;
    EXPECT_FALSE(link.open) << step;
  }
  FakeLink corrupt;
  corrupt.corrupt = true;
  EXPECT_EQ(SerialDataTest(corrupt, 1, s), kDataCompare);
  EXPECT_EQ(corrupt.writes, 1) << "the first bad cycle ends the loop";

  FakeLink good;
  EXPECT_EQ(SerialDataTest(good, 1, s), kDataOk);
  EXPECT_EQ(good.writes, 3) << "Loop 4 = three cycles";
  EXPECT_EQ(good.state.BaudRate, 19200u);
  EXPECT_EQ(good.state.ByteSize, 8);
  EXPECT_EQ(good.state.Parity, NOPARITY);
  EXPECT_EQ(good.state.StopBits, ONESTOPBIT);
  EXPECT_EQ(good.loop.size(), 256u);
}

TEST(KoprelData, TheSameSeededBytesEveryRunAndNothingSentWithLoopOne) {
  Settings s;
  s.loop = 2;
  s.bufferSize = 16;
  FakeLink a, b;
  ASSERT_EQ(SerialDataTest(a, 1, s), kDataOk);
  ASSERT_EQ(SerialDataTest(b, 2, s), kDataOk);
  EXPECT_EQ(a.loop, b.loop);
  EXPECT_NE(a.loop, std::string(16, '\0'));

  s.loop = 1;
  FakeLink none;
  EXPECT_EQ(SerialDataTest(none, 1, s), kDataOk);
  EXPECT_EQ(none.writes, 0);
  EXPECT_EQ(none.closes, 1);
}

TEST(KoprelTest, VerdictsOverThePortsAndPasses) {
  const UartPlug good = portio::kUartPlugOther;
  struct Case {
    const char* name;
    std::vector<std::pair<uint16_t, UartPlug>> uarts;
    std::vector<int> selected;  // 1-based port numbers
    int linkFails;
    int loop;
    std::string expected;
    int opens;  // data tests started
  } cases[] = {
      {"a good COM1", {{0x3F8, good}}, {1}, 0, 4, "Serial Port Loopback Test\tPASSED [3F8] \n", 1},
      {"COM1 and COM3", {{0x3F8, good}, {0x3E8, good}}, {1, 3}, 0, 4,
       "Serial Port Loopback Test\tPASSED [3F8] [3E8] \n", 2},
      {"nothing selected", {{0x3F8, good}}, {}, 0, 4, "Serial Port Loopback Test\tFAILED [no port selected or detected]\n", 0},
      {"no UART at COM1", {}, {1}, 0, 4, "Serial Port Loopback Test\tFAILED [3F8][port not detected]\n", 0},
      {"COM2 missing after a good COM1", {{0x3F8, good}}, {1, 2}, 0, 4,
       "Serial Port Loopback Test\tFAILED [2F8][port not detected]\n", 3},
      {"data but no modem lines", {{0x3F8, portio::kUartPlugDataOnly}}, {1}, 0, 4,
       "Serial Port Loopback Test\tFAILED [3F8][DTR]\n", 0},
      {"lines but no data back", {{0x2E8, good}}, {4}, kDataRead, 4,
       "Serial Port Loopback Test\tFAILED [2E8][TX/RV][10]\n", 3},
      {"the port cannot be opened", {{0x3F8, good}}, {1}, kDataOpen, 4,
       "Serial Port Loopback Test\tFAILED [3F8][TX/RV][4]\n", 3},
      {"Loop 1 sends nothing and passes", {{0x3F8, good}}, {1}, kDataWrite, 1,
       "Serial Port Loopback Test\tPASSED [3F8] \n", 1},
  };
  for (const Case& c : cases) {
    Ports ports(c.uarts);
    FakeLink link;
    link.failAt = c.linkFails;
    Settings s;
    s.loop = c.loop;
    bool selected[kPortCount] = {};
    for (int n : c.selected) selected[n - 1] = true;
    Verdict v = SerialLoopbackTest(ports.access, link, s, selected);
    EXPECT_EQ(Lines(v, selected), c.expected) << c.name;
    EXPECT_EQ(link.opens, c.opens) << c.name << ": a failed pass is tried three times in all";
  }
}

TEST(KoprelTest, WithoutThePortDriverNoRegisterIsTouched) {
  // Windows NT without the driver's device: the port counts as not found.
  portio::MachineAccess nt(true, L"\\\\.\\kytntio", 0, FILE_ATTRIBUTE_SYSTEM);
  FakeLink link;
  bool selected[kPortCount] = {true, false, true, false};
  Verdict v = SerialLoopbackTest(nt, link, Settings{}, selected);
  EXPECT_EQ(VerdictLine(v, selected), "Serial Port Loopback Test\tFAILED [3F8][port not detected]\n");
  EXPECT_EQ(link.opens, 0);
  EXPECT_FALSE(static_cast<portio::MachinePorts&>(nt.Io()).Refused());
}

TEST(KoprelTest, RefusedPortInstructionsReadAsNothingThere) {
  // Direct access as on Windows 9x, in a process without I/O permission:
  // the instructions are refused, the probe finds no UART, nothing crashes.
  portio::MachineAccess direct(false, L"", 0, 0);
  ASSERT_TRUE(direct.Acquire());
  EXPECT_FALSE(ProbePort(direct.Io(), 0x3F8));
  EXPECT_EQ(direct.Io().In(0x3F8 + kModemStatus), 0xFF);
  EXPECT_TRUE(static_cast<portio::MachinePorts&>(direct.Io()).Refused());
  FakeLink link;
  bool selected[kPortCount] = {true, false, false, false};
  EXPECT_EQ(VerdictLine(SerialLoopbackTest(direct, link, Settings{}, selected), selected),
            "Serial Port Loopback Test\tFAILED [3F8][port not detected]\n");
}

TEST(KoprelConfig, LinesThatSelectPorts) {
  struct Case {
    const char* text;
    std::vector<bool> expected;
  } cases[] = {
      {"COM|2\n", {false, true, false, false}},
      {"com | 3\r\nCOM|1\r\n", {true, false, true, false}},
      {";COM|1\nCOM|4", {false, false, false, true}},
      {"COM|0\nCOM|5\nCOM|12\nCOM|\n", {false, false, false, false}},
      {"COMX|1\nLPT|1\nCOM 1\n", {false, false, false, false}},
  };
  for (const Case& c : cases) {
    bool selected[kPortCount] = {true, true, true, true};
    ParseConfig(c.text, selected);
    EXPECT_EQ(std::vector<bool>(selected, selected + kPortCount), c.expected) << c.text;
  }
  std::string long_file;
  for (int i = 0; i < 1000; ++i) long_file += ";\n";
  bool selected[kPortCount];
  ParseConfig(long_file + "COM|1\n", selected);
  EXPECT_FALSE(selected[0]) << "only the first 1000 lines count";
}

TEST(KoprelConfig, TheFirstLine) {
  bool com2[kPortCount] = {false, true, false, false};
  bool com1and4[kPortCount] = {true, false, false, true};
  EXPECT_EQ(SelectionLine(Selection::ConfigFile, com2), "Testing Serial Port(s)\t\t2F8h \n");
  EXPECT_EQ(SelectionLine(Selection::AutoDetect, com1and4), "Auto-detect Serial Port(s)\t3F8h 2E8h \n");
  EXPECT_EQ(SelectionLine(Selection::Settings, com2), "");
}

// "-d" counts only among the arguments: the program's own path, quoted or
// not, may hold it (a suite in a folder named "Kyt-Diag").
TEST(KoprelConfig, TheNotepadSwitchIsReadFromTheArgumentsOnly) {
  const struct {
    const wchar_t* line;
    bool wants;
  } kCases[] = {
      {L"KOPREL.EXE -d", true},
      {L"\"C:\\x\\KOPREL.EXE\" -D", true},
      {L"KOPREL.EXE", false},
      {L"KOPREL.EXE d", false},
      {L"", false},
      {L"\"C:\\Kyt-Diag\\KOPREL.EXE\"", false},
      {L"\"C:\\Program Files\\Kyt-Diag\\KOPREL.EXE\"", false},
      {L"\"C:\\Program Files\\Kyt-Diag\\KOPREL.EXE\" -d", true},
      {L"\"C:\\Program Files\\Kyt-Diag\\KOPREL.EXE\"  \t-D ", true},
      {L"\"-d\\KOPREL.EXE\"", false},
      {L"C:\\Kyt-Diag\\KOPREL.EXE", false},
      {L"C:\\Kyt-Diag\\KOPREL.EXE -d", true},
      {L"C:\\Kyt-Diag\\KOPREL.EXE\t-d", true},
      {L"KOPREL.EXE \"-d\"", true},
      {L"KOPREL.EXE -dump", true},
      // An argument that only holds "-d" further on is not the switch.
      {L"KOPREL.EXE C:\\Kyt-Diag\\CONFIG.TXT", false},
      {L"KOPREL.EXE \"C:\\My Kyt -d\"", false},
      {L"\"C:\\Kyt-Diag\\KOPREL.EXE", false},  // an unclosed quote: all of it is the name
  };
  for (const auto& c : kCases) EXPECT_EQ(WantsNotepad(c.line), c.wants) << appkit::Narrow(c.line);
  EXPECT_EQ(CommandArguments(L"\"C:\\Program Files\\Kyt-Diag\\KOPREL.EXE\" -a  \"b c\"d"),
            (std::vector<std::wstring>{L"-a", L"b cd"}));
}

class KoprelRun : public ::testing::Test {
 protected:
  const std::wstring key = L"Software\\Kyt\\Koprel\\Setting";
  testsupport::KeyAside aside{key, L"Software\\Kyt\\TestAside\\Koprel"};
  std::wstring dir, previous;
  void SetUp() override {
    dir = testsupport::TempDir() + L"koprel_run\\";
    testsupport::RemoveTree(dir);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    previous = cwd;
    ::SetCurrentDirectoryW(dir.c_str());
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(previous.c_str());
    testsupport::RemoveTree(dir);
  }
  std::string Result() { return testsupport::ReadFileBytes(dir + L"KOPREL.TXT"); }
  DWORD Value(const wchar_t* name) { return appkit::RegReadDword(HKEY_CURRENT_USER, key, name, 99); }
};

TEST_F(KoprelRun, ProbeOnWindows9xSelectsTheUartsFoundAndKeepsThem) {
  Ports ports({{0x3F8, portio::kUartPlugOther}, {0x3E8, portio::kUartPlugOther}});
  // The read that finds no far end waits out the constant part of its
  // time-out only, on each of its three passes.
  appkit::RegWriteDword(HKEY_CURRENT_USER, key.c_str(), L"ReadTotalTimeoutMultiplier", 0);
  ASSERT_EQ(RunKoprel(ports.access, true, L"KOPREL.EXE"), 0);
  std::string result = Result();
  EXPECT_EQ(result.substr(0, result.find('\n') + 1), "Auto-detect Serial Port(s)\t3F8h 3E8h \n");
  // The data loop runs through this prefix's COM1, which has no far end.
  EXPECT_NE(result.find("\nSerial Port Loopback Test\tFAILED [3F8][TX/RV]["), std::string::npos) << result;
  EXPECT_EQ(Value(L"COM1"), 1u);
  EXPECT_EQ(Value(L"COM2"), 0u);
  EXPECT_EQ(Value(L"COM3"), 1u);
  EXPECT_EQ(Value(L"COM4"), 0u);
  EXPECT_EQ(Value(L"BufferSize"), 256u) << "every setting is written back";
  EXPECT_EQ(Value(L"ReadTotalTimeoutConstant"), 750u);
}

TEST_F(KoprelRun, TheConfigurationFileChoosesOverSettingsAndProbe) {
  testsupport::WriteFileBytes(dir + L"CONFIG.TXT", "; ports to test\r\nCOM|2\r\n");
  Ports ports({{0x3F8, portio::kUartPlugOther}});
  ASSERT_EQ(RunKoprel(ports.access, true, L"KOPREL.EXE"), 0);
  EXPECT_EQ(Result(), "Testing Serial Port(s)\t\t2F8h \nSerial Port Loopback Test\tFAILED [2F8][port not detected]\n");
  EXPECT_EQ(Value(L"COM1"), 0u);
  EXPECT_EQ(Value(L"COM2"), 1u);
}

TEST_F(KoprelRun, ConfigurationSelectingNothingOnWindowsNtFails) {
  testsupport::WriteFileBytes(dir + L"CONFIG.TXT", "COM|0\nCOM|5\n");
  Ports ports({{0x3F8, portio::kUartPlugOther}});
  ASSERT_EQ(RunKoprel(ports.access, false, L"KOPREL.EXE"), 0);
  EXPECT_EQ(Result(), "Serial Port Loopback Test\tFAILED [no port selected or detected]\n");
}

// The time-outs of the settings are range-checked before the data test uses
// them (all-zero read or write time-outs would wait for ever on a plug that
// does not echo), and the checked ones are what the run keeps.
TEST_F(KoprelRun, TimeoutsAreRangeCheckedAndKept) {
  const wchar_t* const names[5] = {L"ReadIntervalTimeout", L"ReadTotalTimeoutMultiplier",
                                   L"ReadTotalTimeoutConstant", L"WriteTotalTimeoutMultiplier",
                                   L"WriteTotalTimeoutConstant"};
  const DWORD kMax = 0xFFFFFFFFu;
  struct Case {
    const char* name;
    DWORD stored[5];
    DWORD used[5];
  } cases[] = {
      {"the defaults", {50, 5, 750, 5, 750}, {50, 5, 750, 5, 750}},
      {"all zero: no end", {0, 0, 0, 0, 0}, {0, 0, 750, 0, 750}},
      {"constants alone", {0, 0, 300, 0, 200}, {0, 0, 300, 0, 200}},
      {"multipliers alone", {20, 3, 0, 4, 0}, {20, 3, 0, 4, 0}},
      {"the largest in range", {10000, 1000, 60000, 1000, 60000}, {10000, 1000, 60000, 1000, 60000}},
      {"beyond the ranges", {kMax, kMax, kMax, 1001, 60001}, {10000, 1000, 60000, 1000, 60000}},
  };
  testsupport::WriteFileBytes(dir + L"CONFIG.TXT", "COM|0\n");  // no data test
  for (const Case& c : cases) {
    for (int i = 0; i < 5; ++i) appkit::RegWriteDword(HKEY_CURRENT_USER, key.c_str(), names[i], c.stored[i]);
    Settings s = ReadSettings();
    const DWORD read[5] = {s.readIntervalTimeout, s.readTotalTimeoutMultiplier, s.readTotalTimeoutConstant,
                           s.writeTotalTimeoutMultiplier, s.writeTotalTimeoutConstant};
    Ports ports({});
    ASSERT_EQ(RunKoprel(ports.access, false, L"KOPREL.EXE"), 0);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(read[i], c.used[i]) << c.name << ": " << appkit::Narrow(names[i]);
      EXPECT_EQ(Value(names[i]), c.used[i]) << c.name << ": " << appkit::Narrow(names[i]) << " kept";
    }
  }
}

// A result file the run cannot write whole is no verdict: a read-only old
// one stays as it was (and nothing is tested), and on the small disk of
// with_small_disk.sh a verdict the disk has no room for leaves no file.
TEST_F(KoprelRun, AReadOnlyOldResultStaysAsItWas) {
  const std::wstring result = dir + L"KOPREL.TXT";
  testsupport::WriteFileBytes(dir + L"CONFIG.TXT", "COM|0\n");
  testsupport::WriteFileBytes(result, "Serial Port Loopback Test\tPASSED [3F8] \n");
  ::SetFileAttributesW(result.c_str(), FILE_ATTRIBUTE_READONLY);
  Ports ports({});
  ASSERT_EQ(RunKoprel(ports.access, false, L"KOPREL.EXE"), 0);
  EXPECT_EQ(Result(), "Serial Port Loopback Test\tPASSED [3F8] \n");
  ::SetFileAttributesW(result.c_str(), FILE_ATTRIBUTE_NORMAL);
}

class KoprelSmallDisk : public KoprelRun {
 protected:
  testsupport::SmallDisk disk;
  void SetUp() override {
    KoprelRun::SetUp();
    if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
    ::SetCurrentDirectoryW(previous.c_str());
    testsupport::RemoveTree(dir);
    dir = disk.root() + L"koprel\\";
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    ::SetCurrentDirectoryW(dir.c_str());
  }
};

TEST_F(KoprelSmallDisk, AVerdictTheDiskHasNoRoomForLeavesNoFile) {
  testsupport::WriteFileBytes(dir + L"CONFIG.TXT", "COM|0\n");
  ASSERT_TRUE(disk.FillSpace());
  Ports ports({});
  ASSERT_EQ(RunKoprel(ports.access, false, L"KOPREL.EXE"), 0);
  EXPECT_EQ(::GetFileAttributesW((dir + L"KOPREL.TXT").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a result file of " << Result().size() << " bytes stayed";

  disk.Free();
  ASSERT_EQ(RunKoprel(ports.access, false, L"KOPREL.EXE"), 0);
  EXPECT_EQ(Result(), "Serial Port Loopback Test\tFAILED [no port selected or detected]\n");
}
