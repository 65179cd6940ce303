// Rules of the stress and benchmark runs as plain functions: judging a
// module, the texts of STRESS.LOG and BNCHMARK.BNH, command lines, the
// module mask for the monitor window, and the names that list data may use.
#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "stress/modlist.h"

namespace stress {

// ---- Judging ----------------------------------------------------------

// A module whose result came (or whose start failed, result 1).
ModuleState JudgeReported(ModuleState current, int status);

struct Judgement {
  ModuleState state;
  // Ended without a result although it speaks the module protocol, or
  // ended badly: counts as a failure with result 1.
  bool endedWithoutResult;
  // Its process ended with an exception code or a nonzero exit code (the
  // log says how it ended).
  bool endedBadly = false;
};
// One look at a started module: `alive` tells whether its process runs;
// `exitCode` is its process's exit code once it has ended. A plain program
// passes only with exit code 0.
Judgement JudgeModule(ModuleState current, bool alive, bool hasStatus, int status, bool hasLogName,
                      DWORD exitCode = 0);
// An exit code that is an exception code (an NTSTATUS of warning or error
// severity, such as 0xC0000005) rather than a program's own number.
bool IsExceptionCode(DWORD exitCode);

// A result reported through the module protocol is a failure when it is
// not 0 (negative results included).
inline bool IsFailingResult(int result) { return result != 0; }

// "(count: n)" suffix of the stress list: only with failures and more than
// one loop. `base` is the state text.
std::wstring WithFailCount(const std::wstring& base, int failCount, unsigned nTests, const std::wstring& countWord);

// List image of a record: 1 disabled, 2 failed states, else icon n + 3
// (0 when the icon is empty or the image would be above 14).
int RecordImage(const ModuleRecord& r);
bool IsFailedState(ModuleState s);

// Module mask for the monitor window: a bit per enabled module by the first
// of "AUD" "CD" "DISK" "DOS" "FLOP" "GRA" "IO" "MEM" "MOD" "PRO" "VID" "WIN"
// found in its upper-cased name; onlyNotPassed leaves out passed modules.
int ModuleMaskBit(const std::wstring& name);
int StressModuleMask(const std::vector<ModuleRecord>& records, bool onlyNotPassed);

// Platform rule at the start of a stress loop: strevan.mod and modem.mod
// are switched off where they cannot run (Windows NT: strevan.mod always,
// modem.mod when concurrent; Windows 9x: both when concurrent).
bool PlatformDisables(const std::wstring& program, bool windowsNT, bool concurrent);

// Order of the benchmark list: by name without regard to case, only for
// the first column; a missing row sorts last.
int CompareModuleRows(const ModuleRecord* a, const ModuleRecord* b, int column, bool ascending);

// ---- Command lines ----------------------------------------------------

// The program path, quoted when it holds a blank and is not quoted yet, so
// that it is never searched piecewise ("C:\Program.exe").
std::wstring QuotedProgram(const std::wstring& program);
// Stress run: program + " " + arguments; plain programs (window title set)
// get nothing more, others " -L<loop>", " -Append" without stop on
// errors, and " -C<cFactor>" when concurrent.
std::wstring StressCommandLine(const ModuleRecord& r, int loop, bool stopOnErrors, bool concurrent,
                               const std::wstring& cFactor);
// Benchmark series: program + " " + arguments.
std::wstring BenchCommandLine(const ModuleRecord& r);

// The file a list's log-name field names: its first word, which must be a
// bare file name (no directory part, no drive, not "." or "..", no
// wildcard). Empty when the field names no such file.
std::wstring LogFileOf(const std::wstring& logField);
// The old log a new stress run deletes: LogFileOf, and only a ".LOG" file,
// so that a slipped field of a list line (a program or list file where the
// log name belongs) never costs a file of the suite.
std::wstring OldLogToDelete(const std::wstring& logField);

// ---- Texts ------------------------------------------------------------

// "%m/%d/%Y %I:%M%p"
std::string FormatLogTime(const SYSTEMTIME& t);
// "%d:%2.2d:%2.2d" of seconds.
std::wstring FormatElapsed(int seconds);
// Seconds between two ticks, rounded.
inline int TickSeconds(DWORD from, DWORD to) { return (int)((to - from + 500) / 1000); }

// STRESS.LOG: the loop header "[Last Updated: <time>]\nLOOP: <loop>\r\n".
std::string StressLogHeader(const std::string& time, int loop);

enum class StartProblem {
  CreateFailed,       // "*** Failed to create process:\t%s\r\n"
  EndedBeforeTimeout, // "*** Process failed:\t%s (before timeout)\r\n"
  KilledAtTimeout,    // "*** Process killed:\t%s (due to timeout)\r\n"
  EndedAtTimeout,     // "*** Process failed:\t%s (when timeout)\r\n"
  KilledWaitFailed,   // "*** Process killed:\t%s (WaitForInputIdle failed)\r\n"
  EndedWaitFailed,    // "*** Process ended:\t%s (WaitForInputIdle failed)\r\n"
};
std::string StressLogProblemLine(StartProblem problem, const std::string& name);
// How a process that ended badly ended:
// "*** Process crashed:\t%s (exception 0x%08X)\r\n" or
// "*** Process failed:\t%s (exit code %d)\r\n".
std::string StressLogEndLine(const std::string& name, DWORD exitCode);

// The result table: titles and rows joined by tabs (each text cut to 58
// characters), then an empty line and "<totalLabel>\t<total>".
using TableRow = std::array<std::string, 3>;
std::string StressLogTable(const TableRow& titles, const std::vector<TableRow>& rows, const std::string& totalLabel,
                           const std::string& total);

// What the file viewer shows of a file of `fileSize` bytes whose first
// bytes are `head` (all of it when the file is no longer): line ends made
// CR LF. A longer file is cut after the last whole line in `head` (or at its
// end when it holds none); `lines` and `bytes` say how much is shown.
struct ViewerText {
  std::string text;
  bool cut = false;
  size_t lines = 0;
  size_t bytes = 0;
};
ViewerText TextForViewer(const std::string& head, unsigned long long fileSize);

// BNCHMARK.BNH header: "[Last Updated: <time>]\n\r\nOS Type:\t<name> [maj.mm.build]\r\n\r\n".
std::string OsTypeName(DWORD platformId, DWORD major, DWORD minor);
std::string BenchHeader(const std::string& time, const std::string& osName, DWORD major, DWORD minor, DWORD build);

}  // namespace stress
