#include "print.h"

#include <cwchar>

#include "appkit/text.h"
#include "infofile/infofile.h"

namespace tamblet {

std::wstring PageHeader(const std::wstring& format, const std::wstring& title, const std::wstring& date, int page) {
  return appkit::Format(format.c_str(), title.c_str(), date.c_str(), L"", page);
}

std::wstring HeaderDate() {
  wchar_t buf[64] = {};
  if (!::GetDateFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"ddd',' MMM dd yy", buf, 64)) return L"";
  return buf;
}

int ClampLeftMargin(int value) { return value < 1 ? 1 : value > 150 ? 150 : value; }

PrintOutcome PrintPages(PrintTarget& target, const std::vector<std::wstring>& lines, const PrintLayout& layout) {
  PrintOutcome out;
  int linesPerPage = layout.landscape ? kLandscapeLinesPerPage : kDefaultLinesPerPage;
  int lineHeight = kDefaultLineHeight;
  size_t next = 0;
  int pagesBegun = 1;
  for (int page = 1; page <= pagesBegun && !out.failed && pagesBegun < kPageLimit; ++page) {
    if (target.StartPage() < 1) {
      out.failed = true;
      break;
    }
    ++out.pages;
    target.SetLoEnglish();
    target.SelectFont(false);
    int vertRes = target.VertRes();
    int logPixelsY = target.LogPixelsY();
    int height = 0, aveCharWidth = 0;
    bool metrics = target.TextMetrics(&height, &aveCharWidth);
    if (metrics && height > 0) {
      lineHeight = height;
      if (logPixelsY > 0) linesPerPage = vertRes / logPixelsY * 100 / lineHeight;
    }
    target.Text(0, 0, PageHeader(layout.headerFormat, layout.title, layout.date, page));
    int y = -2 * lineHeight;
    int count = 2;
    std::vector<int> tabs;
    if (metrics)
      for (int t : kReportTabs) tabs.push_back(t * aveCharWidth / 4);
    while (next < lines.size()) {
      const std::wstring& line = lines[next++];
      bool heading = infofile::BeginsWithHeadingMark(line);
      std::wstring text =
          heading ? infofile::HeadingText(line).substr(0, kPrintedHeadingChars) : line.substr(0, kPrintedChars);
      target.SelectFont(heading);
      target.TabbedText(layout.leftMargin, y - lineHeight, text, tabs, layout.leftMargin);
      ++out.printedLines;
      y -= lineHeight;
      ++count;
      if (count > linesPerPage - kPageReserve) {
        // A page that would hold nothing but its header is not begun.
        if (next < lines.size()) ++pagesBegun;
        break;
      }
    }
    if (target.EndPage() < 1) out.failed = true;
  }
  if (!out.failed) out.droppedLines = lines.size() - next;
  return out;
}

// ---- DcPrintTarget ---------------------------------------------------------

namespace {
HFONT ReportFont(int weight) {
  LOGFONTW lf{};
  lf.lfHeight = 12;
  lf.lfWeight = weight;
  lf.lfPitchAndFamily = FIXED_PITCH;
  return ::CreateFontIndirectW(&lf);
}
}  // namespace

DcPrintTarget::DcPrintTarget(HDC dc) : dc_(dc), normal_(ReportFont(FW_NORMAL)), bold_(ReportFont(FW_BOLD)) {}

DcPrintTarget::~DcPrintTarget() {
  if (original_) ::SelectObject(dc_, original_);
  if (normal_) ::DeleteObject(normal_);
  if (bold_) ::DeleteObject(bold_);
}

void DcPrintTarget::SelectFont(bool bold) {
  HFONT f = bold ? bold_ : normal_;
  if (!f) return;
  HGDIOBJ old = ::SelectObject(dc_, f);
  if (!original_) original_ = old;
}

bool DcPrintTarget::TextMetrics(int* height, int* aveCharWidth) {
  TEXTMETRICW tm{};
  if (!::GetTextMetricsW(dc_, &tm)) return false;
  *height = tm.tmHeight;
  *aveCharWidth = tm.tmAveCharWidth;
  return true;
}

void DcPrintTarget::Text(int x, int y, const std::wstring& text) {
  ::TextOutW(dc_, x, y, text.c_str(), (int)text.size());
}

void DcPrintTarget::TabbedText(int x, int y, const std::wstring& text, const std::vector<int>& tabs, int tabOrigin) {
  ::TabbedTextOutW(dc_, x, y, text.c_str(), (int)text.size(), (int)tabs.size(), tabs.empty() ? nullptr : tabs.data(),
                   tabOrigin);
}

}  // namespace tamblet
