#include "infoclient/listbox.h"

#include <algorithm>
#include <cwchar>

#include "appkit/registry.h"
#include "infoclient/listbox_ids.h"
#include "infofile/infofile.h"

namespace ctlfw {

// ---- Rules -----------------------------------------------------------------

int ClampRegistryFontHeight(long long value) {
  return value >= 12 && value <= 20 ? (int)value : kDefaultFontHeight;
}

int ClampRegistryFontWeight(long long value) {
  return value >= 300 && value <= 800 ? (int)value : kDefaultFontWeight;
}

ListFontSpec ReadListFontSpec(const std::wstring& makerKey) {
  ListFontSpec spec;
  appkit::RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, makerKey, KEY_READ)) return spec;
  DWORD v = 0;
  if (key.GetDword(L"Font_Height", &v)) spec.height = ClampRegistryFontHeight((int)v);
  if (key.GetDword(L"Font_Weight", &v)) spec.weight = ClampRegistryFontWeight((int)v);
  std::wstring face;
  if (key.GetString(L"Font_Type", &face) && !face.empty()) {
    // The value is read into a 256-byte buffer: longer names are cut there.
    if (face.size() > 255) face.resize(255);
    spec.face = face;
  }
  return spec;
}

ListFontSpec ApplyListFont(ListFontSpec spec, int height, int weight, const wchar_t* face) {
  if (height > 7) spec.height = height;
  if (weight > 200) spec.weight = weight;
  if (face) spec.face = face;
  return spec;
}

int HeadingLevel(const std::wstring& text) { return infofile::HeadingLevel(text); }

int MeasuredItemHeight(const std::wstring& text, int fontHeight) {
  int h = fontHeight;
  if (text.size() < 256) {
    int level = HeadingLevel(text);
    if (level == 1) h += 2;
    else if (level == 2) h += 5;
  }
  return h;
}

std::vector<int> TabPixels(const int* stops, int count, int aveCharWidth) {
  std::vector<int> px;
  int n = std::min(kMaxTabStops, count);
  for (int i = 0; i < n; ++i) px.push_back(stops[i] * aveCharWidth / 4);
  return px;
}

CheckState CheckStateOf(LRESULT data) {
  if (data == LB_ERR || !(data & kItemCheckable)) return CheckState::Plain;
  if (data & kItemChecked) return (data & kItemLocked) ? CheckState::CheckedLocked : CheckState::Checked;
  return (data & kItemDisabled) ? CheckState::UncheckedDisabled : CheckState::Unchecked;
}

CheckVisual CheckVisualOf(CheckState state) {
  switch (state) {
    case CheckState::CheckedLocked: return {IDB_CHECK_LOCKED, L"+", false};
    case CheckState::Checked: return {IDB_CHECK_CHECKED, L"+", false};
    case CheckState::UncheckedDisabled: return {IDB_CHECK_DISABLED, L"+", true};
    case CheckState::Unchecked: return {IDB_CHECK_UNCHECKED, L"-", false};
    case CheckState::Plain: break;
  }
  return {0, L"", false};
}

ClickAction ClickActionOf(CheckState state) {
  switch (state) {
    case CheckState::CheckedLocked: return ClickAction::Beep;
    case CheckState::Checked: return ClickAction::AskUncheck;
    case CheckState::Unchecked: return ClickAction::AskCheck;
    default: return ClickAction::None;
  }
}

namespace {

// An item's text by its length and text messages (a list box's or a combo
// box's; both answer -1 as their error), refused when not shorter than
// `maxChars`.
bool ItemText(HWND box, UINT lengthMsg, UINT textMsg, int index, std::wstring* text, size_t maxChars) {
  if (!box || index < 0) return false;
  LRESULT n = ::SendMessageW(box, lengthMsg, index, 0);
  if (n < 0 || (size_t)n >= maxChars) return false;
  std::vector<wchar_t> buf((size_t)n + 1, L'\0');
  LRESULT got = ::SendMessageW(box, textMsg, index, reinterpret_cast<LPARAM>(buf.data()));
  if (got < 0) return false;
  text->assign(buf.data(), (size_t)std::min(got, n));
  return true;
}

}  // namespace

bool ListItemText(HWND list, int index, std::wstring* text, size_t maxChars) {
  return ItemText(list, LB_GETTEXTLEN, LB_GETTEXT, index, text, maxChars);
}

bool ComboItemText(HWND combo, int index, std::wstring* text, size_t maxChars) {
  return ItemText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, index, text, maxChars);
}

bool ReflectOwnerDraw(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MEASUREITEM) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
    if (!mis || mis->CtlType != ODT_LISTBOX) return false;
    auto* list = dynamic_cast<CInfoListBox*>(appkit::Window::FromHandle(::GetDlgItem(dialog, (int)mis->CtlID)));
    if (!list) return false;
    list->MeasureItem(mis);
    return true;
  }
  if (msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (!dis || dis->CtlType != ODT_LISTBOX) return false;
    auto* list = dynamic_cast<CInfoListBox*>(appkit::Window::FromHandle(dis->hwndItem));
    if (!list) return false;
    list->DrawItem(dis);
    return true;
  }
  return false;
}

