// Stand-in for the outside programs that Ombrix and Halvix start (the help
// viewer, the default browser, Notepad): appends its command line as one
// UTF-8 line to "<its own base name>.args" beside its file, then exits.
#include <windows.h>

#include <string>

#include "appkit/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  std::wstring path(self, n);
  size_t dot = path.rfind(L'.');
  std::wstring out = (dot == std::wstring::npos ? path : path.substr(0, dot)) + L".args";
  std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
  const std::string utf8 = appkit::Narrow(line, CP_UTF8);
  HANDLE h = ::CreateFileW(out.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  ::WriteFile(h, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
  ::CloseHandle(h);
  return 0;
}
