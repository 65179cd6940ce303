// The graphics Test page: Start/Stop over the eleven tests, the executor
// that runs each test as a batch of steps, the eight GDI steps and the
// DirectDraw and Direct3D batches.
#include "testpage.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "appkit/paths.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "gfxtest/files.h"
#include "gfxtest/ids.h"
#include "gfxtest/rules.h"
#include "graphics.h"
#include "runner.h"
#include "sound.h"

namespace graphics {

HBRUSH g_frameBrush = nullptr;
const COLORREF kFillPalette[14] = {RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(255, 255, 0), RGB(0, 0, 128),
                                   RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192), RGB(128, 128, 128),
                                   RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(128, 128, 0), RGB(0, 0, 255),
                                   RGB(255, 0, 255), RGB(0, 255, 255)};

namespace {

constexpr COLORREF kPaletteFlag = 0x02000000;
int g_fillCounter = 0, g_shapeCounter = 0;
HFONT g_fonts[8] = {};
// Host messages taken by the pump that the host must still see.
bool g_hostQuit = false, g_wmQuit = false;
int g_wmQuitCode = 0;
// The sound a DirectX batch started, until the batch judges it.
const wchar_t* g_playing = nullptr;
// How much longer than the sound lasts its device may take to play it.
constexpr unsigned kSoundMarginMs = 3000;
// How long one Direct3D frame of a test window may take.
constexpr unsigned kFrameBoundMs = 10000;

COLORREF RandomColour() { return RGB(rand() & 255, rand() & 255, rand() & 255) | kPaletteFlag; }

// A GDI call fails only when it answers failure and leaves a last error.
template <class F>
bool Gdi(F call) {
  ::SetLastError(0);
  bool ok = call();
  return ok || ::GetLastError() == 0;
}

void Line(UINT id) { AddLine(TextA(id)); }

// ---- GDI steps ------------------------------------------------------------------

bool WindowGone() { return !::IsWindow(Run().commonWindow); }

bool StretchBltTest(HDC dc, int right, int bottom, HDC mem) {
  if (WindowGone()) return false;
  ::InvalidateRect(Run().commonWindow, nullptr, TRUE);
  ::UpdateWindow(Run().commonWindow);
  for (int k = 1; k <= 25; ++k)
    if (!Gdi([&] { return ::StretchBlt(dc, 0, 0, k * (right / 25), k * (bottom / 25), mem, 0, 0, 90, 85, SRCCOPY); }))
      return false;
  return true;
}

bool BitBltTest(HDC dc, int right, int bottom, HDC mem) {
  if (WindowGone()) return false;
  for (int i = 0; i < 40; ++i) {
    int x = gfxtest::SafeMod(rand(), right), y = gfxtest::SafeMod(rand(), bottom);
    if (!Gdi([&] { return ::BitBlt(dc, x, y, 90, 85, mem, 0, 0, SRCCOPY); })) return false;
  }
  return true;
}

bool ScrollDCTest(HDC dc, int right, int bottom) {
  if (WindowGone()) return false;
  int n = gfxtest::ScrollRectangleCount(right, bottom, 350, 200);
  for (int i = 0; i < n; ++i) {
    RECT r = {i, i, i + 350, i + 200};
    if (!Gdi([&] { return ::ScrollDC(dc, 1, 1, &r, &r, nullptr, nullptr); })) return false;
  }
  for (int i = n - 1; i >= 0; --i) {
    RECT r = {i, i, i + 350, i + 200};
    if (!Gdi([&] { return ::ScrollDC(dc, -1, -1, &r, &r, nullptr, nullptr); })) return false;
  }
  return true;
}

bool FloodFillTest(HDC dc, int right, int bottom) {
  if (WindowGone()) return false;
  int sx = 2, sy = 2;
  bool found = false;
  for (int x = 2; !found && x < right; x += 40)
    for (int y = 2; !found && y < bottom; y += 40)
      if (::PtVisible(dc, x, y)) sx = x, sy = y, found = true;
  COLORREF colour = kFillPalette[g_fillCounter];
  g_fillCounter = (g_fillCounter + 1) % 14;
  HBRUSH brush = ::CreateSolidBrush(colour);
  if (!brush) {
    Line(IDS_GFX_NO_BRUSH);
    return false;
  }
  HGDIOBJ old = ::SelectObject(dc, brush);
  bool ok = old && g_frameBrush;
  RECT rc = {0, 0, right, bottom};
  if (ok) ok = Gdi([&] { return ::FrameRect(dc, &rc, g_frameBrush) != 0; });
  if (ok) ok = Gdi([&] { return ::ExtFloodFill(dc, sx, sy, RGB(0, 0, 0), FLOODFILLBORDER) != 0; });
  if (old) ::SelectObject(dc, old);
  ::DeleteObject(brush);
  return ok;
}

bool PixelTest(HDC dc, int right, int bottom) {
  if (WindowGone()) return false;
  int xhi = gfxtest::PixelLimit(0, right), yhi = gfxtest::PixelLimit(0, bottom);
  for (int i = 0; i < 500; ++i) {
    int x = rand() % xhi, y = rand() % yhi;
    COLORREF c = RandomColour();
    if (!Gdi([&] { return ::SetPixelV(dc, x, y, c) != 0; })) {
      Line(IDS_GFX_NO_PIXEL);
      return false;
    }
  }
  return true;
}

bool LineTest(HDC dc, int right, int bottom) {
  if (WindowGone()) return false;
  for (int i = 0; i < 40; ++i) {
    HPEN pen = ::CreatePen(PS_SOLID, 1, RandomColour());
    if (!pen) {
      Line(IDS_GFX_NO_PEN);
      return false;
    }
    HGDIOBJ old = ::SelectObject(dc, pen);
    int y1 = gfxtest::SafeMod(rand(), bottom), x1 = gfxtest::SafeMod(rand(), right);
    int y2 = gfxtest::SafeMod(rand(), bottom), x2 = gfxtest::SafeMod(rand(), right);
    bool ok = Gdi([&] { return ::MoveToEx(dc, x1, y1, nullptr) != 0; }) && Gdi([&] { return ::LineTo(dc, x2, y2) != 0; });
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
    if (!ok) return false;
  }
  return true;
}

bool StringTest(HDC dc, int right, int bottom) {
  if (WindowGone()) return false;
  std::string texts[3] = {TextA(IDS_GFX_TEXT1), TextA(IDS_GFX_TEXT2), TextA(IDS_GFX_TEXT3)};
  if (FILE* f = _wfopen((OwnDirectory() + L"TESTDATA\\TESTSTR.TXT").c_str(), L"rt")) {
    char buf[160];
    for (int i = 0; i < 3 && std::fgets(buf, sizeof(buf), f); ++i) {
      std::string s(buf);
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
      texts[i] = s;
      // The rest of a line longer than 159 characters is not a line of its own.
      if (std::string(buf).find('\n') == std::string::npos)
        for (int c = std::fgetc(f); c != EOF && c != '\n'; c = std::fgetc(f)) {
        }
    }
    std::fclose(f);
  }
  bool ok = true;
  for (int i = 0; i < 40 && ok; ++i) {
    HFONT font = g_fonts[i % 8];
    if (!font) continue;
    COLORREF previous = ::SetTextColor(dc, RandomColour());
    if (previous == CLR_INVALID) {
      Line(IDS_GFX_NO_TEXT_COLOR);
      return false;
    }
    if (!::SelectObject(dc, font)) {
      ::SetTextColor(dc, previous);
      continue;
    }
    const std::string& t = texts[rand() % 3];
    int y = gfxtest::SafeMod(rand(), bottom), x = gfxtest::SafeMod(rand(), right);
    std::wstring w = appkit::Widen(t);
    ok = Gdi([&] { return ::TextOutW(dc, x, y, w.c_str(), (int)w.size()) != 0; });
    ::SetTextColor(dc, previous);
  }
  return ok;
}

bool DrawRandomShape(HDC dc, int right, int bottom) {
  g_shapeCounter = (g_shapeCounter + 1) % 10;
  int kind = g_shapeCounter;
  int x = gfxtest::SafeMod(rand(), right), y = gfxtest::SafeMod(rand(), bottom);
  int w = gfxtest::RandomInRange(right / 30, right / 10, rand());
  int h = gfxtest::RandomInRange(bottom / 30, bottom / 10, rand());
  switch (kind) {
    case 0: return Gdi([&] { return ::Ellipse(dc, x, y, x + w, y + w) != 0; });
    case 1: return Gdi([&] { return ::Ellipse(dc, x, y, x + w, y + h) != 0; });
    case 2: return Gdi([&] { return ::Rectangle(dc, x, y, x + w, y + h) != 0; });
    case 3: case 4: case 5: case 6: {
      POINT p[6];
      for (int i = 0; i < kind; ++i) gfxtest::PolygonVertex(x, y, w, kind, i, (int*)&p[i].x, (int*)&p[i].y);
      return Gdi([&] { return ::Polygon(dc, p, kind) != 0; });
    }
    case 7: return Gdi([&] { return ::Pie(dc, x, y, x + w, y + w, x + w, y, x, y) != 0; });
    case 8: return Gdi([&] { return ::Pie(dc, x, y, x + w, y + w, x + w, y, x, y + w) != 0; });
    default: return Gdi([&] { return ::Pie(dc, x, y, x + w, y + w, x + w, y, x + w, y + w) != 0; });
  }
}

bool FilledShapeTest(HDC dc, int right, int bottom) {
  if (WindowGone()) {
    Line(IDS_GFX_NO_WINDOW);
    return false;
  }
  for (int i = 0; i < 40; ++i) {
    HBRUSH brush = ::CreateSolidBrush(RandomColour());
    if (!brush) {
      Line(IDS_GFX_NO_BRUSH);
      return false;
    }
    HGDIOBJ old = ::SelectObject(dc, brush);
    bool ok = DrawRandomShape(dc, right, bottom);
    ::SelectObject(dc, old);
    ::DeleteObject(brush);
    if (!ok) return false;
  }
  return true;
}

bool CreateTestFonts() {
  RECT rc;
  if (!::GetClientRect(Run().commonWindow, &rc)) return false;
  int h = rc.bottom - rc.top;
  static const BYTE kFamilies[4] = {FF_ROMAN | VARIABLE_PITCH, FF_MODERN | FIXED_PITCH, FF_ROMAN | VARIABLE_PITCH,
                                    FF_MODERN | FIXED_PITCH};
  bool all = true;
  for (HFONT& font : g_fonts) {
    LOGFONTW lf = {};
    lf.lfHeight = gfxtest::RandomInRange(h / 30, h / 10, rand());
    lf.lfItalic = (BYTE)gfxtest::RandomInRange(0, 1, rand());
    lf.lfPitchAndFamily = kFamilies[gfxtest::RandomInRange(0, 3, rand())];
    font = ::CreateFontIndirectW(&lf);
    if (!font) all = false;
  }
  return all;
}

void DeleteTestFonts() {
  for (HFONT& font : g_fonts) {
    if (font) ::DeleteObject(font);
    font = nullptr;
  }
}

// ---- DirectX batches ------------------------------------------------------------------

void BatchSound(const wchar_t* file, HWND window) {
  RunFlags& f = Run();
  if (Dx().dsoundMissing) return;
  if (f.player) {
    if (f.player->Ready()) f.player->StopSound(0);
    delete f.player;
    f.player = nullptr;
  }
  std::wstring path = OwnDirectory() + file;
  if (!Count("DirectSoundEnable") || Runner().Options().coverage || !appkit::FileExists(path)) return;
  f.player = new CSoundPlayer(window);
  if (f.player->Ready() && f.player->ReadWaveFile(path) == 0 && f.player->SetSlotPosition(0, 0) &&
      f.player->PlaySlot(0, 0)) {
    g_playing = file + 9;  // the file's name after "TESTDATA\"
    if (f.directSoundResult == -1) f.directSoundResult = 0;
  }
}

// The sound of a DirectX batch passes only when the device played it: its
// play cursor moved, or it played to its end. A device that takes the sound
// and never plays it is waited for no longer than the sound lasts plus a
// margin; then DirectSound fails with a line naming the device.
void JudgePlayback() {
  RunFlags& f = Run();
  const wchar_t* file = g_playing;
  g_playing = nullptr;
  if (!file || !f.player || BatchEnding()) return;
  CSoundPlayer* player = f.player;
  gfxtest::DeviceWait w;
  w.attempt = [player] { return player->PlaybackState(0); };
  w.between = &BetweenDeviceLooks;
  w.stopRequested = &BatchEnding;
  w.nowMs = [] { return (unsigned)::GetTickCount(); };
  w.boundMs = player->SlotLengthMs(0) + kSoundMarginMs;
  switch (gfxtest::WaitForDevice(w)) {
    case gfxtest::WaitEnd::Done:
    case gfxtest::WaitEnd::Stopped:
      return;
    case gfxtest::WaitEnd::TimedOut:
      DeviceTimeoutLine(L"DirectSound", L"the default sound device", (std::wstring(L"start playing ") + file).c_str(),
                        w.boundMs);
      SoundFailureCode() = kSoundNeverPlayed;
      return;
    case gfxtest::WaitEnd::Error:
      SoundFailureCode() = kSoundNeverPlayed;
      return;
  }
}

DWORD WindowedStyle() { return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME; }

bool StartDirectDrawBatch() {
  RunFlags& f = Run();
  std::wstring title = Text(IDS_GFX_DD_TITLE);
  if (FullScreen())
    f.ddWindow = ::CreateWindowExW(WS_EX_TOPMOST, kDDrawClass, title.c_str(), WS_POPUP, 0, 0, f.saved.width,
                                   f.saved.height, nullptr, nullptr, Instance(), nullptr);
  else
    f.ddWindow = ::CreateWindowExW(WS_EX_TOPMOST, kDDrawClass, title.c_str(), WindowedStyle(), Count("DisplayX"),
                                   Count("DisplayY"), Count("DisplayWidth"), Count("DisplayHeight"), nullptr, nullptr,
                                   Instance(), nullptr);
  if (!f.ddWindow) return false;
  BatchSound(L"TESTDATA\\DSOUND2.WAV", f.ddWindow);
  ::ShowWindow(f.ddWindow, SW_SHOWNORMAL);
  if (DirectDrawEngineStart(Runner().DirectDrawBitmap())) {
    ::ShowWindow(f.ddWindow, SW_SHOWNORMAL);
    f.ddEngineActive = true;
    return true;
  }
  ::ShowWindow(f.ddWindow, SW_HIDE);
  ::DestroyWindow(f.ddWindow);
  f.ddWindow = nullptr;
  Line(IDS_GFX_NO_DDRAW);
  f.batch = false;
  if (DirectDrawEngineHasObject()) DirectDrawEngineStop();
  return false;
}

bool EndDirectDrawBatch() {
  RunFlags& f = Run();
  f.ddEngineActive = false;
  if (f.ddWindow && ::IsWindow(f.ddWindow)) ::DestroyWindow(f.ddWindow);
  f.ddWindow = nullptr;
  if (!DirectDrawEngineHasObject()) return false;
  DirectDrawEngineStop();
  return true;
}

bool StartDirect3DBatch() {
  RunFlags& f = Run();
  f.current = f.saved;
  std::wstring title = Text(IDS_GFX_D3D_TITLE);
  HWND w;
  if (FullScreen())
    w = ::CreateWindowExW(WS_EX_TOPMOST, kDirect3DClass, title.c_str(), WS_POPUP, 0, 0, f.saved.width,
                          f.saved.height, nullptr, nullptr, Instance(), nullptr);
  else
    w = ::CreateWindowExW(WS_EX_TOPMOST, kDirect3DClass, title.c_str(), WindowedStyle(), 2 * Count("DisplayX"),
                          2 * Count("DisplayY"), Count("DisplayWidth") / 2, Count("DisplayHeight") / 2, nullptr,
                          nullptr, Instance(), nullptr);
  f.d3dWindow = w;
  if (!w || !Direct3DReady()) return false;
  BatchSound(L"TESTDATA\\DSOUND.WAV", w);
  if (ResetDirect3DScene()) {
    ::ShowWindow(w, SW_SHOWNORMAL);
    return true;
  }
  ::ShowWindow(w, SW_HIDE);
  ::DestroyWindow(w);
  f.d3dWindow = nullptr;
  return false;
}

void EndDirect3DBatch() {
  RunFlags& f = Run();
  if (f.d3dWindow && ::IsWindow(f.d3dWindow)) {
    ::ShowWindow(f.d3dWindow, SW_HIDE);
    ::DestroyWindow(f.d3dWindow);
  }
  f.d3dWindow = nullptr;
}

// One frame of the retained-mode device. Its calls block until the device
// has drawn, so the frame is judged by its time when it returns.
bool Direct3DStep() {
  HWND w = Run().d3dWindow;
  if (!w || !::IsWindow(w)) return false;
  LARGE_INTEGER start, end, freq;
  ::QueryPerformanceCounter(&start);
  bool ok = RenderDirect3DStep(w);
  ::QueryPerformanceCounter(&end);
  ::QueryPerformanceFrequency(&freq);
  double ms = freq.QuadPart > 0 ? (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)freq.QuadPart : 0;
  if (ok && gfxtest::StepOverran(ms, kFrameBoundMs)) {
    DeviceTimeoutLine(L"Direct3D", DisplayDevice(), L"complete a frame", kFrameBoundMs);
    return false;
  }
  return ok;
}

bool Step(int id, HDC dc, int right, int bottom, HDC mem) {
  switch (id) {
    case 0: return StretchBltTest(dc, right, bottom, mem);
    case 1: return FloodFillTest(dc, right, bottom);
    case 2: return LineTest(dc, right, bottom);
    case 3: return StringTest(dc, right, bottom);
    case 4: return FilledShapeTest(dc, right, bottom);
    case 5: return !Run().ddEngineActive || DirectDrawEngineFrame();
    case 6: return BitBltTest(dc, right, bottom, mem);
    case 7: return PixelTest(dc, right, bottom);
    case 8: return ScrollDCTest(dc, right, bottom);
    case 9: return Direct3DStep();
  }
  return true;
}

}  // namespace

