#include "modemlogic/reply.h"

#include <cctype>
#include <cstring>

namespace modemlogic {

const char* const kResultKeywords[kResultKeywordCount] = {"OK",    "CONNECT",     "RING", "NO CARRIER", "ERROR",
                                                          "CONNECT", "NO DIALTONE", "BUSY", "NO ANSWER"};

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// `len` characters at `pos` of `reply` standing as a finished result line.
bool StandsAsResult(const char* reply, size_t pos, size_t len) {
  if (pos > 0 && !IsLineEnd(reply[pos - 1])) return false;
  char after = reply[pos + len];
  if (!IsLineEnd(after) && after != ' ') return false;
  return std::strchr(reply + pos + len, '\n') != nullptr;
}

int FindResultLine(const char* reply, const char* keyword) {
  size_t len = std::strlen(keyword);
  if (!len) return -1;
  for (const char* p = std::strstr(reply, keyword); p; p = std::strstr(p + 1, keyword))
    if (StandsAsResult(reply, static_cast<size_t>(p - reply), len)) return static_cast<int>(p - reply);
  return -1;
}

}  // namespace

int FindKeywordInReply(const char* reply, const char* keyword) {
  if (!reply || !keyword) return -1;
  int ok = FindResultLine(reply, "OK");
  if (ok >= 0) return ok;
  return FindResultLine(reply, keyword);
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

void ReplyTrace::Reset(const std::string& label) { text_ = " ( " + label + ": )"; }

void ReplyTrace::Add(int code) {
  if (!text_.empty()) text_.pop_back();
  text_ += std::to_string(code) + " )";
}

}  // namespace modemlogic
