#include "modemlogic/rules.h"

#include <cctype>
#include <cstdlib>

namespace modemlogic {

int ClampToneRepeat(long long value) {
  if (value < 2) return 2;
  if (value > 5) return 5;
  return (int)value;
}

std::string UpperCased(std::string text) {
  for (char& c : text) c = (char)std::toupper((unsigned char)c);
  return text;
}

bool RecordsLineInput(const std::string& input) { return !input.empty() && std::toupper((unsigned char)input[0]) == 'L'; }

bool FitsCommandBuffer(const std::string& command) { return command.size() + 2 <= kCommandBufferSize; }

unsigned BoundedReplyTimeout(unsigned long long timeoutMs) {
  return timeoutMs > kLongestReplyWaitMs ? kLongestReplyWaitMs : (unsigned)timeoutMs;
}

unsigned PollIntervalMs(unsigned long long innerLoopDelay, unsigned timeoutMs) {
  unsigned long long most = timeoutMs ? timeoutMs : 1;
  if (innerLoopDelay > most) innerLoopDelay = most;
  return innerLoopDelay ? (unsigned)innerLoopDelay : 1;
}

unsigned ReplyTrickleMs(unsigned long baud) {
  if (baud < 300) baud = 300;
  return (unsigned)(1000ULL * 10 * 1000 / baud);
}

std::string StandardCommandLabel(const std::string& command) { return command.substr(0, 3) + ":\t"; }

std::string RegisterLabel(const std::string& query) {
  std::string s = query;
  if (s.size() >= 2 && (s[0] == 'A' || s[0] == 'a') && (s[1] == 'T' || s[1] == 't')) s.erase(0, 2);
  if (!s.empty() && s.back() == '?') s.pop_back();
  return s + ":\t";
}

int ConnectSpeed(const std::string& raw) {
  size_t at = raw.find("CONNECT");
  if (at == std::string::npos) return 0;
  size_t p = at + 7;
  while (p < raw.size() && (raw[p] == ' ' || raw[p] == '\t')) ++p;
  long long v = 0;
  while (p < raw.size() && std::isdigit((unsigned char)raw[p]) && v < 1000000000LL) v = v * 10 + (raw[p++] - '0');
  return (int)v;
}

CallResult JudgeConnection(bool checkSpeed, int speed, int minimum, const std::string& passed,
                           const std::string& failed) {
  bool bad = checkSpeed && (speed < 1 || speed < minimum);
  const std::string& word = bad ? failed : passed;
  return {bad, speed < 1 ? word : word + "(" + std::to_string(speed) + ")"};
}

bool LoopbackConnected(const std::string& replyLine) { return replyLine.compare(0, 7, "CONNECT") == 0; }

std::string LoopbackShown(const std::string& replyLine) {
  size_t end = 0;
  while (end < replyLine.size() && std::isprint((unsigned char)replyLine[end])) ++end;
  return "(" + replyLine.substr(0, end) + ")";
}

}  // namespace modemlogic
