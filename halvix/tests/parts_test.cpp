// The shell's window parts in-process: the bitmap routines against hostile
// files, and the frame's splitter (collapse, lock, edge margins).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dib.h"
#include "frame_bars.h"
#include "testsupport/process.h"

using namespace halvix;

namespace {

void Put16(std::string& s, size_t at, uint16_t v) { std::memcpy(&s[at], &v, 2); }
void Put32(std::string& s, size_t at, uint32_t v) { std::memcpy(&s[at], &v, 4); }

struct BmpShape {
  int32_t width = 4, height = 3;
  uint16_t bits = 8;
  uint32_t compression = BI_RGB;
  uint32_t clrUsed = 0;
  uint32_t headerSize = 40;
  uint16_t planes = 1;
  uint32_t gap = 0;  // bytes between the colour table and the pixels
};

size_t Stride(int w, int bits) { return (static_cast<size_t>(w) * bits + 31) / 32 * 4; }

// A well-formed file of that shape (pixel bytes count up from 1).
std::string MakeBmp(const BmpShape& b) {
  const bool core = b.headerSize == 12;
  unsigned colors = b.clrUsed ? b.clrUsed : (b.bits <= 8 ? 1u << b.bits : 0u);
  size_t palette = colors * (core ? 3 : 4);
  size_t masks = (b.compression == BI_BITFIELDS && b.headerSize == 40) ? 12 : 0;
  size_t pixels = Stride(b.width, b.bits) * static_cast<size_t>(b.height < 0 ? -b.height : b.height);
  size_t off = 14 + b.headerSize + masks + palette + b.gap;
  std::string s(off + pixels, '\0');
  s[0] = 'B';
  s[1] = 'M';
  Put32(s, 2, static_cast<uint32_t>(s.size()));
  Put32(s, 10, static_cast<uint32_t>(off));
  Put32(s, 14, b.headerSize);
  if (core) {
    Put16(s, 18, static_cast<uint16_t>(b.width));
    Put16(s, 20, static_cast<uint16_t>(b.height));
    Put16(s, 22, b.planes);
    Put16(s, 24, b.bits);
  } else {
    Put32(s, 18, static_cast<uint32_t>(b.width));
    Put32(s, 22, static_cast<uint32_t>(b.height));
    Put16(s, 26, b.planes);
    Put16(s, 28, b.bits);
    Put32(s, 30, b.compression);
    Put32(s, 46, b.clrUsed);
  }
  size_t at = 14 + b.headerSize;
  if (b.compression == BI_BITFIELDS) {
    size_t m = b.headerSize == 40 ? at : 14 + 40;
    Put32(s, m, 0xF800);
    Put32(s, m + 4, 0x07E0);
    Put32(s, m + 8, 0x001F);
  }
  at += masks;
  for (unsigned i = 0; i < colors; ++i) {  // grey ramp, entry i = (i, i, i)
    s[at + i * (core ? 3 : 4)] = static_cast<char>(i);
    s[at + i * (core ? 3 : 4) + 1] = static_cast<char>(i);
    s[at + i * (core ? 3 : 4) + 2] = static_cast<char>(i);
  }
  for (size_t i = 0; i < pixels; ++i) s[off + i] = static_cast<char>(1 + i % 250);
  return s;
}

// Bytes that end exactly where an inaccessible page begins: any read past
// the end faults.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::string& bytes) : size_(bytes.size()) {
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    size_t page = si.dwPageSize;
    size_t body = (size_ + page - 1) / page * page;
    if (body == 0) body = page;
    base_ = static_cast<uint8_t*>(::VirtualAlloc(nullptr, body + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    ::VirtualProtect(base_ + body, page, PAGE_NOACCESS, &old);
    data_ = base_ + body - size_;
    if (size_) std::memcpy(data_, bytes.data(), size_);
  }
  ~GuardedBytes() { ::VirtualFree(base_, 0, MEM_RELEASE); }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_;
};

bool Accepts(const std::string& bytes, DibLayout* layout = nullptr, size_t* off = nullptr) {
  GuardedBytes g(bytes);
  DibLayout l;
  size_t o = 0;
  bool ok = CheckDibFile(g.data(), g.size(), &l, &o);
  if (layout) *layout = l;
  if (off) *off = o;
  return ok;
}

TEST(Dib, WellFormedBitmapsAndTheirLayout) {
  struct Case {
    BmpShape shape;
    unsigned colors;
    size_t palette, masks;
  } cases[] = {
      {{4, 3, 8}, 256, 1024, 0},
      {{5, 2, 24}, 0, 0, 0},
      {{7, 2, 1}, 2, 8, 0},
      {{3, 3, 4, BI_RGB, 5}, 5, 20, 0},                 // a short colour table
      {{6, 2, 16, BI_BITFIELDS}, 0, 0, 12},              // masks after the header
      {{6, 2, 32, BI_BITFIELDS, 0, 124}, 0, 0, 0},       // masks inside a V5 header
      {{9, 4, 24, BI_RGB, 0, 40, 1, 37}, 0, 0, 0},       // pixels further on (bfOffBits)
      {{8, 8, 8, BI_RGB, 0, 12}, 256, 768, 0},           // core header, RGB triples
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.shape.bits) + " bits, header " + std::to_string(c.shape.headerSize));
    std::string file = MakeBmp(c.shape);
    DibLayout l;
    size_t off = 0;
    ASSERT_TRUE(Accepts(file, &l, &off));
    EXPECT_EQ(l.width, c.shape.width);
    EXPECT_EQ(l.height, c.shape.height);
    EXPECT_EQ(l.colors, c.colors);
    EXPECT_EQ(l.paletteSize, c.palette);
    EXPECT_EQ(l.masksSize, c.masks);
    EXPECT_EQ(l.bitsOffset, c.shape.headerSize + c.masks + c.palette);
    EXPECT_EQ(off, 14 + l.bitsOffset + c.shape.gap);
    EXPECT_EQ(l.bitsSize, Stride(c.shape.width, c.shape.bits) * c.shape.height);
  }
}

