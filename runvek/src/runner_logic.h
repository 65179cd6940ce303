// The rules of the module runner that take data and return data: which
// module a file name stands for, the switches the runner reads itself, the
// result a Done text carries, and the place of the control in its dialog.
#pragma once
#include <windows.h>

#include <string>

#include "resource.h"

namespace runvek {

enum ModuleNumber {
  kModuleUnknown = 0,
  kModuleFenwold = 101,
  kModuleZentrel = 102,
  kModuleMedia = 103,
  kModuleModem = 104,
  kModuleCdrom = 105,
  kModuleGraphics = 106,
  kModuleStrevan = 107,
};


struct ModuleInfo {
  int number;          // ModuleNumber
  const wchar_t* word; // the file-name word ("ZENTREL")
  UINT dialogId;
  int controlId;       // the control's id inside its dialog (0: none)
};

// The module named by the start of a program file name (case-insensitive;
// the whole word must match, so "zentrel.mod" is Zentrel, "zentrelx.mod" is
// not). Unknown names give the entry with number 0.
const ModuleInfo& ModuleFromFileName(const std::wstring& fileName);

struct RunnerSwitches {
  bool autoRun = false;
  bool check = false;
  bool floppy = false;
  bool procTest = false;
  bool videoTest = false;
  int x = 0;
  int y = 0;
  // Started by a host for a run of its own: nobody is there to answer a
  // message box.
  bool unattended() const { return autoRun || check; }
  bool operator==(const RunnerSwitches& o) const {
    return autoRun == o.autoRun && check == o.check && floppy == o.floppy && procTest == o.procTest &&
           videoTest == o.videoTest && x == o.x && y == o.y;
  }
};

// The switches the runner reads itself, at each '-' of the arguments,
// names compared ignoring case. Every other switch is the control's.
RunnerSwitches ParseRunnerSwitches(const std::wstring& args);

// The help page base name of a module ("DGPROC" for Zentrel with -ProcTest).
std::wstring HelpPageOf(int module, const RunnerSwitches& sw);

// The decimal number at the start of a Done text (blanks and a sign
// allowed). False when there is none; *value is then left alone.
bool ParseResultText(const std::wstring& text, int* value);

// The control fills the dialog's client area above the 35-pixel button row.
RECT ControlRectFor(int clientWidth, int clientHeight);

// The arguments of a program's command line: what follows the program
// name (quoted or not) and the blanks after it.
std::wstring ArgumentsOf(const std::wstring& commandLine);

}  // namespace runvek
