// ActiveX control base: an in-process control with a dispatch interface made
// from a table of methods by DISPID, an event interface through one
// connection point, in-place activation as a child window, and the module
// pieces every control DLL needs (class factory, self-registration,
// unload check). Only what our hosts and our controls use is implemented.
#pragma once
#include "appkit/msgroot.h"
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "appkit/axcom.h"

namespace appkit {

// ---------------------------------------------------------------------------
// Module-wide life count: live objects, LockServer locks and worker threads.
// DllCanUnloadNow answers S_OK only when it is zero.
void AxModuleLock();
void AxModuleUnlock();
LONG AxModuleLockCount();

// Held by a worker thread for its whole life so that the module stays loaded
// while the thread still runs its code.
class AxModuleLockHolder {
 public:
  AxModuleLockHolder() { AxModuleLock(); }
  ~AxModuleLockHolder() { AxModuleUnlock(); }
  AxModuleLockHolder(const AxModuleLockHolder&) = delete;
  AxModuleLockHolder& operator=(const AxModuleLockHolder&) = delete;
};

// ---------------------------------------------------------------------------
// Methods by DISPID. Arguments arrive as BSTR (or anything that converts to
// one) and are handed over as ANSI strings; results are BOOL or a string.
class DispatchTable {
 public:
  using Args = std::vector<std::string>;
  using BoolMethod = std::function<BOOL(const Args&)>;
  using StringMethod = std::function<std::string(const Args&)>;

  void AddBool(DISPID id, const wchar_t* name, unsigned argc, BoolMethod fn);
  void AddString(DISPID id, const wchar_t* name, unsigned argc, StringMethod fn);

  // Case-insensitive name lookup (DISPID_UNKNOWN and DISP_E_UNKNOWNNAME when absent).
  HRESULT IdOfName(const wchar_t* name, DISPID* id) const;
  // Calls the method: DISP_E_MEMBERNOTFOUND for an unknown DISPID or a
  // property put, DISP_E_BADPARAMCOUNT for a wrong argument count,
  // DISP_E_NONAMEDARGS for named arguments, DISP_E_TYPEMISMATCH (with
  // *argErr) when an argument does not convert to a string. BOOL results
  // come back as VT_BOOL, strings as a new VT_BSTR.
  HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) const;
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    DISPID id;
    std::wstring name;
    unsigned argc;
    BoolMethod onBool;
    StringMethod onString;
  };
  const Entry* Find(DISPID id) const;
  std::vector<Entry> entries_;
};

// ---------------------------------------------------------------------------
// Identity of a control class.
struct AxControlIdentity {
  CLSID clsid;
  IID dispatchIid;
  IID eventIid;
  GUID typeLibId;
  WORD typeLibMajor;
  WORD typeLibMinor;
  DWORD miscStatus;
};

class AxControl : public IDispatch,
                  public IProvideClassInfo2,
                  public IConnectionPointContainer,
                  public IOleObject,
                  public IOleInPlaceObject,
                  public IOleInPlaceActiveObject,
                  public IViewObject2,
                  public IPersistStreamInit,
                  public IPersistPropertyBag,
                  public IOleControl,
                  public ISpecifyPropertyPages,
                  public MessageRoot {
 public:
  explicit AxControl(const AxControlIdentity& identity);
  ~AxControl() override;

  const AxControlIdentity& identity() const { return identity_; }

  // Fires an event of the event interface by DISPID with string arguments,
  // on the calling thread (the control's own thread).
  void FireEvent(DISPID id, const std::vector<std::wstring>& args = {});
  size_t SinkCount() const { return sinks_.size(); }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override;
  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;
  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override;
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override;
  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override { return S_OK; }
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* mk) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** e) override { return OLE_S_USEREG; }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP Unadvise(DWORD cookie) override { return OLE_E_NOCONNECTION; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* pal) override { return E_NOTIMPL; }
  // IOleWindow / IOleInPlaceObject / IOleInPlaceActiveObject
  STDMETHODIMP GetWindow(HWND* hwnd) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override { return S_FALSE; }
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* ui, BOOL frame) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL enable) override { return S_OK; }
  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* td, HDC hdcTarget, HDC hdc,
                    LPCRECTL bounds, LPCRECTL wbounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                    ULONG_PTR contArg) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* td, HDC hicTarget,
                           LOGPALETTE** colors) override { return E_NOTIMPL; }
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD freeze) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override { return E_NOTIMPL; }
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override { return E_NOTIMPL; }
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* td, LPSIZEL size) override;
  // IPersist / IPersistStreamInit / IPersistPropertyBag (no persistent state)
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM stream) override { return S_OK; }
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override { return S_OK; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override { return S_OK; }
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override { return S_OK; }
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override { return S_OK; }
  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override { return E_NOTIMPL; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override { return S_OK; }
  STDMETHODIMP FreezeEvents(BOOL freeze) override { return S_OK; }
  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

 protected:
  DispatchTable& methods() { return methods_; }
  // The property pages the control names (class ids).
  void SetPropertyPages(std::vector<CLSID> pages) { pages_ = std::move(pages); }
  // Called while the control window is being created (return false to fail).
  virtual bool OnCreate() { return true; }
  // WM_DESTROY of the control window, before it goes.
  virtual void OnDestroy() {}
  // Paints the control's own surface (what its child windows leave visible).
  virtual void OnDraw(HDC dc, const RECT& bounds);
  // Any other message of the control window goes to OnMessage (msgroot.h).

 private:
  class EventPoint;
  friend class EventPoint;
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  HRESULT ActivateInPlace(HWND parentHint, LPCRECT rectHint);
  HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** info);
  void DestroyControlWindow();

  LONG refs_ = 1;
  AxControlIdentity identity_;
  DispatchTable methods_;
  std::vector<CLSID> pages_;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  SIZEL extent_{2540 * 2, 2540 * 2};
  EventPoint* eventPoint_ = nullptr;
  std::map<DWORD, IDispatch*> sinks_;
  DWORD nextCookie_ = 1;
};

