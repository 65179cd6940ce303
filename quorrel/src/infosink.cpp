#include "infosink.h"

namespace quorrel {

bool FileSink::Create(const wchar_t* path) {
  Close();
  file_ = ::_wfopen(path, L"wt");
  return file_ != nullptr;
}

void FileSink::WriteString(const std::string& text) {
  if (file_ && !text.empty()) std::fwrite(text.data(), 1, text.size(), file_);
}

void FileSink::Flush() {
  if (file_) std::fflush(file_);
}

void FileSink::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace quorrel
