// The sample control made as every control of the suite is (halvix_control
// and the framework's generic control): registered with regsvr32, hosted in
// place, driven by DISPID, its result reaching the host as the Done event.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "appkit/axhost.h"
#include "appkit/registry.h"
#include "suite/controls.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

namespace {

const CLSID kSampleClsid = {0x7E570003, 0x5A11, 0x4C7E, {0x9E, 0x21, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}};
const wchar_t kSampleKey[] = L"Software\\Kyt\\CTLFWTEST\\Setting";

std::wstring ControlFile() { return testsupport::TestBinDir() + L"ctlfw\\CTLSAMPL.OCX"; }

class SampleControl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(ctltest::RunRegsvr32(ControlFile()), 0);
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(ctltest::RunRegsvr32(ControlFile(), true), 0);
    ::OleUninitialize();
  }
  void SetUp() override {
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kSampleKey);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kSampleKey, L"SampleRunMs", 200);
    window = ctltest::CreateHostWindow(700, 560);
    ASSERT_TRUE(window);
  }
  void TearDown() override {
    host.Destroy();
    ::DestroyWindow(window);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kSampleKey);
  }
  void Create(appkit::AxHost& h) {
    ASSERT_EQ(h.Create(kSampleClsid, window, RECT{10, 10, 650, 490}, 1001), S_OK);
    ASSERT_EQ(h.SinkEvents(IID_NULL,
                           [this](DISPID id, const std::vector<std::wstring>& args) {
                             if (id == suite::kEventDone) done.push_back(args.empty() ? L"?" : args[0]);
                           }),
              S_OK);
  }
  bool Call(DISPID id, const std::vector<appkit::AxArg>& args = {}) { return ctltest::Call(host, id, args); }
  std::string GetProp(const std::string& name) { return ctltest::GetProp(host, name); }

  HWND window = nullptr;
  appkit::AxHost host;
  std::vector<std::wstring> done;
};

TEST_F(SampleControl, AutomaticRunsReportTheirErrorCountsThroughDone) {
  Create(host);
  EXPECT_FALSE(Call(suite::kDispDoTest, {""}));  // before Init
  EXPECT_EQ(GetProp("Title"), "");
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  EXPECT_TRUE(Call(suite::kDispSetProp, {"Size", "640 480"}));
  EXPECT_EQ(GetProp("title"), "Sample Test");
  EXPECT_EQ(ctltest::SheetTabs(::GetWindow(host.hwnd(), GW_CHILD)), std::vector<std::wstring>{L"Test"});

  ASSERT_TRUE(Call(suite::kDispDoTest, {""}));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !done.empty(); }, 10000));
  EXPECT_EQ(done, std::vector<std::wstring>{L"0"});
  EXPECT_FALSE(Call(suite::kDispIsRunning));
  int count = std::stoi(GetProp("count"));
  EXPECT_GE(count, 12);  // ten passes, " " and the verdict
  EXPECT_EQ(GetProp("line:0"), "Pass 1\tPASSED\n");
  EXPECT_EQ(GetProp("line:" + std::to_string(count - 1)), "No Error Found.\n");

  // A second control of the module in the same process is refused.
  appkit::AxHost second;
  Create(second);
  HRESULT hr = E_FAIL;
  EXPECT_FALSE(second.CallBool(suite::kDispInit, {""}, &hr));
  EXPECT_EQ(hr, S_OK);
  second.Destroy();
  EXPECT_TRUE(::IsWindow(::GetWindow(host.hwnd(), GW_CHILD))) << "the first control's sheet stays";

  // The run's error count is the Done result.
  done.clear();
  appkit::RegWriteDword(HKEY_CURRENT_USER, kSampleKey, L"SampleErrors", 3);
  host.Destroy();
  Create(host);
  ASSERT_TRUE(Call(suite::kDispInit, {"-AutoRun"}));
  ASSERT_TRUE(Call(suite::kDispDoTest, {""}));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !done.empty(); }, 10000));
  EXPECT_EQ(done, std::vector<std::wstring>{L"3"});
}

}  // namespace
