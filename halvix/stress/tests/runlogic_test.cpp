// Rules of the stress and benchmark runs: judging, texts, command lines.
#include <gtest/gtest.h>

#include "stress/commands.h"
#include "stress/runlogic.h"
#include "stress/settings.h"

using namespace stress;
using S = ModuleState;

TEST(RunRules, JudgingAModule) {
  const DWORD kAccessViolation = 0xC0000005;
  struct Case {
    S current;
    bool alive, hasStatus;
    int status;
    bool hasLog;
    DWORD exitCode;
    S expect;
    bool endedWithoutResult, endedBadly;
  };
  const Case cases[] = {
      // Still running: a result judges it, none leaves it running.
      {S::Running, true, false, -1, true, 0, S::Running, false, false},
      {S::Running, true, true, 0, true, 0, S::Passed, false, false},
      {S::Running, true, true, 4, true, 0, S::Failed, false, false},
      // Ended with a result: 0 passes, anything else fails (negative too);
      // the result counts, not how the process ended.
      {S::Running, false, true, 0, true, 0, S::Passed, false, false},
      {S::Running, false, true, 0, true, 1, S::Passed, false, false},
      {S::Running, false, true, 2, false, 0, S::Failed, false, false},
      {S::Running, false, true, -1, true, 0, S::Failed, false, false},
      {S::Running, false, true, -7, true, 0, S::Failed, false, false},
      // Ended without a result: a protocol module failed, a plain program
      // passed with exit code 0 only.
      {S::Running, false, false, -1, true, 0, S::Failed, true, false},
      {S::Running, false, false, -1, false, 0, S::Passed, false, false},
      {S::Running, false, false, -1, false, 3, S::Failed, true, true},
      {S::Running, false, false, -1, false, (DWORD)-1, S::Failed, true, true},
      {S::Running, false, false, -1, false, kAccessViolation, S::Failed, true, true},
      {S::Running, false, false, -1, true, kAccessViolation, S::Failed, true, true},
      // A failed start carries result 1 and shows failed once judged.
      {S::StartFailed, false, true, 1, true, 1, S::Failed, false, false},
      // Aborted modules (ended by Stop: their exit code is ours).
      {S::Aborted, false, false, -1, true, 0, S::Aborted, false, false},
      {S::Aborted, false, false, -1, false, 1, S::Aborted, false, false},
      {S::Aborted, false, true, 0, true, 0, S::AbortPassed, false, false},
      {S::Aborted, true, true, 3, true, 0, S::AbortFailed, false, false},
      {S::AbortPassed, false, true, 5, true, 0, S::AbortPassed, false, false},
      {S::AbortFailed, false, false, -1, true, 0, S::AbortFailed, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "state " << (int)c.current << " alive " << c.alive << " status "
                                    << (c.hasStatus ? c.status : 999) << " log " << c.hasLog << " exit 0x"
                                    << std::hex << c.exitCode);
    Judgement j = JudgeModule(c.current, c.alive, c.hasStatus, c.status, c.hasLog, c.exitCode);
    EXPECT_EQ(j.state, c.expect);
    EXPECT_EQ(j.endedWithoutResult, c.endedWithoutResult);
    EXPECT_EQ(j.endedBadly, c.endedBadly);
  }
  EXPECT_TRUE(IsFailingResult(-1));
  EXPECT_TRUE(IsFailingResult(3));
  EXPECT_FALSE(IsFailingResult(0));
}

TEST(RunRules, TheLogSaysHowAProcessEnded) {
  EXPECT_EQ(StressLogEndLine("Disk", 0xC0000005), "*** Process crashed:\tDisk (exception 0xC0000005)\r\n");
  EXPECT_EQ(StressLogEndLine("Disk", 0x80000003), "*** Process crashed:\tDisk (exception 0x80000003)\r\n");
  EXPECT_EQ(StressLogEndLine("Disk", 3), "*** Process failed:\tDisk (exit code 3)\r\n");
  EXPECT_EQ(StressLogEndLine("Disk", (DWORD)-2), "*** Process failed:\tDisk (exit code -2)\r\n");
}

