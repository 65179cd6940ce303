#include "appkit/threads.h"

namespace appkit {

void JoinServingSentMessages(HANDLE thread) { WaitServingSentMessages(thread, INFINITE); }

bool WaitServingSentMessages(HANDLE handle, DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    DWORD left = INFINITE;
    if (ms != INFINITE) {
      DWORD elapsed = ::GetTickCount() - start;
      left = elapsed < ms ? ms - elapsed : 0;
    }
    DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void SleepServingSentMessages(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return;
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}

void CloseFinishedThreads(std::vector<HANDLE>* threads) {
  for (size_t i = 0; i < threads->size();) {
    if (::WaitForSingleObject((*threads)[i], 0) == WAIT_OBJECT_0) {
      ::CloseHandle((*threads)[i]);
      threads->erase(threads->begin() + (long)i);
    } else {
      ++i;
    }
  }
}

}  // namespace appkit
