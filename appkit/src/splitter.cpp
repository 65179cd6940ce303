#include "appkit/splitter.h"

#include <windowsx.h>

#include <algorithm>

namespace appkit {

namespace {
const wchar_t kSplitterClass[] = L"AppkitSplitter";

int At(const std::vector<int>& v, int i) { return i >= 0 && i < static_cast<int>(v.size()) ? v[i] : 0; }
}  // namespace

std::vector<int> SplitterSpans(const std::vector<int>& ideals, int total, int gap) {
  std::vector<int> spans(ideals.size(), 0);
  int pos = 0;
  total = std::max(total, 0);
  for (size_t i = 0; i < ideals.size(); ++i) {
    int room = std::max(total - pos, 0);
    spans[i] = (i + 1 == ideals.size()) ? room : std::min(std::max(ideals[i], 0), room);
    pos += spans[i] + gap;
  }
  return spans;
}

bool Splitter::CreateStatic(HWND parent, int rows, int cols, UINT id, DWORD style) {
  if (rows < 1 || cols < 1 || rows > 16 || cols > 16) return false;
  colIdeal_.assign(cols, 0);
  rowIdeal_.assign(rows, 0);
  colSize_.assign(cols, 0);
  rowSize_.assign(rows, 0);
  RECT rc{0, 0, 0, 0};
  if (parent) ::GetClientRect(parent, &rc);
  return Create(kSplitterClass, L"", style, 0, 0, 0, rc.right, rc.bottom, parent,
                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

void Splitter::SetColumnInfo(int col, int ideal) {
  if (col >= 0 && col < cols()) colIdeal_[col] = ideal;
}
void Splitter::SetRowInfo(int row, int ideal) {
  if (row >= 0 && row < rows()) rowIdeal_[row] = ideal;
}
int Splitter::ColumnIdeal(int col) const { return At(colIdeal_, col); }
int Splitter::RowIdeal(int row) const { return At(rowIdeal_, row); }
int Splitter::ColumnSize(int col) const { return At(colSize_, col); }
int Splitter::RowSize(int row) const { return At(rowSize_, row); }

void Splitter::RecalcLayout() {
  if (!hwnd()) return;
  RECT rc;
  ::GetClientRect(hwnd(), &rc);
  colSize_ = SplitterSpans(colIdeal_, rc.right, metrics_.gapX);
  rowSize_ = SplitterSpans(rowIdeal_, rc.bottom, metrics_.gapY);
  int y = 0;
  for (int r = 0; r < rows(); ++r) {
    int x = 0;
    for (int c = 0; c < cols(); ++c) {
      if (HWND pane = Pane(r, c)) {
        // A pane too small for its border collapses to nothing.
        int w = std::max(colSize_[c] - 2 * metrics_.borderX, 0);
        int h = std::max(rowSize_[r] - 2 * metrics_.borderY, 0);
        ::MoveWindow(pane, x + metrics_.borderX, y + metrics_.borderY, w, h, TRUE);
      }
      x += colSize_[c] + metrics_.gapX;
    }
    y += rowSize_[r] + metrics_.gapY;
  }
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

int Splitter::BarAt(POINT pt) const {
  // A bar's band is centred on the gap between two panes and at least as
  // wide as the gap.
  int pos = 0;
  for (int c = 0; c + 1 < cols(); ++c) {
    pos += colSize_[c];
    int mid = pos + metrics_.gapX / 2;
    int half = std::max(metrics_.barWidth, metrics_.gapX) / 2;
    if (pt.x >= mid - half && pt.x <= mid + half) return c;
    pos += metrics_.gapX;
  }
  pos = 0;
  for (int r = 0; r + 1 < rows(); ++r) {
    pos += rowSize_[r];
    int mid = pos + metrics_.gapY / 2;
    int half = std::max(metrics_.barHeight, metrics_.gapY) / 2;
    if (pt.y >= mid - half && pt.y <= mid + half) return cols() - 1 + r;
    pos += metrics_.gapY;
  }
  return -1;
}

void Splitter::OnLButtonDown(POINT pt) {
  int bar = BarAt(pt);
  if (bar < 0) return;
  trackBar_ = bar;
  // Where in the bar the press was, so that the bar does not jump.
  int start = 0;
  if (bar < cols() - 1) {
    for (int c = 0; c <= bar; ++c) start += colSize_[c] + (c < bar ? metrics_.gapX : 0);
    trackOffset_ = static_cast<int>(pt.x) - start;
  } else {
    int row = bar - (cols() - 1);
    for (int r = 0; r <= row; ++r) start += rowSize_[r] + (r < row ? metrics_.gapY : 0);
    trackOffset_ = static_cast<int>(pt.y) - start;
  }
  ::SetCapture(hwnd());
}

void Splitter::OnMouseMove(POINT pt) {
  if (!tracking()) {
    int bar = BarAt(pt);
    if (bar >= 0) ::SetCursor(::LoadCursorW(nullptr, bar < cols() - 1 ? IDC_SIZEWE : IDC_SIZENS));
    return;
  }
  // The pane before the bar takes the new size; the last one the rest.
  if (trackBar_ < cols() - 1) {
    int start = 0;
    for (int c = 0; c < trackBar_; ++c) start += colSize_[c] + metrics_.gapX;
    colIdeal_[trackBar_] = std::max(static_cast<int>(pt.x) - trackOffset_ - start, 0);
  } else {
    int row = trackBar_ - (cols() - 1);
    int start = 0;
    for (int r = 0; r < row; ++r) start += rowSize_[r] + metrics_.gapY;
    rowIdeal_[row] = std::max(static_cast<int>(pt.y) - trackOffset_ - start, 0);
  }
  RecalcLayout();
}

void Splitter::OnLButtonUp(POINT) {
  if (!tracking()) return;
  trackBar_ = -1;
  if (::GetCapture() == hwnd()) ::ReleaseCapture();
}

void Splitter::Paint(HDC dc) {
  if (metrics_.borderX <= 0 && metrics_.borderY <= 0) return;
  int y = 0;
  for (int r = 0; r < rows(); ++r) {
    int x = 0;
    for (int c = 0; c < cols(); ++c) {
      if (colSize_[c] > 0 && rowSize_[r] > 0) {
        RECT edge{x, y, x + colSize_[c], y + rowSize_[r]};
        ::DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
      }
      x += colSize_[c] + metrics_.gapX;
    }
    y += rowSize_[r] + metrics_.gapY;
  }
}

LRESULT Splitter::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      RecalcLayout();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      Paint(dc);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_SETCURSOR:
      // The bar's cursor is set as the mouse moves; elsewhere the arrow.
      if (reinterpret_cast<HWND>(wp) == hwnd() && LOWORD(lp) == HTCLIENT) {
        POINT pt;
        ::GetCursorPos(&pt);
        ::ScreenToClient(hwnd(), &pt);
        if (BarAt(pt) < 0) ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      OnLButtonDown(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_MOUSEMOVE:
      // A drag moves the bar only while the button is held: a move without
      // it (the system reports the pointer again when the capture changes)
      // leaves the bar where it is.
      if (tracking() && !(wp & MK_LBUTTON)) return 0;
      OnMouseMove(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_NOTIFY:
      // A control pane's notifications go back to it (its view handles them).
      if (auto* hdr = reinterpret_cast<NMHDR*>(lp); hdr && hdr->hwndFrom && ::GetParent(hdr->hwndFrom) == hwnd())
        return ::SendMessageW(hdr->hwndFrom, kReflectedNotify, wp, lp);
      break;
    case WM_COMMAND:
      if (lp && ::GetParent(reinterpret_cast<HWND>(lp)) == hwnd())
        return ::SendMessageW(reinterpret_cast<HWND>(lp), kReflectedCommand, wp, lp);
      break;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
      if (msg == WM_CANCELMODE || reinterpret_cast<HWND>(lp) != hwnd()) trackBar_ = -1;
      break;
    default:
      break;
  }
  return Default(msg, wp, lp);
}

}  // namespace appkit
