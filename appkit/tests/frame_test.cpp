// Frame, splitter and tool bar pieces of the framework, in-process.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "appkit/controlbars.h"
#include "appkit/frame.h"
#include "appkit/splitter.h"

namespace {

TEST(SplitterSpans, EachTakesItsIdealWhileRoomLastsAndTheLastTakesTheRest) {
  struct Case {
    std::vector<int> ideals;
    int total, gap;
    std::vector<int> spans;
  } cases[] = {
      {{100, 50}, 400, 6, {100, 294}},
      {{0, 50}, 400, 6, {0, 394}},              // collapsed first pane
      {{400, 50}, 400, 1, {400, 0}},            // first takes all, nothing left
      {{500, 50}, 400, 6, {400, 0}},            // an ideal larger than the room
      {{-20, 50}, 300, 6, {0, 294}},            // negative counts as 0
      {{64, 22, 10}, 200, 4, {64, 22, 106}},    // three panes
      {{100, 100}, -5, 6, {0, 0}},              // no room at all
      {{10}, 77, 6, {77}},                      // a single pane takes everything
  };
  for (const Case& c : cases) EXPECT_EQ(appkit::SplitterSpans(c.ideals, c.total, c.gap), c.spans);
}

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"AppkitFrameTestHost";
    ::RegisterClassW(&wc);
    RECT rc{0, 0, 500, 300};
    ::AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
    top = ::CreateWindowW(L"AppkitFrameTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                          rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(top);
  }
  void TearDown() override { ::DestroyWindow(top); }

  static HWND Pane(HWND parent, UINT id) {
    return ::CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
  }
  static RECT InParent(HWND w) {
    RECT r;
    ::GetWindowRect(w, &r);
    ::MapWindowPoints(nullptr, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  HWND top = nullptr;
};

// A splitter inside a splitter: panes are found by their ids and placed by
// the ideal sizes; a nested splitter follows its pane.
TEST_F(Host, NestedSplittersPlaceThePanesOfTheirIds) {
  appkit::Splitter outer, inner;
  ASSERT_TRUE(outer.CreateStatic(top, 1, 2));
  appkit::Splitter::Metrics m;
  m.borderX = m.borderY = 0;
  m.gapX = m.gapY = 4;
  outer.SetMetrics(m);
  inner.SetMetrics(m);
  HWND left = Pane(outer.hwnd(), appkit::Splitter::PaneId(0, 0));
  ASSERT_TRUE(inner.CreateStatic(outer.hwnd(), 2, 1, appkit::Splitter::PaneId(0, 1)));
  HWND upper = Pane(inner.hwnd(), appkit::Splitter::PaneId(0, 0));
  HWND lower = Pane(inner.hwnd(), appkit::Splitter::PaneId(1, 0));
  EXPECT_EQ(outer.Pane(0, 0), left);
  EXPECT_EQ(outer.Pane(0, 1), inner.hwnd());
  EXPECT_EQ(inner.Pane(1, 0), lower);
  EXPECT_EQ(::GetDlgCtrlID(inner.hwnd()), 0xE901);

  outer.SetColumnInfo(0, 120);
  inner.SetRowInfo(0, 80);
  outer.RecalcLayout();  // the nested one follows its new size
  EXPECT_EQ(InParent(left).right, 120);
  RECT in = InParent(inner.hwnd());
  EXPECT_EQ(in.left, 124);
  EXPECT_EQ(in.right, 500);
  EXPECT_EQ(InParent(upper).bottom, 80);
  RECT lo = InParent(lower);
  EXPECT_EQ(lo.top, 84);
  EXPECT_EQ(lo.bottom, 300);
  EXPECT_EQ(outer.ColumnSize(1), 376);
  EXPECT_EQ(inner.RowSize(1), 216);
}

// Dragging a bar gives the pane before it the new size; the press point
// inside the bar is kept.
TEST_F(Host, DraggingABarResizesThePaneBeforeIt) {
  appkit::Splitter s;
  ASSERT_TRUE(s.CreateStatic(top, 1, 2));
  Pane(s.hwnd(), appkit::Splitter::PaneId(0, 0));
  Pane(s.hwnd(), appkit::Splitter::PaneId(0, 1));
  s.SetColumnInfo(0, 100);
  s.RecalcLayout();
  const int gap = s.metrics().gapX;
  // Press 2 pixels into the gap, move, release.
  s.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(102, 50));
  EXPECT_EQ(::GetCapture(), s.hwnd());
  s.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(202, 60));
  EXPECT_EQ(s.ColumnIdeal(0), 200);
  EXPECT_EQ(s.ColumnSize(1), 500 - 200 - gap);
  s.Send(WM_LBUTTONUP, 0, MAKELPARAM(202, 60));
  EXPECT_NE(::GetCapture(), s.hwnd());
  // After the release moves change nothing; a press inside a pane's area
  // (not on a bar) starts nothing.
  s.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 60));
  EXPECT_EQ(s.ColumnIdeal(0), 200);
  s.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
  s.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 50));
  EXPECT_EQ(s.ColumnIdeal(0), 200);
}

