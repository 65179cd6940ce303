// The graphics benchmark (-Bench): seven timed GDI benchmarks in million
// pixels per second, their geometric mean as "Video Speed", appended to the
// series' BNCHMARK.BNH and shown in the result list.
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdlib>

#include "appkit/system.h"
#include "appkit/text.h"
#include "ctlfw/benchfile.h"
#include "gfxtest/ids.h"
#include "gfxtest/rules.h"
#include "graphics.h"
#include "runner.h"
#include "testpage.h"

namespace graphics {

namespace {

constexpr COLORREF kPaletteFlag = 0x02000000;
constexpr int kPoints = gfxtest::kPointTableSize;

ctlfw::BenchmarkFile* g_file = nullptr;
double g_pixels = 0, g_ms = 0;
int g_floodCounter = 0, g_shapeCounter = 0;
int g_call = 0;
// The point tables the benchmarks draw from.
POINT g_first[kPoints], g_second[kPoints];

typedef DWORD(WINAPI* GetQuorrelFn)(WORD infoClass, WORD size, void* buffer);
GetQuorrelFn g_getQuorrel = nullptr;
HMODULE g_vexholm = nullptr, g_mirvane = nullptr;

bool Gdi(bool ok) { return ok || ::GetLastError() == 0; }
#define GDI(call) (::SetLastError(0), Gdi((call) != 0))

// The timed part of a step: milliseconds from the performance counter.
class Timer {
 public:
  Timer() { ::QueryPerformanceCounter(&start_); }
  ~Timer() {
    LARGE_INTEGER end, freq;
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&freq);
    if (freq.QuadPart > 0) g_ms += (double)(end.QuadPart - start_.QuadPart) * 1000.0 / (double)freq.QuadPart;
  }

 private:
  LARGE_INTEGER start_;
};

bool StretchBltBenchmark(HDC dc, int right, int bottom, HDC mem) {
  g_pixels += gfxtest::StretchCredit(right, bottom);
  Timer t;
  for (int round = 0; round < 4; ++round)
    for (int i = 0; i < 50; ++i) {
      int w = (int)((i + 1) * right / 50.0), h = (int)((i + 1) * bottom / 50.0);
      if (!GDI(::StretchBlt(dc, 0, 0, w, h, mem, 0, 0, 90, 85, SRCCOPY))) return false;
    }
  return true;
}

bool BitBltBenchmark(HDC dc, int right, int bottom, HDC mem) {
  for (int i = 0; i < 700; ++i)
    g_first[i] = POINT{gfxtest::SafeMod(rand(), right - 90), gfxtest::SafeMod(rand(), bottom - 85)};
  g_pixels += 10710000.0;
  Timer t;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 700; ++i)
      if (!GDI(::BitBlt(dc, g_first[i].x, g_first[i].y, 90, 85, mem, 0, 0, SRCCOPY))) return false;
  return true;
}

bool FloodFillBenchmark(HDC dc, int right, int bottom) {
  COLORREF a = kFillPalette[g_floodCounter];
  g_floodCounter = (g_floodCounter + 1) % 14;
  COLORREF b = kFillPalette[(g_floodCounter + 7) % 14];
  HBRUSH brushA = ::CreateSolidBrush(a), brushB = ::CreateSolidBrush(b);
  if (!brushA || !brushB) {
    if (brushA) ::DeleteObject(brushA);
    if (brushB) ::DeleteObject(brushB);
    StepMessage(IDS_GFX_NO_BRUSH);
    return false;
  }
  RECT rc = {0, 0, right, bottom};
  g_pixels += 10.0 * right * bottom;
  HGDIOBJ old = ::GetCurrentObject(dc, OBJ_BRUSH);
  bool ok = g_frameBrush != nullptr;
  {
    Timer t;
    for (int round = 1; ok && round <= 10; ++round) {
      ::SelectObject(dc, round % 2 ? brushA : brushB);
      ok = GDI(::FrameRect(dc, &rc, g_frameBrush)) && GDI(::ExtFloodFill(dc, 2, 2, RGB(0, 0, 0), FLOODFILLBORDER));
    }
  }
  ::SelectObject(dc, old);
  ::DeleteObject(brushA);
  ::DeleteObject(brushB);
  return ok;
}

