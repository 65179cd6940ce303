// BNCHMARK.BNH as a benchmark run appends its block: opened only when the
// series created it, for writing with write-through and without sharing, at
// its end. When it cannot be opened the lines go to the result list only.
// The block goes in whole lines, and a line the disk has no room for takes
// the whole block back out: the file keeps the blocks before it as they
// were, and no cut block is read as this run's results.
#pragma once
#include <windows.h>

#include <string>

namespace ctlfw {

class BenchmarkFile {
 public:
  explicit BenchmarkFile(const std::wstring& path);
  ~BenchmarkFile() { Close(); }
  BenchmarkFile(const BenchmarkFile&) = delete;
  BenchmarkFile& operator=(const BenchmarkFile&) = delete;
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  // Writes the text and CR LF (nothing when the file is not open, or once a
  // line could not be written).
  void WriteLine(const std::string& text);
  void Close();
  // Whether a line could not be written, and the block was taken back.
  bool Failed() const { return error_ != 0; }
  // The results-list line that says so ("Cannot write <file>: <reason>
  // ...", the framework's text in `resources`); empty when nothing failed.
  std::string FailureLine(HINSTANCE resources) const;

 private:
  std::wstring path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  LONGLONG blockStart_ = 0;
  DWORD error_ = 0;
};

}  // namespace ctlfw
