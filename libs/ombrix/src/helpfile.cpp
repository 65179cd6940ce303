#include "helpfile.h"

#include <cwctype>
#include <vector>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/shellopen.h"
#include "suite/info.h"

namespace ombrix {

namespace {
const wchar_t kViewerName[] = L"DGHELP.EXE";
}  // namespace

bool IsDrivePath(const std::wstring& path) {
  return path.size() >= 4 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

bool IsWebAddress(const std::wstring& path) {
  size_t colon = path.find(L':');
  if (colon == std::wstring::npos || colon < 2) return false;
  if (!std::iswalpha(path[0])) return false;
  for (size_t i = 1; i < colon; ++i) {
    wchar_t c = path[i];
    if (!std::iswalnum(c) && c != L'+' && c != L'-' && c != L'.') return false;
  }
  return true;
}

std::wstring SuiteDirFromModulePath(const std::wstring& modulePath) {
  size_t slash = modulePath.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : modulePath.substr(0, slash + 1);
}

AnchorSplit SplitAnchor(const std::wstring& path) {
  size_t hash = path.rfind(L'#');
  if (hash == std::wstring::npos) return {path, L""};
  return {path.substr(0, hash), path.substr(hash)};
}

std::wstring Quoted(const std::wstring& arg) {
  if (arg.find_first_of(L" \t") == std::wstring::npos) return arg;
  return L"\"" + arg + L"\"";
}

double DiskBytes(DWORD bytesPerSector, DWORD sectorsPerCluster, DWORD clusters) {
  return static_cast<double>(bytesPerSector) * (static_cast<double>(sectorsPerCluster) * clusters);
}

double LargeBytes(DWORD low, DWORD high) { return low + high * 4294967296.0; }

std::wstring SuiteDirectory() {
  return SuiteDirFromModulePath(
      appkit::RegReadString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, suite::kModulePathValue, L""));
}

std::wstring ShortPath(const std::wstring& path) {
  wchar_t buf[MAX_PATH];
  DWORD n = ::GetShortPathNameW(path.c_str(), buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::wstring(buf, n);
}

bool StartDetached(const std::wstring& commandLine) {
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
    return false;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

int OpenHelpText(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return 0;
  std::wstring helpText = path.substr(0, slash + 1) + L"help.txt";
  if (!appkit::FileExists(helpText)) return 0;
  return StartDetached(L"notepad.exe " + Quoted(helpText)) ? 1 : 0;
}

int LaunchHelpFile(const std::wstring& given, bool fallback) {
  std::wstring path = given;
  if (IsDrivePath(path)) {
    std::wstring s = ShortPath(path);
    if (!s.empty()) path = s;
  }
  if (fallback && !appkit::FileExists(path)) return OpenHelpText(path);

  // The suite's own help viewer, when installed.
  std::wstring suite = SuiteDirectory();
  if (!suite.empty() && appkit::FileExists(suite + kViewerName)) {
    std::wstring pageArg;
    if (IsWebAddress(path)) {
      pageArg = path;  // an address goes as it is
    } else {
      AnchorSplit parts = SplitAnchor(path);
      std::wstring s = ShortPath(parts.page);
      if (s.empty()) return 0;
      pageArg = s + parts.anchor;
    }
    return StartDetached(Quoted(suite + kViewerName) + L" -file:" + pageArg) ? 1 : 0;
  }

  // The default browser for ".htm" files.
  std::wstring browser = appkit::ClassOpenProgram(appkit::ExtensionClass(L".htm"));
  if (!browser.empty() && StartDetached(Quoted(browser) + L" " + Quoted(path))) return 1;

  return fallback ? OpenHelpText(path) : 0;
}

}  // namespace ombrix
