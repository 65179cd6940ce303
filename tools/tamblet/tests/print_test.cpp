// Pagination of the printed report on a recording print target: page
// breaks, headers, headings in bold, the page limit and failing pages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "print.h"

using namespace tamblet;

namespace {

struct Drawn {
  bool bold;
  int x, y;
  std::wstring text;
  std::vector<int> tabs;
  int origin;
};
struct Page {
  std::wstring header;
  int headerX = -1, headerY = -1;
  bool loEnglish = false;
  std::vector<Drawn> lines;
};

// Records what the page loop draws, page by page.
class RecordingTarget : public PrintTarget {
 public:
  bool metrics = false;
  int height = 12, ave = 7, vertRes = 3300, logPixelsY = 300;
  int failEndPage = 0;  // this page's EndPage fails (1-based; 0 never)
  std::vector<Page> pages;

  int StartPage() override {
    pages.emplace_back();
    return 1;
  }
  int EndPage() override { return (int)pages.size() == failEndPage ? -1 : 1; }
  void SetLoEnglish() override { pages.back().loEnglish = true; }
  void SelectFont(bool b) override { bold_ = b; }
  int VertRes() override { return vertRes; }
  int LogPixelsY() override { return logPixelsY; }
  bool TextMetrics(int* h, int* a) override {
    if (!metrics) return false;
    *h = height;
    *a = ave;
    return true;
  }
  void Text(int x, int y, const std::wstring& t) override {
    pages.back().header = t;
    pages.back().headerX = x;
    pages.back().headerY = y;
  }
  void TabbedText(int x, int y, const std::wstring& t, const std::vector<int>& tabs, int origin) override {
    pages.back().lines.push_back({bold_, x, y, t, tabs, origin});
  }
  std::vector<size_t> LinesPerPage() const {
    std::vector<size_t> n;
    for (const Page& p : pages) n.push_back(p.lines.size());
    return n;
  }

