// The Quorrel control: no properties, methods or events. Creating it starts
// the machine's information server (when none runs yet); destroying the
// control that started it closes the server again.
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
  CQuorrelCtrl() : AxControl(Identity()) { ownsServer_ = quorrel::StartQuorrelServer(appkit::ThisModule()); }
  ~CQuorrelCtrl() override {
    // Only the control that started the server closes it; a second control
    // in the same process leaves it to its owner.
    if (ownsServer_) quorrel::StopQuorrelServer();
  }
  static IUnknown* Create() { return static_cast<IDispatch*>(new CQuorrelCtrl()); }

 protected:
  void OnDraw(HDC dc, const RECT& bounds) override {
    ::FillRect(dc, &bounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::Ellipse(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  }

 private:
  bool ownsServer_ = false;
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
