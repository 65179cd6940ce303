// One drive's tests with a fake sector reader and a fake disc, on real test
// files: the seek schedule, the access times, the MPC verdict, the read and
// compare test, the search for a test file and the failure paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "cdtest/engine.h"
#include "cdtest/ids.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"

using namespace cdtest;

namespace {

// The reader's calls and its answers: each call takes the next elapsed
// value (the last one repeats); a call whose index is `failAt` fails.
struct FakeReader {
  struct Call {
    DWORD letter, first, count;
  };
  std::vector<Call> calls;
  std::deque<DWORD> elapsed{5};
  int failAt = -1;
  static FakeReader* current;
  static DWORD WINAPI Read(DWORD letter, DWORD first, DWORD count, DWORD* ms) {
    FakeReader& r = *current;
    r.calls.push_back({letter, first, count});
    *ms = r.elapsed.front();
    if (r.elapsed.size() > 1) r.elapsed.pop_front();
    if ((int)r.calls.size() - 1 == r.failAt) {
      *ms = 0;
      return 0;
    }
    return 1;
  }
};
FakeReader* FakeReader::current = nullptr;

class Recorder : public CdHost {
 public:
  void Line(const std::string& text) override { lines.push_back(text); }
  void AppendToLast(const std::string& text) override {
    if (lines.empty()) lines.push_back("");
    lines.back() += text;
  }
  void FileLine(const std::string& text) override { file.push_back(text); }
  void Pump() override {
    if (stopAfterPumps >= 0 && ++pumps >= stopAfterPumps) stopped = true;
  }
  bool Stopped() override { return stopped; }
  void ProgressRange(uint32_t) override {}
  void Progress(uint32_t) override {}
  void CountError() override { ++errors; }
  bool Has(const std::string& line) const {
    for (const std::string& l : lines)
      if (l == line) return true;
    return false;
  }
  std::string All() const {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
  }
  std::vector<std::string> lines, file;
  int errors = 0;
  bool stopped = false;
  int pumps = 0, stopAfterPumps = -1;
};

// A test disc: a folder of the temporary directory as drive Q: (its
// volume and sectors are the fake's).
class CdEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TempDir() + L"cdengine\\";
    testsupport::RemoveTree(Exact(folder));
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::string unix = testsupport::UnixPathOf(folder);
    ASSERT_FALSE(unix.empty());
    ASSERT_TRUE(testsupport::DefineDrive(L'q', DRIVE_CDROM, unix.c_str()));
    dir = L"Q:\\";
    letter = 'Q';
    FakeReader::current = &reader;
    config.texts = ::GetModuleHandleW(nullptr);
    config.reader = &FakeReader::Read;
    config.settings.seekTestNum = 4;
    config.settings.testFileMinSizeM = 1;
    config.settings.testFileMaxSizeM = 3;
    config.settings.bufferMultiple = 16;  // 32 KB blocks
    config.volume = [this](char, Volume* v) {
      if (!discIn) return false;
      *v = disc;
      return true;
    };
    config.reseed = [] {};
    config.random = [] { return 1; };  // every random sector is the last one
    disc.cdfs = true;
    disc.totalSectors = 300000;
    disc.sectorSize = 2048;
  }
  void TearDown() override {
    testsupport::DefineDrive(L'q', DRIVE_NO_ROOT_DIR, nullptr);
    testsupport::RemoveTree(Exact(folder));
  }
  // `path` in the form that keeps a final dot or blank of a name.
  static std::wstring Exact(const std::wstring& path) { return L"\\\\?\\" + path; }

  // A file of `size` bytes with a pattern in it (its folders made); its
  // path on the test disc.
  std::string MakeFile(const std::wstring& name, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = (char)(i * 7 + i / 4096);
    for (size_t slash = name.find(L'\\'); slash != std::wstring::npos; slash = name.find(L'\\', slash + 1))
      ::CreateDirectoryW((folder + name.substr(0, slash)).c_str(), nullptr);
    EXPECT_TRUE(testsupport::WriteFileBytes(folder + name, bytes));
    return appkit::Narrow(dir + name);
  }
  std::string Text(UINT id) { return appkit::Narrow(appkit::LoadStr(id, config.texts)); }

  std::wstring folder;  // where the files are made
  std::wstring dir;     // the same folder as the test disc's root
  char letter = 'Q';
  FakeReader reader;
  RunConfig config;
  Volume disc;
  bool discIn = true;
  Recorder host;
};

}  // namespace

