// Control container: hosts one ActiveX control in place as a child of a
// window of ours. Our site answers as client site, in-place site and frame;
// methods are called by DISPID and events arrive by DISPID through a sink.
// The thread must have called OleInitialize.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

namespace appkit {

// One argument of a call by DISPID: a string (sent as BSTR) or a number.
struct AxArg {
  enum Kind { kString, kInt } kind;
  std::wstring text;
  long number = 0;
  AxArg(const std::string& s);
  AxArg(const char* s);
  AxArg(const std::wstring& s) : kind(kString), text(s) {}
  AxArg(const wchar_t* s) : kind(kString), text(s ? s : L"") {}
  AxArg(long n) : kind(kInt), number(n) {}
  AxArg(int n) : kind(kInt), number(n) {}
};

class AxHost {
 public:
  // Event by DISPID with its arguments converted to strings.
  using EventHandler = std::function<void(DISPID id, const std::vector<std::wstring>& args)>;

  AxHost();
  ~AxHost();  // Destroy()
  AxHost(const AxHost&) = delete;
  AxHost& operator=(const AxHost&) = delete;

  // Creates the control by class id (or ProgID), activates it in place as a
  // child of `parent` in `rect` (parent client coordinates) and gives its
  // window the child id `id` and, when WS_VISIBLE is missing, hides it.
  HRESULT Create(REFCLSID clsid, HWND parent, const RECT& rect, UINT id, DWORD style = WS_CHILD | WS_VISIBLE);
  HRESULT Create(const wchar_t* progId, HWND parent, const RECT& rect, UINT id,
                 DWORD style = WS_CHILD | WS_VISIBLE);
  // Deactivates, closes and releases the control (events stop first).
  void Destroy();

  bool IsCreated() const { return object_ != nullptr; }
  // The control's window (nullptr when not active).
  HWND hwnd() const { return controlWindow_; }
  HWND parent() const { return parent_; }
  IDispatch* dispatch() const { return dispatch_; }
  IUnknown* object() const { return object_; }

  void Move(const RECT& rect);

  // Call a method by DISPID; *result receives the return value (cleared first).
  HRESULT Invoke(DISPID id, const std::vector<AxArg>& args, VARIANT* result, WORD flags = DISPATCH_METHOD);
  // A BOOL (VT_BOOL or a number) result; false when the call failed.
  bool CallBool(DISPID id, const std::vector<AxArg>& args = {}, HRESULT* hr = nullptr);
  // A string result as ANSI; empty when the call failed.
  std::string CallString(DISPID id, const std::vector<AxArg>& args = {}, HRESULT* hr = nullptr);

  // Connects a sink for the event interface `eventIid` (IID_NULL: the
  // control's default source from IProvideClassInfo2). Events are called on
  // the thread that fires them, which for our controls is the host's.
  HRESULT SinkEvents(REFIID eventIid, EventHandler handler);
  void UnsinkEvents();

 private:
  class Site;
  class Sink;
  Site* site_ = nullptr;
  Sink* sink_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  IUnknown* object_ = nullptr;
  IOleObject* ole_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  HWND parent_ = nullptr;
  HWND controlWindow_ = nullptr;
  RECT rect_{};
};

}  // namespace appkit
