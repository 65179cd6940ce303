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

// ---- exact names and where an opened file really lies

// Whether a name found in a folder can be opened by exactly that name: not
// empty, "." or "..", and without a character that the path rules read as
// something else (a separator, a stream mark, a wildcard, quotes, angle
// brackets, "|" or a control character). A file system that is not the
// system's own can hold such names (e.g. "sub\zero.txt" as one name), and
// opening one reaches another file.
bool IsExactName(const std::wstring& name);

// A full path ("D:\dir\x" or "\\server\share\x") in the form that turns
// path normalisation off ("\\?\D:\dir\x", "\\?\UNC\server\share\x"),
// so that names ending in a dot or a blank stay themselves. A path already in
// that form is kept; anything else gives "".
std::wstring ExtendedPath(const std::wstring& fullPath);

// The name of a file object ("\??\D:\x") as a final path ("\\?\D:\x");
// "" for any other form (e.g. a device name "\Device\...").
std::wstring FinalFromObjectName(const std::wstring& objectName);

// A name without the dots and blanks at its end.
std::wstring WithoutTrailingDotsAndBlanks(const std::wstring& name);

// How the final path of an opened file compares with the place it was
// listed at: the searched folder's final path `rootFinal` and the names
// below it. `Same`: exactly that place. `SameButTrailing`: the same except
// that some names lack dots or blanks at their end (some systems report a
// final path so); the caller must then make sure the reported path itself is
// not another name of the same file. `Elsewhere`: anything else (outside the
// folder, another name, another case, another depth).
enum class FinalMatch { Same, SameButTrailing, Elsewhere };
FinalMatch MatchFinalPath(const std::wstring& rootFinal, const std::vector<std::wstring>& names,
                          const std::wstring& finalPath);

// The line of a Start Menu entry: its path below the "Start Menu\" folder
// (`folder` without trailing backslash) without ".lnk" or ".pif"; a ".pif"
// line ends with `dosSuffix`. Empty when the path is not below the folder.
std::wstring StartMenuLine(const std::wstring& folder, const std::wstring& path, const std::wstring& dosSuffix);
// Whether a file name ends with ".lnk" or ".pif" (without case).
bool IsShortcutName(const std::wstring& name);

// A shortcut's target as read from it, in the form its existence is judged
// by: on Windows NT (`nt`) a leading "%SystemRoot%" (without case) becomes
// `windowsDir`; then every environment variable in it (%windir%,
// %ProgramFiles%, ...) is expanded as the shell expands it when it starts
// the target. A variable that is not set stays as it is.
std::wstring ExpandedLinkTarget(const std::wstring& raw, bool nt, const std::wstring& windowsDir);

}  // namespace brisko