// ---- Shared by the tests and the benchmark ------------------------------------------------

bool TestBitmap::Load(HDC dc) {
  std::vector<uint8_t> file;
  gfxtest::Dib dib;
  if (gfxtest::ReadWholeFile(OwnDirectory() + L"TESTDATA\\TESTBMP.BMP", 64u << 20, &file) &&
      gfxtest::ParseDib(file, &dib))
    bitmap = ::CreateDIBitmap(dc, reinterpret_cast<BITMAPINFOHEADER*>(dib.info.data()), CBM_INIT, dib.bits.data(),
                              reinterpret_cast<BITMAPINFO*>(dib.info.data()), DIB_RGB_COLORS);
  if (!bitmap) bitmap = ::LoadBitmapW(Texts(), MAKEINTRESOURCEW(IDB_GRAPHICS_TEST));
  if (!bitmap) bitmap = ::LoadBitmapW(Instance(), MAKEINTRESOURCEW(IDB_GRAPHICS_TEST));
  if (!bitmap) return false;
  memory = ::CreateCompatibleDC(dc);
  if (!memory) return false;
  old = ::SelectObject(memory, bitmap);
  return old != nullptr;
}

void TestBitmap::Free() {
  if (memory) {
    if (old) ::SelectObject(memory, old);
    ::DeleteDC(memory);
  }
  if (bitmap) ::DeleteObject(bitmap);
  *this = TestBitmap();
}

