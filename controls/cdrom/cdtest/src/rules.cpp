#include "cdtest/rules.h"

#include <cmath>

namespace cdtest {

namespace {

int Clamp(long long v, long long lo, long long hi) { return (int)(v < lo ? lo : v > hi ? hi : v); }

}  // namespace

Settings ClampSettings(const Settings& raw) {
  Settings s;
  s.loop = Clamp(raw.loop, 1, 100000);
  s.bufferMultiple = Clamp(raw.bufferMultiple, 1, 4096);
  s.testFileMinSizeM = Clamp(raw.testFileMinSizeM, 0, 4000);
  s.testFileMaxSizeM = Clamp(raw.testFileMaxSizeM, 0, 4000);
  s.diskSize = Clamp(raw.diskSize, 0, 8000);
  s.clearBufferBlocks = Clamp(raw.clearBufferBlocks, 0, 65535);
  s.seekTestNum = Clamp(raw.seekTestNum, 1, 10000);
  s.testFileMinSizeK = Clamp(raw.testFileMinSizeK, 0, 1048576);
  return s;
}

Limits LimitsFor(const Settings& s) {
  Limits l;
  l.largest = (uint64_t)s.testFileMaxSizeM * 1000000u;
  l.smallest = s.testFileMinSizeK != 0 ? (uint64_t)s.testFileMinSizeK * 1024u : (uint64_t)s.testFileMinSizeM * 1000000u;
  l.leastDiscSectors = (uint32_t)s.diskSize * 1000u / 2u;
  if (s.testFileMinSizeK == 0) {
    uint64_t blocks = (uint64_t)s.testFileMinSizeM * 1000u / ((uint64_t)s.bufferMultiple * 2u);
    l.blockLimit = (uint32_t)(blocks > 0xFFFF ? 0xFFFF : blocks);
  } else {
    l.blockLimit = 50;
  }
  return l;
}

SmallFile SmallFileRule(const Settings& s, uint64_t size, uint32_t sectorSize) {
  SmallFile r;
  if (s.testFileMinSizeK <= 0 || size >= (uint64_t)s.testFileMinSizeM * 1048576u) return r;
  r.small = true;
  r.bufferMultiple = s.testFileMinSizeK / 2 > 0 ? s.testFileMinSizeK / 2 : 1;
  uint64_t block = (uint64_t)r.bufferMultiple * (sectorSize ? sectorSize : 1);
  uint64_t blocks = size / block;
  r.blockLimit = (uint32_t)(blocks > 0xFFFF ? 0xFFFF : blocks);
  return r;
}

std::string TestFileOnDrive(const std::string& setting, char letter) {
  std::string path = setting;
  if (!path.empty()) path[0] = letter;
  return path;
}

bool OpensByTheNameFound(const std::wstring& path, const std::wstring& throughAnsi) {
  if (path.empty() || throughAnsi != path) return false;
  const wchar_t last = path.back();
  return last != L'.' && last != L' ';
}

uint32_t BlockCount(uint64_t length, uint64_t block, uint32_t limit) {
  if (block == 0) return 0;
  uint64_t n = length / block;
  return n > limit ? limit : (uint32_t)n;
}

uint32_t FullStrokeSector(uint32_t total, uint32_t n, uint32_t i) {
  if (i % 2 == 1) return total - i / 2 - 100;
  return n / 2 - i / 2 + 100;
}

bool DiscLargeEnoughForFullStroke(uint32_t total, uint32_t leastDiscSectors, uint32_t n) {
  // The schedule's sectors lie between 100 and total - 100, and n / 2 + 100
  // must stay below the end.
  uint64_t floor = 200 + (uint64_t)n / 2;
  return total >= leastDiscSectors && total >= floor;
}

bool RandomSector(uint32_t r, uint32_t total, uint32_t* sector) {
  if (total <= 200) return false;
  *sector = r % (total - 200) + 100;
  return true;
}

uint32_t Random32(const std::function<int()>& rnd) {
  uint32_t v = 0;
  for (int i = 0; i < 32; ++i) v = (v << 1) | (uint32_t)(rnd() % 2);
  return v;
}

bool TransferRateKBs(uint64_t block, uint32_t blocks, double seconds, double* rate) {
  if (blocks < 2 || !(seconds > 0)) return false;
  double r = (double)block * (double)(blocks - 1) / 1024.0 / seconds;
  if (!(r > 0) || !std::isfinite(r)) return false;
  *rate = r;
  return true;
}

int SpeedFactor(double rateKBs) { return (int)std::lround(rateKBs / 150.0); }

int MpcLevel(double rateKBs, uint32_t accessMs) {
  struct Row {
    long rate;
    uint32_t access;
  };
  static const Row kRows[] = {{150, 1000}, {300, 400}, {600, 250}};
  long whole = (long)rateKBs;
  int level = 0;
  for (int i = 0; i < 3; ++i)
    if (whole >= kRows[i].rate && kRows[i].access >= accessMs) level = i + 1;
  return level;
}

}  // namespace cdtest
