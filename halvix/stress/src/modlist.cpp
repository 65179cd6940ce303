#include "stress/modlist.h"

#include "appkit/text.h"

namespace stress {

namespace {

constexpr size_t kMaxLineChars = 999;
constexpr LONGLONG kMaxListFileBytes = 1 << 20;

size_t MinSeparators(ListKind kind) { return kind == ListKind::Stress ? 7 : 5; }

// The stored fields in file order (the elapsed-time text is not stored).
std::wstring* StoredField(ModuleRecord& r, size_t i) {
  std::wstring* fields[] = {&r.name, &r.program, &r.arguments, &r.stateText, &r.logName, &r.icon, &r.windowTitle};
  return i < 7 ? fields[i] : nullptr;
}

}  // namespace

bool IsDisabledText(const std::wstring& text, const std::wstring& disabledText) {
  return !text.empty() && ::lstrcmpiW(text.c_str(), disabledText.c_str()) == 0;
}

std::vector<ModuleRecord> ParseModuleList(const std::string& text, ListKind kind, const std::wstring& disabledText) {
  std::vector<ModuleRecord> records;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    // Only the first 999 characters of a line count; the rest is dropped
    // rather than read as a line of its own.
    if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
    if (!line.empty() && line[0] == ';') continue;
    size_t separators = 0;
    for (char c : line) separators += c == '|';
    if (separators < MinSeparators(kind)) continue;

    ModuleRecord r;
    size_t start = 0;
    for (size_t field = 0; field < 7; ++field) {
      size_t bar = line.find('|', start);
      if (bar == std::string::npos) break;
      *StoredField(r, field) = appkit::Widen(line.substr(start, bar - start));
      start = bar + 1;
    }
    if (IsDisabledText(r.stateText, disabledText)) {
      r.state = ModuleState::Disabled;
    } else {
      r.stateText.clear();
    }
    records.push_back(std::move(r));
  }
  return records;
}

std::string FormatModuleList(const std::vector<ModuleRecord>& records, ListKind kind) {
  std::string out = ";Test Modules\r\n";
  auto line = [&out](const ModuleRecord& r) {
    for (const std::wstring* f : {&r.name, &r.program, &r.arguments, &r.stateText, &r.logName, &r.icon, &r.windowTitle}) {
      out += appkit::Narrow(*f);
      out += '|';
    }
    out += "\r\n";
  };
  if (kind == ListKind::Stress) {
    for (const ModuleRecord& r : records) line(r);
  } else {
    for (auto it = records.rbegin(); it != records.rend(); ++it) line(*it);
  }
  return out;
}

bool ReadModuleListFile(const std::wstring& path, ListKind kind, const std::wstring& disabledText,
                        std::vector<ModuleRecord>* records) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(f, &size) && size.QuadPart <= kMaxListFileBytes;
  std::string text;
  if (ok) {
    text.resize((size_t)size.QuadPart);
    DWORD got = 0;
    ok = text.empty() || ::ReadFile(f, text.data(), (DWORD)text.size(), &got, nullptr);
    text.resize(got);
  }
  ::CloseHandle(f);
  if (!ok) return false;
  *records = ParseModuleList(text, kind, disabledText);
  return true;
}

bool WriteModuleListFile(const std::wstring& path, const std::vector<ModuleRecord>& records, ListKind kind) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::string text = FormatModuleList(records, kind);
  DWORD put = 0;
  bool ok = ::WriteFile(f, text.data(), (DWORD)text.size(), &put, nullptr) && put == text.size();
  ::CloseHandle(f);
  return ok;
}

}  // namespace stress
