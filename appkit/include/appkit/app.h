// Application object and message loop. Pre-translation sees every message
// the thread takes, thread messages included, also while one of our own
// modal loops runs (Win32's modal loops drop thread messages).
#pragma once
#include <windows.h>
#include <functional>
#include <vector>

namespace appkit {

class App {
 public:
  App();
  virtual ~App();
  static App* Current();

  HINSTANCE instance() const { return instance_; }
  // The module whose resources serve strings and dialogs (a resource DLL
  // when one was loaded, else the program).
  HINSTANCE resources() const { return resources_ ? resources_ : instance_; }
  void SetResources(HINSTANCE res) { resources_ = res; }

  // Return false to stop the program before the loop (exit code from Exit()).
  virtual bool InitInstance() { return true; }
  virtual int ExitInstance() { return exitCode_; }
  // A message the thread took; return true when handled (not dispatched).
  virtual bool PreTranslate(MSG& msg);
  // Called by Run each time a message its loop took has been handled: the
  // program is back at the top of its own loop, and nothing of a nested
  // loop (a dialog's, a message pump of a test) is left on the stack.
  virtual void OnLoopTop() {}

  int Run();
  void SetExitCode(int code) { exitCode_ = code; }

 private:
  static App* current_;
  HINSTANCE instance_;
  HINSTANCE resources_ = nullptr;
  int exitCode_ = 0;
};

// Filters that see messages before dispatch on this thread; used by code
// that has no App (a control inside another program's loop does not need it).
// Returns true when the message was consumed.
bool PumpOne(MSG& msg);

// Runs a modal loop until *done becomes true or WM_QUIT arrives (the quit is
// re-posted). Thread messages still go through App::PreTranslate.
void RunModalLoop(const bool* done);

// Dispatches pending messages of this thread (for waits that must keep the
// UI alive). Returns false when WM_QUIT was seen (it is re-posted).
bool PumpPending();

// Takes messages as PeekMessage with PM_REMOVE does, but keeps a WM_QUIT for
// the loop that ends the program: Windows hands out a pending WM_QUIT
// whatever window and range a PeekMessage asks for, and a loop that
// dispatches it loses it. A quit taken is posted again when the keeper goes.
class QuitKeeper {
 public:
  QuitKeeper() = default;
  ~QuitKeeper();
  QuitKeeper(const QuitKeeper&) = delete;
  QuitKeeper& operator=(const QuitKeeper&) = delete;
  // The next message of the filter other than WM_QUIT; false when none waits.
  bool Take(MSG* msg, HWND hwnd = nullptr, UINT first = 0, UINT last = 0);

 private:
  bool seen_ = false;
  int code_ = 0;
};

// Answers every dialog box that is up on this thread (other than `except`)
// as a user who wants out would: Cancel, else No, else OK, else a close.
// For a program that goes while a box holds its loop up.
void AnswerThreadBoxes(HWND except = nullptr);

}  // namespace appkit
