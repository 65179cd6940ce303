// The run-time bindings the category writers call: the Windows 9x
// system-access library with its label texts, and the system functions that
// are looked up by name because an older system may lack them. Each is null
// when absent. The server binds them at start-up and hands a copy to every
// collection.
#pragma once
#include <windows.h>

namespace quorrel {

typedef DWORD(WINAPI* GetQuorrelFn)(WORD infoClass, WORD size, void* buffer);
typedef BOOL(WINAPI* CapGetDriverDescriptionFn)(UINT, LPSTR, INT, LPSTR, INT);
typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI* ToolhelpWalkFn)(HANDLE, void*);
typedef BOOL(WINAPI* Heap32FirstFn)(void*, DWORD, ULONG_PTR);
typedef BOOL(WINAPI* Heap32NextFn)(void*);

struct SystemBindings {
  // Windows 9x system-access library, and its resource library of labels.
  GetQuorrelFn getQuorrel = nullptr;
  HMODULE mirvaneRc = nullptr;
  CapGetDriverDescriptionFn capGetDriverDescription = nullptr;
  FARPROC wnetOpenEnum = nullptr, wnetCloseEnum = nullptr, wnetGetUser = nullptr, wnetEnumResource = nullptr;
  CreateToolhelp32SnapshotFn createToolhelp32Snapshot = nullptr;
  ToolhelpWalkFn process32First = nullptr, process32Next = nullptr;
  ToolhelpWalkFn heap32ListFirst = nullptr, heap32ListNext = nullptr;
  Heap32FirstFn heap32First = nullptr;
  Heap32NextFn heap32Next = nullptr;
};

}  // namespace quorrel
