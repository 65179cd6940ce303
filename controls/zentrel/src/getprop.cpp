#include "getprop.h"

#include <cctype>
#include <cstring>

namespace zentrel {

namespace {

bool StartsWithNoCase(const std::string& s, const char* word) {
  size_t n = std::strlen(word);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower((unsigned char)s[i]) != std::tolower((unsigned char)word[i])) return false;
  return true;
}

}  // namespace

std::string GetPropValue(const std::string& name, const std::string& title, const ResultList* list) {
  if (StartsWithNoCase(name, "Title")) return title;
  if (StartsWithNoCase(name, "count")) {
    if (!list) return {};
    int count = list->Count();
    return count < 0 ? std::string() : std::to_string(count);
  }
  if (StartsWithNoCase(name, "line:")) {
    if (!list) return {};
    int count = list->Count();
    if (count < 0) return {};
    // The run of digits right after "line:"; a number past any line count
    // (however long) is simply out of range.
    size_t pos = 5;
    long long n = 0;
    size_t digits = 0;
    while (pos < name.size() && std::isdigit((unsigned char)name[pos])) {
      if (n <= count) n = n * 10 + (name[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || n >= count) return {};
    int len = list->TextLength((int)n);
    if (len < 0 || len >= kMaxLineLength) return {};
    if (len == 0) return "\n";
    return list->Text((int)n) + "\n";
  }
  return {};
}

}  // namespace zentrel
