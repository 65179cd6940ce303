// The modem test's small rules: setting clamps, result texts built from
// replies, and the bound of a command line.
#pragma once
#include <string>

namespace modemlogic {

// "TestATS6Repeat": 2..5.
int ClampToneRepeat(long long value);
// "TestATS6Input" as it is kept: upper case.
std::string UpperCased(std::string text);
// The recording source: true for the line input (first letter "L").
bool RecordsLineInput(const std::string& input);

// The command buffer holds 100 bytes: a command, its CR and the terminator.
constexpr size_t kCommandBufferSize = 100;
bool FitsCommandBuffer(const std::string& command);

// "ATQ0" -> "ATQ:\t" (the first three characters).
std::string StandardCommandLabel(const std::string& command);
// "ATS12?" -> "S12:\t" (without "AT" and "?").
std::string RegisterLabel(const std::string& query);

// The speed after the first "CONNECT" of a raw reply (blanks skipped); 0
// when there is none or no number.
int ConnectSpeed(const std::string& rawReply);

// The result of a call that connected at `speed`: with `checkSpeed`, a speed
// below 1 or below `minimum` fails. Text: the word alone when the speed is
// below 1, else word(speed).
struct CallResult {
  bool failed;
  std::string text;
};
CallResult JudgeConnection(bool checkSpeed, int speed, int minimum, const std::string& passed,
                           const std::string& failed);

// An analog loopback's reply line "CONNECT 9600..." shown as
// PASSED(CONNECT 9600): the line up to its first unprintable character.
bool LoopbackConnected(const std::string& replyLine);
std::string LoopbackShown(const std::string& replyLine);

}  // namespace modemlogic