// Hostile headers: nothing is accepted, and nothing is read past the bytes.
TEST(Dib, HostileHeadersAreRefusedWithoutReadingPastTheFile) {
  auto with = [](BmpShape shape, void (*edit)(std::string&)) {
    std::string s = MakeBmp(shape);
    if (edit) edit(s);
    return s;
  };
  BmpShape base;
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"only the file header", MakeBmp(base).substr(0, 14)},
      {"not BM", with(base, [](std::string& s) { s[1] = 'A'; })},
      {"header size 0", with(base, [](std::string& s) { Put32(s, 14, 0); })},
      {"header size 41", with(base, [](std::string& s) { Put32(s, 14, 41); })},
      {"header size past the end", with(base, [](std::string& s) { Put32(s, 14, 0xFFFFFFF0u); })},
      {"huge width", with(base, [](std::string& s) { Put32(s, 18, 0x7FFFFFFF); })},
      {"huge height", with(base, [](std::string& s) { Put32(s, 22, 0x7FFFFFFF); })},
      {"width whose rows overflow", with(BmpShape{4, 3, 32}, [](std::string& s) { Put32(s, 18, 0x40000001); })},
      {"negative height", with(base, [](std::string& s) { Put32(s, 22, static_cast<uint32_t>(-3)); })},
      {"negative width", with(base, [](std::string& s) { Put32(s, 18, static_cast<uint32_t>(-4)); })},
      {"zero width", with(base, [](std::string& s) { Put32(s, 18, 0); })},
      {"bit count 0", with(base, [](std::string& s) { Put16(s, 28, 0); })},
      {"bit count 3", with(base, [](std::string& s) { Put16(s, 28, 3); })},
      {"bit count 64", with(base, [](std::string& s) { Put16(s, 28, 64); })},
      {"two planes", with(base, [](std::string& s) { Put16(s, 26, 2); })},
      {"run-length compression", with(base, [](std::string& s) { Put32(s, 30, BI_RLE8); })},
      {"unknown compression", with(base, [](std::string& s) { Put32(s, 30, 99); })},
      {"bit fields at 24 bits", with(BmpShape{4, 3, 24}, [](std::string& s) { Put32(s, 30, BI_BITFIELDS); })},
      {"a zero mask", with(BmpShape{4, 2, 16, BI_BITFIELDS}, [](std::string& s) { Put32(s, 54 + 4, 0); })},
      {"masks cut off", MakeBmp(BmpShape{4, 2, 16, BI_BITFIELDS}).substr(0, 14 + 40 + 6)},
      {"257 colours at 8 bits", with(base, [](std::string& s) { Put32(s, 46, 257); })},
      {"colour count past the end", with(base, [](std::string& s) { Put32(s, 46, 0xFFFFFFFFu); })},
      {"17 colours at 4 bits", with(BmpShape{4, 3, 4}, [](std::string& s) { Put32(s, 46, 17); })},
      {"offset past the end", with(base, [](std::string& s) { Put32(s, 10, 0x7FFFFFF0u); })},
      {"offset just past the end", with(base, [](std::string& s) { Put32(s, 10, static_cast<uint32_t>(s.size()) + 1); })},
      {"pixels that do not fit after the offset", with(base, [](std::string& s) { Put32(s, 10, static_cast<uint32_t>(s.size()) - 2); })},
      {"offset inside the colour table", with(base, [](std::string& s) { Put32(s, 10, 14 + 40 + 8); })},
      {"offset 0", with(base, [](std::string& s) { Put32(s, 10, 0); })},
      {"pixels cut off", MakeBmp(base).substr(0, MakeBmp(base).size() - 1)},
      {"core header at 16 bits", with(BmpShape{4, 3, 8, BI_RGB, 0, 12}, [](std::string& s) { Put16(s, 24, 16); })},
  };
  for (const Case& c : cases) EXPECT_FALSE(Accepts(c.bytes)) << c.what;

  // Every shorter piece of a good file is refused as well.
  for (const BmpShape& shape : {BmpShape{4, 3, 8}, BmpShape{3, 2, 24}, BmpShape{6, 2, 16, BI_BITFIELDS},
                              BmpShape{8, 8, 8, BI_RGB, 0, 12}}) {
    std::string full = MakeBmp(shape);
    ASSERT_TRUE(Accepts(full));
    for (size_t n = 0; n < full.size(); ++n) ASSERT_FALSE(Accepts(full.substr(0, n))) << n << " of " << full.size();
  }
}

class DibFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::TempDir() + L"halvix-dib-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& f : files_) ::DeleteFileW(f.c_str());
    ::RemoveDirectoryW(dir_.c_str());
  }
  std::wstring Write(const std::string& bytes) {
    std::wstring path = dir_ + std::to_wstring(files_.size()) + L".bmp";
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
    files_.push_back(path);
    return path;
  }
  std::wstring dir_;
  std::vector<std::wstring> files_;
};

TEST_F(DibFiles, ReadPaletteAndPaint) {
  // 8 bits: a palette of 256 grey entries.
  HGLOBAL grey = ReadDIBFile(Write(MakeBmp(BmpShape{4, 3, 8})));
  ASSERT_NE(grey, nullptr);
  EXPECT_EQ(DIBWidth(grey), 4);
  EXPECT_EQ(DIBHeight(grey), 3);
  EXPECT_EQ(DIBNumColors(grey), 256u);
  EXPECT_EQ(DIBPaletteSize(grey), 1024u);
  HPALETTE pal = CreateDIBPalette(grey);
  ASSERT_NE(pal, nullptr);
  PALETTEENTRY e[256];
  EXPECT_EQ(::GetPaletteEntries(pal, 0, 256, e), 256u);
  EXPECT_EQ(e[200].peRed, 200);
  ::DeleteObject(pal);
  HGLOBAL copy = CopyDIB(grey);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(DIBWidth(copy), 4);
  ::GlobalFree(copy);
  ::GlobalFree(grey);

  // 24 bits with the pixels further on in the file: no palette, and the
  // pixels are the file's (the bottom-left one is bytes 1, 2, 3: blue, green, red).
  HGLOBAL rgb = ReadDIBFile(Write(MakeBmp(BmpShape{2, 2, 24, BI_RGB, 0, 40, 1, 29})));
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(CreateDIBPalette(rgb), nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = 2;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP target = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, target);
  RECT all{0, 0, 2, 2};
  EXPECT_TRUE(PaintDIB(dc, all, rgb, all, nullptr));
  EXPECT_EQ(::GetPixel(dc, 0, 1), RGB(3, 2, 1));
  ::SelectObject(dc, old);
  ::DeleteObject(target);
  ::DeleteDC(dc);
  ::GlobalFree(rgb);

  // Files that are no bitmaps to show give nothing.
  std::string negative = MakeBmp(BmpShape{4, 3, 8});
  Put32(negative, 22, static_cast<uint32_t>(-3));
  for (const std::string& bad : {std::string("BM"), std::string("GIF89a......................"), negative,
                                 MakeBmp(BmpShape{4, 3, 8}).substr(0, 200)})
    EXPECT_EQ(ReadDIBFile(Write(bad)), nullptr);
  EXPECT_EQ(ReadDIBFile(dir_ + L"missing.bmp"), nullptr);

  // The suite's own logo is one the title dialog shows, with its palette.
  HGLOBAL logo = ReadDIBFile(testsupport::SuitePath(L"TESTDATA\\LOGO.BMP"));
  ASSERT_NE(logo, nullptr);
  HPALETTE logoPalette = CreateDIBPalette(logo);
  EXPECT_NE(logoPalette, nullptr);
  if (logoPalette) ::DeleteObject(logoPalette);
  ::GlobalFree(logo);
  EXPECT_EQ(DIBWidth(nullptr), 0);
  EXPECT_EQ(CreateDIBPalette(nullptr), nullptr);
}

// ---- the frame's splitter

