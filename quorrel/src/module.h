// The information server's module: one server per machine, its directory,
// settings, run-time bindings and resources. Every Quorrel control calls
// AttachQuorrelControl when it is created and DetachQuorrelControl when it
// goes; while a process holds controls, it starts a server whenever the
// machine has none.
#pragma once
#include <windows.h>

#include <string>

#include "suite/info.h"
#include "system.h"
#include "texts.h"

namespace quorrel {

struct ModuleState {
  HMODULE module = nullptr;          // the module holding the server (control or host)
  std::wstring modulePath;
  std::wstring moduleDir;            // with a trailing backslash
  HINSTANCE resources = nullptr;     // resource library, or the module itself
  bool resourceLibraryLoaded = false;
  int showWnd = 0;
  int startup = 0;
  int switches[suite::SW_COUNT] = {};
  std::string systemDir, windowsDir, bootRoot;  // each with a trailing backslash, or ""
  // The machine's server guard, owned by the thread that runs the server
  // here (null when this process runs none), and the named semaphore that
  // marks a running server as it always has.
  HANDLE guard = nullptr;
  HANDLE semaphore = nullptr;
  bool serverCreated = false;
  // Quorrel controls alive in this process, and the timer that watches for
  // a machine without a server while there are any.
  int controls = 0;
  UINT_PTR watchTimer = 0;
  bool starting = false;
  // This module may not run the server (its directory is too long, or its
  // window could not be created): no further attempt until the last
  // control goes.
  bool startRefused = false;
  // Windows 9x system-access library.
  HMODULE vexholm = nullptr;
  // What the writers call, handed to every collection.
  SystemBindings system;
};

ModuleState& Module();

// A Quorrel control is created: starts the server when the machine has
// none, and from then on watches for one that has gone. `module` is the
// module whose directory becomes the server's (the control's file).
void AttachQuorrelControl(HMODULE module);
// A Quorrel control goes: with the last one the watch ends and the server
// this process runs, if any, closes.
void DetachQuorrelControl();
// Starts the server window when no live server exists on the machine.
// Returns true when this call created the server.
bool StartQuorrelServer(HMODULE module);
// Closes the server this process created, if any.
void StopQuorrelServer();
// The server window has closed (by StopQuorrelServer or by a WM_CLOSE from
// elsewhere): the machine's guard is given up, so that a new server can
// start. Called on the server window's thread.
void ServerWindowClosed();

// The server window of this process (nullptr when it does not run here).
HWND ServerWindow();

}  // namespace quorrel
