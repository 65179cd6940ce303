// Files written whole: the new contents go to a temporary file in the
// target's folder, which takes the target's place only once it holds every
// byte. A write that fails (the disk full, no room for another file, the
// target held by another program or read-only) leaves the old file as it
// was and no temporary file behind. Files that grow by records (a log, the
// benchmark results) get whole records only: a record that does not fit is
// taken back.
#pragma once
#include <windows.h>

#include <string>

namespace appkit {

// Makes `bytes` the whole contents of `path`. False, with the system's error
// code in *error, when it could not; the old file is then unchanged.
bool WriteFileWhole(const std::wstring& path, const std::string& bytes, DWORD* error = nullptr);
// The same with the contents of the file `from` (a copy that either is
// complete or did not happen).
bool CopyFileWhole(const std::wstring& from, const std::wstring& path, DWORD* error = nullptr);

// Adds `bytes` at the end of the file `f` (open for writing): every byte or,
// when a write stops part way (the disk full), none, the file cut back to the
// length it had. False, with the system's error code in *error, when nothing
// was added.
bool AppendWhole(HANDLE f, const std::string& bytes, DWORD* error = nullptr);
// Cuts the file `f` back to `length` bytes (a record taken back).
bool CutBack(HANDLE f, LONGLONG length);

// CreateFileW for writing into `path` that refuses a read-only file
// (ERROR_ACCESS_DENIED) as Windows does, also where the system would let its
// owner write into it all the same (Wine run by root).
HANDLE CreateFileForWriting(const std::wstring& path, DWORD share, DWORD creation, DWORD flags);

}  // namespace appkit
