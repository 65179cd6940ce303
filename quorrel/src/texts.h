// The server's texts: its string table, taken from the resource library
// when one is loaded, else from the module itself.
#pragma once
#include <windows.h>

#include <string>

namespace quorrel {

// Where Str looks: `resources` first (may be null), then `module`. Null
// for both: the program's own string table.
void SetTextModules(HINSTANCE resources, HMODULE module);
// A string of the module's string table ("" when it has none of that id).
std::string Str(UINT id);

}  // namespace quorrel
