// The launcher's rules as data: which command a set of live modules
// refuses (and how), and which file a command line names.
#include <gtest/gtest.h>

#include "modules/module_launcher.h"

using namespace halvix;
using namespace suite;
using G = GuardedCommand;

TEST(ModulesLogic, RefusalLists) {
  const Refusal go{};
  auto beep = [](int kind) { return Refusal{true, kind, 0}; };
  auto busy = [](int kind) { return Refusal{true, kind, IDS_CLOSE_ALL_MODULES}; };
  const Refusal busyNoActivate{true, -1, IDS_CLOSE_ALL_MODULES};
  struct Case {
    const char* what;
    G cmd;
    int own;
    std::vector<int> live;
    Refusal expected;
  } cases[] = {
      {"nothing runs", G::Module, ModuleKindMemory, {}, go},
      {"same kind runs: activate it, beep", G::Module, ModuleKindMemory, {ModuleKindMemory}, beep(ModuleKindMemory)},
      {"floppy while hard disk runs", G::Module, ModuleKindFloppy, {ModuleKindHardDisk}, go},
      {"clean-up runs", G::Module, ModuleKindMemory, {ModuleKindCleanup},
       Refusal{true, ModuleKindCleanup, IDS_CLOSE_CLEANUP_FIRST}},
      {"own kind before clean-up", G::Module, ModuleKindMemory, {ModuleKindCleanup, ModuleKindMemory},
       beep(ModuleKindMemory)},
      {"a tool follows the same rule", G::Module, ModuleKindTcpTools, {ModuleKindTcpTools}, beep(ModuleKindTcpTools)},
      {"stress, idle", G::StressTest, -1, {}, go},
      {"stress, a tool runs", G::StressTest, -1, {ModuleKindTcpTools}, go},
      {"stress, hard disk", G::StressTest, -1, {ModuleKindHardDisk}, busy(ModuleKindHardDisk)},
      {"stress asks 0..5, 14 before 10, 11", G::StressTest, -1, {ModuleKindMemory, ModuleKindIoPort},
       busy(ModuleKindIoPort)},
      {"stress, DOS test", G::StressTest, -1, {ModuleKindDosTest}, busyNoActivate},
      {"stress, clean-up", G::StressTest, -1, {ModuleKindCleanup}, busyNoActivate},
      {"benchmarks as stress", G::Benchmarks, -1, {ModuleKindProcessor}, busy(ModuleKindProcessor)},
      {"cleanup twice: beep only", G::Cleanup, -1, {ModuleKindCleanup, ModuleKindAudio}, beep(ModuleKindCleanup)},
      {"cleanup, audio runs", G::Cleanup, -1, {ModuleKindAudio}, busy(ModuleKindAudio)},
      {"cleanup, DOS test", G::Cleanup, -1, {ModuleKindDosTest}, busyNoActivate},
      {"reset, memory", G::ResetDefaults, -1, {ModuleKindMemory}, busy(ModuleKindMemory)},
      {"reset ignores clean-up and DOS", G::ResetDefaults, -1, {ModuleKindCleanup, ModuleKindDosTest}, go},
      {"DOS test, any module", G::DosTest, -1, {ModuleKindUsbTool}, busyNoActivate},
      {"DOS test, idle", G::DosTest, -1, {}, go},
  };
  for (const Case& c : cases) {
    Refusal r = DecideRefusal(c.cmd, c.own, c.live);
    EXPECT_EQ(r.refused, c.expected.refused) << c.what;
    EXPECT_EQ(r.activateKind, c.expected.activateKind) << c.what;
    EXPECT_EQ(r.messageId, c.expected.messageId) << c.what;
  }
}

TEST(ModulesLogic, ProgramPathOfCommandLine) {
  struct Case {
    const wchar_t* line;
    const wchar_t* path;
  } cases[] = {
      {L"C:\\Halvix\\fenwold.mod -floppy", L"C:\\Halvix\\fenwold.mod"},
      {L"C:\\Program Files\\Halvix\\zentrel.mod", L"C:\\Program Files\\Halvix\\zentrel.mod"},
      {L"C:\\Program Files\\Halvix\\zentrel.mod -proctest", L"C:\\Program Files\\Halvix\\zentrel.mod"},
      {L"\"C:\\Program Files\\Halvix\\zentrel.mod\" -AutoRun", L"C:\\Program Files\\Halvix\\zentrel.mod"},
      {L"zentrel.mod -AutoRun", L"zentrel.mod"},
      {L"C:\\Tools\\tool.exe", L"C:\\Tools\\tool.exe"},
      {L"C:\\Halvix\\media.mod", L"C:\\Halvix\\media.mod"},
      {L"C:\\Halvix\\zentrel.mod -AutoRun -Check", L"C:\\Halvix\\zentrel.mod"},
      {L"C:\\Program Files\\Halvix\\zentrel.mod -AutoRun -L2 -Append", L"C:\\Program Files\\Halvix\\zentrel.mod"},
      {L"C:\\Tools\\tool.exe arg", L"C:\\Tools\\tool.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramPathOf(c.line), c.path) << c.line;
}

TEST(ModulesLogic, CommandLinesOfTheKinds) {
  const std::wstring d = L"C:\\H\\";
  EXPECT_EQ(ModuleCommandLine(ModuleKindFloppy, d), L"C:\\H\\fenwold.mod -floppy");
  EXPECT_EQ(ModuleCommandLine(ModuleKindProcessor, d), L"C:\\H\\zentrel.mod -proctest");
  EXPECT_EQ(ModuleCommandLine(ModuleKindMemory, d), L"C:\\H\\zentrel.mod");
  EXPECT_EQ(ModuleCommandLine(ModuleKindCleanup, d, L"brisko.mod"), L"C:\\H\\brisko.mod");
  EXPECT_EQ(ModuleCommandLine(ModuleKindTcpTools, d), L"C:\\H\\netrick.exe");
  EXPECT_EQ(ModuleCommandLine(ModuleKindDosTest, d), L"");
}
