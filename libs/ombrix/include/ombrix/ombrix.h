// Ombrix, the suite's utility library: opens help and web pages for its
// caller (the suite's help viewer, else the default browser, else a plain
// "help.txt" in Notepad), reports free disk space and draws bitmaps.
// Exported by ordinal (ombrix.def) with the standard calling convention;
// strings are ANSI.
#pragma once
#include <windows.h>

#ifdef OMBRIX_BUILD
// Exported through ombrix.def only, so that the 32-bit build carries no
// decorated names beside the four.
#define OMBRIX_API extern "C"
#else
#define OMBRIX_API extern "C" __declspec(dllimport)
#endif

// Ordinal 1: opens a help page; falls back to "help.txt" beside the page.
// Nonzero when a program was started.
OMBRIX_API int WINAPI CallBrowser(LPCSTR page);
// Ordinal 2: opens a page or a web address, without the "help.txt" fallback.
OMBRIX_API int WINAPI CallBrowser2(LPCSTR page);
// Ordinal 3: free and total bytes of a drive; `extended` (may be null) is set
// to 1 when the 64-bit query served, 0 for the old one. 1 on success.
OMBRIX_API int WINAPI GetFreeDiskSpace(LPCSTR root, double* freeBytes, double* totalBytes, int* extended);
// Ordinal 4: copies width x height of `bitmap` from its origin to (x, y) of
// `dc`. The first argument is not used.
OMBRIX_API BOOL WINAPI DrawBitmap(void* unused, HDC dc, HBITMAP bitmap, int x, int y, int width, int height);

// Signatures for callers that bind by name at run time.
typedef int(WINAPI* CallBrowserFn)(LPCSTR);
typedef int(WINAPI* GetFreeDiskSpaceFn)(LPCSTR, double*, double*, int*);
typedef BOOL(WINAPI* DrawBitmapFn)(void*, HDC, HBITMAP, int, int, int, int);
