// Video and display information: KytVIDEO.IFO and the summary's video
// lines. The video-BIOS writer (Windows 9x) reads the system-access library's
// mode text; the display writer reads this display's metrics and modes,
// DirectDraw and the capture driver through DisplaySource.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "gather.h"
#include "infosink.h"

namespace quorrel {

// Best modes met so far (process-wide, reset before each video request).
struct VideoModeCounters {
  int bestWidth = 0, bestHeight = 0, bestDepth = 0;
  int colorWidth = 0, colorHeight = 0, colorDepth = 0;
  int textColumns = 0, textRows = 0, textDepth = 0;
};
VideoModeCounters& VideoCounters();
void ResetVideoModeCounters();
// Counts one mode into the best-resolution and most-colours groups, and a
// text mode into the largest-text group.
void CountVideoMode(VideoModeCounters* c, int width, int height, int depth, bool text);

// Labels of the video BIOS text ("Res:", "Text", "BPP:" unless the label
// library says otherwise).
struct VideoBiosLabels {
  std::string resolution = "Res:", text = "Text", depth = "BPP:";
};
// At most 255 characters of the line at `text` (up to "\n" or the end);
// false when no text is left.
bool ReadTextLine(const char* text, size_t size, std::string* line, size_t* used);
// Parses every mode line of at most `size` bytes of `text` (stops at a NUL).
void ParseVideoBiosModes(const char* text, size_t size, const VideoBiosLabels& labels, VideoModeCounters* c);

std::string FormatColorDepth(int depth);
void WriteBiosModeLines(InfoSink& out, const VideoModeCounters& c);

struct DisplayMode {
  DWORD width = 0, height = 0, bitsPerPixel = 0, frequency = 0;
};
constexpr size_t kMaxListedModes = 52;
int CompareDisplayModes(const DisplayMode& a, const DisplayMode& b);
// All modes sorted; the first kMaxListedModes of that order.
std::vector<DisplayMode> SortedDisplayModes(std::vector<DisplayMode> modes);
// Index of the first mode equal to `current` in all four keys, or -1.
int CurrentModeIndex(const std::vector<DisplayMode>& modes, const DisplayMode& current);
// "Supported Video Modes" and one line per mode; nothing for an empty list.
void WriteVideoModeList(InfoSink& out, const std::vector<DisplayMode>& modes, int currentIndex);

class DisplaySource {
 public:
  virtual ~DisplaySource() = default;
  virtual bool Windows9x() = 0;
  virtual void ScreenSize(int* cx, int* cy) = 0;
  // Colour depth of the window's device context; false without one.
  virtual bool ColorDepth(HWND window, int* depth) = 0;
  virtual bool EnumMode(DWORD index, DisplayMode* mode) = 0;
  virtual bool CurrentMode(DisplayMode* mode) = 0;
  // 1: DirectDraw works (version text " (x.y.z)" or ""); 0: missing; -1:
  // present but DirectDrawCreate or GetCaps fails.
  virtual int DirectDraw(std::string* version) = 0;
  // false when the capture library is not bound; *ok tells whether driver 0
  // answered with `name`.
  virtual bool CaptureDriver(bool* ok, std::string* name) = 0;
};
std::unique_ptr<DisplaySource> MakeMachineDisplaySource(const SystemBindings& sys);

// DirectDraw is asked once per collection: `directDraw` (when given) keeps
// its answer for the collection's next display lines.
void WriteWindowsDisplayLines(InfoSink& out, DisplaySource& src, HWND window,
                              CollectionDevices::DirectDrawAnswer* directDraw = nullptr);
void WriteDisplayInformation(InfoSink& out, int summary, HWND window, const GatherContext& ctx, DisplaySource& src);
void WriteDisplayInformation(InfoSink& out, int summary, HWND window, const GatherContext& ctx);
// Windows 9x: the video BIOS text of the system-access library and its modes.
void WriteVideoBiosInformation(InfoSink& out, int summary, const SystemBindings& sys);

}  // namespace quorrel
