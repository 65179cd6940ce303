// CBenchResultsDlg: the results of the last series beside a reference
// system, scored against the default values; the HTML report; and the
// dialogs it opens.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdlib>

#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "stress/benchdialogs.h"
#include "stress/dialogs.h"

namespace stress {
namespace {

// The icons of the seven row kinds: a small coloured square each.
HIMAGELIST MakeKindImages() {
  const COLORREF colours[] = {RGB(192, 192, 192), RGB(200, 40, 40), RGB(40, 120, 200), RGB(200, 140, 20),
                              RGB(120, 60, 160), RGB(20, 150, 80), RGB(230, 200, 0)};
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24, 7, 0);
  HDC screen = ::GetDC(nullptr);
  for (COLORREF c : colours) {
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    RECT all{0, 0, 16, 16}, inner{2, 2, 14, 14};
    ::FillRect(dc, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    HBRUSH b = ::CreateSolidBrush(c);
    ::FillRect(dc, &inner, b);
    ::DeleteObject(b);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ImageList_Add(list, bmp, nullptr);
    ::DeleteObject(bmp);
  }
  ::ReleaseDC(nullptr, screen);
  return list;
}

bool IsWindowsNT() { return (::GetVersion() & 0x80000000u) == 0; }

ChartScales ScalesOf(const StressSettings& s) {
  ChartScales c;
  c.dhrystone = s.maxDhrystone;
  c.whetstone = s.maxWhetstone;
  c.memRead = s.maxMemRead;
  c.memWrite = s.maxMemWrite;
  c.diskTransfer = s.maxHarddiskTransferRate;
  c.diskAccess = s.maxHarddiskRead;
  c.cdromTransfer = s.maxCDROMTransferRate;
  c.videoSpeed = s.maxVideoSpeed;
  c.index = s.maxIndex;
  return c;
}

}  // namespace

CBenchResultsDlg::CBenchResultsDlg(const StressSettings& settings, const std::wstring& resultsFile,
                                   const std::wstring& title)
    : appkit::Dialog(IDD_BENCH_RESULTS, StressResources()),
      settings_(settings),
      resultsFile_(resultsFile),
      title_(title),
      windowsNT_(IsWindowsNT()),
      rows_(ResultRows(windowsNT_)) {
  refPath_ = settings.bnhRefFileName.empty() ? settings.dataDir + L"bnchref.bnh" : settings.bnhRefFileName;
}

BOOL CBenchResultsDlg::OnInit() {
  if (!title_.empty()) ::SetWindowTextW(hwnd(), title_.c_str());
  HWND list = Item(IDC_RESULTS_TABLE);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  images_ = MakeKindImages();
  ListView_SetImageList(list, images_, LVSIL_SMALL);
  const std::wstring titles[] = {L" ", StressString(IDS_COL_THIS_SYSTEM), StressString(IDS_COL_REF_SYSTEM)};
  const int widths[] = {170, 190, 190};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(titles[i].c_str());
    col.cx = widths[i];
    col.iSubItem = i;
    ListView_InsertColumn(list, i, &col);
  }
  for (size_t r = 0; r < rows_.size(); ++r) {
    std::wstring label = appkit::Widen(rows_[r].label);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = (int)r;
    item.pszText = const_cast<wchar_t*>(label.c_str());
    item.iImage = rows_[r].image;
    item.lParam = 0;
    ListView_InsertItem(list, &item);
  }
  SetItemText(IDC_SCORE_LABEL, StressString(IDS_SCORE_FOR) + L" " + StressString(IDS_COL_THIS_SYSTEM));
  LoadResultFile(settings_.dataDir + L"bnchdflt.dat", 0);
  LoadResultFile(resultsFile_, 1);
  WriteHtmlReport();
  LoadResultFile(refPath_, 2);
  return TRUE;
}

void CBenchResultsDlg::OnDestroy() {
  if (images_) ImageList_Destroy(images_);
  images_ = nullptr;
}

std::wstring CBenchResultsDlg::Cell(int row, int column) const {
  wchar_t buf[300] = {};
  ListView_GetItemText(Item(IDC_RESULTS_TABLE), row, column, buf, 299);
  return buf;
}

