// Glavon's rules: which switch the command line holds, where the suite's
// folder is, and the driver calls an install or a removal makes.
#pragma once
#include <string>
#include <vector>

namespace glavon {

enum class Action { None, Install, Uninstall };

// Case-insensitive substring search of the whole command line; "/uninstall"
// wins over "/install" when both are present.
Action ParseAction(const std::wstring& commandLine);

// The folder of the file a "ModulePath" value names, with its trailing
// backslash; empty when the value is not a full path (a drive letter and
// colon, or "\\", followed by at least one backslash).
std::wstring FolderOfModulePath(const std::wstring& modulePath);

struct DriverCall {
  std::string service;   // service name of the driver
  std::string argument;  // the driver file's full path, or "remove"
};

// The calls of an action, in order. `folder` ends with a backslash.
std::vector<DriverCall> DriverCalls(Action action, const std::string& folder);

// Exit codes.
constexpr int kExitOk = 0;              // done, or nothing to do
constexpr int kExitNoLibrary = 2;       // the driver library or its entry is missing
constexpr int kExitDriverFailed = 3;    // at least one driver call failed

}  // namespace glavon
