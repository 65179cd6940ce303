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

// ---- Bounds of the waits on a modem, whatever the settings say ------------
// A modem itself waits at most 255 s (its S7 carrier and S18 test timers)
// before it answers: no reply is awaited longer than that and a margin.
constexpr unsigned kLongestReplyWaitMs = 260000;
// Hang-ups and restores after Stop or at close: a modem answers them at
// once, and the run's end must not wait on one that does not.
constexpr unsigned kCleanupReplyWaitMs = 3000;
// ... and their replies are looked for at least this often.
constexpr unsigned kCleanupPollMs = 100;
unsigned BoundedReplyTimeout(unsigned long long timeoutMs);
// The pause between two looks at the port: the setting, at least 1 ms, and
// never longer than the read's time-out (a longer pause would only put off
// the time-out and a reply that has come).
unsigned PollIntervalMs(unsigned long long innerLoopDelay, unsigned timeoutMs);
// How long a reply that is still arriving when its time-out passes may go
// on: the time a full reply (1000 bytes, 10 bits each) takes at the port's
// speed (300 baud when the speed is unknown or lower).
unsigned ReplyTrickleMs(unsigned long baud);

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