void PumpMessages() {
  static UINT diag = ::RegisterWindowMessageW(L"kyt_diag_msg");
  CGraphicsRunner& runner = Runner();
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The host's loop ends with it once the run is over.
      g_wmQuit = true;
      g_wmQuitCode = (int)msg.wParam;
      SetClosing(true);
      Run().batch = false;
      continue;
    }
    if (msg.message == diag && !msg.hwnd) {
      if (msg.wParam == 2 && msg.lParam == 0) {
        SetClosing(true);
        Run().batch = false;
        g_hostQuit = true;
        continue;
      }
      if (msg.wParam == 0 && ::IsWindow((HWND)msg.lParam)) runner.replyWindow = (HWND)msg.lParam;
      if (msg.wParam == 1) runner.cookie = msg.lParam;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool BeginBatch(int id) {
  RunFlags& f = Run();
  if (f.batch) {
    StepMessage(IDS_GFX_IN_PROGRESS);
    return false;
  }
  f.currentTestId = id;
  if (!::IsWindow(f.commonWindow)) {
    f.batch = false;
    StepMessage(IDS_GFX_NO_WINDOW);
    return false;
  }
  f.batch = true;
  f.testDC = ::GetDC(f.commonWindow);
  if (!f.testDC) {
    StepMessage(IDS_GFX_NO_DC);
    f.batch = false;
    return false;
  }
  return true;
}

void ShowCommonWindow(int id) {
  HWND w = Run().commonWindow;
  if (!::IsWindow(w)) return;
  // Scrolling starts from whatever the window shows.
  if (id != 8) {
    ::InvalidateRect(w, nullptr, TRUE);
    ::UpdateWindow(w);
  }
  ::ShowWindow(w, SW_SHOWNORMAL);
}

void EndBatch(TestBitmap* picture) {
  RunFlags& f = Run();
  f.batch = false;
  if (f.testDC && ::IsWindow(f.commonWindow)) ::ReleaseDC(f.commonWindow, f.testDC);
  f.testDC = nullptr;
  picture->Free();
}

bool RunGraphicsTests(int id, int count, int* stepsDone) {
  int steps = 0;
  if (stepsDone) *stepsDone = 0;
  if (!BeginBatch(id)) return false;
  RunFlags& f = Run();
  srand((unsigned)time(nullptr));
  bool result = true, run = true;
  TestBitmap picture;
  if (id == 5) {
    run = StartDirectDrawBatch();
  } else if (id == 9) {
    run = StartDirect3DBatch();
  } else if (id == 0 || id == 6 || id == 8) {
    run = picture.Load(f.testDC);
  }
  if (!run) result = false;
  if (id != 5 && id != 9) ShowCommonWindow(id);
  for (int n = 0; run && f.batch && n < count; ++n) {
    PumpMessages();
    if (!f.batch) break;
    RECT rc;
    if (!::IsWindow(f.commonWindow) || !::GetClientRect(f.commonWindow, &rc)) {
      Line(IDS_GFX_NO_BOUNDARY);
      result = false;
      break;
    }
    if (!f.testDC) {
      Line(IDS_GFX_NO_DC);
      result = false;
      break;
    }
    ++steps;
    if (!Step(id, f.testDC, rc.right, rc.bottom, picture.memory)) {
      f.batch = false;
      result = false;
    }
  }
  // The sound is judged while its window is still there.
  if (id == 5 || id == 9) JudgePlayback();
  EndBatch(&picture);
  if (id == 5 && run && !EndDirectDrawBatch()) result = false;
  if (id == 9) EndDirect3DBatch();
  if (stepsDone) *stepsDone = steps;
  return result;
}

void BetweenDeviceLooks() {
  PumpMessages();
  // A short pause that any input ends: the device gets its time, the user
  // is answered at once.
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
}

bool BatchEnding() { return !Run().batch || Run().stop || Closing(); }

void DeviceTimeoutLine(const wchar_t* api, const std::wstring& device, const wchar_t* what, unsigned ms) {
  wchar_t buf[300];
  _snwprintf(buf, 299, Text(IDS_GFX_DEVICE_TIMEOUT).c_str(), api, device.c_str(), what, ms);
  buf[299] = 0;
  AddLine(appkit::Narrow(buf));
}

std::wstring DisplayDevice() {
  DISPLAY_DEVICEW d = {};
  d.cb = sizeof(d);
  std::wstring name;
  for (DWORD i = 0; ::EnumDisplayDevicesW(nullptr, i, &d, 0); ++i, d.cb = sizeof(d)) {
    if (name.empty() || (d.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE)) name = d.DeviceString;
    if (d.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) break;
  }
  return name.empty() ? L"the display device" : L"the display device \"" + name + L"\"";
}

namespace {

// ---- The page ---------------------------------------------------------------------------

class CTestTest : public ctlfw::TestPage {
 public:
  explicit CTestTest(CGraphicsRunner& runner) : ctlfw::TestPage(runner, IDD_GRAPHICS_TEST_PAGE), gr_(runner) {}

 protected:
  UINT TestIconId() const override { return IDI_GRAPHICS; }
  std::wstring Description() const override { return {}; }
  std::vector<std::string> TestNames() const override {
    if (gr_.Options().bench) return {};
    return RowTexts(IDS_GFX_ITEM_DSOUND, 11);
  }
  ctlfw::PageItems Items() const override {
    ctlfw::PageItems items;
    items.checkList = IDC_GFX_TESTS;
    items.includes = IDC_GFX_INCLUDES;
    items.icon = IDC_GFX_ICON;
    return items;
  }
  ctlfw::RunEnd RunEndRule() const override {
    ctlfw::RunEnd end;
    if (gr_.Options().bench) {
      end.summary = ctlfw::RunEnd::Summary::ErrorsOnly;
      end.logWithoutTips = true;
      end.doneAfterAbort = gr_.Options().check;
    } else {
      end.summary = ctlfw::RunEnd::Summary::BlankThenVerdict;
      end.tipsAnchor = "graph";
      end.tipsHeadingAlways = true;
      end.verdictNearTopAlways = true;
    }
    return end;
  }
  std::vector<long> FillItemData(std::vector<int>* flags) const override { return gfxtest::FillItemData(flags); }
  int CanCheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const override {
    return gfxtest::CanCheckTest(index, flags, data);
  }
  int CanUncheckTest(int index, std::vector<int>* flags, std::vector<long>* data) const override {
    return gfxtest::CanUncheckTest(index, flags, data);
  }

  BOOL OnInit() override {
    BOOL r = ctlfw::TestPage::OnInit();
    if (!appkit::IsWindows9x() || gr_.Options().autoRun) EnableItem(IDC_GFX_VIDEO_MEMORY, false);
    if (!appkit::IsWindows9x()) ShowItem(IDC_GFX_VIDEO_MEMORY, false);
    srand((unsigned)time(nullptr));
    SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, 12);
    if (gr_.Options().bench) SetItemText(IDC_GFX_HINT, Text(IDS_GFX_BENCH_TITLE));
    RunFlags& f = Run();
    f.aborted = false;
    f.current.width = ::GetSystemMetrics(SM_CXSCREEN);
    f.current.height = ::GetSystemMetrics(SM_CYSCREEN);
    HDC dc = ::GetDC(hwnd());
    f.current.bits = dc ? ::GetDeviceCaps(dc, BITSPIXEL) * ::GetDeviceCaps(dc, PLANES) : 0;
    if (dc) ::ReleaseDC(hwnd(), dc);
    f.saved = f.current;
    return r;
  }

  BOOL OnSetActive() override {
    Run().resultsList = Item(IDC_TEST_RESULTS);
    return ctlfw::TestPage::OnSetActive();
  }

  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    if (msg == WM_DISPLAYCHANGE) {
      Run().current = DisplayMode{LOWORD(lp), HIWORD(lp), (int)wp};
      return false;
    }
    return ctlfw::TestPage::OnMessage(msg, wp, lp, result);
  }

  bool OnCommand(int id, int code, HWND ctl) override {
    if (id == IDC_GFX_VIDEO_MEMORY && code == BN_CLICKED) {
      RunVideoMemoryTest();
      return true;
    }
    return ctlfw::TestPage::OnCommand(id, code, ctl);
  }

  void StopRunning() override {
    RunFlags& f = Run();
    f.stop = true;
    f.aborted = true;
    f.batch = false;
    ctlfw::TheRunState().abortFlag = 1;
  }

  void StartWorkers() override {
    BeginRunOnPageThread();
    RunFlags& f = Run();
    f.resultsList = Item(IDC_TEST_RESULTS);
    f.stop = false;
    f.aborted = false;
    f.errorCount = 0;
    f.directSoundResult = -1;
    g_hostQuit = g_wmQuit = false;
    SetItemText(IDC_TEST_STARTSTOP, Text(IDS_GFX_STOP));
    if (gr_.Options().bench)
      RunBenchmarkSeries(hwnd(), gr_);
    else
      RunTests();
    // A quit the pump took is the host's: it gets it back now.
    if (g_hostQuit) ::PostThreadMessageW(::GetCurrentThreadId(), ::RegisterWindowMessageW(L"kyt_diag_msg"), 2, 0);
    if (g_wmQuit) ::PostQuitMessage(g_wmQuitCode);
  }

  void KeepChoices() override {
    RunFlags& f = Run();
    if (f.player) {
      if (f.player->Ready()) f.player->StopSound(0);
      delete f.player;
      f.player = nullptr;
    }
    SetClosing(true);
    f.stop = true;
    f.batch = false;
  }

 private:
  void Result(UINT label, UINT verdict, bool error) {
    if (error) ++Run().errorCount;
    ++resultLines_;
    AddLine(TextA(label) + TextA(verdict));
  }
  void Verdict(UINT label, bool passed) { Result(label, passed ? IDS_GFX_PASSED : IDS_GFX_FAILED, !passed); }
  // A batch's line: it passed only when it made a step and none failed.
  void Judge(UINT label, bool ok, int steps) {
    gfxtest::Verdict v = gfxtest::BatchVerdict(ok, steps);
    Result(label, v == gfxtest::Verdict::Passed ? IDS_GFX_PASSED
                  : v == gfxtest::Verdict::Failed ? IDS_GFX_FAILED
                                                  : IDS_GFX_NOT_TESTED,
           gfxtest::IsError(v));
  }
  // Runs `count` steps of test `id` and writes its line.
  void Batch(UINT label, int id, int count) {
    int steps = 0;
    bool ok = RunGraphicsTests(id, count, &steps);
    Judge(label, ok, steps);
  }
  void Progress(int pos) { SendItem(IDC_TEST_PROGRESS, PBM_SETPOS, (WPARAM)pos); }
  bool Ends() const { return Closing() || Run().stop; }

  void RunTests();
  void RunVideoMemoryTest();
  void EndOfRun();

  CGraphicsRunner& gr_;
  int resultLines_ = 0;
};

