// The video writers on made-up displays and video BIOS texts: best-mode
// counters, BIOS mode parsing, the sorted and capped mode list, and the
// display lines of the category and the summary.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "module.h"
#include "videoinfo.h"

using namespace quorrel;

namespace {

class FakeDisplay : public DisplaySource {
 public:
  bool nine = false;
  int cx = 1024, cy = 768, depth = 32;
  bool haveDc = true;
  std::vector<DisplayMode> modes;
  DisplayMode current{1024, 768, 32, 60};
  int ddraw = 1;
  std::string ddrawVersion = " (5.3.2600.5512)";
  bool captureBound = false, captureOk = false;
  std::string captureName;

  bool Windows9x() override { return nine; }
  void ScreenSize(int* x, int* y) override {
    *x = cx;
    *y = cy;
  }
  bool ColorDepth(HWND, int* d) override {
    *d = depth;
    return haveDc;
  }
  bool EnumMode(DWORD i, DisplayMode* m) override {
    if (i >= modes.size()) return false;
    *m = modes[i];
    return true;
  }
  bool CurrentMode(DisplayMode* m) override {
    *m = current;
    return true;
  }
  int directDrawAsked = 0;
  int DirectDraw(std::string* v) override {
    ++directDrawAsked;
    *v = ddraw == 1 ? ddrawVersion : "";
    return ddraw;
  }
  bool CaptureDriver(bool* ok, std::string* name) override {
    *ok = captureOk;
    *name = captureName;
    return captureBound;
  }
};

// What the category writes after the MCI block (its second marker).
std::string AfterMci(const std::string& text) {
  size_t first = text.find(";Video Info\n");
  size_t second = text.find(";Video Info\n", first + 1);
  return second == std::string::npos ? "<no marker>" : text.substr(second + 12);
}

std::string Category(FakeDisplay& d, int summary = 0) {
  StringSink out;
  GatherContext ctx;
  int switches[suite::SW_COUNT] = {};  // VideoMCI off
  ctx.switches = switches;
  WriteDisplayInformation(out, summary, nullptr, ctx, d);
  return out.text;
}

}  // namespace

TEST(VideoCounters, BestResolutionMostColoursAndTextModes) {
  VideoModeCounters c;
  // Several modes of the largest width: the last height met, the largest depth.
  CountVideoMode(&c, 640, 480, 8, false);
  CountVideoMode(&c, 1024, 768, 16, false);
  CountVideoMode(&c, 1024, 600, 8, false);
  CountVideoMode(&c, 800, 600, 32, false);
  EXPECT_EQ(c.bestWidth, 1024);
  EXPECT_EQ(c.bestHeight, 600);
  EXPECT_EQ(c.bestDepth, 16);
  EXPECT_EQ(c.colorWidth, 800);
  EXPECT_EQ(c.colorHeight, 600);
  EXPECT_EQ(c.colorDepth, 32);
  EXPECT_EQ(c.textColumns, 0);
}

TEST(VideoBios, ModeLinesAreParsedAndCounted) {
  const std::string text =
      "Video BIOS: Made-up VGA\n"
      "Mode 03h Res: 80x25 Text BPP: 4\n"
      "Mode 01h Res: 40x25 Text BPP:4\n"
      "\n\n"
      "Mode 12h Res: 640X480 BPP: 4\n"
      "Mode 101h Res: 640x480 BPP: 8\n"
      "Mode 118h Res: 1024x768 BPP: 24\n"
      "Mode ??? Res: garbage\n"
      "no label 2048x2048 BPP: 32\n";
  VideoModeCounters c;
  ParseVideoBiosModes(text.data(), text.size(), VideoBiosLabels(), &c);
  EXPECT_EQ(c.textColumns, 80);
  EXPECT_EQ(c.textRows, 25);
  EXPECT_EQ(c.textDepth, 4);
  EXPECT_EQ(c.bestWidth, 1024);
  EXPECT_EQ(c.bestHeight, 768);
  EXPECT_EQ(c.colorDepth, 24);
  StringSink out;
  WriteBiosModeLines(out, c);
  EXPECT_EQ(out.text,
            "Max Resolution:\t1024x768 (24-bit color)\n"
            "Max Screen Colors:\t1024x768 (24-bit color)\n"
            "Max Text Mode:\t80x25 (4-bit color)\n");
}

