#include "ctlfw/benchfile.h"

#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "ctlfw/resource_ids.h"

namespace ctlfw {

BenchmarkFile::BenchmarkFile(const std::wstring& path) : path_(path) {
  file_ = appkit::CreateFileForWriting(path, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
  LARGE_INTEGER zero{}, end{};
  if (file_ != INVALID_HANDLE_VALUE && !::SetFilePointerEx(file_, zero, &end, FILE_END)) Close();
  blockStart_ = end.QuadPart;
}

void BenchmarkFile::WriteLine(const std::string& text) {
  if (file_ == INVALID_HANDLE_VALUE || error_) return;
  DWORD error = 0;
  if (appkit::AppendWhole(file_, text + "\r\n", &error)) return;
  // The lines of this block written so far go too.
  appkit::CutBack(file_, blockStart_);
  error_ = error;
}

void BenchmarkFile::Close() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

std::string BenchmarkFile::FailureLine(HINSTANCE resources) const {
  if (!error_) return {};
  const std::wstring format = appkit::LoadStr(IDS_BENCH_FILE_NOT_WRITTEN, resources);
  return appkit::Narrow(appkit::Format(format.c_str(), path_.c_str(), appkit::SystemErrorText(error_).c_str()));
}

}  // namespace ctlfw
