#include "testsupport/drives.h"

#include <winioctl.h>

#include <cstring>

namespace testsupport {

namespace {

// The request of IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, Wine's own control code.
struct UnixDriveRequest {
  ULONG size, type, fsType;
  DWORD serial;
  ULONGLONG unixDev;
  WCHAR letter;
  USHORT mountPointOffset, deviceOffset, labelOffset;
};
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

}  // namespace

bool DefineDrive(wchar_t letter, UINT type, const char* unixFolder) {
  char buffer[1024] = {};
  auto* r = reinterpret_cast<UnixDriveRequest*>(buffer);
  size_t folder = unixFolder ? std::strlen(unixFolder) + 1 : 0;
  if (sizeof(*r) + folder > sizeof(buffer)) return false;
  HANDLE mm = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (mm == INVALID_HANDLE_VALUE) return false;
  r->size = (ULONG)(sizeof(*r) + folder);
  r->type = type;
  r->letter = letter;
  if (unixFolder) {
    r->mountPointOffset = sizeof(*r);
    std::memcpy(buffer + sizeof(*r), unixFolder, folder);
  }
  DWORD n = 0;
  BOOL ok = ::DeviceIoControl(mm, kDefineUnixDrive, buffer, r->size, nullptr, 0, &n, nullptr);
  ::CloseHandle(mm);
  return ok != FALSE;
}

std::string UnixPathOf(const std::wstring& path) {
  typedef char*(CDECL * ToUnixFn)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnixFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unix = toUnix(path.c_str());
  if (!unix) return {};
  std::string result = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

}  // namespace testsupport
