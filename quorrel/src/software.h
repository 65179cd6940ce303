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
// When the list cannot be completed (its thread does not answer in time,
// it is gone, or `stopping` answers true because the server closes) the
// names are given up, `out` holds the heading alone and the result is
// false: that text is no listing of the machine's software. True when the
// text is whole (also for a missing Uninstall key, and for another mode).
bool WriteSoftwareInfo(InfoSink& out, int mode, HWND sortedList, HKEY root, const char* keyPath,
                       const std::function<bool()>& stopping = {});
bool WriteSoftwareInfo(InfoSink& out, int mode, HWND sortedList, const std::function<bool()>& stopping = {});

}  // namespace quorrel
