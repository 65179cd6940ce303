// The information files' text format, for the server that writes them and
// for every program that reads them. A file is plain text of lines:
//  - "Label:\tValue" lines: a label, a tab and a value (further tabs align
//    further columns against the readers' tab stops);
//  - heading lines: "@1", "@2" or "@3" and the heading text (the server
//    writes "@3"; the lists draw the levels in larger fonts);
//  - hidden lines that begin with ';': kept in the file, never shown; a
//    ";Video" line opens or closes a block of display lines;
//  - any other line, shown as it stands.
// Lines end in "\n" as the writers put them (CR LF on disk).
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

namespace infofile {

// ---- Markers -----------------------------------------------------------------
constexpr char kHeadingMark = '@';
constexpr char kHeading[] = "@3";  // the heading level the server writes
constexpr size_t kHeadingPrefixLength = 2;
constexpr char kHiddenMark = ';';
constexpr char kVideoBlockMark[] = ";Video";
constexpr char kVideoBlockLine[] = ";Video Info";  // the mark as the server writes it
constexpr char kTab[] = "\t";  // between a label and its value, and before an indented line
constexpr char kLineEnd[] = "\n";

// ---- Reading -------------------------------------------------------------------
// 1..3 for a line longer than the prefix that begins with "@1", "@2" or
// "@3"; 0 for any other line.
int HeadingLevel(const std::string& line);
int HeadingLevel(const std::wstring& line);
// Whether a line is shown as a heading by the report's list and printer:
// it begins with '@' (any level, any length).
bool BeginsWithHeadingMark(const std::string& line);
bool BeginsWithHeadingMark(const std::wstring& line);
// The text of a heading line: what follows its two-character prefix ("" for
// a line no longer than the prefix).
std::string HeadingText(const std::string& line);
std::wstring HeadingText(const std::wstring& line);
// A hidden line (begins with ';').
bool IsHiddenLine(const std::string& line);
// A ";Video" line (letter case aside) that opens or closes the display block.
bool IsVideoBlockMark(const std::string& line);
// Whether `line` begins with `label`, letter case aside.
bool HasLabel(const std::string& line, const char* label);

// ---- Writing -------------------------------------------------------------------
// Where a writer puts its text. The text goes out in pieces; a line ends
// with EndLine. The helpers below are the only places that spell the format.
class Writer {
 public:
  virtual ~Writer() = default;
  // A piece of a line, as it stands (a text that carries its own tabs and
  // line ends, as the string table's formats do).
  void Text(const std::string& piece) { Put(piece); }
  void EndLine() { Put(kLineEnd); }
  // `text` and a line end.
  void Line(const std::string& text) {
    Put(text);
    EndLine();
  }
  void BlankLine() { EndLine(); }
  // Opens a heading line; the pieces written next are its text, up to EndLine.
  void BeginHeading() { Put(kHeading); }
  // A heading line of `text`.
  void Heading(const std::string& text) {
    BeginHeading();
    Line(text);
  }
  // An empty line and a heading line: how sections are set apart.
  void SpacedHeading(const std::string& text) {
    BlankLine();
    Heading(text);
  }
  // "label\tvalue" and a line end.
  void Item(const std::string& label, const std::string& value) {
    Put(label);
    Tab();
    Line(value);
  }
  // A tab: the next column of a line.
  void Tab() { Put(kTab); }
  // A line set in by one tab.
  void Indented(const std::string& text) {
    Tab();
    Line(text);
  }
  // The hidden line that opens or closes a block of display lines.
  void VideoBlockMark() { Line(kVideoBlockLine); }
  // Every non-empty line of `text` that ends in a line feed; text after the
  // last line feed is not written.
  void CompleteLines(const char* text);
  virtual void Flush() {}

 protected:
  virtual void Put(const std::string& piece) = 0;
};

// Collects the text as it is written ("\n" stays "\n").
class StringWriter : public Writer {
 public:
  std::string text;

 protected:
  void Put(const std::string& piece) override { text += piece; }
};

// A file opened for writing in text mode: every "\n" reaches the disk as
// CR LF. Truncates an existing file. Remembers whether every piece reached
// the file.
class FileWriter : public Writer {
 public:
  FileWriter() = default;
  ~FileWriter() override { Close(); }
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;
  bool Create(const wchar_t* path);
  bool IsOpen() const { return file_ != nullptr; }
  void Flush() override;
  // True when the file was open and everything written, flushed and closed
  // without an error.
  bool Close();

 protected:
  void Put(const std::string& piece) override;

 private:
  FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace infofile
