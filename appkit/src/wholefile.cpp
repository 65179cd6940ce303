#include "appkit/wholefile.h"

#include <algorithm>

namespace appkit {

namespace {

bool Failed(DWORD code, DWORD* error) {
  if (error) *error = code ? code : ERROR_GEN_FAILURE;
  return false;
}

// A new empty file in the folder of `path`, named in *temp.
bool MakeFileBeside(const std::wstring& path, std::wstring* temp, DWORD* error) {
  size_t slash = path.find_last_of(L"\\/");
  std::wstring dir = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
  wchar_t name[MAX_PATH + 1] = {};
  if (!::GetTempFileNameW(dir.c_str(), L"new", 0, name)) return Failed(::GetLastError(), error);
  *temp = name;
  return true;
}

// Writes every byte at the file's position; 0, or the system's error code.
DWORD WriteAll(HANDLE f, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    DWORD chunk = (DWORD)std::min<size_t>(bytes.size() - done, 1 << 20);
    DWORD put = 0;
    if (!::WriteFile(f, bytes.data() + done, chunk, &put, nullptr)) return ::GetLastError();
    if (put == 0) return ERROR_DISK_FULL;
    done += put;
  }
  return 0;
}

void Discard(const std::wstring& temp) {
  ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(temp.c_str());
}

// Puts the finished file `temp` in the place of `path`, or discards it. A
// read-only target stays, as an overwrite of it would fail.
bool PutInPlace(const std::wstring& temp, const std::wstring& path, DWORD* error) {
  DWORD old = ::GetFileAttributesW(path.c_str());
  DWORD code = 0;
  if (old != INVALID_FILE_ATTRIBUTES && (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    code = ERROR_ACCESS_DENIED;
  else if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    code = ::GetLastError();
  if (code) {
    Discard(temp);
    return Failed(code, error);
  }
  return true;
}

}  // namespace

bool WriteFileWhole(const std::wstring& path, const std::string& bytes, DWORD* error) {
  std::wstring temp;
  if (!MakeFileBeside(path, &temp, error)) return false;
  HANDLE f = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD code = f == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  if (f != INVALID_HANDLE_VALUE) {
    code = WriteAll(f, bytes);
    // The bytes are on the disk before the file takes the old one's place.
    if (!code && !::FlushFileBuffers(f)) code = ::GetLastError();
    if (!::CloseHandle(f) && !code) code = ::GetLastError();
  }
  if (code) {
    Discard(temp);
    return Failed(code, error);
  }
  return PutInPlace(temp, path, error);
}

bool CopyFileWhole(const std::wstring& from, const std::wstring& path, DWORD* error) {
  std::wstring temp;
  if (!MakeFileBeside(path, &temp, error)) return false;
  if (!::CopyFileW(from.c_str(), temp.c_str(), FALSE)) {
    DWORD code = ::GetLastError();
    Discard(temp);
    return Failed(code, error);
  }
  return PutInPlace(temp, path, error);
}

bool CutBack(HANDLE f, LONGLONG length) {
  LARGE_INTEGER at{};
  at.QuadPart = length;
  return ::SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(f);
}

bool AppendWhole(HANDLE f, const std::string& bytes, DWORD* error) {
  LARGE_INTEGER zero{}, start{};
  if (!::SetFilePointerEx(f, zero, &start, FILE_END)) return Failed(::GetLastError(), error);
  DWORD code = WriteAll(f, bytes);
  if (!code) return true;
  CutBack(f, start.QuadPart);
  return Failed(code, error);
}

HANDLE CreateFileForWriting(const std::wstring& path, DWORD share, DWORD creation, DWORD flags) {
  DWORD old = ::GetFileAttributesW(path.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) && !(old & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, creation, flags, nullptr);
}

}  // namespace appkit
