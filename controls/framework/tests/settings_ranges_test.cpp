// Every numeric setting of every test control against hostile profiles: each
// control is hosted in a program (settings_host), which inits and destroys
// it, so that its runner reads the seeded values and writes back the values
// it used; one program takes the controls of a round, whose keys differ, once
// for each profile. A value outside a setting's range must come back as
// the setting's default or as the nearer bound; a value inside as it is.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "suite/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"

namespace {

struct Range {
  const wchar_t* name;
  DWORD def;
  int lo, hi;
  bool nearer = false;  // outside: the nearer bound, else the default
};

struct ControlMode {
  suite::ControlIndex control;
  const wchar_t* cmdLine;
  const wchar_t* key;
  std::vector<Range> settings;
};

constexpr bool N = true;  // outside reads as the nearer bound

// The ranges each control keeps (switches are 0 or 1).
const std::vector<ControlMode>& Modes() {
  static const std::vector<ControlMode> modes = {
      {suite::kCtlModem,
       L"",
       L"Software\\Kyt\\modem\\Setting",
       {{L"Loop", 1, 1, 10000},
        {L"ConnectionTest", 0, 0, 1},
        {L"BBSBaudRate", 19200, 110, 921600},
        {L"ATT1BaudRate", 0, 0, 921600},
        {L"ShortTimeout", 2000, 100, 300000},
        {L"StandardTimeout", 3000, 100, 300000},
        {L"LongTimeout", 12000, 100, 300000},
        {L"ConnectTimeout", 30000, 100, 300000},
        {L"ATT1Timeout", 5000, 100, 300000},
        {L"TestBaudRate", 300, 110, 921600},
        {L"InnerLoopDelay", 100, 1, 1000},
        {L"CheckConnectSpeed", 0, 0, 1},
        {L"TestATS6Jump", 500, 1, 32767},
        {L"TestATS6Repeat", 4, 2, 5, N},
        {L"TestATS6Sample", 30, 1, 8000},
        {L"TestATS6Percent", 20, 0, 100},
        {L"TestATS6Period", 20, 0, 10000},
        {L"TestATS6Sleep", 6000, 0, 30000},
        {L"DefaultVolume", 50000, 0, 65535},
        {L"TestATS6BeginNoise", 500, 0, 30000},
        {L"TestATS6ToneTolerance", 1, 0, 64},
        {L"DialtoneTestEnable", 0, 0, 1},
        {L"StandardTestEnable", 1, 0, 1},
        {L"AdvancedTestEnable", 1, 0, 1},
        {L"nThread", 1, 1, 3, N}}},
      {suite::kCtlGraphics,
       L"",
       L"Software\\Kyt\\GRAPHICS\\Setting",
       {{L"Loop", 1, 1, 10000},
        {L"DirectDraw", 200, 1, 100000000},
        {L"Direct3D", 400, 400, 100000000, N},
        {L"BitmapStretch", 200, 1, 100000000},
        {L"BitmapDraw", 1200, 1, 100000000},
        {L"FloodFill", 200, 1, 100000000},
        {L"PixelDraw", 1200, 1, 100000000},
        {L"LineDraw", 1200, 1, 100000000},
        {L"EllipseRect", 1200, 1, 100000000},
        {L"BitmapScroll", 20, 1, 100000000},
        {L"ChangeFont", 1200, 1, 100000000},
        {L"BenchBitmapStretch", 20, 1, 10000},
        {L"BenchBitmapDraw", 20, 1, 10000},
        {L"BenchFloodFill", 20, 1, 10000},
        {L"BenchPixelDraw", 20, 1, 10000},
        {L"BenchLineDraw", 14, 1, 10000},
        {L"BenchEllipseRect", 14, 1, 10000},
        {L"BenchBitmapScroll", 40, 1, 10000},
        {L"DisplayX", 100, -8192, 8192},
        {L"DisplayY", 100, -8192, 8192},
        {L"DisplayWidth", 500, 32, 8192},
        {L"DisplayHeight", 380, 32, 8192},
        {L"DirectDrawEnable", 1, 0, 1},
        {L"Direct3DEnable", 1, 0, 1},
        {L"DirectSoundEnable", 0, 0, 1},
        {L"BitmapStretchingEnable", 1, 0, 1},
        {L"BitmapDrawingEnable", 1, 0, 1},
        {L"FloodFilledDrawingEnable", 1, 0, 1},
        {L"PixelDrawingEnable", 1, 0, 1},
        {L"LineDrawingEnable", 1, 0, 1},
        {L"FilledShapeDrawingEnable", 1, 0, 1},
        {L"BitmapScrollingEnable", 1, 0, 1},
        {L"StringDrawingEnable", 1, 0, 1}}},
      {suite::kCtlCdrom,
       L"",
       L"Software\\Kyt\\CDROM\\Setting",
       {{L"Loop", 1, 1, 100000, N},
        // Written back only when TestFileMinSizeK reads as 0 (see below).
        {L"BufferMultiple", 200, 1, 4096, N},
        {L"TestFileMinSizeM", 5, 0, 4000, N},
        {L"TestFileMaxSizeM", 30, 0, 4000, N},
        {L"DiskSize", 500, 0, 8000, N},
        {L"ClearBufferBlocks", 800, 0, 65535, N},
        {L"SeekTestNum", 80, 1, 10000, N},
        {L"FullStrokeTestEnable", 0, 0, 1},
        {L"ReadDataTestEnable", 1, 0, 1},
        {L"TransferRateTestEnable", 1, 0, 1},
        {L"RandomAccessTestEnable", 1, 0, 1},
        {L"ForceFullStroke", 0, 0, 1},
        {L"ForceRandom", 0, 0, 1},
        {L"TestFileMinSizeK", 0, 0, 1048576, N}}},
      {suite::kCtlMedia,
       L"",
       L"Software\\Qev\\MEDIA\\Setting",
       {{L"Loop", 1, 1, 10000},
        {L"LeftChannel", 1, 0, 1},
        {L"RightChannel", 1, 0, 1},
        {L"WaveEnable", 1, 0, 1},
        {L"MidiEnable", 1, 0, 1},
        {L"AudioCDEnable", 0, 0, 1},
        {L"RecordMicrophone", 0, 0, 1},
        {L"RecordLinein", 0, 0, 1},
        {L"SilenceVol", 512, 0, 32767},
        {L"SilenceJumpMicrophone", 128, 1, 32767},
        {L"SilenceJumpLinein", 32, 1, 32767},
        {L"DriveNo", 0, 0, 25},
        {L"DefaultVolume", 50000, 0, 65535},
        {L"SetVolume", 1, 0, 1},
        {L"CDPlayDelay", 1, 0, 5}}},
      {suite::kCtlMedia,
       L"-VideoTest",
       L"Software\\Qev\\MEDIA\\Setting",
       {{L"Loop", 1, 1, 10000}, {L"AviEnable", 1, 0, 1}, {L"MpgEnable", 0, 0, 1}}},
      {suite::kCtlFenwold,
       L"",
       L"Software\\Kyt\\Fenwold\\Setting",
       // The three sizes bound one another; their own tests check them.
       {{L"DiskSequentialTestEnable", 1, 0, 1},
        {L"DiskRandomTestEnable", 1, 0, 1},
        {L"BaseLoop", 2000, 1, 100000},
        {L"FullStrokeTestCount", 10, 1, 10000},
        {L"RandomSeekTestCount", 10, 1, 10000},
        {L"BenchTestSizeMB", 4, 1, 4096},
        {L"BenchRandomTestSizeMB", 16, 1, 4096},
        {L"RandomRatio", 50, 0, 100},
        {L"nThread", 1, 1, 3, N}}},
      {suite::kCtlFenwold,
       L"-Floppy",
       L"Software\\Kyt\\Fenwold\\Setting",
       {{L"FloppySequentialTestEnable", 1, 0, 1}, {L"FloppyRandomTestEnable", 1, 0, 1}, {L"nThread", 1, 1, 3, N}}},
      {suite::kCtlZentrel,
       L"",
       L"Software\\Kyt\\ZENTREL\\Setting",
       {{L"nThread", 1, 1, 3, N},
        {L"MemBenchMarkLoop", 0x1400000, 1, 0x20000000},
        {L"DataPatternEnable", 1, 0, 1},
        {L"WalkOneEnable", 1, 0, 1},
        {L"MoveInversionEnable", 1, 0, 1},
        {L"WalkZeroEnable", 1, 0, 1},
        {L"RandomMemCopyEnable", 1, 0, 1},
        {L"MaxMem", 20, 1, 1048576}}},
      {suite::kCtlZentrel,
       L"-ProcTest",
       L"Software\\Kyt\\ZENTREL\\Setting",
       {{L"nThread", 1, 1, 3, N},
        {L"DhrystoneCount", 1000000, 1, 100000000},
        {L"DhryMinTime", 2, 0, 60},
        {L"WhetstoneCount", 1000, 1, 1000000},
        {L"WhetMinTime", 4, 0, 60},
        {L"GeneralRegisterEnable", 1, 0, 1},
        {L"MathCalculationEnable", 1, 0, 1},
        {L"MathPerformanceEnable", 1, 0, 1},
        {L"MMXArithEnable", 1, 0, 1},
        {L"CPUSpeedEnable", 1, 0, 1}}},
      {suite::kCtlStrevan,
       L"",
       L"Software\\Kyt\\Strevan\\Setting",
       {{L"MaxLoop", 100, 1, 3000},
        {L"bLPT", 1, 0, 1},
        {L"bLPTLoopback1", 0, 0, 1},
        {L"bLPTLoopback2", 0, 0, 1},
        {L"bCom", 1, 0, 1},
        {L"bComLoopback", 0, 0, 1},
        {L"bGame", 0, 0, 1}}},
  };
  return modes;
}

// One profile seeded over all settings of a control: a fixed value for
// every setting, or one taken from each setting's own bounds.
struct Seed {
  const char* what;
  long long fixed;  // used when `of` is null
  long long (*of)(const Range&);
};

const Seed kSeeds[] = {
    {"0", 0, nullptr},
    {"0xFFFFFFFF", 0xFFFFFFFFLL, nullptr},
    {"0x7FFFFFFF", 0x7FFFFFFF, nullptr},
    {"0x80000000", 0x80000000LL, nullptr},
    {"just below", 0, [](const Range& r) { return (long long)r.lo - 1; }},
    {"just above", 0, [](const Range& r) { return (long long)r.hi + 1; }},
    {"lowest", 0, [](const Range& r) { return (long long)r.lo; }},
    {"highest", 0, [](const Range& r) { return (long long)r.hi; }},
};

DWORD SeedValue(const Seed& s, const Range& r) { return (DWORD)(s.of ? s.of(r) : s.fixed); }

// What the runner makes of the 32-bit value `stored`.
DWORD Expected(const Range& r, DWORD stored) {
  int v = (int)stored;
  if (v >= r.lo && v <= r.hi) return stored;
  if (r.nearer) return (DWORD)(v < r.lo ? r.lo : r.hi);
  return r.def;
}

std::wstring Hex(DWORD v) {
  wchar_t buf[16];
  swprintf(buf, 16, L"0x%08lX", (unsigned long)v);
  return buf;
}

class SettingRanges : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (suite::ControlIndex c : {suite::kCtlModem, suite::kCtlGraphics, suite::kCtlCdrom, suite::kCtlMedia,
                                  suite::kCtlFenwold, suite::kCtlZentrel, suite::kCtlStrevan})
      ASSERT_EQ(testsupport::RegisterControl(testsupport::SuitePath(suite::Control(c).file)), 0)
          << suite::Control(c).name;
  }
  // Each control's settings go aside while the test seeds its own and come
  // back when it ends.
  void SetUp() override {
    for (const wchar_t* key : {L"Software\\Kyt\\modem\\Setting", L"Software\\Kyt\\GRAPHICS\\Setting",
                               L"Software\\Kyt\\CDROM\\Setting", L"Software\\Qev\\MEDIA\\Setting",
                               L"Software\\Kyt\\Fenwold\\Setting", L"Software\\Kyt\\ZENTREL\\Setting",
                               L"Software\\Kyt\\Strevan\\Setting"})
      aside_.push_back(std::make_unique<testsupport::KeyAside>(key, std::wstring(L"Software\\HalvixRangesBackup\\") +
                                                                        std::to_wstring(aside_.size())));
  }
  void TearDown() override {
    while (!aside_.empty()) aside_.pop_back();
  }
  std::vector<std::unique_ptr<testsupport::KeyAside>> aside_;
};

