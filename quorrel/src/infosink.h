// Where a category writer puts its text: an open information file, or a
// string in tests. Writers call WriteString with pieces; "\n" ends a line.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

namespace quorrel {

class InfoSink {
 public:
  virtual ~InfoSink() = default;
  virtual void WriteString(const std::string& text) = 0;
  virtual void Flush() {}
};

// Collects the pieces as they are written ("\n" stays "\n").
class StringSink : public InfoSink {
 public:
  void WriteString(const std::string& t) override { text += t; }
  std::string text;
};

// A file opened for writing in text mode: every "\n" reaches the disk as
// CR LF. Truncates an existing file. Remembers whether every piece reached
// the file.
class FileSink : public InfoSink {
 public:
  FileSink() = default;
  ~FileSink() override { Close(); }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  bool Create(const wchar_t* path);
  bool IsOpen() const { return file_ != nullptr; }
  void WriteString(const std::string& text) override;
  void Flush() override;
  // True when the file was open and everything written, flushed and closed
  // without an error.
  bool Close();

 private:
  FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace quorrel
