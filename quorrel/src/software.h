// Installed software: KytSOFT.IFO. The display names of the programs that
// the system can uninstall, one a line, in the order of a sorted list box
// (the server window's hidden list, or one of the caller's thread).
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "infosink.h"

namespace quorrel {

// Where the uninstall entries live on every system.
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Value buffers of the entries (bytes, with the NUL) and the longest name
// read back from the list.
constexpr DWORD kSoftwareValueBuffer = 256;

// One entry's two values as the writer reads them: a value that is missing,
// longer than its buffer or not a string stays empty.
struct UninstallEntry {
  std::string displayName, uninstallString;
};
bool ReadUninstallEntry(HKEY parent, const char* subkey, UninstallEntry* entry);

// Mode 0 writes the category; any other mode writes nothing. The entries
// are the subkeys of `root`\`keyPath`. `sortedList` is a list box with
// LBS_SORT | LBS_HASSTRINGS, possibly of another thread (it is reached with
// bounded waits); without one the writer sorts in a list box of its own.
// When `stopping` answers true (the server closes) the list is given up and
// the file holds the heading alone.
void WriteSoftwareInfo(InfoSink& out, int mode, HWND sortedList, HKEY root, const char* keyPath,
                       const std::function<bool()>& stopping = {});
void WriteSoftwareInfo(InfoSink& out, int mode, HWND sortedList, const std::function<bool()>& stopping = {});

}  // namespace quorrel
