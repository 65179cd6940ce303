#include "portio/simulated.h"

#include <sstream>

namespace portio {

void SimulatedPorts::AddUart(uint16_t base, UartPlug plug) { uarts_[base] = Uart{plug}; }

void SimulatedPorts::AddParallel(uint16_t base, ParallelPlug plug, uint8_t extendedControl) {
  Parallel p;
  p.plug = plug;
  p.extended = extendedControl;
  parallels_[base] = p;
}

SimulatedPorts::Uart* SimulatedPorts::UartAt(uint16_t port, uint16_t* offset) {
  for (auto& [base, uart] : uarts_)
    if (port >= base && port < base + 8) {
      *offset = port - base;
      return &uart;
    }
  return nullptr;
}

SimulatedPorts::Parallel* SimulatedPorts::ParallelAt(uint16_t port, uint16_t* offset) {
  for (auto& [base, p] : parallels_)
    if ((port >= base && port < base + 3) || port == base + 0x402) {
      *offset = port - base;
      return &p;
    }
  return nullptr;
}

uint8_t SimulatedPorts::In(uint16_t port) {
  ++accesses_;
  uint16_t at = 0;
  if (Uart* u = UartAt(port, &at)) {
    switch (at) {
      case 4: return u->control;
      case 6: {
        uint8_t status = (uint8_t)(u->lines | u->changes);
        u->changes = 0;  // reading clears the change bits
        return status;
      }
      case 7: return u->scratch;
      default: return 0;
    }
  }
  if (Parallel* p = ParallelAt(port, &at)) {
    switch (at) {
      case 0: return p->data;
      case 1: {
        // Strobe, line feed and select-in are inverted on the connector;
        // the tester writes its patterns XOR 3 for that.
        uint8_t lines = (uint8_t)((p->control ^ 3) & 0x0F) & (uint8_t)~p->plug.brokenLines;
        uint8_t error = (p->data & 1) && !(p->plug.brokenLines & 0x10) ? 0x08 : 0;
        return (uint8_t)(lines << 4 | error);
      }
      case 2: return p->control;
      case 0x402: return p->extended;
    }
  }
  return 0xFF;  // nothing answers at this address
}

void SimulatedPorts::Out(uint16_t port, uint8_t value) {
  ++accesses_;
  uint16_t at = 0;
  if (Uart* u = UartAt(port, &at)) {
    if (at == 4) {
      u->control = value;
      uint8_t lines = (uint8_t)(((value & 1) ? u->plug.fromDtr : 0) | ((value & 2) ? u->plug.fromRts : 0));
      uint8_t changed = lines ^ u->lines;
      if (changed & kCts) u->changes |= 0x01;
      if (changed & kDsr) u->changes |= 0x02;
      if ((changed & kRi) && !(lines & kRi)) u->changes |= 0x04;  // trailing edge only
      if (changed & kDcd) u->changes |= 0x08;
      u->lines = lines;
    } else if (at == 7) {
      u->scratch = value;
    }
    return;
  }
  if (Parallel* p = ParallelAt(port, &at)) {
    if (at == 0) p->data = value;
    else if (at == 2) p->control = value;
    else if (at == 0x402) p->extended = value;
  }
}

uint8_t SimulatedPorts::Register(uint16_t port) const {
  return const_cast<SimulatedPorts*>(this)->In(port);
}

void FitPorts(SimulatedPorts* ports, const std::string& spec) {
  std::istringstream in(spec);
  std::string item;
  while (std::getline(in, item, ',')) {
    size_t colon = item.find(':');
    if (colon == std::string::npos) continue;
    std::string kind = item.substr(0, colon), plug = item.substr(colon + 1);
    if (kind == "uart" && plug != "absent") {
      UartPlug p = plug == "type1" ? kUartPlugType1 : plug == "dataonly" ? kUartPlugDataOnly : kUartPlugOther;
      for (uint16_t base : {0x3F8, 0x2F8, 0x3E8, 0x2E8}) ports->AddUart(base, p);
    } else if (kind == "lpt" && plug != "absent") {
      ParallelPlug p;
      if (plug == "nodata") p.brokenLines = 0x10;
      else if (plug == "nostrobe") p.brokenLines = 0x01;
      else if (plug == "noinit") p.brokenLines = 0x04;
      for (uint16_t base : {0x378, 0x278, 0x3BC}) ports->AddParallel(base, p);
    }
  }
}

}  // namespace portio
