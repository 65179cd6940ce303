// The exports of Ombrix. Every failure is reported only by the result 0.
#include "ombrix/ombrix.h"

#include "appkit/text.h"
#include "helpfile.h"

namespace {

std::wstring Arg(LPCSTR s) { return s ? appkit::Widen(s) : std::wstring(); }

typedef BOOL(WINAPI* DiskFreeExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

int WINAPI CallBrowser(LPCSTR page) {
  if (!page) return 0;
  return ombrix::LaunchHelpFile(Arg(page), true);
}

int WINAPI CallBrowser2(LPCSTR page) {
  if (!page) return 0;
  return ombrix::LaunchHelpFile(Arg(page), false);
}

int WINAPI GetFreeDiskSpace(LPCSTR root, double* freeBytes, double* totalBytes, int* extended) {
  if (!freeBytes || !totalBytes) return 0;
  HMODULE kernel = ::GetModuleHandleW(L"KERNEL32.DLL");
  auto freeEx = kernel ? reinterpret_cast<DiskFreeExFn>(
                             reinterpret_cast<void*>(::GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                       : nullptr;
  if (freeEx) {
    if (extended) *extended = 1;
    ULARGE_INTEGER avail{}, total{}, totalFree{};
    if (!freeEx(root, &avail, &total, &totalFree)) return 0;
    *freeBytes = ombrix::LargeBytes(totalFree.LowPart, totalFree.HighPart);
    *totalBytes = ombrix::LargeBytes(total.LowPart, total.HighPart);
    return 1;
  }
  if (extended) *extended = 0;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!::GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return 0;
  *freeBytes = ombrix::DiskBytes(bytesPerSector, sectorsPerCluster, freeClusters);
  *totalBytes = ombrix::DiskBytes(bytesPerSector, sectorsPerCluster, totalClusters);
  return 1;
}

BOOL WINAPI DrawBitmap(void*, HDC dc, HBITMAP bitmap, int x, int y, int width, int height) {
  if (!bitmap) return FALSE;
  HDC mem = ::CreateCompatibleDC(dc);
  if (!mem) return FALSE;
  HGDIOBJ old = ::SelectObject(mem, bitmap);
  if (!old || old == HGDI_ERROR) {
    ::DeleteDC(mem);
    return FALSE;
  }
  ::BitBlt(dc, x, y, width, height, mem, 0, 0, SRCCOPY);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  return TRUE;
}
