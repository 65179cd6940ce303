#include "stress/detailsdoc.h"

#include <algorithm>

#include "stress/benchscore.h"

namespace stress {

namespace {

// The second line of `bytes`: where it begins, where its text ends (before
// a CR LF or LF) and where the line ends (after its LF). False when the file
// has no second line.
struct SecondLine {
  size_t begin = 0, textEnd = 0, end = 0;
};
bool FindSecondLine(const std::string& bytes, SecondLine* line) {
  size_t firstEnd = bytes.find('\n');
  if (firstEnd == std::string::npos || firstEnd + 1 >= bytes.size()) return false;
  line->begin = firstEnd + 1;
  size_t lf = bytes.find('\n', line->begin);
  line->end = lf == std::string::npos ? bytes.size() : lf + 1;
  line->textEnd = lf == std::string::npos ? bytes.size() : lf;
  if (line->textEnd > line->begin && bytes[line->textEnd - 1] == '\r') --line->textEnd;
  return true;
}

std::string ShownLine(std::string line) {
  for (char& c : line)
    if (c == '\0') c = ' ';
  if (line.size() > kMaxShownLine) line = line.substr(0, kMaxShownLine) + "...";
  return line;
}

}  // namespace

DetailsDoc MakeDetailsDoc(std::string bytes, unsigned long long fileSize) {
  DetailsDoc doc;
  doc.fileSize = fileSize;
  doc.whole = fileSize <= bytes.size() && bytes.size() <= kMaxDetailsFile;
  doc.bytes = std::move(bytes);
  // The list shows the lines of the first bytes of a large file.
  const size_t n = std::min<size_t>(doc.bytes.size(), kMaxResultFile);
  doc.shownInPart = doc.fileSize > n;
  size_t pos = 0, index = 0;
  while (pos < n) {
    size_t lf = doc.bytes.find('\n', pos);
    size_t end = lf == std::string::npos || lf > n ? n : lf;
    std::string line = doc.bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (index == 1 && !line.empty())
      doc.description = line;
    else
      doc.shown.push_back(ShownLine(std::move(line)));
    pos = end + 1;
    ++index;
  }
  return doc;
}

std::string WithDescription(const std::string& bytes, const std::string& description) {
  SecondLine line;
  if (!FindSecondLine(bytes, &line)) {
    if (description.empty()) return bytes;
    // No second line: the description follows the first, which gets a line
    // end when it has none.
    std::string out = bytes;
    if (out.empty() || out.back() != '\n') out += "\r\n";
    return out + description + "\r\n";
  }
  std::string out = bytes;
  if (line.textEnd > line.begin) {
    if (description.empty())
      out.erase(line.begin, line.end - line.begin);
    else
      out.replace(line.begin, line.textEnd - line.begin, description);
  } else if (!description.empty()) {
    out.insert(line.begin, description + "\r\n");
  }
  return out;
}

std::string OneLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

}  // namespace stress
