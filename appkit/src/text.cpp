#include "appkit/text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace appkit {

std::wstring Widen(const std::string& s, UINT codePage) {
  if (s.empty()) return {};
  int n = ::MultiByteToWideChar(codePage, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring out(n, L'\0');
  ::MultiByteToWideChar(codePage, 0, s.data(), (int)s.size(), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& s, UINT codePage) {
  if (s.empty()) return {};
  int n = ::WideCharToMultiByte(codePage, 0, s.data(), (int)s.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  ::WideCharToMultiByte(codePage, 0, s.data(), (int)s.size(), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Format(const wchar_t* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = _vscwprintf(fmt, ap);
  va_end(ap);
  std::wstring out;
  if (n > 0) {
    std::vector<wchar_t> buf(n + 1);
    _vsnwprintf(buf.data(), buf.size(), fmt, ap2);
    out.assign(buf.data(), n);
  }
  va_end(ap2);
  return out;
}

std::string FormatA(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    std::vector<char> buf(n + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
    out.assign(buf.data(), n);
  }
  va_end(ap2);
  return out;
}

std::wstring WindowText(HWND hwnd) {
  int n = ::GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::vector<wchar_t> buf(n + 1);
  int got = ::GetWindowTextW(hwnd, buf.data(), n + 1);
  return std::wstring(buf.data(), got > 0 ? got : 0);
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char ch : text) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}

std::wstring LoadStr(UINT id, HINSTANCE module) {
  if (!module) module = ::GetModuleHandleW(nullptr);
  const wchar_t* p = nullptr;
  int n = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&p), 0);
  if (n <= 0 || !p) return {};
  return std::wstring(p, n);
}

std::wstring SystemErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring out = n && text ? std::wstring(text, n) : Format(L"error %lu.", error);
  if (text) ::LocalFree(text);
  while (!out.empty() && (out.back() == L'\r' || out.back() == L'\n' || out.back() == L' ')) out.pop_back();
  return out;
}

}  // namespace appkit
