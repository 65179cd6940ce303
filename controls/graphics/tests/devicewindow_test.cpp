// The Direct3D window's activation and painting reach the retained-mode
// device's window-device interface: a window whose procedure routes its
// messages as the test window does, with a fake device that records them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfxtest/devicewindow.h"

using gfxtest::DeviceWindowMessage;

namespace {

// A device with (or without) the window-device interface, recording what
// reaches it.
class FakeDevice : public IDirect3DRMWinDevice {
 public:
  bool hasWinDevice = true;
  HRESULT paintAnswer = S_OK;
  std::vector<std::string> calls;
  HDC paintDc = nullptr;
  LONG refs = 1;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || (hasWinDevice && iid == gfxtest::kIidDirect3DRMWinDevice)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE Clone(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddDestroyCallback(D3DRMOBJECTCALLBACK, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteDestroyCallback(D3DRMOBJECTCALLBACK, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAppData(DWORD) override { return E_NOTIMPL; }
  DWORD STDMETHODCALLTYPE GetAppData() override { return 0; }
  HRESULT STDMETHODCALLTYPE SetName(const char*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetName(DWORD*, char*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClassName(DWORD*, char*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE HandlePaint(HDC dc) override {
    calls.push_back("paint");
    paintDc = dc;
    return paintAnswer;
  }
  HRESULT STDMETHODCALLTYPE HandleActivate(WORD state) override {
    calls.push_back("activate " + std::to_string(state));
    return S_OK;
  }
};

// The window procedure's state: the device it routes to and what it saw.
struct Routed : gfxtest::DeviceWindowFallback {
  IUnknown* device = nullptr;
  bool canPaint = true;
  std::vector<std::string> fallbacks;
  void Paint() override { fallbacks.push_back("render"); }
} routed;

LRESULT CALLBACK DeviceWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (DeviceWindowMessage(hwnd, msg, wp, routed.device, routed.canPaint, routed, &result)) return result;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

class DeviceWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DeviceWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DeviceWindowTest";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"Device window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                150, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    routed = Routed();
    ::DestroyWindow(window_);
  }
  // Invalidates the whole window and has it painted now; answers whether
  // the paint left it valid.
  bool PaintNow() {
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return !::GetUpdateRect(window_, nullptr, FALSE);
  }
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(DeviceWindow, ActivationAndPaintReachTheWindowDevice) {
  struct Case {
    const char* what;
    bool device, hasWinDevice, canPaint, minimised;
    HRESULT paintAnswer;
    std::vector<std::string> deviceCalls;  // after one activation and one paint
    bool rendered;                         // the window drew the scene itself
  } cases[] = {
      {"device with window-device interface", true, true, true, false, S_OK, {"activate 2", "paint"}, false},
      {"device without it", true, false, true, false, S_OK, {}, true},
      {"its paint fails", true, true, true, false, E_FAIL, {"activate 2", "paint"}, true},
      {"no viewport yet", true, true, false, false, S_OK, {"activate 2"}, false},
      {"minimised", true, true, true, true, S_OK, {"activate 2"}, false},
      {"no device", false, true, true, false, S_OK, {}, false},
  };
  for (const Case& c : cases) {
    FakeDevice device;
    device.hasWinDevice = c.hasWinDevice;
    device.paintAnswer = c.paintAnswer;
    routed = Routed();
    routed.device = c.device ? static_cast<IUnknown*>(&device) : nullptr;
    routed.canPaint = c.canPaint;
    ::ShowWindow(window_, c.minimised ? SW_MINIMIZE : SW_RESTORE);
    device.calls.clear();
    routed.fallbacks.clear();

    // Clicked active, from a minimised state: the state is the low word.
    ::SendMessageW(window_, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), 0);
    if (c.minimised)
      ::SendMessageW(window_, WM_PAINT, 0, 0);
    else
      EXPECT_TRUE(PaintNow()) << c.what;

    EXPECT_EQ(device.calls, c.deviceCalls) << c.what;
    if (!device.calls.empty() && device.calls.back() == "paint") {
      EXPECT_NE(device.paintDc, nullptr) << c.what;
    }
    EXPECT_EQ(routed.fallbacks.size(), c.rendered ? 1u : 0u) << c.what;
    EXPECT_EQ(device.refs, 1) << c.what << ": every interface taken is released";
  }
}
