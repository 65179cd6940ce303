#include "disktest/rules.h"

#include <cstdlib>
#include <cstring>

namespace disktest {

SizeSettings ClampSizes(bool floppy, bool check, int64_t largest, int64_t increment, int64_t incrementMax) {
  if (floppy) {
    if (largest > 1440000) largest = 1280000;
    if (largest < 10000) largest = 10000;
    if (check) largest = 40000;
  } else {
    if (largest > 30000000) largest = 30000000;
    if (largest < 10000) largest = 10000;
    if (check) largest = 10240000;
  }
  if (increment < 5000) increment = 5000;
  if (incrementMax < 5000) incrementMax = 5000;
  if (incrementMax > largest) incrementMax = largest;
  if (increment > incrementMax) increment = incrementMax;
  return {largest, increment, incrementMax};
}

SizeStep FirstSizeStep(int64_t increment) { return {increment, increment}; }

SizeStep NextSizeStep(SizeStep s, int64_t incrementMax) {
  if (s.block < incrementMax) {
    s.block = s.block * 2 > incrementMax ? incrementMax : s.block * 2;
    s.file = s.block;
  } else {
    s.block = incrementMax;
    s.file *= 2;
  }
  return s;
}

std::vector<SizeStep> SizeSchedule(int64_t increment, int64_t incrementMax, int64_t largest) {
  std::vector<SizeStep> steps;
  if (increment <= 0 || incrementMax <= 0) return steps;
  for (SizeStep s = FirstSizeStep(increment); s.file <= largest; s = NextSizeStep(s, incrementMax))
    steps.push_back(s);
  return steps;
}

int64_t WorkerLargestSize(uint64_t freeBytes, int64_t configuredLargest) {
  uint64_t usable = freeBytes > kMaxUsableSpace ? kMaxUsableSpace : freeBytes;
  return (int64_t)usable < configuredLargest ? (int64_t)usable : configuredLargest;
}

int SizePercent(int64_t f, int64_t largest) {
  if (largest <= 0) return 100;
  int64_t p = f * 100 / largest;
  return p > 100 ? 100 : p < 0 ? 0 : (int)p;
}

int ProgressBetween(int previous, int target, int tenths) { return previous + (target - previous) * tenths / 10; }

std::string SystemErrorText(DWORD code, const std::string& generalFailure) {
  if (code == ERROR_GEN_FAILURE) return generalFailure;
  char* buffer = nullptr;
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&buffer, 0, nullptr);
  std::string text;
  if (n && buffer) text.assign(buffer, n);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

int64_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t n) {
  if (std::memcmp(a, b, n) == 0) return -1;
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return (int64_t)i;
  return -1;
}

double TransferRateMBs(uint64_t timedReads, uint64_t size, double seconds) {
  if (timedReads == 0 || size == 0 || !(seconds > 0)) return 0;
  return (double)timedReads * (double)size / (seconds * 1024.0 * 1024.0);
}

uint32_t ReadRounds(uint32_t baseLoop, uint32_t sizeKB) {
  uint32_t per = sizeKB / 16;
  uint32_t n = per ? baseLoop / per : baseLoop;
  return n < 2 ? 2 : n;
}

namespace {

// "%ld" at p (within end): leading blanks, an optional sign, digits.
bool ReadLong(const char*& p, const char* end, uint32_t* out) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  if (p >= end || *p < '0' || *p > '9') return false;
  uint64_t v = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    if (v < 0xFFFFFFFFull) v = v * 10 + (uint64_t)(*p - '0');
    ++p;
  }
  if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
  *out = negative ? 0 : (uint32_t)v;
  return true;
}

const char* TextEnd(const char* text, size_t len) {
  const void* nul = std::memchr(text, 0, len);
  return nul ? static_cast<const char*>(nul) : text + len;
}

bool SkipToTab(const char*& p, const char* end) {
  while (p < end && *p != '\t') ++p;
  if (p >= end) return false;
  ++p;
  return true;
}

}  // namespace

bool ParseTabbedNumbers(const char* text, size_t len, uint32_t* a, uint32_t* b, uint32_t* c) {
  const char* end = TextEnd(text, len);
  const char* p = text;
  return SkipToTab(p, end) && ReadLong(p, end, a) && SkipToTab(p, end) && ReadLong(p, end, b) &&
         SkipToTab(p, end) && ReadLong(p, end, c);
}

bool FindGeometry(const char* reply, size_t len, const std::string& label, Geometry* g) {
  if (label.empty()) return false;
  const char* end = TextEnd(reply, len);
  std::string text(reply, end);
  size_t at = text.find(label);
  if (at == std::string::npos) return false;
  const char* p = text.c_str() + at + label.size();
  return ParseTabbedNumbers(p, text.size() - at - label.size(), &g->cylinders, &g->sectors, &g->heads);
}

uint32_t ParseDriveCount(const char* reply, size_t len) {
  const char* end = TextEnd(reply, len);
  const char* p = reply;
  uint32_t n = 0;
  if (!SkipToTab(p, end) || !ReadLong(p, end, &n)) return 0;
  return n;
}

Geometry TranslatedGeometry(Geometry g) {
  while (g.cylinders > 1024) {
    g.cylinders /= 2;
    g.heads *= 2;
  }
  return g;
}

bool SkipsVerify(const Geometry& t) { return (uint64_t)t.cylinders * t.heads * t.sectors >= 0xFC0000ull; }

std::vector<uint32_t> FunnelOrder(uint32_t cylinders) {
  std::vector<uint32_t> order;
  for (uint32_t j = 1; j < cylinders; ++j) order.push_back(j % 2 ? j : cylinders - j);
  return order;
}

SeekPlan PlanAccessTime(uint64_t cylinders) {
  SeekPlan plan;
  if (cylinders < 3) return plan;
  plan.distanceCylinders = cylinders / 3;
  uint64_t rounds = cylinders / 3;
  plan.rounds = (uint32_t)(rounds > 100 ? 100 : rounds);
  return plan;
}

}  // namespace disktest
