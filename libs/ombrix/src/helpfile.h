// The work behind CallBrowser and CallBrowser2, and the small rules it is
// made of (kept apart so that tests can check them with tables of cases).
#pragma once
#include <windows.h>

#include <string>

namespace ombrix {

// "X:\..." with at least four characters.
bool IsDrivePath(const std::wstring& path);
// A web or other address with a scheme ("http://...", "mailto:...");
// one-letter schemes are drive letters, not addresses.
bool IsWebAddress(const std::wstring& path);
// The directory part (with its last backslash) of the "ModulePath" value;
// empty when it has no backslash.
std::wstring SuiteDirFromModulePath(const std::wstring& modulePath);

struct AnchorSplit {
  std::wstring page;    // up to the last '#'
  std::wstring anchor;  // from the last '#' on (empty when none)
};
AnchorSplit SplitAnchor(const std::wstring& path);

// A command-line argument: in double quotes when it holds a blank.
std::wstring Quoted(const std::wstring& arg);

// Free or total bytes from the old per-cluster figures, without 32-bit overflow.
double DiskBytes(DWORD bytesPerSector, DWORD sectorsPerCluster, DWORD clusters);
// A 64-bit byte count given as its two halves.
double LargeBytes(DWORD low, DWORD high);

// The suite directory from HKCU Software\Qev\Halvix\Setting "ModulePath".
std::wstring SuiteDirectory();
// Short (8.3) form of an existing path, at most MAX_PATH characters; empty
// when it cannot be had.
std::wstring ShortPath(const std::wstring& path);
// Starts a command line as a detached process; true when it started.
bool StartDetached(const std::wstring& commandLine);

// Opens "help.txt" from the page's directory in Notepad. 1 when started.
int OpenHelpText(const std::wstring& path);
// Opens a page: the suite's help viewer, else the default browser, else
// (with `fallback`) "help.txt". 1 when a program was started.
int LaunchHelpFile(const std::wstring& path, bool fallback);

}  // namespace ombrix
