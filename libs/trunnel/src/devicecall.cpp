#include "devicecall.h"

#include <cstring>

namespace trunnel {

namespace {

// One overlapped call: its record, event and buffer live together, so that
// a call whose cancellation never completes can be left as a whole.
struct PendingCall {
  OVERLAPPED ov{};
  BYTE* buffer = nullptr;
};

PendingCall* NewCall(uint64_t offset, DWORD bufferSize) {
  PendingCall* c = new PendingCall;
  c->ov.Offset = (DWORD)offset;
  c->ov.OffsetHigh = (DWORD)(offset >> 32);
  c->ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (bufferSize) c->buffer = (BYTE*)::VirtualAlloc(nullptr, bufferSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!c->ov.hEvent || (bufferSize && !c->buffer)) {
    if (c->ov.hEvent) ::CloseHandle(c->ov.hEvent);
    if (c->buffer) ::VirtualFree(c->buffer, 0, MEM_RELEASE);
    delete c;
    return nullptr;
  }
  return c;
}

void FreeCall(PendingCall* c) {
  ::CloseHandle(c->ov.hEvent);
  if (c->buffer) ::VirtualFree(c->buffer, 0, MEM_RELEASE);
  delete c;
}

// Waits for a started call (`started`: the call's own answer). `*settled`
// tells whether the call is over, so that its memory may go.
CallResult Finish(HANDLE device, PendingCall* c, BOOL started, DWORD* transferred, DWORD boundMs, bool* settled) {
  *settled = true;
  if (!started && ::GetLastError() != ERROR_IO_PENDING) return CallResult::Failed;
  if (::WaitForSingleObject(c->ov.hEvent, boundMs) != WAIT_OBJECT_0) {
    ::CancelIoEx(device, &c->ov);
    // A call the device will not give back may still write into the
    // buffer: it is left, not freed.
    *settled = ::WaitForSingleObject(c->ov.hEvent, 5000) == WAIT_OBJECT_0;
    return CallResult::TimedOut;
  }
  DWORD n = 0;
  bool ok = ::GetOverlappedResult(device, &c->ov, &n, FALSE) != 0;
  *transferred = n;
  return ok ? CallResult::Done : CallResult::Failed;
}

}  // namespace

CallResult BoundedRead(HANDLE device, uint64_t offset, void* out, DWORD size, DWORD* got, DWORD boundMs) {
  *got = 0;
  PendingCall* c = NewCall(offset, size);
  if (!c) return CallResult::Failed;
  BOOL started = ::ReadFile(device, c->buffer, size, nullptr, &c->ov);
  bool settled = true;
  CallResult r = Finish(device, c, started, got, boundMs, &settled);
  if (r == CallResult::Done) std::memcpy(out, c->buffer, *got <= size ? *got : size);
  if (settled) FreeCall(c);
  return r;
}

CallResult BoundedControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                          DWORD* returned, DWORD boundMs) {
  *returned = 0;
  // The input is copied too: the call may read it after the caller's frame is gone.
  PendingCall* c = NewCall(0, inSize + outSize);
  if (!c) return CallResult::Failed;
  if (inSize) std::memcpy(c->buffer, in, inSize);
  BYTE* outBuffer = outSize ? c->buffer + inSize : nullptr;
  BOOL started = ::DeviceIoControl(device, code, inSize ? c->buffer : nullptr, inSize, outBuffer, outSize, nullptr,
                                   &c->ov);
  bool settled = true;
  CallResult r = Finish(device, c, started, returned, boundMs, &settled);
  if (r == CallResult::Done && outSize) std::memcpy(out, outBuffer, *returned <= outSize ? *returned : outSize);
  if (settled) FreeCall(c);
  return r;
}

}  // namespace trunnel