TEST(RunRules, TheViewerSaysWhereItCutAFile) {
  struct Case {
    const char* what;
    std::string head;
    unsigned long long size;
    std::string text;
    bool cut;
    size_t lines, bytes;
  };
  const Case cases[] = {
      {"whole file, line ends made CR LF", "a\nb\r\nc", 6, "a\r\nb\r\nc", false, 3, 6},
      {"empty file", "", 0, "", false, 0, 0},
      {"longer file: cut after the last whole line", "one\ntwo\nthr", 52000000, "one\r\ntwo\r\n", true, 2, 8},
      {"a read that ends on a line end keeps it all", "one\r\n", 9, "one\r\n", true, 1, 5},
      {"no line end at all: cut where the read ended", "xxxx", 10, "xxxx", true, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ViewerText v = TextForViewer(c.head, c.size);
    EXPECT_EQ(v.text, c.text);
    EXPECT_EQ(v.cut, c.cut);
    EXPECT_EQ(v.lines, c.lines);
    EXPECT_EQ(v.bytes, c.bytes);
  }
}

TEST(RunRules, ListTextsAndImages) {
  EXPECT_EQ(WithFailCount(L"FAILED", 2, 2, L"count"), L"FAILED (count: 2)");
  EXPECT_EQ(WithFailCount(L"PASSED", 1, 3, L"count"), L"PASSED (count: 1)");
  EXPECT_EQ(WithFailCount(L"FAILED", 2, 1, L"count"), L"FAILED");
  EXPECT_EQ(WithFailCount(L"PASSED", 0, 5, L"count"), L"PASSED");

  struct Case {
    const wchar_t* icon;
    S state;
    int image;
  };
  const Case cases[] = {{L"", S::None, 0},      {L"0", S::None, 3},       {L"11", S::Passed, 14},
                        {L"12", S::None, 0},    {L"-3", S::None, 0},      {L"4", S::Disabled, 1},
                        {L"4", S::Failed, 2},   {L"4", S::StartFailed, 2}, {L"4", S::AbortFailed, 2},
                        {L"4", S::Aborted, 7}};
  for (const Case& c : cases) {
    ModuleRecord r;
    r.icon = c.icon;
    r.state = c.state;
    EXPECT_EQ(RecordImage(r), c.image) << "icon " << testing::PrintToString(std::wstring(c.icon)) << " state "
                                       << (int)c.state;
  }
}

TEST(RunRules, ModuleMaskForTheMonitor) {
  struct Case {
    const wchar_t* name;
    int bit;
  };
  const Case cases[] = {{L"Audio Test", 0x1},  {L"CD-ROM Test", 0x2},      {L"Hard Disk Test", 0x4},
                        {L"DOS Diag", 0x8},    {L"Floppy Test", 0x10},     {L"Graphics", 0x20},
                        {L"I/O Port", 0},      {L"Serial IO", 0x40},       {L"Memory Test", 0x80},
                        {L"Modem", 0x100},     {L"Processor Test", 0x200}, {L"Video Test", 0x400},
                        {L"Windows", 0x800},   {L"Audio CD", 0x1},         {L"other", 0}};
  for (const Case& c : cases) EXPECT_EQ(ModuleMaskBit(c.name), c.bit) << testing::PrintToString(std::wstring(c.name));

  std::vector<ModuleRecord> records(4);
  records[0].name = L"Memory Test";
  records[0].state = S::Passed;
  records[1].name = L"Processor Test";
  records[1].state = S::AbortPassed;
  records[2].name = L"Video Test";
  records[2].state = S::Disabled;
  records[3].name = L"Modem Test";
  records[3].state = S::Failed;
  EXPECT_EQ(StressModuleMask(records, false), 0x80 | 0x200 | 0x100);
  EXPECT_EQ(StressModuleMask(records, true), 0x200 | 0x100);
}

TEST(RunRules, PlatformRulesAndBenchmarkOrder) {
  struct Case {
    const wchar_t* program;
    bool nt, concurrent, disables;
  };
  const Case cases[] = {
      {L"strevan.mod", true, false, true},         {L"C:\\Suite\\STREVAN.MOD", true, true, true},
      {L"modem.mod", true, false, false},          {L"modem.mod", true, true, true},
      {L"strevan.mod", false, false, false},       {L"modem.mod", false, false, false},
      {L"strevan.mod", false, true, true},         {L"Modem.Mod", false, true, true},
      {L"zentrel.mod", true, true, false},         {L"C:\\modem.mod\\x.mod", true, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PlatformDisables(c.program, c.nt, c.concurrent), c.disables)
        << testing::PrintToString(std::wstring(c.program)) << " nt " << c.nt << " concurrent " << c.concurrent;

  ModuleRecord a, b;
  a.name = L"alpha";
  b.name = L"Beta";
  EXPECT_LT(CompareModuleRows(&a, &b, 0, true), 0);
  EXPECT_GT(CompareModuleRows(&a, &b, 0, false), 0);
  EXPECT_EQ(CompareModuleRows(&a, &b, 1, true), 0);
  EXPECT_GT(CompareModuleRows(nullptr, &b, 0, true), 0);
  EXPECT_LT(CompareModuleRows(&a, nullptr, 0, true), 0);
}

TEST(RunRules, CommandLines) {
  ModuleRecord r;
  r.program = L"zentrel.mod";
  r.arguments = L"-AutoRun -Check";
  r.logName = L"KytMEM.LOG";
  EXPECT_EQ(StressCommandLine(r, 3, true, false, L"75"), L"zentrel.mod -AutoRun -Check -L3");
  EXPECT_EQ(StressCommandLine(r, 1, false, false, L"75"), L"zentrel.mod -AutoRun -Check -L1 -Append");
  EXPECT_EQ(StressCommandLine(r, 2, false, true, L"75"), L"zentrel.mod -AutoRun -Check -L2 -Append -C75");
  EXPECT_EQ(StressCommandLine(r, 2, true, true, L"50"), L"zentrel.mod -AutoRun -Check -L2 -C50");
  EXPECT_EQ(BenchCommandLine(r), L"zentrel.mod -AutoRun -Check");
  // Plain programs get no switches of the run.
  r.windowTitle = L"Some Window";
  EXPECT_EQ(StressCommandLine(r, 2, false, true, L"75"), L"zentrel.mod -AutoRun -Check");
  // A path with blanks is quoted, once.
  r.windowTitle.clear();
  r.program = L"C:\\Program Files\\Suite\\zentrel.mod";
  EXPECT_EQ(StressCommandLine(r, 1, true, false, L"75"), L"\"C:\\Program Files\\Suite\\zentrel.mod\" -AutoRun -Check -L1");
  r.program = L"\"C:\\Program Files\\Suite\\zentrel.mod\"";
  EXPECT_EQ(BenchCommandLine(r), L"\"C:\\Program Files\\Suite\\zentrel.mod\" -AutoRun -Check");
}

TEST(RunRules, LogNamesFromListsStayInTheDataDirectory) {
  struct Case {
    const wchar_t* field;
    const wchar_t* file;
  };
  const Case cases[] = {{L"KytMEM.LOG", L"KytMEM.LOG"},
                        {L"KytMEM.LOG 2", L"KytMEM.LOG"},
                        {L"", L""},
                        {L" KytMEM.LOG", L""},
                        {L"..\\..\\windows\\win.ini", L""},
                        {L"C:\\autoexec.bat", L""},
                        {L"c:boot.ini", L""},
                        {L"sub/x.log", L""},
                        {L"..", L""},
                        {L"*.LOG", L""},
                        {L"\\\\server\\share\\x.log", L""}};
  for (const Case& c : cases) EXPECT_EQ(LogFileOf(c.field), c.file) << testing::PrintToString(std::wstring(c.field));
}

TEST(RunRules, OnlyLogFilesAreDeletedAsOldLogs) {
  struct Case {
    const wchar_t* field;
    const wchar_t* file;
  };
  const Case cases[] = {{L"KytMEM.LOG", L"KytMEM.LOG"}, {L"kytproc1.log 3", L"kytproc1.log"},
                        {L"zentrel.mod", L""},         {L"modules.dat", L""},
                        {L"Halvix.exe", L""},          {L".LOG", L""},
                        {L"KytMEM.LOG.bak", L""},      {L"..\\x.LOG", L""}};
  for (const Case& c : cases)
    EXPECT_EQ(OldLogToDelete(c.field), c.file) << testing::PrintToString(std::wstring(c.field));
}

TEST(RunRules, StressLogTexts) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 0;
  t.wMinute = 5;
  EXPECT_EQ(FormatLogTime(t), "03/07/2026 12:05AM");
  t.wHour = 13;
  EXPECT_EQ(FormatLogTime(t), "03/07/2026 01:05PM");
  t.wHour = 12;
  EXPECT_EQ(FormatLogTime(t), "03/07/2026 12:05PM");

  EXPECT_EQ(FormatElapsed(0), L"0:00:00");
  EXPECT_EQ(FormatElapsed(61), L"0:01:01");
  EXPECT_EQ(FormatElapsed(36000 + 59 * 60 + 9), L"10:59:09");
  EXPECT_EQ(TickSeconds(1000, 1499), 0);
  EXPECT_EQ(TickSeconds(1000, 1500), 1);
  EXPECT_EQ(TickSeconds(0xFFFFFF00u, 0x00000300u), 1);  // across the tick wrap

  EXPECT_EQ(StressLogHeader("03/07/2026 01:05PM", 2), "[Last Updated: 03/07/2026 01:05PM]\nLOOP: 2\r\n");
  EXPECT_EQ(StressLogProblemLine(StartProblem::CreateFailed, "Disk"), "*** Failed to create process:\tDisk\r\n");
  EXPECT_EQ(StressLogProblemLine(StartProblem::EndedBeforeTimeout, "Disk"), "*** Process failed:\tDisk (before timeout)\r\n");
  EXPECT_EQ(StressLogProblemLine(StartProblem::KilledAtTimeout, "Disk"), "*** Process killed:\tDisk (due to timeout)\r\n");
  EXPECT_EQ(StressLogProblemLine(StartProblem::EndedAtTimeout, "Disk"), "*** Process failed:\tDisk (when timeout)\r\n");
  EXPECT_EQ(StressLogProblemLine(StartProblem::KilledWaitFailed, "Disk"),
            "*** Process killed:\tDisk (WaitForInputIdle failed)\r\n");
  EXPECT_EQ(StressLogProblemLine(StartProblem::EndedWaitFailed, "Disk"),
            "*** Process ended:\tDisk (WaitForInputIdle failed)\r\n");

  TableRow titles{"Module", "Status", "Elapsed Time"};
  EXPECT_EQ(StressLogTable(titles, {{"Memory Test", "PASSED", "0:00:03"}, {"Modem", "(Disabled)", ""}},
                           "Total Elapsed Time:", "0:00:09"),
            "Module\tStatus\tElapsed Time\r\nMemory Test\tPASSED\t0:00:03\r\nModem\t(Disabled)\t\r\n"
            "\r\nTotal Elapsed Time:\t0:00:09\r\n");
  // Without items only the total; every text is cut to 58 characters.
  EXPECT_EQ(StressLogTable(titles, {}, "Total Elapsed Time:", ""), "\r\nTotal Elapsed Time:\t\r\n");
  std::string cut = StressLogTable(titles, {{std::string(70, 'n'), "FAILED", ""}}, "T:", "x");
  EXPECT_NE(cut.find(std::string(58, 'n') + "\tFAILED"), std::string::npos);
  EXPECT_EQ(cut.find(std::string(59, 'n')), std::string::npos);
}

TEST(RunRules, BenchmarkHeader) {
  EXPECT_EQ(OsTypeName(VER_PLATFORM_WIN32_NT, 6, 1), "Windows NT");
  EXPECT_EQ(OsTypeName(VER_PLATFORM_WIN32s, 3, 10), "Windows 32s");
  EXPECT_EQ(OsTypeName(VER_PLATFORM_WIN32_WINDOWS, 4, 0), "Windows 95");
  EXPECT_EQ(OsTypeName(VER_PLATFORM_WIN32_WINDOWS, 4, 10), "Windows 98");
  EXPECT_EQ(OsTypeName(VER_PLATFORM_WIN32_WINDOWS, 4, 90), "Windows");
  EXPECT_EQ(BenchHeader("12/09/2026 10:21PM", "Windows NT", 6, 1, 7601),
            "[Last Updated: 12/09/2026 10:21PM]\n\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n");
  // Windows 98 keeps the build number in the low 16 bits.
  EXPECT_EQ(BenchHeader("t", "Windows 98", 4, 10, 0x040A08AE), "[Last Updated: t]\n\r\nOS Type:\tWindows 98 [4.10.2222]\r\n\r\n");
}

