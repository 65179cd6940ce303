#include "videoinfo.h"

#include <ddraw.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "appkit/system.h"
#include "format.h"
#include "gather.h"
#include "mmdevices.h"
#include "resource.h"
#include "suite/info.h"
#include "texts.h"

namespace quorrel {

namespace {
VideoModeCounters g_counters;
constexpr size_t kModeLineMax = 255;  // the mode lines' 256-character buffer
constexpr WORD kInfoClassVideoBios = 2;

std::string Bounded(std::string s, size_t max) {
  if (s.size() > max) s.resize(max);
  return s;
}

std::string Resolution(int w, int h) { return FormatA("%dx%d", w, h); }

void WriteModeLine(InfoSink& out, UINT id, int w, int h, int depth) {
  out.Line(Bounded(FormatA(Str(id).c_str(), Resolution(w, h).c_str(), FormatColorDepth(depth).c_str()), 1023));
}

// The number at the first digit of `s` from `from`; 0 without one.
int NumberAt(const std::string& s, size_t from) {
  size_t d = s.find_first_of("0123456789", from);
  return d == std::string::npos ? 0 : std::atoi(s.c_str() + d);
}
}  // namespace

VideoModeCounters& VideoCounters() { return g_counters; }
void ResetVideoModeCounters() { g_counters = VideoModeCounters(); }

void CountVideoMode(VideoModeCounters* c, int w, int h, int d, bool text) {
  if (w >= c->bestWidth) {
    if (w > c->bestWidth || d > c->bestDepth) c->bestDepth = d;
    c->bestWidth = w;
    c->bestHeight = h;
  }
  if (d >= c->colorDepth) {
    if (d > c->colorDepth || w > c->colorWidth) {
      c->colorWidth = w;
      c->colorHeight = h;
    }
    c->colorDepth = d;
  }
  if (text && w >= c->textColumns) {
    if (w > c->textColumns || d > c->textDepth) c->textDepth = d;
    c->textColumns = w;
    c->textRows = h;
  }
}

bool ReadTextLine(const char* text, size_t size, std::string* line, size_t* used) {
  line->clear();
  *used = 0;
  if (!text || size == 0 || text[0] == '\0') return false;
  size_t i = 0;
  while (i < size && text[i] != '\0' && text[i] != '\n') ++i;
  line->assign(text, std::min(i, (size_t)255));
  *used = i;
  return true;
}

void ParseVideoBiosModes(const char* text, size_t size, const VideoBiosLabels& labels, VideoModeCounters* c) {
  size_t at = 0;
  std::string line;
  size_t used = 0;
  while (at < size && ReadTextLine(text + at, size - at, &line, &used)) {
    at += used;
    while (at < size && text[at] == '\n') ++at;
    size_t label = line.find(labels.resolution);
    if (label == std::string::npos || labels.resolution.empty()) continue;
    std::string mode = line.substr(label + labels.resolution.size());
    bool isText = !labels.text.empty() && mode.find(labels.text) != std::string::npos;
    int w = NumberAt(mode, 0);
    size_t x = mode.find('x');
    if (x == std::string::npos) x = mode.find('X');
    int h = x == std::string::npos ? 0 : NumberAt(mode, x);
    size_t bpp = labels.depth.empty() ? std::string::npos : mode.find(labels.depth);
    int d = bpp == std::string::npos ? 0 : NumberAt(mode, bpp + labels.depth.size());
    CountVideoMode(c, w, h, d, isText);
  }
}

std::string FormatColorDepth(int depth) { return FormatA(Str(IDS_COLOR_DEPTH).c_str(), depth); }

void WriteBiosModeLines(InfoSink& out, const VideoModeCounters& c) {
  if (c.bestWidth > 0 && c.bestHeight > 0) WriteModeLine(out, IDS_MAX_RESOLUTION, c.bestWidth, c.bestHeight, c.bestDepth);
  if (c.colorDepth > 0) WriteModeLine(out, IDS_MAX_COLORS, c.colorWidth, c.colorHeight, c.colorDepth);
  if (c.textColumns > 0 && c.textRows > 0) WriteModeLine(out, IDS_MAX_TEXT_MODE, c.textColumns, c.textRows, c.textDepth);
}

int CompareDisplayModes(const DisplayMode& a, const DisplayMode& b) {
  const DWORD ka[] = {a.width, a.height, a.bitsPerPixel, a.frequency};
  const DWORD kb[] = {b.width, b.height, b.bitsPerPixel, b.frequency};
  for (int i = 0; i < 4; ++i)
    if (ka[i] != kb[i]) return ka[i] < kb[i] ? -1 : 1;
  return 0;
}

std::vector<DisplayMode> SortedDisplayModes(std::vector<DisplayMode> modes) {
  std::sort(modes.begin(), modes.end(),
            [](const DisplayMode& a, const DisplayMode& b) { return CompareDisplayModes(a, b) < 0; });
  if (modes.size() > kMaxListedModes) modes.resize(kMaxListedModes);
  return modes;
}

int CurrentModeIndex(const std::vector<DisplayMode>& modes, const DisplayMode& current) {
  for (size_t i = 0; i < modes.size(); ++i)
    if (CompareDisplayModes(modes[i], current) == 0) return (int)i;
  return -1;
}

void WriteVideoModeList(InfoSink& out, const std::vector<DisplayMode>& modes, int currentIndex) {
  if (modes.empty()) return;
  out.SpacedHeading(Str(IDS_SUPPORTED_VIDEO_MODES));
  for (size_t n = 0; n < modes.size(); ++n) {
    const DisplayMode& m = modes[n];
    std::string mark = (int)n == currentIndex ? Str(IDS_CURRENT_MODE) : std::string(" ");
    std::string res = Resolution((int)m.width, (int)m.height);
    std::string line =
        m.frequency <= 1
            ? FormatA(Str(IDS_VIDEO_MODE_DEFAULT).c_str(), (int)n, mark.c_str(), res.c_str(), (int)m.bitsPerPixel)
            : FormatA(Str(IDS_VIDEO_MODE_RATE).c_str(), (int)n, mark.c_str(), res.c_str(), (int)m.bitsPerPixel,
                      (int)m.frequency);
    if (line.size() > kModeLineMax) line = line.substr(0, kModeLineMax - 1) + infofile::kLineEnd;
    out.Text(line);
  }
}

void WriteWindowsDisplayLines(InfoSink& out, DisplaySource& src, HWND window,
                              CollectionDevices::DirectDrawAnswer* directDraw) {
  int cx = 0, cy = 0, depth = 0;
  src.ScreenSize(&cx, &cy);
  if (src.ColorDepth(window, &depth) && cx && cy) WriteModeLine(out, IDS_CURRENT_RESOLUTION, cx, cy, depth);

  VideoModeCounters best;
  DisplayMode m;
  for (DWORD i = 0; src.EnumMode(i, &m); ++i) CountVideoMode(&best, (int)m.width, (int)m.height, (int)m.bitsPerPixel, false);
  if (best.bestWidth > 0 && best.bestHeight > 0)
    WriteModeLine(out, IDS_MAX_RESOLUTION, best.bestWidth, best.bestHeight, best.bestDepth);
  if (best.colorDepth > 0) WriteModeLine(out, IDS_MAX_COLORS, best.colorWidth, best.colorHeight, best.colorDepth);

  std::string version;
  int dd = 0;
  if (directDraw && directDraw->asked) {
    dd = directDraw->result;
    version = directDraw->version;
  } else {
    dd = src.DirectDraw(&version);
    if (directDraw) *directDraw = {true, dd, version};
  }
  out.Text(Str(IDS_DIRECTDRAW_SUPPORT));
  if (dd == 1)
    out.Text(Bounded(Str(IDS_YES) + version, 1023));
  else
    out.Text(Str(dd == -1 ? IDS_NOT_CONFIGURED : IDS_NA));
  out.EndLine();
}

void WriteDisplayInformation(InfoSink& out, int summary, HWND window, const GatherContext& ctx, DisplaySource& src) {
  bool category = summary == 0;
  out.VideoBlockMark();
  if (category) out.SpacedHeading(Str(IDS_DRIVERS_INFORMATION));
  out.Text(Str(IDS_MCI_DRIVERS));
  WriteMciDeviceList(out, 1);
  bool ok = false;
  std::string name;
  if (src.CaptureDriver(&ok, &name)) {
    out.Line(Bounded(FormatA(Str(IDS_CAPTURE_DRIVER).c_str(), ok ? name.c_str() : Str(IDS_MIXER_NA).c_str()), 1023));
  }
  out.VideoBlockMark();
  if (category) {
    if (src.Windows9x()) out.SpacedHeading(Str(IDS_HARDWARE_SUPPORT));
    WriteBiosModeLines(out, VideoCounters());
    out.SpacedHeading(Str(IDS_DRIVER_SUPPORT));
  }
  WriteWindowsDisplayLines(out, src, window, ctx.devices ? &ctx.devices->directDraw : nullptr);
  if (!category) return;

  std::vector<DisplayMode> all;
  DisplayMode m;
  for (DWORD i = 0; i < 4096 && src.EnumMode(i, &m); ++i) all.push_back(m);
  std::vector<DisplayMode> modes = SortedDisplayModes(all);
  int current = -1;
  DisplayMode now;
  if (!src.Windows9x() && src.CurrentMode(&now)) current = CurrentModeIndex(modes, now);
  WriteVideoModeList(out, modes, current);

  if (ctx.Switch(suite::SW_VIDEO_MCI)) {
    out.VideoBlockMark();
    out.EndLine();
    out.BeginHeading();
    out.Text(Str(IDS_MCI_CAPABILITIES));
    const std::vector<std::string>& names = MciDeviceNames();
    if (names.empty()) {
      out.Line(Str(IDS_NA));
      return;
    }
    out.EndLine();
    for (size_t k = 1; k <= names.size(); ++k) WriteMciDeviceDetails(out, (int)k, 1);
    out.VideoBlockMark();
  }
}

namespace {

class MachineDisplaySource : public DisplaySource {
 public:
  explicit MachineDisplaySource(const SystemBindings& sys) : sys_(sys) {}
  bool Windows9x() override { return appkit::IsWindows9x(); }
  void ScreenSize(int* cx, int* cy) override {
    *cx = ::GetSystemMetrics(SM_CXSCREEN);
    *cy = ::GetSystemMetrics(SM_CYSCREEN);
  }
  bool ColorDepth(HWND window, int* depth) override {
    HDC dc = ::GetDC(window);
    if (!dc) return false;
    *depth = ::GetDeviceCaps(dc, PLANES) * ::GetDeviceCaps(dc, BITSPIXEL);
    ::ReleaseDC(window, dc);
    return true;
  }
  static DisplayMode From(const DEVMODEA& dm) {
    return DisplayMode{dm.dmPelsWidth, dm.dmPelsHeight, dm.dmBitsPerPel, dm.dmDisplayFrequency};
  }
  bool EnumMode(DWORD index, DisplayMode* mode) override {
    DEVMODEA dm{};
    dm.dmSize = sizeof(dm);
    if (!::EnumDisplaySettingsA(nullptr, index, &dm)) return false;
    *mode = From(dm);
    return true;
  }
  bool CurrentMode(DisplayMode* mode) override {
    DEVMODEA dm{};
    dm.dmSize = sizeof(dm);
    if (!::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm)) return false;
    *mode = From(dm);
    return true;
  }
  int DirectDraw(std::string* version) override {
    version->clear();
    char dir[MAX_PATH + 1] = {};
    UINT n = ::GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    std::string path = std::string(dir) + "\\DDRAW.DLL";
    HMODULE lib = ::LoadLibraryA(path.c_str());
    if (!lib) return 0;
    typedef HRESULT(WINAPI * CreateFn)(GUID*, LPDIRECTDRAW*, IUnknown*);
    auto create = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(::GetProcAddress(lib, "DirectDrawCreate")));
    if (!create) {
      ::FreeLibrary(lib);
      return 0;
    }
    LPDIRECTDRAW dd = nullptr;
    if (FAILED(create(nullptr, &dd, nullptr)) || !dd) {
      ::FreeLibrary(lib);
      return -1;
    }
    DDCAPS_DX5 driver{}, emulation{};
    driver.dwSize = emulation.dwSize = sizeof(DDCAPS_DX5);
    HRESULT hr = dd->GetCaps(reinterpret_cast<LPDDCAPS>(&driver), reinterpret_cast<LPDDCAPS>(&emulation));
    dd->Release();
    ::FreeLibrary(lib);
    if (FAILED(hr)) return -1;
    *version = FileVersion(path);
    return 1;
  }
  bool CaptureDriver(bool* ok, std::string* name) override {
    CapGetDriverDescriptionFn fn = sys_.capGetDriverDescription;
    if (!fn) return false;
    char text[1000] = {}, ver[200] = {};
    *ok = fn(0, text, sizeof(text), ver, sizeof(ver)) != FALSE;
    text[sizeof(text) - 1] = '\0';
    *name = text;
    return true;
  }