TEST(VideoBios, TextWithoutEndOrWithOverlongLinesStaysInItsBuffer) {
  // No NUL at the end, a line far beyond the 255-character line buffer: the
  // label beyond the first 255 characters is not seen.
  std::string text = std::string(300, 'a') + " Res: 1600x1200 BPP: 32\nRes: 320x200 BPP: 8";
  std::vector<char> bytes(text.begin(), text.end());
  VideoModeCounters c;
  ParseVideoBiosModes(bytes.data(), bytes.size(), VideoBiosLabels(), &c);
  EXPECT_EQ(c.bestWidth, 320);
  EXPECT_EQ(c.bestHeight, 200);
  EXPECT_EQ(c.bestDepth, 8);

  std::string line;
  size_t used = 0;
  EXPECT_FALSE(ReadTextLine("", 1, &line, &used));
  EXPECT_TRUE(ReadTextLine(bytes.data(), bytes.size(), &line, &used));
  EXPECT_EQ(line.size(), 255u);
  EXPECT_EQ(used, text.find('\n'));
}

// The cap takes the first 52 of the sorted order, not the first 52 the
// driver happens to list.
TEST(VideoModes, SortedThenCappedAt52) {
  std::vector<DisplayMode> modes;
  for (int i = 79; i >= 0; --i) modes.push_back({(DWORD)(320 + 16 * i), 200, 32, 60});
  modes.push_back({320, 200, 16, 75});
  modes.push_back({320, 200, 16, 60});
  std::vector<DisplayMode> sorted = SortedDisplayModes(modes);
  ASSERT_EQ(sorted.size(), 52u);
  EXPECT_EQ(CompareDisplayModes(sorted[0], DisplayMode{320, 200, 16, 60}), 0);
  EXPECT_EQ(CompareDisplayModes(sorted[1], DisplayMode{320, 200, 16, 75}), 0);
  EXPECT_EQ(CompareDisplayModes(sorted[2], DisplayMode{320, 200, 32, 60}), 0);
  EXPECT_EQ(sorted[51].width, 320u + 16 * 49);
  EXPECT_EQ(CurrentModeIndex(sorted, DisplayMode{320, 200, 32, 60}), 2);
  EXPECT_EQ(CurrentModeIndex(sorted, DisplayMode{320 + 16 * 79, 200, 32, 60}), -1);
  // Unsigned keys: a huge value sorts last.
  EXPECT_EQ(CompareDisplayModes(DisplayMode{0x80000000u, 1, 1, 1}, DisplayMode{1, 1, 1, 1}), 1);
}

TEST(DisplayInfo, GoldenCategoryOnTheNtFamily) {
  FakeDisplay d;
  d.modes = {{1024, 768, 32, 60}, {640, 480, 8, 1}, {1024, 768, 16, 0}, {800, 600, 32, 75}, {1024, 600, 32, 60}};
  EXPECT_EQ(AfterMci(Category(d)),
            "\n@3Driver Support\n"
            "Current Resolution:\t1024x768 (32-bit color)\n"
            "Max Resolution:\t1024x600 (32-bit color)\n"
            "Max Screen Colors:\t1024x768 (32-bit color)\n"  // the first of the widest at that depth
            "DirectDraw Support:\tYes (5.3.2600.5512)\n"
            "\n@3Supported Video Modes\n"
            "Video Mode 0: \t640x480, 8-bit color, Hardware default refresh\n"
            "Video Mode 1: \t800x600, 32-bit color at 75 hz\n"
            "Video Mode 2: \t1024x600, 32-bit color at 60 hz\n"
            "Video Mode 3: \t1024x768, 16-bit color, Hardware default refresh\n"
            "Video Mode 4:(current mode)\t1024x768, 32-bit color at 60 hz\n");
}

