#include "hosting/wrappers.h"

#include <cstring>

#include "appkit/text.h"

namespace hosting {

bool ControlWrapper::Create(const wchar_t* windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
  lastError_ = host_.Create(identity().clsid, parent, rect, id, style);
  if (FAILED(lastError_)) return false;
  if (windowName && host_.hwnd()) ::SetWindowTextW(host_.hwnd(), windowName);
  return true;
}

BOOL TestControlWrapper::Init(const std::string& cmdLine) { return host_.CallBool(suite::kDispInit, {cmdLine}); }

BOOL TestControlWrapper::SetProp(const std::string& name, const std::string& value) {
  return host_.CallBool(suite::kDispSetProp, {name, value});
}

BOOL TestControlWrapper::DoTest(const std::string& param) { return host_.CallBool(suite::kDispDoTest, {param}); }
BOOL TestControlWrapper::IsRunning() { return host_.CallBool(suite::kDispIsRunning); }
BOOL TestControlWrapper::Abort() { return host_.CallBool(suite::kDispAbort); }

std::string TestControlWrapper::GetProp(const std::string& name) {
  return host_.CallString(suite::kDispGetProp, {name});
}

bool TestControlWrapper::OnDone(std::function<void(const std::string& result)> handler) {
  HRESULT hr = host_.SinkEvents(identity().eventIid,
                                [handler](DISPID id, const std::vector<std::wstring>& args) {
                                  if (id != suite::kEventDone || !handler) return;
                                  handler(args.empty() ? std::string() : appkit::Narrow(args[0]));
                                });
  return SUCCEEDED(hr);
}

int ViewKindFromName(const std::string& name) {
  // The first four letters of a control's module name pick it.
  for (const suite::ControlIdentity& c : suite::kControls)
    if (c.viewKind != kKindNone && _strnicmp(name.c_str(), c.name, 4) == 0) return c.viewKind;
  return kKindNone;
}

std::unique_ptr<TestControlWrapper> NewWrapper(int kind) {
  if (kind == kKindNone) return nullptr;
  for (int i = 0; i < suite::kControlCount; ++i)
    if (suite::kControls[i].viewKind == kind)
      return std::make_unique<TestControlWrapper>(static_cast<suite::ControlIndex>(i));
  return nullptr;
}

std::unique_ptr<TestControlWrapper> NewWrapperForName(const std::string& name) {
  return NewWrapper(ViewKindFromName(name));
}

}  // namespace hosting
