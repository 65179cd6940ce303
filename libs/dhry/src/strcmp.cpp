// The C library's strcmp, compiled into the library: msvcrt's compares a
// byte at a time, and took a third of a Dhrystone run. This one compares a
// machine word at a time, with the same answers as the C library's (the
// sign of the first differing byte, as unsigned char; -1, 0 or 1). A word is
// read only when it lies within one page of both strings, so it never
// touches memory past the page that holds a string's terminating zero.
// Built with -fno-builtin, so the byte loop is not turned back into a call
// (the word reads name the compiler's memcpy, which stays one load).
#include <stdint.h>
#include <stddef.h>

namespace {

constexpr uintptr_t kOnes = ~uintptr_t{0} / 0xff;  // 0x0101...01
constexpr uintptr_t kHighs = kOnes * 0x80;         // 0x8080...80
constexpr uintptr_t kPage = 4096;

inline bool WordFitsInPage(const unsigned char* p) {
  return (reinterpret_cast<uintptr_t>(p) & (kPage - 1)) <= kPage - sizeof(uintptr_t);
}

// The index of the lowest byte that has a bit set in m (m not zero).
inline unsigned LowestByte(uintptr_t m) {
  return (sizeof m == 8 ? __builtin_ctzll(m) : __builtin_ctz(static_cast<unsigned>(m))) / 8;
}

}  // namespace

extern "C" int strcmp(const char* left, const char* right) {
  auto s = reinterpret_cast<const unsigned char*>(left);
  auto t = reinterpret_cast<const unsigned char*>(right);
  for (;;) {
    if (WordFitsInPage(s) && WordFitsInPage(t)) {
      uintptr_t x, y;
      __builtin_memcpy(&x, s, sizeof x);
      __builtin_memcpy(&y, t, sizeof y);
      // The lowest set bit of ends is the first zero byte of x, exactly (the
      // borrows reach only the bytes above it); bytes are in memory order
      // from the lowest on this little-endian processor.
      uintptr_t ends = (x - kOnes) & ~x & kHighs;
      uintptr_t marks = (x ^ y) | ends;
      if (marks == 0) {
        s += sizeof x;
        t += sizeof y;
        continue;
      }
      unsigned i = LowestByte(marks);
      return s[i] < t[i] ? -1 : s[i] > t[i];
    }
    // The word would reach into the next page: one byte.
    if (*s != *t) return *s < *t ? -1 : 1;
    if (*s == 0) return 0;
    ++s;
    ++t;
  }
}