bool PixelBenchmark(HDC dc, int right, int bottom) {
  int xhi = gfxtest::PixelLimit(0, right), yhi = gfxtest::PixelLimit(0, bottom);
  for (int i = 0; i < 1000; ++i) g_first[i] = POINT{gfxtest::SafeMod(rand(), xhi - 5), gfxtest::SafeMod(rand(), yhi - 5)};
  COLORREF colours[19];
  for (COLORREF& c : colours) c = RGB(rand() & 255, rand() & 255, rand() & 255) | kPaletteFlag;
  g_pixels += 20000.0;
  Timer t;
  int k = 0;
  for (int r = 0; r < 20; ++r)
    for (int i = 0; i < 1000; ++i, ++k)
      if (!GDI(::SetPixelV(dc, g_first[i].x + r % 5, g_first[i].y + r / 5, colours[k % 19]))) {
        StepMessage(IDS_GFX_NO_PIXEL);
        return false;
      }
  return true;
}

bool LineBenchmark(HDC dc, int right, int bottom) {
  std::vector<int> xs(1000), ys(1000);
  for (int i = 0; i < 1000; ++i) {
    xs[i] = gfxtest::SafeMod(rand(), right - 20);
    ys[i] = gfxtest::SafeMod(rand(), bottom - 20);
  }
  g_pixels += 12 * gfxtest::LineLength(xs, ys);
  HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(rand() & 255, rand() & 255, rand() & 255) | kPaletteFlag);
  if (!pen) {
    StepMessage(IDS_GFX_NO_PEN);
    return false;
  }
  HGDIOBJ old = ::SelectObject(dc, pen);
  bool ok = true;
  {
    Timer t;
    ok = GDI(::MoveToEx(dc, 0, 0, nullptr));
    for (int r = 0; ok && r < 12; ++r)
      for (int i = 0; ok && i < 1000; ++i) ok = GDI(::LineTo(dc, xs[i] + (r % 4) * 5, ys[i] + (r / 4) * 5));
  }
  ::SelectObject(dc, old);
  ::DeleteObject(pen);
  return ok;
}

bool ShapeBenchmark(HDC dc, int right, int bottom, int kind) {
  HBRUSH brush = ::CreateSolidBrush(kFillPalette[g_shapeCounter] | kPaletteFlag);
  g_shapeCounter = (g_shapeCounter + 1) % 14;
  if (!brush) {
    StepMessage(IDS_GFX_NO_BRUSH);
    return false;
  }
  const double pi = 3.141592653589793;
  int n = kind == 2 ? 334 : 1000;
  std::vector<int> size(n);
  double credit = 0;
  for (int i = 0; i < n; ++i) {
    if (kind == 0) {
      int x = gfxtest::SafeMod(rand(), right - right / 6 - 15), y = gfxtest::SafeMod(rand(), bottom - bottom / 6 - 15);
      int x2 = x + gfxtest::RandomInRange(right / 8, right / 6, rand());
      int y2 = y + gfxtest::RandomInRange(bottom / 8, bottom / 6, rand());
      g_first[i] = POINT{x, y};
      g_second[i] = POINT{x2, y2};
      credit += 6.0 * (x2 - x) * (y2 - y);
    } else if (kind == 1) {
      int x = gfxtest::SafeMod(rand(), right - bottom / 6 - 15), y = gfxtest::SafeMod(rand(), bottom - bottom / 6 - 15);
      int d = gfxtest::RandomInRange(bottom / 8, bottom / 6, rand());
      g_first[i] = POINT{x, y};
      g_second[i] = POINT{x + d, y + d};
      credit += 6.0 * d * d * pi / 4;
    } else {
      int s = gfxtest::RandomInRange(bottom / 8, bottom / 6, rand());
      int x = gfxtest::SafeMod(rand(), right - bottom / 3 - 25) + bottom / 6;
      int y = gfxtest::SafeMod(rand(), bottom - bottom / 6 - 25);
      g_first[i] = POINT{x, y};
      size[i] = s;
      credit += 18.0 * s * s;
    }
  }
  g_pixels += credit;
  HGDIOBJ old = ::SelectObject(dc, brush);
  bool ok = true;
  {
    Timer t;
    int rounds = kind == 2 ? 18 : 6, per = kind == 2 ? 5 : 3;
    for (int r = 0; ok && r < rounds; ++r) {
      int dx = (r % per) * 5, dy = (r / per) * 5;
      for (int i = 0; ok && i < n; ++i) {
        POINT a = g_first[i], b = g_second[i];
        if (kind == 0) {
          ok = GDI(::Rectangle(dc, a.x + dx, a.y + dy, b.x + dx, b.y + dy));
        } else if (kind == 1) {
          ok = GDI(::Ellipse(dc, a.x + dx, a.y + dy, b.x + dx, b.y + dy));
        } else {
          int s = size[i];
          POINT p[3] = {{a.x + dx, a.y + dy}, {a.x - s + dx, a.y + s + dy}, {a.x + s + dx, a.y + s + dy}};
          ok = GDI(::Polygon(dc, p, 3));
        }
      }
    }
  }
  ::SelectObject(dc, old);
  ::DeleteObject(brush);
  return ok;
}

