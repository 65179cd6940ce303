// The disk benchmark of one fixed drive: sequential read transfer rate over
// four block sizes and the average access time of the drive's physical disk.
// Lines go to the results list and, where the block holds them, to the
// benchmark file BNCHMARK.BNH.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "disktest/lowlevel.h"

namespace disktest {

class BenchHost {
 public:
  virtual ~BenchHost() = default;
  virtual void ListLine(const std::string& text) = 0;
  // A line of the benchmark file's block ("\r\n" is added).
  virtual void FileLine(const std::string& text) = 0;
  virtual bool Aborted() = 0;
  virtual void Progress(int percent) = 0;
  virtual void UsedDirectory(const std::string& path) = 0;
  virtual void CountError() = 0;
};

// Transfer rate of sequential uncached reads of `size` bytes from the start
// of `path`, `rounds` times, the first read untimed; timed with
// QueryPerformanceCounter. 0 when the measurement could not be made;
// `problem` then says why (a list line), empty when the file opened.
double TimeSequentialReads(const std::wstring& path, uint32_t size, uint32_t rounds, std::string* problem,
                           HINSTANCE texts);

struct BenchConfig {
  char letter = 'C';
  uint32_t baseLoop = 2000;
  HINSTANCE texts = nullptr;
  // Windows 9x: the access time goes through the system-access library
  // (skipped without it).
  bool nine = false;
  SystemAccess access;
  // Windows 9x: shows the BIOS-unit lookup's retry box with the runner's
  // caption; empty in an unattended run, which no box may hold up.
  std::function<void(const std::wstring&)> retryBox;
  // The timed reads of the transfer rate (a test gives its own).
  double (*timeReads)(const std::wstring& path, uint32_t size, uint32_t rounds, std::string* problem,
                      HINSTANCE texts) = TimeSequentialReads;
};

// The block's lines from "Fixed Drive Performance Test(s):" to the access
// time; the caller closes the block ("Found Error(s)." and the empty line).
// Only a drive that refuses the test folder or file counts an error; a
// figure that cannot be measured is a line of its own. False when the run
// was aborted.
bool RunDiskBenchmark(const BenchConfig& config, BenchHost& host);

// The access-time line of the block. On the NT family it names drive C:
// (the first physical disk, whatever drive was chosen) in whole
// milliseconds, as the reference files hold it ("9 ms"; a measured time
// below half a millisecond reads 1 ms, never 0, which the results take for
// no measurement), and "-1 ms" when `ms` is not above 0 (no measurement).
// On Windows 9x it names `letter`, with two decimals, or "FAILED".
std::string AccessTimeLine(char letter, double ms, bool nine, HINSTANCE texts);


// Average access time in milliseconds of \\.\PhysicalDrive<disk> (0 to 3;
// any other number: 0), a seek over a third of the disk with 512-byte
// reads; a negative value when it could not be measured.
double MeasureAccessTimeNT(int disk);

}  // namespace disktest
