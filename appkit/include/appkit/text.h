// Small string helpers: conversions between the ANSI strings that cross
// automation boundaries and the wide strings the UI uses, and printf-style
// formatting into std::wstring.
#pragma once
#include <windows.h>
#include <string>

namespace appkit {

std::wstring Widen(const std::string& s, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& s, UINT codePage = CP_ACP);
std::wstring Format(const wchar_t* fmt, ...);
// The system's text for an error code, without its trailing line end
// ("error N." when the system has none).
std::wstring SystemErrorText(unsigned long error);
std::string FormatA(const char* fmt, ...);
// `text` with every "\n" as CR LF, as a file written in text mode holds it.
std::string WithCrLf(const std::string& text);

// Text of a window (edit, static, title).
std::wstring WindowText(HWND hwnd);

// A string from the string table of `module` (nullptr: this program).
std::wstring LoadStr(UINT id, HINSTANCE module = nullptr);

}  // namespace appkit
