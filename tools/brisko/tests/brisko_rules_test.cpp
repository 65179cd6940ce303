// The clean-up tool's rules in process: patterns, the remembered list, list
// lines, the folder a deletion must stay in and shortcut targets.
#include <gtest/gtest.h>
#include <windows.h>

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

TEST(BriskoRules, ExactNames) {
  const struct {
    const wchar_t* name;
    bool exact;
  } cases[] = {
      {L"a.tmp", true},          {L"zero.txt.", true},     {L"sp.txt ", true},      {L" lead.txt", true},
      {L"b (2).tmp", true},      {L"", false},             {L".", false},           {L"..", false},
      {L"sub\\zero.txt", false}, {L"a/b", false},          {L"a:b.txt", false},     {L"st*r.txt", false},
      {L"q?.txt", false},        {L"a\"b", false},         {L"a<b>", false},        {L"a|b", false},
      {L"tab\there", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsExactName(c.name), c.exact) << appkit::Narrow(c.name);
}

TEST(BriskoRules, ExtendedPaths) {
  const struct {
    const wchar_t* path;
    const wchar_t* extended;
  } cases[] = {
      {L"D:\\work\\zero.txt.", L"\\\\?\\D:\\work\\zero.txt."},
      {L"D:\\", L"\\\\?\\D:\\"},
      {L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
      {L"\\\\?\\D:\\x", L"\\\\?\\D:\\x"},
      {L"\\\\.\\COM1", L""},
      {L"work\\x", L""},
      {L"D:x", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedPath(c.path), c.extended) << appkit::Narrow(c.path);
  EXPECT_EQ(FinalFromObjectName(L"\\??\\D:\\long\\x"), L"\\\\?\\D:\\long\\x");
  EXPECT_EQ(FinalFromObjectName(L"\\??\\unix\\tmp\\x"), L"\\\\?\\unix\\tmp\\x");
  EXPECT_EQ(FinalFromObjectName(L"\\Device\\HarddiskVolume2\\x"), L"");
  EXPECT_EQ(WithoutTrailingDotsAndBlanks(L"zero.txt. . "), L"zero.txt");
  EXPECT_EQ(WithoutTrailingDotsAndBlanks(L"..."), L"");
}

// Where an opened file really lies, against the place it was listed at.
TEST(BriskoRules, FinalPathMatchesTheListedPlace) {
  using M = FinalMatch;
  const std::wstring work = L"\\\\?\\D:\\work";
  const struct {
    std::wstring root;
    std::vector<std::wstring> names;
    const wchar_t* finalPath;
    M match;
  } cases[] = {
      {work, {L"a.tmp"}, L"\\\\?\\D:\\work\\a.tmp", M::Same},
      {work + L"\\", {L"a.tmp"}, L"\\\\?\\D:\\work\\a.tmp", M::Same},
      {L"\\\\?\\D:\\", {L"a.tmp"}, L"\\\\?\\D:\\a.tmp", M::Same},
      {work, {L"sub", L"f.tmp"}, L"\\\\?\\D:\\work\\sub\\f.tmp", M::Same},
      // Some systems report names without their trailing dots or blanks.
      {work, {L"zero.txt."}, L"\\\\?\\D:\\work\\zero.txt", M::SameButTrailing},
      {work, {L"sp.txt "}, L"\\\\?\\D:\\work\\sp.txt", M::SameButTrailing},
      {work, {L"dir.", L"f.tmp"}, L"\\\\?\\D:\\work\\dir\\f.tmp", M::SameButTrailing},
      {work, {L"zero.txt"}, L"\\\\?\\D:\\work\\zero.txt.", M::Elsewhere},
      {work, {L"..."}, L"\\\\?\\D:\\work\\", M::Elsewhere},
      // A link to a file outside the folder, outside every drive, or to
      // another file in it; a folder swapped for a link.
      {work, {L"a.tmp"}, L"\\\\?\\C:\\outside\\t.txt", M::Elsewhere},
      {work, {L"a.tmp"}, L"\\\\?\\unix\\tmp\\outside\\t.txt", M::Elsewhere},
      {work, {L"a.tmp"}, L"\\\\?\\D:\\work\\b.tmp", M::Elsewhere},
      {work, {L"sub", L"f.tmp"}, L"\\\\?\\D:\\work\\sub2\\f.tmp", M::Elsewhere},
      {work, {L"sub", L"f.tmp"}, L"\\\\?\\D:\\elsewhere\\f.tmp", M::Elsewhere},
      {work, {L"a.tmp"}, L"\\\\?\\D:\\workshop\\a.tmp", M::Elsewhere},
      {work, {L"a.tmp"}, L"\\\\?\\D:\\work\\sub\\a.tmp", M::Elsewhere},
      {work, {L"sub", L"a.tmp"}, L"\\\\?\\D:\\work\\a.tmp", M::Elsewhere},
      {work, {L"a.tmp"}, L"\\\\?\\D:\\work\\a.tmp\\", M::Elsewhere},
      // Names are compared exactly: another case is another file on a
      // system that tells case apart.
      {work, {L"A.tmp"}, L"\\\\?\\D:\\work\\a.tmp", M::Elsewhere},
      {L"\\\\?\\D:\\Work", {L"a.tmp"}, L"\\\\?\\D:\\work\\a.tmp", M::Elsewhere},
      // A name holding a separator is never matched.
      {work, {L"sub\\zero.txt"}, L"\\\\?\\D:\\work\\sub\\zero.txt", M::Elsewhere},
      {work, {}, L"\\\\?\\D:\\work", M::Elsewhere},
      {L"", {L"a.tmp"}, L"\\a.tmp", M::Elsewhere},
  };
  for (const auto& c : cases) {
    std::string names;
    for (const auto& n : c.names) names += "[" + appkit::Narrow(n) + "]";
    EXPECT_EQ(MatchFinalPath(c.root, c.names, c.finalPath), c.match)
        << appkit::Narrow(c.root) << " " << names << " " << appkit::Narrow(c.finalPath);
  }
}

TEST(BriskoRules, LinkTargetsAreJudgedWithTheirVariablesExpanded) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"BRISKO_RULES_APPS", L"D:\\apps"));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"BRISKO_RULES_SUB", L"tools"));
  ::SetEnvironmentVariableW(L"BRISKO_RULES_UNSET", nullptr);
  const std::wstring windows = L"C:\\WINNT";
  const struct {
    const wchar_t* raw;
    bool nt;
    std::wstring expanded;
  } cases[] = {
      {L"%BRISKO_RULES_APPS%\\run.exe", true, L"D:\\apps\\run.exe"},
      {L"%brisko_rules_apps%\\run.exe", false, L"D:\\apps\\run.exe"},
      {L"%BRISKO_RULES_APPS%\\%BRISKO_RULES_SUB%\\x.exe", true, L"D:\\apps\\tools\\x.exe"},
      {L"C:\\%BRISKO_RULES_SUB%\\x.exe", true, L"C:\\tools\\x.exe"},
      {L"%systemroot%\\notepad.exe", true, windows + L"\\notepad.exe"},
      {L"%BRISKO_RULES_UNSET%\\x.exe", true, L"%BRISKO_RULES_UNSET%\\x.exe"},
      {L"C:\\100%\\x.exe", true, L"C:\\100%\\x.exe"},
      {L"C:\\plain\\x.exe", true, L"C:\\plain\\x.exe"},
      {L"", true, L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandedLinkTarget(c.raw, c.nt, windows), c.expanded) << appkit::Narrow(c.raw);
  ::SetEnvironmentVariableW(L"BRISKO_RULES_APPS", nullptr);
  ::SetEnvironmentVariableW(L"BRISKO_RULES_SUB", nullptr);
}
