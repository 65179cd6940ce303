// The runner's own rules: module by file name, its switches, the result of
// a Done text, the control's place and the arguments the control gets.
#include <gtest/gtest.h>

#include "runner_logic.h"

using namespace runvek;

TEST(RunnerLogic, ModuleFromFileName) {
  struct Case {
    const wchar_t* name;
    int module;
    UINT dialog;
    int control;
  } cases[] = {
      {L"zentrel.mod", kModuleZentrel, 134, 1006},
      {L"ZENTREL.MOD", kModuleZentrel, 134, 1006},
      {L"Fenwold.mod", kModuleFenwold, 129, 1001},
      {L"NFENWOLD.MOD", kModuleFenwold, 129, 1001},  // the network-disk module
      {L"nfenwoldx.mod", kModuleUnknown, 102, 0},
      {L"media.mod", kModuleMedia, 135, 1005},
      {L"modem.mod", kModuleModem, 132, 1007},
      {L"cdrom.mod", kModuleCdrom, 133, 1002},
      {L"graphics.mod", kModuleGraphics, 130, 1003},
      {L"strevan.mod", kModuleStrevan, 131, 1004},
      {L"zentrel", kModuleZentrel, 134, 1006},
      {L"zentrelx.mod", kModuleUnknown, 102, 0},   // the whole word must match
      {L"zent.mod", kModuleUnknown, 102, 0},
      {L"runvek.exe", kModuleUnknown, 102, 0},
      {L"", kModuleUnknown, 102, 0},
  };
  for (const Case& c : cases) {
    const ModuleInfo& m = ModuleFromFileName(c.name);
    EXPECT_EQ(m.number, c.module) << c.name;
    EXPECT_EQ(m.dialogId, c.dialog) << c.name;
    EXPECT_EQ(m.controlId, c.control) << c.name;
  }
}

TEST(RunnerLogic, Switches) {
  auto sw = [](bool autoRun, bool check, bool floppy, bool proc, bool video, int x, int y) {
    RunnerSwitches s;
    s.autoRun = autoRun, s.check = check, s.floppy = floppy, s.procTest = proc, s.videoTest = video, s.x = x, s.y = y;
    return s;
  };
  struct Case {
    const wchar_t* args;
    RunnerSwitches expected;
  } cases[] = {
      {L"", sw(false, false, false, false, false, 0, 0)},
      {L"-AutoRun -ProcTest", sw(true, false, false, true, false, 0, 0)},
      {L"-autorun3 -L2 -Append", sw(true, false, false, false, false, 0, 0)},  // digit skipped, others the control's
      {L"-CHECK -floppy -VideoTest", sw(false, true, true, false, true, 0, 0)},
      {L"-X100 -Y50", sw(false, false, false, false, false, 100, 50)},
      {L"-X100", sw(false, false, false, false, false, 100, 0)},
      {L"-X -Y", sw(false, false, false, false, false, 0, 0)},   // no digit: ignored
      {L"-x 20 -y7", sw(false, false, false, false, false, 0, 7)},  // digits must follow directly
      {L"-C75 -Bench", sw(false, false, false, false, false, 0, 0)},
      {L"-X99999999999999", sw(false, false, false, false, false, 999999999, 0)},  // bounded
  };
  for (const Case& c : cases) EXPECT_EQ(ParseRunnerSwitches(c.args), c.expected) << c.args;
}

TEST(RunnerLogic, HelpPages) {
  RunnerSwitches none, proc, floppy, video;
  proc.procTest = true, floppy.floppy = true, video.videoTest = true;
  EXPECT_EQ(HelpPageOf(kModuleZentrel, none), L"DGMEM");
  EXPECT_EQ(HelpPageOf(kModuleZentrel, proc), L"DGPROC");
  EXPECT_EQ(HelpPageOf(kModuleFenwold, none), L"DGDISK");
  EXPECT_EQ(HelpPageOf(kModuleFenwold, floppy), L"DGFLPY");
  EXPECT_EQ(HelpPageOf(kModuleMedia, none), L"DGAUDIO");
  EXPECT_EQ(HelpPageOf(kModuleMedia, video), L"DGVIDEO");
  EXPECT_EQ(HelpPageOf(kModuleModem, none), L"DGMODEM");
  EXPECT_EQ(HelpPageOf(kModuleCdrom, none), L"DGCDROM");
  EXPECT_EQ(HelpPageOf(kModuleGraphics, none), L"DGGRAPH");
  EXPECT_EQ(HelpPageOf(kModuleStrevan, none), L"DGIO");
  EXPECT_EQ(HelpPageOf(kModuleUnknown, none), L"DGHELP");
}

TEST(RunnerLogic, ResultText) {
  struct Case {
    const wchar_t* text;
    bool number;
    int value;
  } cases[] = {
      {L"0", true, 0},       {L"3", true, 3},     {L" 12 errors", true, 12}, {L"-1", true, -1},
      {L"", false, 77},      {L"none", false, 77}, {L"-", false, 77},
      {L"99999999999", true, 0x7FFFFFFF},  // saturates, never wraps to a pass
  };
  for (const Case& c : cases) {
    int v = 77;
    EXPECT_EQ(ParseResultText(c.text, &v), c.number) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(RunnerLogic, ControlFillsTheAreaAboveTheButtons) {
  RECT rc = ControlRectFor(400, 300);
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.top, 1);
  EXPECT_EQ(rc.right - rc.left, 399);
  EXPECT_EQ(rc.bottom - rc.top, 265);
}

TEST(RunnerLogic, ControlGetsTheArgumentsOnly) {
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\Halvix\\zentrel.mod\" -AutoRun -ProcTest"), L"-AutoRun -ProcTest");
  EXPECT_EQ(ArgumentsOf(L"C:\\Halvix\\zentrel.mod -AutoRun3"), L"-AutoRun3");
  EXPECT_EQ(ArgumentsOf(L"zentrel.mod"), L"");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\a b\\zentrel.mod\""), L"");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\a b\\zentrel.mod\"-Check"), L"-Check");
}
