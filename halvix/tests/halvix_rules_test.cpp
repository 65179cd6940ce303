// Halvix's settings rules: clamps, the Tree/Toolbar rule, the toolbar side of
// the control-panel layout, derivations, the caption, the command-line scan,
// the icon order and the order in which settings are written.
#include <gtest/gtest.h>

#include <climits>

#include "settings.h"
#include "startup_files.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

using namespace halvix;

namespace {

TEST(HalvixRules, Clamps) {
  struct Case {
    int (*clamp)(int);
    const char* name;
    int in, out;
  } cases[] = {
      {ClampSleep, "Sleep", 2001, 1000},       {ClampSleep, "Sleep", -1, 1000},
      {ClampSleep, "Sleep", 2000, 2000},       {ClampSleep, "Sleep", 0, 0},
      {ClampTestNum, "nTestNum", 70000, 65535}, {ClampTestNum, "nTestNum", 65535, 65535},
      {ClampTestNum, "nTestNum", -5, 1},       {ClampTestNum, "nTestNum", 0, 0},
      {ClampTimeoutCount, "nTimeoutCount", 0, 1}, {ClampTimeoutCount, "nTimeoutCount", -7, 1},
      {ClampTimeoutCount, "nTimeoutCount", 1, 1}, {ClampTimeoutCount, "nTimeoutCount", 300, 300},
      {ClampStopOnError, "nStopOnError", -1, 1}, {ClampStopOnError, "nStopOnError", 0, 0},
      {ClampOneByOne, "nOneByOne", -1, 0},     {ClampOneByOne, "nOneByOne", 0, 0},
      {ClampOneByOne, "nOneByOne", 1, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.clamp(c.in), c.out) << c.name << " " << c.in;
}

TEST(HalvixRules, StoredWindowPositionsComeBackOnScreen) {
  const ScreenArea screen{0, 0, 1024, 768};
  const ScreenArea right{1024, -200, 2944, 1000};  // a second screen
  struct Case {
    const char* what;
    WindowRect stored;
    ScreenArea area;
    WindowRect shown;
  };
  const Case cases[] = {
      {"inside: unchanged", {60, 70, 500, 400}, screen, {60, 70, 500, 400}},
      {"the defaults", kTreeLayoutRect, screen, kTreeLayoutRect},
      {"0x80000000 as a position", {INT_MIN, INT_MIN, 500, 400}, screen, {0, 0, 500, 400}},
      {"far right and below", {INT_MAX, 5000, 500, 400}, screen, {524, 368, 500, 400}},
      {"partly off the left edge", {-100, 10, 500, 400}, screen, {0, 10, 500, 400}},
      {"larger than the screen", {10, 10, 5000, 0x7FFFFFFF}, screen, {0, 0, 1024, 768}},
      {"no size: the layout's", {10, 10, 0, (int)0x80000000}, screen, {10, 10, 800, 572}},
      {"on the second screen it stays", {1100, -150, 600, 500}, right, {1100, -150, 600, 500}},
      {"above the second screen", {1100, -900, 600, 500}, right, {1100, -200, 600, 500}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WindowRect got = FitOnScreen(c.stored, kTreeLayoutRect, c.area);
    EXPECT_EQ(got.x, c.shown.x);
    EXPECT_EQ(got.y, c.shown.y);
    EXPECT_EQ(got.width, c.shown.width);
    EXPECT_EQ(got.height, c.shown.height);
  }
}

TEST(HalvixRules, ToolbarTreeRuleAndToolBarSide) {
  struct Case {
    bool cc;
    int toolbar, tree, toolbarOut, treeOut;
  } cases[] = {
      {true, 0, 0, 0, 1},  {true, 1, 0, 1, 0},  {true, 0, 1, 0, 1}, {true, 1, 1, 1, 1},
      {false, 1, 1, 0, 1}, {false, 1, 0, 0, 1}, {false, 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    int toolbar = c.toolbar, tree = c.tree;
    ApplyToolbarTreeRule(c.cc, &toolbar, &tree);
    EXPECT_EQ(toolbar, c.toolbarOut) << c.cc << c.toolbar << c.tree;
    EXPECT_EQ(tree, c.treeOut) << c.cc << c.toolbar << c.tree;
  }
  for (int align : {0, 1, 2, 3, 7}) {
    EXPECT_EQ(EffectiveToolBarAlign(1, align), 1);
    EXPECT_EQ(EffectiveToolBarAlign(2, align), 1);
    EXPECT_EQ(EffectiveToolBarAlign(0, align), align);
  }
}

TEST(HalvixRules, Derivations) {
  EXPECT_EQ(DeriveDefaultUrl(L"", L"C:\\Qev\\"), L"file://C:\\Qev\\help\\dghelp2.htm");
  EXPECT_EQ(DeriveDefaultUrl(L"http://127.0.0.1/", L"C:\\Qev\\"), L"http://127.0.0.1/");
  EXPECT_EQ(DeriveMsInfoPath(L"", L"D:\\WINNT"),
            L"D:\\Program Files\\Common Files\\Microsoft Shared\\MSINFO\\msinfo32.exe");
  EXPECT_EQ(DeriveMsInfoPath(L"E:\\msinfo.exe", L"D:\\WINNT"), L"E:\\msinfo.exe");
  EXPECT_EQ(DeriveBnhRefFileName(L"", L"C:\\Qev\\"), L"C:\\Qev\\bnchref.bnh");
  EXPECT_EQ(DeriveBnhRefFileName(L"x.bnh", L"C:\\Qev\\"), L"x.bnh");
  EXPECT_EQ(DeriveRunBbs(L"", L"C:\\HT\\ht.exe"), L"C:\\HT\\ht.exe ");
  EXPECT_EQ(DeriveRunBbs(L"", L""), L"");
  EXPECT_EQ(DeriveRunBbs(L"term.exe", L"C:\\HT\\ht.exe"), L"term.exe");
  EXPECT_EQ(DeriveRunFax(L"", L"C:\\Qev\\"), L"C:\\Qev\\quickfax.mod ");

  struct Case {
    const wchar_t *web, *email, *browser, *webOut, *emailOut;
  } cases[] = {
      {L"", L"", L"C:\\W\\web.exe", L"C:\\W\\web.exe ", L"C:\\W\\web.exe mailto:"},
      {L"mine.exe ", L"", L"C:\\W\\web.exe", L"C:\\W\\web.exe ", L"C:\\W\\web.exe mailto:"},
      {L"mine.exe ", L"mail.exe ", L"C:\\W\\web.exe", L"mine.exe ", L"mail.exe "},
      {L"", L"mail.exe ", L"", L"", L""},
  };
  for (const Case& c : cases) {
    std::wstring web = c.web, email = c.email;
    DeriveRunWebEmail(c.browser, &web, &email);
    EXPECT_EQ(web, c.webOut);
    EXPECT_EQ(email, c.emailOut);
  }
}

TEST(HalvixRules, Caption) {
  EXPECT_EQ(FirstLine("Hardware Test\r\nsecond\r\n"), "Hardware Test");
  EXPECT_EQ(FirstLine("Hardware Test"), "Hardware Test");
  EXPECT_EQ(FirstLine("One\nTwo"), "One");
  EXPECT_EQ(FirstLine(""), "");
  EXPECT_EQ(MessageBoxCaption(true, L"Hardware Test", L" (Qev)", L"Qev"), L"Hardware Test (Qev)");
  EXPECT_EQ(MessageBoxCaption(false, L"", L" (Qev)", L"Qev"), L"Qev");
  // An empty first line names nothing: the plain product name.
  EXPECT_EQ(MessageBoxCaption(true, L"", L" (Qev)", L"Qev"), L"Qev");
}

TEST(HalvixRules, CommandLineScanLooksAtTheArgumentsOnly) {
  struct Case {
    const wchar_t* commandLine;
    bool stress, bench;
  } cases[] = {
      {L"\"C:\\My-Stress\\halvix.exe\"", false, false},
      {L"C:\\My-Stress\\halvix.exe", false, false},
      {L"\"C:\\My-Bench dir\\halvix.exe\" -stress", true, false},
      {L"halvix.exe -Stress", true, false},
      {L"halvix.exe -BENCH", false, true},
      {L"halvix.exe -bench -STRESS", true, true},
      {L"halvix.exe -Stressful", true, false},
      {L"halvix.exe -Benc", false, false},
      {L"halvix.exe --stress", true, false},
      {L"halvix.exe", false, false},
      {L"", false, false},
  };
  for (const Case& c : cases) {
    StartFlags f = ScanStartFlags(ArgumentsOf(c.commandLine));
    EXPECT_EQ(f.stress, c.stress) << c.commandLine;
    EXPECT_EQ(f.bench, c.bench) << c.commandLine;
  }
  EXPECT_EQ(ArgumentsOf(L"\"C:\\a b\\halvix.exe\"  -Stress x"), L"-Stress x");
  EXPECT_EQ(ArgumentsOf(L"halvix.exe -Bench"), L"-Bench");
  EXPECT_EQ(ArgumentsOf(L"  halvix.exe"), L"");
}

TEST(HalvixRules, IconOrder) {
  std::vector<int> base = {203, 204, 130, 176, 185, 162, 163, 180, 137, 138, 139, 146, 153, 154, 155, 132};
  std::vector<int> tail = {186, 157, 188, 165, 166, 167, 215, 197};
  auto join = [&](std::vector<int> extra, std::vector<int> platform) {
    std::vector<int> v = base;
    v.insert(v.end(), extra.begin(), extra.end());
    v.insert(v.end(), tail.begin(), tail.end());
    v.insert(v.end(), platform.begin(), platform.end());
    return v;
  };
  EXPECT_EQ(TestIconIds(false, false, true), join({}, {214, 195, 196}));
  EXPECT_EQ(TestIconIds(true, false, true), join({175}, {214, 195, 196}));
  EXPECT_EQ(TestIconIds(false, true, false), join({184}, {198, 199, 214}));
  EXPECT_EQ(TestIconIds(true, true, false), join({175, 184}, {198, 199, 214}));
}

TEST(HalvixRules, SeededValuesAreReadClampedAndDerived) {
  MapSource src;
  src.ints = {{L"Sleep", 2001},        {L"nTestNum", 70000}, {L"nTimeoutCount", 0}, {L"nOneByOne", -1},
              {L"nStopOnError", -2},   {L"TreeView", 0},     {L"ToolbarView", 0},   {L"ToolBarAlign", 3},
              {L"ControlPanelStyle", 1}, {L"X2", 60},        {L"Y2", 70},           {L"Width2", 500},
              {L"Height2", 400},       {L"X", 1},            {L"DragMin", 9}};
  StartEnvironment env;
  env.programDir = L"C:\\Qev\\";
  env.windowsDir = L"C:\\WINDOWS";
  HalvixSettings s;
  ReadLayoutSettings(src, env, &s);
  ReadRunSettings(src, env, &s);
  EXPECT_EQ(s.sleep, 1000);
  EXPECT_EQ(s.nTestNum, 65535);
  EXPECT_EQ(s.nTimeoutCount, 1);
  EXPECT_EQ(s.nOneByOne, 0);
  EXPECT_EQ(s.nStopOnError, 1);
  EXPECT_EQ(s.treeView, 1);
  EXPECT_EQ(s.toolbarView, 0);
  EXPECT_EQ(s.toolBarAlign, 1);
  EXPECT_EQ(s.controlPanelStyle, 1);
  EXPECT_EQ(s.pendingControlPanelStyle, 1);
  EXPECT_EQ(s.rect, (WindowRect{60, 70, 500, 400}));
  EXPECT_EQ(s.dragMin, 9);
  EXPECT_EQ(s.defaultUrl, L"file://C:\\Qev\\help\\dghelp2.htm");
  EXPECT_EQ(s.bnhRefFileName, L"C:\\Qev\\bnchref.bnh");

  // Tree layout: the other rectangle, the toolbar side as stored.
  src.ints[L"ControlPanelStyle"] = 0;
  HalvixSettings t;
  ReadLayoutSettings(src, env, &t);
  ReadRunSettings(src, env, &t);
  EXPECT_EQ(t.toolBarAlign, 3);
  EXPECT_EQ(t.rect, (WindowRect{1, 0, 800, 572}));
}

TEST(HalvixRules, SaveOrderAndResetDefaults) {
  HalvixSettings s;
  s.controlPanelStyle = 1;
  s.pendingControlPanelStyle = 0;
  s.rect = {60, 70, 500, 400};
  std::vector<SettingValue> v = SettingsToSave(s);
  std::vector<std::wstring> names;
  for (const auto& x : v) names.push_back(x.name);
  std::vector<std::wstring> expected = {
      L"MaxDhrystone", L"MaxWhetstone", L"MaxMemRead", L"MaxMemWrite", L"MaxHarddiskTransferRate",
      L"MaxHarddiskRead", L"MaxCDROMTransferRate", L"MaxVideoSpeed", L"MaxIndex", L"CFactor", L"LogFileName",
      L"BnhRefFileName", L"DragMin", L"X2", L"Y2", L"Width2", L"Height2", L"nTestNum", L"nTimeoutCount",
      L"nStopOnError", L"nOneByOne", L"BbsFile", L"FaxNum", L"WebLink", L"Email", L"AutoArrange", L"Maximized",
      L"ListControlView", L"DefaultUrl", L"MSInfoPath", L"ControlPanelStyle", L"WebView", L"TreeView",
      L"TitleView", L"ToolbarView", L"SplitterControlPanelDx", L"SplitterControlPanelDy", L"SplitterTreeViewDx",
      L"ShowStatusBar", L"ShowToolBar", L"ToolBarAlign", L"ShowToolBarText", L"SplitterBarHalvix",
      L"SplitterBarOthers", L"Sleep"};
  EXPECT_EQ(names, expected);
  for (const auto& x : v) {
    if (x.name == L"ControlPanelStyle") {
      EXPECT_EQ(x.number, 0);  // the pending style
    }
    if (x.name == L"X2") {
      EXPECT_EQ(x.number, 60);
    }
    bool str = x.name == L"CFactor" || x.name == L"LogFileName" || x.name == L"BnhRefFileName" ||
               x.name == L"BbsFile" || x.name == L"FaxNum" || x.name == L"WebLink" || x.name == L"Email" ||
               x.name == L"DefaultUrl" || x.name == L"MSInfoPath";
    EXPECT_EQ(x.isString, str) << x.name.c_str();
  }

  // Reset: the listed values go back, the others stay.
  MapSource src;
  src.strs = {{L"RunFax", L""}, {L"RunWeb", L"w.exe "}, {L"RunEmail", L""}};
  StartEnvironment env;
  env.programDir = L"C:\\Qev\\";
  env.browserProgram = L"C:\\W\\web.exe";
  HalvixSettings r;
  r.dragMin = 9;
  r.maxIndex = 5;
  r.logFileName = L"a.log";
  r.nTestNum = 7;
  r.cFactor = L"10";
  r.sleep = 1500;
  r.treeView = 0;
  r.controlPanelStyle = 1;
  r.rect = {1, 2, 3, 4};
  r.runBbs = L"term ";
  r.autoRefresh = 0;
  ResetSettings(src, env, &r);
  EXPECT_EQ(r.dragMin, 3);
  EXPECT_EQ(r.maxIndex, 200);
  EXPECT_EQ(r.logFileName, L"halvix.log");
  EXPECT_EQ(r.bnhRefFileName, L"C:\\Qev\\bnchref.bnh");
  EXPECT_EQ(r.nTestNum, 1);
  EXPECT_EQ(r.cFactor, L"75");
  EXPECT_EQ(r.autoRefresh, 1);
  EXPECT_EQ(r.rect, kControlPanelRect);
  EXPECT_EQ(r.runBbs, L"");
  EXPECT_EQ(r.runFax, L"C:\\Qev\\quickfax.mod ");
  EXPECT_EQ(r.runWeb, L"C:\\W\\web.exe ");
  EXPECT_EQ(r.runEmail, L"C:\\W\\web.exe mailto:");
  EXPECT_EQ(r.faxNum, DefaultFaxNum());
  EXPECT_EQ(r.sleep, 1500);
  EXPECT_EQ(r.treeView, 0);
}

// On the small disk of with_small_disk.sh as the system folder: an applet
// the disk has no room for is not left cut there (a cut one would stay for
// good: an applet that is there is never copied again), and with room again
// the next start copies it whole.
TEST(HalvixRules, SmallDiskTheAppletIsCopiedWholeOrNotAtAll) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring system = disk.root() + L"system";
  const std::wstring program = testsupport::TempDir() + L"applet program\\";
  ASSERT_TRUE(::CreateDirectoryW(system.c_str(), nullptr));
  ::CreateDirectoryW(program.c_str(), nullptr);
  std::string applet = "MZ";
  while (applet.size() < 20000) applet += std::string(97, 'a') + "\r\n";
  ASSERT_TRUE(testsupport::WriteFileBytes(program + L"halvix.cpl", applet));
  const std::wstring installed = system + L"\\halvix.cpl";

  ASSERT_TRUE(disk.FillSpace());
  InstallControlPanelApplet(system, program);
  EXPECT_EQ(::GetFileAttributesW(installed.c_str()), INVALID_FILE_ATTRIBUTES)
      << testsupport::ReadFileBytes(installed).size() << " bytes of the applet were left";
  disk.Free();
  InstallControlPanelApplet(system, program);
  EXPECT_TRUE(testsupport::ReadFileBytes(installed) == applet) << "the applet was not copied whole";
  testsupport::RemoveTree(program);
}

}  // namespace
