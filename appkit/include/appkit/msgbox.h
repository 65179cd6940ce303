// Message boxes with a caption chosen by the program; the text given or taken
// from a string table by id.
#pragma once
#include <windows.h>

#include <string>

namespace appkit {

int MessageBoxText(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
// `res`: the module whose string table holds `id` (nullptr: this program).
int MessageBoxId(HWND owner, UINT id, HINSTANCE res, const std::wstring& caption, UINT type);

}  // namespace appkit
