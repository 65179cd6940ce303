#include "report_list.h"

#include "appkit/text.h"
#include "infofile/infofile.h"

namespace tamblet {

std::wstring ClipboardText(const std::vector<std::wstring>& selected) {
  std::wstring text;
  for (const std::wstring& line : selected) {
    if (line.size() > 1 && infofile::BeginsWithHeadingMark(line)) text += infofile::HeadingText(line);
    else text += line;
    text += L"\r\n";
  }
  return text;
}

CReportListBox::CReportListBox() : selectionBrush_(::CreateSolidBrush(RGB(0, 0, 128))) {}

CReportListBox::~CReportListBox() {
  if (selectionBrush_) ::DeleteObject(selectionBrush_);
}

void CReportListBox::DrawItem(const DRAWITEMSTRUCT* dis) {
  if ((int)dis->itemID < 0 || !(dis->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return;
  std::wstring text;
  if (!ctlfw::ListItemText(hwnd(), (int)dis->itemID, &text, ctlfw::kMaxDrawnText + 1)) return;
  HDC dc = dis->hDC;
  bool selected = (dis->itemState & ODS_SELECTED) != 0;
  HBRUSH brush = selected ? selectionBrush_ : ::GetSysColorBrush(COLOR_WINDOW);
  ::FillRect(dc, &dis->rcItem, brush);
  // The rest of the row right of the text is filled with the DC's brush.
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  int oldMode = ::SetBkMode(dc, TRANSPARENT);
  COLORREF oldColour = ::SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
  int width = DrawLine(dc, dis->rcItem, text, 1);
  // Room beyond the longest line for the horizontal scroll bar to reach it.
  if (::SendMessageW(hwnd(), LB_GETHORIZONTALEXTENT, 0, 0) < width + 5)
    ::SendMessageW(hwnd(), LB_SETHORIZONTALEXTENT, width + 5, 0);
  ::SetTextColor(dc, oldColour);
  ::SetBkMode(dc, oldMode);
  ::SelectObject(dc, oldBrush);
}

std::vector<std::wstring> CReportListBox::Lines() const {
  std::vector<std::wstring> lines;
  LRESULT n = ::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0);
  for (int i = 0; n != LB_ERR && i < n; ++i) {
    std::wstring text;
    ctlfw::ListItemText(hwnd(), i, &text, ctlfw::kMaxDrawnText + 1);
    lines.push_back(text);
  }
  return lines;
}

bool CReportListBox::CopySelection() {
  std::vector<std::wstring> selected;
  LRESULT n = ::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0);
  for (int i = 0; n != LB_ERR && i < n; ++i) {
    if (::SendMessageW(hwnd(), LB_GETSEL, i, 0) <= 0) continue;
    std::wstring text;
    if (ctlfw::ListItemText(hwnd(), i, &text, 0x10000)) selected.push_back(text);
  }
  std::string text = appkit::Narrow(ClipboardText(selected));
  if (text.empty()) return false;
  // Another program (the system's own clipboard manager, taking the last
  // copy) can hold the clipboard for a moment: try again for up to 1 s.
  bool open = false;
  for (int tries = 0; !(open = ::OpenClipboard(hwnd())) && tries < 50; ++tries) ::Sleep(20);
  if (!open) return false;
  bool put = false;
  if (HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1)) {
    if (void* p = ::GlobalLock(block)) {
      memcpy(p, text.c_str(), text.size() + 1);
      ::GlobalUnlock(block);
      ::EmptyClipboard();
      put = ::SetClipboardData(CF_TEXT, block) != nullptr;
    }
    if (!put) ::GlobalFree(block);
  }
  ::CloseClipboard();
  return put;
}

LRESULT CReportListBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN && wp == 'C' && ::GetKeyState(VK_CONTROL) < 0) {
    CopySelection();
    return 0;
  }
  if (msg == WM_CHAR) return 0;
  return CInfoListBox::WndProc(msg, wp, lp);
}

}  // namespace tamblet
