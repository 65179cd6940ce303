// The test data readers against hostile files: every size and offset in a
// file is checked against the file itself.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "gfxtest/files.h"

using namespace gfxtest;
using Bytes = std::vector<uint8_t>;

namespace {

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}
void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = (uint8_t)v;
  b[at + 1] = (uint8_t)(v >> 8);
}

// A good bitmap: width x height at `bits` per pixel with a full colour table.
Bytes Bitmap(int width, int height, int bits) {
  size_t colours = bits <= 8 ? (size_t)1 << bits : 0;
  size_t stride = ((size_t)width * bits + 31) / 32 * 4;
  size_t off = 54 + colours * 4;
  Bytes b(off + stride * height, 0);
  b[0] = 'B', b[1] = 'M';
  Put32(b, 2, (uint32_t)b.size());
  Put32(b, 10, (uint32_t)off);
  Put32(b, 14, 40);
  Put32(b, 18, (uint32_t)width);
  Put32(b, 22, (uint32_t)height);
  Put16(b, 26, 1);
  Put16(b, 28, (uint16_t)bits);
  for (size_t i = 0; i < colours; ++i) b[54 + 4 * i] = (uint8_t)i;
  for (size_t i = off; i < b.size(); ++i) b[i] = (uint8_t)(i * 7);
  return b;
}

struct Chunk {
  std::string id;
  Bytes data;
  int64_t sizeField = -1;  // -1: the data's size
};
Bytes Riff(const std::string& form, const std::vector<Chunk>& chunks, int64_t riffSize = -1) {
  Bytes body(form.begin(), form.end());
  for (const Chunk& c : chunks) {
    Bytes h(8);
    memcpy(h.data(), c.id.data(), 4);
    Put32(h, 4, (uint32_t)(c.sizeField < 0 ? c.data.size() : c.sizeField));
    body.insert(body.end(), h.begin(), h.end());
    body.insert(body.end(), c.data.begin(), c.data.end());
    if (c.data.size() & 1) body.push_back(0);
  }
  Bytes f = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
  Put32(f, 4, (uint32_t)(riffSize < 0 ? body.size() : riffSize));
  f.insert(f.end(), body.begin(), body.end());
  return f;
}
Bytes Format(uint16_t tag, size_t size = 16) {
  Bytes f(size, 0);
  Put16(f, 0, tag);
  Put16(f, 2, 1);
  Put32(f, 4, 22050);
  Put32(f, 8, 44100);
  Put16(f, 12, 2);
  Put16(f, 14, 16);
  return f;
}

}  // namespace

TEST(BitmapReader, GoodFilesOfEveryDepth) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    Dib d;
    ASSERT_TRUE(ParseDib(Bitmap(90, 85, bits), &d)) << bits;
    EXPECT_EQ(d.width, 90);
    EXPECT_EQ(d.info.size(), 40u + (bits <= 8 ? 4u << bits : 0u)) << bits;
  }
  Dib d;
  ASSERT_TRUE(ParseDib(Bitmap(8, 8, 8), &d));
  EXPECT_EQ(d.info.size(), 40u + 1024u);  // 8 bits: a 1024-byte colour table
  ASSERT_TRUE(ParsePaletteBitmap(Bitmap(640, 630, 8), &d));
  EXPECT_EQ(d.bits.size(), 640u * 630u);
}

