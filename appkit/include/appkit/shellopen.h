// The program of a file class's shell "open" command, as registered under
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
#pragma once
#include <windows.h>

#include <string>

namespace appkit {

// The program part of an open command: leading double quotes skipped, cut
// right after the first ".exe" (in any letter case); the whole text when it
// names no ".exe".
std::wstring ProgramOfOpenCommand(const std::wstring& command);
// Default value of HKLM SOFTWARE\Classes\<cls>\shell\open\command reduced to
// its program; empty when it cannot be read.
std::wstring ClassOpenProgram(const std::wstring& cls);
// The class name registered for a file extension (".htm"): the default value
// of HKLM SOFTWARE\Classes\<ext>; empty when none.
std::wstring ExtensionClass(const std::wstring& ext);

}  // namespace appkit
