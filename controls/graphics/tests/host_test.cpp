// The graphics control hosted in place: its sheet by mode, "Size", and an
// Init that cannot register its window classes.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "appkit/axhost.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

namespace {

const suite::ControlIdentity& G() { return suite::Control(suite::kCtlGraphics); }

class GraphicsHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(ctltest::RunRegsvr32(testsupport::SuitePath(L"GRAPHICS.OCX")), 0);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }
  void SetUp() override {
    window = ctltest::CreateHostWindow(700, 560);
    ASSERT_TRUE(window);
  }
  void TearDown() override {
    host.Destroy();
    ::DestroyWindow(window);
  }
  void CreateControl() {
    host.Destroy();
    ASSERT_EQ(host.Create(G().clsid, window, RECT{10, 10, 650, 490}, 1001), S_OK);
    ASSERT_TRUE(host.hwnd());
  }
  bool Call(DISPID id, const std::vector<appkit::AxArg>& args = {}) { return ctltest::Call(host, id, args); }
  HWND Sheet() const { return ::GetWindow(host.hwnd(), GW_CHILD); }

  HWND window = nullptr;
  appkit::AxHost host;
};

bool ClassRegistered(HINSTANCE module, const wchar_t* name) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  return ::GetClassInfoExW(module, name, &wc) != 0;
}

}  // namespace

TEST_F(GraphicsHost, SheetByModeTitleAndSize) {
  CreateControl();
  EXPECT_FALSE(Call(suite::kDispDoTest, {""})) << "no sheet before Init";
  ASSERT_TRUE(Call(suite::kDispInit, {"-Check"}));
  EXPECT_EQ(ctltest::SheetTabs(Sheet()), (std::vector<std::wstring>{L"Information", L"Test"}));
  EXPECT_EQ(ctltest::GetProp(host, "title"), "Graphics Test");
  EXPECT_TRUE(Call(suite::kDispSetProp, {"size", "800 600"}));
  EXPECT_FALSE(Call(suite::kDispSetProp, {"Size", "80 60"})) << "a value shorter than 7 characters";
  EXPECT_FALSE(Call(suite::kDispIsRunning));

  CreateControl();
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  EXPECT_EQ(ctltest::SheetTabs(Sheet()), std::vector<std::wstring>{L"Test"}) << "only the Test page";
}

TEST_F(GraphicsHost, AnInitThatCannotRegisterItsWindowsUndoesItsClassesAndALaterOneWorks) {
  CreateControl();
  HMODULE ocx = ::GetModuleHandleW(testsupport::SuitePath(L"GRAPHICS.OCX").c_str());
  ASSERT_TRUE(ocx);
  // The last of the three classes is taken already.
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ocx;
  wc.lpszClassName = L"Kyt DDRAW WINDOW";
  ASSERT_TRUE(::RegisterClassW(&wc));
  EXPECT_FALSE(Call(suite::kDispInit, {"-AutoRun"}));
  EXPECT_EQ(Sheet(), nullptr) << "no sheet";
  EXPECT_FALSE(ClassRegistered(ocx, L"Kyt COMMON WINDOW"));
  EXPECT_FALSE(ClassRegistered(ocx, L"Kyt DIRECT3D WINDOW"));

  ASSERT_TRUE(::UnregisterClassW(L"Kyt DDRAW WINDOW", ocx));
  CreateControl();
  EXPECT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  EXPECT_TRUE(ClassRegistered(ocx, L"Kyt DDRAW WINDOW"));
  host.Destroy();
  EXPECT_FALSE(ClassRegistered(ocx, L"Kyt COMMON WINDOW")) << "the classes go with the control";
}
