// BNCHMARK.BNH as a benchmark run appends its block: opened only when the
// series created it, for writing with write-through and without sharing, at
// its end. When it cannot be opened the lines go to the result list only.
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
  // Writes the text and CR LF (nothing when the file is not open).
  void WriteLine(const std::string& text);
  void Close();

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace ctlfw
