// Window wrappers of the suite's controls: each creates its control by class
// id inside a host window and calls the test-control methods by DISPID. They
// hold no data beyond the hosted control.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "appkit/axhost.h"
#include "suite/controls.h"

namespace hosting {

// A control hosted in place; destroying the wrapper destroys the control.
class ControlWrapper {
 public:
  explicit ControlWrapper(suite::ControlIndex control) : control_(control) {}
  virtual ~ControlWrapper() = default;
  ControlWrapper(const ControlWrapper&) = delete;
  ControlWrapper& operator=(const ControlWrapper&) = delete;

  // Creates the control with the wrapper's class id as child `id` of
  // `parent` in `rect`. `windowName` is kept as the control window's text.
  bool Create(const wchar_t* windowName, DWORD style, const RECT& rect, HWND parent, UINT id);
  void Destroy() { host_.Destroy(); }
  HWND hwnd() const { return host_.hwnd(); }
  bool IsCreated() const { return host_.IsCreated(); }
  void Move(const RECT& rect) { host_.Move(rect); }
  const suite::ControlIdentity& identity() const { return suite::Control(control_); }
  HRESULT lastError() const { return lastError_; }

 protected:
  appkit::AxHost host_;
  suite::ControlIndex control_;
  HRESULT lastError_ = S_OK;
};

// A test control: the six methods and the Done event.
class TestControlWrapper : public ControlWrapper {
 public:
  using ControlWrapper::ControlWrapper;

  BOOL Init(const std::string& cmdLine);
  BOOL SetProp(const std::string& name, const std::string& value);
  BOOL DoTest(const std::string& param);
  BOOL IsRunning();
  BOOL Abort();
  std::string GetProp(const std::string& name);
  // Sinks the control's Done event (its argument: the decimal error count).
  bool OnDone(std::function<void(const std::string& result)> handler);
};

// Module view kinds (0: no control for that name).
enum ViewKind { kKindNone = 0, kKindFenwold = 1, kKindMedia, kKindModem, kKindCdrom, kKindZentrel, kKindStrevan,
                kKindGraphics, kKindMurrick, kKindCount };

// The kind whose name (FENWOLD, MEDIA, MODEM, CDROM, ZENTREL, STREVAN,
// GRAPHICS, MURRICK, in this order) shares the first four letters of
// `name`, ignoring case; 0 when none does.
int ViewKindFromName(const std::string& name);
// A new wrapper for a kind (nullptr for 0 or an unknown kind).
std::unique_ptr<TestControlWrapper> NewWrapper(int kind);
// The wrapper for a module name ("zentrel.mod", "FENWOLD", ...), or nullptr.
std::unique_ptr<TestControlWrapper> NewWrapperForName(const std::string& name);

}  // namespace hosting

namespace hosting {
// The wrapper of one control of the identity table.
template <suite::ControlIndex Control>
class TestControlOf : public TestControlWrapper {
 public:
  TestControlOf() : TestControlWrapper(Control) {}
};
}  // namespace hosting

// The wrappers by the names the rest of the suite knows them.
using CCdromCtl = hosting::TestControlOf<suite::kCtlCdrom>;
using CDiskCtl = hosting::TestControlOf<suite::kCtlFenwold>;
using CGraCtl = hosting::TestControlOf<suite::kCtlGraphics>;
using CMurrick = hosting::TestControlOf<suite::kCtlMurrick>;
using CIoCtl = hosting::TestControlOf<suite::kCtlStrevan>;
using CMediaCtl = hosting::TestControlOf<suite::kCtlMedia>;
using CZentrelCtl = hosting::TestControlOf<suite::kCtlZentrel>;
using CModemCtl = hosting::TestControlOf<suite::kCtlModem>;
// The information server's control: created hidden, no methods.
class CQuorrel : public hosting::ControlWrapper {
 public:
  CQuorrel() : ControlWrapper(suite::kCtlQuorrel) {}
};
