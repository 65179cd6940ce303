// The control module: its two classes, their registration and the unload check.
#include <windows.h>
#include <olectl.h>

#include "appkit/axcontrol.h"
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

APPKIT_AX_MODULE_EXPORTS(kServer)
