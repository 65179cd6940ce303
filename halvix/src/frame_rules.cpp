#include "frame_rules.h"

#include <cwctype>

#include "appkit/wholefile.h"

namespace halvix {

namespace {

struct HelpPage {
  int command;
  const wchar_t* controlPanel;  // nullptr: none
  const wchar_t* tree;          // nullptr: the same as controlPanel
};

const HelpPage kHelpPages[] = {
    {133, L"help\\quorrl3.htm", L"help\\dginfo2.htm"},
    {135, L"help\\dos3.htm", nullptr},
    {140, L"help\\audio3.htm", L"help\\dgaudio2.htm"},
    {141, L"help\\quandel.htm", nullptr},
    {142, L"help\\modem3.htm", L"help\\dgmodem2.htm"},
    {147, L"help\\graph3.htm", L"help\\dggraph2.htm"},
    {1018, L"help\\disk3.htm", L"help\\dgdisk2.htm"},
    {1019, L"help\\floppy3.htm", L"help\\dgflpy2.htm"},
    {1020, L"help\\cdrom3.htm", L"help\\dgcdrom2.htm"},
    {1023, L"help\\stress3.htm", nullptr},
    {1032, L"help\\proc3.htm", L"help\\dgproc2.htm"},
    {1033, L"help\\mem3.htm", L"help\\dgmem2.htm"},
    {1040, L"help\\mouse3.htm", nullptr},
    {1041, L"help\\stick3.htm", nullptr},
    {1042, L"help\\scan3.htm", nullptr},
    {1050, L"help\\dmi3.htm", nullptr},
    {1054, L"help\\io3.htm", L"help\\dgio2.htm"},
    {1146, L"help\\help3.htm", L"help\\dghelp2.htm"},
    {1147, nullptr, L"help\\dglinks2.htm"},
    {32780, L"wistral\\help\\wistral3.htm", nullptr},
    {32783, L"help\\ini3.htm", nullptr},
    {32785, L"help\\clean3.htm", nullptr},
    {32791, L"help\\ip3.htm", nullptr},
    {32792, L"help\\tcp3.htm", nullptr},
    {32793, L"help\\scsi3.htm", nullptr},
    {32816, L"help\\msifo3.htm", nullptr},
    {32817, L"help\\usb3.htm", nullptr},
    {62164, L"help\\bnch3.htm", nullptr},
    {62306, L"help\\winmsd3.htm", nullptr},
    {62310, L"help\\taskmgr3.htm", nullptr},
};

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::iswspace(s[b])) ++b;
  while (e > b && std::iswspace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

int Positive(int v, int fallback) { return v > 0 ? v : fallback; }

}  // namespace

std::wstring HelpPageFor(int command, bool controlPanel) {
  for (const HelpPage& p : kHelpPages) {
    if (p.command != command) continue;
    if (p.command == 1147) return controlPanel ? std::wstring() : p.tree;
    const wchar_t* page = (!controlPanel && p.tree) ? p.tree : p.controlPanel;
    return page ? page : L"";
  }
  return {};
}

PageControl PageControlFor(int page) {
  switch (page) {
    case 1018: return {"FENWOLD", ""};
    case 1019: return {"FENWOLD", "-floppy"};
    case 1020: return {"CDROM", ""};
    case 1032: return {"ZENTREL", "-proctest"};
    case 1033: return {"ZENTREL", ""};
    case 1054: return {"STREVAN", ""};
    case 133: return {"MURRICK", ""};
    case 140: return {"MEDIA", ""};
    case 141: return {"MEDIA", "-videotest"};
    case 142: return {"MODEM", ""};
    case 147: return {"GRAPHICS", ""};
    default: return {"MURRICK", ""};
  }
}

int TreeSelectionFor(int command) {
  switch (command) {
    case 133: case 140: case 142: case 147: case 1018: case 1019: case 1020: case 1032: case 1033: case 1054:
      return command;
    case 135: case 1023: case 1050: case 1146: case 32783: case 32790: case 62164:
      return kPageTests;
    case 1040: case 1041: case 1042: case 1147: case 32780: case 32782: case 32785: case 32791: case 32792:
    case 32793: case 32816: case 32817: case 62306: case 62310:
      return kPageShortcuts;
    default:
      return 0;
  }
}

int HostedTestCommandState(int command, bool hostedTestRunning) {
  switch (command) {
    case 32786:  // System Information options
    case 32787:  // Tools options
    case 32790:  // Reset Default Configuration
      return hostedTestRunning ? 0 : 1;
    case 32784:  // Print Report
    case 32789:  // Collect system information
    case 62164:  // Benchmarks
      return 1;
    default:
      return -1;
  }
}

int ModuleKindForCommand(int command) {
  switch (command) {
    case 140: return 0;
    case 147: return 1;
    case 142: return 2;
    case 1020: return 3;
    case 1018: return 4;
    case 1019: return 5;
    case 135: return 7;
    case 1032: return 10;
    case 1033: return 11;
    case 1054: return 14;
    case 32785: return 15;
    case 32791: return 16;
    case 32792: return 17;
    case 32793: return 18;
    case 32816: return 19;
    case 32817: return 20;
    default: return -1;
  }
}

bool ParseWebLinkLine(const std::wstring& line, WebLink* link) {
  size_t first = line.find(L'|');
  if (first == std::wstring::npos) return false;
  size_t second = line.find(L'|', first + 1);
  if (second == std::wstring::npos) return false;
  WebLink l{Trim(line.substr(0, first)), Trim(line.substr(first + 1, second - first - 1))};
  if (l.name.empty() || l.address.empty()) return false;
  *link = l;
  return true;
}

std::vector<WebLink> ParseWebLinks(const std::vector<std::wstring>& lines) {
  std::vector<WebLink> links;
  for (const std::wstring& line : lines) {
    if (static_cast<int>(links.size()) >= kMaxWebLinks) break;
    WebLink l;
    if (ParseWebLinkLine(line, &l)) links.push_back(l);
  }
  return links;
}

PaneSizes ComputePaneSizes(const PaneSettings& s, const PaneMemory& m, int width, int height, bool full) {
  PaneSizes p;
  if (!s.controlPanel && !full) {
    p.s1Col0 = (s.commonControlsOk && s.toolbarView) ? kToolbarViewWidth : 0;
    p.s1Col1 = width;
    p.s3Col0 = s.treeView ? Positive(m.treeKeptWidth, m.treeViewDx) : 0;
    p.s3Col1 = width;
    p.s2Row0 = s.titleView ? kTitleViewHeight : 0;
    p.s2Row1 = height;
  }
  if (s.webView) {
    if (s.controlPanel) {
      p.s4Col0 = Positive(m.helpKeptWidth, width / 2);
    } else {
      p.s4Row0 = Positive(m.upperHeight, height / 2);
      // The help pane comes back after it was switched off (a row of
      // ideal size 0 would stay collapsed).
      p.s4Row1 = height;
    }
  } else if (s.controlPanel) {
    p.s4Col0 = 0;
  } else {
    p.s4Row0 = height;
    p.s4Row1 = 0;
  }
  return p;
}

std::wstring DosBatchRootPath(const std::wstring& windowsDir) {
  std::wstring path = L"C:\\K_Y_T_D7.BAT";
  if (!windowsDir.empty()) path[0] = windowsDir[0];
  return path;
}

std::string DosBatchText(const std::string& shortProgramDir) {
  return "cd " + shortProgramDir + "WENDROP\r\nWENDROP.EXE\r\n";
}

bool WriteDosBatchFiles(const std::wstring& rootPath, const std::wstring& copyPath, const std::string& text,
                        std::wstring* failed) {
  if (!appkit::WriteFileWhole(rootPath, text)) {
    *failed = rootPath;
    return false;
  }
  if (!appkit::CopyFileWhole(rootPath, copyPath)) {
    *failed = copyPath;
    return false;
  }
  return true;
}

}  // namespace halvix
