#include "cdtest/bounded.h"

#include "cdtest/engine.h"

namespace cdtest {

namespace {

// Slices of a wait between two looks at the window and Stop.
constexpr DWORD kSliceMs = 50;

// One call of the sector reader, shared by the caller and the worker; the
// last of the two to let go frees it.
struct ReaderCall {
  volatile LONG refs = 2;
  ReadSectorsFn reader = nullptr;
  DWORD letter = 0, first = 0, count = 0;
  DWORD result = 0, elapsed = 0;
  HANDLE done = nullptr;
  HMODULE readerModule = nullptr;  // pinned while the call runs
  HMODULE ownModule = nullptr;
};

void Release(ReaderCall* c) {
  if (::InterlockedDecrement(&c->refs) != 0) return;
  ::CloseHandle(c->done);
  delete c;
}

DWORD WINAPI ReaderThread(void* arg) {
  ReaderCall* c = static_cast<ReaderCall*>(arg);
  DWORD elapsed = 0;
  DWORD result = c->reader(c->letter, c->first, c->count, &elapsed);
  c->result = result;
  c->elapsed = elapsed;
  ::SetEvent(c->done);
  HMODULE readerModule = c->readerModule, own = c->ownModule;
  Release(c);
  if (readerModule) ::FreeLibrary(readerModule);
  if (own) ::FreeLibraryAndExitThread(own, 0);
  return 0;
}

// The module holding `address`, with a reference of the caller's own.
HMODULE PinModuleOf(const void* address) {
  HMODULE m = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCWSTR>(address), &m)) return nullptr;
  return m;
}

}  // namespace

DWORD FileReadBoundMs(uint64_t bytes) {
  // 20 s for spin-up and retries, and the bytes at a single-speed drive's
  // 150 KB/s, twice over.
  uint64_t ms = 20000 + bytes / 75;
  return (DWORD)(ms > 600000 ? 600000 : ms);
}

DWORD SectorReadBoundMs(DWORD count) {
  // 20 s for spin-up and retries, and a full seek and a sector's transfer
  // per sector.
  uint64_t ms = 20000 + (uint64_t)count * 250;
  return (DWORD)(ms > 3600000 ? 3600000 : ms);
}

ReadOutcome WaitForRead(HANDLE done, DWORD boundMs, CdHost& host) {
  ULONGLONG start = ::GetTickCount64();
  for (;;) {
    if (::WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return ReadOutcome::Done;
    ULONGLONG spent = ::GetTickCount64() - start;
    if (spent >= boundMs) return ReadOutcome::TimedOut;
    DWORD slice = boundMs - spent < kSliceMs ? (DWORD)(boundMs - spent) : kSliceMs;
    if (::MsgWaitForMultipleObjects(1, &done, FALSE, slice, QS_ALLINPUT) == WAIT_OBJECT_0) return ReadOutcome::Done;
    host.Pump();
    // What the pump left in the queue is no longer news to the next wait.
    ::GetQueueStatus(QS_ALLINPUT);
    if (host.Stopped()) return ReadOutcome::Stopped;
  }
}

ReadOutcome CallSectorReader(ReadSectorsFn reader, DWORD letter, DWORD first, DWORD count, DWORD boundMs,
                             CdHost& host, DWORD* result, DWORD* elapsed) {
  *result = 0;
  *elapsed = 0;
  if (!reader) return ReadOutcome::Failed;
  ReaderCall* c = new ReaderCall;
  c->reader = reader;
  c->letter = letter;
  c->first = first;
  c->count = count;
  c->done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!c->done) {
    delete c;
    return ReadOutcome::Failed;
  }
  c->readerModule = PinModuleOf(reinterpret_cast<const void*>(reader));
  c->ownModule = PinModuleOf(reinterpret_cast<const void*>(&ReaderThread));
  HANDLE thread = ::CreateThread(nullptr, 0, ReaderThread, c, 0, nullptr);
  if (!thread) {
    if (c->readerModule) ::FreeLibrary(c->readerModule);
    if (c->ownModule) ::FreeLibrary(c->ownModule);
    c->refs = 1;
    Release(c);
    return ReadOutcome::Failed;
  }
  ::CloseHandle(thread);
  ReadOutcome r = WaitForRead(c->done, boundMs, host);
  if (r == ReadOutcome::Done) {
    *result = c->result;
    *elapsed = c->elapsed;
  }
  Release(c);
  return r;
}

OverlappedFile::OverlappedFile(const wchar_t* path, DWORD flags)
    : h_(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags | FILE_FLAG_OVERLAPPED,
                       nullptr)),
      event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!event_ && h_ != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }
}

OverlappedFile::~OverlappedFile() {
  // A read the system never gave back keeps its handle and event.
  if (unsettled_) return;
  if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  if (event_) ::CloseHandle(event_);
}

bool OverlappedFile::Size(uint64_t* size) const {
  LARGE_INTEGER n;
  if (!::GetFileSizeEx(h_, &n) || n.QuadPart < 0) return false;
  *size = (uint64_t)n.QuadPart;
  return true;
}

ReadOutcome OverlappedFile::ReadAll(void* buffer, DWORD n, DWORD boundMs, CdHost& host) {
  if (!ok() || unsettled_) return ReadOutcome::Failed;
  // The OVERLAPPED record must outlive a read that does not settle.
  OVERLAPPED* ov = new OVERLAPPED{};
  ov->Offset = (DWORD)offset_;
  ov->OffsetHigh = (DWORD)(offset_ >> 32);
  ov->hEvent = event_;
  ::ResetEvent(event_);
  if (!::ReadFile(h_, buffer, n, nullptr, ov) && ::GetLastError() != ERROR_IO_PENDING) {
    delete ov;
    return ReadOutcome::Failed;
  }
  ReadOutcome r = WaitForRead(event_, boundMs, host);
  if (r != ReadOutcome::Done) {
    ::CancelIoEx(h_, ov);
    if (::WaitForSingleObject(event_, 5000) != WAIT_OBJECT_0) {
      unsettled_ = true;  // the record, the buffer and the handle stay
      return r;
    }
    DWORD ignored = 0;
    ::GetOverlappedResult(h_, ov, &ignored, FALSE);
    delete ov;
    return r;
  }
  DWORD got = 0;
  bool ok = ::GetOverlappedResult(h_, ov, &got, FALSE) != 0;
  delete ov;
  offset_ += got;
  return ok && got == n ? ReadOutcome::Done : ReadOutcome::Failed;
}

}  // namespace cdtest
