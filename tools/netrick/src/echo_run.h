// One run of echo requests over a raw ICMP socket, as the ping page's worker
// makes it: the hops, what each outcome adds to the list, and when a run
// ends. The socket sits behind EchoTransport, so that the steps can be
// followed in process.
#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "icmp_packet.h"

namespace netrick {

enum class Wait { Answer, TimedOut, Failed, Stopped };

class EchoTransport {
 public:
  virtual ~EchoTransport() = default;
  // The time to live of the following requests; false when it cannot be set.
  virtual bool SetTimeToLive(int ttl) = 0;
  // Sends one request; false when the send failed (the transport says why).
  virtual bool Send(const std::array<uint8_t, kEchoRequestSize>& packet) = 0;
  // Waits (bounded) for the datagram that answers the request `identifier`.
  virtual Wait WaitForAnswer(uint16_t identifier, Datagram* answer) = 0;
  virtual bool StopAsked() const = 0;
  // The millisecond tick count that goes into a request.
  virtual uint32_t Now() const = 0;
};

// What a hop adds to the list.
enum class HopLine {
  TtlFailed,     // "setsockopt() failed"
  Unreachable,   // "Destination host unreachable"
  ReplyTime,     // a ping's reply: source, round trip, time to live
  Reply,         // a trace's echo reply: source, time to live (the run ends)
  TimeExceeded,  // a trace's hop on the way: source, time to live
  Other,         // any other ICMP type (the run ends)
};
struct HopEvent {
  HopLine line;
  uint32_t source = 0;
  unsigned long ms = 0;
  unsigned ttl = 0;
  unsigned type = 0;
};

// 4 echoes, or with `trace` up to 20 hops with time to live 1, 2, ...
// Identifiers and sequence numbers rise over the whole program run. A hop
// whose send failed fails at once: there is no answer to wait for.
void RunEchoes(bool trace, EchoTransport& transport, const std::function<void(const HopEvent&)>& report);

}  // namespace netrick
