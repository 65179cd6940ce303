#include "ctlfw/benchfile.h"

namespace ctlfw {

BenchmarkFile::BenchmarkFile(const std::wstring& path) {
  file_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file_ != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER zero{};
    ::SetFilePointerEx(file_, zero, nullptr, FILE_END);
  }
}

void BenchmarkFile::WriteLine(const std::string& text) {
  if (file_ == INVALID_HANDLE_VALUE) return;
  std::string line = text + "\r\n";
  DWORD put = 0;
  ::WriteFile(file_, line.data(), (DWORD)line.size(), &put, nullptr);
}

void BenchmarkFile::Close() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

}  // namespace ctlfw
