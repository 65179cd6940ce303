// Halvix's settings: every value with its default, the clamps and
// derivations applied when they are read, the order in which they are
// written back, and the other small rules of start-up. Plain functions over
// plain data; the application object does the registry and file work.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace halvix {

// Registry location of the main program's settings (HKEY_CURRENT_USER).
constexpr wchar_t kCompanyKey[] = L"Qev";
constexpr wchar_t kProfileName[] = L"Halvix";
constexpr wchar_t kSettingSection[] = L"Setting";
// Named semaphore that keeps one instance.
constexpr wchar_t kInstanceSemaphore[] = L"#1-Morvalex for Windows";
// "Options" written by the reset to the default configuration.
constexpr int kResetOptions = 0x1FDFFFF;

struct WindowRect {
  int x, y, width, height;
  bool operator==(const WindowRect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};
constexpr WindowRect kTreeLayoutRect{0, 0, 800, 572};
constexpr WindowRect kControlPanelRect{40, 40, 550, 450};

struct HalvixSettings {
  int dragMin = 3;
  int autoArrange = 1;
  int maximized = 0;
  int listControlView = 0;
  std::wstring defaultUrl;
  std::wstring msInfoPath;
  int controlPanelStyle = 0;         // the layout in effect
  int pendingControlPanelStyle = 0;  // what SaveSettings writes
  int webView = 1;
  int treeView = 1;
  int titleView = 1;
  int toolbarView = 1;
  int splitterControlPanelDx = 140;
  int splitterControlPanelDy = 200;
  int splitterTreeViewDx = 150;
  int showStatusBar = 1;
  int showToolBar = 0;
  int toolBarAlign = 1;
  int showToolBarText = 1;
  int splitterBarHalvix = 85;
  int splitterBarOthers = 370;
  int sleep = 1000;
  int maxDhrystone = 400;
  int maxWhetstone = 120;
  int maxMemRead = 350;
  int maxMemWrite = 350;
  int maxHarddiskTransferRate = 15;
  int maxHarddiskRead = 15;
  int maxCDROMTransferRate = 3600;
  int maxVideoSpeed = 30;
  int maxIndex = 200;
  std::wstring logFileName = L"halvix.log";
  std::wstring bnhRefFileName;
  WindowRect rect = kTreeLayoutRect;  // of the layout in effect
  int nTestNum = 1;
  int nTimeoutCount = 20;
  int nStopOnError = 1;
  int nOneByOne = 1;
  int autoRefresh = 1;
  std::wstring cFactor = L"75";
  std::wstring bbsFile = L"qev.ht";
  std::wstring faxNum;
  std::wstring webLink;
  std::wstring email;
  std::wstring bbsTitle;
  std::wstring runBbs;
  std::wstring runFax;
  std::wstring runWeb;
  std::wstring runEmail;

