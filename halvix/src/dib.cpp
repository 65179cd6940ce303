#include "dib.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace halvix {

namespace {

constexpr size_t kFileHeaderSize = 14;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
int32_t S32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

unsigned DefaultColors(int bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// Header, masks and colour table of a block of `size` bytes; the pixels are
// checked by the callers, which know where they lie.
bool CheckHeader(const uint8_t* p, size_t size, DibLayout* l) {
  if (!p || size < 4) return false;
  DibLayout out;
  out.headerSize = U32(p);
  uint32_t compression = BI_RGB;
  uint32_t clrUsed = 0;
  int planes = 0;
  if (out.headerSize == sizeof(BITMAPCOREHEADER)) {
    if (size < out.headerSize) return false;
    out.core = true;
    out.width = U16(p + 4);
    out.height = U16(p + 6);
    planes = U16(p + 8);
    out.bitCount = U16(p + 10);
    if (out.bitCount != 1 && out.bitCount != 4 && out.bitCount != 8 && out.bitCount != 24) return false;
  } else if (out.headerSize == sizeof(BITMAPINFOHEADER) || out.headerSize == sizeof(BITMAPV4HEADER) ||
             out.headerSize == sizeof(BITMAPV5HEADER)) {
    if (size < out.headerSize) return false;
    int32_t w = S32(p + 4), h = S32(p + 8);
    // A top-down bitmap (negative height) is not painted bottom-up: refused.
    if (w <= 0 || h <= 0) return false;
    out.width = w;
    out.height = h;
    planes = U16(p + 12);
    out.bitCount = U16(p + 14);
    compression = U32(p + 16);
    clrUsed = U32(p + 32);
    if (out.bitCount != 1 && out.bitCount != 4 && out.bitCount != 8 && out.bitCount != 16 && out.bitCount != 24 &&
        out.bitCount != 32)
      return false;
  } else {
    return false;
  }
  if (planes != 1) return false;
  if (out.width <= 0 || out.height <= 0 || out.width > kMaxDibSide || out.height > kMaxDibSide) return false;

  if (compression == BI_BITFIELDS) {
    if (out.bitCount != 16 && out.bitCount != 32) return false;
    // The three masks follow a 40-byte header; the larger headers hold them.
    size_t at = out.headerSize;
    if (out.headerSize == sizeof(BITMAPINFOHEADER)) out.masksSize = 12;
    else at = 40;
    if (out.headerSize + out.masksSize > size) return false;
    for (int i = 0; i < 3; ++i)
      if (U32(p + at + 4 * i) == 0) return false;
  } else if (compression != BI_RGB) {
    return false;  // run-length and embedded formats are not shown
  }

  unsigned defaults = DefaultColors(out.bitCount);
  if (out.core) {
    out.colors = defaults;
  } else if (clrUsed != 0) {
    if (out.bitCount <= 8 ? clrUsed > defaults : clrUsed > 256) return false;
    out.colors = clrUsed;
  } else {
    out.colors = defaults;
  }
  out.paletteSize = static_cast<size_t>(out.colors) * (out.core ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD));
  out.bitsOffset = out.headerSize + out.masksSize + out.paletteSize;
  if (out.bitsOffset > size) return false;
  uint64_t stride = (static_cast<uint64_t>(out.width) * static_cast<uint64_t>(out.bitCount) + 31) / 32 * 4;
  uint64_t bits = stride * static_cast<uint64_t>(out.height);
  if (bits > kMaxDibFileSize) return false;
  out.bitsSize = static_cast<size_t>(bits);
  *l = out;
  return true;
}

// The checked layout of a block in global memory; false when it is not one.
bool LayoutOf(HGLOBAL dib, DibLayout* l) {
  if (!dib) return false;
  size_t size = ::GlobalSize(dib);
  const void* p = ::GlobalLock(dib);
  if (!p) return false;
  bool ok = CheckDibBlock(p, size, l);
  ::GlobalUnlock(dib);
  return ok;
}

}  // namespace

bool CheckDibBlock(const void* block, size_t size, DibLayout* layout) {
  DibLayout l;
  if (!CheckHeader(static_cast<const uint8_t*>(block), size, &l)) return false;
  if (l.bitsSize > size - l.bitsOffset) return false;
  *layout = l;
  return true;
}

bool CheckDibFile(const void* data, size_t size, DibLayout* layout, size_t* fileBitsOffset) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (!p || size < kFileHeaderSize || size > kMaxDibFileSize) return false;
  if (U16(p) != 0x4D42) return false;  // "BM"
  size_t offBits = U32(p + 10);
  DibLayout l;
  if (!CheckHeader(p + kFileHeaderSize, size - kFileHeaderSize, &l)) return false;
  // The pixels start after the colour table and end inside the file.
  if (offBits < kFileHeaderSize + l.bitsOffset || offBits > size) return false;
  if (l.bitsSize > size - offBits) return false;
  *layout = l;
  if (fileBitsOffset) *fileBitsOffset = offBits;
  return true;
}

