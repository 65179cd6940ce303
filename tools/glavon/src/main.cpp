// Glavon: installs ("/install") or removes ("/uninstall") the suite's three
// kernel drivers on the NT family through the driver library "dastrel.dll",
// which it loads from the suite's folder by full path only. Window-less; the
// exit code tells whether every driver call succeeded.
#include <windows.h>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "installer.h"
#include "suite/info.h"

namespace {

typedef BOOL(WINAPI* InstallNTDriverFn)(const char* service, const char* pathOrRemove);

// The suite's folder: that of the main program's "ModulePath" when it names
// a full path, else the folder of this program (installed beside it).
std::wstring SuiteFolder() {
  std::wstring value;
  appkit::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey) && key.GetString(suite::kModulePathValue, &value)) {
    std::wstring folder = glavon::FolderOfModulePath(value);
    if (!folder.empty()) return folder;
  }
  return appkit::ModuleDir();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (appkit::IsWindows9x()) return glavon::kExitOk;
  const glavon::Action action = glavon::ParseAction(::GetCommandLineW());
  if (action == glavon::Action::None) return glavon::kExitOk;

  const std::wstring folder = SuiteFolder();
  // A full path, and the library's own folder for what it depends on.
  HMODULE lib = ::LoadLibraryExW((folder + L"dastrel.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!lib) return glavon::kExitNoLibrary;
  auto install = reinterpret_cast<InstallNTDriverFn>(::GetProcAddress(lib, "InstallNTDriver"));
  if (!install) {
    ::FreeLibrary(lib);
    return glavon::kExitNoLibrary;
  }
  int code = glavon::kExitOk;
  // One failing driver does not stop the others.
  for (const glavon::DriverCall& call : glavon::DriverCalls(action, appkit::Narrow(folder)))
    if (!install(call.service.c_str(), call.argument.c_str())) code = glavon::kExitDriverFailed;
  ::FreeLibrary(lib);
  return code;
}
