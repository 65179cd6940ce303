#include "appkit/axhost.h"

#include "appkit/axcom.h"
#include "appkit/text.h"

namespace appkit {

AxArg::AxArg(const std::string& s) : kind(kString), text(Widen(s)) {}
AxArg::AxArg(const char* s) : kind(kString), text(Widen(s ? s : "")) {}

// ---------------------------------------------------------------------------
// Client site, in-place site and frame in one object.
class AxHost::Site : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(AxHost* host) : host_(host) {}
  void Detach() { host_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
      *ppv = static_cast<IOleInPlaceFrame*>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG r = ::InterlockedDecrement(&refs_);
    if (r == 0) delete this;
    return (ULONG)r;
  }
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow (site and frame answer the same window)
  STDMETHODIMP GetWindow(HWND* hwnd) override {
    if (!hwnd) return E_POINTER;
    *hwnd = host_ ? host_->parent_ : nullptr;
    return *hwnd ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return host_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !doc || !pos || !clip) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    if (host_) {
      *pos = host_->rect_;
      *clip = host_->rect_;
    }
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = host_ ? host_->parent_ : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
    if (rect && host_) host_->Move(*rect);
    return S_OK;
  }
  // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus, no tool space.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  virtual ~Site() = default;
  LONG refs_ = 1;
  AxHost* host_;
};

// ---------------------------------------------------------------------------
// Event sink: an IDispatch that answers for the event interface.
class AxHost::Sink : public ComObject<IDispatch> {
 public:
  Sink(REFIID iid, EventHandler handler) : ComObject(IID_IDispatch, iid), handler_(std::move(handler)) {}
  void Detach() { handler_ = nullptr; }

  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    std::vector<std::wstring> args;
    UINT n = params ? params->cArgs : 0;
    for (UINT i = 0; i < n; ++i) {
      VARIANT tmp;
      ::VariantInit(&tmp);
      std::wstring s;
      if (SUCCEEDED(::VariantChangeType(&tmp, &params->rgvarg[n - 1 - i], 0, VT_BSTR)) && tmp.bstrVal)
        s.assign(tmp.bstrVal, ::SysStringLen(tmp.bstrVal));
      ::VariantClear(&tmp);
      args.push_back(s);
    }
    if (result) ::VariantInit(result);
    EventHandler h = handler_;  // the handler may destroy the host
    if (h) h(id, args);
    return S_OK;
  }

 private:
  EventHandler handler_;
};

// ---------------------------------------------------------------------------
AxHost::AxHost() = default;
AxHost::~AxHost() { Destroy(); }

HRESULT AxHost::Create(const wchar_t* progId, HWND parent, const RECT& rect, UINT id, DWORD style) {
  CLSID clsid;
  HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  return Create(clsid, parent, rect, id, style);
}

HRESULT AxHost::Create(REFCLSID clsid, HWND parent, const RECT& rect, UINT id, DWORD style) {
  Destroy();
  parent_ = parent;
  rect_ = rect;
  HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&object_));
  if (FAILED(hr)) {
    object_ = nullptr;
    return hr;
  }
  hr = object_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole_));
  if (FAILED(hr)) {
    Destroy();
    return hr;
  }
  site_ = new Site(this);
  DWORD misc = 0;
  ole_->GetMiscStatus(DVASPECT_CONTENT, &misc);
  if (misc & OLEMISC_SETCLIENTSITEFIRST) ole_->SetClientSite(static_cast<IOleClientSite*>(site_));
  IPersistStreamInit* psi = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&psi)))) {
    psi->InitNew();
    psi->Release();
  }
  if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) ole_->SetClientSite(static_cast<IOleClientSite*>(site_));
  // Extent in HIMETRIC from the pixel rectangle.
  HDC dc = ::GetDC(parent);
  SIZEL ext{::MulDiv(rect.right - rect.left, 2540, ::GetDeviceCaps(dc, LOGPIXELSX)),
            ::MulDiv(rect.bottom - rect.top, 2540, ::GetDeviceCaps(dc, LOGPIXELSY))};
  ::ReleaseDC(parent, dc);
  ole_->SetExtent(DVASPECT_CONTENT, &ext);
  hr = ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, parent, &rect_);
  if (FAILED(hr)) {
    Destroy();
    return hr;
  }
  IOleInPlaceObject* ipo = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&ipo)))) {
    ipo->GetWindow(&controlWindow_);
    ipo->Release();
  }
  if (controlWindow_) {
    ::SetWindowLongPtrW(controlWindow_, GWLP_ID, (LONG_PTR)id);
    if (!(style & WS_VISIBLE)) ::ShowWindow(controlWindow_, SW_HIDE);
  }
  object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
  return S_OK;
}

