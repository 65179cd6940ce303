// The control module: its two classes, their registration and the unload check.
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

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && !reserved) appkit::AxModuleDetach();
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return appkit::AxGetClassObject(kServer, clsid, riid, ppv);
}
// Neither while objects live nor while a page's worker thread still runs.
STDAPI DllCanUnloadNow() { return ctlfw::LiveWorkerCount() > 0 ? S_FALSE : appkit::AxCanUnloadNow(); }
STDAPI DllRegisterServer() { return appkit::AxRegisterServer(kServer); }
STDAPI DllUnregisterServer() { return appkit::AxUnregisterServer(kServer); }
