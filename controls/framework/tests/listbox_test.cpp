// The two owner-drawn lists on a live list box: fonts from the registry, item
// heights of heading lines, what a click asks the parent, what is drawn.
#include <gtest/gtest.h>

#include "appkit/registry.h"
#include "infoclient/listbox.h"
#include "ctlfw/resource_ids.h"

using namespace ctlfw;

namespace {

const wchar_t kMakerKey[] = L"Software\\Kyt\\CTLFWLISTTEST";

// A parent that forwards owner-draw messages to the lists and answers the
// check list's questions with `answer`, recording them.
struct Parent {
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Parent*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (self && (m == WM_MEASUREITEM || m == WM_DRAWITEM)) {
      if (ReflectOwnerDraw(h, m, wp, lp)) return TRUE;
    }
    if (self && m == WM_COMMAND && (wp == kAskCheck || wp == kAskUncheck)) {
      self->asked.push_back({wp, lp});
      return self->answer;
    }
    return ::DefWindowProcW(h, m, wp, lp);
  }
  Parent() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Parent::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CtlfwListParent";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowExW(0, L"CtlfwListParent", L"lists", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr, nullptr,
                             wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Parent() { ::DestroyWindow(hwnd); }
  HWND MakeList(int id) {
    return ::CreateWindowExW(0, L"LISTBOX", L"",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS |
                                 LBS_USETABSTOPS | LBS_NOSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                             5, 5, 300, 300, hwnd, reinterpret_cast<HMENU>((INT_PTR)id), ::GetModuleHandleW(nullptr),
                             nullptr);
  }
  HWND hwnd = nullptr;
  LRESULT answer = 1;
  std::vector<std::pair<WPARAM, LPARAM>> asked;
};

void Add(HWND list, const wchar_t* text, LRESULT data = -1) {
  LRESULT i = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (data >= 0) ::SendMessageW(list, LB_SETITEMDATA, i, data);
}

void ClickItem(HWND list, int index) {
  RECT r{};
  ::SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
  ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(r.left + 30, (r.top + r.bottom) / 2));
}

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override { appkit::RegDeleteTree(HKEY_CURRENT_USER, kMakerKey); }
  void TearDown() override { appkit::RegDeleteTree(HKEY_CURRENT_USER, kMakerKey); }
};

TEST_F(ListTest, RegistryFontsAndHeadingHeights) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kMakerKey, L"Font_Height", 13);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kMakerKey, L"Font_Weight", 400);
  appkit::RegWriteString(HKEY_CURRENT_USER, kMakerKey, L"Font_Type", L"Tahoma");
  Parent parent;
  CInfoListBox list(kMakerKey);
  ASSERT_NE(parent.MakeList(1004), nullptr);
  ASSERT_TRUE(list.Attach(parent.hwnd, 1004));
  ASSERT_FALSE(list.Attach(parent.hwnd, 1004));  // once
  EXPECT_EQ(list.FontSpec().height, 13);
  EXPECT_EQ(list.FontSpec().weight, 400);
  EXPECT_EQ(list.FontSpec().face, L"Tahoma");
  const struct {
    const wchar_t* text;
    int height;
  } cases[] = {{L"@1Memory", 15}, {L"@2Memory", 18}, {L"@3Memory", 13}, {L"plain", 13}, {L"@1", 13}, {L"@4x", 13}};
  for (const auto& c : cases) Add(list.hwnd(), c.text);
  for (int i = 0; i < (int)(sizeof(cases) / sizeof(cases[0])); ++i)
    EXPECT_EQ(::SendMessageW(list.hwnd(), LB_GETITEMHEIGHT, i, 0), cases[i].height) << cases[i].text;
  // SetListFont: height above 7 and weight above 200 only.
  list.SetListFont(25, 100, nullptr);
  EXPECT_EQ(list.FontSpec().height, 25);
  EXPECT_EQ(list.FontSpec().weight, 400);
  // Eleven tab stops: the count reads 11, ten are kept.
  int stops[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_TRUE(list.SetTabStops(11, stops));
  EXPECT_EQ(list.TabCount(), 11);
  EXPECT_EQ(list.TabStops()[9], 10);
  // WM_COMMAND 101 switches the default erasing.
  ::SendMessageW(list.hwnd(), WM_COMMAND, kSetDefaultErase, 0);
  EXPECT_FALSE(list.DefaultErase());
  ::SendMessageW(list.hwnd(), WM_COMMAND, kSetDefaultErase, 1);
  EXPECT_TRUE(list.DefaultErase());
}

TEST_F(ListTest, OutOfRangeRegistryFontsFallBack) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kMakerKey, L"Font_Height", 25);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kMakerKey, L"Font_Weight", 100);
  CInfoListBox list(kMakerKey);
  EXPECT_EQ(list.FontSpec().height, 15);
  EXPECT_EQ(list.FontSpec().weight, 700);
  EXPECT_EQ(list.FontSpec().face, L"Arial");
  EXPECT_NE(list.Font(1), nullptr);
  EXPECT_NE(list.Font(3), nullptr);
}

