#include "gfxtest/rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace gfxtest {

// ---- Settings -------------------------------------------------------------------

const std::vector<Setting>& SettingTable() {
  // Counts: at least one step (Direct3D at least 400); window places on
  // the virtual screen; switches 0 or 1.
  static const std::vector<Setting> table = {
      {"Loop", 1, false, 1, 10000},
      {"DirectDraw", 200, true, 1, 100000000},
      {"Direct3D", 400, true, 400, 100000000, true},
      {"BitmapStretch", 200, true, 1, 100000000},
      {"BitmapDraw", 1200, true, 1, 100000000},
      {"FloodFill", 200, true, 1, 100000000},
      {"PixelDraw", 1200, true, 1, 100000000},
      {"LineDraw", 1200, true, 1, 100000000},
      {"EllipseRect", 1200, true, 1, 100000000},
      {"BitmapScroll", 20, true, 1, 100000000},
      {"ChangeFont", 1200, true, 1, 100000000},
      {"BenchBitmapStretch", 20, false, 1, 10000},
      {"BenchBitmapDraw", 20, false, 1, 10000},
      {"BenchFloodFill", 20, false, 1, 10000},
      {"BenchPixelDraw", 20, false, 1, 10000},
      {"BenchLineDraw", 14, false, 1, 10000},
      {"BenchEllipseRect", 14, false, 1, 10000},
      {"BenchBitmapScroll", 40, false, 1, 10000},
      {"DisplayX", 100, false, -8192, 8192},
      {"DisplayY", 100, false, -8192, 8192},
      {"DisplayWidth", 500, false, 32, 8192},
      {"DisplayHeight", 380, false, 32, 8192},
      {"DirectDrawEnable", 1, false, 0, 1},
      {"Direct3DEnable", 1, false, 0, 1},
      {"DirectSoundEnable", 0, false, 0, 1},
      {"BitmapStretchingEnable", 1, false, 0, 1},
      {"BitmapDrawingEnable", 1, false, 0, 1},
      {"FloodFilledDrawingEnable", 1, false, 0, 1},
      {"PixelDrawingEnable", 1, false, 0, 1},
      {"LineDrawingEnable", 1, false, 0, 1},
      {"FilledShapeDrawingEnable", 1, false, 0, 1},
      {"BitmapScrollingEnable", 1, false, 0, 1},
      {"StringDrawingEnable", 1, false, 0, 1},
  };
  return table;
}

const std::vector<std::string>& EnableNames() {
  static const std::vector<std::string> names = {
      "DirectSoundEnable",        "Direct3DEnable",     "DirectDrawEnable",  "BitmapStretchingEnable",
      "BitmapDrawingEnable",      "FloodFilledDrawingEnable", "PixelDrawingEnable", "LineDrawingEnable",
      "FilledShapeDrawingEnable", "BitmapScrollingEnable",    "StringDrawingEnable"};
  return names;
}

int ScaledCount(const std::string& name, int stored, bool check, bool autoRun) {
  int n = stored;
  if (name == "Direct3D" && n < 400) n = 400;
  int scaled = check ? n / 4 : autoRun ? n / 2 : n;
  // A short check of a test still tests it: one step at least.
  return n > 0 && scaled < 1 ? 1 : scaled;
}

// ---- Verdicts ----------------------------------------------------------------------

Verdict BatchVerdict(bool ok, int stepsDone) {
  if (!ok) return Verdict::Failed;
  return stepsDone > 0 ? Verdict::Passed : Verdict::NotTested;
}

bool NothingTested(int resultLines, bool stopped) { return resultLines <= 0 && !stopped; }

// ---- Test list ------------------------------------------------------------------

namespace {
constexpr int kSound = 0, k3D = 1, kDraw = 2, kItems = 11;
bool On(const std::vector<int>& e, int i) { return i < (int)e.size() && e[i] == 1; }
}  // namespace

std::vector<long> FillItemData(std::vector<int>* enables) {
  std::vector<int>& e = *enables;
  e.resize(kItems, 0);
  std::vector<long> data(kItems);
  if (!On(e, k3D) && !On(e, kDraw)) {
    data[kSound] = kCheckable | kLockedOff;
    e[kSound] = 0;
  } else {
    data[kSound] = kCheckable | (On(e, kSound) ? kChecked : 0);
  }
  for (int i = 1; i < kItems; ++i) data[i] = kCheckable | (On(e, i) ? kChecked : 0);
  return data;
}

int CanCheckTest(int index, std::vector<int>* enables, std::vector<long>* data) {
  std::vector<int>& e = *enables;
  if (index == kSound) return On(e, k3D) || On(e, kDraw);
  if ((index == k3D || index == kDraw) && !On(e, k3D) && !On(e, kSound) && (int)data->size() > kSound)
    (*data)[kSound] = kCheckable;
  return 1;
}

int CanUncheckTest(int index, std::vector<int>* enables, std::vector<long>* data) {
  std::vector<int>& e = *enables;
  int selected = 0;
  for (int i = 0; i < kItems; ++i) selected += On(e, i);
  if (index == k3D || index == kDraw) {
    if (selected < 2 || (selected == 2 && On(e, kSound))) return 0;
    int other = index == k3D ? kDraw : k3D;
    if (!On(e, other)) {
      if ((int)e.size() > kSound) e[kSound] = 0;
      if ((int)data->size() > kSound) (*data)[kSound] = kCheckable | kLockedOff;
    }
    return 1;
  }
  return selected > 1;
}

