#include "ctlfw/rules.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace ctlfw {

namespace {

bool StartsWithNoCase(const std::string& s, size_t pos, const char* word) {
  size_t n = std::strlen(word);
  if (pos + n > s.size()) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower((unsigned char)s[pos + i]) != std::tolower((unsigned char)word[i])) return false;
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of decimal digits at `pos`; saturates at INT_MAX. Returns how many
// digits there were.
size_t ReadNumber(const std::string& s, size_t pos, long long* value) {
  size_t i = pos;
  long long v = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (v < INT_MAX) v = v * 10 + (s[i] - '0');
    ++i;
  }
  *value = v > INT_MAX ? INT_MAX : v;
  return i - pos;
}

// "-L", "-X" and "-Y": the field their number goes to, or nullptr.
int Switches::*NumberSwitchAt(const std::string& s, size_t pos) {
  static const struct {
    const char* name;
    int Switches::*field;
  } kNumberSwitches[] = {{"-L", &Switches::loop}, {"-X", &Switches::x}, {"-Y", &Switches::y}};
  for (const auto& n : kNumberSwitches)
    if (StartsWithNoCase(s, pos, n.name)) return n.field;
  return nullptr;
}

}  // namespace

int ClampCoverage(long long value) { return value > 100 ? 100 : value < 10 ? 10 : (int)value; }

int ClampThreadCount(long long value) { return value > 3 ? 3 : value < 1 ? 1 : (int)value; }

Switches ParseSwitches(const std::string& line) {
  Switches sw;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] != '-') {
      ++i;
      continue;
    }
    long long num = 0;
    size_t digits = 0;
    if (StartsWithNoCase(line, i, "-AutoRun")) {
      sw.autoRun = true;
      i += 8;
      if (i < line.size() && IsDigit(line[i])) sw.runSuffix = std::string(1, line[i++]);
    } else if (StartsWithNoCase(line, i, "-Check")) {
      sw.check = true;
      i += 6;
    } else if (StartsWithNoCase(line, i, "-Bench")) {
      sw.bench = true;
      i += 6;
    } else if (StartsWithNoCase(line, i, "-Append")) {
      sw.append = true;
      i += 7;
    } else if (StartsWithNoCase(line, i, "-ProcTest")) {
      sw.procTest = true;
      i += 9;
    } else if (StartsWithNoCase(line, i, "-Floppy")) {
      sw.floppy = true;
      i += 7;
    } else if (StartsWithNoCase(line, i, "-NetDisk")) {
      sw.netDisk = true;
      i += 8;
    } else if (StartsWithNoCase(line, i, "-VideoTest")) {
      sw.videoTest = true;
      i += 10;
    } else if (int Switches::*field = NumberSwitchAt(line, i)) {
      digits = ReadNumber(line, i + 2, &num);
      if (digits) sw.*field = (int)num;
      i += 2 + digits;
    } else if (StartsWithNoCase(line, i, "-C")) {
      sw.coverage = true;
      digits = ReadNumber(line, i + 2, &num);
      if (digits) sw.coverageValue = ClampCoverage(num);
      i += 2 + digits;
    } else {
      ++i;
    }
  }
  return sw;
}

bool ParseSizeProperty(const std::string& name, const std::string& value, int* cx, int* cy) {
  if (name.size() != 4 || strcasecmp(name.c_str(), "Size") != 0) return false;
  if (value.size() <= 6) return false;
  // "%d %d", but numbers saturate instead of overflowing.
  const char* p = value.c_str();
  char* end = nullptr;
  long long a = std::strtoll(p, &end, 10), b = 0;
  if (end != p) b = std::strtoll(end, nullptr, 10);
  auto toInt = [](long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : (int)v; };
  *cx = toInt(a);
  *cy = toInt(b);
  return true;
}

SheetRect SheetRectFor(int cx, int cy) {
  return SheetRect{2, 2, cx < 360 ? 356 : cx - 4, cy < 240 ? 236 : cy - 4};
}

namespace {

bool StartsWithNoCase(const std::string& s, const char* word) {
  size_t n = std::strlen(word);
  return s.size() >= n && strncasecmp(s.c_str(), word, n) == 0;
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

uint64_t CommittableNow(uint64_t availPhys, uint64_t availPageFile) {
  uint64_t room = availPhys > availPageFile ? availPhys : availPageFile;
  return room - room / kCommitMarginShare;
}

uint64_t FreeMemoryBlockSize(bool nt, uint64_t maxWorkingSet, uint64_t availPhys, uint64_t availPageFile,
                             uint64_t totalPhys) {
  uint64_t size;
  if (nt) {
    size = maxWorkingSet;
  } else {
    uint64_t limit = totalPhys > ~0ull / 3 ? ~0ull : totalPhys * 3;
    size = availPageFile < limit ? availPageFile : limit;
    if (size > 0xF000000) size = 0xF000000;
  }
  if (size > totalPhys) size = totalPhys;
  if (size < kFreeMemoryFloor) size = kFreeMemoryFloor;
  uint64_t reach = CommittableNow(availPhys, availPageFile);
  if (size > reach) size = reach;
  return size < kFreeMemoryFloor ? 0 : size;
}

uint64_t ShrinkFreeMemoryBlock(uint64_t size) {
  uint64_t next = size / 16 * 15 + size % 16 * 15 / 16;
  return next < kFreeMemoryFloor ? 0 : next;
}

int FreeMemoryProgress(int round, uint64_t offset, uint64_t size) {
  uint64_t step = (size / 4096) * 256;
  if (step == 0 || offset % step != 0) return -1;
  return round * 18 + (int)(offset / step) - 13;
}

}  // namespace ctlfw
