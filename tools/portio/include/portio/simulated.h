// Simulated serial and parallel ports with loopback plugs, behind PortIo:
// what the testers' tests run against, in process and (through the test
// builds of the testers) end to end.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "portio/portio.h"

namespace portio {

// Modem status lines (high four bits of the modem status register).
constexpr uint8_t kCts = 0x10, kDsr = 0x20, kRi = 0x40, kDcd = 0x80;

// Which status lines a serial loopback plug drives from DTR and from RTS.
struct UartPlug {
  uint8_t fromDtr = 0;
  uint8_t fromRts = 0;
};
// The two wirings the serial tester knows (plug type 1 and the other), and a
// plug that loops data but no modem lines.
constexpr UartPlug kUartPlugOther{kDcd | kDsr, kCts | kRi};
constexpr UartPlug kUartPlugType1{kDsr | kRi, kCts | kDcd};
constexpr UartPlug kUartPlugDataOnly{0, 0};

// The parallel loopback plug: each of the control lines strobe, line feed,
// init and select-in drives one status line (select, paper out, ack, busy),
// and data bit 0 drives error. A line of `brokenLines` (bit 0..3 for the four
// control lines, bit 4 for data 0) stays low.
struct ParallelPlug {
  uint8_t brokenLines = 0;
};

class SimulatedPorts : public PortIo {
 public:
  // A 16550-like UART at `base` (modem control +4, modem status +6,
  // scratch +7) with `plug` fitted.
  void AddUart(uint16_t base, UartPlug plug);
  // A parallel port at `base` (data, status +1, control +2, extended
  // control +0x402) with `plug` fitted.
  void AddParallel(uint16_t base, ParallelPlug plug, uint8_t extendedControl = 0x15);

  uint8_t In(uint16_t port) override;
  void Out(uint16_t port, uint8_t value) override;
  void Pause(DWORD ms) override { paused_ += ms; }

  DWORD PausedMs() const { return paused_; }
  int Accesses() const { return accesses_; }
  // The value a register of a simulated port holds (0xFF when there is none).
  uint8_t Register(uint16_t port) const;

 private:
  struct Uart {
    UartPlug plug;
    uint8_t control = 0, lines = 0, changes = 0, scratch = 0;
  };
  struct Parallel {
    ParallelPlug plug;
    uint8_t data = 0, control = 0, extended = 0;
  };
  Uart* UartAt(uint16_t port, uint16_t* offset);
  Parallel* ParallelAt(uint16_t port, uint16_t* offset);
  std::map<uint16_t, Uart> uarts_;
  std::map<uint16_t, Parallel> parallels_;
  DWORD paused_ = 0;
  int accesses_ = 0;
};

// Access that is always there, to simulated ports.
class SimulatedAccess : public PortAccess {
 public:
  bool Acquire() override { return true; }
  void Release() override {}
  PortIo& Io() override { return ports; }
  SimulatedPorts ports;
};

// The serial and parallel ports the testers look at, fitted as `spec` says:
// comma-separated "uart:<plug>" (other, type1, dataonly, absent) for the
// four serial ports and "lpt:<plug>" (plug, nodata, nostrobe, noinit,
// absent) for the three parallel ports. Unnamed kinds are absent.
void FitPorts(SimulatedPorts* ports, const std::string& spec);

}  // namespace portio
