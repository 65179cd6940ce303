#include "appkit/controlbars.h"

#include <cstring>

namespace appkit {

namespace {
const LPCWSTR kToolBarResourceType = MAKEINTRESOURCEW(241);

WORD WordAt(const BYTE* p, size_t i) {
  WORD w;
  std::memcpy(&w, p + i * 2, 2);
  return w;
}
DWORD DwordAt(const BYTE* p, size_t i) {
  DWORD d;
  std::memcpy(&d, p + i * 4, 4);
  return d;
}
}  // namespace

bool ParseToolBarResource(const void* data, size_t size, ToolBarResource* out) {
  const BYTE* p = static_cast<const BYTE*>(data);
  if (!p || size < 8) return false;
  ToolBarResource tb;
  if (WordAt(p, 0) == 1 && size >= 8 + static_cast<size_t>(WordAt(p, 3)) * 2) {
    // version 1, image width, image height, count, then one WORD a button.
    size_t count = WordAt(p, 3);
    tb.imageWidth = WordAt(p, 1);
    tb.imageHeight = WordAt(p, 2);
    for (size_t i = 0; i < count; ++i) tb.commands.push_back(WordAt(p, 4 + i));
  } else if (size >= 12 && DwordAt(p, 2) <= (size - 12) / 4 && size == 12 + DwordAt(p, 2) * 4) {
    // As GNU windres writes it: width, height, count and buttons as DWORDs.
    size_t count = DwordAt(p, 2);
    tb.imageWidth = static_cast<int>(DwordAt(p, 0));
    tb.imageHeight = static_cast<int>(DwordAt(p, 1));
    for (size_t i = 0; i < count; ++i) tb.commands.push_back(DwordAt(p, 3 + i));
  } else {
    return false;
  }
  if (tb.imageWidth <= 0 || tb.imageHeight <= 0 || tb.imageWidth > 256 || tb.imageHeight > 256) return false;
  *out = tb;
  return true;
}

ToolBar::~ToolBar() {
  Destroy();
  OnFinalDestroy();
}

void ToolBar::OnFinalDestroy() {
  if (images_) ::ImageList_Destroy(images_);
  images_ = nullptr;
}

bool ToolBar::Create(HWND parent, DWORD style, UINT id) {
  HWND h = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0,
                             0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
  if (!h) return false;
  ::SendMessageW(h, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (!Subclass(h)) {
    ::DestroyWindow(h);
    return false;
  }
  return true;
}

bool ToolBar::LoadToolBar(HINSTANCE res, UINT id, COLORREF mask) {
  HRSRC found = ::FindResourceW(res, MAKEINTRESOURCEW(id), kToolBarResourceType);
  HGLOBAL loaded = found ? ::LoadResource(res, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  ToolBarResource tb;
  if (!data || !ParseToolBarResource(data, ::SizeofResource(res, found), &tb)) return false;

  HIMAGELIST images = ::ImageList_LoadImageW(res, MAKEINTRESOURCEW(id), tb.imageWidth, 0, mask, IMAGE_BITMAP,
                                             LR_CREATEDIBSECTION);
  if (images) {
    Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(tb.imageWidth, tb.imageHeight));
    Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (images_) ::ImageList_Destroy(images_);
    images_ = images;
  }
  std::vector<TBBUTTON> buttons;
  int image = 0;
  for (UINT cmd : tb.commands) {
    TBBUTTON b{};
    if (cmd == 0) {
      b.fsStyle = BTNS_SEP;
    } else {
      b.iBitmap = image++;
      b.idCommand = static_cast<int>(cmd);
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = BTNS_BUTTON;
      b.iString = -1;
    }
    buttons.push_back(b);
  }
  while (ButtonCount() > 0) Send(TB_DELETEBUTTON, 0);
  if (!buttons.empty()) Send(TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  return true;
}

UINT ToolBar::CommandAt(int index) const {
  TBBUTTON b{};
  if (!Send(TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b))) return 0;
  return (b.fsStyle & BTNS_SEP) ? 0 : static_cast<UINT>(b.idCommand);
}

void ToolBar::SetButtonText(int index, const std::wstring& text) {
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
  info.pszText = const_cast<wchar_t*>(text.c_str());
  Send(TB_SETBUTTONINFOW, index, reinterpret_cast<LPARAM>(&info));
}

void ToolBar::SetSizes(SIZE button, SIZE image) {
  Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(image.cx, image.cy));
  Send(TB_SETBUTTONSIZE, 0, MAKELPARAM(button.cx, button.cy));
}

void ToolBar::Dock(Side side) {
  side_ = (side == kLeft || side == kRight || side == kBottom) ? side : kTop;
  const bool vertical = side_ == kLeft || side_ == kRight;
  LONG style = ::GetWindowLongW(hwnd(), GWL_STYLE);
  style = vertical ? (style | CCS_VERT) : (style & ~CCS_VERT);
  ::SetWindowLongW(hwnd(), GWL_STYLE, style);
  // One button a row when vertical.
  for (int i = 0; i < ButtonCount(); ++i) {
    TBBUTTON b{};
    if (!Send(TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b))) continue;
    BYTE state = vertical ? (b.fsState | TBSTATE_WRAP) : (b.fsState & ~TBSTATE_WRAP);
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STATE | TBIF_BYINDEX;
    info.fsState = state;
    Send(TB_SETBUTTONINFOW, i, reinterpret_cast<LPARAM>(&info));
  }
}

int ToolBar::Thickness() const {
  DWORD size = static_cast<DWORD>(Send(TB_GETBUTTONSIZE));
  const bool vertical = side_ == kLeft || side_ == kRight;
  return (vertical ? LOWORD(size) : HIWORD(size)) + 4;
}

bool StatusBar::Create(HWND parent, DWORD style, UINT id) {
  HWND h = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"", style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr),
                             nullptr);
  if (!h) return false;
  if (!Subclass(h)) {
    ::DestroyWindow(h);
    return false;
  }
  return true;
}

std::wstring StatusBar::Text() const {
  int len = LOWORD(Send(SB_GETTEXTLENGTHW, 0));
  std::wstring text(static_cast<size_t>(len) + 1, L'\0');
  Send(SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(len));
  return text;
}

int StatusBar::Height() const {
  RECT rc{};
  ::GetWindowRect(hwnd(), &rc);
  return rc.bottom - rc.top;
}

}  // namespace appkit