// ---- GDI steps ---------------------------------------------------------------------

int RandomInRange(int lo, int hi, int r) {
  if (lo >= hi) return 0;
  return r % (hi - lo + 1) + lo;
}

int SafeMod(int r, int n) { return n > 0 ? r % n : 0; }

int PixelLimit(int lo, int hi) {
  int low = lo + 2 > hi ? 0 : lo + 2;
  int high = hi - 2;
  if (high < low) high = low;
  return high > 0 ? high : 1;
}

int ScrollRectangleCount(int right, int bottom, int width, int height) {
  long long n = std::min((long long)bottom - height, (long long)right - width);
  if (n < 0) return 0;
  return n > kPointTableSize ? kPointTableSize : (int)n;
}

void PolygonVertex(int x, int y, int w, int n, int i, int* vx, int* vy) {
  const double pi = 3.141592653589793;
  double a = i * 2 * pi / n;
  int r = w / 2;
  *vx = x + (int)std::trunc(std::cos(a) * r);
  *vy = y - (int)std::trunc(std::sin(a) * r);
}

// ---- Benchmark ---------------------------------------------------------------------

double StretchCredit(int right, int bottom) {
  double sum = 0;
  for (int i = 0; i < 50; ++i) {
    int wi = (int)((i + 1) * right / 50.0);
    int hi = (int)((i + 1) * bottom / 50.0);
    sum += (double)wi * hi;
  }
  return 4 * sum;
}

double LineLength(const std::vector<int>& xs, const std::vector<int>& ys) {
  double length = 0;
  double px = 0, py = 0;
  for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    double dx = xs[i] - px, dy = xs[i] - py;
    length += std::sqrt(dx * dx + dy * dy);
    px = xs[i];
    py = ys[i];
  }
  return length;
}

bool BenchmarkValue(double pixels, double ms, double* value) {
  if (!(ms > 0) || !(pixels > 0)) return false;
  *value = pixels / 1000.0 / ms;
  return std::isfinite(*value) && *value > 0;
}

std::string MillionPixelsText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%.2lf Million Pixels/Sec", value);
  return buf;
}

double GeometricMean(double product, int valid) {
  if (valid <= 0 || !(product > 0)) return 0;
  return std::pow(10.0, std::log10(product) / valid);
}

std::string ResolutionText(int width, int height, int bits) {
  if (width <= 0 || height <= 0 || bits <= 0) return "";
  char buf[96];
  std::snprintf(buf, sizeof(buf), "Current Resolution:\t%dx%d (%d bits per pixel)", width, height, bits);
  return buf;
}

std::string VideoAdapterText(const std::string& bios, const std::string& memoryLabel, const std::string& typeLabel) {
  std::string memory, type;
  size_t start = 0;
  for (size_t nl = bios.find('\n'); nl != std::string::npos; start = nl + 1, nl = bios.find('\n', start)) {
    std::string line = bios.substr(start, nl - start);
    if (line.empty()) continue;
    size_t tab = line.find('\t', 1);
    auto starts = [&](const std::string& label) {
      return !label.empty() && line.size() >= label.size() && _strnicmp(line.c_str(), label.c_str(), label.size()) == 0;
    };
    if (tab == std::string::npos) continue;
    if (starts(memoryLabel))
      memory = line.substr(tab + 1);
    else if (starts(typeLabel))
      type = line.substr(tab + 1);
  }
  if (memory.empty()) memory = "N/A";
  if (type.empty()) type = "N/A";
  return "Video Type:\t" + type + "\nVideo Memory:\t" + memory;
}

// ---- Video-memory tester -------------------------------------------------------------

std::string VideoMemoryLine(const std::vector<uint8_t>& file) {
  size_t words = std::min<size_t>(50, file.size() / 2);
  if (words < 37) return "";
  auto word = [&](size_t i) { return (unsigned)(file[2 * i] | (file[2 * i + 1] << 8)); };
  if (word(32) == 0x00AA) return "Video Memory Test:\tPASSED";
  char buf[96];
  std::snprintf(buf, sizeof(buf), "Video Memory Error! Got %X, Expected %X", word(34), word(36));
  return buf;
}

// ---- Device waits -------------------------------------------------------------------

WaitEnd WaitForDevice(const DeviceWait& w) {
  const unsigned start = w.nowMs();
  for (;;) {
    switch (w.attempt()) {
      case Poll::Done: return WaitEnd::Done;
      case Poll::Error: return WaitEnd::Error;
      case Poll::Lost:
        if (w.restore) w.restore();
        break;
      case Poll::Busy: break;
    }
    // Unsigned difference: a clock that wraps still measures the wait.
    if (w.nowMs() - start >= w.boundMs) return WaitEnd::TimedOut;
    if (w.between) w.between();
    if (w.stopRequested && w.stopRequested()) return WaitEnd::Stopped;
  }
}

}  // namespace gfxtest
