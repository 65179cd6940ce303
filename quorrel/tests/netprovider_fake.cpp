// A network provider for tests: Windows' multi-provider router loads it
// when the registry names it, and it reports three connected drives of one
// network, so that the network category lists connected resources on a
// machine that has none. Nothing is connected for real.
#include <windows.h>
#include <winnetwk.h>

#include <cstring>
#include <cwchar>

namespace {

// What the router asks of a provider (its capability indexes and answers).
constexpr DWORD kCapSpecVersion = 0x01, kCapNetType = 0x02, kCapEnumeration = 0x0B;
constexpr DWORD kSpecVersion51 = 0x00050001;
constexpr DWORD kEnumGlobal = 0x01, kEnumLocal = 0x02;

struct Drive {
  const wchar_t* local;
  const wchar_t* remote;
};
const Drive kDrives[] = {
    {L"F:", L"\\\\fileserv\\public"}, {L"G:", L"\\\\fileserv\\home"}, {L"H:", L"\\\\fileserv\\scratch"}};
const wchar_t kProvider[] = L"Halvix Test Network";

struct Enumeration {
  size_t next = 0;
};

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI NPGetCaps(DWORD index) {
  switch (index) {
    case kCapSpecVersion: return kSpecVersion51;
    case kCapNetType: return 0x00FE0000;
    case kCapEnumeration: return kEnumGlobal | kEnumLocal;
    default: return 0;
  }
}

__declspec(dllexport) DWORD WINAPI NPOpenEnum(DWORD scope, DWORD, DWORD, LPNETRESOURCEW, LPHANDLE e) {
  if (!e) return WN_BAD_POINTER;
  if (scope != RESOURCE_CONNECTED) return WN_NOT_SUPPORTED;
  *e = new Enumeration;
  return WN_SUCCESS;
}

// Records from the start of the buffer, their strings from its end.
__declspec(dllexport) DWORD WINAPI NPEnumResource(HANDLE e, LPDWORD count, LPVOID buffer, LPDWORD size) {
  auto* en = static_cast<Enumeration*>(e);
  if (!en || !count || !size) return WN_BAD_POINTER;
  if (en->next >= sizeof(kDrives) / sizeof(kDrives[0])) return WN_NO_MORE_ENTRIES;
  auto* records = static_cast<NETRESOURCEW*>(buffer);
  char* end = static_cast<char*>(buffer) + *size;
  DWORD listed = 0;
  auto place = [&](const wchar_t* s, size_t room) -> wchar_t* {
    size_t bytes = (std::wcslen(s) + 1) * sizeof(wchar_t);
    if ((size_t)(end - static_cast<char*>(buffer)) < room + bytes) return nullptr;
    end -= bytes;
    std::memcpy(end, s, bytes);
    return reinterpret_cast<wchar_t*>(end);
  };
  while (en->next < sizeof(kDrives) / sizeof(kDrives[0]) && listed < *count) {
    size_t room = (listed + 1) * sizeof(NETRESOURCEW);
    char* mark = end;
    wchar_t* local = place(kDrives[en->next].local, room);
    wchar_t* remote = local ? place(kDrives[en->next].remote, room) : nullptr;
    wchar_t* provider = remote ? place(kProvider, room) : nullptr;
    if (!provider) {
      end = mark;
      break;
    }
    NETRESOURCEW& r = records[listed++];
    r = NETRESOURCEW{};
    r.dwScope = RESOURCE_CONNECTED;
    r.dwType = RESOURCETYPE_DISK;
    r.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    r.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    r.lpLocalName = local;
    r.lpRemoteName = remote;
    r.lpProvider = provider;
    ++en->next;
  }
  if (listed == 0) {
    *size = 1024;
    return WN_MORE_DATA;
  }
  *count = listed;
  return WN_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI NPCloseEnum(HANDLE e) {
  delete static_cast<Enumeration*>(e);
  return WN_SUCCESS;
}

}  // extern "C"