BOOL DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int cx, int cy) {
  if (!bitmap) return FALSE;
  HDC mem = ::CreateCompatibleDC(dc);
  if (!mem) return FALSE;
  BOOL ok = FALSE;
  HGDIOBJ old = ::SelectObject(mem, bitmap);
  if (old) {
    ::BitBlt(dc, x, y, cx, cy, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ok = TRUE;
  }
  ::DeleteDC(mem);
  return ok;
}

// ---- CInfoListBox ----------------------------------------------------------

CInfoListBox::CInfoListBox(const std::wstring& makerKey) : font_(ReadListFontSpec(makerKey)) { CreateFonts(); }

CInfoListBox::~CInfoListBox() { DeleteFonts(); }

bool CInfoListBox::Attach(HWND dialog, int id) {
  if (hwnd()) return false;
  return Subclass(::GetDlgItem(dialog, id));
}

void CInfoListBox::DeleteFonts() {
  // [0] is a stock object.
  for (int i = 1; i < 4; ++i)
    if (fonts_[i]) ::DeleteObject(fonts_[i]);
  for (HFONT& f : fonts_) f = nullptr;
}

void CInfoListBox::CreateFonts() {
  DeleteFonts();
  fonts_[0] = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  const int heights[4] = {0, font_.height + 1, font_.height + 2, font_.height};
  for (int i = 1; i < 4; ++i) {
    LOGFONTW lf{};
    lf.lfHeight = heights[i];
    lf.lfWeight = font_.weight;
    lf.lfQuality = PROOF_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    wcsncpy(lf.lfFaceName, font_.face.c_str(), LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
    fonts_[i] = ::CreateFontIndirectW(&lf);
  }
}

BOOL CInfoListBox::SetTabStops(int count, const int* positions) {
  tabCount_ = count;
  int n = std::min(count, kMaxTabStops);
  for (int i = 0; i < n && positions; ++i) tabs_[i] = positions[i];
  return TRUE;
}

void CInfoListBox::SetListFont(int height, int weight, const wchar_t* face) {
  font_ = ApplyListFont(font_, height, weight, face);
  CreateFonts();
}

void CInfoListBox::MeasureItem(MEASUREITEMSTRUCT* mis) {
  mis->itemHeight = font_.height;
  std::wstring text;
  if ((int)mis->itemID >= 0 && ListItemText(hwnd(), (int)mis->itemID, &text, 256))
    mis->itemHeight = MeasuredItemHeight(text, font_.height);
}

int CInfoListBox::DrawLine(HDC dc, const RECT& item, const std::wstring& line, int offset) {
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  int level = HeadingLevel(line);
  const wchar_t* text = line.c_str() + (level ? 2 : 0);
  int len = (int)line.size() - (level ? 2 : 0);
  HFONT font = fonts_[level];
  HGDIOBJ oldFont = font ? ::SelectObject(dc, font) : nullptr;
  std::vector<int> tabs = TabPixels(tabs_, tabCount_, tm.tmAveCharWidth);
  LONG size = ::TabbedTextOutW(dc, item.left + offset, item.top, text, len, (int)tabs.size(),
                               tabs.empty() ? nullptr : tabs.data(), item.left);
  int w = LOWORD(size);
  HBRUSH brush = static_cast<HBRUSH>(::GetCurrentObject(dc, OBJ_BRUSH));
  RECT right{item.left + w + offset, item.top, item.right, item.bottom};
  if (right.left < right.right) ::FillRect(dc, &right, brush);
  if (!defaultErase_) {
    RECT below{item.left, item.top + tm.tmHeight + tm.tmExternalLeading, w + 1, item.bottom};
    if (below.left < below.right && below.top < below.bottom) ::FillRect(dc, &below, brush);
  }
  if (::SendMessageW(hwnd(), LB_GETHORIZONTALEXTENT, 0, 0) < w) ::SendMessageW(hwnd(), LB_SETHORIZONTALEXTENT, w, 0);
  if (oldFont) ::SelectObject(dc, oldFont);
  return w;
}

void CInfoListBox::DrawItem(const DRAWITEMSTRUCT* dis) {
  if ((int)dis->itemID < 0 || dis->itemAction != ODA_DRAWENTIRE) return;
  std::wstring text;
  if (!ListItemText(hwnd(), (int)dis->itemID, &text, kMaxDrawnText + 1)) return;
  DrawLine(dis->hDC, dis->rcItem, text, 1);
}

void CInfoListBox::EraseBelowLastItem(HDC dc) {
  LRESULT count = ::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0);
  if (count == LB_ERR || count <= 0) return;
  RECT last{};
  if (::SendMessageW(hwnd(), LB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last)) == LB_ERR) return;
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  if (last.bottom >= client.bottom) return;
  RECT band{0, last.bottom + font_.height, client.right, client.bottom};
  if (band.top < band.bottom) ::FillRect(dc, &band, static_cast<HBRUSH>(::GetCurrentObject(dc, OBJ_BRUSH)));
}

