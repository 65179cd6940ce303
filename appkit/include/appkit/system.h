// Facts about the running system that several programs branch on.
#pragma once
#include <windows.h>

namespace appkit {

// The Windows 9x family: GetVersion's high bit is set there (and under
// Wine when the program's version is set to "win98").
inline bool IsWindows9x() { return (::GetVersion() & 0x80000000u) != 0; }

}  // namespace appkit