void CTestTest::RunTests() {
  RunFlags& f = Run();
  resultLines_ = 0;
  // The DirectX libraries, bound once per process, when a DirectX test is chosen.
  if (Count("DirectDrawEnable") || Count("Direct3DEnable") || Count("DirectSoundEnable")) LoadDirectXLibraries();
  const DirectX& dx = Dx();
  Progress(0);
  f.commonWindow = ::CreateWindowExW(0, kCommonClass, Text(IDS_GFX_LOG_TITLE).c_str(),
                                     WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, Count("DisplayX"), Count("DisplayY"),
                                     Count("DisplayWidth"), Count("DisplayHeight"), hwnd(), nullptr, Instance(), nullptr);
  bool ended = false;
  for (int pass = 0; pass < Count("Loop") && !f.stop && !ended; ++pass) {
    const int linesBefore = resultLines_;
    auto next = [&] { return !(ended = ended || Ends()); };
    if (Count("Direct3DEnable") && next()) {
      if (!dx.d3dMissing && f.current.bits >= 8) {
        Batch(IDS_GFX_LABEL_D3D, 9, Count("Direct3D"));
        Progress(1);
        if (f.d3dErrorCode != 0) {
          wchar_t buf[64];
          _snwprintf(buf, 63, Text(IDS_GFX_D3D_ERROR).c_str(), f.d3dErrorCode);
          buf[63] = 0;
          AddLine(appkit::Narrow(buf));
        }
      } else {
        Result(IDS_GFX_LABEL_D3D, dx.d3dMissing ? IDS_GFX_NA : IDS_GFX_NEED_256, true);
      }
    }
    if (Count("DirectDrawEnable") && next()) {
      if (IsDirectDrawBound() && !dx.ddrawMissing && f.current.bits >= 8) {
        Batch(IDS_GFX_LABEL_DDRAW, 5, Count("DirectDraw"));
        Progress(4);
      } else {
        Result(IDS_GFX_LABEL_DDRAW, IsDirectDrawBound() && !dx.ddrawMissing ? IDS_GFX_NEED_256 : IDS_GFX_NA, true);
      }
    }
    if (Count("DirectSoundEnable") && !gr_.Options().coverage && next()) {
      if (dx.dsoundMissing)
        Result(IDS_GFX_LABEL_DSOUND, IDS_GFX_NA, true);
      else if (f.directSoundResult == -1)
        Result(IDS_GFX_LABEL_DSOUND, IDS_GFX_NOT_TESTED, true);
      else
        Verdict(IDS_GFX_LABEL_DSOUND, f.directSoundResult == 0);
    }
    struct Gdi {
      const char* enable;
      int id;
      const char* count;
      UINT label;
      int progress;
    };
    static const Gdi kGdi[] = {
        {"BitmapStretchingEnable", 0, "BitmapStretch", IDS_GFX_LABEL_STRETCH, 5},
        {"BitmapDrawingEnable", 6, "BitmapDraw", IDS_GFX_LABEL_BITBLT, 6},
        {"FloodFilledDrawingEnable", 1, "FloodFill", IDS_GFX_LABEL_FLOOD, 7},
        {"PixelDrawingEnable", 7, "PixelDraw", IDS_GFX_LABEL_PIXEL, 8},
        {"LineDrawingEnable", 2, "LineDraw", IDS_GFX_LABEL_LINE, 9},
        {"FilledShapeDrawingEnable", 4, "EllipseRect", IDS_GFX_LABEL_SHAPE, 10},
        {"BitmapScrollingEnable", 8, "BitmapScroll", IDS_GFX_LABEL_SCROLL, 11},
        {"StringDrawingEnable", 3, "ChangeFont", IDS_GFX_LABEL_STRING, 12},
    };
    for (const Gdi& t : kGdi) {
      if (!Count(t.enable) || !next()) continue;
      if (t.id == 1) {
        g_frameBrush = ::CreateSolidBrush(PALETTERGB(0, 0, 0));
        if (g_frameBrush)
          Batch(t.label, 1, Count(t.count));
        else
          Verdict(t.label, false);
        if (g_frameBrush) ::DeleteObject(g_frameBrush);
        g_frameBrush = nullptr;
      } else if (t.id == 3) {
        if (!CreateTestFonts()) {
          Line(IDS_GFX_NO_FONTS);
          Verdict(t.label, false);
        } else {
          Batch(t.label, 3, Count(t.count));
        }
        DeleteTestFonts();
      } else {
        Batch(t.label, t.id, Count(t.count));
      }
      Progress(t.progress);
    }
    if (!ended) ended = Ends();
    // A pass without a test (none chosen) is not repeated: a huge "Loop"
    // would only keep the page from seeing Stop.
    if (resultLines_ == linesBefore) break;
  }
  if (!ended && !f.stop) {
    Progress(0);
    ctlfw::ScrollRunResultsToEnd();
  }
  EndOfRun();
}

