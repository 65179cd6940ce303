// The Verify tests and the Windows 9x access time on a stand-in for the
// system-access library: canned geometry texts by class and drive, and a
// sector service that records every request, checks it against the disk's
// geometry and fails where a test tells it to.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "disktest/lowlevel.h"

using namespace disktest;

namespace {

struct Request {
  DWORD drive, cylinder, head, sector, command;
};

// One stand-in at a time (the library's entries are plain functions).
struct FakeLibrary {
  std::map<int, std::string> geometry;  // by BIOS drive number
  std::string hardCount = "Hard disks:\t1\n", floppyCount = "Floppy drives:\t1\n";
  std::vector<Request> requests;
  std::function<bool(const Request&)> fails = [](const Request&) { return false; };
  int outside = 0;  // requests outside the drive's geometry
  std::map<int, std::vector<uint32_t>> chs;  // cylinders, sectors, heads by drive
};
FakeLibrary* g_fake = nullptr;

DWORD WINAPI FakeGetQuorrel(WORD infoClass, WORD size, void* buffer) {
  char* b = static_cast<char*>(buffer);
  int drive = (uint8_t)b[0];
  const std::string* text = nullptr;
  if (infoClass == 6) text = drive ? &g_fake->hardCount : &g_fake->floppyCount;
  if ((infoClass == 3 || infoClass == 4) && g_fake->geometry.count(drive)) text = &g_fake->geometry[drive];
  if (!text) return 0;
  std::strncpy(b, text->c_str(), size);
  return 1;
}

DWORD WINAPI FakeReadSector(DWORD drive, DWORD cylinder, DWORD head, DWORD sector, DWORD command, void* buffer,
                            DWORD size) {
  Request r{drive, cylinder, head, sector, command};
  g_fake->requests.push_back(r);
  const std::vector<uint32_t>& g = g_fake->chs[(int)drive];
  if (g.size() == 3 && (cylinder >= g[0] || sector < 1 || sector > g[1] || head >= g[2])) ++g_fake->outside;
  if (size != 512 || !buffer) return 0;
  // A moment passes on every request, as on a disk.
  LARGE_INTEGER a, b;
  ::QueryPerformanceCounter(&a);
  do ::QueryPerformanceCounter(&b);
  while (b.QuadPart == a.QuadPart);
  return g_fake->fails(r) ? 0 : 1;
}

struct ListModel : VerifyHost {
  std::vector<std::string> lines;
  int beeps = 0;
  int erasing = 1;
  int AddLine(const std::string& t) override {
    lines.push_back(t);
    return (int)lines.size() - 1;
  }
  void DeleteLine(int i) override { lines.erase(lines.begin() + i); }
  void Progress(int) override {}
  void Beep() override { ++beeps; }
  void Erase(bool on) override { erasing = on; }
};

class LowLevel : public ::testing::Test {
 protected:
  void SetUp() override { g_fake = &fake; }
  void TearDown() override { g_fake = nullptr; }
  void Disk(int drive, uint32_t c, uint32_t s, uint32_t h, const char* label = "CHS-Tracks:") {
    fake.geometry[drive] = std::string("Drive\n") + label + "\t" + std::to_string(c) + "\t" + std::to_string(s) + "\t" +
                           std::to_string(h) + "\n";
    fake.chs[drive] = {c, s, h};
  }
  SystemAccess Access() const {
    SystemAccess a;
    a.getQuorrel = &FakeGetQuorrel;
    a.readSector = &FakeReadSector;
    return a;
  }
  int Count(DWORD command) const {
    int n = 0;
    for (const Request& r : fake.requests) n += r.command == command;
    return n;
  }
  FakeLibrary fake;
  ListModel list;
};

const std::vector<std::string> kAllPassed = {
    "Verify Sector Test...\tPASSED", "Head Seek Test...\tPASSED", "Funnel Seek Test...\tPASSED",
    "Random Seek Test...\tPASSED"};

}  // namespace

TEST_F(LowLevel, LargeCylinderCountsAreTranslatedForTheSizeCheckOnly) {
  Disk(0x80, 2000, 63, 16);
  RunVerifyTests(false, Access(), list, nullptr);
  std::vector<std::string> want = {"Drive No.\t 0"};
  want.insert(want.end(), kAllPassed.begin(), kAllPassed.end());
  EXPECT_EQ(list.lines, want);
  EXPECT_EQ(list.beeps, 0);
  EXPECT_EQ(list.erasing, 1);
  // 2000 cylinders verified, 16 heads, 1999 funnel steps, 1000 random seeks.
  EXPECT_EQ(Count(0x0401), 2000);
  EXPECT_EQ(Count(0x0201), 16 + 1999);
  EXPECT_EQ(Count(0x0C01), 1000);
  EXPECT_EQ(fake.outside, 0) << "every request inside the drive's geometry";
  EXPECT_EQ(fake.requests[2000].cylinder, 1u);  // head seek on cylinder 1
  EXPECT_EQ(fake.requests[2016].cylinder, 1u);  // funnel: 1, 1998, 3, ...
  EXPECT_EQ(fake.requests[2017].cylinder, 1998u);
}

