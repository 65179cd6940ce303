#include "infofile/infofile.h"

#include <cstring>

namespace infofile {

namespace {

template <typename S>
int LevelOf(const S& line) {
  if (line.size() > kHeadingPrefixLength && line[0] == kHeadingMark && line[1] >= '1' && line[1] <= '3')
    return line[1] - '0';
  return 0;
}

template <typename S>
S TextAfterPrefix(const S& line) {
  return line.size() > kHeadingPrefixLength ? line.substr(kHeadingPrefixLength) : S();
}

}  // namespace

int HeadingLevel(const std::string& line) { return LevelOf(line); }
int HeadingLevel(const std::wstring& line) { return LevelOf(line); }

bool BeginsWithHeadingMark(const std::string& line) { return !line.empty() && line[0] == kHeadingMark; }
bool BeginsWithHeadingMark(const std::wstring& line) { return !line.empty() && line[0] == kHeadingMark; }

std::string HeadingText(const std::string& line) { return TextAfterPrefix(line); }
std::wstring HeadingText(const std::wstring& line) { return TextAfterPrefix(line); }

bool IsHiddenLine(const std::string& line) { return !line.empty() && line[0] == kHiddenMark; }

bool HasLabel(const std::string& line, const char* label) {
  size_t n = std::strlen(label);
  return line.size() >= n && _strnicmp(line.c_str(), label, n) == 0;
}

bool IsVideoBlockMark(const std::string& line) { return HasLabel(line, kVideoBlockMark); }

void Writer::CompleteLines(const char* text) {
  if (!text) return;
  size_t start = 0;
  size_t len = std::strlen(text);
  for (size_t i = 0; i < len; ++i) {
    if (text[i] != kLineEnd[0]) continue;
    if (i > start) Line(std::string(text + start, i - start));
    start = i + 1;
  }
}

bool FileWriter::Create(const wchar_t* path) {
  Close();
  failed_ = false;
  file_ = ::_wfopen(path, L"wt");
  return file_ != nullptr;
}

void FileWriter::Put(const std::string& piece) {
  if (file_ && !piece.empty() && std::fwrite(piece.data(), 1, piece.size(), file_) != piece.size()) failed_ = true;
}

void FileWriter::Flush() {
  if (file_ && std::fflush(file_) != 0) failed_ = true;
}

bool FileWriter::Close() {
  if (!file_) return false;
  // Flushed here and not left to fclose: a C runtime's fclose may not report
  // that its last write failed (a full drive).
  if (std::fflush(file_) != 0) failed_ = true;
  if (std::ferror(file_)) failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

}  // namespace infofile
