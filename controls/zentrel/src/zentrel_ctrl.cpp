#include "zentrel_ctrl.h"

#include <cstdio>

#include "appkit/text.h"
#include "getprop.h"
#include "runner.h"
#include "suite/controls.h"

namespace {

CZentrelCtrl* g_initialised = nullptr;

const suite::ControlIdentity& Id() { return suite::Control(suite::kCtlZentrel); }

appkit::AxControlIdentity Identity() {
  return appkit::AxControlIdentity{Id().clsid,        Id().dispatchIid,          Id().eventIid,
                                   Id().typeLibId,    suite::kControlTypeLibMajor, suite::kControlTypeLibMinor,
                                   suite::kControlMiscStatus};
}

// The result list as GetProp reads it.
class ListBoxLines : public zentrel::ResultList {
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

}  // namespace

CZentrelCtrl::CZentrelCtrl() : AxControl(Identity()) {
  using Args = appkit::DispatchTable::Args;
  SetPropertyPages({Id().pageClsid});
  methods().AddBool(suite::kDispInit, L"Init", 1, [this](const Args& a) { return Init(a[0]); });
  methods().AddBool(suite::kDispSetProp, L"SetProp", 2, [this](const Args& a) { return SetProp(a[0], a[1]); });
  methods().AddBool(suite::kDispDoTest, L"DoTest", 1, [this](const Args& a) { return DoTest(a[0]); });
  methods().AddBool(suite::kDispIsRunning, L"IsRunning", 0, [this](const Args&) { return IsRunning(); });
  methods().AddBool(suite::kDispAbort, L"Abort", 0, [this](const Args&) { return Abort(); });
  methods().AddString(suite::kDispGetProp, L"GetProp", 1, [this](const Args& a) { return GetProp(a[0]); });
}

CZentrelCtrl::~CZentrelCtrl() {
  // Initialised without ever having a window (no WM_DESTROY came): the sheet
  // object still goes, or no control of this process could initialise again.
  if (g_initialised == this) {
    ZentrelRunner().Cleanup();
    g_initialised = nullptr;
  }
}

IUnknown* CZentrelCtrl::Create() { return static_cast<IDispatch*>(new CZentrelCtrl()); }

CZentrelCtrl* CZentrelCtrl::Initialised() { return g_initialised; }

BOOL CZentrelCtrl::Init(const std::string& cmdLine) {
  if (g_initialised) return FALSE;
  if (hwnd()) ::SetWindowLongW(hwnd(), GWL_EXSTYLE, ::GetWindowLongW(hwnd(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  BOOL ok = ZentrelRunner().Init(hwnd(), cmdLine);
  if (ok) g_initialised = this;
  return ok;
}

BOOL CZentrelCtrl::SetProp(const std::string& name, const std::string& value) {
  return ZentrelRunner().SetProp(name, value);
}

BOOL CZentrelCtrl::DoTest(const std::string&) { return ZentrelRunner().DoTest(); }
BOOL CZentrelCtrl::IsRunning() { return ZentrelRunner().IsRunning(); }
BOOL CZentrelCtrl::Abort() { return ZentrelRunner().Abort(); }

std::string CZentrelCtrl::GetProp(const std::string& name) {
  HWND list = ZentrelRunner().ActivePageList();
  if (list && !::IsWindow(list)) list = nullptr;
  ListBoxLines lines(list);
  return zentrel::GetPropValue(name, ZentrelRunner().Title(), list ? &lines : nullptr);
}

void CZentrelCtrl::FireDone(const std::string& result) {
  FireEvent(suite::kEventDone, {appkit::Widen(result)});
}

void CZentrelCtrl::OnDestroy() {
  // The sheet belongs to the initialised control: another instance going
  // must not tear down the sheet that lives in the first one's window.
  if (g_initialised != this) return;
  ZentrelRunner().Cleanup();
  // The sheet is gone with this window: a control created later in this
  // process may initialise again, even while this object still lives.
  g_initialised = nullptr;
}

void CZentrelCtrl::OnDraw(HDC dc, const RECT& bounds) {
  ::FillRect(dc, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
  RECT rc = bounds;
  ::DrawEdge(dc, &rc, EDGE_SUNKEN, BF_LEFT | BF_BOTTOM);
  rc = bounds;
  ::DrawEdge(dc, &rc, EDGE_SUNKEN, BF_TOP | BF_RIGHT);
}

bool CZentrelCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg != suite::WM_TESTDONE) return false;
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%d", (int)wp);
  FireDone(buf);
  *result = 1;
  return true;
}