TEST(DisplayInfo, Windows9xSummaryAndMissingSources) {
  FakeDisplay d;
  d.modes = {{800, 600, 16, 60}};
  d.current = {800, 600, 16, 60};
  d.nine = true;
  d.haveDc = false;
  d.ddraw = 0;
  d.captureBound = true;
  std::string text = Category(d);
  EXPECT_NE(text.find("Capture Card Driver:\tN/A\n;Video Info\n\n@3Hardware Support\n\n@3Driver Support\n"
                      "Max Resolution:\t800x600 (16-bit color)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("DirectDraw Support:\tN/A\n"), std::string::npos);
  EXPECT_EQ(text.find("(current mode)"), std::string::npos) << "no current mark on Windows 9x";
  EXPECT_EQ(text.find("Current Resolution"), std::string::npos) << "no device context";

  // Summary: no headings, no mode list.
  d.nine = false;
  d.ddraw = -1;
  d.captureOk = true;
  d.captureName = "Made-up capture";
  d.haveDc = true;
  EXPECT_EQ(AfterMci(Category(d, 1)),
            "Current Resolution:\t1024x768 (32-bit color)\n"
            "Max Resolution:\t800x600 (16-bit color)\n"
            "Max Screen Colors:\t800x600 (16-bit color)\n"
            "DirectDraw Support:\tNot correctly configured\n");
  EXPECT_NE(Category(d, 1).find("Capture Card Driver:\tMade-up capture\n"), std::string::npos);

  d.modes.clear();
  EXPECT_EQ(Category(d).find("Supported Video Modes"), std::string::npos);
}

namespace {
// The system-access library's video BIOS class: the short form when byte 1
// of the request is 1, else the mode text.
std::vector<int> g_shortAsked;
DWORD WINAPI FakeGetQuorrel(WORD infoClass, WORD size, void* buffer) {
  if (infoClass != 2 || size < 200) return 0;
  char* b = static_cast<char*>(buffer);
  g_shortAsked.push_back(b[1]);
  const char* text = b[1] == 1 ? "Video BIOS:\tMade-up VGA\n"
                               : "Video BIOS:\tMade-up VGA 2.0\nMode 03h Res: 80x25 Text BPP: 4\nMode 118h Res: 1024x768 BPP: 24\n";
  strcpy(b, text);
  return 1;
}
}  // namespace

TEST(VideoBios, TheLibraryTextAndItsBestModes) {
  SystemBindings library;
  library.getQuorrel = &FakeGetQuorrel;
  ResetVideoModeCounters();
  StringSink category;
  WriteVideoBiosInformation(category, 0, library);
  EXPECT_EQ(category.text, "\n@3VGA BIOS Information\nVideo BIOS:\tMade-up VGA 2.0\n"
                           "Mode 03h Res: 80x25 Text BPP: 4\nMode 118h Res: 1024x768 BPP: 24\n");
  EXPECT_EQ(VideoCounters().bestWidth, 1024);
  EXPECT_EQ(VideoCounters().textColumns, 80);

  ResetVideoModeCounters();
  g_shortAsked.clear();
  StringSink summary;
  WriteVideoBiosInformation(summary, 1, library);
  EXPECT_EQ(summary.text, "Video BIOS:\tMade-up VGA\n");
  EXPECT_EQ(g_shortAsked, (std::vector<int>{1, 0}));  // the modes come from the full text
  EXPECT_EQ(VideoCounters().bestHeight, 768);

  StringSink none;  // no library: the heading alone
  WriteVideoBiosInformation(none, 0, SystemBindings());
  EXPECT_EQ(none.text, "\n@3VGA BIOS Information\n");
  ResetVideoModeCounters();
}

// DirectDraw is asked once per collection: the category and the summary of
// one context share its answer; a new collection asks again.
TEST(DisplayLines, DirectDrawOncePerCollection) {
  FakeDisplay d;
  int switches[suite::SW_COUNT] = {};
  GatherContext one;
  one.switches = switches;
  StringSink category, summary;
  WriteDisplayInformation(category, 0, nullptr, one, d);
  d.ddraw = 0;  // what DirectDraw would answer now is not asked
  WriteDisplayInformation(summary, 1, nullptr, one, d);
  EXPECT_EQ(d.directDrawAsked, 1);
  EXPECT_NE(category.text.find("DirectDraw Support:\tYes (5.3.2600.5512)\n"), std::string::npos);
  EXPECT_NE(summary.text.find("DirectDraw Support:\tYes (5.3.2600.5512)\n"), std::string::npos);
  EXPECT_EQ(Category(d, 1).find("DirectDraw Support:\tN/A\n") != std::string::npos, true);
  EXPECT_EQ(d.directDrawAsked, 2);
}
