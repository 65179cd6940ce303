// The tabbed sheet on its own: a child of a plain window, pages from
// templates, page switching by keyboard, a page that refuses to be left.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "appkit/propsheet.h"
#include "ctlfw/resource_ids.h"
#include "testsupport/process.h"

namespace {

class Page : public appkit::SheetPage {
 public:
  explicit Page(UINT id) : appkit::SheetPage(id, ::GetModuleHandleW(nullptr)) {}
  BOOL OnSetActive() override {
    ++activations;
    return TRUE;
  }
  BOOL OnKillActive() override { return keep ? FALSE : TRUE; }
  bool keep = false;
  int activations = 0;
};

struct Parent {
  Parent() {
    hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 450, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
    ::ShowWindow(hwnd, SW_SHOWNA);
  }
  ~Parent() { ::DestroyWindow(hwnd); }
  HWND hwnd;
};

void PressWithControl(HWND focus, WPARAM key, bool shift = false) {
  BYTE state[256] = {};
  ::GetKeyboardState(state);
  BYTE saved[256];
  memcpy(saved, state, sizeof(saved));
  state[VK_CONTROL] = 0x80;
  state[VK_SHIFT] = shift ? 0x80 : 0;
  ::SetKeyboardState(state);
  MSG msg{focus, WM_KEYDOWN, key, 0, 0, {}};
  EXPECT_TRUE(appkit::TabbedSheet::TranslateKey(msg));
  ::SetKeyboardState(saved);
}

TEST(TabbedSheet, ChildSheetKeyboardAndRefusal) {
  Parent parent;
  Page info(IDD_CTLFW_INFO_PAGE), test(IDD_CTLFW_TEST_PAGE);
  appkit::TabbedSheet sheet(L"Caption", ::GetModuleHandleW(nullptr));
  sheet.AddPage(&info);
  sheet.AddPage(&test);
  sheet.SetStartPage(1);
  ASSERT_TRUE(sheet.Create(parent.hwnd));
  EXPECT_EQ(::GetParent(sheet.hwnd()), parent.hwnd);
  EXPECT_EQ(sheet.ActiveIndex(), 1);
  EXPECT_EQ(test.activations, 1);
  EXPECT_EQ(info.activations, 0);
  // Pages are plain children of the sheet, titled by their templates.
  EXPECT_EQ(info.Title(), L"Information");
  EXPECT_EQ(test.Title(), L"Test");
  EXPECT_EQ(::GetParent(info.hwnd()), sheet.hwnd());
  EXPECT_FALSE(::GetWindowLongW(info.hwnd(), GWL_STYLE) & WS_CAPTION);
  EXPECT_EQ(appkit::TabbedSheet::FromChild(::GetDlgItem(test.hwnd(), IDC_TEST_STARTSTOP)), &sheet);

  HWND focus = ::GetDlgItem(test.hwnd(), IDC_TEST_STARTSTOP);
  PressWithControl(focus, VK_TAB);
  EXPECT_EQ(sheet.ActiveIndex(), 0);
  EXPECT_EQ(::SendMessageW(sheet.TabControl(), TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(::IsWindowVisible(info.hwnd()));
  EXPECT_FALSE(::IsWindowVisible(test.hwnd()));
  PressWithControl(focus, VK_TAB, true);
  EXPECT_EQ(sheet.ActiveIndex(), 1);
  PressWithControl(focus, VK_NEXT);
  EXPECT_EQ(sheet.ActiveIndex(), 0);
  PressWithControl(focus, VK_PRIOR);
  EXPECT_EQ(sheet.ActiveIndex(), 1);

  // A page that refuses to be left keeps the sheet on it, by keyboard, by
  // call and by a click on a tab.
  test.keep = true;
  PressWithControl(focus, VK_TAB);
  EXPECT_EQ(sheet.ActiveIndex(), 1);
  EXPECT_FALSE(sheet.SetActivePage(0));
  NMHDR hdr{sheet.TabControl(), 0x3020, (UINT)TCN_SELCHANGING};
  EXPECT_TRUE(::SendMessageW(sheet.hwnd(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr)));
  EXPECT_EQ(sheet.ActiveIndex(), 1);
  test.keep = false;
  EXPECT_TRUE(sheet.SetActivePage(0));
  EXPECT_FALSE(sheet.SetActivePage(2));

  // Resizing the sheet stretches the tab control and the pages with it.
  ::SetWindowPos(sheet.hwnd(), nullptr, 0, 0, 500, 380, SWP_NOMOVE | SWP_NOZORDER);
  RECT sr{}, tr{}, pr{};
  ::GetWindowRect(sheet.hwnd(), &sr);
  ::GetWindowRect(sheet.TabControl(), &tr);
  ::GetWindowRect(test.hwnd(), &pr);
  EXPECT_EQ(tr.right, sr.right - 5);
  EXPECT_EQ(tr.bottom, sr.bottom - 5);
  EXPECT_EQ(pr.right, tr.right - 5);
  EXPECT_EQ(pr.bottom, tr.bottom - 5);
}

}  // namespace
