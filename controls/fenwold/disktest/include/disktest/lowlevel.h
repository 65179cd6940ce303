// Windows 9x only: the low-level Verify tests (verify sector, head seek,
// funnel seek, random seek) through the BIOS disk services of the
// system-access library Vexholm, the benchmark's access time measured the
// same way, and the BIOS unit of a drive letter.
#pragma once
#include <windows.h>

#include <cstdint>
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

// The BIOS unit (0x80 ...) of drive 1 = A:, 2 = B:, ... through the DOS
// IOCTL of "\\.\vwin32"; 0 when it cannot be learned.
uint8_t GetInt13Unit(int drive);

}  // namespace disktest
