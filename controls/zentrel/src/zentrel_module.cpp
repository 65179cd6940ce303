// The control module: its runner, its two classes and their registration.
#include <windows.h>
#include <olectl.h>

#include "appkit/axcontrol.h"
#include "runner.h"
#include "suite/controls.h"
#include "zentrel_ctrl.h"

namespace {

// The property page: dialog 200, caption string 162; it holds no properties.
class CZentrelPropPage : public appkit::AxPropertyPage {
 public:
  CZentrelPropPage() : AxPropertyPage(200, 162) {}
  static IUnknown* Create() { return new CZentrelPropPage(); }
};

CZentrelRunner g_runner;

const appkit::AxClassEntry kClasses[] = {
    {appkit::AxClassEntry::kControl, suite::kControls[suite::kCtlZentrel].clsid,
     suite::kControls[suite::kCtlZentrel].progId, 160, suite::kControlMiscStatus, 1, &CZentrelCtrl::Create},
    {appkit::AxClassEntry::kPropertyPage, suite::kControls[suite::kCtlZentrel].pageClsid, nullptr, 161, 0, 0,
     &CZentrelPropPage::Create},
};

const appkit::AxServer kServer{kClasses, sizeof(kClasses) / sizeof(kClasses[0]),
                               suite::kControls[suite::kCtlZentrel].typeLibId, suite::kControlTypeLibMajor,
                               suite::kControlTypeLibMinor};

}  // namespace

CZentrelRunner& ZentrelRunner() { return g_runner; }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && !reserved) appkit::AxModuleDetach();
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return appkit::AxGetClassObject(kServer, clsid, riid, ppv);
}
STDAPI DllCanUnloadNow() { return appkit::AxCanUnloadNow(); }
STDAPI DllRegisterServer() { return appkit::AxRegisterServer(kServer); }
STDAPI DllUnregisterServer() { return appkit::AxUnregisterServer(kServer); }
