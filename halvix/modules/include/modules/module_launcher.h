// Starting module programs and tools as processes, keeping a record of each,
// telling which ones still run, and the host side of the module protocol
// ("kyt_diag_msg"). Everything runs on the host window's thread.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "suite/diag.h"

namespace halvix {

// One started process, kept from a successful start until its DiagDone or
// the end of the host window.
struct ModuleRecord {
  HANDLE process = nullptr;
  HANDLE thread = nullptr;
  DWORD processId = 0;
  DWORD threadId = 0;
  int kind = 0;  // suite::ModuleKind
};

// Strings of the main program's table that this code shows.
enum ModuleStringId : UINT {
  IDS_CANNOT_START_MODULE = 61212,   // "Can not start selected module."
  IDS_CANNOT_FIND_FILE = 61213,      // "Can not find %s."
  IDS_CLOSE_ALL_MODULES = 61917,     // "Please close all running modules."
  IDS_CLEANUP_PROGRAM = 62289,       // "brisko.mod"
  IDS_CLOSE_CLEANUP_FIRST = 62304,   // "Please close Cleanup module first."
};

// The command line's program path: the text between leading quotes, else
// the text before the first " -" (the switches), else the text before the
// last blank when the last backslash comes before it, else the whole line
// ("...\zentrel.mod -AutoRun -Check" -> "...\zentrel.mod"; a path with blanks
// in its directories and no arguments stays whole).
std::wstring ProgramPathOf(const std::wstring& cmdLine);

// The command line the main frame starts for a kind ("dir" ends in a
// backslash). Empty for the kinds whose program comes from elsewhere
// (7 the DOS test, 16 the Windows directory, 19 a setting).
std::wstring ModuleCommandLine(int kind, const std::wstring& dir, const std::wstring& cleanupProgram = L"brisko.mod");

// Commands whose start depends on the modules that run.
enum class GuardedCommand {
  Module,         // a test command or a tool: its own kind, then the clean-up tool
  StressTest,     // 1023
  Benchmarks,     // 62164
  Cleanup,        // 32785: kind 15 itself first
  ResetDefaults,  // 32790
  DosTest,        // 135: anything alive refuses
};

// What the checks of a command decided, given the kinds of the live records
// in start order.
struct Refusal {
  bool refused = false;
  int activateKind = -1;  // the first live module of this kind gets DiagActivate
  UINT messageId = 0;     // 0: a beep only
  bool operator==(const Refusal& o) const {
    return refused == o.refused && activateKind == o.activateKind && messageId == o.messageId;
  }
};
Refusal DecideRefusal(GuardedCommand cmd, int ownKind, const std::vector<int>& liveKinds);

class ModuleLauncher {
 public:
  // host: owner of the message boxes and the window the modules report to.
  // diagMessage: the registered "kyt_diag_msg" (0 turns the protocol and
  // the liveness tests off). programDir ends in a backslash. strings: the
  // module holding the string table (nullptr: the program).
  ModuleLauncher(HWND host, UINT diagMessage, const std::wstring& programDir, const std::wstring& appName,
                 HINSTANCE strings = nullptr);
  virtual ~ModuleLauncher();
  ModuleLauncher(const ModuleLauncher&) = delete;
  ModuleLauncher& operator=(const ModuleLauncher&) = delete;

  // 1 when the process was started, else 0 (after telling the user why).
  int LaunchModule(const std::wstring& cmdLine, int kind);
  // A live record of that kind exists: it gets DiagActivate and the speaker beeps.
  bool IsModuleKindRunning(int kind);
  // A live MS-DOS test (7) or clean-up tool (15) exists (beep).
  bool IsExclusiveModuleRunning();
  // Any record is alive (beep).
  bool IsAnyModuleRunning();

  // The checks of a command in their order; on a refusal the hit module is
  // activated, the speaker beeps and the command's message is shown. True
  // when the command may go on.
  bool MayStart(GuardedCommand cmd, int ownKind = -1);
  // A test command or tool of the control-panel layout: the checks, then
  // LaunchModule. 1 when a process was started.
  int StartModuleCommand(const std::wstring& cmdLine, int kind);

  // The host window got DiagDone (wParam result, lParam cookie): the records
  // of that process go. Returns how many went.
  int OnDiagDone(WPARAM result, LPARAM cookie);
  // The host window goes: live modules get DiagClose, every record goes.
  void CloseAll();
  // The report wizard: started, told the host window, not recorded.
  bool StartReportWizard();

  const std::vector<std::unique_ptr<ModuleRecord>>& Records() const { return records_; }
  static bool IsAlive(const ModuleRecord& r);
  std::wstring Text(UINT id) const;

 protected:
  // Seams for the host's own behaviour (and for tests).
  virtual void Beep();
  virtual void PostToModule(DWORD threadId, WPARAM code, LPARAM lp);
  // A message box owned by the host, captioned with the application name.
  virtual void ShowHostMessage(const std::wstring& text, UINT icon);
  // The application's own message box (no owner, message-box caption).
  virtual void ShowAppMessage(UINT id);

 private:
  std::vector<int> LiveKinds() const;
  // The first live record (in start order) that `match` accepts.
  const ModuleRecord* FirstLive(bool (*match)(const ModuleRecord&, int), int kind) const;
  void PostProtocolStart(const PROCESS_INFORMATION& pi, bool withStart);
  static void CloseRecord(ModuleRecord& r);

  HWND host_;
  UINT diagMessage_;
  std::wstring dir_;
  std::wstring appName_;
  HINSTANCE strings_;
  std::vector<std::unique_ptr<ModuleRecord>> records_;
};

}  // namespace halvix
