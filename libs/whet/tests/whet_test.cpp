// The Whetstone library: the modules leave the values the classic program
// does, and the export answers seconds as callers expect.
#include <gtest/gtest.h>

#include <cmath>

#include "appkit/paths.h"
#include "whet/whet.h"

namespace {

TEST(Whetstone, TheModulesLeaveTheClassicValues) {
  for (int loops : {1, 10}) {
    whet::Outcome o = whet::RunLoops(loops);
    SCOPED_TRACE(loops);
    // Module 9 swaps the first three elements an even number of times.
    EXPECT_EQ(o.e1[1], 3.0);
    EXPECT_EQ(o.e1[2], 2.0);
    EXPECT_EQ(o.e1[3], 3.0);
    EXPECT_EQ(o.j, 1);
    EXPECT_EQ(o.k, 2);
    EXPECT_EQ(o.l, 3);
    EXPECT_TRUE(std::isfinite(o.e1[4]));
    EXPECT_TRUE(std::isfinite(o.x));
    // Module 11's x -> x^(1/(2*0.50025)) stays in (0.75, 1).
    EXPECT_GT(o.z, 0.75);
    EXPECT_LT(o.z, 1.0);
  }
}

TEST(Whetstone, TheExportAnswersPositiveSecondsOrZeroForNoLoops) {
  HMODULE lib = ::LoadLibraryW((appkit::ModuleDir() + L"..\\suite\\whet.dll").c_str());
  ASSERT_NE(lib, nullptr);
  using Fn = double(WINAPI*)(int);
  auto fn = reinterpret_cast<Fn>(::GetProcAddress(lib, "DoWhetstoneTest"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(fn), reinterpret_cast<void*>(::GetProcAddress(lib, MAKEINTRESOURCEA(1))));
  double t = fn(20);
  EXPECT_TRUE(std::isfinite(t));
  EXPECT_GT(t, 0.0);
  EXPECT_LT(t, 10.0);
  EXPECT_EQ(fn(0), 0.0);
  ::FreeLibrary(lib);
}

}  // namespace