TEST_F(CdEngine, FullStrokeFollowsTheScheduleAndReportsMinAvgMax) {
  config.fullStroke = true;
  config.randomAccess = false;
  config.settings.clearBufferBlocks = 800;
  // The cache read, read 0 (not counted), then 4 counted reads.
  reader.elapsed = {999, 999, 120, 80, 200, 100};
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  EXPECT_EQ(t.SeekTests(letter), 1u);
  ASSERT_EQ(reader.calls.size(), 6u);
  EXPECT_EQ(reader.calls[0].first, 150000u);  // the middle of the disc
  EXPECT_EQ(reader.calls[0].count, 800u);
  std::vector<DWORD> sectors;
  for (size_t i = 1; i < reader.calls.size(); ++i) {
    sectors.push_back(reader.calls[i].first);
    EXPECT_EQ(reader.calls[i].count, 1u);
    EXPECT_EQ(reader.calls[i].letter, (DWORD)(unsigned char)letter);
  }
  EXPECT_EQ(sectors, (std::vector<DWORD>{102, 299900, 101, 299899, 100}));
  EXPECT_EQ(host.lines, (std::vector<std::string>{"Full-Stroke Access Time(Min):\t80 ms",
                                                  "Full-Stroke Access Time(Avg):\t125 ms",
                                                  "Full-Stroke Access Time(Max):\t200 ms"}));
  EXPECT_EQ(host.errors, 0);
}

TEST_F(CdEngine, RandomAccessAveragesTwiceAsManyReadsOnTheDisc) {
  config.fullStroke = false;
  config.randomAccess = true;
  int calls = 0;
  config.random = [&calls] { return ++calls; };  // alternating bits from 1: 0xAAAAAAAA
  reader.elapsed = {999, 100, 300};
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  EXPECT_EQ(t.SeekTests(letter), 1u);
  // No cache read: 2N + 1 single sectors, the first not counted.
  ASSERT_EQ(reader.calls.size(), 9u);
  EXPECT_EQ(reader.calls[0].first, 0xAAAAAAAAu % (300000u - 200u) + 100u);
  // (100 + 7 x 300) / 8
  EXPECT_EQ(t.RandomAccessMs(), 275u);
  EXPECT_EQ(host.lines, (std::vector<std::string>{"Testing Random Access...", "Random Access Time:\t275 ms"}));
}

// The whole pass over a drive on a fast test file (far above 600 KB/s): the
// random access time alone picks the MPC verdict.
TEST_F(CdEngine, ADrivePassEndsWithTheMpcVerdictOfItsTimes) {
  config.testFile = MakeFile(L"testdata\\test6\\test1.dat", 1500000);
  config.fullStroke = true;
  struct Case {
    DWORD ms;
    const char* verdict;
  };
  const Case cases[] = {
      {380, "Your CD-ROM drive meets the requirement of MPC level 2."},
      {250, "Your CD-ROM drive meets the requirement of MPC level 3."},
      {1200, "Your CD-ROM drive doesn't meet the requirement of MPC level 1."},
  };
  for (const Case& c : cases) {
    Recorder h;
    reader = FakeReader();
    reader.elapsed = {c.ms};
    CdDriveTest t(config, h);
    t.RunDrive(letter);
    const std::string all = h.All();
    EXPECT_EQ(h.errors, 0) << all;
    ASSERT_GE(h.lines.size(), 12u) << all;
    std::string drive(1, letter);
    EXPECT_EQ(h.lines[0], "Testing Drive " + drive + ":\\");
    EXPECT_EQ(h.lines[1], "Scanning CD-ROM...");
    EXPECT_EQ(h.lines[2], "Reading File(test1.dat):\tPASSED");
    EXPECT_EQ(h.lines[3], "Testing Transfer Rate...");
    // The drive letter in lower case.
    std::string rateHead = std::string("Transfer Rate (") + (char)tolower(letter) + ":)\t";
    EXPECT_EQ(h.lines[4].rfind(rateHead, 0), 0u) << h.lines[4];
    EXPECT_GT(t.Rate(), 600.0);
    EXPECT_EQ(h.lines[5].rfind("CD-ROM Drive:\t", 0), 0u);
    EXPECT_EQ(h.lines[6], "Testing Full-Stroke Access...");
    EXPECT_TRUE(h.Has("Random Access Time:\t" + std::to_string(c.ms) + " ms")) << all;
    EXPECT_EQ(h.lines[h.lines.size() - 3], "");
    EXPECT_EQ(h.lines[h.lines.size() - 2], c.verdict) << all;
    EXPECT_EQ(h.lines.back(), "");
  }
}

