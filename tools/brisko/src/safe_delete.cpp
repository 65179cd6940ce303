// How the checks hold on both systems (measured under Wine 8):
// - A Unix symbolic link looks like a plain file (a link to a folder like a
//   folder with FILE_ATTRIBUTE_REPARSE_POINT); FILE_FLAG_OPEN_REPARSE_POINT
//   still opens its target, and deleting or renaming through that handle
//   acts on the target. Its final path is the target's ("\\?\C:\..." or,
//   off every drive, "\\?\unix\..."), so the final-path check refuses it.
//   CreateSymbolicLinkW reports success and makes nothing there.
// - On Windows the same flag opens a link itself (FILE_ATTRIBUTE_REPARSE_POINT
//   is set: refused as a link), and a link or junction among the folders
//   above gives a final path other than the listed place.
// - Wine reports the final path of "zero.txt." as "...\zero.txt" (its
//   names lose trailing dots and blanks), and GetFinalPathNameByHandleW fails
//   above MAX_PATH; the object name ("\??\D:\...") serves then.
#include "safe_delete.h"

#include <shellapi.h>

#include "clean_rules.h"

namespace brisko {

namespace {

constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens without following a link at the last name (a link is opened
// itself), folders too.
HANDLE OpenExact(const std::wstring& path, DWORD access, DWORD share) {
  return ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

struct Identity {
  DWORD attributes = 0;
  DWORD volume = 0;
  ULONGLONG index = 0;
  long long size = 0;
  FILETIME written{};
};

bool IdentityOf(HANDLE h, Identity* id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) return false;
  id->attributes = info.dwFileAttributes;
  id->volume = info.dwVolumeSerialNumber;
  id->index = ((ULONGLONG)info.nFileIndexHigh << 32) | info.nFileIndexLow;
  id->size = ((long long)info.nFileSizeHigh << 32) | info.nFileSizeLow;
  id->written = info.ftLastWriteTime;
  return true;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

bool IsGoneError(DWORD e) { return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND; }

// Whether `path` opens to the file with identity `id`.
bool NamesSameFile(const std::wstring& path, const Identity& id) {
  HANDLE h = OpenExact(path, FILE_READ_ATTRIBUTES, kAnyShare);
  if (h == INVALID_HANDLE_VALUE) return false;
  Identity other;
  const bool same = IdentityOf(h, &other) && other.volume == id.volume && other.index == id.index;
  ::CloseHandle(h);
  return same;
}

using NtQueryObjectFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
// The counted string at the start of the object name information.
struct CountedName {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};

}  // namespace

std::wstring ListedItem::Extended() const {
  std::wstring path = rootExtended;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  for (const std::wstring& name : names) path += L"\\" + name;
  return path;
}

bool FinalPathOf(HANDLE h, std::wstring* finalPath) {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = ::GetFinalPathNameByHandleW(h, buffer.data(), (DWORD)buffer.size(), VOLUME_NAME_DOS);
  if (n > 0 && n < buffer.size()) {
    finalPath->assign(buffer.data(), n);
    return true;
  }
  // Some systems give up on paths longer than MAX_PATH here; the name of the
  // file object says the same when it is in the "\??\D:\..." form.
  static const NtQueryObjectFn query =
      (NtQueryObjectFn)(void*)::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject");
  if (!query) return false;
  std::vector<BYTE> info(70000);
  ULONG got = 0;
  if (query(h, 1 /* ObjectNameInformation */, info.data(), (ULONG)info.size(), &got) != 0) return false;
  const CountedName* name = reinterpret_cast<const CountedName*>(info.data());
  if (!name->Buffer || name->Length == 0) return false;
  *finalPath = FinalFromObjectName(std::wstring(name->Buffer, name->Length / sizeof(wchar_t)));
  return !finalPath->empty();
}

bool FolderFinalPath(const std::wstring& extendedDir, std::wstring* finalPath) {
  HANDLE h = OpenExact(extendedDir, FILE_READ_ATTRIBUTES, kAnyShare);
  if (h == INVALID_HANDLE_VALUE) return false;
  Identity id;
  bool ok = IdentityOf(h, &id) && (id.attributes & FILE_ATTRIBUTE_DIRECTORY) && FinalPathOf(h, finalPath);
  ::CloseHandle(h);
  while (ok && finalPath->size() > 1 && finalPath->back() == L'\\') finalPath->pop_back();
  return ok;
}

void IdentifyListed(ListedItem* item, const WIN32_FIND_DATAW& found) {
  item->exact = false;
  item->size = ((long long)found.nFileSizeHigh << 32) | found.nFileSizeLow;
  item->written = found.ftLastWriteTime;
  for (const std::wstring& name : item->names)
    if (!IsExactName(name)) return;
  HANDLE h = OpenExact(item->Extended(), FILE_READ_ATTRIBUTES, kAnyShare);
  if (h == INVALID_HANDLE_VALUE) return;
  Identity id;
  if (IdentityOf(h, &id)) {
    const bool isFolder = (id.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item->volume = id.volume;
    item->index = id.index;
    // The entry opened must be the one the listing showed.
    item->exact = isFolder == item->folder && isFolder == ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) &&
                  (isFolder || (id.size == item->size && SameTime(id.written, item->written)));
  }
  ::CloseHandle(h);
}

DeleteOutcome DeleteListed(const ListedItem& item, bool toRecycleBin, const std::wstring& shownPath, HWND owner) {
  DeleteOutcome out;
  if (item.rootFinal.empty()) {
    out.result = DeleteResult::Unchecked;
    return out;
  }
  if (!item.exact) {
    out.result = DeleteResult::NotExact;
    return out;
  }
  const std::wstring path = item.Extended();
  // Nobody may rename or delete it while it is checked, unless the shell is
  // to move it to the Recycle Bin.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (toRecycleBin ? FILE_SHARE_DELETE : 0);
  HANDLE h = OpenExact(path, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share);
  if (h == INVALID_HANDLE_VALUE) {
    out.error = ::GetLastError();
    out.result = IsGoneError(out.error) ? DeleteResult::Gone : DeleteResult::Refused;
    return out;
  }
  struct Closer {
    HANDLE h;
    ~Closer() {
      if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
  } closer{h};
  Identity id;
  std::wstring finalPath;
  if (!IdentityOf(h, &id)) {
    out.error = ::GetLastError();
    out.result = DeleteResult::Refused;
    return out;
  }
  if (id.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    out.result = DeleteResult::Link;
    return out;
  }
  if (!FinalPathOf(h, &finalPath)) {
    out.result = DeleteResult::Unchecked;
    return out;
  }
  switch (MatchFinalPath(item.rootFinal, item.names, finalPath)) {
    case FinalMatch::Same:
      break;
    case FinalMatch::SameButTrailing:
      // Accepted only when the path as reported is not another name of this
      // very file (a link "x." to "x" is refused; a file "x." beside "x" is
      // not).
      if (!NamesSameFile(finalPath, id)) break;
      [[fallthrough]];
    case FinalMatch::Elsewhere:
      out.result = DeleteResult::Elsewhere;
      out.where = ShownFinalPath(finalPath);
      return out;
  }
  const bool isFolder = (id.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (isFolder != item.folder || id.volume != item.volume || id.index != item.index ||
      (!isFolder && (id.size != item.size || !SameTime(id.written, item.written)))) {
    out.result = DeleteResult::Changed;
    return out;
  }
  if (toRecycleBin) {
    // The shell takes only a plain path: it must be short and name this file.
    if (shownPath.size() >= MAX_PATH || shownPath.find_first_of(L"*?") != std::wstring::npos ||
        !NamesSameFile(shownPath, id)) {
      out.result = DeleteResult::NoRecycle;
      return out;
    }
    std::wstring from = shownPath;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.hwnd = owner;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_ALLOWUNDO;
    const int r = ::SHFileOperationW(&op);
    out.error = (DWORD)r;
  } else {
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition))) {
      out.error = ::GetLastError();
      out.result = out.error == ERROR_DIR_NOT_EMPTY ? DeleteResult::NotEmpty : DeleteResult::Refused;
      return out;
    }
  }
  ::CloseHandle(h);
  closer.h = INVALID_HANDLE_VALUE;
  // What really happened: the listed file must be gone from its place.
  HANDLE again = OpenExact(path, FILE_READ_ATTRIBUTES, kAnyShare);
  if (again == INVALID_HANDLE_VALUE) {
    const DWORD e = ::GetLastError();
    // A file another program still holds open goes when it lets go.
    out.result = IsGoneError(e) || (e == ERROR_ACCESS_DENIED && !toRecycleBin) ? DeleteResult::Deleted
                                                                                : DeleteResult::StillThere;
    if (out.result == DeleteResult::StillThere) out.error = e;
    return out;
  }
  Identity now;
  const bool same = IdentityOf(again, &now) && now.volume == id.volume && now.index == id.index;
  ::CloseHandle(again);
  out.result = same ? (item.folder ? DeleteResult::NotEmpty : DeleteResult::StillThere) : DeleteResult::Deleted;
  return out;
}

std::wstring ShownFinalPath(const std::wstring& finalPath) {
  if (finalPath.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + finalPath.substr(8);
  if (finalPath.size() >= 6 && finalPath.compare(0, 4, L"\\\\?\\") == 0 && finalPath[5] == L':')
    return finalPath.substr(4);
  return finalPath;
}

}  // namespace brisko