// Creates a control instance (refcount 1) for the class factory.
using AxCreateFn = IUnknown* (*)();

// A class the module serves: a control or its property page.
struct AxClassEntry {
  enum Kind { kControl, kPropertyPage };
  Kind kind;
  CLSID clsid;
  const wchar_t* progId;   // nullptr: none
  UINT typeNameId;         // string id of the user type name
  DWORD miscStatus;        // controls only
  UINT toolboxBitmapId;    // controls only
  AxCreateFn create;
};

// Everything the module's exports need.
struct AxServer {
  const AxClassEntry* classes;
  size_t classCount;
  GUID typeLibId;
  WORD typeLibMajor;
  WORD typeLibMinor;
};

// The bodies of DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer. Registration is machine-wide (HKLM\Software\Classes)
// with the type library resource 1 of the module; failures answer
// SELFREG_E_TYPELIB (type library step) or SELFREG_E_CLASS (class step).
HRESULT AxGetClassObject(const AxServer& server, REFCLSID clsid, REFIID riid, void** ppv);
HRESULT AxCanUnloadNow();
HRESULT AxRegisterServer(const AxServer& server);
HRESULT AxUnregisterServer(const AxServer& server);
// To call from DllMain on DLL_PROCESS_DETACH: unregisters the window classes
// this module registered.
void AxModuleDetach();

// The five exports of a control module, served by `server`.
#define APPKIT_AX_MODULE_EXPORTS(server)                                                   \
  extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {                 \
    if (reason == DLL_PROCESS_DETACH && !reserved) appkit::AxModuleDetach();                 \
    return TRUE;                                                                             \
  }                                                                                          \
  STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {                        \
    return appkit::AxGetClassObject(server, clsid, riid, ppv);                               \
  }                                                                                          \
  STDAPI DllCanUnloadNow() { return appkit::AxCanUnloadNow(); }                              \
  STDAPI DllRegisterServer() { return appkit::AxRegisterServer(server); }                    \
  STDAPI DllUnregisterServer() { return appkit::AxUnregisterServer(server); }

// One registry value a class registration writes (key below HKLM\Software\Classes).
struct AxRegValue {
  std::wstring key;
  std::wstring name;   // empty: the default value
  std::wstring value;
};
// The values registering `entry` of a module at `modulePath` writes, and the
// keys unregistering it deletes (the first entries of each group).
std::vector<AxRegValue> AxClassRegistration(const AxClassEntry& entry, const AxServer& server,
                                            const std::wstring& modulePath, const std::wstring& typeName);
std::vector<std::wstring> AxClassKeys(const AxClassEntry& entry);

std::wstring GuidString(REFGUID guid);

// ---------------------------------------------------------------------------
// A property page object with an empty dialog: enough for the page id a
// control names to exist and show.
class AxPropertyPage : public ComObject<IPropertyPage> {
 public:
  AxPropertyPage(UINT dialogId, UINT titleId);
  ~AxPropertyPage() override;

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override { return S_OK; }
  STDMETHODIMP Show(UINT cmd) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override { return S_FALSE; }
  STDMETHODIMP Apply() override { return S_OK; }
  STDMETHODIMP Help(LPCOLESTR dir) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG* msg) override { return S_FALSE; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  UINT dialogId_;
  UINT titleId_;
  IPropertyPageSite* site_ = nullptr;
  HWND hwnd_ = nullptr;
};

}  // namespace appkit
