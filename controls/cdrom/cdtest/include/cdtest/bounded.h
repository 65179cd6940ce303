// Reads from a CD drive with a bound: a drive that never completes a read
// costs the run the bound (the caller then says which drive did not answer),
// and Stop acts during the wait, which lets the page's window through.
#pragma once
#include <windows.h>

#include <cstdint>

namespace cdtest {

class CdHost;
// The sector reader's entry (see engine.h).
typedef DWORD(WINAPI* ReadSectorsFn)(DWORD letter, DWORD first, DWORD count, DWORD* elapsed);

enum class ReadOutcome {
  Done,      // the call came back (with its own answer)
  Failed,    // the call could not be made, or failed at once
  TimedOut,  // no answer within the bound
  Stopped,   // Stop while waiting
};

// How long a drive may take: a read of `bytes` from a file on the disc, or
// a sector reader's call for `count` sectors (spin-up, seeks and the
// slowest drive's rate included).
DWORD FileReadBoundMs(uint64_t bytes);
DWORD SectorReadBoundMs(DWORD count);

// Waits for `done` up to `boundMs`, letting the host's window (and Stop)
// through while it waits.
ReadOutcome WaitForRead(HANDLE done, DWORD boundMs, CdHost& host);

// The sector reader called on a worker of its own; *result and *elapsed
// are its answer when Done. The worker keeps the reader's library and its
// own module loaded until the call comes back, so that nothing it runs is
// unloaded under it, however long the drive takes.
ReadOutcome CallSectorReader(ReadSectorsFn reader, DWORD letter, DWORD first, DWORD count, DWORD boundMs,
                             CdHost& host, DWORD* result, DWORD* elapsed);

// A file opened for overlapped reads, read in order from its start.
class OverlappedFile {
 public:
  OverlappedFile(const wchar_t* path, DWORD flags);
  ~OverlappedFile();
  OverlappedFile(const OverlappedFile&) = delete;
  OverlappedFile& operator=(const OverlappedFile&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool Size(uint64_t* size) const;
  // Reads `n` bytes at the current place into `buffer`; Done only when all
  // came. After TimedOut or Stopped the read is cancelled; when even that
  // does not complete, Unsettled() is true and the buffer must stay.
  ReadOutcome ReadAll(void* buffer, DWORD n, DWORD boundMs, CdHost& host);
  bool Unsettled() const { return unsettled_; }
  // Back to the start.
  void Rewind() { offset_ = 0; }

 private:
  HANDLE h_;
  HANDLE event_;
  uint64_t offset_ = 0;
  bool unsettled_ = false;
};

}  // namespace cdtest