// The modes in rounds whose settings keys differ, so that one host program
// can take all of a round in turn, each control touching its own key only.
std::vector<std::vector<const ControlMode*>> Rounds() {
  std::vector<std::vector<const ControlMode*>> rounds;
  for (const ControlMode& m : Modes()) {
    auto round = rounds.begin();
    for (; round != rounds.end(); ++round) {
      bool keyTaken = false;
      for (const ControlMode* other : *round) keyTaken |= std::wstring(other->key) == m.key;
      if (!keyTaken) break;
    }
    if (round == rounds.end()) round = rounds.emplace(rounds.end());
    round->push_back(&m);
  }
  return rounds;
}

std::wstring Named(const ControlMode& m) {
  return std::wstring(suite::Control(m.control).progId) + L" \"" + m.cmdLine + L"\"";
}

// One host program takes every seed of a round in turn, each in a pass of
// its own with new control instances: the test seeds the round's keys,
// lets the pass run, and checks what the controls wrote back. The waits
// are generous for a loaded machine and still catch a control that hangs
// at Init or Cleanup. The host's exit code names the first control whose
// Init failed.
class RoundHost {
 public:
  RoundHost(const std::vector<const ControlMode*>& round, size_t passes) : round_(round), passes_(passes) {
    const std::wstring event = L"HalvixSettingsHost." + std::to_wstring(::GetCurrentProcessId());
    done_ = ::CreateEventW(nullptr, FALSE, FALSE, (event + L".done").c_str());
    next_ = ::CreateEventW(nullptr, FALSE, FALSE, (event + L".next").c_str());
    args_ = std::to_wstring(passes) + L" " + event;
    for (const ControlMode* m : round) args_ += L" " + Named(*m);
  }
  // After its last pass the host ends by itself; after a failed one it is
  // ended here.
  ~RoundHost() {
    if (passed_ == passes_) {
      EXPECT_TRUE(process_.WaitExit(120000)) << "the host does not end";
    }
    ::CloseHandle(done_);
    ::CloseHandle(next_);
  }
  // Runs the next pass over the settings as they are seeded now.
  void Pass() {
    ASSERT_TRUE(done_ && next_);
    if (!started_) {
      ASSERT_TRUE(process_.Start(testsupport::TestBinDir() + L"ctlfw_settings_host.exe", args_))
          << appkit::Narrow(args_);
      started_ = true;
    } else {
      ::SetEvent(next_);
    }
    HANDLE waits[] = {done_, process_.Handle()};
    DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, 120000);
    ASSERT_NE(woke, (DWORD)WAIT_TIMEOUT) << "a control hangs: " << appkit::Narrow(args_);
    if (woke == WAIT_OBJECT_0) {
      ++passed_;
      return;
    }
    DWORD code = process_.ExitCode();
    size_t failed = code >= 100 ? (code - 100) / 3 : 0;
    FAIL() << "the host ended with " << code << ": "
           << (failed < round_.size() ? appkit::Narrow(Named(*round_[failed])) : "?")
           << (code % 3 == 2 ? ": not created" : ": Init answered FALSE");
  }

 private:
  const std::vector<const ControlMode*>& round_;
  testsupport::Process process_;
  HANDLE done_ = nullptr, next_ = nullptr;
  std::wstring args_;
  bool started_ = false;
  size_t passes_, passed_ = 0;
};

