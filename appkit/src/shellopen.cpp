#include "appkit/shellopen.h"

#include "appkit/registry.h"

namespace appkit {

std::wstring ProgramOfOpenCommand(const std::wstring& command) {
  size_t start = command.find_first_not_of(L'"');
  if (start == std::wstring::npos) return {};
  std::wstring s = command.substr(start);
  for (size_t i = 0; i + 4 <= s.size(); ++i) {
    if (s[i] == L'.' && ::CompareStringOrdinal(s.c_str() + i, 4, L".exe", 4, TRUE) == CSTR_EQUAL)
      return s.substr(0, i + 4);
  }
  return s;
}

std::wstring ClassOpenProgram(const std::wstring& cls) {
  if (cls.empty()) return {};
  std::wstring cmd = RegReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\" + cls + L"\\shell\\open\\command", L"", L"");
  return ProgramOfOpenCommand(cmd);
}

std::wstring ExtensionClass(const std::wstring& ext) {
  return RegReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\" + ext, L"", L"");
}

}  // namespace appkit
