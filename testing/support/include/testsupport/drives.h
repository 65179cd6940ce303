// Drives a test defines in its own Wine prefix at run time, through Wine's
// mount manager: a folder of the host as a drive of the given type (fixed,
// removable, network, CD-ROM), in effect at once for every process of the
// prefix.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// Defines `letter` (lower case) as a drive of `type` (DRIVE_FIXED,
// DRIVE_CDROM, ...) on the host folder `unixFolder`; with a null folder the
// drive is removed. False when the mount manager refuses.
bool DefineDrive(wchar_t letter, UINT type, const char* unixFolder);

// The host path of a Windows path of this prefix (Wine's own conversion);
// empty when there is none.
std::string UnixPathOf(const std::wstring& path);

}  // namespace testsupport
