// The module list files of the stress test ("modules.dat") and of the
// benchmark series ("bnchmark.dat"), and the record each of their lines
// becomes.
//
// File layout: text lines (CR LF on disk, an entry at most 999 characters).
// Lines beginning with ';' are comments. Every other line with at least
// seven '|' (modules.dat) or five '|' (bnchmark.dat) is a record:
//   name|program|arguments|state|log name|icon|window title|
// A field is taken only when a '|' follows it; text after the last
// separator is not a field. The writer starts with ";Test Modules" and
// writes every record with all seven separators (and whatever followed the
// last one). Lines that are no record (comments, lines with too few
// separators, entries over 999 characters) are written back exactly as they
// were read, in their place.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace stress {

enum class ListKind {
  Stress,     // modules.dat: seven separators, written first to last
  Benchmark,  // bnchmark.dat: five separators, written last to first
};

// What the list shows for a module; the text of each comes from the string
// table (see ModuleDialog::StateText).
enum class ModuleState {
  None,
  Disabled,
  Running,
  Passed,
  Failed,
  StartFailed,
  Aborted,
  AbortPassed,
  AbortFailed,
};

struct ModuleRecord {
  // The stored fields (elapsedText is never stored).
  std::wstring name;         // shown in the list and in STRESS.LOG
  std::wstring program;      // path of the program
  std::wstring arguments;    // stored switches ("-AutoRun -Bench")
  std::wstring stateText;    // "(Disabled)" as read, else empty
  std::wstring elapsedText;  // elapsed time of the current run
  std::wstring logName;      // result log (first word); non-empty: speaks the module protocol
  std::wstring icon;         // decimal icon number
  std::wstring windowTitle;  // non-empty: a plain program closed by its window title
  std::wstring rest;         // text after the last separator read, written back after the fields

  ModuleState state = ModuleState::None;
  PROCESS_INFORMATION process{};
  // The module protocol was started (codes 0 and 1 posted): only then can
  // it be asked to quit.
  bool protocolStarted = false;
  // The result the module reported (or 1 for a failed start); valid only
  // when hasStatus, so that a reported -1 is a result like any other.
  bool hasStatus = false;
  int status = -1;
  int failCount = 0;
  DWORD startTick = 0;
  DWORD lastMessageTick = 0;  // heartbeat: tick of the last protocol message
  int elapsedSeconds = 0;

  bool disabled() const { return state == ModuleState::Disabled; }
  void ClearStatus() {
    hasStatus = false;
    status = -1;
  }
  void SetStatus(int value) {
    hasStatus = true;
    status = value;
  }
};

// The "(Disabled)" marker, compared without regard to letter case.
bool IsDisabledText(const std::wstring& text, const std::wstring& disabledText);

// The longest entry a list line may hold (its line end not counted).
constexpr size_t kMaxEntryChars = 999;

// A line of a list file as it stood there, so that the writer puts back what
// it does not understand.
struct ListLine {
  enum class Kind {
    Header,  // the ";Test Modules" first line: the writer writes its own
    Record,  // a place for the next record in writing order
    Kept,    // anything else: `bytes` (with its own line end) goes back as it is
  };
  Kind kind;
  std::string bytes;
};

// What a list file's text holds.
struct ModuleListText {
  std::vector<ModuleRecord> records;
  std::vector<ListLine> layout;
  // Line numbers (from 1) of entries refused for being over kMaxEntryChars;
  // they are kept in the file but not loaded.
  std::vector<size_t> overLongLines;
};

// A list file's text (as read from disk; CR LF or LF).
ModuleListText ParseModuleListText(const std::string& text, ListKind kind, const std::wstring& disabledText);
// Only its records.
std::vector<ModuleRecord> ParseModuleList(const std::string& text, ListKind kind,
                                          const std::wstring& disabledText);
// The text the writer puts on disk (CR LF line ends): the header, then the
// records in writing order (modules.dat first to last, bnchmark.dat last to
// first) in the record places of `layout`, its kept lines in between; records
// beyond its places follow at the end.
std::string FormatModuleList(const std::vector<ModuleRecord>& records, ListKind kind,
                             const std::vector<ListLine>& layout = {});

// File access. ReadModuleListFile: false when the file cannot be opened (or
// is unreasonably large: a list file is a few lines); *error then holds the
// system's error code. WriteModuleListFile writes the file whole (through a
// new file that takes the old one's place): false with *error when it could
// not, and the old file is then as it was.
bool ReadModuleListFile(const std::wstring& path, ListKind kind, const std::wstring& disabledText,
                        ModuleListText* list, DWORD* error = nullptr);
bool ReadModuleListFile(const std::wstring& path, ListKind kind, const std::wstring& disabledText,
                        std::vector<ModuleRecord>* records);
bool WriteModuleListFile(const std::wstring& path, const std::vector<ModuleRecord>& records, ListKind kind,
                         const std::vector<ListLine>& layout = {}, DWORD* error = nullptr);

}  // namespace stress
