// The clean-up tool's rules as plain functions: search patterns, the
// remembered pattern list, list lines, and where a line's file may lie.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace brisko {

// Blanks trimmed at both ends.
std::wstring Trim(const std::wstring& text);

// A name pattern the finder takes: not empty or "*.*", at most one ".", a
// non-empty name, and only letters, digits, " ", "*", "-", "_" and "~".
bool IsValidPattern(const std::wstring& text);

// What the "Search For:" text asks for.
struct SearchRequest {
  enum Kind { Invalid, ByName, BySize } kind = Invalid;
  std::wstring pattern;      // ByName: the pattern (trimmed)
  std::wstring replacement;  // ByName: the name after "/", when given
  int64_t size = 0;          // BySize
};
// `sizeWord` is the upper-case start of "size = " ("SIZE = ").
SearchRequest ParseSearch(const std::wstring& text, const std::wstring& sizeWord);

// "ExtList": items each ending at "|"; the scan stops at the first empty
// item, and text after the last "|" is ignored.
std::vector<std::wstring> SplitExtList(const std::wstring& list);
// Every valid pattern of the combo's items, each followed by "|".
std::wstring JoinExtList(const std::vector<std::wstring>& items);

// Where a new pattern goes among the combo's items: -1 when it is there
// already (without case), `items.size()` to append (fewer than 10 items),
// the index of the item equal to `replacement` to replace it, or -2 when
// there is no room and nothing to replace.
int PatternSlot(const std::vector<std::wstring>& items, const std::wstring& pattern, const std::wstring& replacement);

// "%s (%ld bytes)" of a found file.
std::wstring FileLine(const std::wstring& path, int64_t size);

// Whether `path` lies inside folder `root` (a drive root "D:" or "D:\" or a
// folder), compared without case; the folder itself does not count, nor a
// path that climbs out with "..".
bool IsInside(const std::wstring& root, const std::wstring& path);

// The line of a Start Menu entry: its path below the "Start Menu\" folder
// (`folder` without trailing backslash) without ".lnk" or ".pif"; a ".pif"
// line ends with `dosSuffix`. Empty when the path is not below the folder.
std::wstring StartMenuLine(const std::wstring& folder, const std::wstring& path, const std::wstring& dosSuffix);
// Whether a file name ends with ".lnk" or ".pif" (without case).
bool IsShortcutName(const std::wstring& name);

}  // namespace brisko
