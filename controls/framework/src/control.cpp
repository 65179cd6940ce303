#include "ctlfw/control.h"

#include <cstdio>

#include "appkit/text.h"
#include "ctlfw/rules.h"
#include "ctlfw/runner.h"

namespace ctlfw {

namespace {

CTestCtrl* g_initialised = nullptr;

appkit::AxControlIdentity AxIdentity(const suite::ControlIdentity& id) {
  return appkit::AxControlIdentity{id.clsid,   id.dispatchIid, id.eventIid, id.typeLibId, suite::kControlTypeLibMajor,
                                   suite::kControlTypeLibMinor, suite::kControlMiscStatus};
}

// The result list as GetProp reads it.
class ListBoxLines : public ResultList {
 public:
  explicit ListBoxLines(HWND list) : list_(list) {}
  int Count() const override { return (int)::SendMessageW(list_, LB_GETCOUNT, 0, 0); }
  int TextLength(int i) const override { return (int)::SendMessageW(list_, LB_GETTEXTLEN, (WPARAM)i, 0); }
  std::string Text(int i) const override {
    int len = TextLength(i);
    if (len < 0) return {};
    std::wstring buf((size_t)len + 1, L'\0');
    int got = (int)::SendMessageW(list_, LB_GETTEXT, (WPARAM)i, (LPARAM)buf.data());
    if (got < 0) return {};
    buf.resize((size_t)(got <= len ? got : len));
    return appkit::Narrow(buf);
  }

 private:
  HWND list_;
};

// The property page: dialog 200 with the caption string 162; no properties.
class CTestPropPage : public appkit::AxPropertyPage {
 public:
  CTestPropPage() : AxPropertyPage(kPropPageDialogId, kPageCaptionStringId) {}
};

IUnknown* CreateControl() { return static_cast<IDispatch*>(new CTestCtrl(ModuleIdentity(), ModuleRunner())); }
IUnknown* CreatePage() { return new CTestPropPage(); }

}  // namespace

const appkit::AxServer& ModuleServer() {
  static const suite::ControlIdentity& id = ModuleIdentity();
  static const appkit::AxClassEntry classes[] = {
      {appkit::AxClassEntry::kControl, id.clsid, id.progId, kTypeNameStringId, suite::kControlMiscStatus,
       kToolboxBitmapId, &CreateControl},
      {appkit::AxClassEntry::kPropertyPage, id.pageClsid, nullptr, kPageTypeNameStringId, 0, 0, &CreatePage},
  };
  static const appkit::AxServer server{classes, sizeof(classes) / sizeof(classes[0]), id.typeLibId,
                                       suite::kControlTypeLibMajor, suite::kControlTypeLibMinor};
  return server;
}

CTestCtrl::CTestCtrl(const suite::ControlIdentity& identity, TestRunner& runner)
    : AxControl(AxIdentity(identity)), runner_(runner) {
  using Args = appkit::DispatchTable::Args;
  SetPropertyPages({identity.pageClsid});
  methods().AddBool(suite::kDispInit, L"Init", 1, [this](const Args& a) { return Init(a[0]); });
  methods().AddBool(suite::kDispSetProp, L"SetProp", 2, [this](const Args& a) { return SetProp(a[0], a[1]); });
  methods().AddBool(suite::kDispDoTest, L"DoTest", 1, [this](const Args& a) { return DoTest(a[0]); });
  methods().AddBool(suite::kDispIsRunning, L"IsRunning", 0, [this](const Args&) { return IsRunning(); });
  methods().AddBool(suite::kDispAbort, L"Abort", 0, [this](const Args&) { return Abort(); });
  methods().AddString(suite::kDispGetProp, L"GetProp", 1, [this](const Args& a) { return GetProp(a[0]); });
}

CTestCtrl::~CTestCtrl() {
  // Initialised without ever having a window (no WM_DESTROY came): the sheet
  // object still goes, or no control of this process could initialise again.
  if (g_initialised == this) {
    runner_.Cleanup();
    g_initialised = nullptr;
  }
}

CTestCtrl* CTestCtrl::Initialised() { return g_initialised; }

BOOL CTestCtrl::Init(const std::string& cmdLine) {
  if (g_initialised) return FALSE;
  if (hwnd()) ::SetWindowLongW(hwnd(), GWL_EXSTYLE, ::GetWindowLongW(hwnd(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  BOOL ok = runner_.Init(hwnd(), cmdLine);
  if (ok) g_initialised = this;
  return ok;
}

BOOL CTestCtrl::SetProp(const std::string& name, const std::string& value) {
  runner_.ServeOwnSheet();
  return runner_.SetProp(name, value);
}
BOOL CTestCtrl::DoTest(const std::string&) { return runner_.DoTest(); }
BOOL CTestCtrl::IsRunning() { return runner_.IsRunning(); }
BOOL CTestCtrl::Abort() { return runner_.Abort(); }

std::string CTestCtrl::GetProp(const std::string& name) {
  runner_.ServeOwnSheet();
  HWND list = runner_.ActivePageList();
  if (list && !::IsWindow(list)) list = nullptr;
  ListBoxLines lines(list);
  return GetPropValue(name, runner_.Title(), list ? &lines : nullptr);
}

void CTestCtrl::FireDone(const std::string& result) { FireEvent(suite::kEventDone, {appkit::Widen(result)}); }

void CTestCtrl::OnDestroy() {
  // The sheet belongs to the initialised control: another instance going
  // must not tear down the sheet that lives in the first one's window.
  if (g_initialised != this) return;
  runner_.Cleanup();
  // The sheet is gone with this window: a control created later in this
  // process may initialise again, even while this object still lives.
  g_initialised = nullptr;
}

void CTestCtrl::OnDraw(HDC dc, const RECT& bounds) {
  ::FillRect(dc, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
  RECT rc = bounds;
  ::DrawEdge(dc, &rc, EDGE_SUNKEN, BF_LEFT | BF_BOTTOM);
  rc = bounds;
  ::DrawEdge(dc, &rc, EDGE_SUNKEN, BF_TOP | BF_RIGHT);
}

bool CTestCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg != suite::WM_TESTDONE) return false;
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%d", (int)wp);
  FireDone(buf);
  *result = 1;
  return true;
}

}  // namespace ctlfw
