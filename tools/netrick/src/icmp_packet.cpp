#include "icmp_packet.h"

namespace netrick {

uint16_t InternetChecksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < size; i += 2) sum += (uint32_t)data[i] | ((uint32_t)data[i + 1] << 8);
  if (i < size) sum += data[i];
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum += sum >> 16;
  return (uint16_t)~sum;
}

std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t tick) {
  std::array<uint8_t, kEchoRequestSize> p{};
  p[0] = kIcmpEcho;
  p[1] = 0;
  p[4] = (uint8_t)identifier;
  p[5] = (uint8_t)(identifier >> 8);
  p[6] = (uint8_t)sequence;
  p[7] = (uint8_t)(sequence >> 8);
  p[8] = 0;
  for (int b = 0; b < 4; ++b) p[9 + b] = (uint8_t)(tick >> (8 * b));
  for (int i = 0; i < kEchoDataBytes; ++i) p[13 + i] = (uint8_t)(32 + i);
  const uint16_t sum = InternetChecksum(p.data(), p.size());
  p[2] = (uint8_t)sum;
  p[3] = (uint8_t)(sum >> 8);
  return p;
}

namespace {
uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24); }
size_t IpHeaderLength(const uint8_t* ip) { return (size_t)(ip[0] & 0x0F) * 4; }
}  // namespace

Datagram ParseDatagram(const uint8_t* data, size_t size) {
  Datagram d;
  if (!data || size < 20) return d;
  const size_t ihl = IpHeaderLength(data);
  if (ihl < 20 || size < ihl + 8) return d;
  d.valid = true;
  d.ttl = data[8];
  d.source = Le32(data + 12);
  const uint8_t* icmp = data + ihl;
  d.type = icmp[0];
  d.identifier = Le16(icmp + 4);
  if ((d.type == kIcmpEchoReply || d.type == kIcmpEcho) && size >= ihl + 13) {
    d.echoedTick = Le32(icmp + 9);
    d.hasTick = true;
  }
  if (d.type != kIcmpEchoReply && d.type != kIcmpEcho) {
    // An error message quotes the original IP header and 8 bytes of it.
    const uint8_t* inner = icmp + 8;
    if (size >= ihl + 8 + 20) {
      const size_t innerIhl = IpHeaderLength(inner);
      if (innerIhl >= 20 && size >= ihl + 8 + innerIhl + 8 && inner[9] == 1 /* ICMP */ &&
          inner[innerIhl] == kIcmpEcho) {
        d.quotesEcho = true;
        d.quotedIdentifier = Le16(inner + innerIhl + 4);
      }
    }
  }
  return d;
}

bool AnswersRequest(const Datagram& d, uint16_t identifier) {
  if (!d.valid) return false;
  if (d.type == kIcmpEchoReply) return d.identifier == identifier;
  if (d.type == kIcmpEcho) return false;
  return d.quotesEcho && d.quotedIdentifier == identifier;
}

}  // namespace netrick