TEST(BitmapReader, HostileFilesAreRefused) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> spoil;
  } cases[] = {
      {"empty", [](Bytes& b) { b.clear(); }},
      {"header only", [](Bytes& b) { b.resize(30); }},
      {"no signature", [](Bytes& b) { b[0] = 'X'; }},
      {"pixels cut short", [](Bytes& b) { b.resize(b.size() - 1); }},
      {"pixel offset past the end", [](Bytes& b) { Put32(b, 10, 0x7FFFFFF0); }},
      {"pixel offset inside the colour table", [](Bytes& b) { Put32(b, 10, 60); }},
      {"header size past the end", [](Bytes& b) { Put32(b, 14, 0xFFFFFFF0); }},
      {"header size too small", [](Bytes& b) { Put32(b, 14, 12); }},
      {"huge width", [](Bytes& b) { Put32(b, 18, 0x40000000); }},
      {"negative width", [](Bytes& b) { Put32(b, 18, 0xFFFFFFF6); }},
      {"zero height", [](Bytes& b) { Put32(b, 22, 0); }},
      {"bit count 7", [](Bytes& b) { Put16(b, 28, 7); }},
      {"bit count 0", [](Bytes& b) { Put16(b, 28, 0); }},
      {"compressed", [](Bytes& b) { Put32(b, 30, 1); }},
      {"two planes", [](Bytes& b) { Put16(b, 26, 2); }},
  };
  for (const Case& c : cases) {
    Bytes b = Bitmap(90, 85, 8);
    c.spoil(b);
    Dib d;
    EXPECT_FALSE(ParseDib(b, &d)) << c.what;
    EXPECT_FALSE(ParsePaletteBitmap(b, &d)) << c.what;
  }
  // The DirectDraw picture must have 8 bits and a full colour table.
  Dib d;
  EXPECT_FALSE(ParsePaletteBitmap(Bitmap(640, 630, 24), &d));
  Bytes partial = Bitmap(64, 64, 8);
  Put32(partial, 46, 16);
  EXPECT_FALSE(ParsePaletteBitmap(partial, &d));
}

TEST(WaveReader, FailureCodesOfHostileFiles) {
  Bytes pcm(1000, 0x11);
  struct Case {
    const char* what;
    Bytes file;
    int code;
  } cases[] = {
      {"good", Riff("WAVE", {{"fmt ", Format(1)}, {"data", pcm}}), 0},
      {"16-byte format chunk", Riff("WAVE", {{"fmt ", Format(1, 16)}, {"data", pcm}}), 0},
      {"18-byte format chunk", Riff("WAVE", {{"fmt ", Format(1, 18)}, {"data", pcm}}), 0},
      {"a chunk before the format", Riff("WAVE", {{"LIST", Bytes(5, 1)}, {"fmt ", Format(1)}, {"data", pcm}}), 0},
      {"empty file", Bytes(), 14},
      {"AVI form", Riff("AVI ", {{"fmt ", Format(1)}, {"data", pcm}}), 14},
      {"no format", Riff("WAVE", {{"data", pcm}}), 15},
      {"format of 14 bytes", Riff("WAVE", {{"fmt ", Format(1, 14)}, {"data", pcm}}), 16},
      {"IEEE float", Riff("WAVE", {{"fmt ", Format(3)}, {"data", pcm}}), 17},
      {"ADPCM", Riff("WAVE", {{"fmt ", Format(2)}, {"data", pcm}}), 17},
      {"no data", Riff("WAVE", {{"fmt ", Format(1)}}), 19},
      {"data size past the end", Riff("WAVE", {{"fmt ", Format(1)}, {"data", pcm, 5000}}), 21},
      {"huge data size", Riff("WAVE", {{"fmt ", Format(1)}, {"data", pcm, 0xFFFFFFF0}}), 21},
      {"format size past the end", Riff("WAVE", {{"fmt ", Format(1), 0x7FFFFFFF}}), 19},
      {"chunk size past the end before the data", Riff("WAVE", {{"fmt ", Format(1)}, {"junk", Bytes(4), 0x7FFFFFF0}, {"data", pcm}}), 19},
  };
  for (const Case& c : cases) {
    Wave w = ParseWave(c.file);
    EXPECT_EQ(w.error, c.code) << c.what;
    if (c.code == 0) {
      EXPECT_EQ(w.dataSize, pcm.size()) << c.what;
      ASSERT_LE(w.dataOffset + w.dataSize, c.file.size()) << c.what;
      EXPECT_EQ(c.file[w.dataOffset], 0x11) << c.what;
      EXPECT_EQ(w.samplesPerSec, 22050u);
    }
  }
  // A RIFF size past the end of the file is bounded by the file.
  Bytes lying = Riff("WAVE", {{"fmt ", Format(1)}, {"data", pcm}}, 0x7FFFFFFF);
  EXPECT_EQ(ParseWave(lying).error, 0);
}