void CTestTest::EndOfRun() {
  RunFlags& f = Run();
  // A run that gave no result line ("Loop" of 0 or less) tested nothing: it
  // does not end as a run without errors.
  if (gfxtest::NothingTested(resultLines_, f.stop || Closing())) {
    Line(IDS_GFX_NOTHING_TESTED);
    ++f.errorCount;
  }
  MSG msg;
  while (::PeekMessageW(&msg, hwnd(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  if (f.stop || Closing()) {
    AddLine(" ");
    Line(IDS_GFX_ABORTS);
  }
  Progress(0);
  if (f.commonWindow && ::IsWindow(f.commonWindow)) ::DestroyWindow(f.commonWindow);
  f.commonWindow = nullptr;
  ctlfw::RunState& s = ctlfw::TheRunState();
  s.errorCount = f.errorCount;
  s.abortFlag = f.aborted ? 1 : 0;
  ctlfw::EndWorker(false);
}

void CTestTest::RunVideoMemoryTest() {
  if (Run().batch) {
    gr_.RunnerMessageBox(IDS_GFX_BUSY, MB_OK);
    return;
  }
  HWND list = Item(IDC_TEST_RESULTS);
  Run().resultsList = list;
  if (!gr_.Options().bench) {
    Check(IDC_TEST_SHOWOPTIONS, false);
    ShowItem(IDC_GFX_TESTS, false);
    ShowItem(IDC_GFX_INCLUDES, false);
    ShowItem(IDC_TEST_RESULTS, true);
    ShowItem(IDC_TEST_PROGRESS, true);
  }
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  std::wstring dir = OwnDirectory(), ini = dir + L"Brantel.ini";
  ::DeleteFileW(ini.c_str());
  if (!appkit::FileExists(dir + L"Brantel.pif") || !appkit::FileExists(dir + L"Brantel.exe")) {
    Line(IDS_GFX_FILE_MISSING);
    return;
  }
  std::wstring cmd = L"\"" + dir + L"Brantel.pif\"";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    Line(IDS_GFX_VIDEO_NO_PROCESS);
  } else {
    ::WaitForInputIdle(pi.hProcess, 10000);
    DWORD start = ::GetTickCount();
    HANDLE h = INVALID_HANDLE_VALUE;
    while ((h = ::CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) ==
               INVALID_HANDLE_VALUE &&
           ::GetTickCount() - start < 10000)
      ::Sleep(10);
    if (h == INVALID_HANDLE_VALUE) {
      Line(IDS_GFX_VIDEO_FAILED);
    } else {
      std::vector<uint8_t> words(100);
      DWORD got = 0;
      ::ReadFile(h, words.data(), 100, &got, nullptr);
      words.resize(got);
      ::CloseHandle(h);
      std::string line = gfxtest::VideoMemoryLine(words);
      if (!line.empty()) AddLine(line);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  ::DeleteFileW(ini.c_str());
}

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakeGraphicsTestPage(CGraphicsRunner& runner) {
  return std::make_unique<CTestTest>(runner);
}

LRESULT CALLBACK CommonWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  RunFlags& f = Run();
  switch (msg) {
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        f.stop = true;
        f.batch = false;
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
      }
      break;
    case WM_CHAR:
      f.batch = false;
      if (f.benchmark) f.stop = f.aborted = true;
      break;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_CLOSE) f.stop = true;
      break;
    case WM_DESTROY:
      if (f.batch) {
        f.stop = true;
        f.batch = false;
      }
      if (f.commonWindow == hwnd) f.commonWindow = nullptr;
      break;
    case WM_SIZING: {
      RECT* r = reinterpret_cast<RECT*>(lp);
      if (r->right - r->left < 100) r->right = r->left + 100;
      if (r->bottom - r->top < 100) r->bottom = r->top + 100;
      break;
    }
    case WM_SIZE:
      if (f.currentTestId == 1) {
        ::InvalidateRect(hwnd, nullptr, TRUE);
        ::UpdateWindow(hwnd);
      }
      break;
    case WM_SETCURSOR:
      ::SetCursor(nullptr);
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace graphics
