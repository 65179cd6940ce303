// Paths of the running module and of the files beside it.
#pragma once
#include <windows.h>
#include <string>

namespace appkit {

// Full path of a loaded module (nullptr: the program).
std::wstring ModulePath(HMODULE module = nullptr);
// Directory of a module's file, with a trailing backslash.
std::wstring ModuleDir(HMODULE module = nullptr);
// File name part of a path ("C:\a\b.mod" -> "b.mod").
std::wstring FileNamePart(const std::wstring& path);
// Everything up to and including the last backslash (empty without one).
std::wstring DirectoryPart(const std::wstring& path);
// Path without its last `n` characters, used to swap an extension.
std::wstring ReplaceTail(const std::wstring& path, size_t n, const std::wstring& tail);
bool FileExists(const std::wstring& path);
// The Windows and system directories, without a trailing backslash ("" when
// the system does not give one that fits MAX_PATH).
std::wstring WindowsDir();
std::wstring SystemDir();
// The handle of the module that contains this code (exe or dll).
HMODULE ThisModule();

}  // namespace appkit
