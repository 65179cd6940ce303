#include "stress/runlogic.h"

#include <cwctype>

#include "appkit/text.h"

namespace stress {

ModuleState JudgeReported(ModuleState current, int status) {
  switch (current) {
    case ModuleState::Aborted:
      return status == 0 ? ModuleState::AbortPassed : ModuleState::AbortFailed;
    case ModuleState::AbortPassed:
    case ModuleState::AbortFailed:
      return current;
    default:
      return status == 0 ? ModuleState::Passed : ModuleState::Failed;
  }
}

Judgement JudgeModule(ModuleState current, bool alive, bool hasStatus, int status, bool hasLogName,
                      DWORD exitCode) {
  if (hasStatus) return {JudgeReported(current, status), false};
  if (alive) return {current, false};
  if (current == ModuleState::Aborted || current == ModuleState::AbortPassed || current == ModuleState::AbortFailed)
    return {current, false};
  if (exitCode != 0) return {ModuleState::Failed, true, true};
  if (!hasLogName) return {ModuleState::Passed, false};
  return {ModuleState::Failed, true};
}

bool IsExceptionCode(DWORD exitCode) {
  DWORD severity = exitCode & 0xF0000000u;
  return severity == 0x80000000u || severity == 0xC0000000u;
}

std::wstring WithFailCount(const std::wstring& base, int failCount, unsigned nTests, const std::wstring& countWord) {
  if (failCount <= 0 || nTests <= 1) return base;
  return base + L" (" + countWord + L": " + std::to_wstring(failCount) + L")";
}

bool IsFailedState(ModuleState s) {
  return s == ModuleState::Failed || s == ModuleState::StartFailed || s == ModuleState::AbortFailed;
}

int RecordImage(const ModuleRecord& r) {
  if (r.disabled()) return 1;
  if (IsFailedState(r.state)) return 2;
  if (r.icon.empty()) return 0;
  int image = _wtoi(r.icon.c_str()) + 3;
  return image < 3 || image > 14 ? 0 : image;
}

int ModuleMaskBit(const std::wstring& name) {
  static const struct {
    const wchar_t* text;
    int bit;
  } kBits[] = {{L"AUD", 0x1},  {L"CD", 0x2},    {L"DISK", 0x4}, {L"DOS", 0x8},   {L"FLOP", 0x10}, {L"GRA", 0x20},
               {L"IO", 0x40},  {L"MEM", 0x80},  {L"MOD", 0x100}, {L"PRO", 0x200}, {L"VID", 0x400}, {L"WIN", 0x800}};
  std::wstring upper = name;
  for (wchar_t& c : upper) c = (wchar_t)std::towupper(c);
  for (const auto& b : kBits)
    if (upper.find(b.text) != std::wstring::npos) return b.bit;
  return 0;
}

int StressModuleMask(const std::vector<ModuleRecord>& records, bool onlyNotPassed) {
  int mask = 0;
  for (const ModuleRecord& r : records) {
    if (r.disabled()) continue;
    if (onlyNotPassed && r.state == ModuleState::Passed) continue;
    mask |= ModuleMaskBit(r.name);
  }
  return mask;
}

bool PlatformDisables(const std::wstring& program, bool windowsNT, bool concurrent) {
  size_t slash = program.find_last_of(L'\\');
  std::wstring file = slash == std::wstring::npos ? program : program.substr(slash + 1);
  bool strevan = ::lstrcmpiW(file.c_str(), L"strevan.mod") == 0;
  bool modem = ::lstrcmpiW(file.c_str(), L"modem.mod") == 0;
  if (windowsNT) return strevan || (modem && concurrent);
  return (strevan || modem) && concurrent;
}

int CompareModuleRows(const ModuleRecord* a, const ModuleRecord* b, int column, bool ascending) {
  if (!a || !b) return (!a && !b) ? 0 : (!a ? 1 : -1);
  if (column != 0) return 0;
  int c = ::lstrcmpiW(a->name.c_str(), b->name.c_str());
  return ascending ? c : -c;
}

std::wstring QuotedProgram(const std::wstring& program) {
  if (program.find_first_of(L" \t") == std::wstring::npos) return program;
  if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"') return program;
  return L"\"" + program + L"\"";
}

std::wstring StressCommandLine(const ModuleRecord& r, int loop, bool stopOnErrors, bool concurrent,
                               const std::wstring& cFactor) {
  std::wstring cmd = QuotedProgram(r.program) + L" " + r.arguments;
  if (!r.windowTitle.empty()) return cmd;
  cmd += L" -L" + std::to_wstring(loop);
  if (!stopOnErrors) cmd += L" -Append";
  if (concurrent) cmd += L" -C" + cFactor;
  return cmd;
}

std::wstring BenchCommandLine(const ModuleRecord& r) { return QuotedProgram(r.program) + L" " + r.arguments; }

std::wstring LogFileOf(const std::wstring& logField) {
  std::wstring word = logField.substr(0, logField.find(L' '));
  if (word.empty() || word == L"." || word == L"..") return {};
  if (word.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return {};
  return word;
}

std::wstring OldLogToDelete(const std::wstring& logField) {
  std::wstring file = LogFileOf(logField);
  if (file.size() <= 4 || ::lstrcmpiW(file.c_str() + file.size() - 4, L".LOG") != 0) return {};
  return file;
}

std::string FormatLogTime(const SYSTEMTIME& t) {
  int hour12 = t.wHour % 12;
  if (hour12 == 0) hour12 = 12;
  return appkit::FormatA("%02u/%02u/%04u %02d:%02u%s", t.wMonth, t.wDay, t.wYear, hour12, t.wMinute,
                         t.wHour < 12 ? "AM" : "PM");
}

std::wstring FormatElapsed(int seconds) {
  return appkit::Format(L"%d:%2.2d:%2.2d", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

std::string StressLogHeader(const std::string& time, int loop) {
  std::string stamp = appkit::FormatA("[%s %s]\n", "Last Updated:", time.c_str());
  return appkit::FormatA("%s%s: %d\r\n", stamp.c_str(), "LOOP", loop);
}

std::string StressLogProblemLine(StartProblem problem, const std::string& name) {
  const char* fmt = "";
  switch (problem) {
    case StartProblem::CreateFailed: fmt = "*** Failed to create process:\t%s\r\n"; break;
    case StartProblem::EndedBeforeTimeout: fmt = "*** Process failed:\t%s (before timeout)\r\n"; break;
    case StartProblem::KilledAtTimeout: fmt = "*** Process killed:\t%s (due to timeout)\r\n"; break;
    case StartProblem::EndedAtTimeout: fmt = "*** Process failed:\t%s (when timeout)\r\n"; break;
    case StartProblem::KilledWaitFailed: fmt = "*** Process killed:\t%s (WaitForInputIdle failed)\r\n"; break;
    case StartProblem::EndedWaitFailed: fmt = "*** Process ended:\t%s (WaitForInputIdle failed)\r\n"; break;
  }
  return appkit::FormatA(fmt, name.c_str());
}

std::string StressLogEndLine(const std::string& name, DWORD exitCode) {
  if (IsExceptionCode(exitCode))
    return appkit::FormatA("*** Process crashed:\t%s (exception 0x%08lX)\r\n", name.c_str(), (unsigned long)exitCode);
  return appkit::FormatA("*** Process failed:\t%s (exit code %ld)\r\n", name.c_str(), (long)(LONG)exitCode);
}

std::string StressLogTable(const TableRow& titles, const std::vector<TableRow>& rows, const std::string& totalLabel,
                           const std::string& total) {
  std::string out;
  auto line = [&out](const TableRow& row) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += '\t';
      out += row[i].substr(0, 58);
    }
    out += "\r\n";
  };
  if (!rows.empty()) {
    line(titles);
    for (const TableRow& row : rows) line(row);
  }
  out += "\r\n" + totalLabel + "\t" + total + "\r\n";
  return out;
}

ViewerText TextForViewer(const std::string& head, unsigned long long fileSize) {
  ViewerText out;
  size_t keep = head.size();
  if (fileSize > head.size()) {
    out.cut = true;
    size_t lastEnd = head.rfind('\n');
    if (lastEnd != std::string::npos) keep = lastEnd + 1;
  }
  out.bytes = keep;
  for (size_t i = 0; i < keep; ++i) {
    char c = head[i];
    if (c == '\n') {
      if (i == 0 || head[i - 1] != '\r') out.text += '\r';
      ++out.lines;
    }
    out.text += c;
  }
  if (keep && head[keep - 1] != '\n') ++out.lines;
  return out;
}

std::string OsTypeName(DWORD platformId, DWORD major, DWORD minor) {
  if (platformId == VER_PLATFORM_WIN32_NT) return "Windows NT";
  if (platformId == VER_PLATFORM_WIN32s) return "Windows 32s";
  if (platformId == VER_PLATFORM_WIN32_WINDOWS && major == 4 && minor == 0) return "Windows 95";
  if (platformId == VER_PLATFORM_WIN32_WINDOWS && major == 4 && minor == 10) return "Windows 98";
  return "Windows";
}

std::string BenchHeader(const std::string& time, const std::string& osName, DWORD major, DWORD minor, DWORD build) {
  std::string stamp = appkit::FormatA("[%s %s]\n", "Last Updated:", time.c_str());
  return appkit::FormatA("%s\r\n", stamp.c_str()) +
         appkit::FormatA("%s:\t%s [%d.%2.2d.%d]\r\n\r\n", "OS Type", osName.c_str(), (int)major, (int)minor,
                         (int)(build & 0xFFFF));
}

}  // namespace stress
