// Module side of the control base: class factory, registration and the unload
// check, plus the minimal property page object.
#include "appkit/axcontrol.h"

#include "appkit/axcom.h"
#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/text.h"

namespace appkit {

namespace {

const wchar_t kClassesRoot[] = L"Software\\Classes\\";

class ClassFactory : public ComObject<IClassFactory> {
 public:
  explicit ClassFactory(AxCreateFn create) : ComObject(IID_IClassFactory), create_(create) { AxModuleLock(); }
  ~ClassFactory() override { AxModuleUnlock(); }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* obj = create_();
    if (!obj) return E_OUTOFMEMORY;
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) AxModuleLock();
    else AxModuleUnlock();
    return S_OK;
  }

 private:
  AxCreateFn create_;
};

std::wstring TypeNameOf(const AxClassEntry& entry) {
  std::wstring name = LoadStr(entry.typeNameId, ThisModule());
  return name;
}

}  // namespace

std::wstring GuidString(REFGUID guid) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(guid, buf, 64);
  return buf;
}

HRESULT AxGetClassObject(const AxServer& server, REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < server.classCount; ++i) {
    const AxClassEntry& e = server.classes[i];
    if (e.clsid != clsid) continue;
    ClassFactory* f = new ClassFactory(e.create);
    HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT AxCanUnloadNow() { return AxModuleLockCount() == 0 ? S_OK : S_FALSE; }

std::vector<std::wstring> AxClassKeys(const AxClassEntry& entry) {
  std::vector<std::wstring> keys;
  keys.push_back(L"CLSID\\" + GuidString(entry.clsid));
  if (entry.progId) keys.push_back(entry.progId);
  return keys;
}

std::vector<AxRegValue> AxClassRegistration(const AxClassEntry& entry, const AxServer& server,
                                            const std::wstring& modulePath, const std::wstring& typeName) {
  std::vector<AxRegValue> v;
  const std::wstring clsidKey = L"CLSID\\" + GuidString(entry.clsid);
  v.push_back({clsidKey, L"", typeName});
  v.push_back({clsidKey + L"\\InprocServer32", L"", modulePath});
  v.push_back({clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
  if (entry.progId) {
    v.push_back({clsidKey + L"\\ProgID", L"", entry.progId});
    v.push_back({entry.progId, L"", typeName});
    v.push_back({std::wstring(entry.progId) + L"\\CLSID", L"", GuidString(entry.clsid)});
  }
  if (entry.kind == AxClassEntry::kControl) {
    v.push_back({clsidKey + L"\\Control", L"", L""});
    v.push_back({clsidKey + L"\\MiscStatus", L"", L"0"});
    v.push_back({clsidKey + L"\\MiscStatus\\1", L"", std::to_wstring(entry.miscStatus)});
    v.push_back({clsidKey + L"\\ToolboxBitmap32", L"", modulePath + L", " + std::to_wstring(entry.toolboxBitmapId)});
    v.push_back({clsidKey + L"\\TypeLib", L"", GuidString(server.typeLibId)});
    v.push_back({clsidKey + L"\\Version", L"",
                 std::to_wstring(server.typeLibMajor) + L"." + std::to_wstring(server.typeLibMinor)});
  }
  return v;
}

HRESULT AxRegisterServer(const AxServer& server) {
  const std::wstring path = ModulePath(ThisModule());
  ITypeLib* lib = nullptr;
  HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
  if (SUCCEEDED(hr)) {
    std::wstring dir = ModuleDir(ThisModule());
    hr = ::RegisterTypeLib(lib, const_cast<LPOLESTR>(path.c_str()), const_cast<LPOLESTR>(dir.c_str()));
    lib->Release();
  }
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  for (size_t i = 0; i < server.classCount; ++i) {
    const AxClassEntry& e = server.classes[i];
    for (const AxRegValue& r : AxClassRegistration(e, server, path, TypeNameOf(e))) {
      RegKey key;
      if (!key.Create(HKEY_LOCAL_MACHINE, kClassesRoot + r.key, KEY_WRITE) || !key.SetString(r.name, r.value))
        return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

HRESULT AxUnregisterServer(const AxServer& server) {
#ifdef _WIN64
  const SYSKIND sys = SYS_WIN64;
#else
  const SYSKIND sys = SYS_WIN32;
#endif
  // A library that is not registered is already gone.
  ITypeLib* lib = nullptr;
  if (SUCCEEDED(::LoadRegTypeLib(server.typeLibId, server.typeLibMajor, server.typeLibMinor, 0, &lib))) {
    lib->Release();
    if (FAILED(::UnRegisterTypeLib(server.typeLibId, server.typeLibMajor, server.typeLibMinor, 0, sys)))
      return SELFREG_E_TYPELIB;
  }
  bool ok = true;
  for (size_t i = 0; i < server.classCount; ++i) {
    for (const std::wstring& k : AxClassKeys(server.classes[i])) {
      RegKey probe;
      if (!probe.Open(HKEY_LOCAL_MACHINE, kClassesRoot + k)) continue;
      probe.Close();
      if (!RegDeleteTree(HKEY_LOCAL_MACHINE, kClassesRoot + k)) ok = false;
    }
  }
  return ok ? S_OK : SELFREG_E_CLASS;
}

// ---------------------------------------------------------------------------
AxPropertyPage::AxPropertyPage(UINT dialogId, UINT titleId)
    : ComObject(IID_IPropertyPage), dialogId_(dialogId), titleId_(titleId) {
  AxModuleLock();
}

AxPropertyPage::~AxPropertyPage() {
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  if (site_) site_->Release();
  AxModuleUnlock();
}

STDMETHODIMP AxPropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

INT_PTR CALLBACK AxPropertyPage::DialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

STDMETHODIMP AxPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL modal) {
  if (hwnd_) return S_OK;
  hwnd_ = ::CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(dialogId_), parent, &AxPropertyPage::DialogProc, 0);
  if (!hwnd_) return E_FAIL;
  if (rect) Move(rect);
  return S_OK;
}

STDMETHODIMP AxPropertyPage::Deactivate() {
  if (hwnd_) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  return S_OK;
}

STDMETHODIMP AxPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  std::wstring title = LoadStr(titleId_, ThisModule());
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = static_cast<LPOLESTR>(::CoTaskMemAlloc((title.size() + 1) * sizeof(wchar_t)));
  if (info->pszTitle) ::lstrcpyW(info->pszTitle, title.c_str());
  info->size.cx = 250;
  info->size.cy = 62;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

STDMETHODIMP AxPropertyPage::Show(UINT cmd) {
  if (hwnd_) ::ShowWindow(hwnd_, cmd);
  return S_OK;
}

STDMETHODIMP AxPropertyPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (hwnd_) ::MoveWindow(hwnd_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

}  // namespace appkit