class SplitterHost : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HalvixSplitterTestHost";
    ::RegisterClassW(&wc);
    top = ::CreateWindowW(L"HalvixSplitterTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600, 400,
                          nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(top);
  }
  void TearDown() override { ::DestroyWindow(top); }
  HWND Pane(HWND parent, UINT id) {
    return ::CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
  }
  void Make(CFrameSplitter& s, int rows, int cols) {
    ASSERT_TRUE(s.CreateStatic(top, rows, cols));
    ::MoveWindow(s.hwnd(), 0, 0, 500, 300, FALSE);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) Pane(s.hwnd(), s.PaneId(r, c));
  }
  static RECT InParent(HWND w) {
    RECT r;
    ::GetWindowRect(w, &r);
    ::MapWindowPoints(nullptr, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  static void Drag(CFrameSplitter& s, POINT from, std::vector<POINT> moves) {
    s.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    for (POINT p : moves) s.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    POINT last = moves.empty() ? from : moves.back();
    s.Send(WM_LBUTTONUP, 0, MAKELPARAM(last.x, last.y));
  }
  HWND top = nullptr;
};

TEST_F(SplitterHost, CollapsedPaneGivesTheOtherTheWholeAreaAndLocksTheBar) {
  CFrameSplitter s;
  Make(s, 1, 2);
  s.SetColumnInfo(0, 0);
  s.SetColumnInfo(1, 140);
  s.RecalcLayout();
  EXPECT_TRUE(s.locked());
  EXPECT_EQ(s.metrics().gapX, 1);
  EXPECT_EQ(s.metrics().borderX, 0);
  RECT right = InParent(s.Pane(0, 1));
  EXPECT_EQ(right.left, 1);
  EXPECT_EQ(right.right, 500);
  EXPECT_EQ(right.bottom, 300);
  // The bar cannot be dragged.
  Drag(s, POINT{0, 100}, {POINT{200, 100}});
  EXPECT_EQ(s.ColumnIdeal(0), 0);
  EXPECT_EQ(InParent(s.Pane(0, 1)).left, 1);

  // A 2 x 1 splitter whose lower row collapses: the upper one takes it all.
  CFrameSplitter rows;
  Make(rows, 2, 1);
  rows.SetRowInfo(0, 120);
  rows.SetRowInfo(1, 0);
  rows.RecalcLayout();
  EXPECT_TRUE(rows.locked());
  EXPECT_EQ(rows.RowIdeal(0), 300);
  EXPECT_EQ(InParent(rows.Pane(0, 0)).bottom, 300);

  // Both shown again: the metrics as constructed, unlocked.
  s.SetColumnInfo(0, 150);
  s.RecalcLayout();
  EXPECT_FALSE(s.locked());
  EXPECT_TRUE(s.metrics() == s.constructedMetrics());
  s.SetForceLocked(true);
  s.RecalcLayout();
  EXPECT_TRUE(s.locked());
}

TEST_F(SplitterHost, DraggedBarStopsOutsideTheEdgeBands) {
  CFrameSplitter s;
  Make(s, 1, 2);
  s.rightMargin = 120;
  s.SetColumnInfo(0, 200);
  s.SetColumnInfo(1, 100);
  s.RecalcLayout();
  ASSERT_FALSE(s.locked());
  const int gap = s.metrics().gapX;
  const POINT bar{200 + gap / 2, 100};
  // Into the left band (x < 50): the bar stays where the last move outside it put it.
  Drag(s, bar, {POINT{60 + gap / 2, 100}, POINT{49, 100}, POINT{10, 100}});
  EXPECT_EQ(s.ColumnIdeal(0), 60);
  // Exactly 50 from the edge is outside the band.
  Drag(s, POINT{60 + gap / 2, 100}, {POINT{50, 100}});
  EXPECT_EQ(s.ColumnIdeal(0), 50 - gap / 2);
  // The right band of this splitter is 120 wide: x above 380 is ignored.
  Drag(s, POINT{50, 100}, {POINT{370 + gap / 2, 100}, POINT{390, 100}, POINT{480, 100}});
  EXPECT_EQ(s.ColumnIdeal(0), 370);

  // A 2 x 1 splitter takes its top and bottom margins.
  CFrameSplitter rows;
  Make(rows, 2, 1);
  rows.topMargin = 20;
  rows.SetRowInfo(0, 100);
  rows.SetRowInfo(1, 100);
  rows.RecalcLayout();
  const int gy = rows.metrics().gapY;
  Drag(rows, POINT{100, 100 + gy / 2}, {POINT{100, 30 + gy / 2}, POINT{100, 19}});
  EXPECT_EQ(rows.RowIdeal(0), 30);
  Drag(rows, POINT{100, 30 + gy / 2}, {POINT{100, 240 + gy / 2}, POINT{100, 260}});
  EXPECT_EQ(rows.RowIdeal(0), 240);
}

}  // namespace
