#include "appkit/paths.h"

#include <vector>

namespace appkit {

std::wstring ModulePath(HMODULE module) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(module, buf.data(), (DWORD)buf.size());
    if (n == 0) return {};
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

std::wstring ModuleDir(HMODULE module) {
  std::wstring p = ModulePath(module);
  size_t slash = p.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

std::wstring DirectoryPart(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ReplaceTail(const std::wstring& path, size_t n, const std::wstring& tail) {
  if (n > path.size()) n = path.size();
  return path.substr(0, path.size() - n) + tail;
}

bool FileExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

HMODULE ThisModule() {
  HMODULE m = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &m);
  return m;
}

std::wstring WindowsDir() {
  wchar_t buf[MAX_PATH];
  UINT n = ::GetWindowsDirectoryW(buf, MAX_PATH);
  return (n > 0 && n < MAX_PATH) ? std::wstring(buf, n) : std::wstring();
}

std::wstring SystemDir() {
  wchar_t buf[MAX_PATH];
  UINT n = ::GetSystemDirectoryW(buf, MAX_PATH);
  return (n > 0 && n < MAX_PATH) ? std::wstring(buf, n) : std::wstring();
}

}  // namespace appkit
