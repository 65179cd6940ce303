// What a modem answers, as plain text rules shared by everything in the
// suite that talks AT commands (the modem Test page's engine and the
// information server's modem probe): when a reply is finished, whether it
// was an error, which line of it is the answer, and the failure trace a
// test step shows after its result word.
#pragma once
#include <string>

namespace modemlogic {

// Final result keywords, in the order they are tried.
constexpr int kResultKeywordCount = 9;
extern const char* const kResultKeywords[kResultKeywordCount];

// Where a result keyword of `reply` begins, or -1. A first "OK" that stands
// as a line of its own finishes any reply, whatever `keyword` is; else
// `keyword` must stand at the start of a line, followed by the line's end or
// by a blank and details ("CONNECT 9600"). Either way the line must be
// complete (its LF has arrived), so that a speed after CONNECT is whole and
// an "OK" inside other text ("TOKEN") finishes nothing.
int FindKeywordInReply(const char* reply, const char* keyword);

// Tries the result keywords in order; at the first one found sets *replyOk
// (0 for "ERROR", else 1) and returns true. None: *replyOk = 0, false.
bool MatchResultKeyword(const char* reply, int* replyOk);

// Line `n` (1 = first) of `text`, trimmed of unprintable characters at both
// ends; "" when n < 1, when a line before it or the line itself has no LF,
// or when the line is shorter than 2 characters. A line with nothing
// printable is returned as it stands.
std::string GetReplyLine(const std::string& text, int n);

// The failure codes of one test step: " ( return code: 2 4 )".
class ReplyTrace {
 public:
  // `label` is the text of "return code" in the control's language.
  void Reset(const std::string& label);
  void Add(int code);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace modemlogic
