#include "software.h"

#include <cstring>
#include <vector>

#include "devices_resource.h"
#include "format.h"
#include "texts.h"

namespace quorrel {

namespace {

// Longest wait for the list box's thread to take one message. A list box of
// a thread that does not answer within it ends the listing.
constexpr UINT kListWaitMs = 10000;

bool ReadStringValue(HKEY key, const char* name, std::string* out) {
  char buf[kSoftwareValueBuffer + 1] = {};
  DWORD size = kSoftwareValueBuffer, type = 0;
  out->clear();
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  buf[size < kSoftwareValueBuffer ? size : kSoftwareValueBuffer] = 0;
  *out = buf;
  return true;
}

// The list box the names are sorted in: the caller's, or a hidden one of
// this thread that goes with this object.
class SortedList {
 public:
  explicit SortedList(HWND list) : list_(list) {
    if (!list_) {
      own_ = ::CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
      list_ = own_;
    }
  }
  ~SortedList() {
    if (own_) ::DestroyWindow(own_);
  }
  SortedList(const SortedList&) = delete;
  SortedList& operator=(const SortedList&) = delete;

  // False when the list is gone or its thread did not answer in time.
  bool Send(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    DWORD_PTR r = 0;
    if (!list_ || !::SendMessageTimeoutA(list_, msg, wp, lp, SMTO_NORMAL, kListWaitMs, &r)) return false;
    *result = (LRESULT)r;
    return true;
  }

 private:
  HWND list_ = nullptr;
  HWND own_ = nullptr;
};

}  // namespace

bool ReadUninstallEntry(HKEY parent, const char* subkey, UninstallEntry* entry) {
  *entry = UninstallEntry();
  HKEY key = nullptr;
  if (::RegOpenKeyExA(parent, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ReadStringValue(key, "DisplayName", &entry->displayName);
  ReadStringValue(key, "UninstallString", &entry->uninstallString);
  ::RegCloseKey(key);
  return true;
}

bool WriteSoftwareInfo(InfoSink& out, int mode, HWND sortedList, HKEY root, const char* keyPath,
                       const std::function<bool()>& stopping) {
  if (mode != 0) return true;
  out.SpacedHeading(Str(IDS_SOFTWARE));
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
  auto stop = [&] { return stopping && stopping(); };

  SortedList list(sortedList);
  LRESULT r = 0;
  bool ok = list.Send(LB_RESETCONTENT, 0, 0, &r);
  for (DWORD index = 0; ok; ++index) {
    if (stop()) {
      ok = false;
      break;
    }
    // Key names have at most 255 characters: a name that does not fit is
    // no entry of ours, and the walk goes on past it.
    char name[256] = {};
    DWORD length = sizeof(name);
    LONG e = ::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_MORE_DATA) continue;
    if (e != ERROR_SUCCESS) break;
    UninstallEntry entry;
    if (!ReadUninstallEntry(key, name, &entry)) continue;
    if (entry.displayName.empty() || entry.uninstallString.empty()) continue;
    ok = list.Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.displayName.c_str()), &r);
  }
  ::RegCloseKey(key);

  LRESULT count = 0;
  if (!ok || stop() || !list.Send(LB_GETCOUNT, 0, 0, &count) || count == LB_ERR) return false;
  std::string lines;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = 0;
    if (!list.Send(LB_GETTEXTLEN, (WPARAM)i, 0, &length)) return false;
    if (length == LB_ERR || length <= 0 || length >= (LRESULT)kSoftwareValueBuffer) continue;
    char text[kSoftwareValueBuffer + 1] = {};
    if (!list.Send(LB_GETTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(text), &r)) return false;
    if (r == LB_ERR || text[0] == 0) continue;
    lines += text;
    lines += infofile::kLineEnd;
  }
  out.Text(lines);
  return true;
}

bool WriteSoftwareInfo(InfoSink& out, int mode, HWND sortedList, const std::function<bool()>& stopping) {
  return WriteSoftwareInfo(out, mode, sortedList, HKEY_LOCAL_MACHINE, kUninstallKey, stopping);
}

}  // namespace quorrel
