// The runner's rules as plain functions: the command-line switch scan, the
// clamps, the "Size" property and the sheet's placement, the file names.
#pragma once
#include <string>

namespace ctlfw {

// What the host's command line asks for.
struct Switches {
  bool autoRun = false;      // -AutoRun
  std::string runSuffix;     // the digit right after -AutoRun, else empty
  bool check = false;        // -Check
  bool bench = false;        // -Bench
  bool append = false;       // -Append
  bool procTest = false;     // -ProcTest
  int loop = 0;              // -L<n>
  int x = 0;                 // -X<n>
  int y = 0;                 // -Y<n>
  bool coverage = false;     // -C given
  int coverageValue = 8;     // -C<n>, clamped to 10..100
};

// Scans the line at every '-': "-AutoRun", "-Check", "-Bench", "-Append",
// "-ProcTest", "-L", "-X", "-Y", "-C", compared ignoring case, in this order,
// first match wins. A matched switch (with its number) is skipped as a whole,
// a '-' that matches nothing alone. Numbers saturate instead of overflowing.
Switches ParseSwitches(const std::string& cmdLine);

int ClampCoverage(long long value);  // 10..100
int ClampThreadCount(long long value);  // 1..3

// The "Size" property: the name is "Size" (4 letters, any case) and the value
// longer than 6 characters; "%d %d" gives cx and cy (0 where missing).
bool ParseSizeProperty(const std::string& name, const std::string& value, int* cx, int* cy);

// Where ResizeSheet puts the sheet for a control client of cx x cy: (2, 2),
// cx - 4 by cy - 4, at least 356 by 236 (below 360 and 240).
struct SheetRect {
  int x, y, cx, cy;
};
SheetRect SheetRectFor(int cx, int cy);

// Everything up to and including the last backslash (empty without one).
std::wstring DirectoryPart(const std::wstring& path);

// What GetProp reads of the active page's result list.
class ResultList {
 public:
  virtual ~ResultList() = default;
  // LB_GETCOUNT: the number of lines, or -1 (LB_ERR).
  virtual int Count() const = 0;
  // LB_GETTEXTLEN of line i: its length, or -1 (LB_ERR).
  virtual int TextLength(int i) const = 0;
  // The text of line i (called only after TextLength answered 0 <= L < 1022).
  virtual std::string Text(int i) const = 0;
};

// Longest line (exclusive) that "line:" hands out.
constexpr int kMaxLineLength = 1022;

// GetProp: "Title" (first five characters, any case) answers `title`;
// "count" the number of lines as "%d"; "line:" followed by decimal digits n
// the text of line n with "\n" appended. Anything else, a missing list
// (nullptr), and any failure answer "".
std::string GetPropValue(const std::string& name, const std::string& title, const ResultList* list);

}  // namespace ctlfw
