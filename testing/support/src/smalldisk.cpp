#include "testsupport/smalldisk.h"

#include <cstdlib>
#include <string>

#include "testsupport/drives.h"
#include "testsupport/process.h"

namespace testsupport {

namespace {
constexpr wchar_t kLetter = L'k';

void EmptyFolder(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(dir + name + L"\\");
    } else {
      ::SetFileAttributesW((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW((dir + name).c_str());
    }
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
}
}  // namespace

SmallDisk::SmallDisk() {
  const char* disk = std::getenv("HALVIX_SMALL_DISK");
  if (!disk || !*disk) return;
  ready_ = DefineDrive(kLetter, DRIVE_FIXED, disk) &&
           ::GetFileAttributesW(root().c_str()) != INVALID_FILE_ATTRIBUTES;
  if (ready_) EmptyFolder(root());
}

SmallDisk::~SmallDisk() {
  if (!ready_) return;
  EmptyFolder(root());
  DefineDrive(kLetter, DRIVE_FIXED, nullptr);
}

bool SmallDisk::FillSpace() {
  HANDLE f = ::CreateFileW((root() + L"filler").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  ::SetFilePointer(f, 0, nullptr, FILE_END);
  std::string block(1 << 20, 'F');
  for (;;) {
    DWORD put = 0;
    if (!::WriteFile(f, block.data(), (DWORD)block.size(), &put, nullptr) || put == 0) break;
  }
  ::CloseHandle(f);
  // Full when not one more byte goes into a new file.
  HANDLE probe = ::CreateFileW((root() + L"probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return true;
  DWORD put = 0;
  bool full = !::WriteFile(probe, "x", 1, &put, nullptr) || put == 0;
  ::CloseHandle(probe);
  ::DeleteFileW((root() + L"probe").c_str());
  return full;
}

bool SmallDisk::FillEntries() {
  const std::wstring dir = root() + L"entries\\";
  if (!::CreateDirectoryW(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  for (int i = 0; i < 100000; ++i) {
    HANDLE f = ::CreateFileW((dir + std::to_wstring(i)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      ::CloseHandle(f);
      continue;
    }
    if (::GetLastError() == ERROR_FILE_EXISTS) continue;
    // Full when the root takes no new file either.
    HANDLE probe = ::CreateFileW((root() + L"probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return true;
    ::CloseHandle(probe);
    ::DeleteFileW((root() + L"probe").c_str());
    return false;
  }
  return false;
}

void SmallDisk::Free() {
  ::DeleteFileW((root() + L"filler").c_str());
  RemoveTree(root() + L"entries\\");
}

}  // namespace testsupport
