// Where a program or control looks for its resource module.
#include <gtest/gtest.h>

#include "appkit/resmodule.h"

TEST(ResourceModule, PathReplacesTheLastFourCharacters) {
  EXPECT_EQ(appkit::ResourceModulePathFor(L"C:\\Suite\\QUORREL.OCX"), L"C:\\Suite\\QUORREL.DLL");
  EXPECT_EQ(appkit::ResourceModulePathFor(L"C:\\Suite\\halvix.exe"), L"C:\\Suite\\halvix.DLL");
  EXPECT_EQ(appkit::ResourceModulePathFor(L"a.ocx"), L"a.DLL");
  // A path too short to have a name before its extension names nothing.
  EXPECT_EQ(appkit::ResourceModulePathFor(L".ocx"), L"");
  EXPECT_EQ(appkit::ResourceModulePathFor(L""), L"");
}

TEST(ResourceModule, MissingModuleLoadsAsNothing) {
  EXPECT_EQ(appkit::LoadResourceModule(L""), nullptr);
  EXPECT_EQ(appkit::LoadResourceModule(L"C:\\no such directory\\NOTHERE.DLL"), nullptr);
  appkit::FreeResourceModule(nullptr);  // ignored
}
