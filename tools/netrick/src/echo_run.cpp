#include "echo_run.h"

#include <atomic>

namespace netrick {

namespace {

// Rising over the whole run of the program, across pings.
std::atomic<uint32_t> g_identifier{1};
std::atomic<uint32_t> g_sequence{1};

}  // namespace

void RunEchoes(bool trace, EchoTransport& transport, const std::function<void(const HopEvent&)>& report) {
  const int echoes = trace ? 20 : 4;
  for (int i = 1; i <= echoes && !transport.StopAsked(); ++i) {
    if (trace && !transport.SetTimeToLive(i)) report({HopLine::TtlFailed});
    const uint16_t identifier = (uint16_t)g_identifier++;
    const auto packet = BuildEchoRequest(identifier, (uint16_t)g_sequence++, transport.Now());
    if (!transport.Send(packet)) continue;
    Datagram answer;
    const Wait w = transport.WaitForAnswer(identifier, &answer);
    if (w == Wait::Failed || w == Wait::Stopped) break;
    if (w == Wait::TimedOut) {
      report({HopLine::Unreachable});
      continue;
    }
    if (!trace) {
      const unsigned long ms = answer.hasTick ? (unsigned long)(transport.Now() - answer.echoedTick) : 0;
      report({HopLine::ReplyTime, answer.source, ms, answer.ttl});
      continue;
    }
    if (answer.type == kIcmpEchoReply) {
      report({HopLine::Reply, answer.source, 0, answer.ttl});
      break;
    }
    if (answer.type == kIcmpTimeExceeded) {
      report({HopLine::TimeExceeded, answer.source, 0, answer.ttl});
      continue;
    }
    report({HopLine::Other, 0, 0, 0, answer.type});
    break;
  }
}

}  // namespace netrick
