// Printing the report list: the page loop works on a PrintTarget, so that
// the pagination is the same on a printer's device context and on the
// recording target of the tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace tamblet {

// What the page loop needs of a printer.
class PrintTarget {
 public:
  virtual ~PrintTarget() = default;
  // Page brackets: results below 1 are failures (as StartPage/EndPage).
  virtual int StartPage() = 0;
  virtual int EndPage() = 0;
  // Mapping mode MM_LOENGLISH: 0.01 inch, y growing upward.
  virtual void SetLoEnglish() = 0;
  virtual void SelectFont(bool bold) = 0;
  virtual int VertRes() = 0;
  virtual int LogPixelsY() = 0;
  // Height and average character width of the selected font (logical
  // units); false when the metrics cannot be read.
  virtual bool TextMetrics(int* height, int* aveCharWidth) = 0;
  virtual void Text(int x, int y, const std::wstring& text) = 0;
  virtual void TabbedText(int x, int y, const std::wstring& text, const std::vector<int>& tabs, int tabOrigin) = 0;
};

constexpr int kPrintTabCount = 4;
// The report page's tab positions (each already scaled by 5/7).
constexpr int kReportTabs[kPrintTabCount] = {180 * 5 / 7, 280 * 5 / 7, 380 * 5 / 7, 480 * 5 / 7};
// Pages begun stop below this: at most 49 pages are printed.
constexpr int kPageLimit = 50;
constexpr int kDefaultLinesPerPage = 52;
constexpr int kLandscapeLinesPerPage = 27;
constexpr int kDefaultLineHeight = 20;
// Lines of a page that carry no list line (the header and its gap among them).
constexpr int kPageReserve = 7;
// Characters printed of a plain line and of a heading (without its "@x").
constexpr size_t kPrintedChars = 255;
constexpr size_t kPrintedHeadingChars = 253;

struct PrintLayout {
  std::wstring title;
  std::wstring date;          // today, as the header shows it
  std::wstring headerFormat;  // "%s   %s - %s    Page %d"
  int leftMargin = 50;        // hundredths of an inch
  bool landscape = false;
};

struct PrintOutcome {
  int pages = 0;             // pages started
  bool failed = false;       // a page was refused: the job is to be aborted
  size_t printedLines = 0;
  size_t droppedLines = 0;   // list lines beyond the last page allowed
};

// "Title   date -     Page k".
std::wstring PageHeader(const std::wstring& format, const std::wstring& title, const std::wstring& date, int page);
// Today's date as "ddd',' MMM dd yy" in the user's default locale.
std::wstring HeaderDate();
// The left margin setting forced into 1..150 (hundredths of an inch).
int ClampLeftMargin(int value);

// The page loop: every list line under a header line on each page, headings
// ("@" lines) in bold without their first two characters.
PrintOutcome PrintPages(PrintTarget& target, const std::vector<std::wstring>& lines, const PrintLayout& layout);

// PrintTarget on a printer's device context, with the report's two fixed
// pitch fonts (height 12, weights 400 and 700).
class DcPrintTarget : public PrintTarget {
 public:
  explicit DcPrintTarget(HDC dc);
  ~DcPrintTarget() override;
  int StartPage() override { return ::StartPage(dc_); }
  int EndPage() override { return ::EndPage(dc_); }
  // Text goes on the paper without a background: an opaque cell of a
  // tabbed line would blank the line above it under Wine's printer driver.
  void SetLoEnglish() override {
    ::SetMapMode(dc_, MM_LOENGLISH);
    ::SetBkMode(dc_, TRANSPARENT);
  }
  void SelectFont(bool bold) override;
  int VertRes() override { return ::GetDeviceCaps(dc_, VERTRES); }
  int LogPixelsY() override { return ::GetDeviceCaps(dc_, LOGPIXELSY); }
  bool TextMetrics(int* height, int* aveCharWidth) override;
  void Text(int x, int y, const std::wstring& text) override;
  void TabbedText(int x, int y, const std::wstring& text, const std::vector<int>& tabs, int tabOrigin) override;

 private:
  HDC dc_;
  HFONT normal_ = nullptr, bold_ = nullptr;
  HGDIOBJ original_ = nullptr;
};

}  // namespace tamblet
