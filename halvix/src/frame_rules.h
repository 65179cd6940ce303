// The main frame's rules as plain functions: which help page belongs to a
// command, which control a page hosts, which tree node and module kind a
// command stands for, the user's web links, the pane sizes of both layouts
// and the MS-DOS test's batch file.
#pragma once
#include <string>
#include <vector>

namespace halvix {

// Private window messages between the frame and its views and dialogs.
constexpr unsigned WM_NAVSTATE = 1124;      // web view -> frame: wParam Back/Forward, lParam enabled
constexpr unsigned WM_REFRESHITEMS = 1125;  // frame -> icon list, tree, toolbar views: rebuild
constexpr unsigned WM_SELECTPAGE = 1126;    // tree -> frame: show the page of command wParam
constexpr unsigned WM_SELECTTEST = 1127;    // frame -> tree: select the node of command wParam
constexpr unsigned WM_RELAYOUT = 1128;      // layout dialog -> frame: apply the pane settings
constexpr unsigned WM_SHOWPAGETEXT = 1129;  // frame -> logo view: wParam the path of a help page

// The two group pages (the icon list with the tests, or the shortcuts).
constexpr int kPageTests = 1146;
constexpr int kPageShortcuts = 1147;
inline bool IsGroupPage(int page) { return page == kPageTests || page == kPageShortcuts; }

// Child ids of the two views that share the upper right pane while hidden.
constexpr unsigned kIconListHiddenId = 1149;
constexpr unsigned kModuleViewHiddenId = 1150;
// Child id of the hidden information-server control.
constexpr unsigned kQuorrelControlId = 1001;

// The help page of a command, relative to the program directory; empty
// when the command has none.
std::wstring HelpPageFor(int command, bool controlPanel);

// The control a page shows in the module view: its module name and the
// switches Init gets.
struct PageControl {
  std::string name;
  std::string switches;
};
PageControl PageControlFor(int page);

// The tree node a command selects in the tree layout (0: none).
int TreeSelectionFor(int command);
// The module kind a test command or tool starts as (-1: not a module).
int ModuleKindForCommand(int command);

// Whether the frame's command `command` is enabled, for the commands whose
// state depends only on a test hosted in the pane running: the tools and
// information options and the reset are greyed while it runs; printing the
// report, the benchmarks and collecting information stay enabled. -1 for
// any other command (its state is decided elsewhere).
int HostedTestCommandState(int command, bool hostedTestRunning);

// The user's web links from "custmurl.txt": "name|address|..." lines.
struct WebLink {
  std::wstring name;
  std::wstring address;
};
constexpr int kMaxWebLinks = 30;
// One line; false when it gives no link (no '|', no second '|', an empty
// name or address).
bool ParseWebLinkLine(const std::wstring& line, WebLink* link);
// The links of a file's lines, at most kMaxWebLinks.
std::vector<WebLink> ParseWebLinks(const std::vector<std::wstring>& lines);

// ---- pane sizes
struct PaneSettings {
  bool controlPanel = false;
  bool commonControlsOk = true;
  bool toolbarView = true;
  bool treeView = true;
  bool titleView = true;
  bool webView = true;
};
// What the frame remembers of the panes.
struct PaneMemory {
  int treeKeptWidth = 0;     // S3's kept column width
  int helpKeptWidth = 0;     // S4's kept column width (control panel)
  int upperHeight = 0;       // the live upper pane height (tree)
  int treeViewDx = 150;      // "SplitterTreeViewDx"
};
// The ideal sizes the frame gives its splitters; -1 leaves a size alone.
struct PaneSizes {
  int s1Col0 = -1, s1Col1 = -1;  // toolbar view | the rest
  int s2Row0 = -1, s2Row1 = -1;  // title | the rest
  int s3Col0 = -1, s3Col1 = -1;  // tree | the rest
  int s4Col0 = -1;               // control panel: help | icon list
  int s4Row0 = -1, s4Row1 = -1;  // tree: upper pane | help
  bool operator==(const PaneSizes& o) const {
    return s1Col0 == o.s1Col0 && s1Col1 == o.s1Col1 && s2Row0 == o.s2Row0 && s2Row1 == o.s2Row1 &&
           s3Col0 == o.s3Col0 && s3Col1 == o.s3Col1 && s4Col0 == o.s4Col0 && s4Row0 == o.s4Row0 &&
           s4Row1 == o.s4Row1;
  }
};
constexpr int kToolbarViewWidth = 64;
constexpr int kTitleViewHeight = 22;
// `full`: only the help pane changes (the strips stay as they are).
PaneSizes ComputePaneSizes(const PaneSettings& s, const PaneMemory& m, int width, int height, bool full);

// ---- the MS-DOS hardware test
// "C:\K_Y_T_D7.BAT" on the drive of the Windows directory.
std::wstring DosBatchRootPath(const std::wstring& windowsDir);
// The batch file's text: it changes to the test's folder and starts it.
std::string DosBatchText(const std::string& shortProgramDir);
// Writes the batch file at `rootPath` and its copy at `copyPath`, each whole
// or not at all (a cut batch file would run after the restart); false when
// one of them could not be made, with its path in *failed.
bool WriteDosBatchFiles(const std::wstring& rootPath, const std::wstring& copyPath, const std::string& text,
                        std::wstring* failed);

}  // namespace halvix
