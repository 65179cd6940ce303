// The check list of the Test page: its rows per mode and the rules that
// keep at least one test selected and tie the MMX row to the CPU speed row.
#pragma once
#include <array>
#include <string>

namespace memtest {

constexpr int kTestRows = 5;
constexpr unsigned kItemCheckable = 0x80, kItemChecked = 1, kItemLockedOff = 2, kItemLockedOn = 4;
constexpr int kMmxRow = 3, kCpuSpeedRow = 4;

// The five selection flags of a mode, in row order (1 = selected).
using TestFlags = std::array<int, kTestRows>;
// Item data of the five rows; -1 for a missing item (LB_ERR).
using ItemData = std::array<long, kTestRows>;

const std::array<const char*, kTestRows>& TestRowNames(bool processor);

// Takes the check state of every checkable row into its flag (only when the
// list holds all five rows).
void ReadTestSelection(const ItemData& data, int count, TestFlags* flags);
// Item data of a freshly filled list; in processor mode an unselected CPU
// speed row also clears and locks the MMX row.
ItemData FillItemData(bool processor, TestFlags* flags);
// The list's questions before a click takes effect (flags already read back
// from the list). Nonzero lets it; `data` gets the MMX row's new item data
// where a rule changes it (answer `*changed` true).
int CanCheckTest(bool processor, int index, const TestFlags& flags, ItemData* data, bool* changed);
int CanUncheckTest(bool processor, int index, TestFlags* flags, ItemData* data, bool* changed);

}  // namespace memtest
