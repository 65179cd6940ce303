// The Quorrel control: no properties, methods or events. Creating it starts
// the machine's information server (when none runs yet); while it lives it
// starts one again when the machine's server has gone; the last control of
// the process that runs the server closes it.
#include <windows.h>
#include <olectl.h>

#include "appkit/axcontrol.h"
#include "appkit/paths.h"
#include "module.h"
#include "resource.h"
#include "suite/controls.h"

namespace {

const suite::ControlIdentity& Id() { return suite::Control(suite::kCtlQuorrel); }

appkit::AxControlIdentity Identity() {
  return appkit::AxControlIdentity{Id().clsid,     Id().dispatchIid,          Id().eventIid,
                                   Id().typeLibId, suite::kControlTypeLibMajor, suite::kControlTypeLibMinor,
                                   suite::kControlMiscStatus};
}

class CQuorrelCtrl : public appkit::AxControl {
 public:
  CQuorrelCtrl() : AxControl(Identity()) { quorrel::AttachQuorrelControl(appkit::ThisModule()); }
  // The server this process runs closes with the last control; while any
  // control lives, the process starts a server when the machine has none.
  ~CQuorrelCtrl() override { quorrel::DetachQuorrelControl(); }
  static IUnknown* Create() { return static_cast<IDispatch*>(new CQuorrelCtrl()); }

 protected:
  void OnDraw(HDC dc, const RECT& bounds) override {
    ::FillRect(dc, &bounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::Ellipse(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  }
};

class CQuorrelPropPage : public appkit::AxPropertyPage {
 public:
  CQuorrelPropPage() : AxPropertyPage(200, IDS_QUORREL_PAGE_CAPTION) {}
  static IUnknown* Create() { return new CQuorrelPropPage(); }
};

const appkit::AxClassEntry kClasses[] = {
    {appkit::AxClassEntry::kControl, Id().clsid, Id().progId, IDS_QUORREL_TYPENAME, suite::kControlMiscStatus, 1, &CQuorrelCtrl::Create},
    {appkit::AxClassEntry::kPropertyPage, Id().pageClsid, Id().pageProgId, IDS_QUORREL_PAGE_TYPENAME, 0, 0, &CQuorrelPropPage::Create},
};

const appkit::AxServer kServer{kClasses, sizeof(kClasses) / sizeof(kClasses[0]), Id().typeLibId,
                               suite::kControlTypeLibMajor, suite::kControlTypeLibMinor};

}  // namespace

APPKIT_AX_MODULE_EXPORTS(kServer)
