#include "modemreply/reply.h"

#include <cctype>
#include <cstring>

namespace modemlogic {

const char* const kResultKeywords[kResultKeywordCount] = {"OK",    "CONNECT",     "RING", "NO CARRIER", "ERROR",
                                                          "CONNECT", "NO DIALTONE", "BUSY", "NO ANSWER"};

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// `len` characters at `pos` of `reply` standing as a finished result line
// (with `details`, a blank and more text may follow them on the line).
bool StandsAsResult(const char* reply, size_t pos, size_t len, bool details) {
  if (pos > 0 && !IsLineEnd(reply[pos - 1])) return false;
  char after = reply[pos + len];
  if (!IsLineEnd(after) && !(details && after == ' ')) return false;
  return std::strchr(reply + pos + len, '\n') != nullptr;
}

int FindResultLine(const char* reply, const char* keyword, bool details) {
  size_t len = std::strlen(keyword);
  if (!len) return -1;
  for (const char* p = std::strstr(reply, keyword); p; p = std::strstr(p + 1, keyword))
    if (StandsAsResult(reply, static_cast<size_t>(p - reply), len, details)) return static_cast<int>(p - reply);
  return -1;
}

}  // namespace

int FindKeywordInReply(const char* reply, const char* keyword) {
  if (!reply || !keyword) return -1;
  int ok = FindResultLine(reply, "OK", false);
  if (ok >= 0) return ok;
  return FindResultLine(reply, keyword, std::strcmp(keyword, "OK") != 0);
}

bool MatchResultKeyword(const char* reply, int* replyOk) {
  for (const char* keyword : kResultKeywords) {
    if (FindKeywordInReply(reply, keyword) >= 0) {
      *replyOk = std::strcmp(keyword, "ERROR") == 0 ? 0 : 1;
      return true;
    }
  }
  *replyOk = 0;
  return false;
}

std::string GetReplyLine(const std::string& text, int n) {
  if (n < 1) return std::string();
  size_t from = 0;
  for (int i = 1; i < n; ++i) {
    size_t lf = text.find('\n', from);
    if (lf == std::string::npos) return std::string();
    from = lf + 1;
  }
  size_t lf = text.find('\n', from);
  if (lf == std::string::npos || lf - from < 2) return std::string();
  std::string line = text.substr(from, lf - from);
  size_t first = std::string::npos, last = std::string::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (std::isprint(static_cast<unsigned char>(line[i]))) {
      if (first == std::string::npos) first = i;
      last = i;
    }
  }
  if (first == std::string::npos) return line;
  return line.substr(first, last - first + 1);
}

void ReplyCollector::Add(const char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    char c = bytes[i];
    if (c == 0) {
      if (!nulAsBlank_) continue;
      c = ' ';
    }
    if (IsLineEnd(c)) {
      text_ += c;
      lineLength_ = 0;
      skipping_ = false;
      if (c == '\n' && lineFeeds_ < 3 && ++lineFeeds_ == 3 && !trimmed_) head_ = text_.size();
    } else if (!skipping_ && lineLength_ < kMaxReplyLine) {
      text_ += c;
      ++lineLength_;
    } else {
      skipping_ = true;
    }
    if (text_.size() > kReplyHeadMax + kReplyTailMax) Trim();
  }
}

void ReplyCollector::Trim() {
  if (!trimmed_) {
    // The first lines stay: they hold the echo and the answer. Without
    // three whole lines in reach, the head ends at a line end inside it.
    if (head_ == std::string::npos || head_ > kReplyHeadMax) {
      size_t end = text_.find_last_of("\r\n", kReplyHeadMax - 1);
      head_ = end == std::string::npos ? 0 : end + 1;
    }
    trimmed_ = true;
  }
  // The tail starts where a line starts: every line is shorter than it.
  size_t from = text_.size() - kReplyTailMax;
  size_t end = text_.find_first_of("\r\n", from - 1);
  size_t tail = end == std::string::npos ? text_.size() : end + 1;
  if (tail > head_) text_.erase(head_, tail - head_);
}

void ReplyTrace::Reset(const std::string& label) { text_ = " ( " + label + ": )"; }

void ReplyTrace::Add(int code) {
  if (!text_.empty()) text_.pop_back();
  text_ += std::to_string(code) + " )";
}

}  // namespace modemlogic
