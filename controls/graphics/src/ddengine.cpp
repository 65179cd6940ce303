// The DirectDraw test: fifteen sprites over a 640 x 480 backdrop, either in
// an exclusive 640 x 480 x 8 mode with page flipping (interactive runs) or in
// a window with an off-screen back buffer blitted to it.
#include <ddraw.h>

#include <cstdarg>
#include <cstdlib>
#include <functional>
#include <memory>

#include "appkit/text.h"
#include "gfxtest/files.h"
#include "gfxtest/ids.h"
#include "gfxtest/rules.h"
#include "gfxtest/sprites.h"
#include "graphics.h"
#include "testpage.h"

namespace graphics {

namespace {

typedef HRESULT(WINAPI* DirectDrawCreateFn)(GUID*, LPDIRECTDRAW*, IUnknown*);
typedef HRESULT(WINAPI* DirectDrawCreateClipperFn)(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*);

// How long a blit or a flip of one 640 x 480 frame may keep the display
// device busy (or its surfaces lost) before the frame fails: a frame takes a
// few refresh periods at most.
constexpr unsigned kDisplayBoundMs = 2000;

struct SpriteImage {
  int width = 0, height = 0;
  LPDIRECTDRAWSURFACE surface = nullptr;
};

struct Engine {
  LPDIRECTDRAW object = nullptr;
  LPDIRECTDRAWSURFACE primary = nullptr, back = nullptr;
  LPDIRECTDRAWPALETTE palette = nullptr;
  LPDIRECTDRAWCLIPPER clipper = nullptr;
  std::unique_ptr<gfxtest::SpriteSet> sprites;
  SpriteImage image;
  RECT client = {};
  // A wait of this frame was stopped (the frame is left unfinished, the
  // batch ends) or timed out (the frame failed): its other calls are not made.
  enum class Frame { Going, Stopped, TimedOut } frame = Frame::Going;
};
Engine g;

template <class T>
void ReleaseAndClear(T** p) {
  if (*p) (*p)->Release();
  *p = nullptr;
}

void EngineTrace(UINT id, ...) {
  std::wstring format = Text(id);
  if (format.empty() || !Run().resultsList) return;
  wchar_t buf[260];
  va_list args;
  va_start(args, id);
  _vsnwprintf(buf, 259, format.c_str(), args);
  va_end(args);
  buf[259] = 0;
  ::SendMessageW(Run().resultsList, LB_ADDSTRING, 0, (LPARAM)buf);
}

LPDIRECTDRAW CreateDirectDrawObject(int width, int height, int bits, DWORD required) {
  auto create = reinterpret_cast<DirectDrawCreateFn>(Dx().directDrawCreate);
  if (!create) return nullptr;
  LPDIRECTDRAW dd = nullptr;
  if (FAILED(create(nullptr, &dd, nullptr)) || !dd) {
    EngineTrace(123);
    return nullptr;
  }
  g.object = dd;  // the caller stops the engine with it
  DWORD level = FullScreen() ? (DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_EXCLUSIVE)
                             : DDSCL_NORMAL;
  if (FAILED(dd->SetCooperativeLevel(Run().ddWindow, level))) {
    EngineTrace(122);
    return nullptr;
  }
  if (FullScreen()) dd->SetDisplayMode(width, height, bits);
  DDCAPS driver = {}, emulation = {};
  driver.dwSize = emulation.dwSize = sizeof(DDCAPS);
  HRESULT hr = dd->GetCaps(&driver, &emulation);
  if (FAILED(hr)) {
    EngineTrace(116);
    EngineTrace(hr == E_INVALIDARG ? 118 : hr == DDERR_INVALIDOBJECT ? 117 : hr == DDERR_NODIRECTDRAWSUPPORT ? 119 : 120);
    return nullptr;
  }
  if (driver.dwVidMemFree < required) {
    EngineTrace(115, (long)required);
    return nullptr;
  }
  return dd;
}

LPDIRECTDRAWSURFACE CreatePlainSurface(LPDIRECTDRAW dd, int w, int h, bool systemMemory, UINT failText) {
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (systemMemory ? DDSCAPS_SYSTEMMEMORY : 0);
  desc.dwWidth = w;
  desc.dwHeight = h;
  LPDIRECTDRAWSURFACE s = nullptr;
  HRESULT hr = dd->CreateSurface(&desc, &s, nullptr);
  if (FAILED(hr) || !s) {
    EngineTrace(failText, (long)(hr & 0xFFFF));
    return nullptr;
  }
  return s;
}

LPDIRECTDRAWSURFACE CreateKeyedSurface(LPDIRECTDRAW dd, int w, int h, DWORD low, DWORD high) {
  LPDIRECTDRAWSURFACE s = CreatePlainSurface(dd, w, h, false, 131);
  if (!s) return nullptr;
  DDCOLORKEY key = {low, high};
  s->SetColorKey(DDCKEY_SRCBLT, &key);
  return s;
}

bool CreateFlipSurfaces(LPDIRECTDRAW dd, int count) {
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof(desc);
  if (FullScreen()) {
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = count;
  } else {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  }
  HRESULT hr = dd->CreateSurface(&desc, &g.primary, nullptr);
  if (FAILED(hr) || !g.primary) {
    g.primary = nullptr;
    EngineTrace(125, (unsigned long)hr);
    return false;
  }
  if (FullScreen()) {
    DDSCAPS caps = {DDSCAPS_BACKBUFFER};
    hr = g.primary->GetAttachedSurface(&caps, &g.back);
    if (FAILED(hr)) {
      g.back = nullptr;
      EngineTrace(126, (unsigned long)hr);
      return false;
    }
  } else {
    g.back = CreatePlainSurface(dd, 640, 480, false, 124);
  }
  if (!g.back) {
    EngineTrace(127);
    return false;
  }
  if (FullScreen()) return true;
  auto createClipper = reinterpret_cast<DirectDrawCreateClipperFn>(Dx().directDrawCreateClipper);
  if (FAILED(dd->CreateClipper(0, &g.clipper, nullptr)) || !g.clipper) {
    g.clipper = nullptr;
    if (!createClipper || FAILED(createClipper(0, &g.clipper, nullptr)) || !g.clipper) {
      g.clipper = nullptr;
      EngineTrace(128);
      return false;
    }
  }
  if (FAILED(g.clipper->SetHWnd(0, Run().ddWindow))) {
    EngineTrace(129);
    return false;
  }
  if (FAILED(g.primary->SetClipper(g.clipper))) {
    EngineTrace(130);
    return false;
  }
  return true;
}

LPDIRECTDRAWSURFACE LoadBitmapSurface(LPDIRECTDRAW dd, const std::wstring& path, int* w, int* h, DWORD low,
                                      DWORD high) {
  std::vector<uint8_t> file;
  gfxtest::Dib dib;
  if (!gfxtest::ReadWholeFile(path, 64u << 20, &file) || !gfxtest::ParsePaletteBitmap(file, &dib)) return nullptr;
  *w = dib.width;
  *h = dib.height;
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i) {
    const uint8_t* q = dib.info.data() + 40 + 4 * i;
    entries[i] = PALETTEENTRY{q[2], q[1], q[0], 0};
  }
  if (FAILED(dd->CreatePalette(DDPCAPS_8BIT, entries, &g.palette, nullptr)) || !g.palette) {
    g.palette = nullptr;
    return nullptr;
  }
  // The primary takes the picture's palette where the mode has one.
  LPDIRECTDRAWPALETTE old = nullptr;
  if (SUCCEEDED(g.primary->GetPalette(&old)) && old) old->Release();
  g.primary->SetPalette(g.palette);
  LPDIRECTDRAWSURFACE s = CreateKeyedSurface(dd, dib.width, dib.height, low, high);
  if (!s) return nullptr;
  HDC dc = nullptr;
  if (SUCCEEDED(s->GetDC(&dc))) {
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, 0, 0, dib.width, dib.height, 0, 0, dib.width, dib.height, dib.bits.data(),
                    reinterpret_cast<BITMAPINFO*>(dib.info.data()), DIB_RGB_COLORS, SRCCOPY);
    s->ReleaseDC(dc);
  }
  return s;
}

