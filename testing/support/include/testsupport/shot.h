// A picture of a window as the screen shows it, written as a BMP file when
// the run asks for pictures (HALVIX_SHOT_DIR names a folder).
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace mediatest {

inline bool SaveWindowShot(HWND window, const wchar_t* name) {
  const char* dir = std::getenv("HALVIX_SHOT_DIR");
  if (!dir || !*dir || !window) return false;
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASE);
  // A window of another program paints on its own thread.
  for (int i = 0; i < 10; ++i) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(100);
  }
  RECT r{};
  ::GetWindowRect(window, &r);
  int cx = r.right - r.left, cy = r.bottom - r.top;
  if (cx <= 0 || cy <= 0) return false;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, cx, cy);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(mem, old);
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof(bi);
  bi.biWidth = cx;
  bi.biHeight = cy;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  size_t stride = ((size_t)cx * 3 + 3) & ~(size_t)3;
  std::vector<char> pixels(stride * (size_t)cy);
  ::GetDIBits(mem, bmp, 0, (UINT)cy, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER fh{0x4D42, (DWORD)(sizeof(fh) + sizeof(bi) + pixels.size()), 0, 0, (DWORD)(sizeof(fh) + sizeof(bi))};
  std::string path = std::string(dir) + "\\";
  std::wstring file = std::wstring(path.begin(), path.end()) + name;
  HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  ::WriteFile(h, &fh, sizeof(fh), &n, nullptr);
  ::WriteFile(h, &bi, sizeof(bi), &n, nullptr);
  ::WriteFile(h, pixels.data(), (DWORD)pixels.size(), &n, nullptr);
  ::CloseHandle(h);
  return true;
}

}  // namespace mediatest
