// Vexholm without its 16-bit partner: the library does not load, neither on
// this system nor under Windows 98, so that its callers behave as on a
// system without it; its three exports sit at their ordinals.
#include <gtest/gtest.h>
#include <windows.h>

#include "load_probe.h"
#include "testsupport/process.h"

TEST(Vexholm, ExportsSitAtTheirOrdinals) {
  // Mapped without running its entry point, which refuses the load here.
  HMODULE lib = ::LoadLibraryExW(testsupport::SuitePath(L"Vexholm.DLL").c_str(), nullptr,
                                 DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_TRUE(lib);
  const char* names[] = {"diag_ThunkData32", "GetQuorrel", "ReadSector"};
  for (int ordinal = 1; ordinal <= 3; ++ordinal) {
    FARPROC byName = ::GetProcAddress(lib, names[ordinal - 1]);
    EXPECT_NE(byName, nullptr) << names[ordinal - 1];
    EXPECT_EQ(byName, ::GetProcAddress(lib, MAKEINTRESOURCEA(ordinal))) << names[ordinal - 1];
  }
  ::FreeLibrary(lib);
}

TEST(Vexholm, WithoutItsPartnerTheLibraryDoesNotLoad) {
  EXPECT_EQ(UnrefusedLoads(testsupport::SuitePath(L"Vexholm.DLL")), "");
}