TEST_F(ListTest, ClicksAskTheParentWithTheNegatedIndex) {
  Parent parent;
  CTestListBox list(::GetModuleHandleW(nullptr), kMakerKey);
  ASSERT_TRUE(list.Subclass(parent.MakeList(1023)));
  HWND h = list.hwnd();
  Add(h, L"first", 0x81);
  Add(h, L"second", 0x85);  // checked and locked
  Add(h, L"third", 0x82);   // unchecked and disabled
  Add(h, L"fourth", 0x80);
  Add(h, L"plain line");

  ClickItem(h, 0);  // checked: asks 103 for index 0, allowed
  ASSERT_EQ(parent.asked.size(), 1u);
  EXPECT_EQ(parent.asked[0].first, kAskUncheck);
  EXPECT_EQ(parent.asked[0].second, 0);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 0, 0), 0x80);

  ClickItem(h, 1);  // locked: no question, no change
  ClickItem(h, 2);  // disabled: no question, no change
  ClickItem(h, 4);  // plain: nothing
  EXPECT_EQ(parent.asked.size(), 1u);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 1, 0), 0x85);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 2, 0), 0x82);

  ClickItem(h, 3);  // unchecked: asks 104 for index 3 with lParam -3
  ASSERT_EQ(parent.asked.size(), 2u);
  EXPECT_EQ(parent.asked[1].first, kAskCheck);
  EXPECT_EQ(parent.asked[1].second, -3);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 3, 0), 0x81);

  parent.answer = 0;  // refusals leave the items as they are
  ClickItem(h, 0);
  ClickItem(h, 3);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 0, 0), 0x80);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 3, 0), 0x81);
  EXPECT_EQ(parent.asked.size(), 4u);

  // Below the last item: nothing.
  RECT client{};
  ::GetClientRect(h, &client);
  ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(20, client.bottom - 2));
  EXPECT_EQ(parent.asked.size(), 4u);

  // A double-click is two releases: toggled twice when both are allowed.
  parent.answer = 1;
  ClickItem(h, 3);
  ClickItem(h, 3);
  EXPECT_EQ(::SendMessageW(h, LB_GETITEMDATA, 3, 0), 0x81);
}

// Draws item `index` into a white memory bitmap and returns it.
struct Canvas {
  explicit Canvas(HWND list) {
    HDC screen = ::GetDC(nullptr);
    dc = ::CreateCompatibleDC(screen);
    bmp = ::CreateCompatibleBitmap(screen, 300, 40);
    ::ReleaseDC(nullptr, screen);
    old = ::SelectObject(dc, bmp);
    RECT all{0, 0, 300, 40};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
    this->list = list;
  }
  ~Canvas() {
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
  }
  void Draw(CInfoListBox& box, int index) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_LISTBOX;
    dis.itemID = index;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.hwndItem = list;
    dis.hDC = dc;
    dis.rcItem = RECT{0, 0, 300, 20};
    box.DrawItem(&dis);
  }
  int Count(COLORREF colour, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = x0; x < x1; ++x) n += ::GetPixel(dc, x, y) == colour;
    return n;
  }
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
  HWND list;
};

TEST_F(ListTest, DrawingPicturesGreyFallbackAndLongLines) {
  Parent parent;
  CTestListBox withPictures(::GetModuleHandleW(nullptr), kMakerKey);
  CTestListBox noPictures(nullptr, kMakerKey);
  ASSERT_TRUE(withPictures.Subclass(parent.MakeList(1023)));
  ASSERT_TRUE(noPictures.Subclass(parent.MakeList(1024)));
  for (HWND h : {withPictures.hwnd(), noPictures.hwnd()}) {
    Add(h, L"Disabled", 0x82);
    Add(h, (std::wstring(300, L'x')).c_str(), 0x80);
    Add(h, L"Checked", 0x81);
  }
  const COLORREF grey = RGB(128, 128, 128), frame = RGB(64, 64, 64);
  {
    // Bitmap 136 missing: a grey "+" in the picture's place.
    Canvas c(noPictures.hwnd());
    c.Draw(noPictures, 0);
    EXPECT_GT(c.Count(grey, 1, 17), 0);
  }
  {
    // With the pictures: the box frame of the state picture at left + 1.
    Canvas c(withPictures.hwnd());
    c.Draw(withPictures, 2);
    EXPECT_GT(c.Count(frame, 1, 17), 10);
    EXPECT_EQ(c.Count(grey, 1, 17), 0);
  }
  {
    // A line of 300 characters is not drawn at all.
    Canvas c(withPictures.hwnd());
    c.Draw(withPictures, 1);
    EXPECT_EQ(c.Count(RGB(255, 255, 255), 0, 300), 300 * 20);
  }
}

}  // namespace

namespace {

TEST_F(ListTest, HeadingsDrawWithoutPrefixAndTabsWidenTheExtent) {
  Parent parent;
  CInfoListBox list(kMakerKey);
  ASSERT_NE(parent.MakeList(1005), nullptr);
  ASSERT_TRUE(list.Attach(parent.hwnd, 1005));
  HWND h = list.hwnd();
  Add(h, L"@1Wide heading line");
  Add(h, L"Label:\tValue");
  // The heading is drawn from its third character in font [1]: the list's
  // horizontal extent becomes exactly that text's width.
  {
    Canvas c(h);
    c.Draw(list, 0);
    HGDIOBJ old = ::SelectObject(c.dc, list.Font(1));
    SIZE sz{};
    ::GetTextExtentPoint32W(c.dc, L"Wide heading line", 17, &sz);
    ::SelectObject(c.dc, old);
    EXPECT_EQ(::SendMessageW(h, LB_GETHORIZONTALEXTENT, 0, 0), sz.cx);
  }
  // A tab moves the value to the first stop (80 quarters of the average
  // character width), so the extent reaches past it.
  ::SendMessageW(h, LB_SETHORIZONTALEXTENT, 0, 0);
  {
    Canvas c(h);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(c.dc, &tm);
    c.Draw(list, 1);
    EXPECT_GT(::SendMessageW(h, LB_GETHORIZONTALEXTENT, 0, 0), 80 * tm.tmAveCharWidth / 4);
  }
}

}  // namespace