// A control pane's notifications reach the control again through its splitter.
class ListPane : public appkit::View {
 public:
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override {
    return CreateControlView(WC_LISTVIEWW, WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, parent, id, rc, doc);
  }
  std::vector<UINT> reflected;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == appkit::kReflectedNotify) {
      reflected.push_back(reinterpret_cast<NMHDR*>(lp)->code);
      return 7;
    }
    return appkit::View::WndProc(msg, wp, lp);
  }
};

TEST_F(Host, SplitterReflectsNotificationsToTheControlPane) {
  appkit::Splitter s;
  ASSERT_TRUE(s.CreateStatic(top, 1, 1));
  ListPane list;
  ASSERT_TRUE(list.CreateView(s.hwnd(), appkit::Splitter::PaneId(0, 0), RECT{0, 0, 50, 50}, nullptr));
  NMHDR hdr{list.hwnd(), appkit::Splitter::PaneId(0, 0), static_cast<UINT>(NM_DBLCLK)};
  EXPECT_EQ(::SendMessageW(s.hwnd(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr)), 7);
  ASSERT_EQ(list.reflected.size(), 1u);
  EXPECT_EQ(list.reflected[0], static_cast<UINT>(NM_DBLCLK));
}

TEST(ToolBarResource, BothLayoutsAndMalformedData) {
  // The Microsoft layout: WORDs.
  const WORD ms[] = {1, 20, 18, 4, 32808, 32809, 0, 32810};
  appkit::ToolBarResource tb;
  ASSERT_TRUE(appkit::ParseToolBarResource(ms, sizeof(ms), &tb));
  EXPECT_EQ(tb.imageWidth, 20);
  EXPECT_EQ(tb.imageHeight, 18);
  EXPECT_EQ(tb.commands, (std::vector<UINT>{32808, 32809, 0, 32810}));
  // GNU windres: DWORDs, no version.
  const DWORD gnu[] = {20, 20, 3, 32808, 0, 32784};
  ASSERT_TRUE(appkit::ParseToolBarResource(gnu, sizeof(gnu), &tb));
  EXPECT_EQ(tb.imageWidth, 20);
  EXPECT_EQ(tb.commands, (std::vector<UINT>{32808, 0, 32784}));

  struct Bad {
    std::vector<BYTE> bytes;
    const char* why;
  };
  auto bytesOf = [](const void* p, size_t n) {
    const BYTE* b = static_cast<const BYTE*>(p);
    return std::vector<BYTE>(b, b + n);
  };
  const WORD countPastEnd[] = {1, 20, 20, 50, 1, 2};
  const DWORD gnuCountPastEnd[] = {20, 20, 0x40000000u, 1};
  const WORD noImage[] = {1, 0, 20, 1, 5};
  const DWORD hugeImage[] = {5000, 20, 1, 7};
  const Bad bad[] = {
      {{}, "empty"},
      {{1, 0, 20, 0}, "shorter than a header"},
      {bytesOf(countPastEnd, sizeof(countPastEnd)), "count past the end"},
      {bytesOf(gnuCountPastEnd, sizeof(gnuCountPastEnd)), "DWORD count past the end"},
      {bytesOf(noImage, sizeof(noImage)), "no image width"},
      {bytesOf(hugeImage, sizeof(hugeImage)), "huge images"},
  };
  for (const Bad& b : bad) {
    appkit::ToolBarResource out;
    out.imageWidth = -1;
    EXPECT_FALSE(appkit::ParseToolBarResource(b.bytes.empty() ? nullptr : b.bytes.data(), b.bytes.size(), &out))
        << b.why;
    EXPECT_EQ(out.imageWidth, -1) << b.why;
  }
}

// ---- frame: command routing and update through the active view

class CountingView : public appkit::View {
 public:
  bool OnCommand(UINT id) override {
    if (id != 100) return false;
    ++got;
    return true;
  }
  bool OnUpdateCommand(appkit::CommandState& state) override {
    if (state.id() != 100) return false;
    state.Enable(false);
    return true;
  }
  int got = 0;
};

class TestFrame : public appkit::FrameWindow {
 public:
  const wchar_t* ClassName() const override { return L"AppkitTestFrame"; }
  bool OnCommand(UINT id) override {
    commands.push_back(id);
    return id == 100 || id == 101 || id == 102;
  }
  bool OnUpdateCommand(appkit::CommandState& state) override {
    if (state.id() == 100) state.Enable(true);  // the view decides first
    if (state.id() == 101) state.SetCheck(true);
    if (state.id() == 102) state.SetRadio(true);
    return state.id() >= 100 && state.id() <= 102;
  }
  std::vector<UINT> commands;
  CountingView* view = nullptr;

 protected:
  bool OnCreateClient(const RECT& rc, appkit::CreateContext* ctx) override {
    auto v = std::make_unique<CountingView>();
    if (!v->CreateView(hwnd(), appkit::kFirstPaneId, rc, ctx ? ctx->document : nullptr)) return false;
    view = AddView(std::move(v));
    return true;
  }
};

