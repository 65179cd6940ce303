// Files written whole: the new contents go to a temporary file in the
// target's folder, which takes the target's place only once it holds every
// byte. A write that fails (the disk full, no room for another file, the
// target held by another program or read-only) leaves the old file as it
// was and no temporary file behind.
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

}  // namespace appkit
