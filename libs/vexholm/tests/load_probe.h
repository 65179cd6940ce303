// The library loading probe (load_probe.exe beside the test programs), run
// as this system or as Windows 98 through Wine's per-program setting.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/registry.h"
#include "testsupport/process.h"

// The probe's exit code when it does not see the system it was started for.
constexpr DWORD kLoadProbeWrongSystem = 0x9A9A;

// 0 when `library` loads in a program of its own, else the load's error.
inline DWORD LoadInProbe(const std::wstring& library, bool win98) {
  const wchar_t key[] = L"Software\\Wine\\AppDefaults\\load_probe.exe";
  if (win98)
    appkit::RegWriteString(HKEY_CURRENT_USER, key, L"Version", L"win98");
  else
    appkit::RegDeleteTree(HKEY_CURRENT_USER, key);
  testsupport::Process p;
  DWORD code = 0xFFFFFFFFu;
  const std::wstring args = std::wstring(win98 ? L"9x" : L"nt") + L" \"" + library + L"\"";
  if (p.Start(testsupport::TestBinDir() + L"load_probe.exe", args) && p.WaitExit(30000))
    code = p.ExitCode();
  appkit::RegDeleteTree(HKEY_CURRENT_USER, key);
  return code;
}
