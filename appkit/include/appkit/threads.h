// Joining worker threads from a window's thread: the workers may send
// messages to windows of that thread, so the wait keeps answering them.
#pragma once
#include <windows.h>

#include <vector>

namespace appkit {

// Waits until `thread` has ended, answering the messages other threads send
// to this thread meanwhile (nothing posted is dispatched).
void JoinServingSentMessages(HANDLE thread);
// The same for any handle, at most `ms` milliseconds (INFINITE: no bound);
// whether it was signalled.
bool WaitServingSentMessages(HANDLE handle, DWORD ms);
// Waits `ms` milliseconds as Sleep does, but answers the messages other
// threads send to this thread meanwhile, so that a worker reporting to a
// window of this thread is not held up by the wait (nothing posted is
// dispatched: input and timers stay queued until the wait is over).
void SleepServingSentMessages(DWORD ms);
// Closes and removes the handles of threads that have ended.
void CloseFinishedThreads(std::vector<HANDLE>* threads);

}  // namespace appkit
