#include "infoclient/linereader.h"

#include <fcntl.h>
#include <io.h>

namespace ctlfw {

void BoundedLineReader::Fill() {
  if (pos_ > 0) {
    for (size_t i = pos_; i < len_; ++i) buf_[i - pos_] = buf_[i];
    len_ -= pos_;
    pos_ = 0;
  }
  size_t got = f_ ? std::fread(buf_ + len_, 1, sizeof(buf_) - len_, f_) : 0;
  if (got == 0) end_ = true;
  len_ += got;
}

int BoundedLineReader::Peek(size_t ahead) {
  while (pos_ + ahead >= len_ && !end_) Fill();
  return pos_ + ahead < len_ ? (unsigned char)buf_[pos_ + ahead] : -1;
}

size_t BoundedLineReader::LineEndHere() {
  int c = Peek();
  if (c == '\n') return 1;
  if (c == '\r' && Peek(1) == '\n') return 2;
  return 0;
}

bool BoundedLineReader::Next(std::string* line) {
  line->clear();
  if (Peek() < 0 && !continuing_) return false;
  continued_ = continuing_;
  if (continuing_) line->assign(kLineContinuation);
  continuing_ = false;
  for (;;) {
    if (Peek() < 0) return true;  // a last line without a line end
    if (size_t n = LineEndHere()) {
      Skip(n);
      return true;
    }
    if (line->size() == kMaxTextLine) {
      continuing_ = true;
      return true;
    }
    line->push_back((char)Peek());
    Skip(1);
  }
}

FILE* OpenSharedForReading(const wchar_t* path, FILETIME* lastWrite) {
  if (lastWrite) *lastWrite = FILETIME{};
  HANDLE f = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return nullptr;
  if (lastWrite && !::GetFileTime(f, nullptr, nullptr, lastWrite)) *lastWrite = FILETIME{};
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(f), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(f);
    return nullptr;
  }
  FILE* in = ::_fdopen(fd, "rb");
  if (!in) ::_close(fd);
  return in;
}

}  // namespace ctlfw
