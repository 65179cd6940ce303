// Check-list rules of the Test page.
#include "memtest/testlist.h"

namespace memtest {

const std::array<const char*, kTestRows>& TestRowNames(bool processor) {
  static const std::array<const char*, kTestRows> cpu = {
      "General Register Test", "Mathematical Calculation Test", "Math Performance Test",
      "MMX Arithmetic Test (for MMX CPU only)", "CPU Speed Test"};
  static const std::array<const char*, kTestRows> mem = {
      "Data Pattern Test", "Walking Ones Test", "Moving Inversion Test", "Walking Zeros Test",
      "Random Memory Block Copy Test"};
  return processor ? cpu : mem;
}

void ReadTestSelection(const ItemData& data, int count, TestFlags* flags) {
  if (count < kTestRows) return;
  for (int i = 0; i < kTestRows; ++i)
    if (data[i] != -1 && (data[i] & kItemCheckable)) (*flags)[i] = (int)(data[i] & kItemChecked);
}

ItemData FillItemData(bool processor, TestFlags* flags) {
  ItemData d{};
  TestFlags& f = *flags;
  for (int i = 0; i < kTestRows; ++i) d[i] = (f[i] == 1 ? 1 : 0) | kItemCheckable;
  if (processor) {
    if (f[kCpuSpeedRow]) {
      d[kMmxRow] = (f[kMmxRow] == 1 ? 1 : 0) | kItemCheckable;
    } else {
      f[kMmxRow] = 0;
      d[kMmxRow] = kItemCheckable | kItemLockedOff;
    }
    d[kCpuSpeedRow] = (f[kCpuSpeedRow] ? 1 : 0) | kItemCheckable;
  }
  return d;
}

int CanCheckTest(bool processor, int index, const TestFlags& flags, ItemData* data, bool* changed) {
  *changed = false;
  if (!processor) return 1;
  if (index == kCpuSpeedRow) {
    (*data)[kMmxRow] = kItemCheckable;
    *changed = true;
    return 1;
  }
  if (index == kMmxRow && flags[kCpuSpeedRow] == 0) return 0;
  return 1;
}

int CanUncheckTest(bool processor, int index, TestFlags* flags, ItemData* data, bool* changed) {
  *changed = false;
  int n = 0;
  for (int f : *flags) n += f == 1;
  if (!processor || index != kCpuSpeedRow) return n > 1;
  if (n < 2 || (n == 2 && (*flags)[kMmxRow] == 1)) return 0;
  (*flags)[kMmxRow] = 0;
  (*data)[kMmxRow] = kItemCheckable | kItemLockedOff;
  *changed = true;
  return 1;
}

}  // namespace memtest
