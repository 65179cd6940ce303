// The Whetstone library: the modules leave the values the classic program
// does, and the export answers seconds as callers expect.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "appkit/paths.h"
#include "testsupport/module_imports.h"
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

// What the classic program leaves after 1, 10 and 100 loops, from a build
// on another C library: math libraries differ in the last bit, so the
// values agree to 1e-12, far closer than any routine of lower precision
// (or a changed loop) would come.
TEST(Whetstone, TheModulesComputeTheClassicProgramsNumbers) {
  struct Case {
    int loops;
    double e14, x, y, z;
  };
  const Case cases[] = {
      {1, -1.1302716215293103, 0.49903830801545246, 0.49902315648528489, 0.75986514488824641},
      {10, -1.1030980569256008, 0.49040731615904543, 0.49039249795610007, 0.83466551951905177},
      {100, -0.86630136653807888, 0.41367028569559916, 0.4136583232441432, 0.99724988856150121},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loops);
    whet::Outcome o = whet::RunLoops(c.loops);
    EXPECT_NEAR(o.e1[4], c.e14, 1e-12 * std::fabs(c.e14));
    EXPECT_NEAR(o.x, c.x, 1e-12 * c.x);
    EXPECT_NEAR(o.y, c.y, 1e-12 * c.y);
    EXPECT_NEAR(o.z, c.z, 1e-12 * c.z);
  }
}

// The toolchain's own sin, cos, exp and log are slow x87 code that ran the
// benchmark at less than half the processor's speed: the library takes all
// of the loops' elementary functions from the C library.
TEST(Whetstone, TheLoopsUseTheCLibrarysElementaryFunctions) {
  HMODULE lib = ::LoadLibraryW((appkit::ModuleDir() + L"..\\suite\\whet.dll").c_str());
  ASSERT_NE(lib, nullptr);
  std::set<std::string> crt = benchtest::ImportsFrom(lib, "msvcrt.dll");
  for (const char* fn : {"sin", "cos", "atan", "exp", "log"}) EXPECT_EQ(crt.count(fn), 1u) << fn;
  ::FreeLibrary(lib);
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
