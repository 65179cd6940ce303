// A test of a control's runner in a window of the test's own: `Runner` is
// the control's runner with a settings key of the test's own
// (SettingsKey()), removed before and after each test.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "appkit/registry.h"

namespace testsupport {

template <class Runner>
class RunnerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    appkit::RegDeleteTree(HKEY_CURRENT_USER, runner.SettingsKey());
    window = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  }
  void TearDown() override {
    runner.Cleanup();
    ::DestroyWindow(window);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, runner.SettingsKey());
  }
  void Set(const wchar_t* name, DWORD v) { appkit::RegWriteDword(HKEY_CURRENT_USER, runner.SettingsKey(), name, v); }
  DWORD Get(const wchar_t* name) { return appkit::RegReadDword(HKEY_CURRENT_USER, runner.SettingsKey(), name, 0xDEAD); }
  void SetText(const wchar_t* name, const wchar_t* v) {
    appkit::RegWriteString(HKEY_CURRENT_USER, runner.SettingsKey(), name, v);
  }
  std::wstring GetText(const wchar_t* name) {
    return appkit::RegReadString(HKEY_CURRENT_USER, runner.SettingsKey(), name, L"?");
  }

  HWND window = nullptr;
  Runner runner;
};

}  // namespace testsupport