// A reader that cannot read (Wine's drives) or no reader at all: the access
// tests fail with their message and one error, and no verdict is made up.
TEST_F(CdEngine, SectorTestsFailWithTheirMessageWhenReadsFailOrNoReaderIsThere) {
  config.testFile = MakeFile(L"t.dat", 1500000);
  config.fullStroke = true;
  for (bool withReader : {true, false}) {
    Recorder h;
    reader = FakeReader();
    reader.failAt = 2;  // the two cache reads answer; the first sector read fails
    config.reader = withReader ? &FakeReader::Read : nullptr;
    CdDriveTest t(config, h);
    t.RunDrive(letter);
    EXPECT_TRUE(h.Has("Failed to test seek time.")) << h.All();
    EXPECT_FALSE(h.Has("Testing Random Access...")) << "the random test needs a last read that succeeded";
    EXPECT_EQ(h.errors, 1) << h.All();
    EXPECT_EQ(h.All().find("MPC"), std::string::npos);
    EXPECT_EQ(reader.calls.size(), withReader ? 3u : 0u);
  }
}

TEST_F(CdEngine, ATinyDiscFailsTheAccessTestsWithoutDividingByZero) {
  config.fullStroke = true;
  config.randomAccess = false;
  disc.totalSectors = 150;
  config.settings.diskSize = 0;  // no least size: the disc's own size still counts
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  EXPECT_EQ(t.SeekTests(letter), 1u);
  EXPECT_EQ(host.lines.front(), "There are not enough data on the CD-ROM for test.");
  EXPECT_EQ(host.errors, 1);
  // Random alone on the same disc: no sector fits, the test fails.
  config.fullStroke = false;
  config.randomAccess = true;
  Recorder h;
  CdDriveTest r(config, h);
  ASSERT_TRUE(r.CheckVolume(letter));
  EXPECT_EQ(r.SeekTests(letter), 0u);
  EXPECT_EQ(r.RandomAccessMs(), 0u);
  EXPECT_TRUE(reader.calls.empty());
}

