#include "options_rules.h"

#include <windows.h>

#include <algorithm>
#include <fstream>

#include "appkit/wholefile.h"

namespace halvix {

PaneBoxStates LayoutPaneRule(bool barChecked, bool treeChecked, bool pagerAvailable) {
  if (barChecked && treeChecked) return {pagerAvailable, true};
  // The one still checked cannot be cleared.
  if (!treeChecked) return {false, true};
  return {pagerAvailable, false};
}

int ShownToolBarAlign(int toolBarAlign) { return toolBarAlign >= 0 && toolBarAlign <= 3 ? toolBarAlign : 1; }

const std::vector<InfoOption>& InfoOptions() {
  static const std::vector<InfoOption> options = {
      {L"SummaryVersion", 1159, 1, 1, false, true}, {L"SummaryBios", 1160, 1, 1, false, true},
      {L"SummaryBus", 1161, 1, 0, true, false},     {L"SummaryCpu", 1162, 1, 1, false, true},
      {L"SummaryMem", 1163, 1, 1, false, true},     {L"SummaryFloppy", 1164, 1, 1, false, true},
      {L"SummaryDisk", 1168, 1, 1, false, true},    {L"SummaryCdrom", 1169, 1, 1, false, true},
      {L"SummaryMedia", 1171, 1, 0, true, false},   {L"SummaryMonitor", 1172, 1, 0, true, false},
      {L"SummaryVideo", 0, 1, 0, false, false},     {L"AudioSummary", 1110, 0, 0, false, true},
      {L"ModemSummary", 1111, 0, 0, false, true},   {L"IODeviceSummary", 1112, 0, 0, true, true},
      {L"NetworkSummary", 1113, 0, 0, false, true}, {L"ResourceSummary", 1114, 0, 0, true, true},
      {L"MemoryHeap", 1115, 0, 0, true, true},      {L"AudioMCI", 1117, 0, 0, false, true},
      {L"VideoMCI", 0, 0, 0, false, true},          {L"VideoSummary", 0, 0, 0, false, true},
  };
  return options;
}

unsigned CorrectToolsOptions(unsigned options, const ToolsSystem& s) {
  auto clear = [&](int bit) { options &= ~(1u << bit); };
  if (s.nineX) {
    clear(25);
    clear(26);
  } else {
    if (s.majorVersion < 5) clear(28);
    for (int bit : {17, 8, 23, 24}) clear(bit);
  }
  if (!s.winipcfgPresent) clear(22);
  if (!s.msinfoPresent) clear(27);
  return options & ((1u << 29) - 1);
}

int ToolsOptionControl(int bit) {
  static const int controls[29] = {1119, 1120, 0,    1138, 1137, 1139, 1134, 1136, 1131, 1135,
                                   1132, 0,    1124, 1130, 1128, 1129, 1127, 1123, 1122, 1126,
                                   1121, 0,    1143, 1141, 1142, 1144, 1145, 1147, 1146};
  return bit >= 0 && bit < 29 ? controls[bit] : 0;
}

std::wstring DmiCopyMessage(bool firstCopied, bool secondCopied) {
  if (!firstCopied && !secondCopied) return L"Failed to copy dmi.pif & pludor.pif.";
  if (!firstCopied) return L"Failed to copy dmi.pif.";
  if (!secondCopied) return L"Failed to copy pludor.pif";
  return L"To view DMI information you need to reboot your system.";
}

std::string HtmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else out += c;
  }
  return out;
}

std::string BuildSupportPage(const std::vector<std::string>& templateLines, const std::string& email,
                             const std::vector<std::string>* reportLines) {
  std::string marker(7, 'W');
  std::string page;
  for (const std::string& line : templateLines) {
    const size_t at = line.find(marker);
    if (at == std::string::npos) {
      page += line + "\r\n";
      continue;
    }
    page += line.substr(0, at);
    if (marker[0] == 'W') {
      page += HtmlEscaped(email);
    } else if (marker[0] == 'Z') {
      page += "\r\n";
      if (reportLines)
        for (const std::string& r : *reportLines)
          page += HtmlEscaped(!r.empty() && r[0] == '@' ? r.substr(std::min<size_t>(2, r.size())) : r) + "\r\n";
    }
    page += line.substr(at + marker.size()) + "\r\n";
    for (char& c : marker) ++c;
  }
  return page;
}

namespace {

// The lines of a text file without their line ends; false when it does not open.
bool ReadLines(const std::wstring& path, std::vector<std::string>* lines) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
  }
  return true;
}

}  // namespace

bool BuildSupportMailPage(const std::wstring& dir, const std::string& email) {
  std::vector<std::string> templateLines;
  if (!ReadLines(dir + L"temp_ts.htm", &templateLines)) return false;
  std::vector<std::string> report;
  const bool haveReport = ReadLines(dir + L"DIAGReport.txt", &report);
  // The new page takes the old one's place only once it is whole: a page the
  // disk has no room for, or an old one that cannot be replaced, keeps the
  // old page and is no page to open.
  return appkit::WriteFileWhole(dir + L"ts_mail.htm",
                                BuildSupportPage(templateLines, email, haveReport ? &report : nullptr));
}

}  // namespace halvix
