// The item table as the views see it (which items show under the "Options"
// switches, the platform, the companions and the selected group, with which
// icon), the logo text of a help page, and the small rules of the views and
// the collect dialog.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "logo_text.h"
#include "test_items.h"

using namespace halvix;

namespace {

constexpr unsigned kAll = 0xFFFFFFFFu;
constexpr unsigned kDefaultOptions = 0xFFFDFFFFu;  // all but the I/O port test

using Pairs = std::vector<std::pair<int, int>>;  // (command, icon)

Pairs Shown(unsigned options, const ItemPlatform& p, bool controlPanel, int group) {
  ItemView v;
  v.controlPanel = controlPanel;
  v.group = group;
  Pairs out;
  for (const ListEntry& e : BuildListItems(options, p, v).entries) {
    EXPECT_EQ(e.index, e.image);
    out.push_back({e.command, e.image});
  }
  return out;
}

ItemPlatform Nt(int major = 6) {
  ItemPlatform p;
  p.windows9x = false;
  p.ntMajor = major;
  return p;
}
ItemPlatform Win9x() {
  ItemPlatform p;
  p.windows9x = true;
  p.ntMajor = 4;
  return p;
}

const Pairs kTestsAndPages = {{133, 2},  {1050, 3},  {32783, 4}, {1032, 5},  {1033, 6},
                              {1054, 7}, {140, 8},   {142, 10},  {147, 11},  {1018, 12},
                              {1019, 13}, {1020, 14}, {135, 15}, {62164, 16}, {1023, 17}};

TEST(ItemTable, WhatEachViewShowsOnNtAndOn9x) {
  ItemPlatform companions = Nt();
  companions.corvithFound = companions.pernathFound = true;
  struct Case {
    const char* what;
    unsigned options;
    ItemPlatform platform;
    bool controlPanel;
    int group;
    Pairs shown;
  } cases[] = {
      // Every switch on, control panel, first group, no companions: the tests
      // and pages, the reserved slot 9 left out but counted.
      {"9x control panel", kAll, Win9x(), true, 0, kTestsAndPages},
      {"NT control panel", kAll, Nt(), true, 0, kTestsAndPages},
      // The tree layout's first group: only the pages.
      {"NT tree, first group", kAll, Nt(), false, 0, {{1050, 3}, {32783, 4}, {135, 15}, {62164, 16}, {1023, 17}}},
      // "Shortcuts": the tools, with the platform's own rows.
      {"NT shortcuts",
       kAll,
       Nt(),
       false,
       1,
       {{32785, 18}, {1040, 19}, {1041, 20}, {1042, 21}, {32816, 22}, {32791, 23}, {32817, 24}, {62306, 25}, {62310, 26}}},
      {"9x shortcuts",
       kAll,
       Win9x(),
       false,
       1,
       {{32785, 18}, {1040, 19}, {1041, 20}, {1042, 21}, {32816, 22}, {32791, 23}, {32792, 24}, {32793, 25}, {32817, 26}}},
      // NT 4: no USB item, but its slot stays.
      {"NT 4 shortcuts",
       kAll,
       Nt(4),
       false,
       1,
       {{32785, 18}, {1040, 19}, {1041, 20}, {1042, 21}, {32816, 22}, {32791, 23}, {62306, 25}, {62310, 26}}},
      // Companions found: they take the two slots after the MS-DOS row.
      {"NT shortcuts with companions",
       kAll,
       companions,
       false,
       1,
       {{32780, 16}, {32782, 17}, {32785, 20}, {1040, 21}, {1041, 22}, {1042, 23}, {32816, 24}, {32791, 25},
        {32817, 26}, {62306, 27}, {62310, 28}}},
      // The default switches hide the I/O port test; a few bits cleared hide
      // their items without moving any icon.
      {"NT default options, control panel",
       kDefaultOptions & ~(1u << 18) & ~(1u << 6) & ~(1u << 25),
       Nt(),
       true,
       1,
       {{133, 2},    {1050, 3},   {32783, 4},  {1032, 5},   {140, 8},    {142, 10},   {147, 11},   {1018, 12},
        {1019, 13},  {1020, 14},  {135, 15},   {1023, 17},  {32785, 18}, {1040, 19},  {1041, 20},  {1042, 21},
        {32816, 22}, {32791, 23}, {32817, 24}, {62310, 26}}},
      // Windows 98 with the same switches: TCP and SCSI come, the NT rows go.
      {"9x default options, control panel",
       kDefaultOptions & ~(1u << 18) & ~(1u << 6) & ~(1u << 25),
       Win9x(),
       true,
       1,
       {{133, 2},    {1050, 3},   {32783, 4},  {1032, 5},   {140, 8},    {142, 10},   {147, 11},   {1018, 12},
        {1019, 13},  {1020, 14},  {135, 15},   {1023, 17},  {32785, 18}, {1040, 19},  {1041, 20},  {1042, 21},
        {32816, 22}, {32791, 23}, {32792, 24}, {32793, 25}, {32817, 26}}},
      {"everything off", 0, Nt(), true, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Shown(c.options, c.platform, c.controlPanel, c.group), c.shown);
  }
}

// Each icon index is the item's place in the application's image lists:
// 2 group icons, 14 rows, the companions found, 8 shared rows, 3 platform rows.
TEST(ItemTable, SequenceNumbersMatchTheImageListOrder) {
  EXPECT_EQ(SequenceOf(141, Nt()), 9);  // reserved, counted
  EXPECT_EQ(SequenceOf(32780, Nt()), -1);
  EXPECT_EQ(SequenceOf(32792, Nt()), -1);
  EXPECT_EQ(SequenceOf(62306, Win9x()), -1);
  EXPECT_EQ(SequenceOf(62310, Nt()), 26);   // the last of 27 icons on NT
  EXPECT_EQ(SequenceOf(32817, Win9x()), 26);  // the last of 27 on 9x
  EXPECT_EQ(SequenceOf(32817, Nt(4)), 24);
}

TEST(ItemTable, MenuStatesFollowTheSwitchesOfTheRowsThatApply) {
  ItemView v;
  v.controlPanel = true;
  v.group = 0;
  const unsigned options = kAll & ~(1u << 18) & ~(1u << 21);  // memory test, reserved
  auto menuOf = [&](const ItemPlatform& p) {
    std::vector<std::pair<int, bool>> m;
    for (const MenuState& s : BuildListItems(options, p, v).menu) m.push_back({s.command, s.enabled});
    return m;
  };
  auto find = [](const std::vector<std::pair<int, bool>>& m, int command) {
    for (const auto& e : m)
      if (e.first == command) return e.second ? 1 : 0;
    return -1;  // not touched
  };
  auto nt = menuOf(Nt());
  EXPECT_EQ(find(nt, 1033), 0);
  EXPECT_EQ(find(nt, 141), 0);  // the reserved row keeps its menu state
  EXPECT_EQ(find(nt, 1032), 1);
  EXPECT_EQ(find(nt, 32785), 1);  // a tool of the hidden group: enabled all the same
  EXPECT_EQ(find(nt, 32792), -1);
  EXPECT_EQ(find(nt, 32780), -1);
  auto w9x = menuOf(Win9x());
  EXPECT_EQ(find(w9x, 32792), 1);
  EXPECT_EQ(find(w9x, 62306), -1);
}

TEST(ItemTable, TreeNodesAndToolbarButtons) {
  std::vector<std::pair<int, int>> nodes;
  for (const NodeEntry& n : TreeNodes(kAll)) nodes.push_back({n.command, n.image});
  EXPECT_EQ(nodes, (Pairs{{133, 2}, {1032, 5}, {1033, 6}, {1054, 7}, {140, 8}, {142, 10}, {147, 11}, {1018, 12},
                          {1019, 13}, {1020, 14}}));
  // Memory test switched off: no node; the button captions stay their own.
  std::vector<std::wstring> captions;
  std::vector<int> commands;
  for (const NodeEntry& n : ToolbarButtons(kAll & ~(1u << 18) & ~(1u << 2))) {
    captions.push_back(n.caption);
    commands.push_back(n.command);
  }
  EXPECT_EQ(commands, (std::vector<int>{1146, 1032, 1054, 140, 142, 147, 1018, 1019, 1020, 1147}));
  EXPECT_EQ(captions.front(), L"Qev");
  EXPECT_EQ(captions[1], L"Processor Test");
  EXPECT_EQ(captions[2], L"I/O Port Test");
  EXPECT_EQ(captions.back(), L"Shortcuts");
}

TEST(ItemTable, StatusTexts) {
  EXPECT_EQ(StatusTextOf(133, false), L"Information About Your System Configuration");
  EXPECT_EQ(StatusTextOf(62306, false), L"Shortcut to MS NT Diagnostics");
  EXPECT_EQ(StatusTextOf(62306, true), L"");
  EXPECT_EQ(StatusTextOf(32792, true), L"TCP Tools");
  EXPECT_EQ(StatusTextOf(141, false), L"");
  EXPECT_EQ(StatusTextOf(4242, false), L"");
}

TEST(ViewRules, DragThresholdTitleIconCollectSteps) {
  // "DragMin" 3: at most 3 pixels either way moves nothing.
  EXPECT_FALSE(DragMoves(10, 10, 13, 13, 3));
  EXPECT_FALSE(DragMoves(10, 10, 7, 7, 3));
  EXPECT_TRUE(DragMoves(10, 10, 14, 10, 3));
  EXPECT_TRUE(DragMoves(10, 10, 10, 6, 3));
  EXPECT_EQ(ItemPosValueName(0, false), L"ITEMPOS0X");
  EXPECT_EQ(ItemPosValueName(39, true), L"ITEMPOS39Y");

  EXPECT_EQ(TitleIconTop(10), 0);
  EXPECT_EQ(TitleIconTop(16), 0);
  EXPECT_EQ(TitleIconTop(22), 3);

  // The bar climbs by 5 to 100; the tick after puts it back to 10.
  int pos = 0;
  for (int tick = 0; tick < 20; ++tick) pos = CollectProgressStep(pos);
  EXPECT_EQ(pos, 100);
  EXPECT_EQ(CollectProgressStep(pos), 10);
  EXPECT_EQ(CollectNextCategory(0), 1);
  EXPECT_EQ(CollectNextCategory(14), 15);
  EXPECT_EQ(CollectNextCategory(15), -1);
  EXPECT_EQ(CollectNextCategory(-1), -1);  // a reply with no category of ours asks for nothing
}

TEST(LogoText, ExtractionTable) {
  const std::string x1500(1500, 'x');
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::string text;
  } cases[] = {
      {"br and p with a bold pair",
       {"<html><body>", "<!-- Text Begin -->", "first line<br>", "second <b>bold</b> line<p>", "<!-- Text End -->",
        "after the end"},
       "first line\r\nsecond bold line\r\n\r\n"},
      {"markers in any case, blanks around them",
       {"   <!--text BEGIN-->  ", "one", "", "two <BR>", "\t<!--  TEXT end -->", "three"},
       "one  two \r\n"},
      {"nested tags and a tag without end", {"<!-- Text Begin -->", "<a href=\"x\"><b>Link</b></a> rest", "abc <b"},
       "Link rest abc "},
      {"other comments skipped, a lone > kept",
       {"<!-- Text Begin -->", "<!-- a note -->", "a > b", "<P>"},
       "a > b \r\n\r\n"},
      {"no begin marker", {"text", "<!-- Text End -->"}, ""},
      {"end before begin", {"<!-- Text End -->", "<!-- Text Begin -->", "text"}, ""},
      {"no end marker: to the end", {"<!-- Text Begin -->", "a", "b"}, "a b "},
      {"a marker written in a different case of the comment", {"<!-- Text Begin --!>", "a"}, ""},
      {"over-long line", {"<!-- Text Begin -->", x1500}, std::string(1023, 'x')},
      {"over-long line with a break: cut first", {"<!-- Text Begin -->", x1500 + "<br>"}, std::string(1023, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ExtractLogoText(c.lines), c.text);
  }
}

}  // namespace
