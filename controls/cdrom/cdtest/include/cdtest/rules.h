// The CD-ROM test's arithmetic as plain functions: the settings' ranges, the
// working limits, the access tests' sector schedules, the transfer rate and
// the MPC levels.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace cdtest {

// The numeric settings a run uses (already range-checked by ClampSettings).
struct Settings {
  int loop = 1;
  int bufferMultiple = 200;
  int testFileMinSizeM = 5;
  int testFileMaxSizeM = 30;
  int diskSize = 500;
  int clearBufferBlocks = 800;
  int seekTestNum = 80;
  int testFileMinSizeK = 0;
};

// The settings that divide, or that size a buffer or a count, brought into
// ranges where every step stays defined: BufferMultiple 1..4096,
// SeekTestNum 1..10000, TestFileMinSizeK 0..1048576 (1 GB), the file sizes
// 0..4000 MB, DiskSize 0..8000, ClearBufferBlocks 0..65535, Loop 1..100000 (a run
// of no pass would find no error without testing).
Settings ClampSettings(const Settings& raw);

// The working limits of a run.
struct Limits {
  uint64_t largest = 0;         // largest test file, bytes
  uint64_t smallest = 0;        // smallest test file, bytes
  uint32_t leastDiscSectors = 0;  // least disc size for the full-stroke test
  uint32_t blockLimit = 0;      // most blocks a read test takes
};
Limits LimitsFor(const Settings& s);

// The small-file handling of a test file of `size` bytes (TestFileMinSizeK
// mode only): whether it applies, and the BufferMultiple and block limit it
// sets for a disc of `sectorSize`-byte sectors.
struct SmallFile {
  bool small = false;
  int bufferMultiple = 0;
  uint32_t blockLimit = 0;
};
SmallFile SmallFileRule(const Settings& s, uint64_t size, uint32_t sectorSize);

// The preferred test file on drive `letter`: the setting with its first
// character replaced ("E:\testdata\..." on D: is "D:\testdata\...").
std::string TestFileOnDrive(const std::string& setting, char letter);

// Blocks a read test takes of a file: length / block, at most the limit.
uint32_t BlockCount(uint64_t length, uint64_t block, uint32_t limit);

// Sector of full-stroke read i (0..n) on a disc of `total` sectors: odd
// reads near the end, even reads near the start, both closing in.
uint32_t FullStrokeSector(uint32_t total, uint32_t n, uint32_t i);
// Whether the full-stroke schedule fits a disc: at least the least disc
// size and never below 200 sectors, so that every sector lies on the disc.
bool DiscLargeEnoughForFullStroke(uint32_t total, uint32_t leastDiscSectors, uint32_t n);
// Sector of a random read: (r mod (total - 200)) + 100; false for a disc of
// 200 sectors or fewer, which has no room for one.
bool RandomSector(uint32_t r, uint32_t total, uint32_t* sector);
// A 32-bit random number from 32 calls of `rnd`, shifting in rnd() % 2.
uint32_t Random32(const std::function<int()>& rnd);

// Transfer rate in KB/s of (blocks - 1) timed blocks of `block` bytes read in
// `seconds`; false when nothing was timed or the rate is not positive.
bool TransferRateKBs(uint64_t block, uint32_t blocks, double seconds, double* rate);
// The drive's speed factor: rate / 150 rounded.
int SpeedFactor(double rateKBs);

// The highest MPC level (1..3) whose rate and access limits the drive meets,
// 0 for none: rows 150 KB/s 1000 ms, 300 KB/s 400 ms, 600 KB/s 250 ms, the
// rate taken as a whole number.
int MpcLevel(double rateKBs, uint32_t accessMs);

// The test-file search's window: whether a file of `size` bytes qualifies.
inline bool InTestFileRange(const Limits& l, uint64_t size) { return size >= l.smallest && size <= l.largest; }

// Whether the tests can open a file that the search found at `path` by the
// name they use for it, its ANSI form (`throughAnsi`: `path` narrowed to the
// ANSI code page and widened again): that form must be the path itself (no
// character replaced by another), and the file's name must not end in a dot
// or a blank, which the path rules drop (reaching another file, or none).
bool OpensByTheNameFound(const std::wstring& path, const std::wstring& throughAnsi);

}  // namespace cdtest
