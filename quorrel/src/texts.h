// The server's texts and resources: its string table and pictures, taken
// from the resource library when one is loaded, else from the module
// itself, and its message boxes.
#pragma once
#include <windows.h>

#include <string>

namespace quorrel {

// Where Str looks: `resources` first (may be null), then `module`. Null
// for both: the program's own string table.
void SetTextModules(HINSTANCE resources, HMODULE module);
// A string of the module's string table ("" when it has none of that id).
std::string Str(UINT id);
// Where the server's dialogs and pictures come from: the resource library,
// else the module.
HINSTANCE ResourceInstance();
// The title of the server's message boxes.
void SetMessageBoxTitle(const std::string& title);
int ShowQuorrelMessage(const std::string& text, UINT type);
int ShowQuorrelMessageId(UINT id, UINT type);

}  // namespace quorrel
