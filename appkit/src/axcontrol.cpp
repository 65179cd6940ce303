#include "appkit/axcontrol.h"

#include "appkit/binding.h"
#include "appkit/paths.h"
#include "appkit/text.h"

namespace appkit {

namespace {

LONG g_moduleLocks = 0;
const wchar_t kControlClass[] = L"HalvixAxControl";
bool g_classRegistered = false;

// Converts one argument to an ANSI string; false when it cannot be one.
bool ArgToString(VARIANTARG* arg, std::string* out) {
  VARIANT tmp;
  ::VariantInit(&tmp);
  if (FAILED(::VariantChangeType(&tmp, arg, 0, VT_BSTR))) {
    ::VariantClear(&tmp);
    return false;
  }
  std::wstring w = tmp.bstrVal ? std::wstring(tmp.bstrVal, ::SysStringLen(tmp.bstrVal)) : std::wstring();
  ::VariantClear(&tmp);
  *out = Narrow(w);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
void AxModuleLock() { ::InterlockedIncrement(&g_moduleLocks); }
void AxModuleUnlock() { ::InterlockedDecrement(&g_moduleLocks); }
LONG AxModuleLockCount() { return ::InterlockedCompareExchange(&g_moduleLocks, 0, 0); }

// ---------------------------------------------------------------------------
void DispatchTable::AddBool(DISPID id, const wchar_t* name, unsigned argc, BoolMethod fn) {
  entries_.push_back(Entry{id, name, argc, std::move(fn), nullptr});
}

void DispatchTable::AddString(DISPID id, const wchar_t* name, unsigned argc, StringMethod fn) {
  entries_.push_back(Entry{id, name, argc, nullptr, std::move(fn)});
}

const DispatchTable::Entry* DispatchTable::Find(DISPID id) const {
  for (const Entry& e : entries_)
    if (e.id == id) return &e;
  return nullptr;
}

HRESULT DispatchTable::IdOfName(const wchar_t* name, DISPID* id) const {
  for (const Entry& e : entries_) {
    if (name && ::lstrcmpiW(e.name.c_str(), name) == 0) {
      *id = e.id;
      return S_OK;
    }
  }
  *id = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchTable::Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) const {
  const Entry* e = Find(id);
  if (!e || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  UINT given = params ? params->cArgs : 0;
  if (params && params->cNamedArgs) return DISP_E_NONAMEDARGS;
  if (given != e->argc) return DISP_E_BADPARAMCOUNT;
  Args args(given);
  for (UINT i = 0; i < given; ++i) {
    // Arguments are stored last first.
    UINT slot = given - 1 - i;
    if (!ArgToString(&params->rgvarg[slot], &args[i])) {
      if (argErr) *argErr = slot;
      return DISP_E_TYPEMISMATCH;
    }
  }
  if (e->onBool) {
    BOOL r = e->onBool(args);
    if (result) {
      ::VariantInit(result);
      result->vt = VT_BOOL;
      result->boolVal = r ? VARIANT_TRUE : VARIANT_FALSE;
    }
  } else {
    std::string s = e->onString(args);
    if (result) {
      ::VariantInit(result);
      result->vt = VT_BSTR;
      std::wstring w = Widen(s);
      result->bstrVal = ::SysAllocStringLen(w.data(), (UINT)w.size());
      if (!result->bstrVal) return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

// ---------------------------------------------------------------------------
// The one connection point of a control: its event interface. Its life is
// the control's: references go to the control.
class AxControl::EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(AxControl* owner) : owner_(owner) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
      *ppv = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = owner_->identity_.eventIid;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** cpc) override {
    if (!cpc) return E_POINTER;
    *cpc = owner_;
    owner_->AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    IDispatch* disp = nullptr;
    if (FAILED(sink->QueryInterface(owner_->identity_.eventIid, reinterpret_cast<void**>(&disp))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))))
      return CONNECT_E_CANNOTCONNECT;
    *cookie = owner_->nextCookie_++;
    owner_->sinks_[*cookie] = disp;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    auto it = owner_->sinks_.find(cookie);
    if (it == owner_->sinks_.end()) return CONNECT_E_NOCONNECTION;
    IDispatch* disp = it->second;
    owner_->sinks_.erase(it);
    disp->Release();
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** e) override { return E_NOTIMPL; }

 private:
  AxControl* owner_;
};

// ---------------------------------------------------------------------------
AxControl::AxControl(const AxControlIdentity& identity) : MessageRoot(BoundKind::Control), identity_(identity) {
  AxModuleLock();
  eventPoint_ = new EventPoint(this);
}

AxControl::~AxControl() {
  for (auto& s : sinks_) s.second->Release();
  sinks_.clear();
  delete eventPoint_;
  if (inPlaceSite_) inPlaceSite_->Release();
  if (site_) site_->Release();
  AxModuleUnlock();
}

STDMETHODIMP AxControl::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == identity_.dispatchIid)
    *ppv = static_cast<IDispatch*>(this);
  else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
    *ppv = static_cast<IProvideClassInfo2*>(this);
  else if (riid == IID_IConnectionPointContainer)
    *ppv = static_cast<IConnectionPointContainer*>(this);
  else if (riid == IID_IOleObject)
    *ppv = static_cast<IOleObject*>(this);
  else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
    *ppv = static_cast<IOleInPlaceObject*>(this);
  else if (riid == IID_IOleInPlaceActiveObject)
    *ppv = static_cast<IOleInPlaceActiveObject*>(this);
  else if (riid == IID_IViewObject || riid == IID_IViewObject2)
    *ppv = static_cast<IViewObject2*>(this);
  else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
    *ppv = static_cast<IPersistStreamInit*>(this);
  else if (riid == IID_IPersistPropertyBag)
    *ppv = static_cast<IPersistPropertyBag*>(this);
  else if (riid == IID_IOleControl)
    *ppv = static_cast<IOleControl*>(this);
  else if (riid == IID_ISpecifyPropertyPages)
    *ppv = static_cast<ISpecifyPropertyPages*>(this);
  if (!*ppv) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) AxControl::AddRef() { return (ULONG)::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) AxControl::Release() {
  LONG r = ::InterlockedDecrement(&refs_);
  if (r == 0) {
    // Keep the object alive while its window goes (WM_DESTROY may call out).
    refs_ = 1;
    DestroyControlWindow();
    delete this;
  }
  return (ULONG)r;
}

// --- IDispatch ---------------------------------------------------------------
HRESULT AxControl::LoadTypeInfo(REFGUID guid, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ITypeLib* lib = nullptr;
  HRESULT hr = ::LoadRegTypeLib(identity_.typeLibId, identity_.typeLibMajor, identity_.typeLibMinor, 0, &lib);
  if (FAILED(hr)) hr = ::LoadTypeLibEx(ModulePath(ThisModule()).c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  hr = lib->GetTypeInfoOfGuid(guid, info);
  lib->Release();
  return hr;
}

STDMETHODIMP AxControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP AxControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  if (index != 0) return DISP_E_BADINDEX;
  return LoadTypeInfo(identity_.dispatchIid, info);
}

STDMETHODIMP AxControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    if (i == 0) {
      if (FAILED(methods_.IdOfName(names[0], &ids[0]))) hr = DISP_E_UNKNOWNNAME;
    } else {
      ids[i] = DISPID_UNKNOWN;  // parameter names are not resolved
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

STDMETHODIMP AxControl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  AddRef();  // a method may destroy the host's last reference indirectly
  HRESULT hr = methods_.Invoke(id, flags, params, result, argErr);
  Release();
  return hr;
}

// --- IProvideClassInfo2 -----------------------------------------------------
STDMETHODIMP AxControl::GetClassInfo(ITypeInfo** info) { return LoadTypeInfo(identity_.clsid, info); }

STDMETHODIMP AxControl::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *guid = identity_.eventIid;
  return S_OK;
}

