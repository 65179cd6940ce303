// Rules of the server's information and configuration-file sheets: which
// pages, their icons, the health-monitor line, the files, the editor's
// command line and how a file's lines are listed.
#include <gtest/gtest.h>

#include <fstream>

#include "infosheet.h"
#include "testsupport/process.h"

using namespace quorrel;

TEST(InfoSheetRules, PagesIconsAndTheHealthMonitorLine) {
  EXPECT_EQ(InfoSheetCategories(false), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(InfoSheetCategories(true).size(), 16u);
  EXPECT_EQ(InfoSheetIconId(0), 169u);
  EXPECT_EQ(InfoSheetIconId(2), 162u);
  EXPECT_EQ(InfoSheetIconId(15), 204u);
  EXPECT_EQ(InfoSheetIconId(16), 0u);
  EXPECT_EQ(InfoSheetIconId(-1), 0u);

  EXPECT_EQ(HealthMonitorLine(0), "Hardware Corvith:\tOK");
  EXPECT_EQ(HealthMonitorLine(-2), "Hardware Corvith:\tOK");
  EXPECT_EQ(HealthMonitorLine(1), "Hardware Corvith:\t1 input reaches limit.");
  EXPECT_EQ(HealthMonitorLine(3), "Hardware Corvith:\t3 inputs reach limits.");
}

TEST(IniSheetRules, FilesByPageAndPlatform) {
  const std::string win = "C:\\windows\\", sys = "C:\\windows\\system32\\";
  struct { int index; bool nine; bool ok; const char* name; std::string dir; } cases[] = {
      {0, false, true, "WIN.INI", win},          {1, true, true, "SYSTEM.INI", win},
      {2, false, true, "AUTOEXEC.BAT", "C:\\"},  {3, true, true, "CONFIG.SYS", "C:\\"},
      {4, false, true, "AUTOEXEC.NT", sys},      {4, true, true, "PROTOCOL.INI", win},
      {5, false, true, "CONFIG.NT", sys},        {5, true, false, "", ""},
      {6, false, false, "", ""},                 {-1, false, false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + (c.nine ? " 9x" : " NT"));
    IniFile f;
    ASSERT_EQ(IniFileFor(c.index, c.nine, win, sys, &f), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(f.name, c.name);
    EXPECT_EQ(f.dir, c.dir);
  }
  EXPECT_EQ(IniPageCount(false), 6);
  EXPECT_EQ(IniPageCount(true), 5);
}

TEST(IniSheetRules, TheEditorGetsThePathQuotedAndWhole) {
  EXPECT_EQ(NotepadCommandLine("C:\\WIN.INI"), "NOTEPAD.EXE \"C:\\WIN.INI\"");
  EXPECT_EQ(NotepadCommandLine("C:\\Program Files\\my app\\WIN.INI"),
            "NOTEPAD.EXE \"C:\\Program Files\\my app\\WIN.INI\"");
  EXPECT_EQ(NotepadCommandLine(""), "");
  // Never cut: a path that does not fit is not passed at all.
  std::string fits(255 - 14, 'a'), past(255 - 13, 'a');
  EXPECT_EQ(NotepadCommandLine(fits).size(), 255u);
  EXPECT_EQ(NotepadCommandLine(past), "");
}

TEST(IniSheetRules, LinesAsTheyStandWithoutLineEnds) {
  std::wstring path = testsupport::TempDir() + L"quorrel_ini_test.ini";
  {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << "[boot]\r\n;kept as it is\r\n\r\n@3not a heading\r\n" << std::string(1500, 'x') << "\r\nlast";
  }
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadIniLines(path, &lines));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "[boot]");
  EXPECT_EQ(lines[1], ";kept as it is");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "@3not a heading");
  EXPECT_EQ(lines[4], std::string(1023, 'x'));
  EXPECT_EQ(lines[5], std::string(477, 'x'));
  EXPECT_EQ(lines[6], "last") << "a last line without its line end is whole";
  ::DeleteFileW(path.c_str());
  EXPECT_FALSE(ReadIniLines(path, &lines));
  EXPECT_TRUE(lines.empty());
}
