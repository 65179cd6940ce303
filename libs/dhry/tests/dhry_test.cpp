// The Dhrystone library: the loop ends with the values the classic program
// reports as correct, and the export answers seconds as callers expect.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "appkit/paths.h"
#include "dhry/dhry.h"
#include "testsupport/module_imports.h"

namespace {

TEST(Dhrystone, TheLoopEndsWithTheValuesTheClassicProgramExpects) {
  for (int runs : {1, 50, 1000}) {
    dhry::Outcome o = dhry::RunLoops(runs);
    SCOPED_TRACE(runs);
    EXPECT_EQ(o.intGlob, 5);
    EXPECT_EQ(o.boolGlob, 1);
    EXPECT_EQ(o.ch1Glob, 'A');
    EXPECT_EQ(o.ch2Glob, 'B');
    EXPECT_EQ(o.arr1Glob8, 7);
    EXPECT_EQ(o.arr2Glob87, runs + 10);
    EXPECT_EQ(o.ptrGlobIntComp, 17);
    EXPECT_EQ(o.ptrGlobEnumComp, 2);
    EXPECT_EQ(o.nextPtrIntComp, 18);
    EXPECT_EQ(o.nextPtrEnumComp, 1);
    EXPECT_EQ(o.int1Loc, 5);
    EXPECT_EQ(o.int2Loc, 13);
    EXPECT_EQ(o.int3Loc, 7);
    EXPECT_EQ(o.enumLoc, 1);
    EXPECT_EQ(o.ptrGlobStr, "DHRYSTONE PROGRAM, SOME STRING");
    EXPECT_EQ(o.str1Loc, "DHRYSTONE PROGRAM, 1'ST STRING");
    EXPECT_EQ(o.str2Loc, "DHRYSTONE PROGRAM, 2'ND STRING");
  }
}

// The loop's strcmp (the library's own, linked into this test as into the
// library), called through a pointer so that no call is folded at compile time.
int (*volatile g_strcmp)(const char*, const char*) = &std::strcmp;

int Sign(int v) { return (v > 0) - (v < 0); }

// The sign the C library answers: the first differing byte, as unsigned char.
int ByteSign(const char* a, const char* b) {
  auto s = reinterpret_cast<const unsigned char*>(a);
  auto t = reinterpret_cast<const unsigned char*>(b);
  while (*s != 0 && *s == *t) ++s, ++t;
  return (*s > *t) - (*s < *t);
}

// Every case at every pair of alignments, so that differences and ends fall
// at each place of a word.
TEST(Dhrystone, StrcmpAnswersAsTheCLibraryDoes) {
  const char* const cases[][2] = {
      {"", ""},
      {"", "A"},
      {"DHRYSTONE PROGRAM, 1'ST STRING", "DHRYSTONE PROGRAM, 2'ND STRING"},
      {"DHRYSTONE PROGRAM, 2'ND STRING", "DHRYSTONE PROGRAM, 2'ND STRING"},
      {"DHRYSTONE PROGRAM, 3'RD STRING", "DHRYSTONE PROGRAM, 2'ND STRING"},
      {"ABCDEFG", "ABCDEFGH"},
      {"ABCDEFGH", "ABCDEFGH"},
      {"ABCDEFGHI", "ABCDEFGH"},
      {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOQ"},
      {"Xbcdefgh", "Abcdefgh"},
      {"abcdefg\x80", "abcdefg\x7f"},  // bytes compare unsigned
      {"\xff", "\x01"},
      {"abc\x81xyz", "abc\x01xyz"},
  };
  for (const auto& c : cases) {
    for (int oa = 0; oa < 9; ++oa) {
      for (int ob = 0; ob < 9; ++ob) {
        char a[64] = {}, b[64] = {};
        std::memcpy(a + oa, c[0], std::strlen(c[0]) + 1);
        std::memcpy(b + ob, c[1], std::strlen(c[1]) + 1);
        SCOPED_TRACE(std::string(c[0]) + " | " + c[1] + " at " + std::to_string(oa) + "," + std::to_string(ob));
        int want = ByteSign(a + oa, b + ob);
        EXPECT_EQ(Sign(g_strcmp(a + oa, b + ob)), want);
        EXPECT_EQ(Sign(g_strcmp(b + ob, a + oa)), -want);
      }
    }
  }
}

// Strings that end at the last byte before an inaccessible page are read no
// further than their ends.
TEST(Dhrystone, StrcmpReadsNothingPastAPageThatEndsAString) {
  SYSTEM_INFO si{};
  ::GetSystemInfo(&si);
  const size_t page = si.dwPageSize;
  auto mem = static_cast<char*>(::VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(mem, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(::VirtualProtect(mem + page, page, PAGE_NOACCESS, &old));
  char* end = mem + page;
  std::memset(mem, 'A', page);
  end[-1] = 0;
  for (size_t len = 0; len < 24; ++len) {
    for (size_t other = 0; other < 24; ++other) {
      SCOPED_TRACE(std::to_string(len) + "," + std::to_string(other));
      // Both strings end at the page's last byte: the same text, or a shorter
      // one that is its tail.
      const char* a = end - 1 - len;
      const char* b = end - 1 - other;
      EXPECT_EQ(Sign(g_strcmp(a, b)), (len > other) - (len < other));
      EXPECT_EQ(Sign(g_strcmp(b, a)), (other > len) - (other < len));
    }
  }
  ::VirtualFree(mem, 0, MEM_RELEASE);
}

// msvcrt's strcmp compares a byte at a time and took a third of a run: the
// library does not bind the loop to it.
TEST(Dhrystone, TheLoopDoesNotUseMsvcrtsStrcmp) {
  HMODULE lib = ::LoadLibraryW((appkit::ModuleDir() + L"..\\suite\\dhry.dll").c_str());
  ASSERT_NE(lib, nullptr);
  std::set<std::string> crt = benchtest::ImportsFrom(lib, "msvcrt.dll");
  EXPECT_FALSE(crt.empty());
  EXPECT_EQ(crt.count("strcmp"), 0u);
  ::FreeLibrary(lib);
}

TEST(Dhrystone, TheExportAnswersPositiveSecondsOrZeroForNoRuns) {
  HMODULE lib = ::LoadLibraryW((appkit::ModuleDir() + L"..\\suite\\dhry.dll").c_str());
  ASSERT_NE(lib, nullptr);
  using Fn = double(WINAPI*)(int);
  auto fn = reinterpret_cast<Fn>(::GetProcAddress(lib, "DoDhrystoneTest"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(fn), reinterpret_cast<void*>(::GetProcAddress(lib, MAKEINTRESOURCEA(1))));
  double t = fn(20000);
  EXPECT_TRUE(std::isfinite(t));
  EXPECT_GT(t, 0.0);
  EXPECT_LT(t, 10.0);
  EXPECT_EQ(fn(0), 0.0);
  EXPECT_EQ(fn(-5), 0.0);
  ::FreeLibrary(lib);
}

}  // namespace