// A call on the display device, made without DirectDraw's own unbounded
// waiting: while the device is busy (or a surface was lost and is restored)
// it is tried again, within a bound, with the queue drained between tries.
bool OnDisplay(LPDIRECTDRAWSURFACE s, const wchar_t* what, const std::function<HRESULT()>& call) {
  if (g.frame != Engine::Frame::Going) return g.frame == Engine::Frame::Stopped;
  gfxtest::DeviceWait w;
  w.attempt = [&] {
    HRESULT hr = call();
    if (SUCCEEDED(hr)) return gfxtest::Poll::Done;
    if (hr == DDERR_SURFACELOST) return gfxtest::Poll::Lost;
    if (hr == DDERR_WASSTILLDRAWING) return gfxtest::Poll::Busy;
    return gfxtest::Poll::Error;
  };
  w.restore = [&] {
    if (g.primary) g.primary->Restore();
    if (s && s != g.primary) s->Restore();
  };
  w.between = &BetweenDeviceLooks;
  w.stopRequested = &BatchEnding;
  w.nowMs = [] { return (unsigned)::GetTickCount(); };
  w.boundMs = kDisplayBoundMs;
  switch (gfxtest::WaitForDevice(w)) {
    case gfxtest::WaitEnd::Done:
      return true;
    case gfxtest::WaitEnd::Error:
      return false;
    case gfxtest::WaitEnd::Stopped:
      g.frame = Engine::Frame::Stopped;
      return true;
    case gfxtest::WaitEnd::TimedOut:
      g.frame = Engine::Frame::TimedOut;
      DeviceTimeoutLine(L"DirectDraw", DisplayDevice(), what, kDisplayBoundMs);
      return false;
  }
  return false;
}

