// The CD-ROM tests of one drive, run on the caller's thread: the volume
// check, the test-file search, the double read and compare, the transfer
// rate, the full-stroke and random access times through the sector reader,
// and the MPC verdict; and the benchmark's transfer-rate block. The page
// (or a test) supplies the list, the pump, the progress bar and the reader.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "cdtest/bounded.h"
#include "cdtest/rules.h"

namespace cdtest {

// ReadSectorsFromCD of the sector readers (ReadSectorsFn, bounded.h): drive
// letter, first sector, count, milliseconds spent in the reads; nonzero when
// all were read.

class CdHost {
 public:
  virtual ~CdHost() = default;
  // Adds a line to the result list.
  virtual void Line(const std::string& text) = 0;
  // Adds text behind the list's last line.
  virtual void AppendToLast(const std::string& text) = 0;
  // A line of the benchmark file (nothing outside a benchmark).
  virtual void FileLine(const std::string& text) {}
  // Lets the window (and Stop) through between steps.
  virtual void Pump() = 0;
  virtual bool Stopped() = 0;
  virtual void ProgressRange(uint32_t max) = 0;
  virtual void Progress(uint32_t pos) = 0;
  // Shows the list's last ten lines.
  virtual void ScrollToEnd() {}
  virtual void CountError() = 0;
  // The test-file search runs (a wait cursor over the page).
  virtual void Searching(bool on) {}
};

// What GetVolumeInformation and GetDiskFreeSpace tell of a disc.
struct Volume {
  bool cdfs = false;
  uint32_t totalSectors = 0;
  uint32_t sectorSize = 0;
};
// The disc in drive `letter`; false when there is none (or it cannot be read).
bool ReadVolume(char letter, Volume* v);

// Everything a drive's tests read besides the disc.
struct RunConfig {
  Settings settings;           // range-checked
  bool readData = true;        // the four switches
  bool transferRate = true;
  bool fullStroke = false;
  bool randomAccess = true;
  bool forceFullStroke = false;  // -AutoRun's own switches
  bool forceRandom = false;
  bool autoRun = false;
  bool check = false;
  bool bench = false;
  std::string testFile = "E:\\testdata\\test6\\test1.dat";
  ReadSectorsFn reader = nullptr;
  HINSTANCE texts = nullptr;   // the control's string table
  std::function<bool(char, Volume*)> volume = ReadVolume;
  std::function<int()> random;     // rand() by default
  std::function<void()> reseed;    // srand(time) by default
  // How long a drive may take for a read (bounded.h by default).
  std::function<DWORD(uint64_t bytes)> fileReadBoundMs = FileReadBoundMs;
  std::function<DWORD(DWORD count)> sectorReadBoundMs = SectorReadBoundMs;
};

class CdDriveTest {
 public:
  CdDriveTest(const RunConfig& config, CdHost& host);

  // One pass over drive `letter` (the Test page's steps for a drive,
  // from "Testing Drive" to the empty line after the verdict).
  void RunDrive(char letter);
  // The benchmark's steps for a drive: volume, search, transfer rate.
  void RunBenchmarkDrive(char letter);

  // ---- The steps, for the page and the tests ---------------------------------
  bool CheckVolume(char letter);
  // The test file on the drive, or empty.
  std::string FindTestFile(char letter);
  // 0 when both reads of the file agree, else the string id of the failure.
  UINT ReadDataTest(const std::string& path);
  bool TestTransferRate(const std::string& path, char letter);
  // The last sector read's result; 0 without the reader.
  DWORD SeekTests(char letter);
  void ShowMpcLevel();

  // Results of the drive under test.
  const Volume& Disc() const { return volume_; }
  double Rate() const { return rate_; }
  uint32_t FullStrokeMin() const { return fullMin_; }
  uint32_t FullStrokeAvg() const { return fullAvg_; }
  uint32_t FullStrokeMax() const { return fullMax_; }
  uint32_t RandomAccessMs() const { return randomMs_; }
  bool SmallFileFound() const { return smallFile_; }
  // The drive left a read unanswered in this pass: no more reads go to it.
  bool Unanswered() const { return unanswered_; }
  const Settings& Current() const { return settings_; }
  const Limits& CurrentLimits() const { return limits_; }

 private:
  std::string Text(UINT id) const;
  void ClearDriveResults();
  void NoTestFileLine(bool toFile);
  struct SearchState {
    std::set<std::pair<DWORD, uint64_t>> folders;  // searched folders by identity
    uint32_t entries = 0;                          // names looked at
  };
  bool Search(const std::wstring& dir, int depth, SearchState* state, std::wstring* found);
  bool FullStrokeTest(char letter, DWORD* last);
  void RandomAccessTest(char letter, DWORD* last);
  void ClearDriveCache(char letter);
  // The sector reader through its bounded call; 0 when it failed, did not
  // answer (said in a line) or Stop came.
  DWORD ReadSectors(char letter, DWORD first, DWORD count, DWORD* elapsed);
  // A file read through its bound; false when it failed, did not answer
  // (said in a line, or kept for the caller with `deferLine`) or Stop came.
  bool ReadFileBlock(OverlappedFile& file, void* buffer, DWORD n, char letter, bool deferLine);
  // The drive did not answer within `boundMs`: its line (now, or kept for
  // the caller) and an error.
  void NoAnswer(char letter, DWORD boundMs, bool deferLine);
  void FlushNoAnswer();
  int Rand();

  RunConfig config_;
  CdHost& host_;
  Settings settings_;
  Limits limits_;
  Volume volume_;
  double rate_ = 0;
  uint32_t fullMin_ = 0, fullAvg_ = 0, fullMax_ = 0, randomMs_ = 0;
  bool smallFile_ = false;
  bool unanswered_ = false;
  std::string noAnswerLine_;  // kept until the step's own line is out
};

}  // namespace cdtest
