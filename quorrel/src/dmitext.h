// DMI.TXT as the DMI sheet reads it: one page per section name with one
// instance per occurrence of the section, the memory modules folded behind
// the memory controller, and the lines a page shows for an instance.
#pragma once
#include <string>
#include <vector>

namespace quorrel {

struct DmiPage {
  std::string name;
  bool module = false;  // "Mem. Module", folded into the memory view
  bool memory = false;  // "Memory"
  std::vector<std::vector<std::string>> instances;
};

struct DmiModel {
  // The visible pages first (sectionCount of them), the folded module pages
  // behind them.
  std::vector<DmiPage> pages;
  size_t sectionCount = 0;
  size_t moduleCount = 0;
  bool controller = false;  // a "Mem. Controller" section was found
};

// Notices of the parse (the sheet's string table gives their words).
struct DmiTexts {
  std::string loadFailed = "Failed to load dmi.txt file.";
  std::string memoryTitle = "Memory Controller/Module Information";
  std::string controllerHeading = "[Memory Controller Information]";
  std::string unknown = "Unknown";
};

// Builds the pages from the file's lines (line ends removed). True when
// there is at least one section; otherwise `status` receives every line of
// the file that does not start with ';', each followed by "\n".
bool ParseDmiLines(const std::vector<std::string>& lines, DmiModel* model, std::string* status);
// Splits a file's text into lines (CR LF or LF).
std::vector<std::string> SplitDmiText(const std::string& text);

// Whether a page shows the memory view: the page named "Memory", and the
// "Mem. Controller" page when module sections are folded behind it.
bool IsDmiMemoryPage(const DmiModel& m, const DmiPage& page);

// What a page shows for the instance selected in its combo box.
struct DmiPageView {
  std::string title;
  std::vector<std::string> lines;
  bool instanceChoice = false;  // the combo box is shown (more than one instance)
};
DmiPageView ShowDmiInstance(const DmiModel& m, size_t page, size_t instance, const DmiTexts& texts = DmiTexts());

}  // namespace quorrel
