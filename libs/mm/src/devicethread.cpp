#include "mm/devicethread.h"

#include <deque>
#include <vector>

#include "appkit/threads.h"

namespace mm {

namespace {

struct Job {
  explicit Job(std::function<void()> c) : call(std::move(c)), done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Job() {
    if (done) ::CloseHandle(done);
  }
  std::function<void()> call;
  HANDLE done;
};

}  // namespace

struct DeviceThread::State {
  State() : wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) { ::InitializeCriticalSection(&lock); }
  ~State() {
    if (wake) ::CloseHandle(wake);
    ::DeleteCriticalSection(&lock);
  }
  CRITICAL_SECTION lock;
  std::deque<std::shared_ptr<Job>> queue;
  HANDLE wake;  // a job or the end waits
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  bool quit = false;
  volatile LONG hung = 0;
  HMODULE module = nullptr;  // kept loaded while the thread runs code of it
};

namespace {

struct Start {
  std::shared_ptr<DeviceThread::State> state;
};

}  // namespace

// The thread: runs the queued calls one after the other and, between them,
// dispatches its own windows' messages (a video device's display window
// belongs to the thread that opened the device).
static DWORD WINAPI DeviceThreadProc(void* arg) {
  std::shared_ptr<DeviceThread::State> s = static_cast<Start*>(arg)->state;
  delete static_cast<Start*>(arg);
  HMODULE module = s->module;
  for (;;) {
    std::shared_ptr<Job> job;
    ::EnterCriticalSection(&s->lock);
    if (!s->queue.empty()) {
      job = s->queue.front();
      s->queue.pop_front();
    }
    bool quit = s->quit;
    ::LeaveCriticalSection(&s->lock);
    if (job) {
      job->call();
      job->call = nullptr;  // what it captured goes here, on this thread
      ::SetEvent(job->done);
      continue;
    }
    if (quit) break;
    if (::MsgWaitForMultipleObjects(1, &s->wake, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
  }
  s.reset();
  if (module) ::FreeLibraryAndExitThread(module, 0);
  return 0;
}

DeviceThread::DeviceThread() : state_(std::make_shared<State>()) {}

DeviceThread::~DeviceThread() {
  State& s = *state_;
  if (!s.thread) return;
  ::EnterCriticalSection(&s.lock);
  s.quit = true;
  ::LeaveCriticalSection(&s.lock);
  ::SetEvent(s.wake);
  // An idle thread ends at once; one held by a call is left to it.
  if (!s.hung) appkit::WaitServingSentMessages(s.thread, kDeviceAnswerMs);
  ::CloseHandle(s.thread);
  s.thread = nullptr;
}

bool DeviceThread::Hung() const { return state_->hung != 0; }

bool DeviceThread::Call(std::function<void()> call, DWORD boundMs) {
  State& s = *state_;
  if (s.hung) return false;
  if (s.thread && ::GetCurrentThreadId() == s.threadId) {
    call();
    return true;
  }
  if (!s.thread) {
    // The thread keeps the module that holds its code loaded for as long as
    // it runs: a call may return long after its caller went.
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DeviceThreadProc),
                         &s.module);
    auto* start = new Start{state_};
    s.thread = ::CreateThread(nullptr, 0, &DeviceThreadProc, start, 0, &s.threadId);
    if (!s.thread) {
      delete start;
      if (s.module) ::FreeLibrary(s.module);
      s.module = nullptr;
      return false;
    }
  }
  auto job = std::make_shared<Job>(std::move(call));
  if (!job->done) return false;
  ::EnterCriticalSection(&s.lock);
  s.queue.push_back(job);
  ::LeaveCriticalSection(&s.lock);
  ::SetEvent(s.wake);
  if (appkit::WaitServingSentMessages(job->done, boundMs)) return true;
  s.hung = 1;
  return false;
}

void Forsake(std::shared_ptr<void> object) {
  static SRWLOCK lock = SRWLOCK_INIT;
  // Never freed, not even when the process ends.
  static auto* kept = new std::vector<std::shared_ptr<void>>;
  ::AcquireSRWLockExclusive(&lock);
  kept->push_back(std::move(object));
  ::ReleaseSRWLockExclusive(&lock);
}

}  // namespace mm
