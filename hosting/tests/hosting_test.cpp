// The control wrappers and the module view's hosting, with the Zentrel
// control registered as in the installed suite.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include "appkit/system.h"
#include "testsupport/controls.h"
#include "hosting/module_view.h"
#include "hosting/wrappers.h"
#include "testsupport/process.h"

namespace {

TEST(ViewKind, FirstFourLettersInAnyCase) {
  struct Case {
    const char* name;
    int kind;
  } cases[] = {
      {"FENWOLD", 1},  {"fenw", 1},      {"MEDIA", 2},     {"modem.mod", 3}, {"CDROM", 4},
      {"zentrel", 5},  {"ZENTREL.MOD", 5}, {"Strevan", 6}, {"GRAPHICS", 7},  {"murrick", 8},
      {"Murr", 8},     {"MUR", 0},       {"QUORREL", 0},   {"", 0},          {"zent rel", 5},
      {"MEDx", 0},     {"MODx", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(hosting::ViewKindFromName(c.name), c.kind) << c.name;
  EXPECT_EQ(hosting::NewWrapper(0), nullptr);
  EXPECT_EQ(hosting::NewWrapper(9), nullptr);
  for (int k = 1; k <= 8; ++k) {
    auto w = hosting::NewWrapper(k);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->identity().viewKind, k);
  }
  EXPECT_TRUE(hosting::NewWrapperForName("zentrel.mod")->identity().clsid ==
              suite::Control(suite::kCtlZentrel).clsid);
}

class ModuleViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(ctltest::RegisterControl(testsupport::SuitePath(L"ZENTREL.OCX")), 0);
    // These tests need a control that is not installed: the modem control,
    // which other tests of the prefix may have registered.
    ctltest::RegisterControl(testsupport::SuitePath(L"MODEM.OCX"), true);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }
  void SetUp() override {
    ASSERT_TRUE(testsupport::UseSmallMachine(512));  // memory test runs of many seconds
    frame = ctltest::CreateHostWindow(640, 420);
    view = ::CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 612, 380, frame, nullptr,
                           nullptr, nullptr);
    ASSERT_TRUE(view);
  }
  void TearDown() override { ::DestroyWindow(frame); }
  HWND frame = nullptr;
  HWND view = nullptr;
};

TEST_F(ModuleViewTest, HostsSizesAndClosesTheControlOfAName) {
  hosting::ModuleViewHost mv(view);
  mv.CreateTestControl("zentrel", "");
  EXPECT_EQ(mv.kind(), hosting::kKindZentrel);
  ASSERT_TRUE(mv.hosted());
  HWND ctl = mv.hosted()->hwnd();
  ASSERT_TRUE(ctl);
  EXPECT_EQ(::GetDlgCtrlID(ctl), 1001);
  RECT rc = ctltest::RectInParent(ctl);
  EXPECT_EQ(rc.right - rc.left, 612);
  EXPECT_EQ(rc.bottom - rc.top, 380);
  // Init ran (the sheet is there) and the sheet got the pane's size.
  HWND sheet = ::GetWindow(ctl, GW_CHILD);
  ASSERT_TRUE(sheet);
  rc = ctltest::RectInParent(sheet);
  EXPECT_EQ(rc.right - rc.left, 608);
  EXPECT_EQ(rc.bottom - rc.top, 376);
  EXPECT_FALSE(mv.IsTestRunning());

  // Resizing the pane resizes control and sheet; a minimise does not.
  ::MoveWindow(view, 0, 0, 500, 300, FALSE);
  mv.OnSize(SIZE_RESTORED, 500, 300);
  rc = ctltest::RectInParent(sheet);
  EXPECT_EQ(rc.right - rc.left, 496);
  mv.OnSize(SIZE_MINIMIZED, 0, 0);
  rc = ctltest::RectInParent(sheet);
  EXPECT_EQ(rc.right - rc.left, 496);

  // A running test is aborted when the pane switches to another control.
  ctltest::MessageBoxAnswerer yes(L"Memory Test", IDYES);  // "Do you want to start now?"
  ASSERT_TRUE(mv.hosted()->DoTest(""));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return mv.IsTestRunning(); }, 10000));
  DWORD t0 = ::GetTickCount();
  mv.CreateTestControl("MODEM", "");
  EXPECT_LT(::GetTickCount() - t0, 30000u);  // ends, not hangs (a busy machine is slow)
  EXPECT_FALSE(::IsWindow(ctl));
  // The modem control is not installed here: the pane stays empty, the kind stays.
  EXPECT_EQ(mv.kind(), hosting::kKindModem);
  EXPECT_EQ(mv.hosted(), nullptr);
  EXPECT_FALSE(mv.IsTestRunning());
  EXPECT_EQ(::GetWindow(view, GW_CHILD), nullptr);

  // Back to the memory test: a fresh control initialises again.
  mv.CreateTestControl("ZENTREL", "-AutoRun");
  ASSERT_TRUE(mv.hosted());
  EXPECT_TRUE(::GetWindow(mv.hosted()->hwnd(), GW_CHILD));
  mv.CreateTestControl("nothing", "");
  EXPECT_EQ(mv.kind(), hosting::kKindNone);
  EXPECT_EQ(::GetWindow(view, GW_CHILD), nullptr);
}

TEST_F(ModuleViewTest, KeysForTheHostedControlGoThroughDialogNavigation) {
  hosting::ModuleViewHost mv(view);
  MSG key{view, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_FALSE(mv.PreTranslate(key)) << "nothing hosted";
  mv.CreateTestControl("ZENTREL", "");
  ASSERT_TRUE(mv.hosted());
  HWND inside = ::GetWindow(mv.hosted()->hwnd(), GW_CHILD);
  MSG tab{inside, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_TRUE(mv.PreTranslate(tab));
  MSG paint{inside, WM_PAINT, 0, 0, 0, {0, 0}};
  EXPECT_FALSE(mv.PreTranslate(paint));
  MSG elsewhere{frame, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_FALSE(mv.PreTranslate(elsewhere));
}

TEST_F(ModuleViewTest, PortTestIsNotHostedOnWindowsNT) {
  ASSERT_FALSE(appkit::IsWindows9x()) << "this machine reports Windows NT";
  hosting::ModuleViewHost mv(view);
  mv.CreateTestControl("STREVAN", "");
  EXPECT_EQ(mv.kind(), hosting::kKindStrevan);
  EXPECT_EQ(mv.hosted(), nullptr);
  EXPECT_FALSE(mv.IsTestRunning());
}

TEST_F(ModuleViewTest, WrapperSinksDoneWithTheErrorCount) {
  ASSERT_TRUE(testsupport::UseSmallMachine(16));  // a short run: the Done event is what counts
  CZentrelCtl ctl;
  ASSERT_TRUE(ctl.Create(L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, 300}, view, 5));
  std::string result;
  ASSERT_TRUE(ctl.OnDone([&](const std::string& r) { result = r; }));
  ASSERT_TRUE(ctl.Init("-AutoRun2"));
  EXPECT_EQ(ctl.GetProp("Title"), "Memory Test");
  ASSERT_TRUE(ctl.DoTest(""));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !result.empty(); }, 60000));
  EXPECT_EQ(result, "0");  // sound memory
  EXPECT_FALSE(ctl.Abort());

  CModemCtl missing;
  EXPECT_FALSE(missing.Create(L"", WS_CHILD, RECT{0, 0, 10, 10}, view, 6));
  EXPECT_EQ(missing.lastError(), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(missing.Init(""));
  EXPECT_EQ(missing.GetProp("Title"), "");
}

}  // namespace
