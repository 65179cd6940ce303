// Rules of the layout, information-options, tools-options and
// technical-support dialogs as plain functions over plain data.
#pragma once
#include <string>
#include <vector>

namespace halvix {

// ---- layout dialog
struct PaneBoxStates {
  bool barEnabled;   // "Diagnostics Bar" (1146)
  bool treeEnabled;  // "Diagnostics List" (1148)
};
// At least one of the two navigation panes stays on: the one still checked
// cannot be cleared; the bar needs the pager class.
PaneBoxStates LayoutPaneRule(bool barChecked, bool treeChecked, bool pagerAvailable);
// "ToolBarAlign" as the dialog shows it: outside 0..3 it is 1 ("Top").
int ShownToolBarAlign(int toolBarAlign);

// ---- information-options dialog: one REG_DWORD of the server's settings key
struct InfoOption {
  const wchar_t* value;
  int control;      // 0: no box
  int default9x;
  int defaultNt;
  bool ntDisabled;  // the box is disabled (and the value cleared) on NT
  bool readOnNt;    // read from the key on NT when it exists
};
const std::vector<InfoOption>& InfoOptions();

// ---- tools-options dialog: "Options", one bit per item
struct ToolsSystem {
  bool nineX = false;
  int majorVersion = 6;
  bool winipcfgPresent = false;  // "winipcfg.exe" in the Windows folder
  bool msinfoPresent = false;    // the file "MSInfoPath" names
};
// The switches the system allows of `options`.
unsigned CorrectToolsOptions(unsigned options, const ToolsSystem& system);
// The box of bit `bit` (0 when the bit has none).
int ToolsOptionControl(int bit);
// The message after the DMI programs were copied (both copies tried).
std::wstring DmiCopyMessage(bool firstCopied, bool secondCopied);

// ---- technical support: the mail page
// "<" and "&" (and ">") as HTML entities.
std::string HtmlEscaped(const std::string& text);
// The page built from the template's lines (without their line ends): the
// marker "WWWWWWW" is replaced on its first line by the mail address, each
// following marker letter ("XXXXXXX", "YYYYYYY", ...) on the next line that
// holds it, "ZZZZZZZ" by a line break and the report's lines (a heading line
// "@n..." without its first two characters), all other letters by nothing.
// Only the first marker of a line is replaced; one at the start of a line
// counts. Lines end with "\r\n".
std::string BuildSupportPage(const std::vector<std::string>& templateLines, const std::string& email,
                             const std::vector<std::string>* reportLines);

// Writes <dir>ts_mail.htm from <dir>temp_ts.htm with the mail address and
// the lines of <dir>DIAGReport.txt (when it opens), whole or not at all.
// Nothing is touched unless the template opens; false when the page was not
// written (the old page, if any, then stays as it was).
bool BuildSupportMailPage(const std::wstring& dir, const std::string& email);

}  // namespace halvix
