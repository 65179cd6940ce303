// Calls into the sound devices made on a thread of their own, each with a
// bound: a driver can wait for ever (a play thread waiting for buffers of a
// sound server that died, a stop waiting for that thread), and the caller,
// a window's thread, must not wait with it. The caller waits at most the
// bound, answering what other threads send it meanwhile; a call that
// overruns it is left to its thread, and the devices count as given up:
// every later call fails at once, and what the call may still use is never
// freed.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

namespace mm {

// How long one call into a device may take: a file opened, a play started
// or stopped, a mixer read, even on a busy machine.
constexpr DWORD kDeviceAnswerMs = 15000;

class DeviceThread {
 public:
  DeviceThread();
  // Ends the thread when it is idle; a thread held by a call is left.
  ~DeviceThread();
  DeviceThread(const DeviceThread&) = delete;
  DeviceThread& operator=(const DeviceThread&) = delete;

  // Runs `call` on the device thread and waits for it, up to `boundMs`.
  // False when it did not return within its bound, when the thread could
  // not start, or when an earlier call overran (then `call` does not run).
  // `call` may still run after a false answer: it must capture by value,
  // or pointers to what lives as long as the process or is forsaken.
  // Called on the device thread itself, `call` runs at once.
  bool Call(std::function<void()> call, DWORD boundMs = kDeviceAnswerMs);
  // The same for a call with a result, which lands in `*out` only when the
  // call returned in time.
  template <class R, class F>
  bool Ask(F f, R* out, DWORD boundMs = kDeviceAnswerMs) {
    auto result = std::make_shared<R>();
    if (!Call([f, result] { *result = f(); }, boundMs)) return false;
    *out = *result;
    return true;
  }
  // Whether a call overran its bound (the devices are given up).
  bool Hung() const;

  // What the thread shares with its callers (it outlives this object when
  // a call holds the thread).
  struct State;

 private:
  std::shared_ptr<State> state_;
};

// Keeps `object` for the rest of the process: what a call that overran its
// bound may still use.
void Forsake(std::shared_ptr<void> object);

}  // namespace mm
