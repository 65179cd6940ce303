// The clean-up tool's rules in process: patterns, the remembered list, list
// lines and the folder a deletion must stay in.
#include <gtest/gtest.h>

#include "appkit/text.h"
#include "clean_rules.h"

using namespace brisko;

TEST(BriskoRules, Patterns) {
  const struct {
    const wchar_t* text;
    bool valid;
  } cases[] = {
      {L"*.tmp", true},     {L"  *.bak ", true},  {L"~*", true},         {L"my file-1_x.t~p", true},
      {L"*.*", false},      {L"", false},         {L"   ", false},       {L".tmp", false},
      {L"a.b.c", false},    {L"*.t?p", false},    {L"..\\*.tmp", false}, {L"c:*.tmp", false},
      {L"a/b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidPattern(c.text), c.valid) << appkit::Narrow(c.text);
}

TEST(BriskoRules, SearchRequests) {
  const std::wstring size = L"SIZE = ";
  SearchRequest r = ParseSearch(L"(size = 0)", size);
  EXPECT_EQ(r.kind, SearchRequest::BySize);
  EXPECT_EQ(r.size, 0);
  r = ParseSearch(L" (Size = 4096) ", size);
  EXPECT_EQ(r.kind, SearchRequest::BySize);
  EXPECT_EQ(r.size, 4096);
  r = ParseSearch(L"*.log/*.tmp", size);
  EXPECT_EQ(r.kind, SearchRequest::ByName);
  EXPECT_EQ(r.pattern, L"*.log");
  EXPECT_EQ(r.replacement, L"*.tmp");
  for (const wchar_t* bad : {L"(bytes = 3)", L"(size = )", L"(size = 1x)", L"*.*", L"*.log/*.*", L"(size = 99999999999999999999)"})
    EXPECT_EQ(ParseSearch(bad, size).kind, SearchRequest::Invalid) << appkit::Narrow(bad);
}

TEST(BriskoRules, ExtList) {
  EXPECT_EQ(SplitExtList(L"*.tmp|*.bak|"), (std::vector<std::wstring>{L"*.tmp", L"*.bak"}));
  EXPECT_EQ(SplitExtList(L"*.tmp||*.bak|"), std::vector<std::wstring>{L"*.tmp"});
  EXPECT_EQ(SplitExtList(L"*.tmp|*.bak"), std::vector<std::wstring>{L"*.tmp"});
  EXPECT_EQ(JoinExtList({L"(size = 0)", L"*.tmp", L"*.bak", L"*.*"}), L"*.tmp|*.bak|");
}

TEST(BriskoRules, RememberedPatternSlot) {
  std::vector<std::wstring> items = {L"(size = 0)", L"*.tmp", L"*.bak"};
  EXPECT_EQ(PatternSlot(items, L"*.TMP", L""), -1);
  EXPECT_EQ(PatternSlot(items, L"*.log", L""), 3);
  for (int i = 0; i < 7; ++i) items.push_back(L"*.x" + std::to_wstring(i));
  ASSERT_EQ(items.size(), 10u);
  EXPECT_EQ(PatternSlot(items, L"*.log", L"*.BAK"), 2);
  EXPECT_EQ(PatternSlot(items, L"*.log", L"*.none"), -2);
  EXPECT_EQ(PatternSlot(items, L"*.log", L""), -2);
}

TEST(BriskoRules, DeletionsStayInsideTheSearchedFolder) {
  const struct {
    const wchar_t* root;
    const wchar_t* path;
    bool inside;
  } cases[] = {
      {L"D:", L"D:\\a.tmp", true},
      {L"D:\\", L"D:\\sub\\a.tmp", true},
      {L"D:\\work", L"d:\\WORK\\a.tmp", true},
      {L"D:\\work", L"D:\\workshop\\a.tmp", false},
      {L"D:\\work", L"D:\\work", false},
      {L"D:\\work", L"D:\\work\\", false},
      {L"D:\\work", L"D:\\work\\..\\x.tmp", false},
      {L"D:\\work", L"D:\\work\\.\\x.tmp", false},
      {L"D:\\work", L"D:\\work\\\\x.tmp", false},
      {L"D:\\work", L"C:\\work\\x.tmp", false},
      {L"", L"D:\\x.tmp", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsInside(c.root, c.path), c.inside) << appkit::Narrow(c.root) << " " << appkit::Narrow(c.path);
}

TEST(BriskoRules, Lines) {
  EXPECT_EQ(FileLine(L"D:\\a (1).tmp", 10), L"D:\\a (1).tmp (10 bytes)");
  const std::wstring menu = L"C:\\windows\\Start Menu";
  EXPECT_EQ(StartMenuLine(menu, menu + L"\\Programs\\Gone.lnk", L" (MS-DOS Program)"), L"Programs\\Gone");
  EXPECT_EQ(StartMenuLine(menu, menu + L"\\Edit.PIF", L" (MS-DOS Program)"), L"Edit (MS-DOS Program)");
  EXPECT_EQ(StartMenuLine(menu, menu + L"\\Programs\\Empty", L""), L"Programs\\Empty");
  EXPECT_EQ(StartMenuLine(menu, L"C:\\elsewhere\\x.lnk", L""), L"");
  EXPECT_TRUE(IsShortcutName(L"A.LNK"));
  EXPECT_FALSE(IsShortcutName(L"lnk"));
}
