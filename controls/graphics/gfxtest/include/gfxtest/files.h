// Readers of the test data files. They trust nothing in a file: signatures,
// header and chunk sizes, bit counts, colour tables and the pixel offset are
// checked against the file's own length before anything is taken from it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gfxtest {

// A Windows bitmap as GDI takes it: the information header with its colour
// table, and the pixel rows.
struct Dib {
  int width = 0, height = 0, bitCount = 0;
  std::vector<uint8_t> info;  // BITMAPINFOHEADER (40 bytes) + colour table
  std::vector<uint8_t> bits;  // the rows, as stored
};

// LoadDibFile's reading: an uncompressed bitmap of 1, 4, 8, 16, 24 or 32
// bits per pixel; false for anything else or a file too short for what its
// headers promise.
bool ParseDib(const std::vector<uint8_t>& file, Dib* out);

// The DirectDraw picture: 8 bits per pixel with a full 256-entry colour
// table; `bits` holds width x height bytes (rows padded to 4 bytes).
bool ParsePaletteBitmap(const std::vector<uint8_t>& file, Dib* out);

// A PCM WAVE file. `error` is the sound player's failure number (14 no
// RIFF "WAVE", 15 no "fmt ", 16 short format, 17 not PCM, 19 no "data",
// 20 too large, 21 data cut short), 0 when the file is good.
struct Wave {
  int error = 0;
  uint16_t tag = 0, channels = 0;
  uint32_t samplesPerSec = 0, avgBytesPerSec = 0;
  uint16_t blockAlign = 0, bitsPerSample = 0;
  size_t dataOffset = 0, dataSize = 0;
};
constexpr size_t kMaxWaveData = 64u << 20;
Wave ParseWave(const std::vector<uint8_t>& file);

// The whole of a file, at most `limit` bytes; false when it cannot be read
// or is larger.
bool ReadWholeFile(const std::wstring& path, size_t limit, std::vector<uint8_t>* out);

}  // namespace gfxtest
