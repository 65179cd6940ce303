#include "appkit/msgbox.h"

#include "appkit/text.h"

namespace appkit {

int MessageBoxText(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

int MessageBoxId(HWND owner, UINT id, HINSTANCE res, const std::wstring& caption, UINT type) {
  return MessageBoxText(owner, LoadStr(id, res), caption, type);
}

}  // namespace appkit