TEST(Frame, CommandsGoToTheActiveViewFirstAndMenuStatesFollowTheUpdateHandlers) {
  appkit::SingleDocTemplate tmpl(
      128, [] { return std::make_unique<appkit::Document>(); }, [] { return std::make_unique<TestFrame>(); },
      nullptr);
  auto* frame = static_cast<TestFrame*>(tmpl.OpenNewDocument(nullptr, L"frame", WS_OVERLAPPEDWINDOW, SW_HIDE));
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->view);
  EXPECT_EQ(frame->ClientPane(), frame->view->hwnd());
  EXPECT_EQ(frame->view->document(), tmpl.document());
  EXPECT_EQ(frame->view->frame(), frame);

  // No active view: the frame takes command 100; with the view active, the view.
  frame->Send(WM_COMMAND, 100, 0);
  frame->SetActiveView(frame->view);
  frame->Send(WM_COMMAND, 100, 0);
  frame->Send(WM_COMMAND, 101, 0);
  EXPECT_EQ(frame->view->got, 1);
  EXPECT_EQ(frame->commands, (std::vector<UINT>{100, 101}));

  HMENU popup = ::CreatePopupMenu();
  ::AppendMenuW(popup, MF_STRING, 100, L"a");
  ::AppendMenuW(popup, MF_STRING, 101, L"b");
  ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(popup, MF_STRING, 102, L"c");
  ::AppendMenuW(popup, MF_STRING | MF_GRAYED, 103, L"d");  // no handler: left alone
  frame->Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  EXPECT_TRUE(::GetMenuState(popup, 100, MF_BYCOMMAND) & MF_GRAYED);  // the view's decision
  EXPECT_TRUE(::GetMenuState(popup, 101, MF_BYCOMMAND) & MF_CHECKED);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_STATE;
  ASSERT_TRUE(::GetMenuItemInfoW(popup, 102, FALSE, &info));
  EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
  EXPECT_TRUE(info.fState & MFS_CHECKED);
  EXPECT_TRUE(::GetMenuState(popup, 103, MF_BYCOMMAND) & MF_GRAYED);
  ::DestroyMenu(popup);
}

// The frame places its bars: the status bar at the bottom, the tool bar at
// its side, the client pane in the rest.
TEST(Frame, LayoutLeavesTheClientPaneWhatTheBarsDoNotTake) {
  appkit::SingleDocTemplate tmpl(
      128, [] { return std::make_unique<appkit::Document>(); }, [] { return std::make_unique<TestFrame>(); },
      nullptr);
  auto* frame = static_cast<TestFrame*>(tmpl.OpenNewDocument(nullptr, L"frame", WS_OVERLAPPEDWINDOW, SW_HIDE));
  ASSERT_NE(frame, nullptr);
  appkit::ToolBar bar;
  appkit::StatusBar status;
  ASSERT_TRUE(bar.Create(frame->hwnd(), WS_CHILD | WS_VISIBLE, appkit::kToolBarId));
  ASSERT_TRUE(status.Create(frame->hwnd(), WS_CHILD | WS_VISIBLE, appkit::kStatusBarId));
  TBBUTTON b{};
  b.idCommand = 100;
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = BTNS_BUTTON;
  bar.Send(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
  bar.SetSizes(SIZE{30, 28}, SIZE{16, 16});
  frame->SetToolBar(&bar);
  frame->SetStatusBar(&status);
  ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  ::GetClientRect(frame->hwnd(), &client);
  auto inFrame = [&](HWND w) {
    RECT r;
    ::GetWindowRect(w, &r);
    ::MapWindowPoints(nullptr, frame->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  for (appkit::ToolBar::Side side : {appkit::ToolBar::kTop, appkit::ToolBar::kLeft, appkit::ToolBar::kRight,
                                     appkit::ToolBar::kBottom}) {
    SCOPED_TRACE(side);
    bar.Dock(side);
    frame->RecalcLayout();
    const int t = bar.Thickness();
    RECT pane = inFrame(frame->ClientPane()), tb = inFrame(bar.hwnd()), sb = inFrame(status.hwnd());
    EXPECT_EQ(sb.bottom, client.bottom);
    const int statusTop = sb.top;
    switch (side) {
      case appkit::ToolBar::kTop:
        EXPECT_EQ(tb.top, 0);
        EXPECT_EQ(pane.top, t);
        EXPECT_EQ(pane.bottom, statusTop);
        break;
      case appkit::ToolBar::kLeft:
        EXPECT_EQ(tb.right, t);
        EXPECT_EQ(pane.left, t);
        EXPECT_EQ(pane.right, client.right);
        break;
      case appkit::ToolBar::kRight:
        EXPECT_EQ(tb.left, client.right - t);
        EXPECT_EQ(pane.right, client.right - t);
        break;
      case appkit::ToolBar::kBottom:
        EXPECT_EQ(tb.bottom, statusTop);
        EXPECT_EQ(pane.bottom, statusTop - t);
        break;
    }
  }
  // Update of the tool bar's buttons through the same handlers.
  frame->SetActiveView(frame->view);
  frame->UpdateToolBarStates();
  EXPECT_FALSE(bar.IsButtonEnabled(100));
  frame->SetToolBar(nullptr);
  frame->SetStatusBar(nullptr);
}

}  // namespace
