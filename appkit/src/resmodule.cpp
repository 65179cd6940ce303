#include "appkit/resmodule.h"

#include "appkit/paths.h"

namespace appkit {

std::wstring ResourceModulePathFor(const std::wstring& modulePath) {
  if (modulePath.size() < 5) return {};
  return ReplaceTail(modulePath, 4, L".DLL");
}

HINSTANCE LoadResourceModule(const std::wstring& path) {
  if (path.empty() || !FileExists(path)) return nullptr;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

void FreeResourceModule(HINSTANCE module) {
  if (module) ::FreeLibrary(module);
}

}  // namespace appkit
