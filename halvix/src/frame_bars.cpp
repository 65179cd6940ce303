#include "frame_bars.h"

#include <windowsx.h>

bool CFrameToolBar::Create(HWND parent, DWORD style, UINT id) {
  return appkit::ToolBar::Create(parent, style | TBSTYLE_FLAT, id);
}

LRESULT CFrameToolBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONDBLCLK) return 0;
  return appkit::ToolBar::WndProc(msg, wp, lp);
}

CFrameSplitter::CFrameSplitter() : constructed_(metrics()) {}

void CFrameSplitter::RecalcLayout() {
  // Only the direction the splitter splits counts.
  const bool byRows = rows() > cols();
  std::vector<int>& ideals = byRows ? rowIdeals() : columnIdeals();
  bool collapsed = false;
  if (ideals.size() > 1)
    for (int v : ideals) collapsed = collapsed || v == 0;
  if (!collapsed) {
    SetMetrics(constructed_);
    locked_ = false;
  } else {
    Metrics thin;
    thin.barWidth = thin.barHeight = 4;
    thin.borderX = thin.borderY = 0;
    thin.gapX = thin.gapY = 1;
    SetMetrics(thin);
    locked_ = true;
    RECT rc{};
    if (hwnd()) ::GetClientRect(hwnd(), &rc);
    for (int& v : ideals) {
      if (v > 0) {
        v = byRows ? rc.bottom : rc.right;
        break;
      }
    }
  }
  if (forceLocked_) locked_ = true;
  appkit::Splitter::RecalcLayout();
}

bool CFrameSplitter::NearEdge(POINT pt) const {
  RECT rc{};
  ::GetClientRect(hwnd(), &rc);
  if (cols() > rows()) return pt.x < leftMargin || pt.x > rc.right - rightMargin;
  if (rows() > cols()) return pt.y < topMargin || pt.y > rc.bottom - bottomMargin;
  return false;
}

LRESULT CFrameSplitter::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (locked_) return Default(msg, wp, lp);
      break;
    case WM_MOUSEMOVE:
      if (locked_) return Default(msg, wp, lp);
      if ((wp & MK_LBUTTON) && NearEdge(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)})) return Default(msg, wp, lp);
      break;
    default:
      break;
  }
  return appkit::Splitter::WndProc(msg, wp, lp);
}
