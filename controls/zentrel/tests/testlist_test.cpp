// Rules of the Test page's check list.
#include <gtest/gtest.h>

#include "memtest/testlist.h"

using namespace memtest;

TEST(MemtestTestList, AtLeastOneTestStaysAndMmxFollowsTheCpuSpeedRow) {
  struct Case {
    const char* name;
    bool processor;
    bool uncheck;
    int index;
    TestFlags flags;
    int answer;
    int mmxFlagAfter;
    long mmxDataAfter;  // -1: unchanged
  } cases[] = {
      {"memory: last selected stays", false, true, 2, {0, 0, 1, 0, 0}, 0, 0, -1},
      {"memory: one of two may go", false, true, 2, {1, 0, 1, 0, 0}, 1, 0, -1},
      {"memory: checking is free", false, false, 0, {0, 0, 1, 0, 0}, 1, 0, -1},
      {"cpu: MMX locked without speed", true, false, 3, {1, 0, 0, 0, 0}, 0, 0, -1},
      {"cpu: speed frees MMX", true, false, 4, {1, 0, 0, 0, 0}, 1, 0, 0x80},
      {"cpu: speed off clears MMX", true, true, 4, {1, 0, 0, 1, 1}, 1, 0, 0x82},
      {"cpu: speed and MMX only", true, true, 4, {0, 0, 0, 1, 1}, 0, 1, -1},
      {"cpu: speed alone", true, true, 4, {0, 0, 0, 0, 1}, 0, 0, -1},
      {"cpu: other row, last one", true, true, 0, {1, 0, 0, 0, 0}, 0, 0, -1},
  };
  for (const Case& c : cases) {
    TestFlags flags = c.flags;
    ItemData data{0x81, 0x81, 0x81, 0x55, 0x81};
    bool changed = false;
    int answer = c.uncheck ? CanUncheckTest(c.processor, c.index, &flags, &data, &changed)
                           : CanCheckTest(c.processor, c.index, flags, &data, &changed);
    EXPECT_EQ(answer, c.answer) << c.name;
    EXPECT_EQ(flags[3], c.mmxFlagAfter) << c.name;
    EXPECT_EQ(changed ? data[3] : -1, c.mmxDataAfter) << c.name;
  }
}

TEST(MemtestTestList, FillAndReadBack) {
  TestFlags cpu{1, 0, 1, 1, 0};
  EXPECT_EQ(FillItemData(true, &cpu), (ItemData{0x81, 0x80, 0x81, 0x82, 0x80}));
  EXPECT_EQ(cpu[3], 0);
  TestFlags mem{1, 0, 1, 1, 0};
  EXPECT_EQ(FillItemData(false, &mem), (ItemData{0x81, 0x80, 0x81, 0x81, 0x80}));

  TestFlags read{1, 1, 1, 1, 1};
  ReadTestSelection(ItemData{0x80, 0x81, -1, 0x01, 0x82}, 5, &read);
  EXPECT_EQ(read, (TestFlags{0, 1, 1, 1, 0}));  // missing and uncheckable rows keep their flag
  TestFlags few{1, 1, 1, 1, 1};
  ReadTestSelection(ItemData{0x80, 0x80, 0x80, 0x80, 0x80}, 4, &few);
  EXPECT_EQ(few, (TestFlags{1, 1, 1, 1, 1}));
}