// --- IConnectionPointContainer ------------------------------------------------
STDMETHODIMP AxControl::EnumConnectionPoints(IEnumConnectionPoints** e) {
  if (e) *e = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP AxControl::FindConnectionPoint(REFIID riid, IConnectionPoint** cp) {
  if (!cp) return E_POINTER;
  *cp = nullptr;
  if (riid != identity_.eventIid) return CONNECT_E_NOCONNECTION;
  *cp = eventPoint_;
  AddRef();
  return S_OK;
}

void AxControl::FireEvent(DISPID id, const std::vector<std::wstring>& args) {
  std::vector<VARIANTARG> v(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    VARIANTARG& a = v[args.size() - 1 - i];  // last argument first
    ::VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = ::SysAllocStringLen(args[i].data(), (UINT)args[i].size());
  }
  DISPPARAMS dp{v.empty() ? nullptr : v.data(), nullptr, (UINT)v.size(), 0};
  // A sink may unadvise (or release the control) while it is called.
  std::vector<IDispatch*> targets;
  for (auto& s : sinks_) {
    s.second->AddRef();
    targets.push_back(s.second);
  }
  AddRef();
  for (IDispatch* d : targets) {
    d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
    d->Release();
  }
  for (VARIANTARG& a : v) ::VariantClear(&a);
  Release();
}

// --- IOleObject -------------------------------------------------------------
STDMETHODIMP AxControl::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

STDMETHODIMP AxControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

STDMETHODIMP AxControl::Close(DWORD saveOption) {
  InPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP AxControl::DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                               LPCRECT rect) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE: {
      if (site && !site_) SetClientSite(site);
      HRESULT hr = ActivateInPlace(parent, rect);
      if (SUCCEEDED(hr) && verb != OLEIVERB_INPLACEACTIVATE) ::ShowWindow(hwnd(), SW_SHOW);
      return hr;
    }
    case OLEIVERB_HIDE:
      if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP AxControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP AxControl::GetUserType(DWORD form, LPOLESTR* type) {
  return ::OleRegGetUserType(identity_.clsid, form, type);
}

STDMETHODIMP AxControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP AxControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP AxControl::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (!status) return E_POINTER;
  *status = identity_.miscStatus;
  return S_OK;
}

