// The Dhrystone library: the loop ends with the values the classic program
// reports as correct, and the export answers seconds as callers expect.
#include <gtest/gtest.h>

#include <cmath>

#include "appkit/paths.h"
#include "dhry/dhry.h"

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
