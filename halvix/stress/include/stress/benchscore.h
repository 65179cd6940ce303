// Benchmark results and scores as plain functions: the rows of the results
// table, reading BNCHMARK.BNH, a reference file and the default values
// (bnchdflt.dat), the geometric-mean score, the HTML report from its
// template, and the bar chart's figures.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace stress {

enum class RowKind {
  Info,      // shown, not scored
  Scored,    // ratio value / default
  Inverted,  // ratio default / value (an access time: shorter is better)
  Double,    // ratio value / default, counted twice
  Score,     // the score row
};

struct ResultRow {
  const char* label;
  const char* section;  // the line that opens its section begins with this
  const char* key;      // its line, inside the section, begins with this
  RowKind kind;
  int image;            // icon of its kind (0: information rows, not charted)
};

// The rows in table order; Windows NT leaves out "Video Type" and "Video Memory".
std::vector<ResultRow> ResultRows(bool windowsNT);
// Index of the "Description" row and of the score row.
constexpr int kDescriptionRow = 0;
inline int ScoreRow(const std::vector<ResultRow>& rows) { return (int)rows.size() - 1; }

// The longest line taken from a file; the rest of a longer line is dropped.
constexpr size_t kMaxResultLine = 1023;
// The longest text a cell keeps.
constexpr size_t kMaxCellText = 255;
// Larger files are read up to this many bytes.
constexpr size_t kMaxResultFile = 1 << 20;
// A figure above this is taken as no result.
constexpr double kMaxFigure = 1e15;

// The file's lines as read in text mode (CR LF or LF), each cut to
// kMaxResultLine characters.
std::vector<std::string> ResultLines(const std::string& bytes);

// The leading number of a value text ("%lf"); false when there is none.
bool LeadingNumber(const std::string& text, double* value);

// Column 0: the default value of every row (x 100, truncated; 0 = the row
// is not scored), read from bnchdflt.dat.
// `trace` (may be empty) sees every line that names a row, as the debugger
// output shows them: the line + "\n"; for a default value also the value +
// "<<<\n".
using RowTrace = std::function<void(const std::string&)>;
std::vector<long> ReadDefaults(const std::vector<std::string>& lines, const std::vector<ResultRow>& rows,
                               const RowTrace& trace = {});

// Column 1 or 2: a results or reference file against the defaults.
struct ResultColumn {
  std::vector<std::string> cells;  // one per row
  double logSum = 0;               // sum of log10 of the ratios
  int count = 0;                   // ratios taken (video counts twice)
  bool incomplete = false;
  std::string score;               // "%.2lf", with " (Incomplete Result)"; empty: no score
};
// A scored row that has a default but no figure in the file (its category is
// missing), a value not above 0, or a scored line without a tab, makes the
// result incomplete.
ResultColumn ReadResults(const std::vector<std::string>& lines, const std::vector<ResultRow>& rows,
                         const std::vector<long>& defaults, const RowTrace& trace = {});

// 100 x the geometric mean of the ratios, "%.2lf" (+ " (Incomplete
// Result)"); empty without any ratio.
std::string FormatScore(double logSum, int count, bool incomplete);

// The HTML report: "<!--" + the first cell + "-->\n", then the template's
// lines with the placeholders ("AAAAAAA", then "BBBBBBB", ...) replaced by
// the cells of the rows their letter numbers (A = row 0), HTML-escaped; a
// placeholder at the very beginning of a line stays.
std::string HtmlReport(const std::vector<std::string>& templateLines, const std::vector<std::string>& cells);

// The bar chart: full-scale figure of a row label (0 for others) from the
// main program's Max* settings.
struct ChartScales {
  int dhrystone = 400, whetstone = 120, memRead = 350, memWrite = 350;
  int diskTransfer = 15, diskAccess = 15, cdromTransfer = 3600, videoSpeed = 30, index = 200;
};
int FullScale(const std::string& label, const ChartScales& s);

// One bar list item: label|this|ref|image|
std::string ChartItem(const std::string& label, const std::string& thisSystem, const std::string& refSystem,
                      int image);
struct ChartRow {
  std::string label, thisText, refText;
  int image = 0;
};
// Splits an item into its four fields; false when it has fewer.
bool SplitChartItem(const std::string& item, ChartRow* row);
// A value text read as "%lf%s": its number (0 when none) and unit (the rest
// of the text from the unit word on).
void ChartValue(const std::string& text, double* value, std::string* unit);
// Length in pixels of a bar for `value` on a scale of `fullScale` over
// `width` pixels: at most 32767; 0 when value or scale is not above 0.
int BarLength(double value, double fullScale, int width);

}  // namespace stress

namespace stress {
// The loop number a log records in its second line: from "LOOP" (letter
// case aside) a word and a number ("LOOP: 3"); 0 when there is none.
int LogLoopNumber(const std::string& secondLine);
}  // namespace stress
