// The test control a module dialog hosts, seen through the six methods of
// the test controls' dispatch interface, and its Done event.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "runner_logic.h"

namespace runvek {

class ModuleControl {
 public:
  virtual ~ModuleControl() = default;
  virtual HWND hwnd() const = 0;
  virtual bool Init(const std::wstring& cmdLine) = 0;
  virtual bool SetProp(const std::wstring& name, const std::wstring& value) = 0;
  virtual bool DoTest(const std::wstring& param) = 0;
  virtual bool IsRunning() = 0;
  virtual bool Abort() = 0;
  virtual std::wstring GetProp(const std::wstring& name) = 0;
};

using DoneHandler = std::function<void(const std::wstring& result)>;

// Creates the module's control as the visible child `module.controlId` of
// `parent` at `rc`, its Done event going to `onDone`. nullptr when the
// control cannot be created (not registered, failed to start).
std::unique_ptr<ModuleControl> CreateModuleControl(const ModuleInfo& module, HWND parent, const RECT& rc,
                                                   DoneHandler onDone);

}  // namespace runvek