// --- in-place activation ------------------------------------------------------
HRESULT AxControl::ActivateInPlace(HWND parentHint, LPCRECT rectHint) {
  if (hwnd()) return S_OK;
  if (!site_) return E_UNEXPECTED;
  IOleInPlaceSite* ips = nullptr;
  if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&ips)))) return E_NOINTERFACE;
  if (ips->CanInPlaceActivate() != S_OK) {
    ips->Release();
    return E_FAIL;
  }
  ips->OnInPlaceActivate();
  HWND parent = nullptr;
  if (FAILED(ips->GetWindow(&parent)) || !parent) parent = parentHint;
  RECT pos{0, 0, 0, 0}, clip{0, 0, 0, 0};
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* doc = nullptr;
  OLEINPLACEFRAMEINFO fi{};
  fi.cb = sizeof(fi);
  if (SUCCEEDED(ips->GetWindowContext(&frame, &doc, &pos, &clip, &fi))) {
    if (frame) frame->Release();
    if (doc) doc->Release();
  } else if (rectHint) {
    pos = *rectHint;
  }
  HINSTANCE inst = ThisModule();
  if (!g_classRegistered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &AxControl::WindowProc;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kControlClass;
    if (::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) g_classRegistered = true;
  }
  inPlaceSite_ = ips;  // keeps the reference
  HWND h = ::CreateWindowExW(0, kControlClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                             pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, inst,
                             this);
  if (!h) {
    inPlaceSite_ = nullptr;
    ips->OnInPlaceDeactivate();
    ips->Release();
    return E_FAIL;
  }
  return S_OK;
}

void AxControl::DestroyControlWindow() {
  if (hwnd() && ::IsWindow(hwnd())) ::DestroyWindow(hwnd());
  Detach();
}

STDMETHODIMP AxControl::GetWindow(HWND* hwnd) {
  if (!hwnd) return E_POINTER;
  *hwnd = MessageRoot::hwnd();
  return *hwnd ? S_OK : E_FAIL;
}

STDMETHODIMP AxControl::InPlaceDeactivate() {
  if (!inPlaceSite_ && !hwnd()) return S_OK;
  AddRef();
  DestroyControlWindow();
  if (IOleInPlaceSite* ips = inPlaceSite_) {
    inPlaceSite_ = nullptr;
    ips->OnInPlaceDeactivate();
    ips->Release();
  }
  Release();
  return S_OK;
}

STDMETHODIMP AxControl::UIDeactivate() { return S_OK; }

STDMETHODIMP AxControl::SetObjectRects(LPCRECT pos, LPCRECT clip) {
  if (!pos) return E_POINTER;
  if (hwnd()) ::MoveWindow(hwnd(), pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
  return S_OK;
}

LRESULT CALLBACK AxControl::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // WM_NCCREATE carries the control as the creation parameter.
  AxControl* candidate =
      msg == WM_NCCREATE ? static_cast<AxControl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams) : nullptr;
  auto* self = static_cast<AxControl*>(Enter(hwnd, BoundKind::Control, candidate));
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT r = self->HandleMessage(msg, wp, lp);
  Leave(hwnd, msg, self);
  return r;
}

LRESULT AxControl::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  switch (msg) {
    case WM_CREATE:
      if (!OnCreate()) return -1;
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT draws the whole surface
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      RECT rc;
      ::GetClientRect(hwnd(), &rc);
      OnDraw(dc, rc);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    default:
      break;
  }
  if (OnMessage(msg, wp, lp, &result)) return result;
  return ::DefWindowProcW(hwnd(), msg, wp, lp);
}

void AxControl::OnDraw(HDC dc, const RECT& bounds) {
  ::FillRect(dc, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
}

// --- IViewObject2 -----------------------------------------------------------
STDMETHODIMP AxControl::Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* td, HDC hdcTarget,
                             HDC hdc, LPCRECTL bounds, LPCRECTL wbounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                             ULONG_PTR contArg) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!hdc || !bounds) return E_INVALIDARG;
  RECT rc{bounds->left, bounds->top, bounds->right, bounds->bottom};
  OnDraw(hdc, rc);
  return S_OK;
}

STDMETHODIMP AxControl::GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* td, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// --- IPersist -------------------------------------------------------------------
STDMETHODIMP AxControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = identity_.clsid;
  return S_OK;
}

STDMETHODIMP AxControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

// --- IOleControl ------------------------------------------------------------------
STDMETHODIMP AxControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->cb = sizeof(CONTROLINFO);
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

// --- ISpecifyPropertyPages ---------------------------------------------------------
STDMETHODIMP AxControl::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (pages_.empty()) return S_OK;
  pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID) * pages_.size()));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (size_t i = 0; i < pages_.size(); ++i) pages->pElems[i] = pages_[i];
  pages->cElems = (ULONG)pages_.size();
  return S_OK;
}

// ---------------------------------------------------------------------------
void AxModuleDetach() {
  if (g_classRegistered) ::UnregisterClassW(kControlClass, ThisModule());
  g_classRegistered = false;
}

}  // namespace appkit
