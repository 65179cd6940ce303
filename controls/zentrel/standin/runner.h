// Stand-in runner of the Zentrel control, used until the real runner and
// sheet exist: a child window with a Start button 1007 and a result list
// 1005; a run lists ZENTREL_STANDIN_LINES lines (default 3) on a worker
// thread for ZENTREL_STANDIN_MS milliseconds (default 300) and, in an
// automatic run, posts WM_TESTDONE with ZENTREL_STANDIN_ERRORS (default 0).
#pragma once
#include "ctlfw/runner.h"

#include <atomic>
#include <thread>

class CZentrelRunner : public ctlfw::TestRunner {
 public:
  ~CZentrelRunner() override;
  BOOL Init(HWND controlWindow, const std::string& cmdLine) override;
  BOOL SetProp(const std::string& name, const std::string& value) override;
  BOOL Cleanup() override;
  BOOL DoTest() override;
  BOOL IsRunning() override;
  BOOL Abort() override;
  std::string Title() const override { return title_; }
  HWND ActivePageList() const override;

 private:
  static LRESULT CALLBACK SheetProc(HWND, UINT, WPARAM, LPARAM);
  void Worker(int lines, int ms, int errors);
  void Join();
  HWND control_ = nullptr;
  HWND sheet_ = nullptr;
  bool autoRun_ = false;
  std::string title_;
  std::thread worker_;
  std::atomic<bool> running_{false};
  std::atomic<bool> abort_{false};
};
