// Resource modules: an optional DLL beside a program or control that carries
// its localised strings and dialogs. When it is missing the module's own
// resources serve.
#pragma once
#include <windows.h>

#include <string>

namespace appkit {

// The resource module's path for a module file: its last four characters
// replaced by ".DLL". Empty when the path has fewer than five characters.
std::wstring ResourceModulePathFor(const std::wstring& modulePath);
// Loads a resource-only module as image resource; nullptr when it is missing
// or cannot be loaded.
HINSTANCE LoadResourceModule(const std::wstring& path);
// Frees a module from LoadResourceModule (nullptr is ignored).
void FreeResourceModule(HINSTANCE module);

}  // namespace appkit
