#include "gfxtest/files.h"

#include <windows.h>

#include <cstring>

namespace gfxtest {

namespace {

uint32_t U32(const std::vector<uint8_t>& f, size_t at) {
  return (uint32_t)f[at] | (uint32_t)f[at + 1] << 8 | (uint32_t)f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}
uint16_t U16(const std::vector<uint8_t>& f, size_t at) { return (uint16_t)(f[at] | f[at + 1] << 8); }

constexpr size_t kFileHeader = 14, kInfoHeader = 40;
constexpr int kMaxSide = 16384;

// The headers every reader checks: "BM", an information header of at least
// 40 bytes inside the file, one plane, no compression, a sane size.
bool ReadHeaders(const std::vector<uint8_t>& f, Dib* d, uint32_t* offBits, uint32_t* headerSize) {
  if (f.size() < kFileHeader + kInfoHeader || f[0] != 'B' || f[1] != 'M') return false;
  *offBits = U32(f, 10);
  *headerSize = U32(f, 14);
  if (*headerSize < kInfoHeader || *headerSize > f.size() - kFileHeader) return false;
  int32_t w = (int32_t)U32(f, 18), h = (int32_t)U32(f, 22);
  uint16_t planes = U16(f, 26), bits = U16(f, 28);
  uint32_t compression = U32(f, 30);
  if (planes != 1 || compression != 0 /* BI_RGB */) return false;
  if (w <= 0 || w > kMaxSide || h == 0 || h < -kMaxSide || h > kMaxSide) return false;
  d->width = w;
  d->height = h;
  d->bitCount = bits;
  return true;
}

size_t Stride(int width, int bits) { return (((size_t)width * bits + 31) / 32) * 4; }

}  // namespace

bool ParseDib(const std::vector<uint8_t>& f, Dib* out) {
  Dib d;
  uint32_t offBits = 0, headerSize = 0;
  if (!ReadHeaders(f, &d, &offBits, &headerSize)) return false;
  if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 16 && d.bitCount != 24 &&
      d.bitCount != 32)
    return false;
  size_t colours = d.bitCount <= 8 ? (size_t)1 << d.bitCount : 0;
  size_t table = kFileHeader + headerSize;
  if (table + colours * 4 > f.size()) return false;
  // The pixels start where the file header says, behind the colour table.
  if (offBits < table + colours * 4 || offBits >= f.size()) return false;
  size_t rows = (size_t)(d.height < 0 ? -d.height : d.height);
  size_t need = Stride(d.width, d.bitCount) * rows;
  if (need > f.size() - offBits) return false;
  d.info.assign(kInfoHeader + colours * 4, 0);
  std::memcpy(d.info.data(), f.data() + kFileHeader, kInfoHeader);
  // Our header is a plain 40-byte one whatever the file's was.
  d.info[0] = (uint8_t)kInfoHeader, d.info[1] = d.info[2] = d.info[3] = 0;
  std::memset(d.info.data() + 32, 0, 8);  // colours used and important: all of the table
  if (colours) std::memcpy(d.info.data() + kInfoHeader, f.data() + table, colours * 4);
  d.bits.assign(f.begin() + offBits, f.begin() + offBits + need);
  *out = std::move(d);
  return true;
}

bool ParsePaletteBitmap(const std::vector<uint8_t>& f, Dib* out) {
  Dib d;
  uint32_t offBits = 0, headerSize = 0;
  if (!ReadHeaders(f, &d, &offBits, &headerSize) || d.bitCount != 8 || d.height < 0) return false;
  uint32_t used = U32(f, 46);
  if (used != 0 && used != 256) return false;  // a full colour table
  size_t table = kFileHeader + headerSize;
  if (table + 1024 > f.size() || offBits < table + 1024 || offBits >= f.size()) return false;
  size_t need = Stride(d.width, 8) * (size_t)d.height;
  if (need > f.size() - offBits) return false;
  d.info.assign(kInfoHeader + 1024, 0);
  std::memcpy(d.info.data(), f.data() + kFileHeader, kInfoHeader);
  d.info[0] = (uint8_t)kInfoHeader, d.info[1] = d.info[2] = d.info[3] = 0;
  std::memset(d.info.data() + 32, 0, 8);
  std::memcpy(d.info.data() + kInfoHeader, f.data() + table, 1024);
  d.bits.assign(f.begin() + offBits, f.begin() + offBits + need);
  *out = std::move(d);
  return true;
}

Wave ParseWave(const std::vector<uint8_t>& f) {
  Wave w;
  // The RIFF chunk of form "WAVE", searched among the file's top-level chunks.
  size_t at = 0, riffEnd = 0;
  bool found = false;
  while (at + 12 <= f.size()) {
    uint32_t size = U32(f, at + 4);
    if (std::memcmp(&f[at], "RIFF", 4) == 0 && std::memcmp(&f[at + 8], "WAVE", 4) == 0) {
      found = true;
      riffEnd = size > f.size() - at - 8 ? f.size() : at + 8 + size;
      at += 12;
      break;
    }
    if (size > f.size() - at - 8) break;
    at += 8 + size + (size & 1);
  }
  if (!found) {
    w.error = 14;
    return w;
  }
  // A chunk inside the RIFF chunk: its data offset and size, the size bounded
  // by what the RIFF chunk holds.
  auto findChunk = [&](size_t from, const char* id, size_t* data, size_t* size, bool* cut) {
    size_t p = from;
    while (p + 8 <= riffEnd) {
      uint32_t s = U32(f, p + 4);
      size_t room = riffEnd - p - 8;
      if (std::memcmp(&f[p], id, 4) == 0) {
        *data = p + 8;
        *cut = s > room;
        *size = *cut ? room : s;
        return true;
      }
      if (s > room) return false;
      p += 8 + s + (s & 1);
    }
    return false;
  };
  size_t fmt = 0, fmtSize = 0;
  bool cut = false;
  if (!findChunk(at, "fmt ", &fmt, &fmtSize, &cut)) {
    w.error = 15;
    return w;
  }
  // The PCM format is 16 bytes; the two of the extra size may be missing.
  if (fmtSize < 16) {
    w.error = 16;
    return w;
  }
  w.tag = U16(f, fmt);
  w.channels = U16(f, fmt + 2);
  w.samplesPerSec = U32(f, fmt + 4);
  w.avgBytesPerSec = U32(f, fmt + 8);
  w.blockAlign = U16(f, fmt + 12);
  w.bitsPerSample = U16(f, fmt + 14);
  if (w.tag != 1) {
    w.error = 17;
    return w;
  }
  size_t data = 0, dataSize = 0;
  size_t afterFmt = fmt + fmtSize + (fmtSize & 1);
  if (!findChunk(afterFmt, "data", &data, &dataSize, &cut)) {
    w.error = 19;
    return w;
  }
  if (dataSize > kMaxWaveData) {
    w.error = 20;
    return w;
  }
  if (cut) {
    w.error = 21;
    return w;
  }
  w.dataOffset = data;
  w.dataSize = dataSize;
  return w;
}

bool ReadWholeFile(const std::wstring& path, size_t limit, std::vector<uint8_t>* out) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(h, &size) && size.QuadPart >= 0 && (uint64_t)size.QuadPart <= limit;
  if (ok) {
    out->assign((size_t)size.QuadPart, 0);
    DWORD got = 0;
    ok = out->empty() || (::ReadFile(h, out->data(), (DWORD)out->size(), &got, nullptr) && got == out->size());
  }
  ::CloseHandle(h);
  return ok;
}

}  // namespace gfxtest