bool ScrollDCBenchmark(HDC dc, int right, int bottom, int count) {
  int n = gfxtest::ScrollRectangleCount(right, bottom, 250, 200);
  bool ok = true;
  int rounds = 0;
  for (; ok && rounds < count; ++rounds) {
    // Between rounds, outside the timed part: Stop and Close are seen
    // however many rounds were asked for.
    if (rounds > 0) {
      PumpMessages();
      if (!Run().batch) break;
    }
    Timer t;
    for (int i = 0; ok && i < n; ++i) {
      RECT r = {i, i, i + 250, i + 200};
      ok = GDI(::ScrollDC(dc, 1, 1, &r, &r, nullptr, nullptr));
    }
    for (int i = n - 1; ok && i >= 0; --i) {
      RECT r = {i, i, i + 250, i + 200};
      ok = GDI(::ScrollDC(dc, -1, -1, &r, &r, nullptr, nullptr));
    }
  }
  // The credit of the rounds that were drawn.
  g_pixels += (double)rounds * n * 50000.0;
  Run().batch = false;  // every round ran in this one call
  return ok;
}

bool BenchStep(int id, HDC dc, int right, int bottom, HDC mem, int count) {
  switch (id) {
    case 0: return StretchBltBenchmark(dc, right, bottom, mem);
    case 1: return FloodFillBenchmark(dc, right, bottom);
    case 2: return LineBenchmark(dc, right, bottom);
    case 4: return ShapeBenchmark(dc, right, bottom, g_call % 3);
    case 6: return BitBltBenchmark(dc, right, bottom, mem);
    case 7: return PixelBenchmark(dc, right, bottom);
    case 8: return ScrollDCBenchmark(dc, right, bottom, count);
  }
  return true;
}

std::string LoadMirvaneText(UINT id) {
  if (!g_mirvane) return "";
  char buf[256] = {};
  ::LoadStringA(g_mirvane, id, buf, sizeof(buf));
  return buf;
}

std::string GetVideoAdapterText() {
  if (!g_getQuorrel) return "";
  static char buffer[10240];
  ZeroMemory(buffer, sizeof(buffer));
  std::string bios;
  if (g_getQuorrel(2, (WORD)sizeof(buffer), buffer)) bios.assign(buffer, strnlen(buffer, sizeof(buffer)));
  std::string memory = LoadMirvaneText(28), type = LoadMirvaneText(30);
  return gfxtest::VideoAdapterText(bios, memory.empty() ? "VESA VGA Memory Size" : memory,
                                   type.empty() ? "OEM String" : type);
}

