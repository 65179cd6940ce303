// CReportListBox: the report page's owner-drawn list. One item a line,
// tab-aligned columns, "@1".."@3" headings in larger fonts without their
// prefix (the suite's list fonts and rules, shared with the test
// controls' CInfoListBox), selected lines in white on navy, no type-ahead,
// and Ctrl+C copies the selected lines to the clipboard as plain text.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "infoclient/listbox.h"

namespace tamblet {

// The clipboard text for the selected lines: each without its first two
// characters when it is longer than one character and begins with "@",
// followed by CR LF.
std::wstring ClipboardText(const std::vector<std::wstring>& selected);

class CReportListBox : public ctlfw::CInfoListBox {
 public:
  CReportListBox();
  ~CReportListBox() override;

  void DrawItem(const DRAWITEMSTRUCT* dis) override;
  // The selected lines to the clipboard (CF_TEXT). False when nothing was put.
  bool CopySelection();
  // Every line of the list, in order (lines over 255 characters are empty).
  std::vector<std::wstring> Lines() const;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HBRUSH selectionBrush_;
};

}  // namespace tamblet