TEST_F(LowLevel, AFailedStepEndsOnlyItsTest) {
  Disk(0x80, 100, 17, 4);
  fake.fails = [](const Request& r) { return r.command == 0x0401 && r.cylinder == 7; };
  RunVerifyTests(false, Access(), list, nullptr);
  EXPECT_EQ(list.lines, (std::vector<std::string>{"Drive No.\t 0", "Verify Sector Test...", "Track #  6\tOK",
                                                  "Track #  7\tFAILED", "Head Seek Test...\tPASSED",
                                                  "Funnel Seek Test...\tPASSED", "Random Seek Test...\tPASSED"}));
  fake.requests.clear();
  list.lines.clear();
  fake.fails = [](const Request& r) { return r.command == 0x0C01; };
  RunVerifyTests(false, Access(), list, nullptr);
  ASSERT_EQ(list.lines.size(), 6u);
  EXPECT_EQ(list.lines[4], "Random Seek Test...");
  EXPECT_NE(list.lines[5].find("\tFAILED"), std::string::npos) << list.lines[5];
  EXPECT_EQ(list.lines[5].rfind("Track # ", 0), 0u);
}

TEST_F(LowLevel, DrivesOfEightGigabytesAreSkipped) {
  Disk(0x80, 16384, 63, 16);
  RunVerifyTests(false, Access(), list, nullptr);
  EXPECT_EQ(list.lines, (std::vector<std::string>{"Drive No.\t 0", "Verify Test:\tSkipped on 8 GB or larger drives!"}));
  EXPECT_TRUE(fake.requests.empty());
}

TEST_F(LowLevel, DriveSequencesOfFloppiesAndFixedDisks) {
  // One floppy: A: alone, no separator.
  Disk(0, 80, 18, 2, "Tracks:");
  RunVerifyTests(true, Access(), list, nullptr);
  EXPECT_EQ(list.lines.size(), 5u);
  EXPECT_EQ(list.lines[0], "Drive No.\t 0");
  // Two floppies: A:, an empty line, B:.
  fake.floppyCount = "Floppy drives:\t2\n";
  Disk(1, 40, 9, 2, "Tracks:");
  list.lines.clear();
  RunVerifyTests(true, Access(), list, nullptr);
  ASSERT_EQ(list.lines.size(), 11u);
  EXPECT_EQ(list.lines[5], "");
  EXPECT_EQ(list.lines[6], "Drive No.\t 1");
  // Three fixed disks, each after an empty line; the count stops the walk.
  fake.hardCount = "Hard disks:\t3\n";
  for (int d : {0x80, 0x81, 0x82, 0x83}) Disk(d, 50, 17, 2);
  list.lines.clear();
  fake.requests.clear();
  RunVerifyTests(false, Access(), list, nullptr);
  EXPECT_EQ(list.lines.size(), 3u * 5 + 2);
  std::vector<DWORD> drives;
  for (const Request& r : fake.requests)
    if (drives.empty() || drives.back() != r.drive) drives.push_back(r.drive);
  EXPECT_EQ(drives, (std::vector<DWORD>{0x80, 0x81, 0x82}));
}

TEST_F(LowLevel, BadGeometryBeepsAndEndsTheRun) {
  struct Case {
    const char* why;
    std::string count, geometry;
  } cases[] = {
      {"no drives", "Hard disks:\t0\n", "CHS-Tracks:\t10\t10\t10\n"},
      {"no label", "Hard disks:\t1\n", "Tracks:\t10\t10\t10\n"},
      {"no heads", "Hard disks:\t1\n", "CHS-Tracks:\t100\t17\t0\n"},
      {"no sectors", "Hard disks:\t1\n", "CHS-Tracks:\t100\t0\t4\n"},
      {"no cylinders", "Hard disks:\t1\n", "CHS-Tracks:\t0\t17\t4\n"},
  };
  for (const Case& c : cases) {
    FakeLibrary f;
    f.hardCount = c.count;
    f.geometry[0x80] = c.geometry;
    g_fake = &f;
    ListModel l;
    RunVerifyTests(false, Access(), l, nullptr);
    EXPECT_EQ(l.beeps, 1) << c.why;
    EXPECT_TRUE(l.lines.empty()) << c.why;
    EXPECT_TRUE(f.requests.empty()) << c.why;
  }
  g_fake = &fake;
  // Without the library nothing happens at all.
  RunVerifyTests(false, SystemAccess(), list, nullptr);
  EXPECT_TRUE(list.lines.empty());
}

