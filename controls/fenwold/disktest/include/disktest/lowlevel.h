// Windows 9x only: the low-level Verify tests (verify sector, head seek,
// funnel seek, random seek) through the BIOS disk services of the
// system-access library Vexholm, the benchmark's access time measured the
// same way, and the BIOS unit of a drive letter.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace disktest {

typedef DWORD(WINAPI* GetQuorrelFn)(WORD infoClass, WORD size, void* buffer);
typedef DWORD(WINAPI* ReadSectorFn)(DWORD drive, DWORD cylinder, DWORD head, DWORD sector, DWORD command,
                                    void* buffer, DWORD size);

// The library's entries and the labels its geometry texts carry.
struct SystemAccess {
  GetQuorrelFn getQuorrel = nullptr;
  ReadSectorFn readSector = nullptr;
  std::string floppyLabel = "Tracks:";
  std::string diskLabel = "CHS-Tracks:";
  bool Bound() const { return getQuorrel && readSector; }
};

// Buffer size of every geometry query.
constexpr size_t kSystemAccessBufferSize = 10248;

// What the Verify run does to the results list.
class VerifyHost {
 public:
  virtual ~VerifyHost() = default;
  virtual int AddLine(const std::string& text) = 0;
  virtual void DeleteLine(int index) = 0;
  virtual void Progress(int percent) = 0;
  virtual void Beep() = 0;
  // Background erasing of the list (off while one line keeps changing).
  virtual void Erase(bool on) = 0;
};

// The four tests on every fixed disk (or floppies A: and B:). A geometry
// query that fails, or a geometry with a 0 in it, beeps and ends the run.
void RunVerifyTests(bool floppy, const SystemAccess& access, VerifyHost& host, HINSTANCE texts);

// Average time in ms of `rounds` pairs of one-sector reads a third of the
// disk apart on BIOS unit `unit`; negative when it cannot be measured (no
// geometry, fewer than 6 cylinders, a failed read).
double MeasureAccessTime9x(uint8_t unit, const SystemAccess& access);

// The register block of the DOS IOCTL service of "\\.\vwin32".
struct DosRegisters {
  DWORD ebx, edx, ecx, eax, edi, esi, flags;
};

// The device the BIOS unit is asked of, and the box shown after a retry.
class Int13Device {
 public:
  virtual ~Int13Device() = default;
  // INVALID_HANDLE_VALUE when there is no such device.
  virtual HANDLE Open() = 0;
  // The DOS IOCTL call; EDX of `r` holds the address of `record` (16 bytes).
  virtual BOOL Call(HANDLE device, DosRegisters* r, uint8_t* record) = 0;
  virtual void Close(HANDLE device) = 0;
  // The message box after the retry; an unattended run shows none.
  virtual void RetryBox(const std::wstring& text) = 0;
};

// The BIOS unit (0x80 ...) of drive 1 = A:, 2 = B:, ... through the DOS
// IOCTL (function 440Dh, minor 6Fh, with the 48h category first and 08h
// after a failure, which shows the retry box with string 101); 0 when it
// cannot be learned.
uint8_t GetInt13Unit(int drive, Int13Device& device, HINSTANCE texts);
// The same on "\\.\vwin32"; `retryBox` shows the box (empty: none).
uint8_t GetInt13Unit(int drive, HINSTANCE texts, const std::function<void(const std::wstring&)>& retryBox);

}  // namespace disktest
