// Facts about the running system that several programs branch on.
#pragma once
#include <windows.h>

namespace appkit {

// The Windows 9x family: GetVersion's high bit is set there (and under
// Wine when the program's version is set to "win98").
inline bool IsWindows9x() { return (::GetVersion() & 0x80000000u) != 0; }

// WaitForInputIdle for a program that is to be spoken to by thread
// messages: idle counts only once its thread takes them. Wine reports a
// process that is still loading as idle before its thread has a message
// queue, and a message posted then is lost. Gives 0 when ready (or when the
// process has already ended, as WaitForInputIdle does), WAIT_TIMEOUT or
// WAIT_FAILED.
inline DWORD WaitForInputReady(HANDLE process, DWORD threadId, DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD spent = ::GetTickCount() - start;
    const DWORD left = ms == INFINITE ? INFINITE : (spent >= ms ? 0 : ms - spent);
    const DWORD w = ::WaitForInputIdle(process, left);
    if (w != 0) return w;
    if (::PostThreadMessageW(threadId, WM_NULL, 0, 0)) return 0;
    if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return 0;
    if (left == 0) return WAIT_TIMEOUT;
    ::Sleep(10);
  }
}

}  // namespace appkit
