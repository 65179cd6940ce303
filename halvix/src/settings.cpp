#include "settings.h"

#include <cwctype>

namespace halvix {

namespace {
const wchar_t kMsInfoDefault[] = L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSINFO\\msinfo32.exe";

// The nine benchmark bar scales: read, reset and written together.
struct BenchScale {
  const wchar_t* name;
  int HalvixSettings::*member;
};
const BenchScale kBenchScales[] = {
    {L"MaxDhrystone", &HalvixSettings::maxDhrystone},
    {L"MaxWhetstone", &HalvixSettings::maxWhetstone},
    {L"MaxMemRead", &HalvixSettings::maxMemRead},
    {L"MaxMemWrite", &HalvixSettings::maxMemWrite},
    {L"MaxHarddiskTransferRate", &HalvixSettings::maxHarddiskTransferRate},
    {L"MaxHarddiskRead", &HalvixSettings::maxHarddiskRead},
    {L"MaxCDROMTransferRate", &HalvixSettings::maxCDROMTransferRate},
    {L"MaxVideoSpeed", &HalvixSettings::maxVideoSpeed},
    {L"MaxIndex", &HalvixSettings::maxIndex},
};
}  // namespace

std::wstring DefaultFaxNum() { return L"1-555-010-0199"; }
std::wstring DefaultWebLink() { return L"http://www.qev.example/support"; }
std::wstring DefaultEmail() { return L"support@qev.example"; }

int ClampSleep(int v) { return (v > 2000 || v < 0) ? 1000 : v; }
int ClampTestNum(int v) { return v < 0 ? 1 : (v > 65535 ? 65535 : v); }
int ClampTimeoutCount(int v) { return v < 1 ? 1 : v; }
int ClampStopOnError(int v) { return v < 0 ? 1 : v; }
int ClampOneByOne(int v) { return v < 0 ? 0 : v; }

void ApplyToolbarTreeRule(bool commonControlsOk, int* toolbarView, int* treeView) {
  if (!commonControlsOk) *toolbarView = 0;
  if (*toolbarView == 0 && *treeView == 0) *treeView = 1;
}

int EffectiveToolBarAlign(int controlPanelStyle, int toolBarAlign) {
  return controlPanelStyle != 0 ? 1 : toolBarAlign;
}

std::wstring DeriveDefaultUrl(const std::wstring& stored, const std::wstring& programDir) {
  return stored.empty() ? L"file://" + programDir + L"help\\dghelp2.htm" : stored;
}

std::wstring DeriveMsInfoPath(const std::wstring& stored, const std::wstring& windowsDir) {
  if (!stored.empty()) return stored;
  std::wstring path = kMsInfoDefault;
  if (!windowsDir.empty()) path[0] = windowsDir[0];
  return path;
}

std::wstring DeriveBnhRefFileName(const std::wstring& stored, const std::wstring& programDir) {
  return stored.empty() ? programDir + L"bnchref.bnh" : stored;
}

std::wstring DeriveRunBbs(const std::wstring& stored, const std::wstring& terminalProgram) {
  if (!stored.empty()) return stored;
  return terminalProgram.empty() ? std::wstring() : terminalProgram + L" ";
}

std::wstring DeriveRunFax(const std::wstring& stored, const std::wstring& programDir) {
  return stored.empty() ? programDir + L"quickfax.mod " : stored;
}

void DeriveRunWebEmail(const std::wstring& browserProgram, std::wstring* runWeb, std::wstring* runEmail) {
  if (!runWeb->empty() && !runEmail->empty()) return;
  *runWeb = browserProgram;
  *runEmail = browserProgram;
  if (!runWeb->empty()) *runWeb += L" ";
  if (!runEmail->empty()) *runEmail += L" mailto:";
}

std::vector<std::wstring> RectValueNames(bool controlPanelLayout) {
  if (controlPanelLayout) return {L"X2", L"Y2", L"Width2", L"Height2"};
  return {L"X", L"Y", L"Width", L"Height"};
}

WindowRect FitOnScreen(const WindowRect& stored, const WindowRect& fallback, const ScreenArea& area) {
  // One axis: start and length within [low, high), computed wide so that
  // no stored value can overflow.
  auto fit = [](long long start, long long length, long long fallbackLength, long long low, long long high,
                int* outStart, int* outLength) {
    if (length <= 0) length = fallbackLength;
    long long room = high - low;
    if (room < 1) room = 1;
    if (length > room) length = room;
    if (start + length > high) start = high - length;
    if (start < low) start = low;
    *outStart = (int)start;
    *outLength = (int)length;
  };
  WindowRect out{};
  fit(stored.x, stored.width, fallback.width, area.left, area.right, &out.x, &out.width);
  fit(stored.y, stored.height, fallback.height, area.top, area.bottom, &out.y, &out.height);
  return out;
}

std::string FirstLine(const std::string& content) {
  size_t end = content.find_first_of("\r\n");
  return end == std::string::npos ? content : content.substr(0, end);
}

std::wstring MessageBoxCaption(bool titleRead, const std::wstring& titleLine, const std::wstring& suffix,
                               const std::wstring& plain) {
  if (titleRead && !titleLine.empty()) return titleLine + suffix;
  return plain;
}

std::wstring ArgumentsOf(const std::wstring& commandLine) {
  size_t i = 0;
  const size_t n = commandLine.size();
  while (i < n && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
  if (i < n && commandLine[i] == L'"') {
    size_t close = commandLine.find(L'"', i + 1);
    i = close == std::wstring::npos ? n : close + 1;
  }
  while (i < n && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
  while (i < n && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
  return commandLine.substr(i);
}

namespace {
bool WordAt(const std::wstring& s, size_t i, const wchar_t* word) {
  for (size_t k = 0; word[k]; ++k) {
    if (i + k >= s.size() || std::towlower(s[i + k]) != std::towlower(word[k])) return false;
  }
  return true;
}
}  // namespace

StartFlags ScanStartFlags(const std::wstring& arguments) {
  StartFlags f;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != L'-') continue;
    if (WordAt(arguments, i, L"-Stress")) {
      f.stress = true;
      i += 6;
    } else if (WordAt(arguments, i, L"-Bench")) {
      f.bench = true;
      i += 5;
    }
  }
  return f;
}

std::vector<int> TestIconIds(bool corvithPresent, bool pernathPresent, bool windowsNt) {
  std::vector<int> ids = {203, 204, 130, 176, 185, 162, 163, 180, 137, 138, 139, 146, 153, 154, 155, 132};
  if (corvithPresent) ids.push_back(175);
  if (pernathPresent) ids.push_back(184);
  for (int id : {186, 157, 188, 165, 166, 167, 215, 197}) ids.push_back(id);
  if (windowsNt) {
    for (int id : {214, 195, 196}) ids.push_back(id);
  } else {
    for (int id : {198, 199, 214}) ids.push_back(id);
  }
  return ids;
}

void ReadLayoutSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s) {
  const HalvixSettings d;
  s->dragMin = src.Int(L"DragMin", d.dragMin);
  s->autoArrange = src.Int(L"AutoArrange", d.autoArrange);
  s->maximized = src.Int(L"Maximized", d.maximized);
  s->listControlView = src.Int(L"ListControlView", d.listControlView);
  s->defaultUrl = DeriveDefaultUrl(src.Str(L"DefaultUrl", L""), env.programDir);
  s->msInfoPath = DeriveMsInfoPath(src.Str(L"MSInfoPath", L""), env.windowsDir);
  s->controlPanelStyle = src.Int(L"ControlPanelStyle", d.controlPanelStyle);
  s->pendingControlPanelStyle = s->controlPanelStyle;
  s->webView = src.Int(L"WebView", d.webView);
  s->treeView = src.Int(L"TreeView", d.treeView);
  s->titleView = src.Int(L"TitleView", d.titleView);
  s->toolbarView = src.Int(L"ToolbarView", d.toolbarView);
  ApplyToolbarTreeRule(env.commonControlsOk, &s->toolbarView, &s->treeView);
  s->splitterControlPanelDx = src.Int(L"SplitterControlPanelDx", d.splitterControlPanelDx);
  s->splitterControlPanelDy = src.Int(L"SplitterControlPanelDy", d.splitterControlPanelDy);
  s->splitterTreeViewDx = src.Int(L"SplitterTreeViewDx", d.splitterTreeViewDx);
  s->showStatusBar = src.Int(L"ShowStatusBar", d.showStatusBar);
  s->showToolBar = src.Int(L"ShowToolBar", d.showToolBar);
  s->toolBarAlign = EffectiveToolBarAlign(s->controlPanelStyle, src.Int(L"ToolBarAlign", d.toolBarAlign));
  s->showToolBarText = src.Int(L"ShowToolBarText", d.showToolBarText);
  s->splitterBarHalvix = src.Int(L"SplitterBarHalvix", d.splitterBarHalvix);
  s->splitterBarOthers = src.Int(L"SplitterBarOthers", d.splitterBarOthers);
  s->sleep = ClampSleep(src.Int(L"Sleep", d.sleep));
}

void ReadRunSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s) {
  const HalvixSettings d;
  for (const BenchScale& b : kBenchScales) s->*b.member = src.Int(b.name, d.*b.member);
  s->logFileName = src.Str(L"LogFileName", d.logFileName);
  s->bnhRefFileName = DeriveBnhRefFileName(src.Str(L"BnhRefFileName", L""), env.programDir);
  const bool panel = s->ControlPanelLayout();
  const WindowRect def = panel ? kControlPanelRect : kTreeLayoutRect;
  const std::vector<std::wstring> names = RectValueNames(panel);
  s->rect = {src.Int(names[0].c_str(), def.x), src.Int(names[1].c_str(), def.y), src.Int(names[2].c_str(), def.width),
             src.Int(names[3].c_str(), def.height)};
  s->nTestNum = ClampTestNum(src.Int(L"nTestNum", d.nTestNum));
  s->nTimeoutCount = ClampTimeoutCount(src.Int(L"nTimeoutCount", d.nTimeoutCount));
  s->nStopOnError = ClampStopOnError(src.Int(L"nStopOnError", d.nStopOnError));
  s->nOneByOne = ClampOneByOne(src.Int(L"nOneByOne", d.nOneByOne));
  s->autoRefresh = src.Int(L"AutoRefresh", d.autoRefresh);
  s->cFactor = src.Str(L"CFactor", d.cFactor);
}

void ReadSupportSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s) {
  const HalvixSettings d;
  s->bbsFile = src.Str(L"BbsFile", d.bbsFile);
  s->faxNum = src.Str(L"FaxNum", DefaultFaxNum());
  s->webLink = src.Str(L"WebLink", DefaultWebLink());
  s->email = src.Str(L"Email", DefaultEmail());
  s->bbsTitle = src.Str(L"BbsTitle", env.bbsTitleDefault);
  s->runBbs = DeriveRunBbs(src.Str(L"RunBbs", L""), env.terminalProgram);
  s->runFax = DeriveRunFax(src.Str(L"RunFax", L""), env.programDir);
  s->runWeb = src.Str(L"RunWeb", L"");
  s->runEmail = src.Str(L"RunEmail", L"");
  DeriveRunWebEmail(env.browserProgram, &s->runWeb, &s->runEmail);
}

void ResetSettings(const SettingSource& src, const StartEnvironment& env, HalvixSettings* s) {
  const HalvixSettings d;
  s->dragMin = d.dragMin;
  for (const BenchScale& b : kBenchScales) s->*b.member = d.*b.member;
  s->logFileName = d.logFileName;
  s->bnhRefFileName = env.programDir + L"bnchref.bnh";
  s->rect = s->ControlPanelLayout() ? kControlPanelRect : kTreeLayoutRect;
  s->nTestNum = d.nTestNum;
  s->nTimeoutCount = d.nTimeoutCount;
  s->nStopOnError = d.nStopOnError;
  s->nOneByOne = d.nOneByOne;
  s->autoRefresh = d.autoRefresh;
  s->cFactor = d.cFactor;
  s->bbsFile = d.bbsFile;
  s->faxNum = DefaultFaxNum();
  s->webLink = DefaultWebLink();
  s->email = DefaultEmail();
  s->runBbs.clear();
  s->runFax = DeriveRunFax(src.Str(L"RunFax", L""), env.programDir);
  s->runWeb = src.Str(L"RunWeb", L"");
  s->runEmail = src.Str(L"RunEmail", L"");
  DeriveRunWebEmail(env.browserProgram, &s->runWeb, &s->runEmail);
}

