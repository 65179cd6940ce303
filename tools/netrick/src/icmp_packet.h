// The ICMP echo packet of the ping and trace: building a request, the
// Internet checksum, and reading what a raw socket hands back (an IP header
// of 20 bytes or more, then the ICMP message).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace netrick {

constexpr size_t kEchoRequestSize = 45;
constexpr int kEchoDataBytes = 32;  // the bytes 32..63 after the header and tick count
constexpr size_t kReceiveBufferSize = 321;

// RFC 1071 over little-endian 16-bit words; an odd last byte adds as a number.
uint16_t InternetChecksum(const uint8_t* data, size_t size);

// Type 8, code 0, checksum, identifier, sequence, a zero byte, the tick
// count, then the bytes 32, 33, ..., 63.
std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t tick);

// What a received datagram says. `valid` is false when it is too short to
// hold an IP header and an ICMP header.
struct Datagram {
  bool valid = false;
  uint8_t ttl = 0;
  uint8_t type = 0;
  uint32_t source = 0;       // bytes 12..15 of the IP header, as stored
  uint16_t identifier = 0;   // of an echo or echo reply
  uint32_t echoedTick = 0;   // of an echo reply that carries our tick count
  bool hasTick = false;
  // For an error message (time exceeded, unreachable): the identifier of
  // the echo request it quotes, when it quotes one.
  bool quotesEcho = false;
  uint16_t quotedIdentifier = 0;
};
Datagram ParseDatagram(const uint8_t* data, size_t size);

enum : uint8_t { kIcmpEchoReply = 0, kIcmpUnreachable = 3, kIcmpEcho = 8, kIcmpTimeExceeded = 11 };

// Whether a datagram answers our request with `identifier`: an echo reply
// carrying it, or an error message that quotes our request. Our own echo
// requests (a raw socket reads them back on the loopback) and other
// programs' traffic do not count.
bool AnswersRequest(const Datagram& d, uint16_t identifier);

}  // namespace netrick
