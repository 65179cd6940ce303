// Register access of the loopback testers: one byte in from or out to an I/O
// port address. The testers take it through PortIo, so that the same test
// code runs against the machine's ports (direct access on Windows 9x, or on
// Windows NT once the port driver's device is open) and against a simulated
// port in tests.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

namespace portio {

class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual uint8_t In(uint16_t port) = 0;
  virtual void Out(uint16_t port, uint8_t value) = 0;
  // The pause before or after a register access (10 ms on hardware).
  virtual void Pause(DWORD ms) { ::Sleep(ms); }
};

// Direct port instructions of this process. An instruction the system
// refuses (no I/O privilege) reads 0xFF, writes nothing and is remembered:
// never a crash.
class MachinePorts : public PortIo {
 public:
  uint8_t In(uint16_t port) override;
  void Out(uint16_t port, uint8_t value) override;
  // Whether any access so far was refused.
  bool Refused() const { return refused_; }

 private:
  bool refused_ = false;
};

// Where a tester gets register access for one port's test.
class PortAccess {
 public:
  virtual ~PortAccess() = default;
  // False: there is no access now, and no register may be touched.
  virtual bool Acquire() = 0;
  virtual void Release() = 0;
  virtual PortIo& Io() = 0;
};

// The machine's registers: on Windows 9x always; on Windows NT only while
// the port driver's device is open (each tester opens it by its own name,
// access and attributes).
class MachineAccess : public PortAccess {
 public:
  MachineAccess(bool windowsNt, const wchar_t* device, DWORD access, DWORD attributes)
      : nt_(windowsNt), device_(device), access_(access), attributes_(attributes) {}
  ~MachineAccess() override { Release(); }
  bool Acquire() override;
  void Release() override;
  PortIo& Io() override { return ports_; }

 private:
  bool nt_;
  const wchar_t* device_;
  DWORD access_, attributes_;
  HANDLE driver_ = INVALID_HANDLE_VALUE;
  MachinePorts ports_;
};

}  // namespace portio