std::vector<SettingValue> SettingsToSave(const HalvixSettings& s) {
  std::vector<SettingValue> v;
  auto num = [&](const wchar_t* name, int value) { v.push_back({name, false, value, L""}); };
  auto str = [&](const wchar_t* name, const std::wstring& text) { v.push_back({name, true, 0, text}); };
  for (const BenchScale& b : kBenchScales) num(b.name, s.*b.member);
  str(L"CFactor", s.cFactor);
  str(L"LogFileName", s.logFileName);
  str(L"BnhRefFileName", s.bnhRefFileName);
  num(L"DragMin", s.dragMin);
  const std::vector<std::wstring> rect = RectValueNames(s.ControlPanelLayout());
  num(rect[0].c_str(), s.rect.x);
  num(rect[1].c_str(), s.rect.y);
  num(rect[2].c_str(), s.rect.width);
  num(rect[3].c_str(), s.rect.height);
  num(L"nTestNum", s.nTestNum);
  num(L"nTimeoutCount", s.nTimeoutCount);
  num(L"nStopOnError", s.nStopOnError);
  num(L"nOneByOne", s.nOneByOne);
  str(L"BbsFile", s.bbsFile);
  str(L"FaxNum", s.faxNum);
  str(L"WebLink", s.webLink);
  str(L"Email", s.email);
  num(L"AutoArrange", s.autoArrange);
  num(L"Maximized", s.maximized);
  num(L"ListControlView", s.listControlView);
  str(L"DefaultUrl", s.defaultUrl);
  str(L"MSInfoPath", s.msInfoPath);
  num(L"ControlPanelStyle", s.pendingControlPanelStyle);
  num(L"WebView", s.webView);
  num(L"TreeView", s.treeView);
  num(L"TitleView", s.titleView);
  num(L"ToolbarView", s.toolbarView);
  num(L"SplitterControlPanelDx", s.splitterControlPanelDx);
  num(L"SplitterControlPanelDy", s.splitterControlPanelDy);
  num(L"SplitterTreeViewDx", s.splitterTreeViewDx);
  num(L"ShowStatusBar", s.showStatusBar);
  num(L"ShowToolBar", s.showToolBar);
  num(L"ToolBarAlign", s.toolBarAlign);
  num(L"ShowToolBarText", s.showToolBarText);
  num(L"SplitterBarHalvix", s.splitterBarHalvix);
  num(L"SplitterBarOthers", s.splitterBarOthers);
  num(L"Sleep", s.sleep);
  return v;
}

int MapSource::Int(const wchar_t* name, int def) const {
  auto it = ints.find(name);
  return it == ints.end() ? def : it->second;
}

std::wstring MapSource::Str(const wchar_t* name, const std::wstring& def) const {
  auto it = strs.find(name);
  return it == strs.end() ? def : it->second;
}

}  // namespace halvix
