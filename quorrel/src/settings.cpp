#include "settings.h"

#include "appkit/registry.h"

namespace quorrel {

void ReadSummarySwitches(int out[suite::SW_COUNT]) {
  appkit::RegKey key;
  bool open = key.Open(HKEY_CURRENT_USER, suite::kQuorrelSettingKey);
  for (unsigned i = 0; i < suite::SW_COUNT; ++i) {
    DWORD v = 0;
    out[i] = open && key.GetDword(suite::kInfoSwitches[i].name, &v) ? (int)v : suite::kInfoSwitches[i].def;
  }
}

void WriteLastResult(const std::string& text) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return;
  ::RegSetValueExA(key, "LastResult", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   (DWORD)text.size() + 1);
  ::RegCloseKey(key);
}

void BringMainWindowToFront() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, suite::kHalvixSettingKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char title[257] = {};
  DWORD size = 256;
  DWORD type = 0;
  LONG r = ::RegQueryValueExA(key, "MessageBoxTitle", nullptr, &type, reinterpret_cast<BYTE*>(title), &size);
  ::RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_SZ || title[0] == 0) return;
  title[256] = 0;
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  bool changed = false;
  DWORD old = 0;
  if (::GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
      (vi.dwMajorVersion > 4 || (vi.dwMajorVersion == 4 && vi.dwMinorVersion > 0))) {
    if (::SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &old, 0))
      changed = ::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0) != FALSE;
  }
  if (HWND main = ::FindWindowA(nullptr, title)) ::SetForegroundWindow(main);
  if (changed) ::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>((ULONG_PTR)old), 0);
}

}  // namespace quorrel
