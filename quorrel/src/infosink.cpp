#include "infosink.h"

namespace quorrel {

bool FileSink::Create(const wchar_t* path) {
  Close();
  failed_ = false;
  file_ = ::_wfopen(path, L"wt");
  return file_ != nullptr;
}

void FileSink::WriteString(const std::string& text) {
  if (file_ && !text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

void FileSink::Flush() {
  if (file_ && std::fflush(file_) != 0) failed_ = true;
}

bool FileSink::Close() {
  if (!file_) return false;
  if (std::ferror(file_)) failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

}  // namespace quorrel