std::string GetResolutionText(HWND page) {
  HDC dc = ::GetDC(page);
  if (!dc) return "";
  int bits = ::GetDeviceCaps(dc, BITSPIXEL) * ::GetDeviceCaps(dc, PLANES);
  ::ReleaseDC(page, dc);
  return gfxtest::ResolutionText(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), bits);
}

void BindSystemAccess() {
  if (!appkit::IsWindows9x()) return;
  std::wstring dir = OwnDirectory();
  g_vexholm = ::LoadLibraryW((dir + L"Vexholm.DLL").c_str());
  if (g_vexholm) g_getQuorrel = reinterpret_cast<GetQuorrelFn>(::GetProcAddress(g_vexholm, "GetQuorrel"));
  g_mirvane = ::LoadLibraryExW((dir + L"MirvaneRC.DLL").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!g_mirvane || !g_getQuorrel) return;
  for (UINT id : {30u, 28u}) {
    std::string text = LoadMirvaneText(id);
    if (text.empty()) continue;
    std::vector<char> record(text.size() + 3, 0);
    record[0] = (char)(id & 0xFF);
    record[1] = (char)(id >> 8);
    memcpy(record.data() + 2, text.c_str(), text.size());
    g_getQuorrel(105, (WORD)(text.size() + 2), record.data());
  }
}

void FreeSystemAccess() {
  if (g_vexholm) ::FreeLibrary(g_vexholm);
  if (g_mirvane) ::FreeLibrary(g_mirvane);
  g_vexholm = g_mirvane = nullptr;
  g_getQuorrel = nullptr;
}

void ListAndFile(const std::string& text) {
  AddLine(text);
  if (g_file) g_file->WriteLine(text);
}

}  // namespace

void StepMessage(UINT id) {
  std::string text = TextA(id);
  AddLine(text);
  if (g_file && Run().benchmark) g_file->WriteLine(text);
}

bool RunGdiBenchmarks(int id, int count) {
  if (!BeginBatch(id)) return false;
  RunFlags& f = Run();
  bool result = true, run = true;
  TestBitmap picture;
  if (id == 0 || id == 6 || id == 8) run = result = picture.Load(f.testDC);
  ShowCommonWindow(id);
  for (g_call = 1; run && f.batch && g_call <= count; ++g_call) {
    // Between calls, outside the timed part of the steps: Stop and Close
    // are seen however large the count.
    PumpMessages();
    if (!f.batch) break;
    srand((unsigned)g_call);
    RECT rc;
    if (!::IsWindow(f.commonWindow) || !::GetClientRect(f.commonWindow, &rc)) {
      StepMessage(IDS_GFX_NO_BOUNDARY);
      result = false;
      break;
    }
    if (!BenchStep(id, f.testDC, rc.right, rc.bottom, picture.memory, count)) {
      f.batch = false;
      result = false;
    }
  }
  EndBatch(&picture);
  return result;
}