void CheckWrittenBack(const ControlMode& m, const Seed& seed) {
  DWORD minSizeK = 0;
  for (const Range& r : m.settings)
    if (std::wstring(r.name) == L"TestFileMinSizeK") minSizeK = Expected(r, SeedValue(seed, r));
  for (const Range& r : m.settings) {
    DWORD stored = SeedValue(seed, r);
    DWORD expected = Expected(r, stored);
    // The CD-ROM control keeps its block size only for files sized in MB.
    if (std::wstring(r.name) == L"BufferMultiple" && minSizeK != 0) expected = stored;
    DWORD got = appkit::RegReadDword(HKEY_CURRENT_USER, m.key, r.name, 0xDEADBEEF);
    EXPECT_EQ(got, expected) << suite::Control(m.control).name << " " << m.cmdLine << " " << r.name << " seeded "
                             << seed.what << " (" << Hex(stored) << ")";
  }
}

TEST_F(SettingRanges, HostileProfilesReadAsTheDefaultOrTheNearerBound) {
  for (const auto& round : Rounds()) {
    RoundHost host(round, std::size(kSeeds));
    for (const Seed& seed : kSeeds) {
      for (const ControlMode* m : round) {
        appkit::RegDeleteTree(HKEY_CURRENT_USER, m->key);
        for (const Range& r : m->settings)
          appkit::RegWriteDword(HKEY_CURRENT_USER, m->key, r.name, SeedValue(seed, r));
      }
      ASSERT_NO_FATAL_FAILURE(host.Pass()) << "seeded " << seed.what;
      for (const ControlMode* m : round) CheckWrittenBack(*m, seed);
    }
  }
}

}  // namespace
