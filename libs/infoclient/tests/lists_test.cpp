// The lists' rules and which lines of an information file a page lists, as
// tables of cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "infoclient/infoclient.h"
#include "infoclient/listbox.h"

using namespace ctlfw;

namespace {

TEST(ListRules, HeadingsAndItemHeights) {
  const struct {
    const wchar_t* text;
    int level;
    int height;  // with font height 15
  } cases[] = {
      {L"@1Memory", 1, 17}, {L"@2Memory", 2, 20}, {L"@3Memory", 3, 15}, {L"@1", 0, 15},
      {L"@4Memory", 0, 15}, {L"Label:\tValue", 0, 15}, {L"", 0, 15},     {L"x@1a", 0, 15},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HeadingLevel(c.text), c.level) << c.text;
    EXPECT_EQ(MeasuredItemHeight(c.text, 15), c.height) << c.text;
  }
  // Long heading lines keep the plain height.
  std::wstring longHeading = L"@1" + std::wstring(300, L'x');
  EXPECT_EQ(MeasuredItemHeight(longHeading, 15), 15);
  EXPECT_EQ(MeasuredItemHeight(L"@1" + std::wstring(253, L'x'), 15), 17);
  EXPECT_EQ(MeasuredItemHeight(L"@1" + std::wstring(254, L'x'), 15), 15);
}

TEST(ListRules, TabStopsInPixels) {
  const int stops[11] = {145, 260, 350, 440, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(TabPixels(stops, 4, 6), (std::vector<int>{217, 390, 525, 660}));
  EXPECT_EQ(TabPixels(stops, 1, 7), (std::vector<int>{253}));
  EXPECT_EQ(TabPixels(stops, 11, 4).size(), 10u);
  EXPECT_TRUE(TabPixels(stops, 0, 4).empty());
  EXPECT_TRUE(TabPixels(stops, -3, 4).empty());
}

TEST(ListRules, FontClampsAndSetListFont) {
  EXPECT_EQ(ClampRegistryFontHeight(25), 15);
  EXPECT_EQ(ClampRegistryFontHeight(11), 15);
  EXPECT_EQ(ClampRegistryFontHeight(12), 12);
  EXPECT_EQ(ClampRegistryFontHeight(20), 20);
  EXPECT_EQ(ClampRegistryFontHeight(-1), 15);
  EXPECT_EQ(ClampRegistryFontWeight(100), 700);
  EXPECT_EQ(ClampRegistryFontWeight(300), 300);
  EXPECT_EQ(ClampRegistryFontWeight(801), 700);
  ListFontSpec base;
  ListFontSpec s = ApplyListFont(base, 25, 100, nullptr);
  EXPECT_EQ(s.height, 25);
  EXPECT_EQ(s.weight, 700);
  EXPECT_EQ(s.face, L"Arial");
  s = ApplyListFont(base, 7, 201, L"Tahoma");
  EXPECT_EQ(s.height, 15);
  EXPECT_EQ(s.weight, 201);
  EXPECT_EQ(s.face, L"Tahoma");
}

TEST(CheckListRules, StatesPicturesAndClicks) {
  const struct {
    LRESULT data;
    CheckState state;
    int bitmap;
    const wchar_t* text;
    bool grey;
    ClickAction click;
  } cases[] = {
      {0x85, CheckState::CheckedLocked, 137, L"+", false, ClickAction::Beep},
      {0x81, CheckState::Checked, 134, L"+", false, ClickAction::AskUncheck},
      {0x83, CheckState::Checked, 134, L"+", false, ClickAction::AskUncheck},
      {0x82, CheckState::UncheckedDisabled, 136, L"+", true, ClickAction::None},
      {0x86, CheckState::UncheckedDisabled, 136, L"+", true, ClickAction::None},
      {0x80, CheckState::Unchecked, 135, L"-", false, ClickAction::AskCheck},
      {0x84, CheckState::Unchecked, 135, L"-", false, ClickAction::AskCheck},
      {0x01, CheckState::Plain, 0, L"", false, ClickAction::None},
      {LB_ERR, CheckState::Plain, 0, L"", false, ClickAction::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data);
    CheckState st = CheckStateOf(c.data);
    EXPECT_EQ(st, c.state);
    CheckVisual v = CheckVisualOf(st);
    EXPECT_EQ(v.bitmapId, c.bitmap);
    EXPECT_STREQ(v.text, c.text);
    EXPECT_EQ(v.grey, c.grey);
    EXPECT_EQ(ClickActionOf(st), c.click);
  }
}

}  // namespace

TEST(InfoLines, CommentsNeverShowAndTheVideoPageShowsOnlyItsSections) {
  const std::vector<std::string> file = {"",           "@3Video",   ";marker", "Adapter:\tA", ";Video Info",
                                         "Chip:\tB",   "",          ";note",   ";VIDEO INFO", "Monitor:\tC",
                                         ";video",     "Mode:\tD"};
  auto listed = [&](InfoLines mode) {
    std::vector<std::string> out;
    bool inVideo = false;
    for (const std::string& line : file)
      if (IsListedInfoLine(line, mode, &inVideo)) out.push_back(line);
    return out;
  };
  EXPECT_EQ(listed(InfoLines::AllButComments),
            (std::vector<std::string>{"", "@3Video", "Adapter:\tA", "Chip:\tB", "", "Monitor:\tC", "Mode:\tD"}));
  // ";Video" (any case) opens and closes a section; only lines inside show,
  // empty ones included, comments never.
  EXPECT_EQ(listed(InfoLines::VideoSections), (std::vector<std::string>{"Chip:\tB", "", "Mode:\tD"}));
  // The graphics page shows the rest: what lies outside the sections; after
  // a last unclosed marker nothing more.
  EXPECT_EQ(listed(InfoLines::OutsideVideoSections),
            (std::vector<std::string>{"", "@3Video", "Adapter:\tA", "Monitor:\tC"}));
  bool inVideo = false;
  EXPECT_FALSE(IsListedInfoLine(";Vid", InfoLines::VideoSections, &inVideo));
  EXPECT_FALSE(inVideo) << "a shorter marker opens nothing";
}
