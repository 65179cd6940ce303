// Reading the suite's text files (information files, result logs, reports)
// line by line with a bound on every line, and opening them so that their
// writers are never kept from replacing them.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

namespace ctlfw {

// Lines are at most this long: the suite's lists draw and its printer
// prints no more. A longer line comes out as several pieces; each further
// piece starts with two blanks so that it reads as a continuation and can
// never be taken for a heading ("@") or a hidden marker (";").
constexpr size_t kMaxTextLine = 255;
constexpr char kLineContinuation[] = "  ";

// Reads a text file line by line as a text-mode stream does (CR LF or LF
// ends a line; a last line without a line end still counts), never holding
// more than one bounded piece: a line longer than kMaxTextLine comes out as
// several pieces (see kLineContinuation).
class BoundedLineReader {
 public:
  explicit BoundedLineReader(FILE* f) : f_(f) {}
  BoundedLineReader(const BoundedLineReader&) = delete;
  BoundedLineReader& operator=(const BoundedLineReader&) = delete;
  bool Next(std::string* line);
  // The piece that Next gave last continues a line (it is not a line's
  // first piece).
  bool Continued() const { return continued_; }
  // Bytes of the file taken so far (line ends included).
  unsigned long long Consumed() const { return consumed_; }

 private:
  // The byte `ahead` places from the reading position, -1 at the end.
  int Peek(size_t ahead = 0);
  void Skip(size_t n) {
    pos_ += n;
    consumed_ += n;
  }
  // Length of the line end (LF or CR LF) at the reading position, or 0.
  size_t LineEndHere();
  void Fill();

  FILE* f_;
  char buf_[8192];
  size_t pos_ = 0, len_ = 0;
  bool end_ = false;
  bool continuing_ = false;  // the previous piece ended inside a line
  bool continued_ = false;   // the last piece continues a line
  unsigned long long consumed_ = 0;
};

// Opens a file for reading in binary mode while letting everyone else read,
// write, rename and delete it: a writer that replaces the file by renaming
// a new one onto it is never refused because of this reader. `lastWrite`
// (optional) receives the file's last-write time (zero when it cannot be
// read). nullptr when the file does not open.
FILE* OpenSharedForReading(const wchar_t* path, FILETIME* lastWrite = nullptr);

}  // namespace ctlfw