TEST_F(LowLevel, AccessTimeReadsAThirdOfTheDiskApart) {
  Disk(0x80, 2048, 63, 16);  // translated: 1024 cylinders, 32 heads
  double ms = MeasureAccessTime9x(0x80, Access());
  EXPECT_GT(ms, 0);
  ASSERT_EQ(fake.requests.size(), 200u);
  EXPECT_EQ(fake.requests[0].cylinder, 0u);
  EXPECT_EQ(fake.requests[1].cylinder, 340u);  // 1024 / 3 - 1
  EXPECT_EQ(fake.requests[199].cylinder, 99u + 340u);
  // Too small a disk, an unknown unit, a failed read: no measurement.
  Disk(0x81, 5, 17, 2);
  EXPECT_LT(MeasureAccessTime9x(0x81, Access()), 0);
  EXPECT_LT(MeasureAccessTime9x(0, Access()), 0);
  fake.fails = [](const Request& r) { return r.cylinder == 341; };
  EXPECT_LT(MeasureAccessTime9x(0x80, Access()), 0);
  // The DOS IOCTL device exists only on Windows 9x.
  bool boxed = false;
  EXPECT_EQ(GetInt13Unit(3, nullptr, [&](const std::wstring&) { boxed = true; }), 0);
  EXPECT_FALSE(boxed);
}

// A stand-in for "\\.\vwin32": answers per call (the 48h request first,
// then the 08h retry) and keeps the retry box's text.
class FakeVwin32 : public Int13Device {
 public:
  struct Answer {
    BOOL ok;
    bool carry;
    uint8_t unit;
  };
  std::vector<Answer> answers;
  std::vector<DosRegisters> calls;
  std::vector<std::wstring> boxes;
  bool opens = true, closed = false;

  HANDLE Open() override { return opens ? reinterpret_cast<HANDLE>(0x2C) : INVALID_HANDLE_VALUE; }
  BOOL Call(HANDLE device, DosRegisters* r, uint8_t* record) override {
    EXPECT_EQ(device, reinterpret_cast<HANDLE>(0x2C));
    EXPECT_EQ(record[0], 16);
    EXPECT_EQ(r->edx, (DWORD)(uintptr_t)record);
    calls.push_back(*r);
    const Answer& a = answers.at(calls.size() - 1);
    record[1] = 0x11;
    record[2] = 0x22;
    record[3] = a.unit;
    r->flags = a.carry ? 1 : 0;
    r->eax = a.carry ? 0x0F : 0x440D;
    return a.ok;
  }
  void Close(HANDLE) override { closed = true; }
  void RetryBox(const std::wstring& text) override { boxes.push_back(text); }
};

TEST(Int13Unit, TheSecondRequestFollowsAFailureWithItsBox) {
  struct Case {
    const char* name;
    std::vector<FakeVwin32::Answer> answers;
    uint8_t unit;
    const wchar_t* box;  // nullptr: no retry, no box
  } cases[] = {
      {"first request answers", {{TRUE, false, 0x81}}, 0x81, nullptr},
      {"carry, then the retry answers",
       {{TRUE, true, 0}, {TRUE, false, 0x80}},
       0x80,
       L"nDrive: 3, fResult: 1, 128, handle: 44, 16, 17, 34, 440d"},
      {"unit 0xFF, retry fails",
       {{TRUE, false, 0xFF}, {FALSE, false, 0x80}},
       0,
       L"nDrive: 3, fResult: 0, 128, handle: 44, 16, 17, 34, 440d"},
      {"unit 0, retry sets carry",
       {{TRUE, false, 0}, {TRUE, true, 0x80}},
       0,
       L"nDrive: 3, fResult: 1, 128, handle: 44, 16, 17, 34, f"},
      {"call fails, retry names no unit", {{FALSE, false, 0x80}, {TRUE, false, 0xFF}}, 0,
       L"nDrive: 3, fResult: 1, 255, handle: 44, 16, 17, 34, 440d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeVwin32 device;
    device.answers = c.answers;
    EXPECT_EQ(GetInt13Unit(3, device, nullptr), c.unit);
    ASSERT_EQ(device.calls.size(), c.answers.size());
    for (size_t i = 0; i < device.calls.size(); ++i) {
      EXPECT_EQ(device.calls[i].ebx, 3u);
      EXPECT_EQ(device.calls[i].eax, 0x440Du);
      EXPECT_EQ(device.calls[i].ecx, i == 0 ? 0x486Fu : 0x086Fu);
    }
    EXPECT_TRUE(device.closed);
    if (c.box) {
      ASSERT_EQ(device.boxes.size(), 1u);
      EXPECT_EQ(device.boxes[0], c.box);
    } else {
      EXPECT_TRUE(device.boxes.empty());
    }
  }
  // No device: no request, no box.
  FakeVwin32 none;
  none.opens = false;
  EXPECT_EQ(GetInt13Unit(3, none, nullptr), 0);
  EXPECT_TRUE(none.calls.empty());
  EXPECT_TRUE(none.boxes.empty());
}