bool FillSurface(LPDIRECTDRAWSURFACE s, DWORD colour) {
  DDBLTFX fx = {};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = colour;
  return OnDisplay(s, L"complete a fill", [&] { return s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx); });
}

bool BlitSpriteFrame(const gfxtest::Blit& b) {
  RECT source = {b.left, b.top, b.right, b.bottom};
  return OnDisplay(g.image.surface, L"complete a blit", [&] {
    return g.back->BltFast(b.x, b.y, g.image.surface, &source, DDBLTFAST_SRCCOLORKEY);
  });
}

void DrawCaptions() {
  HDC dc = nullptr;
  if (FAILED(g.back->GetDC(&dc))) return;
  DrawTestCaptions(dc, 16, 16, 0x00E0E0, RECT{0, 48, 640, 480}, IDS_GFX_DD_CAPTION, RECT{0, 400, 640, 480});
  g.back->ReleaseDC(dc);
}

bool PresentToWindow() {
  RECT source = {0, 0, 640, 480};
  RECT target = g.client;
  if (target.right <= target.left || target.bottom <= target.top) return true;  // nothing to show into
  return OnDisplay(g.primary, L"complete a blit", [&] { return g.primary->Blt(&target, g.back, &source, 0, nullptr); });
}

}  // namespace

