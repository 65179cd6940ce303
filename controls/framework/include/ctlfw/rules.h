// The runner's rules as plain functions: the command-line switch scan, the
// clamps, the "Size" property and the sheet's placement, the file names.
#pragma once
#include <cstdint>
#include <string>

#include "appkit/paths.h"

namespace ctlfw {

// What the host's command line asks for.
struct Switches {
  bool autoRun = false;      // -AutoRun
  std::string runSuffix;     // the digit right after -AutoRun, else empty
  bool check = false;        // -Check
  bool bench = false;        // -Bench
  bool append = false;       // -Append
  bool procTest = false;     // -ProcTest
  bool floppy = false;       // -Floppy
  bool netDisk = false;      // -NetDisk
  bool videoTest = false;    // -VideoTest
  int loop = 0;              // -L<n>
  int x = 0;                 // -X<n>
  int y = 0;                 // -Y<n>
  bool coverage = false;     // -C given
  int coverageValue = 8;     // -C<n>, clamped to 10..100
};

// Scans the line at every '-': "-AutoRun", "-Check", "-Bench", "-Append",
// "-ProcTest", "-Floppy", "-NetDisk", "-VideoTest", "-L", "-X", "-Y", "-C", compared
// ignoring case, in this order,
// first match wins. A matched switch (with its number) is skipped as a whole,
// a '-' that matches nothing alone. Numbers saturate instead of overflowing.
Switches ParseSwitches(const std::string& cmdLine);

int ClampCoverage(long long value);  // 10..100
int ClampThreadCount(long long value);  // 1..3

// The "Size" property: the name is "Size" (4 letters, any case) and the value
// longer than 6 characters; "%d %d" gives cx and cy (0 where missing).
bool ParseSizeProperty(const std::string& name, const std::string& value, int* cx, int* cy);

// Where ResizeSheet puts the sheet for a control client of cx x cy: (2, 2),
// cx - 4 by cy - 4, at least 356 by 236 (below 360 and 240).
struct SheetRect {
  int x, y, cx, cy;
};
SheetRect SheetRectFor(int cx, int cy);

using appkit::DirectoryPart;

// What GetProp reads of the active page's result list.
class ResultList {
 public:
  virtual ~ResultList() = default;
  // LB_GETCOUNT: the number of lines, or -1 (LB_ERR).
  virtual int Count() const = 0;
  // LB_GETTEXTLEN of line i: its length, or -1 (LB_ERR).
  virtual int TextLength(int i) const = 0;
  // The text of line i (called only after TextLength answered 0 <= L < 1022).
  virtual std::string Text(int i) const = 0;
};

// Longest line (exclusive) that "line:" hands out.
constexpr int kMaxLineLength = 1022;

// GetProp: "Title" (first five characters, any case) answers `title`;
// "count" the number of lines as "%d"; "line:" followed by decimal digits n
// the text of line n with "\n" appended. Anything else, a missing list
// (nullptr), and any failure answer "".
std::string GetPropValue(const std::string& name, const std::string& title, const ResultList* list);

// What the machine can commit now, less a margin, from the figures of
// GlobalMemoryStatusEx. The page-file figure is the commit room and already
// counts the physical memory (on NT the commit limit less the charge, under
// Wine the kernel's available memory plus free swap), so the two figures are
// not added: that would count the physical memory twice, and on a host that
// overcommits (Linux: an allocation that is too large succeeds, touching it
// makes the system kill programs) allow twice what is there. The larger of
// the two is taken, so that a system that reports no page file still has its
// free physical memory. The margin is an eighth of it: room for the kernel's
// tables of a block that size, for the error of the kernel's estimate of what
// it can reclaim, and for other programs to grow while a test runs for
// minutes (about 2.5 GB on a 24 GB machine with 20 GB free); a share rather
// than a fixed amount, so that a machine with little free memory still tests
// most of it. Sizes in bytes.
constexpr uint64_t kCommitMarginShare = 8;
uint64_t CommittableNow(uint64_t availPhys, uint64_t availPageFile);

// Free Memory pushes other programs' memory out by touching one large block
// a round. The block of a round: on NT the process's maximum working set, on
// Windows 9x the smaller of the free page file and three times the physical
// memory, at most 240 MB; never more than the machine's total physical
// memory (a block of what is free now would push nothing out) nor than what
// it can commit now (CommittableNow), never less than kFreeMemoryFloor unless
// the machine cannot commit that much (then 0: the round allocates nothing).
// Sizes in bytes.
constexpr uint64_t kFreeMemoryFloor = 0x100000;
uint64_t FreeMemoryBlockSize(bool nt, uint64_t maxWorkingSet, uint64_t availPhys, uint64_t availPageFile,
                             uint64_t totalPhys);
// The size to try after an allocation failed: 15/16 of it, or 0 when that
// falls below the floor (the round then touches nothing).
uint64_t ShrinkFreeMemoryBlock(uint64_t size);
// The progress position after touching `offset` of a block in round 1..5,
// or -1 when the position does not move there. The step is 1/16 of the
// block counted in whole pages; a block of less than a page has no step.
int FreeMemoryProgress(int round, uint64_t offset, uint64_t size);

}  // namespace ctlfw
