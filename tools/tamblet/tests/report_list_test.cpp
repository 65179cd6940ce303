// The report list on a live list box: Ctrl+C copies the selected lines,
// typing does not move the selection, selected rows are white on navy.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "report_list.h"

using namespace tamblet;

namespace {

struct Parent {
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if ((m == WM_MEASUREITEM || m == WM_DRAWITEM) && ctlfw::ReflectOwnerDraw(h, m, wp, lp)) return TRUE;
    return ::DefWindowProcW(h, m, wp, lp);
  }
  Parent() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Parent::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TambletListParent";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowExW(0, L"TambletListParent", L"report list", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr,
                             nullptr, wc.hInstance, nullptr);
    HWND raw = ::CreateWindowExW(0, L"LISTBOX", L"",
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_OWNERDRAWVARIABLE |
                                     LBS_HASSTRINGS | LBS_USETABSTOPS | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT |
                                     LBS_NOTIFY,
                                 5, 5, 450, 300, hwnd, reinterpret_cast<HMENU>(1001), wc.hInstance, nullptr);
    list.Subclass(raw);
    for (const wchar_t* line : {L"@3TEST RESULTS", L" ", L"Memory Test\tPASSED", L"Sx", L"@", L"@2Word"})
      ::SendMessageW(raw, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  }
  ~Parent() { ::DestroyWindow(hwnd); }
  void Select(std::vector<int> items) {
    ::SendMessageW(list.hwnd(), LB_SETSEL, FALSE, -1);
    for (int i : items) ::SendMessageW(list.hwnd(), LB_SETSEL, TRUE, i);
  }
  HWND hwnd = nullptr;
  CReportListBox list;
};

// Wine's clipboard manager opens the clipboard for a moment after every
// change (to take it over to X): wait until it lets go.
bool OpenClipboardWhenFree() {
  for (int tries = 0; tries < 250; ++tries) {
    if (::OpenClipboard(nullptr)) return true;
    ::Sleep(20);
  }
  return false;
}

std::string ClipboardAnsi() {
  std::string text;
  if (!OpenClipboardWhenFree()) return "<no clipboard>";
  if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(::GlobalLock(h))) {
      text = p;
      ::GlobalUnlock(h);
    }
  }
  ::CloseClipboard();
  return text;
}

void SetClipboardAnsi(const char* text) {
  ASSERT_TRUE(OpenClipboardWhenFree());
  ::EmptyClipboard();
  HGLOBAL g = ::GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
  memcpy(::GlobalLock(g), text, strlen(text) + 1);
  ::GlobalUnlock(g);
  ::SetClipboardData(CF_TEXT, g);
  ::CloseClipboard();
}

// Ctrl held in this thread's key state while `f` runs.
template <class F>
void WithCtrl(F f) {
  BYTE keys[256] = {}, saved[256] = {};
  ::GetKeyboardState(saved);
  memcpy(keys, saved, 256);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  f();
  ::SetKeyboardState(saved);
}

TEST(ReportList, ClipboardTextDropsHeadingPrefixes) {
  struct Case {
    std::vector<std::wstring> lines;
    std::wstring text;
  } cases[] = {
      {{L"@3TEST RESULTS", L"Memory Test\tPASSED"}, L"TEST RESULTS\r\nMemory Test\tPASSED\r\n"},
      {{L"@"}, L"@\r\n"},
      {{L"@x"}, L"\r\n"},
      {{L"x@3"}, L"x@3\r\n"},
      {{}, L""},
  };
  for (const Case& c : cases) EXPECT_EQ(ClipboardText(c.lines), c.text);
}

TEST(ReportList, CtrlCCopiesTheSelectedLinesInListOrder) {
  Parent p;
  SetClipboardAnsi("before");
  p.Select({2, 0});
  // Without Ctrl, "C" copies nothing.
  ::SendMessageW(p.list.hwnd(), WM_KEYDOWN, 'C', 0);
  EXPECT_EQ(ClipboardAnsi(), "before");
  WithCtrl([&] { ::SendMessageW(p.list.hwnd(), WM_KEYDOWN, 'C', 0); });
  EXPECT_EQ(ClipboardAnsi(), "TEST RESULTS\r\nMemory Test\tPASSED\r\n");
  // Nothing selected: the clipboard is left alone.
  p.Select({});
  WithCtrl([&] { ::SendMessageW(p.list.hwnd(), WM_KEYDOWN, 'C', 0); });
  EXPECT_EQ(ClipboardAnsi(), "TEST RESULTS\r\nMemory Test\tPASSED\r\n");
}

TEST(ReportList, TypingDoesNotMoveTheSelection) {
  Parent p;
  ::SendMessageW(p.list.hwnd(), LB_SETCARETINDEX, 0, FALSE);
  p.Select({0});
  ::SendMessageW(p.list.hwnd(), WM_CHAR, 'S', 0);
  ::SendMessageW(p.list.hwnd(), WM_CHAR, 'M', 0);
  EXPECT_EQ(::SendMessageW(p.list.hwnd(), LB_GETCARETINDEX, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(p.list.hwnd(), LB_GETSELCOUNT, 0, 0), 1);
  EXPECT_GT(::SendMessageW(p.list.hwnd(), LB_GETSEL, 0, 0), 0);
}

// A row drawn into a bitmap: selected rows on navy, others on the window
// colour, to the right of their text.
TEST(ReportList, SelectedRowsAreDrawnOnNavy) {
  Parent p;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, 400, 20);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ old = ::SelectObject(dc, bmp);
  for (bool selected : {true, false}) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_LISTBOX;
    dis.itemID = 2;
    dis.itemAction = selected ? ODA_SELECT : ODA_DRAWENTIRE;
    dis.itemState = selected ? ODS_SELECTED : 0;
    dis.hwndItem = p.list.hwnd();
    dis.hDC = dc;
    dis.rcItem = RECT{0, 0, 400, 20};
    p.list.DrawItem(&dis);
    COLORREF rightSide = ::GetPixel(dc, 395, 10);
    if (selected) EXPECT_EQ(rightSide, RGB(0, 0, 128));
    else EXPECT_EQ(rightSide, ::GetSysColor(COLOR_WINDOW));
    // Some text was drawn in the row's text colour.
    bool text = false;
    for (int x = 1; x < 150 && !text; ++x)
      for (int y = 0; y < 20 && !text; ++y)
        text = ::GetPixel(dc, x, y) == (selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    EXPECT_TRUE(text) << selected;
  }
  ::SelectObject(dc, old);
  ::DeleteObject(bmp);
  ::DeleteDC(dc);
}

}  // namespace