void DrawTestCaptions(HDC dc, int fontHeight, int fontWidth, COLORREF colour, const RECT& titleRect, UINT titleId,
                      const RECT& keyRect) {
  HBRUSH brush = ::CreateSolidBrush(0x0000FF);
  if (!brush) ::OutputDebugStringA("can't create brush\n");
  HGDIOBJ oldBrush = brush ? ::SelectObject(dc, brush) : nullptr;
  HFONT font = ::CreateFontW(fontHeight, fontWidth, 0, 0, FW_DONTCARE, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             VARIABLE_PITCH | FF_SWISS, nullptr);
  HGDIOBJ oldFont = font ? ::SelectObject(dc, font) : nullptr;
  COLORREF oldColour = ::SetTextColor(dc, colour);
  int oldMode = ::SetBkMode(dc, TRANSPARENT);
  std::wstring title = Text(titleId), press = Text(IDS_GFX_PRESS_KEY);
  RECT r1 = titleRect, r2 = keyRect;
  ::DrawTextW(dc, title.c_str(), -1, &r1, DT_CENTER | DT_NOCLIP);
  ::DrawTextW(dc, press.c_str(), -1, &r2, DT_CENTER | DT_NOCLIP);
  ::SetBkMode(dc, oldMode);
  ::SetTextColor(dc, oldColour);
  if (oldFont) ::SelectObject(dc, oldFont);
  if (oldBrush) ::SelectObject(dc, oldBrush);
  if (font) ::DeleteObject(font);
  if (brush) ::DeleteObject(brush);
}

bool DirectDrawEngineStart(const std::wstring& path) {
  DirectDrawEngineStop();
  Run().ddEngineActive = false;
  int w = FullScreen() ? 640 : ::GetSystemMetrics(SM_CXSCREEN);
  int h = FullScreen() ? 480 : ::GetSystemMetrics(SM_CYSCREEN);
  LPDIRECTDRAW dd = CreateDirectDrawObject(w, h, 8, 0);
  if (!dd) return false;
  if (!CreateFlipSurfaces(dd, 1)) return false;
  int iw = 0, ih = 0;
  g.image.surface = LoadBitmapSurface(dd, path, &iw, &ih, 0, 0);
  if (!g.image.surface) return false;
  g.image.width = iw;
  g.image.height = ih;
  g.sprites = std::make_unique<gfxtest::SpriteSet>(22);
  g.sprites->PlaceSprites([] { return rand(); });
  g.sprites->PlaceBackdrop();
  return true;
}

bool DirectDrawEngineFrame() {
  if (!g.sprites || !g.back) return true;
  g.frame = Engine::Frame::Going;
  for (int id = 6; id <= 20; ++id) g.sprites->MoveSprite(id);
  bool ok = FillSurface(g.back, 0);
  auto blit = [](const gfxtest::Blit& b) { return BlitSpriteFrame(b); };
  ok = g.sprites->DrawSprite(1, blit) && ok;
  for (int id = 6; id <= 20; ++id) ok = g.sprites->DrawSprite(id, blit) && ok;
  if (FullScreen()) {
    DrawCaptions();
    ok = OnDisplay(g.primary, L"complete a flip", [] { return g.primary->Flip(nullptr, 0); }) && ok;
  } else {
    ok = PresentToWindow() && ok;
  }
  return ok;
}

bool DirectDrawEngineHasObject() { return g.object != nullptr; }

void DirectDrawEngineStop() {
  ReleaseAndClear(&g.clipper);
  ReleaseAndClear(&g.image.surface);
  ReleaseAndClear(&g.palette);
  ReleaseAndClear(&g.back);
  ReleaseAndClear(&g.primary);
  if (g.object) {
    if (FullScreen()) g.object->RestoreDisplayMode();
    ReleaseAndClear(&g.object);
  }
  g.sprites.reset();
}

LRESULT CALLBACK DDrawWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
    case WM_MOVE:
    case WM_SIZE:
      ::GetClientRect(hwnd, &g.client);
      ::MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&g.client), 2);
      break;
    case WM_DESTROY:
      if (Run().ddWindow == hwnd) Run().ddWindow = nullptr;
      break;
    case WM_SETCURSOR:
      ::SetCursor(nullptr);
      return TRUE;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
      break;
    case WM_CHAR:
      Run().batch = false;
      break;
    case WM_QUERYNEWPALETTE:
      if (!FullScreen() && g.object && g.primary && g.palette) {
        HRESULT hr = g.primary->SetPalette(g.palette);
        if (hr == DDERR_SURFACELOST) {
          g.primary->Restore();
          if (g.primary->SetPalette(g.palette) == DDERR_SURFACELOST)
            ::OutputDebugStringA("  Failed to restore palette after second try");
        }
      }
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace graphics
