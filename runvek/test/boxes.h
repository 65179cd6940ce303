// Finding and answering message boxes in tests, so that none can hang a run.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "testsupport/process.h"
#include "testsupport/ui.h"

namespace boxes {

// A message box a process shows owned by one of its windows.
inline HWND FindOwnedBox(DWORD pid) {
  struct Find {
    DWORD pid;
    HWND found;
    static BOOL CALLBACK Proc(HWND hwnd, LPARAM lp) {
      auto* f = reinterpret_cast<Find*>(lp);
      DWORD pid = 0;
      ::GetWindowThreadProcessId(hwnd, &pid);
      if (pid == f->pid && ::IsWindowVisible(hwnd) && ::GetWindow(hwnd, GW_OWNER) &&
          testsupport::ClassOf(hwnd) == L"#32770") {
        f->found = hwnd;
        return FALSE;
      }
      return TRUE;
    }
  } f{pid, nullptr};
  ::EnumWindows(&Find::Proc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

inline HWND WaitForOwnedBox(DWORD pid, DWORD ms) {
  HWND box = nullptr;
  testsupport::PumpUntil([&] { return (box = FindOwnedBox(pid)) != nullptr; }, ms);
  return box;
}

// The message of a box (its first static text that is not empty).
inline std::wstring Text(HWND box) {
  for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (testsupport::ClassOf(c) == L"Static" && !testsupport::GetText(c).empty()) return testsupport::GetText(c);
  return {};
}

// Answers the first box of this process with `caption` from another thread
// (the box's own modal loop holds the test's thread), keeping its text.
class Answerer {
 public:
  explicit Answerer(std::wstring caption) : caption_(std::move(caption)) {
    thread_ = std::thread([this] {
      for (int i = 0; i < 500 && !stop_; ++i) {
        HWND box = testsupport::FindTopWindow(caption_, L"#32770", ::GetCurrentProcessId());
        if (box && ::IsWindowVisible(box)) {
          text_ = Text(box);
          ::PostMessageW(box, WM_COMMAND, IDOK, 0);
          answered_ = true;
          return;
        }
        ::Sleep(20);
      }
    });
  }
  ~Answerer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // Waits for the answer; the text of the box, empty when none came.
  std::wstring Take() {
    if (thread_.joinable()) thread_.join();
    return answered_ ? text_ : std::wstring();
  }

 private:
  std::wstring caption_;
  std::wstring text_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

}  // namespace boxes
