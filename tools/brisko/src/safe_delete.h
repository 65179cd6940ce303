// Deleting exactly what a list line was made from. A line keeps the place
// of its file (the searched folder's final path and the names below it, as
// the folder listing gave them) and what the file was (its identity, size
// and time). Deleting opens that very file by its exact name, checks that
// it is still the listed one, a plain file (or an empty folder) and not a
// link, and that its final path is the listed place, and only then deletes
// it through the open handle. Nothing is ever deleted by a text path that
// the system could read as another file.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace brisko {

struct ListedItem {
  std::wstring rootExtended;        // the searched folder, "\\?\D:\work"
  std::wstring rootFinal;           // its final path at the search
  std::vector<std::wstring> names;  // the names below it
  bool folder = false;
  bool exact = false;               // the names reached the listed entry
  DWORD volume = 0;
  ULONGLONG index = 0;
  long long size = 0;
  FILETIME written{};

  std::wstring Extended() const;
};

// The final path of an open file or folder ("\\?\D:\work\x"); false when
// the system cannot tell.
bool FinalPathOf(HANDLE h, std::wstring* finalPath);
// The final path of a folder given in the extended form.
bool FolderFinalPath(const std::wstring& extendedDir, std::wstring* finalPath);

// Opens a found entry by its exact name and records what it is. `exact`
// stays false when a name cannot be opened exactly or the opened entry is
// not the one the listing showed (another size, time or kind).
void IdentifyListed(ListedItem* item, const WIN32_FIND_DATAW& found);

enum class DeleteResult {
  Deleted,      // gone (or to the Recycle Bin)
  NotExact,     // its name cannot be opened exactly here: nothing done
  Gone,         // no longer there: nothing done
  Changed,      // another file or folder now has its name: nothing done
  Link,         // a link (or another reparse point): nothing done
  Elsewhere,    // its final path is not the listed place: nothing done
  Unchecked,    // its final path could not be read: nothing done
  NotEmpty,     // a folder that is no longer empty: nothing done
  NoRecycle,    // cannot go to the Recycle Bin by its name: nothing done
  Refused,      // the system refused to open or delete it (error)
  StillThere,   // the deletion was accepted but the file is still there
};
struct DeleteOutcome {
  DeleteResult result = DeleteResult::Refused;
  DWORD error = 0;
  std::wstring where;  // Elsewhere: the final path found
};

// Deletes the item when it passes every check. `shownPath` is the path the
// user sees (used only to hand the file to the Recycle Bin, after checking
// that it names the same file).
DeleteOutcome DeleteListed(const ListedItem& item, bool toRecycleBin, const std::wstring& shownPath, HWND owner);

// Without the "\\?\" or "\\?\UNC\" that the final path starts with.
std::wstring ShownFinalPath(const std::wstring& finalPath);

}  // namespace brisko