void RunBenchmarkSeries(HWND page, CGraphicsRunner& runner) {
  RunFlags& f = Run();
  f.benchmark = true;
  BindSystemAccess();
  HWND progress = ::GetDlgItem(page, IDC_TEST_PROGRESS);
  ::SendMessageW(progress, PBM_SETPOS, 0, 0);
  ctlfw::BenchmarkFile file(runner.ModuleDirectory() + L"BNCHMARK.BNH");
  g_file = &file;
  f.commonWindow = ::CreateWindowExW(0, kCommonClass, Text(IDS_GFX_LOG_TITLE).c_str(), WS_CAPTION | WS_SYSMENU,
                                     Count("DisplayX"), Count("DisplayY"), Count("DisplayWidth"),
                                     Count("DisplayHeight"), page, nullptr, Instance(), nullptr);
  if (f.commonWindow) ::SetWindowPos(f.commonWindow, HWND_TOPMOST, 1, 1, 320, 300, 0);

  struct Bench {
    int id;
    const char* count;
    UINT label;
    int progress;
  };
  static const Bench kBench[] = {
      {0, "BenchBitmapStretch", IDS_GFX_LABEL_STRETCH, 6}, {6, "BenchBitmapDraw", IDS_GFX_LABEL_BITBLT, 7},
      {1, "BenchFloodFill", IDS_GFX_LABEL_FLOOD, 8},       {7, "BenchPixelDraw", IDS_GFX_LABEL_PIXEL, 9},
      {2, "BenchLineDraw", IDS_GFX_LABEL_LINE, 10},        {4, "BenchEllipseRect", IDS_GFX_LABEL_SHAPE, 11},
      {8, "BenchBitmapScroll", IDS_GFX_LABEL_SCROLL, 12},
  };
  bool ended = false;
  int measured = 0;
  for (int pass = 0; pass < Count("Loop") && !f.stop && !ended; ++pass) {
    double product = 1.0;
    int valid = 0;
    if (Closing()) break;
    file.WriteLine(TextA(IDS_GFX_BENCH_HEAD));
    std::string adapter = GetVideoAdapterText();
    size_t nl = adapter.find('\n', 1);
    if (nl != std::string::npos) {
      file.WriteLine(adapter.substr(0, nl));
      file.WriteLine(adapter.substr(nl + 1));
    }
    file.WriteLine(GetResolutionText(page));
    for (const Bench& b : kBench) {
      g_pixels = 0;
      g_ms = 0;
      bool ok = true;
      if (b.id == 1) {
        g_frameBrush = ::CreateSolidBrush(PALETTERGB(0, 0, 0));
        ok = g_frameBrush != nullptr;
      }
      if (ok) ok = RunGdiBenchmarks(b.id, Count(b.count));
      if (g_frameBrush) ::DeleteObject(g_frameBrush);
      g_frameBrush = nullptr;
      double value = 0;
      // No time measured is no measurement: it fails rather than divides by 0.
      std::string text;
      if (ok && gfxtest::BenchmarkValue(g_pixels, g_ms, &value)) {
        text = gfxtest::MillionPixelsText(value);
        product *= value;
        ++valid;
      } else {
        text = "FAILED";
        ++f.errorCount;
      }
      ListAndFile(TextA(b.label) + text);
      ++measured;
      ::SendMessageW(progress, PBM_SETPOS, (WPARAM)b.progress, 0);
      PumpMessages();
      if (Closing() || f.stop) {
        ended = true;
        break;
      }
    }
    if (!ended && f.errorCount == 0) {
      AddLine("");
      ListAndFile(TextA(IDS_GFX_VIDEO_SPEED) + gfxtest::MillionPixelsText(gfxtest::GeometricMean(product, valid)));
    }
  }
  if (!ended && !f.stop) {
    ::SendMessageW(progress, PBM_SETPOS, 0, 0);
    AddLine("");
    ctlfw::ScrollRunResultsToEnd();
  }
  // A series that measured nothing ("Loop" of 0 or less) is no result.
  if (gfxtest::NothingTested(measured, f.stop || Closing())) {
    ListAndFile(TextA(IDS_GFX_NOTHING_TESTED));
    ++f.errorCount;
  }
  // End of the run.
  MSG msg;
  while (::PeekMessageW(&msg, page, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  if (f.stop || Closing()) {
    AddLine(" ");
    ListAndFile(TextA(IDS_GFX_ABORTS));
  }
  AddLine(" ");
  ::SendMessageW(progress, PBM_SETPOS, 0, 0);
  if (f.commonWindow && ::IsWindow(f.commonWindow)) ::DestroyWindow(f.commonWindow);
  f.commonWindow = nullptr;
  if (f.errorCount > 0) file.WriteLine(TextA(IDS_GFX_FOUND_ERRORS));
  file.WriteLine("");
  file.Close();
  g_file = nullptr;
  // A block the file had no room for is not there: the list says so.
  std::string lost = file.FailureLine(Texts());
  if (!lost.empty()) AddLine(lost);
  f.benchmark = false;
  ctlfw::RunState& s = ctlfw::TheRunState();
  s.errorCount = f.errorCount;
  s.abortFlag = f.aborted ? 1 : 0;
  ctlfw::EndWorker(false);
  FreeSystemAccess();
}

}  // namespace graphics
