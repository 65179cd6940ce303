#include "stress/modlist.h"

#include <algorithm>

#include "appkit/text.h"
#include "appkit/wholefile.h"

namespace stress {

namespace {

constexpr LONGLONG kMaxListFileBytes = 1 << 20;
const char kHeader[] = ";Test Modules";

size_t MinSeparators(ListKind kind) { return kind == ListKind::Stress ? 7 : 5; }

// The stored fields in file order (the elapsed-time text is not stored).
std::wstring* StoredField(ModuleRecord& r, size_t i) {
  std::wstring* fields[] = {&r.name, &r.program, &r.arguments, &r.stateText, &r.logName, &r.icon, &r.windowTitle};
  return i < 7 ? fields[i] : nullptr;
}

ModuleRecord ParseRecord(const std::string& line, const std::wstring& disabledText) {
  ModuleRecord r;
  size_t start = 0;
  for (size_t field = 0; field < 7; ++field) {
    size_t bar = line.find('|', start);
    if (bar == std::string::npos) break;
    *StoredField(r, field) = appkit::Widen(line.substr(start, bar - start));
    start = bar + 1;
  }
  r.rest = appkit::Widen(line.substr(start));
  if (IsDisabledText(r.stateText, disabledText)) {
    r.state = ModuleState::Disabled;
  } else {
    r.stateText.clear();
  }
  return r;
}

std::string RecordLine(const ModuleRecord& r) {
  std::string out;
  for (const std::wstring* f : {&r.name, &r.program, &r.arguments, &r.stateText, &r.logName, &r.icon, &r.windowTitle}) {
    out += appkit::Narrow(*f);
    out += '|';
  }
  return out + appkit::Narrow(r.rest) + "\r\n";
}

}  // namespace

bool IsDisabledText(const std::wstring& text, const std::wstring& disabledText) {
  return !text.empty() && ::lstrcmpiW(text.c_str(), disabledText.c_str()) == 0;
}

ModuleListText ParseModuleListText(const std::string& text, ListKind kind, const std::wstring& disabledText) {
  ModuleListText out;
  size_t pos = 0;
  for (size_t number = 1; pos < text.size(); ++number) {
    size_t end = text.find('\n', pos);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    std::string bytes = text.substr(pos, next - pos);
    pos = next;
    std::string line = bytes;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();

    if (number == 1 && line == kHeader) {
      out.layout.push_back({ListLine::Kind::Header, bytes});
      continue;
    }
    bool comment = !line.empty() && line[0] == ';';
    if (!comment && line.size() > kMaxEntryChars) {
      // Refused, not cut: the whole line stays in the file for the user.
      out.overLongLines.push_back(number);
      out.layout.push_back({ListLine::Kind::Kept, bytes});
      continue;
    }
    size_t separators = 0;
    for (char c : line) separators += c == '|';
    if (comment || separators < MinSeparators(kind)) {
      out.layout.push_back({ListLine::Kind::Kept, bytes});
      continue;
    }
    out.records.push_back(ParseRecord(line, disabledText));
    out.layout.push_back({ListLine::Kind::Record, {}});
  }
  return out;
}

std::vector<ModuleRecord> ParseModuleList(const std::string& text, ListKind kind, const std::wstring& disabledText) {
  return ParseModuleListText(text, kind, disabledText).records;
}

std::string FormatModuleList(const std::vector<ModuleRecord>& records, ListKind kind,
                             const std::vector<ListLine>& layout) {
  std::vector<const ModuleRecord*> order;
  for (const ModuleRecord& r : records) order.push_back(&r);
  if (kind == ListKind::Benchmark) std::reverse(order.begin(), order.end());

  std::string out = std::string(kHeader) + "\r\n";
  size_t next = 0;
  auto put = [&out](const std::string& bytes) {
    // A kept last line without its line end gets one when more follows.
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += bytes;
  };
  for (const ListLine& line : layout) {
    if (line.kind == ListLine::Kind::Kept)
      put(line.bytes);
    else if (line.kind == ListLine::Kind::Record && next < order.size())
      put(RecordLine(*order[next++]));
  }
  while (next < order.size()) put(RecordLine(*order[next++]));
  return out;
}

bool ReadModuleListFile(const std::wstring& path, ListKind kind, const std::wstring& disabledText,
                        ModuleListText* list, DWORD* error) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    if (error) *error = ::GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(f, &size);
  DWORD failure = ok ? 0 : ::GetLastError();
  if (ok && size.QuadPart > kMaxListFileBytes) {
    ok = false;
    failure = ERROR_FILE_TOO_LARGE;
  }
  std::string text;
  if (ok) {
    text.resize((size_t)size.QuadPart);
    DWORD got = 0;
    ok = text.empty() || ::ReadFile(f, text.data(), (DWORD)text.size(), &got, nullptr);
    if (!ok) failure = ::GetLastError();
    text.resize(got);
  }
  ::CloseHandle(f);
  if (!ok) {
    if (error) *error = failure;
    return false;
  }
  *list = ParseModuleListText(text, kind, disabledText);
  return true;
}

bool ReadModuleListFile(const std::wstring& path, ListKind kind, const std::wstring& disabledText,
                        std::vector<ModuleRecord>* records) {
  ModuleListText list;
  if (!ReadModuleListFile(path, kind, disabledText, &list)) return false;
  *records = std::move(list.records);
  return true;
}

bool WriteModuleListFile(const std::wstring& path, const std::vector<ModuleRecord>& records, ListKind kind,
                         const std::vector<ListLine>& layout, DWORD* error) {
  return appkit::WriteFileWhole(path, FormatModuleList(records, kind, layout), error);
}

}  // namespace stress