TEST_F(CdEngine, ReadDataTestVerdicts) {
  config.settings.testFileMinSizeM = 1;
  config.settings.testFileMaxSizeM = 2;
  std::string good = MakeFile(L"good.dat", 1200000);
  std::string tiny = MakeFile(L"tiny.dat", 1000);
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  EXPECT_EQ(t.ReadDataTest(good), 0u);
  EXPECT_EQ(t.ReadDataTest(tiny), (UINT)IDS_CD_SIZE_OUT_OF_RANGE);
  EXPECT_EQ(t.ReadDataTest(appkit::Narrow(dir) + "missing.dat"), (UINT)IDS_CD_OPEN_FAILED);
  // A file another program holds without sharing cannot be opened: FAILED.
  HANDLE held = ::CreateFileW(appkit::Widen(good).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(t.ReadDataTest(good), (UINT)IDS_CD_OPEN_FAILED);
  ::CloseHandle(held);
}

TEST_F(CdEngine, PreferredTestFileIsUsedAsItIsElseTheFirstFileInRangeIsFound) {
  config.testFile = std::string("E:") + appkit::Narrow(dir.substr(2)) + "pref\\wanted.dat";
  MakeFile(L"pref\\wanted.dat", 100);  // out of range, yet used
  {
    CdDriveTest t(config, host);
    ASSERT_TRUE(t.CheckVolume(letter));
    std::string found = t.FindTestFile(letter);
    EXPECT_EQ(found, appkit::Narrow(dir) + "pref\\wanted.dat");
    EXPECT_EQ(t.ReadDataTest(found), (UINT)IDS_CD_SIZE_OUT_OF_RANGE);
  }
  // The search walks the drive depth first from its root; a file of the
  // range below this test's folder is found there.
  config.testFile = "E:\\no\\such\\file.dat";
  config.settings.testFileMinSizeK = 2000;  // 2000 KB .. 3 MB
  config.settings.testFileMaxSizeM = 3;
  MakeFile(L"a-small.dat", 1000000);
  MakeFile(L"b\\c\\too-large.dat", 3000001);
  std::string wanted = MakeFile(L"b\\c\\d\\inner.dat", 2500000);
  MakeFile(L"b\\e\\also.dat", 2500000);
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  std::string found = t.FindTestFile(letter);
  EXPECT_TRUE(found == wanted || found == "Q:\\b\\e\\also.dat") << found;
  EXPECT_FALSE(t.SmallFileFound()) << "2.5 MB is not below TestFileMinSizeM (1 MB)";
}

// Names the tests cannot open by the name found: the path rules drop a
// final dot or blank, and a character outside the ANSI code page has no
// ANSI form. Such a file is passed over: beside a good file the good one is
// tested, and alone it is no test file at all.
TEST_F(CdEngine, TheSearchPassesOverFilesThatCannotBeOpenedByTheirName) {
  config.testFile = "E:\\no\\such.dat";
  config.autoRun = true;
  std::vector<std::wstring> bad = {L"x.bin.", L"y.bin ", L"z.bin. ."};
  const std::wstring wide = L"\u6587\u5b57.bin";
  if (appkit::Widen(appkit::Narrow(wide)) != wide) bad.push_back(wide);  // outside this system's ANSI code page
  auto makeExact = [&](const std::wstring& name) {
    ASSERT_TRUE(testsupport::WriteFileBytes(Exact(folder + name), std::string(1200000, 'Z')))
        << appkit::Narrow(name, CP_UTF8);
  };
  for (const std::wstring& name : bad) {
    SCOPED_TRACE(appkit::Narrow(name, CP_UTF8));
    testsupport::RemoveTree(Exact(folder));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    makeExact(name);
    Recorder alone;
    CdDriveTest t(config, alone);
    t.RunDrive(letter);
    EXPECT_EQ(alone.lines, (std::vector<std::string>{"Testing Drive Q:\\", "Scanning CD-ROM...",
                                                     "Failed to find a file on CD-ROM for test.(between 1MB and 3MB)",
                                                     ""}));
    EXPECT_EQ(alone.errors, 1);
  }
  // All of them beside one good file, which lies deeper.
  for (const std::wstring& name : bad) makeExact(name);
  std::string good = MakeFile(L"deeper\\good.dat", 1200000);
  CdDriveTest t(config, host);
  t.RunDrive(letter);
  EXPECT_TRUE(host.Has("Reading File(good.dat):\tPASSED")) << host.All();
  EXPECT_EQ(host.errors, 0) << host.All();
}

TEST_F(CdEngine, SmallTestFileSkipsTheTransferRateWithoutAnError) {
  config.settings.testFileMinSizeK = 64;
  config.settings.testFileMinSizeM = 5;
  config.testFile = MakeFile(L"small.dat", 400 * 1024);
  config.autoRun = true;
  CdDriveTest t(config, host);
  t.RunDrive(letter);
  EXPECT_TRUE(host.Has("Reading File(small.dat):\tPASSED")) << host.All();
  EXPECT_TRUE(host.Has("(File size < 5MB; Transfer rate test skipped.)")) << host.All();
  EXPECT_EQ(host.errors, 0);
  EXPECT_EQ(t.Current().bufferMultiple, 32);
  // -AutoRun without the Force switches: no access tests.
  EXPECT_TRUE(reader.calls.empty());
  EXPECT_EQ(host.lines.back(), "");
}

TEST_F(CdEngine, NoDiscAndNoTestFile) {
  discIn = false;
  {
    CdDriveTest t(config, host);
    t.RunDrive('R');
    EXPECT_EQ(host.lines, (std::vector<std::string>{"Testing Drive R:\\", "No Disk.", ""}));
    EXPECT_EQ(host.errors, 1);
  }
  {
    config.check = true;  // -Check counts no error for an empty drive
    Recorder h;
    CdDriveTest t(config, h);
    t.RunDrive('R');
    EXPECT_EQ(h.errors, 0);
  }
  discIn = true;
  config.check = false;
  config.testFile = "E:\\no\\such.dat";
  config.settings.testFileMinSizeM = 3900;  // nothing that large anywhere
  config.settings.testFileMaxSizeM = 4000;
  config.autoRun = true;
  Recorder h;
  CdDriveTest t(config, h);
  t.RunDrive(letter);
  EXPECT_TRUE(h.Has("Failed to find a file on CD-ROM for test.(between 3900MB and 4000MB)")) << h.All();
  EXPECT_EQ(h.errors, 1);
}

TEST_F(CdEngine, BenchmarkDriveWritesItsRateLineToTheFile) {
  config.bench = true;
  config.testFile = MakeFile(L"bench.dat", 1500000);
  CdDriveTest t(config, host);
  t.RunBenchmarkDrive(letter);
  ASSERT_EQ(host.file.size(), 1u) << host.All();
  std::string rateHead = std::string("Transfer Rate (") + (char)tolower(letter) + ":)\t";
  EXPECT_EQ(host.file[0].rfind(rateHead, 0), 0u);
  EXPECT_EQ(host.file[0].substr(host.file[0].size() - 7), " KB/Sec");
  EXPECT_EQ(host.All().find("X speed"), std::string::npos) << "no speed line in a benchmark";
  EXPECT_EQ(host.errors, 0);
  // A benchmark without a test file writes its failure to the file too.
  config.testFile = "E:\\none.dat";
  config.settings.testFileMinSizeM = 3900;
  config.settings.testFileMaxSizeM = 4000;
  Recorder h;
  CdDriveTest n(config, h);
  n.RunBenchmarkDrive(letter);
  EXPECT_EQ(h.file, (std::vector<std::string>{"Failed to find a file on CD-ROM for test.(between 3900MB and 4000MB)"}));
  EXPECT_EQ(h.errors, 1);
}

// Timing runs at high priority; whatever way it ends, the class before it
// is back.
TEST_F(CdEngine, PriorityIsRestoredOnEveryPath) {
  ::SetPriorityClass(::GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
  std::string file = MakeFile(L"rate.dat", 1500000);
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  EXPECT_TRUE(t.TestTransferRate(file, letter));
  EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), (DWORD)BELOW_NORMAL_PRIORITY_CLASS);
  // Stopped in the middle.
  host.stopAfterPumps = 3;
  EXPECT_TRUE(t.TestTransferRate(file, letter));
  EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), (DWORD)BELOW_NORMAL_PRIORITY_CLASS);
  // One block only: nothing timed, a failure rather than a rate.
  config.settings.bufferMultiple = 400;  // 800 KB blocks, one of them
  CdDriveTest one(config, host);
  ASSERT_TRUE(one.CheckVolume(letter));
  host.stopped = false;
  host.stopAfterPumps = -1;
  EXPECT_FALSE(one.TestTransferRate(file, letter));
  EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), (DWORD)BELOW_NORMAL_PRIORITY_CLASS);
  ::SetPriorityClass(::GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
}

