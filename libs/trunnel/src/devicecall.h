// Calls on a drive device opened for overlapped I/O, each with a bound: a
// device that never completes a call costs the bound, never the caller's
// thread. A call that overran is cancelled; when even the cancellation does
// not complete, its buffers are left to the system instead of being freed
// under a pending call.
#pragma once
#include <windows.h>

#include <cstdint>

namespace trunnel {

enum class CallResult { Done, Failed, TimedOut };

// How long one call on a CD drive may take: a sector read, spin-up and the
// drive's own retries included.
constexpr DWORD kDeviceCallMs = 20000;

// ReadFile of `size` bytes at byte `offset` into a buffer of the call's own;
// on Done, `*got` bytes were read and copied to `out`.
CallResult BoundedRead(HANDLE device, uint64_t offset, void* out, DWORD size, DWORD* got, DWORD boundMs);

// DeviceIoControl with the same bound.
CallResult BoundedControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                          DWORD* returned, DWORD boundMs);

}  // namespace trunnel