void CBenchResultsDlg::LoadResultFile(const std::wstring& path, int column) {
  HWND list = Item(IDC_RESULTS_TABLE);
  if (column == 1 || column == 2) {
    for (size_t r = 0; r < rows_.size(); ++r) ListView_SetItemText(list, (int)r, column, const_cast<wchar_t*>(L""));
    if (column == 1) SetItemText(IDC_SCORE, L"");
  }
  std::string bytes;
  if (!ReadSmallFile(path, &bytes)) {
    if (column == 0) defaults_.assign(rows_.size(), 0);
    return;
  }
  std::vector<std::string> lines = ResultLines(bytes);
  auto trace = [](const std::string& text) { ::OutputDebugStringA(text.c_str()); };
  if (column == 0) {
    defaults_ = ReadDefaults(lines, rows_, trace);
    for (size_t r = 0; r < rows_.size(); ++r) {
      LVITEMW item{};
      item.mask = LVIF_PARAM;
      item.iItem = (int)r;
      item.lParam = defaults_[r];
      ListView_SetItem(list, &item);
    }
    return;
  }
  ResultColumn c = ReadResults(lines, rows_, defaults_, trace);
  for (size_t r = 0; r < rows_.size(); ++r) {
    std::wstring text = appkit::Widen(c.cells[r]);
    ListView_SetItemText(list, (int)r, column, const_cast<wchar_t*>(text.c_str()));
  }
  if (column == 1) SetItemText(IDC_SCORE, appkit::Widen(c.score));
}

void CBenchResultsDlg::WriteHtmlReport() {
  const std::wstring tmpl = settings_.dataDir + (windowsNT_ ? L"temp_nt.htm" : L"temp_w95.htm");
  std::string bytes;
  if (!ReadSmallFile(tmpl, &bytes) || resultsFile_.size() < 4) return;
  std::vector<std::string> cells;
  for (size_t r = 0; r < rows_.size(); ++r) cells.push_back(appkit::Narrow(Cell((int)r, 1)));
  std::string html = HtmlReport(ResultLines(bytes), cells);
  // Text mode: line ends on disk are CR LF. The report takes the old one's
  // place only when whole.
  std::wstring path = resultsFile_.substr(0, resultsFile_.size() - 4) + L".htm";
  appkit::WriteFileWhole(path, appkit::WithCrLf(html));
}

bool CBenchResultsDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_PRINT:
      Print();
      return true;
    case IDC_CHANGE_REF:
      ChangeReference();
      return true;
    case IDC_BENCH_HELP:
      if (settings_.openHelp) settings_.openHelp(settings_.dataDir + L"HELP\\DGBNCH.HTM");
      return true;
    case IDC_OPEN_DETAILS:
      OpenDetails((int)(INT_PTR)ctl);
      return true;
    case IDC_BAR_CHART: {
      CBenchChartDlg chart(*this, ScalesOf(settings_), images_);
      chart.DoModal(hwnd());
      return true;
    }
    default:
      return appkit::Dialog::OnCommand(id, code, ctl);
  }
}

LRESULT CBenchResultsDlg::OnNotify(NMHDR* hdr) {
  if (hdr->idFrom == IDC_RESULTS_TABLE && hdr->code == LVN_COLUMNCLICK) {
    int column = reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem;
    // Opened once the click is over.
    if (column == 1 || column == 2) ::PostMessageW(hwnd(), WM_COMMAND, IDC_OPEN_DETAILS, column);
  }
  return 0;
}

void CBenchResultsDlg::OpenDetails(int column) {
  CBenchDetailsDlg details(column, column == 1 ? resultsFile_ : refPath_, settings_.dataDir);
  details.DoModal(hwnd());
  LoadResultFile(resultsFile_, 1);
  LoadResultFile(refPath_, 2);
}

void CBenchResultsDlg::ChangeReference() {
  wchar_t file[MAX_PATH] = {};
  wcsncpy(file, refPath_.c_str(), MAX_PATH - 1);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = hwnd();
  ofn.lpstrFilter = L"*.bnh\0*.bnh\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"BNH";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!::GetOpenFileNameW(&ofn)) return;
  refPath_ = file;
  if (settings_.storeRefFile) settings_.storeRefFile(refPath_);
  LoadResultFile(refPath_, 2);
}