namespace {

// A sector reader whose drive never answers: a call stays inside until the
// test lets it go.
struct SilentReader {
  static HANDLE release, left;
  static volatile LONG calls, inside;
  static DWORD WINAPI Read(DWORD, DWORD, DWORD, DWORD* ms) {
    ::InterlockedIncrement(&calls);
    ::InterlockedIncrement(&inside);
    ::WaitForSingleObject(release, 120000);
    ::InterlockedDecrement(&inside);
    *ms = 1;
    ::SetEvent(left);
    return 1;
  }
  SilentReader() {
    release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    left = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    calls = inside = 0;
  }
  // Lets the call go and waits until it is out of the reader.
  ~SilentReader() {
    ::SetEvent(release);
    if (calls) ::WaitForSingleObject(left, 60000);
    ::CloseHandle(release);
    ::CloseHandle(left);
  }
};
HANDLE SilentReader::release = nullptr;
HANDLE SilentReader::left = nullptr;
volatile LONG SilentReader::calls = 0;
volatile LONG SilentReader::inside = 0;

// A pipe that stands for a file on a disc whose drive never completes a read.
struct SilentFile {
  SilentFile() {
    name = L"\\\\.\\pipe\\halvix_cdengine_" + std::to_wstring(::GetCurrentProcessId());
    server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  }
  ~SilentFile() { ::CloseHandle(server); }
  bool Write(const std::string& bytes) {
    OVERLAPPED ov{};
    ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    bool ok = ::WriteFile(server, bytes.data(), (DWORD)bytes.size(), nullptr, &ov) ||
              ::GetLastError() == ERROR_IO_PENDING;
    ok = ok && ::GetOverlappedResult(server, &ov, &n, TRUE) && n == bytes.size();
    ::CloseHandle(ov.hEvent);
    return ok;
  }
  std::wstring name;
  HANDLE server;
};

}  // namespace

