// Stand-in for the framework's runner base until the framework lands: the
// interface the control forwards to, nothing more.
#pragma once
#include <windows.h>

#include <string>

namespace ctlfw {

class TestRunner {
 public:
  virtual ~TestRunner() = default;
  virtual BOOL Init(HWND controlWindow, const std::string& cmdLine) = 0;
  virtual BOOL SetProp(const std::string& name, const std::string& value) = 0;
  virtual BOOL Cleanup() = 0;
  virtual BOOL DoTest() = 0;
  virtual BOOL IsRunning() = 0;
  virtual BOOL Abort() = 0;
  virtual std::string Title() const = 0;
  virtual HWND ActivePageList() const = 0;
};

}  // namespace ctlfw
