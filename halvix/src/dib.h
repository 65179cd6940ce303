// Device-independent bitmaps read from ".BMP" files and shown with their own
// palette. A bitmap block is one movable global memory block holding what
// follows the 14-byte file header: the BITMAPINFOHEADER (or
// BITMAPCOREHEADER), the colour masks of a BI_BITFIELDS bitmap, the colour
// table and the pixel bits, in this order and without gaps.
//
// A file is untrusted input: it is read only when every part it claims
// (header, masks, colour table, pixels at bfOffBits) lies inside the file.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

namespace halvix {

// Where the parts of a bitmap lie, counted from the start of the block.
struct DibLayout {
  size_t headerSize = 0;   // 12 (core), 40, 108 or 124
  size_t masksSize = 0;    // 12 for BI_BITFIELDS with a 40-byte header
  size_t paletteSize = 0;  // colour table in bytes
  size_t bitsOffset = 0;   // header + masks + colour table
  size_t bitsSize = 0;     // rows of 4-byte multiples x height
  int width = 0;
  int height = 0;
  int bitCount = 0;
  unsigned colors = 0;     // entries of the colour table
  bool core = false;
};

// The largest bitmap file read (a logo), and the largest side.
constexpr size_t kMaxDibFileSize = 64u << 20;
constexpr int kMaxDibSide = 16384;

// Checks a block (no file header) of `size` bytes whose pixels follow the
// colour table directly.
bool CheckDibBlock(const void* block, size_t size, DibLayout* layout);
// Checks the bytes of a whole ".BMP" file. `layout` describes the block the
// file gives (pixels moved up to follow the colour table); `fileBitsOffset`
// receives where the pixels lie in the file (bfOffBits).
bool CheckDibFile(const void* data, size_t size, DibLayout* layout, size_t* fileBitsOffset);

// Reads a ".BMP" file into a new block; nullptr when it cannot be read or
// is not a bitmap this program shows.
HGLOBAL ReadDIBFile(const std::wstring& path);
// The bitmap's palette; nullptr when it has no colour table.
HPALETTE CreateDIBPalette(HGLOBAL dib);
// Facts of a block (0 for an invalid one).
int DIBWidth(HGLOBAL dib);
int DIBHeight(HGLOBAL dib);
unsigned DIBNumColors(HGLOBAL dib);
size_t DIBPaletteSize(HGLOBAL dib);
// Paints the `src` part of the bitmap into `dst` (copied when both have the
// same size, else stretched), with the palette when one is given.
bool PaintDIB(HDC dc, const RECT& dst, HGLOBAL dib, const RECT& src, HPALETTE palette);
// A new block with the same bytes.
HGLOBAL CopyDIB(HGLOBAL dib);

}  // namespace halvix
