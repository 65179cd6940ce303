// The information server's module: one server per machine, its directory,
// settings, run-time bindings and resources. Every Quorrel control calls
// StartQuorrelServer when it is created and StopQuorrelServer when it goes.
#pragma once
#include <windows.h>

#include <string>

#include "suite/info.h"

namespace quorrel {

typedef DWORD(WINAPI* GetQuorrelFn)(WORD infoClass, WORD size, void* buffer);
typedef BOOL(WINAPI* CapGetDriverDescriptionFn)(UINT, LPSTR, INT, LPSTR, INT);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI* ToolhelpWalkFn)(HANDLE, void*);
typedef BOOL(WINAPI* Heap32FirstFn)(void*, DWORD, ULONG_PTR);
typedef BOOL(WINAPI* Heap32NextFn)(void*);

struct ModuleState {
  HMODULE module = nullptr;          // the module holding the server (control or host)
  std::wstring modulePath;
  std::wstring moduleDir;            // with a trailing backslash
  HINSTANCE resources = nullptr;     // resource library, or the module itself
  bool resourceLibraryLoaded = false;
  int showWnd = 0;
  int startup = 0;
  int switches[suite::SW_COUNT] = {};
  std::string messageBoxTitle;
  std::string systemDir, windowsDir, bootRoot;  // each with a trailing backslash, or ""
  HANDLE semaphore = nullptr;
  bool serverCreated = false;
  // Windows 9x system-access library.
  HMODULE vexholm = nullptr;
  GetQuorrelFn getQuorrel = nullptr;
  HMODULE mirvaneRc = nullptr;
  // Run-time bindings (null when absent).
  CapGetDriverDescriptionFn capGetDriverDescription = nullptr;
  FARPROC wnetOpenEnum = nullptr, wnetCloseEnum = nullptr, wnetGetUser = nullptr, wnetEnumResource = nullptr;
  CreateToolhelp32SnapshotFn createToolhelp32Snapshot = nullptr;
  ToolhelpWalkFn process32First = nullptr, process32Next = nullptr;
  ToolhelpWalkFn heap32ListFirst = nullptr, heap32ListNext = nullptr;
  Heap32FirstFn heap32First = nullptr;
  Heap32NextFn heap32Next = nullptr;
};

ModuleState& Module();

// Starts the server window when none exists on the machine. `module` is the
// module whose directory becomes the server's (the control's file). Returns
// true when this call created the server.
bool StartQuorrelServer(HMODULE module);
// Closes the server this process created, if any.
void StopQuorrelServer();
// Reads the twenty switches of Software\Qev\Quorrel\Setting into `out`.
void ReadSummarySwitches(int out[suite::SW_COUNT]);
void WriteLastResult(const std::string& text);
int ShowQuorrelMessage(const std::string& text, UINT type);
int ShowQuorrelMessageId(UINT id, UINT type);
void BringMainWindowToFront();

// A string of the module's string table (resource library first).
std::string Str(UINT id);
// The server window of this process (nullptr when it does not run here).
HWND ServerWindow();

}  // namespace quorrel
