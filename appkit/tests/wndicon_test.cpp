// A window's icons: both sizes set from one icon resource; while minimised
// the icon painted after its background is erased, and given as the drag
// icon; a window shown normally paints as usual.
#include <gtest/gtest.h>

#include "appkit/wndicon.h"

namespace {

HICON g_icon = nullptr;
int g_erased = 0;

LRESULT CALLBACK IconWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ICONERASEBKGND) ++g_erased;
  LRESULT result = 0;
  if (appkit::HandleMinimisedIcon(hwnd, g_icon, msg, &result)) return result;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

TEST(WindowIcons, BothSizesSetAndTheIconPaintedOnlyWhileMinimised) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = IconWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"MinimisedIconTest";
  ::RegisterClassW(&wc);
  HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"Icon", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 150, nullptr,
                             nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  g_icon = ::LoadIconW(nullptr, IDI_APPLICATION);
  // No icon resource: nothing is set.
  EXPECT_EQ(appkit::SetWindowIcons(w, wc.hInstance, 4321), nullptr);
  EXPECT_EQ(::SendMessageW(w, WM_GETICON, ICON_BIG, 0), 0);
  // An icon resource (the system's application icon, 32512): both sizes.
  HICON big = appkit::SetWindowIcons(w, ::GetModuleHandleW(L"user32.dll"), 32512);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(w, WM_GETICON, ICON_BIG, 0)), big);
  EXPECT_NE(::SendMessageW(w, WM_GETICON, ICON_SMALL, 0), 0);

  for (bool minimised : {false, true}) {
    ::ShowWindow(w, minimised ? SW_MINIMIZE : SW_RESTORE);
    ASSERT_EQ(::IsIconic(w) != FALSE, minimised);
    g_erased = 0;
    ::InvalidateRect(w, nullptr, TRUE);
    ::SendMessageW(w, WM_PAINT, 0, 0);
    EXPECT_EQ(g_erased, minimised ? 1 : 0) << minimised;
    EXPECT_FALSE(::GetUpdateRect(w, nullptr, FALSE)) << minimised;
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(w, WM_QUERYDRAGICON, 0, 0)), g_icon) << minimised;
  }
  ::DestroyWindow(w);
}
