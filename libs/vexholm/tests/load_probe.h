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

// What differs from a library whose entry point refuses every load:
// LoadLibrary here fails with ERROR_DLL_INIT_FAILED, and so does the load in
// a program of its own, as this system and as Windows 98. Empty when nothing
// differs.
inline std::string UnrefusedLoads(const std::wstring& library) {
  std::string differs;
  ::SetLastError(0);
  if (::LoadLibraryW(library.c_str()) != nullptr) differs += "it loads here; ";
  if (DWORD error = ::GetLastError(); error != ERROR_DLL_INIT_FAILED)
    differs += "the load here ends with error " + std::to_string(error) + "; ";
  for (bool win98 : {false, true})
    if (DWORD code = LoadInProbe(library, win98); code != ERROR_DLL_INIT_FAILED)
      differs += std::string(win98 ? "as Windows 98" : "as this system") + " the probe ends with " +
                 std::to_string(code) + "; ";
  return differs;
}
