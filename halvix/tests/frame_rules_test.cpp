// The main frame's rules: help pages, page controls, tree nodes and module
// kinds of the commands, web links, pane sizes and the DOS test's batch file.
#include <gtest/gtest.h>

#include <windows.h>

#include "frame_rules.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

using namespace halvix;

namespace {

TEST(FrameRules, HelpPagesDifferByLayoutWhereTheTableSays) {
  struct Case {
    int command;
    const wchar_t* controlPanel;
    const wchar_t* tree;
  } cases[] = {
      {133, L"help\\quorrl3.htm", L"help\\dginfo2.htm"},
      {1033, L"help\\mem3.htm", L"help\\dgmem2.htm"},
      {1054, L"help\\io3.htm", L"help\\dgio2.htm"},
      {135, L"help\\dos3.htm", L"help\\dos3.htm"},
      {141, L"help\\quandel.htm", L"help\\quandel.htm"},
      {1146, L"help\\help3.htm", L"help\\dghelp2.htm"},
      {1147, L"", L"help\\dglinks2.htm"},  // no page in the control-panel layout
      {32780, L"wistral\\help\\wistral3.htm", L"wistral\\help\\wistral3.htm"},
      {62310, L"help\\taskmgr3.htm", L"help\\taskmgr3.htm"},
      {1023, L"help\\stress3.htm", L"help\\stress3.htm"},
      {32790, L"", L""},  // no page
      {0, L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HelpPageFor(c.command, true), c.controlPanel) << c.command;
    EXPECT_EQ(HelpPageFor(c.command, false), c.tree) << c.command;
  }
}

TEST(FrameRules, EachCommandHasItsTreeNodeKindAndControl) {
  struct Case {
    int command;
    int node;
    int kind;
    const char* control;
    const char* switches;
  } cases[] = {
      {1033, 1033, 11, "ZENTREL", ""},      {1032, 1032, 10, "ZENTREL", "-proctest"},
      {1018, 1018, 4, "FENWOLD", ""},       {1019, 1019, 5, "FENWOLD", "-floppy"},
      {1020, 1020, 3, "CDROM", ""},         {1054, 1054, 14, "STREVAN", ""},
      {140, 140, 0, "MEDIA", ""},           {142, 142, 2, "MODEM", ""},
      {147, 147, 1, "GRAPHICS", ""},        {133, 133, -1, "MURRICK", ""},
      {135, 1146, 7, "MURRICK", ""},        {1023, 1146, -1, "MURRICK", ""},
      {62164, 1146, -1, "MURRICK", ""},     {1050, 1146, -1, "MURRICK", ""},
      {32783, 1146, -1, "MURRICK", ""},     {32790, 1146, -1, "MURRICK", ""},
      {32785, 1147, 15, "MURRICK", ""},     {32791, 1147, 16, "MURRICK", ""},
      {32792, 1147, 17, "MURRICK", ""},     {32793, 1147, 18, "MURRICK", ""},
      {32816, 1147, 19, "MURRICK", ""},     {32817, 1147, 20, "MURRICK", ""},
      {1040, 1147, -1, "MURRICK", ""},      {62310, 1147, -1, "MURRICK", ""},
      {32780, 1147, -1, "MURRICK", ""},     {1146, 1146, -1, "MURRICK", ""},
      {32784, 0, -1, "MURRICK", ""},        {57665, 0, -1, "MURRICK", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TreeSelectionFor(c.command), c.node) << c.command;
    EXPECT_EQ(ModuleKindForCommand(c.command), c.kind) << c.command;
    PageControl pc = PageControlFor(c.command);
    EXPECT_EQ(pc.name, c.control) << c.command;
    EXPECT_EQ(pc.switches, c.switches) << c.command;
  }
  EXPECT_EQ(PageControlFor(141).switches, "-videotest");
}

TEST(FrameRules, WebLinkLines) {
  struct Case {
    const wchar_t* line;
    bool ok;
    const wchar_t* name;
    const wchar_t* address;
  } cases[] = {
      {L"Qev|http://qev.example/|", true, L"Qev", L"http://qev.example/"},
      {L"  Drivers \t| http://d.example/x  |more|fields", true, L"Drivers", L"http://d.example/x"},
      {L"Name|", false, L"", L""},                  // no second '|'
      {L"Name|http://a.example/", false, L"", L""}, // no second '|'
      {L"|http://a.example/|", false, L"", L""},    // empty name
      {L"Name| |", false, L"", L""},                // empty address
      {L"no bar at all", false, L"", L""},
      {L"", false, L"", L""},
  };
  for (const Case& c : cases) {
    WebLink link{L"untouched", L"untouched"};
    EXPECT_EQ(ParseWebLinkLine(c.line, &link), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(link.name, c.name);
      EXPECT_EQ(link.address, c.address);
    } else {
      EXPECT_EQ(link.name, L"untouched");
    }
  }
  // 35 good lines among bad ones: the first 30 good ones.
  std::vector<std::wstring> lines;
  for (int i = 0; i < 35; ++i) {
    lines.push_back(L"skip me");
    lines.push_back(L"Link " + std::to_wstring(i) + L"|http://l" + std::to_wstring(i) + L".example/|");
  }
  std::vector<WebLink> links = ParseWebLinks(lines);
  ASSERT_EQ(links.size(), 30u);
  EXPECT_EQ(links.front().name, L"Link 0");
  EXPECT_EQ(links.back().address, L"http://l29.example/");
}

TEST(FrameRules, PaneSizesOfBothLayouts) {
  PaneMemory mem;
  mem.treeKeptWidth = 0;
  mem.helpKeptWidth = 0;
  mem.upperHeight = 0;
  mem.treeViewDx = 150;
  PaneSettings tree;  // everything on
  PaneSettings cp = tree;
  cp.controlPanel = true;

  // Tree layout, not full: the strips, the tree's width, half the height for
  // the upper pane while none is known.
  PaneSizes p = ComputePaneSizes(tree, mem, 800, 500, false);
  PaneSizes want;
  want.s1Col0 = 64;
  want.s1Col1 = 800;
  want.s2Row0 = 22;
  want.s2Row1 = 500;
  want.s3Col0 = 150;
  want.s3Col1 = 800;
  want.s4Row0 = 250;
  want.s4Row1 = 500;
  EXPECT_EQ(p, want);

  // Kept sizes win; strips that are off, and failed common controls, give 0.
  PaneMemory kept = mem;
  kept.treeKeptWidth = 210;
  kept.upperHeight = 85;
  PaneSettings off = tree;
  off.titleView = false;
  off.commonControlsOk = false;
  p = ComputePaneSizes(off, kept, 800, 500, false);
  EXPECT_EQ(p.s1Col0, 0);
  EXPECT_EQ(p.s2Row0, 0);
  EXPECT_EQ(p.s3Col0, 210);
  EXPECT_EQ(p.s4Row0, 85);
  off = tree;
  off.treeView = false;
  off.toolbarView = false;
  p = ComputePaneSizes(off, kept, 800, 500, false);
  EXPECT_EQ(p.s1Col0, 0);
  EXPECT_EQ(p.s3Col0, 0);

  // Full: only the help pane; without it the upper pane takes the height,
  // and with it again the help row is not left collapsed.
  PaneSettings noHelp = tree;
  noHelp.webView = false;
  PaneSizes full;
  full.s4Row0 = 500;
  full.s4Row1 = 0;
  EXPECT_EQ(ComputePaneSizes(noHelp, kept, 800, 500, true), full);
  p = ComputePaneSizes(tree, kept, 800, 500, true);
  EXPECT_EQ(p.s4Row0, 85);
  EXPECT_GT(p.s4Row1, 0);
  EXPECT_EQ(p.s1Col0, -1);

  // Control panel: the help column's kept width, else half; 0 without help.
  EXPECT_EQ(ComputePaneSizes(cp, mem, 550, 400, false).s4Col0, 275);
  PaneMemory cpKept = mem;
  cpKept.helpKeptWidth = 140;
  p = ComputePaneSizes(cp, cpKept, 550, 400, false);
  PaneSizes cpWant;
  cpWant.s4Col0 = 140;
  EXPECT_EQ(p, cpWant);
  PaneSettings cpNoHelp = cp;
  cpNoHelp.webView = false;
  EXPECT_EQ(ComputePaneSizes(cpNoHelp, cpKept, 550, 400, false).s4Col0, 0);
}

TEST(FrameRules, DosBatchFile) {
  EXPECT_EQ(DosBatchRootPath(L"D:\\WINDOWS"), L"D:\\K_Y_T_D7.BAT");
  EXPECT_EQ(DosBatchRootPath(L""), L"C:\\K_Y_T_D7.BAT");
  EXPECT_EQ(DosBatchText("C:\\PROGRA~1\\QEV\\"), "cd C:\\PROGRA~1\\QEV\\WENDROP\r\nWENDROP.EXE\r\n");
}

TEST(FrameRules, OptionsAndResetAreGreyedWhileAHostedTestRuns) {
  struct Case {
    int command;
    int idle, running;  // -1: decided elsewhere
  } cases[] = {
      {32786, 1, 0},   // System Information options
      {32787, 1, 0},   // Tools options
      {32790, 1, 0},   // Reset Default Configuration
      {32784, 1, 1},   // Print Report
      {32789, 1, 1},   // Collect system information
      {62164, 1, 1},   // Benchmarks
      {1023, -1, -1},  // Stress Test: its own rule
      {32785, -1, -1},
      {0, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HostedTestCommandState(c.command, false), c.idle) << c.command;
    EXPECT_EQ(HostedTestCommandState(c.command, true), c.running) << c.command;
  }
}

// On the small disk of with_small_disk.sh: the batch file and its copy are
// whole or not there (a cut one would start the test in the wrong place or
// not at all after the restart), and the path of the one that failed is
// given for the message.
TEST(FrameRules, SmallDiskDosBatchFilesAreWholeOrNotThere) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring full = disk.root() + L"K_Y_T_D7.BAT";
  const std::wstring roomy = testsupport::TempDir() + L"K_Y_T_D7.BAT";
  const std::string text = DosBatchText("C:\\PROGRA~1\\QEV\\");
  auto exists = [](const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
  ASSERT_TRUE(disk.FillSpace());
  const struct Case {
    const char* name;
    std::wstring root, copy;
  } cases[] = {
      {"the batch file has no room", full, roomy},
      {"its copy has no room", roomy, full},
  };
  for (const Case& c : cases) {
    std::wstring failed;
    EXPECT_FALSE(WriteDosBatchFiles(c.root, c.copy, text, &failed)) << c.name;
    EXPECT_EQ(failed, full) << c.name;
    EXPECT_FALSE(exists(full)) << c.name << ": " << testsupport::ReadFileBytes(full).size() << " bytes left";
    for (const std::wstring& path : {full, roomy}) ::DeleteFileW(path.c_str());
  }
  disk.Free();
  std::wstring failed;
  EXPECT_TRUE(WriteDosBatchFiles(full, roomy, text, &failed));
  EXPECT_EQ(testsupport::ReadFileBytes(full), text);
  EXPECT_EQ(testsupport::ReadFileBytes(roomy), text);
  ::DeleteFileW(roomy.c_str());
}

}  // namespace