HGLOBAL ReadDIBFile(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER length{};
  std::vector<uint8_t> bytes;
  bool read = false;
  if (::GetFileSizeEx(f, &length) && length.QuadPart >= static_cast<LONGLONG>(kFileHeaderSize) &&
      length.QuadPart <= static_cast<LONGLONG>(kMaxDibFileSize)) {
    bytes.resize(static_cast<size_t>(length.QuadPart));
    DWORD got = 0;
    read = ::ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
  }
  ::CloseHandle(f);
  DibLayout l;
  size_t offBits = 0;
  if (!read || !CheckDibFile(bytes.data(), bytes.size(), &l, &offBits)) return nullptr;

  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, l.bitsOffset + l.bitsSize);
  if (!block) return nullptr;
  auto* out = static_cast<uint8_t*>(::GlobalLock(block));
  if (!out) {
    ::GlobalFree(block);
    return nullptr;
  }
  std::memcpy(out, bytes.data() + kFileHeaderSize, l.bitsOffset);
  std::memcpy(out + l.bitsOffset, bytes.data() + offBits, l.bitsSize);
  ::GlobalUnlock(block);
  return block;
}

HPALETTE CreateDIBPalette(HGLOBAL dib) {
  DibLayout l;
  if (!LayoutOf(dib, &l) || l.colors == 0) return nullptr;
  const auto* p = static_cast<const uint8_t*>(::GlobalLock(dib));
  if (!p) return nullptr;
  std::vector<uint8_t> buf(sizeof(LOGPALETTE) + l.colors * sizeof(PALETTEENTRY));
  auto* pal = reinterpret_cast<LOGPALETTE*>(buf.data());
  pal->palVersion = 0x300;
  pal->palNumEntries = static_cast<WORD>(l.colors);
  const uint8_t* table = p + l.headerSize + l.masksSize;
  const size_t entry = l.core ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD);
  for (unsigned i = 0; i < l.colors; ++i) {
    const uint8_t* c = table + i * entry;  // blue, green, red
    pal->palPalEntry[i].peRed = c[2];
    pal->palPalEntry[i].peGreen = c[1];
    pal->palPalEntry[i].peBlue = c[0];
    pal->palPalEntry[i].peFlags = 0;
  }
  ::GlobalUnlock(dib);
  return ::CreatePalette(pal);
}

int DIBWidth(HGLOBAL dib) {
  DibLayout l;
  return LayoutOf(dib, &l) ? l.width : 0;
}

int DIBHeight(HGLOBAL dib) {
  DibLayout l;
  return LayoutOf(dib, &l) ? l.height : 0;
}

unsigned DIBNumColors(HGLOBAL dib) {
  DibLayout l;
  return LayoutOf(dib, &l) ? l.colors : 0;
}

size_t DIBPaletteSize(HGLOBAL dib) {
  DibLayout l;
  return LayoutOf(dib, &l) ? l.paletteSize : 0;
}

bool PaintDIB(HDC dc, const RECT& dst, HGLOBAL dib, const RECT& src, HPALETTE palette) {
  DibLayout l;
  if (!dc || !LayoutOf(dib, &l)) return false;
  auto* p = static_cast<uint8_t*>(::GlobalLock(dib));
  if (!p) return false;
  HPALETTE old = palette ? ::SelectPalette(dc, palette, TRUE) : nullptr;
  ::SetStretchBltMode(dc, COLORONCOLOR);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(p);
  const void* bits = p + l.bitsOffset;
  int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  int sw = src.right - src.left, sh = src.bottom - src.top;
  int done;
  if (dw == sw && dh == sh) {
    // Rows count from the bottom of the bitmap.
    done = ::SetDIBitsToDevice(dc, dst.left, dst.top, dw, dh, src.left, l.height - src.bottom, 0, l.height, bits,
                               info, DIB_RGB_COLORS);
  } else {
    done = ::StretchDIBits(dc, dst.left, dst.top, dw, dh, src.left, src.top, sw, sh, bits, info, DIB_RGB_COLORS,
                           SRCCOPY);
  }
  if (old) ::SelectPalette(dc, old, TRUE);
  ::GlobalUnlock(dib);
  return done > 0;
}

HGLOBAL CopyDIB(HGLOBAL dib) {
  if (!dib) return nullptr;
  size_t size = ::GlobalSize(dib);
  const void* from = ::GlobalLock(dib);
  if (!from) return nullptr;
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  void* to = copy ? ::GlobalLock(copy) : nullptr;
  if (to) {
    std::memcpy(to, from, size);
    ::GlobalUnlock(copy);
  } else if (copy) {
    ::GlobalFree(copy);
    copy = nullptr;
  }
  ::GlobalUnlock(dib);
  return copy;
}

}  // namespace halvix