 private:
  static std::string FileVersion(const std::string& path) {
    DWORD handle = 0, size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (!size) return std::string();
    std::vector<char> block(size + 1, 0);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::string();
    WORD* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                          &length) ||
        length < 4 || !translation)
      return std::string();
    std::string key = FormatA("\\StringFileInfo\\%04hX%04hX\\FileVersion", translation[0], translation[1]);
    char* value = nullptr;
    if (!::VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value || !length)
      return std::string();
    return " (" + Bounded(std::string(value, strnlen(value, length)), 200) + ")";
  }
  SystemBindings sys_;
};

}  // namespace

std::unique_ptr<DisplaySource> MakeMachineDisplaySource(const SystemBindings& sys) {
  return std::make_unique<MachineDisplaySource>(sys);
}

void WriteDisplayInformation(InfoSink& out, int summary, HWND window, const GatherContext& ctx) {
  auto src = MakeMachineDisplaySource(ctx.system);
  WriteDisplayInformation(out, summary, window, ctx, *src);
}

void WriteVideoBiosInformation(InfoSink& out, int summary, const SystemBindings& sys) {
  if (!summary) out.SpacedHeading(Str(IDS_VGA_BIOS_INFORMATION));
  GetQuorrelFn getQuorrel = sys.getQuorrel;
  if (!getQuorrel) return;
  char* buffer = InfoReplyBuffer();
  std::memset(buffer, 0, kInfoReplyBufferSize);
  if (summary) buffer[1] = 1;
  if (getQuorrel(kInfoClassVideoBios, (WORD)kInfoReplyBufferSize, buffer)) {
    buffer[kInfoReplyBufferSize - 1] = '\0';
    out.CompleteLines(buffer);
  }
  std::memset(buffer, 0, kInfoReplyBufferSize);
  if (getQuorrel(kInfoClassVideoBios, (WORD)kInfoReplyBufferSize, buffer)) {
    VideoBiosLabels labels;
    if (HMODULE rc = sys.mirvaneRc) {
      char text[256];
      if (::LoadStringA(rc, 33, text, sizeof(text)) > 0) labels.resolution = text;
      if (::LoadStringA(rc, 36, text, sizeof(text)) > 0) labels.text = text;
      if (::LoadStringA(rc, 34, text, sizeof(text)) > 0) labels.depth = text;
    }
    ParseVideoBiosModes(buffer, kInfoReplyBufferSize, labels, &VideoCounters());
  }
}

}  // namespace quorrel
