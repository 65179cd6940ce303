#include "clean_rules.h"

#include <windows.h>

#include <cwctype>

namespace brisko {

std::wstring Trim(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

namespace {

bool PatternChar(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L' ' ||
         c == L'*' || c == L'-' || c == L'_' || c == L'~';
}

std::wstring Upper(std::wstring s) {
  for (wchar_t& c : s) c = (wchar_t)std::towupper(c);
  return s;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

bool IsValidPattern(const std::wstring& text) {
  const std::wstring t = Trim(text);
  if (t.empty() || t == L"*.*") return false;
  const size_t dot = t.find(L'.');
  const std::wstring name = t.substr(0, dot);
  const std::wstring ext = dot == std::wstring::npos ? L"" : t.substr(dot + 1);
  if (ext.find(L'.') != std::wstring::npos || name.empty()) return false;
  for (wchar_t c : name + ext)
    if (!PatternChar(c)) return false;
  return true;
}

SearchRequest ParseSearch(const std::wstring& text, const std::wstring& sizeWord) {
  SearchRequest r;
  const std::wstring t = Trim(text);
  const size_t open = t.find(L'('), close = t.find(L')');
  if (open != std::wstring::npos && close != std::wstring::npos && open < close) {
    const std::wstring inner = Upper(t.substr(open + 1, close - open - 1));
    const std::wstring word = Upper(sizeWord.substr(0, 7));
    const size_t at = inner.find(word);
    if (at == std::wstring::npos) return r;
    const std::wstring number = Trim(inner.substr(at + word.size()));
    if (number.empty()) return r;
    int64_t size = 0;
    for (wchar_t c : number) {
      if (c < L'0' || c > L'9' || size > (INT64_MAX - 9) / 10) return r;
      size = size * 10 + (c - L'0');
    }
    r.kind = SearchRequest::BySize;
    r.size = size;
    return r;
  }
  const size_t slash = t.find(L'/');
  const std::wstring pattern = Trim(t.substr(0, slash));
  const std::wstring replacement = slash == std::wstring::npos ? L"" : Trim(t.substr(slash + 1));
  if (!IsValidPattern(pattern) || (!replacement.empty() && !IsValidPattern(replacement))) return r;
  r.kind = SearchRequest::ByName;
  r.pattern = pattern;
  r.replacement = replacement;
  return r;
}

std::vector<std::wstring> SplitExtList(const std::wstring& list) {
  std::vector<std::wstring> items;
  size_t start = 0;
  for (;;) {
    const size_t bar = list.find(L'|', start);
    if (bar == std::wstring::npos) break;
    const std::wstring item = list.substr(start, bar - start);
    if (item.empty()) break;
    items.push_back(item);
    start = bar + 1;
  }
  return items;
}

std::wstring JoinExtList(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (const std::wstring& item : items)
    if (IsValidPattern(item)) out += item + L"|";
  return out;
}

int PatternSlot(const std::vector<std::wstring>& items, const std::wstring& pattern, const std::wstring& replacement) {
  for (const std::wstring& item : items)
    if (EqualNoCase(item, pattern)) return -1;
  if (items.size() < 10) return (int)items.size();
  if (!replacement.empty() && IsValidPattern(replacement))
    for (size_t i = 0; i < items.size(); ++i)
      if (EqualNoCase(items[i], replacement)) return (int)i;
  return -2;
}

std::wstring FileLine(const std::wstring& path, int64_t size) {
  return path + L" (" + std::to_wstring(size) + L" bytes)";
}

bool IsInside(const std::wstring& root, const std::wstring& path) {
  std::wstring r = root;
  while (!r.empty() && r.back() == L'\\') r.pop_back();
  if (r.empty() || path.size() <= r.size() + 1) return false;
  if (_wcsnicmp(path.c_str(), r.c_str(), r.size()) != 0 || path[r.size()] != L'\\') return false;
  const std::wstring rest = L"\\" + path.substr(r.size() + 1) + L"\\";
  return rest.find(L"\\..\\") == std::wstring::npos && rest.find(L"\\.\\") == std::wstring::npos &&
         rest.find(L"\\\\") == std::wstring::npos && rest.find(L'/') == std::wstring::npos;
}

bool IsExactName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name)
    if (c < 32 || wcschr(L"\\/:*?\"<>|", c)) return false;
  return true;
}

std::wstring ExtendedPath(const std::wstring& fullPath) {
  if (fullPath.compare(0, 4, L"\\\\?\\") == 0) return fullPath;
  if (fullPath.size() >= 3 && iswalpha(fullPath[0]) && fullPath[1] == L':' && fullPath[2] == L'\\')
    return L"\\\\?\\" + fullPath;
  if (fullPath.size() > 2 && fullPath[0] == L'\\' && fullPath[1] == L'\\' && fullPath[2] != L'?' && fullPath[2] != L'.')
    return L"\\\\?\\UNC\\" + fullPath.substr(2);
  return L"";
}

std::wstring FinalFromObjectName(const std::wstring& objectName) {
  if (objectName.size() > 4 && objectName.compare(0, 4, L"\\??\\") == 0) return L"\\\\?\\" + objectName.substr(4);
  return L"";
}

std::wstring WithoutTrailingDotsAndBlanks(const std::wstring& name) {
  const size_t end = name.find_last_not_of(L". ");
  return end == std::wstring::npos ? L"" : name.substr(0, end + 1);
}

FinalMatch MatchFinalPath(const std::wstring& rootFinal, const std::vector<std::wstring>& names,
                          const std::wstring& finalPath) {
  std::wstring root = rootFinal;
  while (!root.empty() && root.back() == L'\\') root.pop_back();
  if (root.empty() || names.empty()) return FinalMatch::Elsewhere;
  if (finalPath.size() <= root.size() || finalPath.compare(0, root.size(), root) != 0 ||
      finalPath[root.size()] != L'\\')
    return FinalMatch::Elsewhere;
  std::vector<std::wstring> reported;
  size_t start = root.size() + 1;
  for (;;) {
    const size_t slash = finalPath.find(L'\\', start);
    reported.push_back(finalPath.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
    if (slash == std::wstring::npos) break;
    start = slash + 1;
  }
  if (reported.size() != names.size()) return FinalMatch::Elsewhere;
  FinalMatch result = FinalMatch::Same;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!IsExactName(names[i]) || reported[i].empty()) return FinalMatch::Elsewhere;
    if (reported[i] == names[i]) continue;
    const std::wstring trimmed = WithoutTrailingDotsAndBlanks(names[i]);
    if (trimmed.empty() || reported[i] != trimmed) return FinalMatch::Elsewhere;
    result = FinalMatch::SameButTrailing;
  }
  return result;
}

bool IsShortcutName(const std::wstring& name) {
  if (name.size() < 4) return false;
  const std::wstring ext = name.substr(name.size() - 4);
  return EqualNoCase(ext, L".lnk") || EqualNoCase(ext, L".pif");
}

std::wstring StartMenuLine(const std::wstring& folder, const std::wstring& path, const std::wstring& dosSuffix) {
  if (!IsInside(folder, path)) return L"";
  std::wstring rest = path.substr(folder.size() + (folder.back() == L'\\' ? 0 : 1));
  if (!IsShortcutName(rest)) return rest;
  const bool pif = EqualNoCase(rest.substr(rest.size() - 4), L".pif");
  rest.resize(rest.size() - 4);
  return pif ? rest + dosSuffix : rest;
}

std::wstring ExpandedLinkTarget(const std::wstring& raw, bool nt, const std::wstring& windowsDir) {
  std::wstring target = raw;
  if (nt && target.size() >= 12 && _wcsnicmp(target.c_str(), L"%SystemRoot%", 12) == 0)
    target = windowsDir + target.substr(12);
  if (target.find(L'%') == std::wstring::npos) return target;
  // The expanded form, bounded by the longest path the system has.
  constexpr DWORD kLongest = 32768;
  const DWORD need = ::ExpandEnvironmentStringsW(target.c_str(), nullptr, 0);
  if (need == 0 || need > kLongest) return target;
  std::wstring expanded(need, L'\0');
  const DWORD got = ::ExpandEnvironmentStringsW(target.c_str(), &expanded[0], need);
  if (got == 0 || got > need) return target;
  expanded.resize(got - 1);
  return expanded;
}

}  // namespace brisko
