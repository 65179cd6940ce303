// The file write, read and compare test of one drive: temporary files of
// growing size full of random bytes, written through, read back in order and
// in reverse block order, read, rewritten and read again block by block,
// every byte compared. One result line a step goes to the host.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace disktest {

class FileTestHost {
 public:
  virtual ~FileTestHost() = default;
  virtual void Line(const std::string& text) = 0;
  virtual bool Aborted() = 0;
  virtual void Progress(int percent) = 0;
  // A DISKTEST directory the test used (the page removes it when it closes).
  virtual void UsedDirectory(const std::string& path) = 0;
  // Shows the last lines of the results.
  virtual void ScrollToEnd() {}
};

struct FileTestConfig {
  std::string root;     // "C:\"
  bool network = false;
  std::string netPath;  // network mode: the folder below the root
  int64_t increment = 5000;
  int64_t incrementMax = 640000;
  int64_t largest = 20480000;  // configured largest file
  bool sequential = true;
  bool random = true;
  bool check = false;   // -Check: a drive that is not ready passes
  HINSTANCE texts = nullptr;  // module of the string table
};

enum class FileTestOutcome { Passed, Failed, Aborted, NotReady };

// The test's directory on the drive ("C:\DISKTEST", or below the network
// path in network mode).
std::string TestDirectory(const FileTestConfig& c);

// Runs the test; the drive's closing line ("<root> ===>Test aborted." or
// "===>Test failed.") is written here, the error is counted by the caller.
// Every temporary file is removed, also after a failure.
FileTestOutcome RunFileTest(const FileTestConfig& config, FileTestHost& host);

}  // namespace disktest
