// The disk control's rules as plain functions: the size settings and their
// clamps, the file test's size schedule and progress steps, system error
// texts, the benchmark's rate and the geometry text of the system-access
// library.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace disktest {

// The file test's three sizes (bytes) after the clamps, which run in this
// order: largest size (by mode), increment at least 5000, maximum at least
// 5000, maximum at most the largest size, increment at most the maximum.
struct SizeSettings {
  int64_t largest;
  int64_t increment;
  int64_t incrementMax;
};
SizeSettings ClampSizes(bool floppy, bool check, int64_t largest, int64_t increment, int64_t incrementMax);

// One file of the size loop: block size and file size.
struct SizeStep {
  int64_t block;
  int64_t file;
};
// The first step (block and file = the increment).
SizeStep FirstSizeStep(int64_t increment);
// The step after `s`: the block doubles up to the maximum with the file the
// block's size; once the block is at the maximum the file doubles.
SizeStep NextSizeStep(SizeStep s, int64_t incrementMax);
// Every step whose file fits `largest` (what the loop walks).
std::vector<SizeStep> SizeSchedule(int64_t increment, int64_t incrementMax, int64_t largest);

// The room a worker may fill on its drive: the free bytes, at most 100 MB;
// its largest file is the smaller of that and the configured largest size.
constexpr uint64_t kMaxUsableSpace = 104857600;
int64_t WorkerLargestSize(uint64_t freeBytes, int64_t configuredLargest);

// Percentage of the largest size that file size `f` reaches (0..100).
int SizePercent(int64_t f, int64_t largest);
// The progress position `tenths` of the way from `previous` to `target`.
int ProgressBetween(int previous, int target, int tenths);

// The system's message for `code` without its line end; for error 31 the
// given text ("General Failure."), empty when the system has none.
std::string SystemErrorText(DWORD code, const std::string& generalFailure);

// The offset of the first byte where `a` and `b` differ within `n`, or -1.
int64_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t n);

// Sequential read rate in MB/s of `timedReads` reads of `size` bytes that
// took `seconds`; 0 when nothing was timed or no time passed (a failed
// measurement, never an infinite or negative rate).
double TransferRateMBs(uint64_t timedReads, uint64_t size, double seconds);
// The reads a block size gets: BaseLoop / (size in KB / 16), at least 2 so
// that one read is timed.
uint32_t ReadRounds(uint32_t baseLoop, uint32_t sizeKB);

// The three numbers after the label's tabs (cylinders, sectors, heads in the
// system-access library's geometry text). `text` is read at most up to `len`
// characters or its first NUL. False unless all three were read.
bool ParseTabbedNumbers(const char* text, size_t len, uint32_t* a, uint32_t* b, uint32_t* c);
// The geometry after `label` in a reply of `len` bytes (NUL-terminated or
// not); false when the label or one of the numbers is missing.
struct Geometry {
  uint32_t cylinders = 0, sectors = 0, heads = 0;
};
bool FindGeometry(const char* reply, size_t len, const std::string& label, Geometry* g);
// The drive-count reply: the decimal number after the first tab; 0 without.
uint32_t ParseDriveCount(const char* reply, size_t len);
// Geometry with more than 1024 cylinders as the BIOS reports it: cylinders
// halved and heads doubled until at most 1024 cylinders remain.
Geometry TranslatedGeometry(Geometry g);
// Whether the verify tests skip a drive: translated C x H x S of 0xFC0000
// (8 GB) or more (64-bit product).
bool SkipsVerify(const Geometry& translated);
// The funnel seek's cylinder order for `cylinders`: 1, C-2, 3, C-4, ...
std::vector<uint32_t> FunnelOrder(uint32_t cylinders);

// The access-time benchmark's probes on a disk of `cylinders` cylinders of
// `cylinderBytes` bytes: the distance (a third of the disk, in cylinders)
// and the rounds. Zero rounds when the disk has fewer than 3 cylinders: no
// measurement can be made.
struct SeekPlan {
  uint64_t distanceCylinders = 0;
  uint32_t rounds = 0;
};
SeekPlan PlanAccessTime(uint64_t cylinders);

}  // namespace disktest