void AxHost::Destroy() {
  UnsinkEvents();
  if (dispatch_) {
    dispatch_->Release();
    dispatch_ = nullptr;
  }
  if (object_) {
    IOleInPlaceObject* ipo = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&ipo)))) {
      ipo->InPlaceDeactivate();
      ipo->Release();
    }
  }
  if (ole_) {
    ole_->Close(OLECLOSE_NOSAVE);
    ole_->SetClientSite(nullptr);
    ole_->Release();
    ole_ = nullptr;
  }
  if (object_) {
    object_->Release();
    object_ = nullptr;
  }
  if (site_) {
    site_->Detach();
    static_cast<IOleClientSite*>(site_)->Release();
    site_ = nullptr;
  }
  controlWindow_ = nullptr;
}

void AxHost::Move(const RECT& rect) {
  rect_ = rect;
  if (!object_) return;
  IOleInPlaceObject* ipo = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&ipo)))) {
    ipo->SetObjectRects(&rect_, &rect_);
    ipo->Release();
  } else if (controlWindow_) {
    ::MoveWindow(controlWindow_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  }
}

HRESULT AxHost::Invoke(DISPID id, const std::vector<AxArg>& args, VARIANT* result, WORD flags) {
  if (result) ::VariantInit(result);
  if (!dispatch_) return E_UNEXPECTED;
  std::vector<VARIANTARG> v(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    VARIANTARG& a = v[args.size() - 1 - i];  // last argument first
    ::VariantInit(&a);
    if (args[i].kind == AxArg::kString) {
      a.vt = VT_BSTR;
      a.bstrVal = ::SysAllocStringLen(args[i].text.data(), (UINT)args[i].text.size());
    } else {
      a.vt = VT_I4;
      a.lVal = args[i].number;
    }
  }
  DISPPARAMS dp{v.empty() ? nullptr : v.data(), nullptr, (UINT)v.size(), 0};
  UINT argErr = 0;
  HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, nullptr, &argErr);
  for (VARIANTARG& a : v) ::VariantClear(&a);
  return hr;
}

bool AxHost::CallBool(DISPID id, const std::vector<AxArg>& args, HRESULT* hrOut) {
  VARIANT r;
  HRESULT hr = Invoke(id, args, &r);
  if (hrOut) *hrOut = hr;
  bool value = false;
  if (SUCCEEDED(hr)) {
    VARIANT b;
    ::VariantInit(&b);
    if (SUCCEEDED(::VariantChangeType(&b, &r, 0, VT_BOOL))) value = b.boolVal != VARIANT_FALSE;
    ::VariantClear(&b);
  }
  ::VariantClear(&r);
  return value;
}

std::string AxHost::CallString(DISPID id, const std::vector<AxArg>& args, HRESULT* hrOut) {
  VARIANT r;
  HRESULT hr = Invoke(id, args, &r);
  if (hrOut) *hrOut = hr;
  std::string value;
  if (SUCCEEDED(hr)) {
    VARIANT s;
    ::VariantInit(&s);
    if (SUCCEEDED(::VariantChangeType(&s, &r, 0, VT_BSTR)) && s.bstrVal)
      value = Narrow(std::wstring(s.bstrVal, ::SysStringLen(s.bstrVal)));
    ::VariantClear(&s);
  }
  ::VariantClear(&r);
  return value;
}

HRESULT AxHost::SinkEvents(REFIID eventIid, EventHandler handler) {
  UnsinkEvents();
  if (!object_) return E_UNEXPECTED;
  IID iid = eventIid;
  if (iid == IID_NULL) {
    IProvideClassInfo2* pci = nullptr;
    if (FAILED(object_->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&pci))))
      return E_NOINTERFACE;
    HRESULT hr = pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid);
    pci->Release();
    if (FAILED(hr)) return hr;
  }
  IConnectionPointContainer* cpc = nullptr;
  HRESULT hr = object_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
  if (FAILED(hr)) return hr;
  hr = cpc->FindConnectionPoint(iid, &point_);
  cpc->Release();
  if (FAILED(hr)) {
    point_ = nullptr;
    return hr;
  }
  sink_ = new Sink(iid, std::move(handler));
  hr = point_->Advise(static_cast<IDispatch*>(sink_), &cookie_);
  if (FAILED(hr)) UnsinkEvents();
  return hr;
}

void AxHost::UnsinkEvents() {
  if (point_) {
    if (cookie_) point_->Unadvise(cookie_);
    point_->Release();
    point_ = nullptr;
  }
  cookie_ = 0;
  if (sink_) {
    sink_->Detach();
    sink_->Release();
    sink_ = nullptr;
  }
}

}  // namespace appkit