 private:
  bool bold_ = false;
};

PrintLayout Layout(bool landscape = false) {
  PrintLayout l;
  l.title = L"HOST";
  l.date = L"Thu, Dec 10 26";
  l.headerFormat = L"%s   %s - %s    Page %d";
  l.leftMargin = 50;
  l.landscape = landscape;
  return l;
}

std::vector<std::wstring> Numbered(size_t n) {
  std::vector<std::wstring> v;
  for (size_t i = 0; i < n; ++i) v.push_back(L"line " + std::to_wstring(i + 1));
  return v;
}

TEST(ReportPrinting, PageBreaksFollowTheLinesPerPage) {
  struct Case {
    const char* name;
    size_t lines;
    bool landscape;
    bool metrics;
    std::vector<size_t> perPage;
  } cases[] = {
      {"empty list: one page, header only", 0, false, false, {0}},
      {"one line", 1, false, false, {1}},
      {"44 lines fill exactly one page", 44, false, false, {44}},
      {"45 lines: 44 and 1", 45, false, false, {44, 1}},
      {"89 lines", 89, false, false, {44, 44, 1}},
      {"landscape: 19 a page", 41, true, false, {19, 19, 3}},
      // 3300 / 300 = 11 inches, 1100 / 12 = 91 lines a page, 83 list lines.
      {"from the printer's resolution", 170, false, true, {83, 83, 4}},
      {"resolution wins over landscape", 85, true, true, {83, 2}},
  };
  for (const Case& c : cases) {
    RecordingTarget t;
    t.metrics = c.metrics;
    PrintOutcome o = PrintPages(t, Numbered(c.lines), Layout(c.landscape));
    EXPECT_EQ(t.LinesPerPage(), c.perPage) << c.name;
    EXPECT_EQ(o.pages, (int)c.perPage.size()) << c.name;
    EXPECT_FALSE(o.failed) << c.name;
    EXPECT_EQ(o.printedLines, c.lines) << c.name;
    EXPECT_EQ(o.droppedLines, 0u) << c.name;
    for (size_t p = 0; p < t.pages.size(); ++p) {
      EXPECT_EQ(t.pages[p].header, L"HOST   Thu, Dec 10 26 -     Page " + std::to_wstring(p + 1)) << c.name;
      EXPECT_TRUE(t.pages[p].loEnglish) << c.name;
    }
  }
}

TEST(ReportPrinting, LinesGoDownFromTheHeaderAtTheLeftMarginWithScaledTabs) {
  RecordingTarget t;
  t.metrics = true;  // line height 12, average width 7
  PrintPages(t, {L"Label:\tValue", L"next"}, Layout());
  ASSERT_EQ(t.pages.size(), 1u);
  const Page& p = t.pages[0];
  EXPECT_EQ(p.headerX, 0);  // the header is not indented
  EXPECT_EQ(p.headerY, 0);
  ASSERT_EQ(p.lines.size(), 2u);
  EXPECT_EQ(p.lines[0].x, 50);
  EXPECT_EQ(p.lines[0].origin, 50);
  EXPECT_EQ(p.lines[0].y, -36);
  EXPECT_EQ(p.lines[1].y, -48);
  // 128, 200, 271, 342 times 7 / 4.
  EXPECT_EQ(p.lines[0].tabs, (std::vector<int>{224, 350, 474, 598}));
  // Without metrics: line height 20, no tab stops of our own.
  RecordingTarget plain;
  PrintPages(plain, {L"a"}, Layout());
  EXPECT_EQ(plain.pages[0].lines[0].y, -60);
  EXPECT_TRUE(plain.pages[0].lines[0].tabs.empty());
}

TEST(ReportPrinting, HeadingsPrintBoldWithoutTheirPrefixAcrossAPageBreak) {
  std::vector<std::wstring> lines = Numbered(43);
  lines.push_back(L"@3TEST RESULTS");        // last line of page 1
  lines.push_back(L"@3SYSTEM INFORMATION");  // first line of page 2
  lines.push_back(L"Label:\tValue");
  lines.push_back(L"@");
  lines.push_back(L"@x");
  lines.push_back(L"a@3 not a heading");
  RecordingTarget t;
  PrintPages(t, lines, Layout());
  ASSERT_EQ(t.pages.size(), 2u);
  const Drawn& last = t.pages[0].lines.back();
  EXPECT_TRUE(last.bold);
  EXPECT_EQ(last.text, L"TEST RESULTS");
  EXPECT_FALSE(t.pages[0].lines[42].bold);
  const auto& p2 = t.pages[1].lines;
  ASSERT_EQ(p2.size(), 5u);
  EXPECT_TRUE(p2[0].bold);
  EXPECT_EQ(p2[0].text, L"SYSTEM INFORMATION");
  EXPECT_FALSE(p2[1].bold);
  EXPECT_EQ(p2[1].text, L"Label:\tValue");
  EXPECT_TRUE(p2[2].bold);
  EXPECT_EQ(p2[2].text, L"");
  EXPECT_TRUE(p2[3].bold);
  EXPECT_EQ(p2[3].text, L"");
  EXPECT_FALSE(p2[4].bold);
  EXPECT_EQ(p2[4].text, L"a@3 not a heading");
}

TEST(ReportPrinting, OverLongLinesAreCutAtTheirPrintedWidth) {
  RecordingTarget t;
  PrintPages(t, {std::wstring(300, L'p'), L"@3" + std::wstring(300, L'h')}, Layout());
  EXPECT_EQ(t.pages[0].lines[0].text, std::wstring(255, L'p'));
  EXPECT_EQ(t.pages[0].lines[1].text, std::wstring(253, L'h'));
}

TEST(ReportPrinting, FortyNinePagesAtMostAndTheRestIsCounted) {
  struct Case {
    size_t lines;
    int pages;
    size_t dropped;
  } cases[] = {
      {49 * 44, 49, 0},
      {49 * 44 + 1, 49, 1},
      {60 * 44, 49, 11 * 44},
  };
  for (const Case& c : cases) {
    RecordingTarget t;
    PrintOutcome o = PrintPages(t, Numbered(c.lines), Layout());
    EXPECT_EQ(o.pages, c.pages) << c.lines;
    EXPECT_EQ((int)t.pages.size(), c.pages) << c.lines;
    EXPECT_FALSE(o.failed) << c.lines;  // the document still ends normally
    EXPECT_EQ(o.droppedLines, c.dropped) << c.lines;
    EXPECT_EQ(o.printedLines + o.droppedLines, c.lines);
    EXPECT_EQ(t.pages.back().header.substr(t.pages.back().header.size() - 7), L"Page 49") << c.lines;
  }
}

TEST(ReportPrinting, ARefusedPageEndsTheJob) {
  RecordingTarget t;
  t.failEndPage = 2;
  PrintOutcome o = PrintPages(t, Numbered(200), Layout());
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.pages, 2);
  EXPECT_EQ(t.pages.size(), 2u);
}

TEST(ReportPrinting, LeftMarginIsForcedIntoItsRange) {
  const int cases[][2] = {{-5, 1}, {0, 1}, {1, 1}, {50, 50}, {150, 150}, {151, 150}, {100000, 150}};
  for (const auto& c : cases) EXPECT_EQ(ClampLeftMargin(c[0]), c[1]) << c[0];
}

}  // namespace
