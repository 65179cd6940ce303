#include "logo_text.h"

#include <cctype>
#include <cstdio>

namespace halvix {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && b[i] == '\0';
}

bool EndsWithNoCase(const std::string& s, const char* tail) {
  size_t n = 0;
  while (tail[n]) ++n;
  return s.size() >= n && EqualsNoCase(s.substr(s.size() - n), tail);
}

// The line without its tags: each "<" up to and including the next ">" (or
// to the end when none follows) is skipped.
std::string StripTags(const std::string& line) {
  std::string out;
  out.reserve(line.size());
  bool inTag = false;
  for (char c : line) {
    if (inTag) {
      if (c == '>') inTag = false;
    } else if (c == '<') {
      inTag = true;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string ExtractLogoText(const std::vector<std::string>& lines) {
  std::string text;
  bool inside = false;
  for (const std::string& raw : lines) {
    const std::string trimmed = Trim(raw);
    if (trimmed.size() >= 7 && trimmed.compare(0, 4, "<!--") == 0 &&
        trimmed.compare(trimmed.size() - 3, 3, "-->") == 0) {
      const std::string marker = Trim(trimmed.substr(4, trimmed.size() - 7));
      if (EqualsNoCase(marker, "Text Begin")) {
        inside = true;
      } else if (EqualsNoCase(marker, "Text End")) {
        break;
      }
      continue;
    }
    if (!inside) continue;
    std::string line = raw;
    if (EndsWithNoCase(line, "<p>")) {
      line.resize(line.size() - 3);
      line += "\r\n\r\n";
    } else if (EndsWithNoCase(line, "<br>")) {
      line.resize(line.size() - 4);
      line += "\r\n";
    } else if (line.empty() || !IsBlank(line.back())) {
      line += ' ';
    }
    if (line.size() > kLogoLineMax) line.resize(kLogoLineMax);
    text += StripTags(line);
  }
  return text;
}

bool ReadTextLines(const std::wstring& path, std::vector<std::string>* lines) {
  lines->clear();
  FILE* f = ::_wfopen(path.c_str(), L"rb");
  if (!f) return false;
  std::string line;
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines->push_back(line);
      line.clear();
      any = false;
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (any) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
  }
  std::fclose(f);
  return true;
}

}  // namespace halvix
