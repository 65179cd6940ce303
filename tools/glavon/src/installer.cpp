#include "installer.h"

#include <algorithm>
#include <cwctype>

namespace glavon {

Action ParseAction(const std::wstring& commandLine) {
  std::wstring lower = commandLine;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return (wchar_t)std::towlower(c); });
  if (lower.find(L"/uninstall") != std::wstring::npos) return Action::Uninstall;
  if (lower.find(L"/install") != std::wstring::npos) return Action::Install;
  return Action::None;
}

std::wstring FolderOfModulePath(const std::wstring& modulePath) {
  size_t slash = modulePath.rfind(L'\\');
  if (slash == std::wstring::npos) return L"";
  std::wstring folder = modulePath.substr(0, slash + 1);
  const bool drive = folder.size() >= 3 && std::iswalpha(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
  const bool unc = folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'\\';
  return drive || unc ? folder : L"";
}

std::vector<DriverCall> DriverCalls(Action action, const std::string& folder) {
  static const struct {
    const char* service;
    const char* file;
  } kDrivers[] = {{"KYTNTIO", "KYTNTIO.SYS"}, {"MAPMEM", "MAPMEM.SYS"}, {"TOVPORT", "Wistral\\TOVPORT.SYS"}};
  std::vector<DriverCall> calls;
  if (action == Action::None) return calls;
  for (const auto& d : kDrivers)
    calls.push_back({d.service, action == Action::Install ? folder + d.file : std::string("remove")});
  return calls;
}

}  // namespace glavon