void CBenchResultsDlg::Print() {
  wchar_t caption[256] = {};
  ::GetWindowTextW(hwnd(), caption, 255);
  PRINTDLGW pd{};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = hwnd();
  pd.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
  if (!::PrintDlgW(&pd) || !pd.hDC) return;
  HDC dc = pd.hDC;
  // A fixed-pitch font of the dialog's font height.
  LOGFONTW dialogFont{};
  ::GetObjectW((HFONT)::SendMessageW(hwnd(), WM_GETFONT, 0, 0), sizeof dialogFont, &dialogFont);
  int points = dialogFont.lfHeight ? std::abs(dialogFont.lfHeight) * 72 / 96 : 8;
  HFONT font = ::CreateFontW(-::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH | FF_MODERN, L"Courier New");
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  const int lineHeight = tm.tmHeight + tm.tmExternalLeading;
  const int width = ::GetDeviceCaps(dc, HORZRES), height = ::GetDeviceCaps(dc, VERTRES);
  const int columnX[3] = {0, width / 5 + width / 40, width * 3 / 5 + width / 40};
  // Each cell wraps before the next column begins (a label as wide as 2/8
  // of the page would run into the figure beside it), a blank apart.
  const int gap = tm.tmAveCharWidth;
  const int columnW[3] = {std::min(width * 2 / 8, columnX[1] - gap), std::min(width * 3 / 8, columnX[2] - columnX[1] - gap),
                          std::min(width * 3 / 8, width - columnX[2])};
  DOCINFOW di{};
  di.cbSize = sizeof(di);
  di.lpszDocName = caption;
  if (::StartDocW(dc, &di) > 0) {
    int page = 0, y = height;
    bool failed = false;
    auto newPage = [&]() {
      if (page > 0 && ::EndPage(dc) <= 0) return false;
      if (++page > 49 || ::StartPage(dc) <= 0) return false;
      ::SelectObject(dc, font);
      std::wstring head = appkit::Format(L"Page %d  %s", page, caption);
      ::TextOutW(dc, 0, 0, head.c_str(), (int)head.size());
      const std::wstring titles[3] = {L" ", StressString(IDS_COL_THIS_SYSTEM), StressString(IDS_COL_REF_SYSTEM)};
      for (int c = 0; c < 3; ++c) ::TextOutW(dc, columnX[c], 2 * lineHeight, titles[c].c_str(), (int)titles[c].size());
      ::MoveToEx(dc, 0, 3 * lineHeight + lineHeight / 2, nullptr);
      ::LineTo(dc, width, 3 * lineHeight + lineHeight / 2);
      y = 4 * lineHeight;
      return true;
    };
    for (size_t r = 0; r < rows_.size() && !failed; ++r) {
      // Each cell wraps inside its column; the row is as tall as its tallest cell.
      std::wstring cells[3] = {Cell((int)r, 0), Cell((int)r, 1), Cell((int)r, 2)};
      int rowHeight = lineHeight;
      for (int c = 0; c < 3; ++c) {
        RECT rc{columnX[c], 0, columnX[c] + columnW[c], 0};
        ::DrawTextW(dc, cells[c].c_str(), -1, &rc, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
        rowHeight = std::max(rowHeight, (int)(rc.bottom - rc.top));
      }
      if (y + rowHeight > height && !newPage()) {
        failed = true;
        break;
      }
      for (int c = 0; c < 3; ++c) {
        RECT rc{columnX[c], y, columnX[c] + columnW[c], y + rowHeight};
        ::DrawTextW(dc, cells[c].c_str(), -1, &rc, DT_WORDBREAK | DT_NOPREFIX);
      }
      y += rowHeight;
    }
    if (failed || page == 0 || ::EndPage(dc) <= 0)
      ::AbortDoc(dc);
    else
      ::EndDoc(dc);
  }
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::DeleteDC(dc);
  if (pd.hDevMode) ::GlobalFree(pd.hDevMode);
  if (pd.hDevNames) ::GlobalFree(pd.hDevNames);
}

// ---- The bar chart ----------------------------------------------------------

CBenchChartDlg::CBenchChartDlg(CBenchResultsDlg& results, const ChartScales& scales, HIMAGELIST images)
    : appkit::Dialog(IDD_BENCH_CHART, StressResources()), results_(results), scales_(scales), images_(images) {}

BOOL CBenchChartDlg::OnInit() {
  HWND list = Item(IDC_BAR_LIST);
  bars_.Attach(list, images_, scales_);
  ::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)StressString(IDS_COL_THIS_SYSTEM).c_str());
  ::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)StressString(IDS_COL_REF_SYSTEM).c_str());
  const auto& rows = results_.rows();
  for (size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].image <= 0) continue;
    std::string item = ChartItem(rows[r].label, appkit::Narrow(results_.Cell((int)r, 1)),
                                 appkit::Narrow(results_.Cell((int)r, 2)), rows[r].image);
    ::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(item).c_str());
  }
  RECT rc;
  ::GetClientRect(hwnd(), &rc);
  ::MoveWindow(list, 0, 0, rc.right, rc.bottom, TRUE);
  return TRUE;
}

bool CBenchChartDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SIZE:
      if (HWND list = Item(IDC_BAR_LIST)) ::MoveWindow(list, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return false;
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (m->CtlID != IDC_BAR_LIST) return false;
      bars_.Measure(m);
      ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
      *result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (d->CtlID != IDC_BAR_LIST) return false;
      bars_.Draw(d);
      ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
      *result = TRUE;
      return true;
    }
  }
  return false;
}

CBarListBox::~CBarListBox() {
  if (list_) ::RemoveWindowSubclass(list_, SubclassProc, 1);
  if (green_) ::DeleteObject(green_);
  if (cyan_) ::DeleteObject(cyan_);
}

