// What a modem answers, as plain text rules shared by everything in the
// suite that talks AT commands (the modem Test page's engine and the
// information server's modem probe): when a reply is finished, whether it
// was an error, which line of it is the answer, and the failure trace a
// test step shows after its result word.
#pragma once
#include <cstddef>
#include <string>

namespace modemlogic {

// Final result keywords, in the order they are tried.
constexpr int kResultKeywordCount = 9;
extern const char* const kResultKeywords[kResultKeywordCount];

// Where a result keyword of `reply` begins, or -1. A first "OK" that stands
// as a line of its own finishes any reply, whatever `keyword` is; else
// `keyword` must stand at the start of a line, followed by the line's end or
// by a blank and details ("CONNECT 9600"); "OK" itself must be the whole
// line. Either way the line must be complete (its LF has arrived), so that a
// speed after CONNECT is whole and an "OK" inside other text ("TOKEN",
// "OK then") finishes nothing.
int FindKeywordInReply(const char* reply, const char* keyword);

// Tries the result keywords in order; at the first one found sets *replyOk
// (0 for "ERROR", else 1) and returns true. None: *replyOk = 0, false.
bool MatchResultKeyword(const char* reply, int* replyOk);

// Line `n` (1 = first) of `text`, trimmed of unprintable characters at both
// ends; "" when n < 1, when a line before it or the line itself has no LF,
// or when the line is shorter than 2 characters. A line with nothing
// printable is returned as it stands.
std::string GetReplyLine(const std::string& text, int n);

// The text a modem sends in answer to one command, collected chunk by chunk
// in bounded memory, so that whatever comes before the result line is read
// past and the result line is still found:
// - NUL bytes (line noise, padding) are dropped, or read as blanks with
//   `nulAsBlank` (a line test's data, where the text is shown);
// - a line (ended by CR or LF) longer than kMaxReplyLine keeps its first
//   kMaxReplyLine characters; the rest of it is skipped;
// - when the text grows beyond kReplyHeadMax + kReplyTailMax, the lines
//   between its first three (the echo and the answer) and its last ones
//   go, whole.
constexpr size_t kMaxReplyLine = 999;
constexpr size_t kReplyHeadMax = 3 * (kMaxReplyLine + 2);
constexpr size_t kReplyTailMax = 2 * (kMaxReplyLine + 2) + 64;

class ReplyCollector {
 public:
  explicit ReplyCollector(bool nulAsBlank = false) : nulAsBlank_(nulAsBlank) {}
  void Add(const char* bytes, size_t count);
  // The text kept: never holds a NUL, never longer than the two bounds.
  const std::string& Text() const { return text_; }
  bool Empty() const { return text_.empty(); }

 private:
  void Trim();

  bool nulAsBlank_;
  std::string text_;
  size_t lineLength_ = 0;  // characters of the unfinished line so far
  bool skipping_ = false;  // the rest of an over-long line goes
  int lineFeeds_ = 0;      // LFs kept, up to the third
  size_t head_ = std::string::npos;  // end of the first lines, once known
  bool trimmed_ = false;   // the head is fixed from the first trim on
};

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