// A read the drive never completes: the step gives up after the drive's
// bound with a FAILED line that names the drive, while the call is still
// inside the reader, and sends the drive no further reads.
TEST_F(CdEngine, ASectorReadThatNeverCompletesFailsNamingTheDrive) {
  SilentReader silent;
  config.reader = &SilentReader::Read;
  config.sectorReadBoundMs = [](DWORD) { return (DWORD)300; };
  config.fullStroke = true;
  config.randomAccess = true;
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  EXPECT_EQ(t.SeekTests(letter), 0u);
  EXPECT_EQ(SilentReader::inside, 1);
  EXPECT_EQ(SilentReader::calls, 1);
  EXPECT_TRUE(host.Has("Drive Q: did not complete a read within 1 seconds.\tFAILED")) << host.All();
  EXPECT_TRUE(t.Unanswered());
  EXPECT_GE(host.errors, 1);
}

// Stop during a read the drive never completes ends the wait at once (the
// bound is far away), with no verdict on the drive.
TEST_F(CdEngine, StopActsDuringASectorReadThatNeverCompletes) {
  SilentReader silent;
  config.reader = &SilentReader::Read;
  config.sectorReadBoundMs = [](DWORD) { return (DWORD)600000; };
  config.fullStroke = true;
  host.stopAfterPumps = 3;
  CdDriveTest t(config, host);
  ASSERT_TRUE(t.CheckVolume(letter));
  t.SeekTests(letter);
  EXPECT_TRUE(host.stopped);
  EXPECT_EQ(SilentReader::inside, 1);
  EXPECT_EQ(host.errors, 0) << host.All();
  EXPECT_FALSE(t.Unanswered());
}

// A file read that never completes gives up after its bound, or at once on
// Stop; either way the read is cancelled, so that it takes nothing that
// comes later, and the next read gets what it asked for.
TEST_F(CdEngine, AFileReadThatNeverCompletesGivesUpOrStops) {
  SilentFile pipe;
  ASSERT_NE(pipe.server, INVALID_HANDLE_VALUE);
  OverlappedFile file(pipe.name.c_str(), 0);
  ASSERT_TRUE(file.ok());
  char buffer[8] = {};
  EXPECT_EQ(file.ReadAll(buffer, sizeof buffer, 300, host), ReadOutcome::TimedOut);
  EXPECT_FALSE(file.Unsettled());
  host.stopAfterPumps = host.pumps + 2;
  EXPECT_EQ(file.ReadAll(buffer, sizeof buffer, 600000, host), ReadOutcome::Stopped);
  EXPECT_FALSE(file.Unsettled());
  ASSERT_TRUE(pipe.Write("sector01"));
  host.stopped = false;
  host.stopAfterPumps = -1;
  EXPECT_EQ(file.ReadAll(buffer, sizeof buffer, 600000, host), ReadOutcome::Done);
  EXPECT_EQ(std::string(buffer, sizeof buffer), "sector01");
}

// A drive pass whose sector reads are never answered ends by itself: the
// line that names the drive, then the access test's own failure.
TEST_F(CdEngine, ADrivePassOnADriveThatNeverAnswersEnds) {
  SilentReader silent;
  MakeFile(L"testdata\\test6\\test1.dat", 2 * 1000 * 1000);
  config.reader = &SilentReader::Read;
  config.sectorReadBoundMs = [](DWORD) { return (DWORD)300; };
  config.readData = false;
  config.transferRate = false;
  config.fullStroke = true;
  config.randomAccess = true;
  CdDriveTest t(config, host);
  t.RunDrive(letter);
  EXPECT_TRUE(host.Has("Testing Full-Stroke Access...")) << host.All();
  EXPECT_TRUE(host.Has("Drive Q: did not complete a read within 1 seconds.\tFAILED")) << host.All();
  EXPECT_TRUE(host.Has("Failed to test seek time.")) << host.All();
  EXPECT_EQ(SilentReader::calls, 1);
  EXPECT_GE(host.errors, 2);
}