  bool ControlPanelLayout() const { return controlPanelStyle != 0; }
};

// The maker's support contacts (defaults of "FaxNum", "WebLink", "Email").
std::wstring DefaultFaxNum();
std::wstring DefaultWebLink();
std::wstring DefaultEmail();

// ---- clamps applied at start
int ClampSleep(int v);          // above 2000 or below 0: 1000
int ClampTestNum(int v);        // negative: 1; above 65535: 65535
int ClampTimeoutCount(int v);   // below 1: 1
int ClampStopOnError(int v);    // negative: 1
int ClampOneByOne(int v);       // negative: 0
// "ToolbarView" off when the common controls failed; then the tree is shown
// when both strips would be off.
void ApplyToolbarTreeRule(bool commonControlsOk, int* toolbarView, int* treeView);
// The control-panel layout always docks the frame toolbar at the top.
int EffectiveToolBarAlign(int controlPanelStyle, int toolBarAlign);

// ---- derivations (programDir ends in a backslash)
std::wstring DeriveDefaultUrl(const std::wstring& stored, const std::wstring& programDir);
std::wstring DeriveMsInfoPath(const std::wstring& stored, const std::wstring& windowsDir);
std::wstring DeriveBnhRefFileName(const std::wstring& stored, const std::wstring& programDir);
// "RunBbs": when empty, the terminal program with one blank appended.
std::wstring DeriveRunBbs(const std::wstring& stored, const std::wstring& terminalProgram);
// "RunFax": when empty, the fax module of the program directory.
std::wstring DeriveRunFax(const std::wstring& stored, const std::wstring& programDir);
// "RunWeb"/"RunEmail": when either is empty both come from the browser.
void DeriveRunWebEmail(const std::wstring& browserProgram, std::wstring* runWeb, std::wstring* runEmail);
// Value names of the window rectangle in a layout.
std::vector<std::wstring> RectValueNames(bool controlPanelLayout);
// A work area of the screen (right and bottom exclusive).
struct ScreenArea {
  int left, top, right, bottom;
};
// Where the main window opens: the stored rectangle moved (and shrunk when
// larger) into `area`, the work area of the screen nearest to it, so that a
// stored position such as 0x80000000 cannot put it out of sight; a width or
// height that is not positive takes `fallback`'s. A rectangle inside the
// area stays as it is.
WindowRect FitOnScreen(const WindowRect& stored, const WindowRect& fallback, const ScreenArea& area);

// ---- captions and command line
// The first line of a text file's bytes (without its line end).
std::string FirstLine(const std::string& content);
// The message-box caption: "<title line><suffix>" when the title file was
// read and its first line is not empty, else `plain`.
std::wstring MessageBoxCaption(bool titleRead, const std::wstring& titleLine, const std::wstring& suffix,
                               const std::wstring& plain);
// The arguments of a full command line (the program's own path skipped,
// quoted or not).
std::wstring ArgumentsOf(const std::wstring& commandLine);
struct StartFlags {
  bool stress = false;
  bool bench = false;
};
// At every '-': "-Stress" (any case) sets stress, else "-Bench" sets bench.
StartFlags ScanStartFlags(const std::wstring& arguments);

// ---- image lists
// Resource ids of the test icons in image-list order.
std::vector<int> TestIconIds(bool corvithPresent, bool pernathPresent, bool windowsNt);

// ---- reading and writing
// Where settings are read from (the registry in the program, a table in tests).
class SettingSource {
 public:
  virtual ~SettingSource() = default;
  virtual int Int(const wchar_t* name, int def) const = 0;
  virtual std::wstring Str(const wchar_t* name, const std::wstring& def) const = 0;
};

// What start-up knows about its surroundings when it reads the settings.
struct StartEnvironment {
  std::wstring programDir;  // with trailing backslash
  std::wstring windowsDir;
  bool commonControlsOk = true;
  std::wstring terminalProgram;  // program of the "htfile" open command
  std::wstring browserProgram;   // program of the "htmlfile" open command
  std::wstring bbsTitleDefault;  // the string table's terminal caption
};

// Start-up step "layout": "DragMin" .. "Sleep".
void ReadLayoutSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s);
// Start-up step "run": the benchmark scales, stress log names, window
// rectangle of the layout in effect, stress values, "AutoRefresh", "CFactor".
void ReadRunSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s);
// Start-up step "support": "BbsFile" .. "RunEmail".
void ReadSupportSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s);
// The reset to the default configuration (values only; "RunFax", "RunWeb"
// and "RunEmail" are read again from `src`).
void ResetSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s);

struct SettingValue {
  std::wstring name;
  bool isString;
  int number;
  std::wstring text;
};
// Every value SaveSettings writes, in its order (the pending layout style as
// "ControlPanelStyle").
std::vector<SettingValue> SettingsToSave(const HalvixSettings& s);

// A table-backed source for tests and defaults.
class MapSource : public SettingSource {
 public:
  std::map<std::wstring, int> ints;
  std::map<std::wstring, std::wstring> strs;
  int Int(const wchar_t* name, int def) const override;
  std::wstring Str(const wchar_t* name, const std::wstring& def) const override;
};

}  // namespace halvix
