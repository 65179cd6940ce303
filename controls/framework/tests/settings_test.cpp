// A setting's range as the runner applies it to the 32-bit value stored.
#include <gtest/gtest.h>

#include "ctlfw/settings.h"

using namespace ctlfw;

TEST(SettingRange, OutsideReadsAsTheDefaultOrTheNearerBound) {
  const SettingDef delay("Delay", 100, InRange(1, 1000));
  const SettingDef repeat("Repeat", 4, ClampedTo(2, 5));
  const SettingDef flag("Enable", 1, kSwitch);
  const SettingDef any("Any", 7, SettingRange{});
  const struct {
    const SettingDef* def;
    DWORD stored;
    int used;
  } cases[] = {
      {&delay, 0, 100},          {&delay, 1, 1},          {&delay, 1000, 1000},      {&delay, 1001, 100},
      {&delay, 0xFFFFFFFF, 100}, {&delay, 0x7FFFFFFF, 100}, {&delay, 0x80000000, 100},
      {&repeat, 1, 2},           {&repeat, 6, 5},         {&repeat, 0xFFFFFFFF, 2}, {&repeat, 0x7FFFFFFF, 5},
      {&repeat, 0x80000000, 2},  {&repeat, 3, 3},
      {&flag, 0, 0},             {&flag, 1, 1},           {&flag, 2, 1},            {&flag, 0xFFFFFFFF, 1},
      {&any, 0xFFFFFFFF, -1},    {&any, 0x7FFFFFFF, 0x7FFFFFFF},
  };
  for (const auto& c : cases) EXPECT_EQ(SettingValue(*c.def, &c.stored), c.used) << c.def->name << " " << c.stored;
  // No stored value: the default.
  EXPECT_EQ(SettingValue(delay, nullptr), 100);
  EXPECT_EQ(SettingValue(repeat, nullptr), 4);
}