LRESULT CInfoListBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    if (defaultErase_) return Default(msg, wp, lp);
    EraseBelowLastItem(reinterpret_cast<HDC>(wp));
    return TRUE;
  }
  if (msg == WM_COMMAND && wp == kSetDefaultErase) {
    defaultErase_ = (int)lp;
    return TRUE;
  }
  return Default(msg, wp, lp);
}

// ---- CTestListBox ----------------------------------------------------------

namespace {
constexpr int kPictureSize = 16;
constexpr int kCheckTextOffset = 17;
const int kBitmapIds[4] = {IDB_CHECK_LOCKED, IDB_CHECK_CHECKED, IDB_CHECK_DISABLED, IDB_CHECK_UNCHECKED};
}  // namespace

CTestListBox::CTestListBox(HINSTANCE resources, const std::wstring& makerKey, const UINT pictureIds[4])
    : CInfoListBox(makerKey) {
  // The pictures are kept by the framework's ids; a control may bring them
  // under ids of its own.
  for (int i = 0; i < 4; ++i) {
    UINT id = pictureIds ? pictureIds[i] : (UINT)kBitmapIds[i];
    bitmaps_[i] = resources ? ::LoadBitmapW(resources, MAKEINTRESOURCEW(id)) : nullptr;
  }
}

CTestListBox::~CTestListBox() {
  for (HBITMAP b : bitmaps_)
    if (b) ::DeleteObject(b);
}

HBITMAP CTestListBox::BitmapFor(int id) const {
  for (int i = 0; i < 4; ++i)
    if (kBitmapIds[i] == id) return bitmaps_[i];
  return nullptr;
}

void CTestListBox::DrawItem(const DRAWITEMSTRUCT* dis) {
  if ((int)dis->itemID < 0 || dis->itemAction != ODA_DRAWENTIRE) return;
  std::wstring text;
  if (!ListItemText(hwnd(), (int)dis->itemID, &text, kMaxDrawnText + 1)) return;
  HDC dc = dis->hDC;
  ::SetTextColor(dc, RGB(0, 0, 0));
  CheckState state = CheckStateOf(::SendMessageW(hwnd(), LB_GETITEMDATA, dis->itemID, 0));
  if (state == CheckState::Plain) {
    DrawLine(dc, dis->rcItem, text, 1);
    return;
  }
  CheckVisual visual = CheckVisualOf(state);
  if (visual.grey) ::SetTextColor(dc, RGB(128, 128, 128));
  if (!DrawBitmap(dc, BitmapFor(visual.bitmapId), dis->rcItem.left + 1, dis->rcItem.top, kPictureSize, kPictureSize))
    ::TextOutW(dc, dis->rcItem.left + 1, dis->rcItem.top, visual.text, (int)wcslen(visual.text));
  DrawLine(dc, dis->rcItem, text, kCheckTextOffset);
}

void CTestListBox::Click(POINT pt) {
  HWND parent = ::GetParent(hwnd());
  if (!parent) return;
  LRESULT count = ::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0);
  for (int i = 0; count != LB_ERR && i < count; ++i) {
    RECT r{};
    if (::SendMessageW(hwnd(), LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)) == LB_ERR || !::PtInRect(&r, pt))
      continue;
    LRESULT data = ::SendMessageW(hwnd(), LB_GETITEMDATA, i, 0);
    switch (ClickActionOf(CheckStateOf(data))) {
      case ClickAction::Beep:
        ::MessageBeep(MB_ICONHAND);
        break;
      case ClickAction::AskUncheck:
        if (::SendMessageW(parent, WM_COMMAND, kAskUncheck, -(LPARAM)i))
          ::SendMessageW(hwnd(), LB_SETITEMDATA, i, data & ~kItemChecked);
        break;
      case ClickAction::AskCheck:
        if (::SendMessageW(parent, WM_COMMAND, kAskCheck, -(LPARAM)i))
          ::SendMessageW(hwnd(), LB_SETITEMDATA, i, data | kItemChecked);
        else
          ::MessageBeep(MB_ICONHAND);
        break;
      case ClickAction::None:
        break;
    }
    ::InvalidateRect(hwnd(), &r, TRUE);
    break;
  }
}

LRESULT CTestListBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONUP) {
    if (!::GetParent(hwnd())) return 0;
    Click(POINT{(short)LOWORD(lp), (short)HIWORD(lp)});
    return Default(msg, wp, lp);
  }
  return CInfoListBox::WndProc(msg, wp, lp);
}

}  // namespace ctlfw
