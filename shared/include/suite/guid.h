// GUIDs written as text in the form the type libraries take them
// ("A02BD608-F0F6-11D2-AA4B-00403323FD64": hex digits of either case, no
// braces), read at compile time, so that a table keeps each id once as text
// and the build reads the same text into the .idl files.
#pragma once
#ifndef RC_INVOKED
#include <windows.h>

#include <cstdlib>

namespace suite {

constexpr int GuidHexDigit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The GUID that text spells, to out; false (out untouched) for any other
// text, nullptr included. Reads no character past the first one that does
// not fit, so never past the text's end.
constexpr bool ParseGuid(const char* text, GUID& out) {
  if (text == nullptr) return false;
  unsigned char nibble[32] = {};
  int n = 0;
  for (int i = 0; i < 36; ++i) {
    char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
      continue;
    }
    int digit = GuidHexDigit(c);
    if (digit < 0) return false;
    nibble[n++] = (unsigned char)digit;
  }
  if (text[36] != '\0') return false;
  auto value = [&nibble](int from, int count) {
    unsigned long v = 0;
    for (int k = from; k < from + count; ++k) v = v * 16 + nibble[k];
    return v;
  };
  GUID g{};
  g.Data1 = value(0, 8);
  g.Data2 = (unsigned short)value(8, 4);
  g.Data3 = (unsigned short)value(12, 4);
  for (int b = 0; b < 8; ++b) g.Data4[b] = (unsigned char)value(16 + 2 * b, 2);
  out = g;
  return true;
}

// Not constexpr: reached by a malformed text, it keeps Guid() from being a
// constant expression, so a table holding one does not compile.
[[noreturn]] inline void GuidTextIsMalformed() { std::abort(); }

// The GUID of a well-formed text, for constant tables.
constexpr GUID Guid(const char* text) {
  GUID g{};
  if (!ParseGuid(text, g)) GuidTextIsMalformed();
  return g;
}

}  // namespace suite
#endif  // RC_INVOKED
