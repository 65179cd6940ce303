// The test items that the icon list, the tree, the toolbar view and the menus
// follow: one table of candidates, and the rules that pick from it what each
// view shows under the "Options" switches, the platform, the companion
// programs found at start and the selected group. Plain functions over plain
// data; the views only insert what these return.
#pragma once
#include <string>
#include <vector>

namespace halvix {

enum class ItemGroup { Test, Page, Reserved, Tool };

// Which platforms or start conditions a row depends on.
enum class ItemCondition {
  Always,
  Corvith,   // only when Corvith was found at start (not counted otherwise)
  Pernath,   // only when Pernath was found at start (not counted otherwise)
  Only9x,    // Windows 9x only (not counted on NT)
  Usb,       // shown on 9x and on NT from major version 5; always counted
  OnlyNt,    // NT only (not counted on 9x)
};

struct TestItem {
  int command;
  const wchar_t* name;
  const wchar_t* description;
  const wchar_t* status;
  int bit;  // bit of "Options"
  ItemGroup group;
  ItemCondition condition;
};

// Every candidate row, in table order (the reserved row included).
const std::vector<TestItem>& TestItemTable();

// What decides which rows apply.
struct ItemPlatform {
  bool windows9x = false;
  int ntMajor = 6;  // low byte of the version on NT
  bool corvithFound = false;
  bool pernathFound = false;
};

// The view that asks: the control-panel layout, and which group is selected
// (0 the first group, 1 "Shortcuts").
struct ItemView {
  bool controlPanel = false;
  int group = 1;
};

// One entry of the icon list: its list position, its icon (= the sequence
// number) and its command.
struct ListEntry {
  int index;
  int image;
  int command;
  const TestItem* item;
};

// A menu command's state after the list was built.
struct MenuState {
  int command;
  bool enabled;
};

struct ListBuild {
  std::vector<ListEntry> entries;
  std::vector<MenuState> menu;
};

// The icon list's items for the "Options" bits; `menu` holds one state for
// every row whose platform condition holds (the reserved row included).
ListBuild BuildListItems(unsigned options, const ItemPlatform& platform, const ItemView& view);

// The sequence number (icon index) of every row on this platform; -1 for a
// row that is not counted.
int SequenceOf(int command, const ItemPlatform& platform);

// The tree's children of the root (test items whose bit is set), in order.
struct NodeEntry {
  int command;
  const wchar_t* caption;
  int image;
};
std::vector<NodeEntry> TreeNodes(unsigned options);
// The toolbar view's buttons: the first group, the tests whose bit is set,
// "Shortcuts".
std::vector<NodeEntry> ToolbarButtons(unsigned options);

// The status text of a command (empty for unknown ids and, on 9x, the NT rows).
std::wstring StatusTextOf(int command, bool windows9x);

// ---- the icon list's own drag-move and its saved places
constexpr int kPositionSlots = 40;
// "ITEMPOS<n>X" / "ITEMPOS<n>Y".
std::wstring ItemPosValueName(int slot, bool y);
struct SlotPoint {
  int x = -1, y = -1;
  bool Valid() const { return x >= 0 && y >= 0; }
};
// A drop moves the item only when the pointer went further than `dragMin`
// in x or in y.
bool DragMoves(int pressX, int pressY, int lastX, int lastY, int dragMin);

// ---- title view: where the 16x16 icon stands in a strip of this height
int TitleIconTop(int clientHeight);

// ---- collect-information dialog
// The progress bar's next position after a one-second tick.
int CollectProgressStep(int position);
// The category to request after the reply for `done`; -1 when all are done.
int CollectNextCategory(long done);

}  // namespace halvix
