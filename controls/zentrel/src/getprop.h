// The rules of the control's GetProp, apart from windows so that a table of
// cases can check them.
#pragma once
#include <string>

namespace zentrel {

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

// "Title" (first five characters, any case) answers `title`; "count" the
// number of lines as "%d"; "line:" followed by decimal digits n the text of
// line n with "\n" appended. Anything else, a missing list (nullptr), and
// any failure answer "".
std::string GetPropValue(const std::string& name, const std::string& title, const ResultList* list);

}  // namespace zentrel
