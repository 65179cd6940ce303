// TrunnelNT: ReadSectorsFromCD on Windows NT. Opens the drive device, locks
// the door, asks the drive for its sector size, reads the sectors one at a
// time and adds up the milliseconds spent inside the reads. Any failure gives
// 0; the door is unlocked whenever the device was opened. Every call on the
// device is overlapped and bounded: a drive that never completes one makes
// the call fail after the bound instead of holding its caller for ever.
#include <windows.h>
#include <winioctl.h>
#include <ntddcdrm.h>

#include <cstdio>

#include "devicecall.h"

namespace {

using trunnel::BoundedControl;
using trunnel::BoundedRead;
using trunnel::CallResult;
using trunnel::kDeviceCallMs;

// The control code that locks the drive's door (the system's headers name
// only its storage-class twin).
constexpr DWORD kCdromMediaRemoval = 0x24804;

// Largest sector size taken from a drive's geometry (CD and DVD sectors are
// 2048 bytes, raw CD sectors 2352).
constexpr DWORD kMaxSectorSize = 64 * 1024;

// False when the device did not answer within the bound.
bool SetDoorLock(HANDLE drive, bool locked) {
  PREVENT_MEDIA_REMOVAL lock{};
  lock.PreventMediaRemoval = locked ? TRUE : FALSE;
  DWORD n = 0;
  return BoundedControl(drive, kCdromMediaRemoval, &lock, sizeof lock, nullptr, 0, &n, kDeviceCallMs) !=
         CallResult::TimedOut;
}

// The reads of `count` sectors from `first` into a one-sector buffer; the
// counter ticks spent in the reads that succeeded go to *ticks.
bool ReadRun(HANDLE drive, DWORD sectorSize, DWORD first, WORD count, LONGLONG* ticks) {
  void* buffer = ::VirtualAlloc(nullptr, sectorSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!buffer) return false;
  bool ok = true;
  for (WORD i = 0; i < count; ++i) {
    // A 64-bit byte offset: sectors beyond 4 GB are reached as they are.
    uint64_t at = ((uint64_t)first + i) * sectorSize;
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    DWORD got = 0;
    if (BoundedRead(drive, at, buffer, sectorSize, &got, kDeviceCallMs) != CallResult::Done) {
      ok = false;
      break;
    }
    ::QueryPerformanceCounter(&end);
    *ticks += end.QuadPart - start.QuadPart;
  }
  ::VirtualFree(buffer, 0, MEM_RELEASE);
  return ok;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ReadSectorsFromCD(DWORD letter, DWORD first, DWORD countArg,
                                                                 DWORD* elapsed) {
  DWORD ms = 0;
  DWORD result = 0;
  wchar_t path[8];
  _snwprintf(path, 8, L"\\\\.\\%c:", (wchar_t)(letter & 0xFF));
  path[7] = 0;
  HANDLE drive = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (drive != INVALID_HANDLE_VALUE) {
    // A drive that does not even answer the door lock is not read.
    bool answers = SetDoorLock(drive, true);
    DISK_GEOMETRY geometry{};
    DWORD n = 0;
    if (answers &&
        BoundedControl(drive, IOCTL_CDROM_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &n,
                       kDeviceCallMs) == CallResult::Done &&
        n >= sizeof geometry && geometry.BytesPerSector > 0 && geometry.BytesPerSector <= kMaxSectorSize) {
      LONGLONG ticks = 0;
      bool ok = ReadRun(drive, geometry.BytesPerSector, first, (WORD)countArg, &ticks);
      LARGE_INTEGER frequency;
      if (::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0)
        ms = (DWORD)(ticks * 1000 / frequency.QuadPart);
      result = ok ? 1 : 0;
    }
    if (answers) SetDoorLock(drive, false);
    ::CloseHandle(drive);
  }
  if (elapsed) *elapsed = ms;
  return result;
}