void CBarListBox::Attach(HWND list, HIMAGELIST images, const ChartScales& scales) {
  list_ = list;
  images_ = images;
  scales_ = scales;
  green_ = ::CreateSolidBrush(RGB(0, 255, 0));
  cyan_ = ::CreateSolidBrush(RGB(0, 255, 255));
  ::SetWindowSubclass(list, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CBarListBox::Measure(MEASUREITEMSTRUCT* m) const { m->itemHeight = m->itemID >= 2 ? 48 : 24; }

LRESULT CALLBACK CBarListBox::SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CBarListBox*>(data);
  if (msg == WM_COMMAND && wp == 101) {
    self->erase_ = lp != 0;
    return 0;
  }
  if (msg == WM_ERASEBKGND && !self->erase_) {
    // Only the area below the last item.
    RECT rc, last;
    ::GetClientRect(h, &rc);
    int n = (int)::SendMessageW(h, LB_GETCOUNT, 0, 0);
    if (n > 0 && ::SendMessageW(h, LB_GETITEMRECT, n - 1, (LPARAM)&last) != LB_ERR) rc.top = last.bottom;
    if (rc.top < rc.bottom) ::FillRect((HDC)wp, &rc, ::GetSysColorBrush(COLOR_WINDOW));
    return 1;
  }
  return ::DefSubclassProc(h, msg, wp, lp);
}

void CBarListBox::Draw(const DRAWITEMSTRUCT* d) {
  if (d->itemID == (UINT)-1 || !(d->itemAction & ODA_DRAWENTIRE)) return;
  int len = (int)::SendMessageW(list_, LB_GETTEXTLEN, d->itemID, 0);
  if (len == LB_ERR || len > 255) return;
  wchar_t text[256] = {};
  ::SendMessageW(list_, LB_GETTEXT, d->itemID, (LPARAM)text);
  if (!haveClient_) {
    ::GetClientRect(list_, &client_);
    haveClient_ = true;
  }
  HDC dc = d->hDC;
  RECT rc = d->rcItem;
  ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(0, 0, 0));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  const int th = tm.tmHeight;
  const int left = rc.left + 35;
  int widest = 0;
  if (d->itemID < 2) {
    SIZE sz{};
    ::GetTextExtentPoint32W(dc, text, (int)wcslen(text), &sz);
    ::TextOutW(dc, left, rc.top + 4, text, (int)wcslen(text));
    RECT box{left + sz.cx + 8, rc.top + 4, left + sz.cx + 8 + 3 * th, rc.top + 4 + th};
    ::FillRect(dc, &box, d->itemID == 0 ? green_ : cyan_);
    ::FrameRect(dc, &box, (HBRUSH)::GetStockObject(BLACK_BRUSH));
  } else {
    ChartRow row;
    if (SplitChartItem(appkit::Narrow(text), &row)) {
      if (images_ && row.image >= 0 && row.image <= 6)
        ImageList_Draw(images_, row.image, dc, rc.left + 8, rc.top + 4, ILD_NORMAL);
      double thisValue, refValue;
      std::string thisUnit, refUnit;
      ChartValue(row.thisText, &thisValue, &thisUnit);
      ChartValue(row.refText, &refValue, &refUnit);
      const bool score = row.image == 6;
      std::string label = row.label;
      const std::string& unit = !thisUnit.empty() ? thisUnit : refUnit;
      if (!score && !unit.empty()) label += " (" + unit + ")";
      std::wstring wl = appkit::Widen(label);
      ::TextOutW(dc, left, rc.top + 2, wl.c_str(), (int)wl.size());
      const int width = client_.right - 35;
      const double scale = FullScale(row.label, scales_);
      // The access time: the shorter time gets the longer bar.
      double thisLen = thisValue, refLen = refValue;
      if (row.label == "Fixed Disk Average Access Time" && thisValue > 0 && refValue > 0) {
        thisLen = refValue;
        refLen = thisValue;
      }
      struct Bar {
        double value, length;
        HBRUSH brush;
        int top;
      } bars[] = {{thisValue, thisLen, green_, rc.top + 4 + th}, {refValue, refLen, cyan_, rc.top + 4 + 2 * th}};
      for (const Bar& b : bars) {
        if (b.value > 0) {
          int length = BarLength(b.length, scale, width);
          RECT bar{left, b.top, left + length, b.top + th};
          ::FillRect(dc, &bar, b.brush);
          if (left + length > widest) widest = left + length;
          std::wstring v = appkit::Format(L"%.2f", b.value);
          ::TextOutW(dc, left + 2, b.top, v.c_str(), (int)v.size());
        } else if (b.brush == green_) {
          ::TextOutW(dc, left + 2, b.top, L"N/A", 3);
        }
      }
    }
  }
  ::SelectObject(dc, oldFont);
  if (widest > extent_) {
    extent_ = widest;
    ::SendMessageW(list_, LB_SETHORIZONTALEXTENT, extent_, 0);
  }
}

}  // namespace stress
