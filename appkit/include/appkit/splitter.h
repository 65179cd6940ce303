// A static splitter: a fixed grid of panes (rows x columns) with bars
// between them that the user drags. A pane is the child window whose id is
// PaneId(row, col); the caller creates it as a child of the splitter (a pane
// may itself be a splitter, which then carries that id). The splitter only
// places its panes: the ideal size of each row and column, the last row and
// column taking what is left.
#pragma once
#include <windows.h>

#include <vector>

#include "appkit/window.h"

namespace appkit {

// The id of the first pane, and of a frame's client pane.
constexpr UINT kFirstPaneId = 0xE900;
// WM_NOTIFY and WM_COMMAND of a control pane, sent back to the control by
// the splitter or frame it notified (same parameters).
constexpr UINT kReflectedNotify = WM_USER + 0x1C00 + WM_NOTIFY;
constexpr UINT kReflectedCommand = WM_USER + 0x1C00 + WM_COMMAND;

// Sizes of the panes along one direction: each but the last takes its ideal
// size as far as room is left (a negative ideal counts as 0), the last takes
// the rest; `gap` pixels lie between neighbours.
std::vector<int> SplitterSpans(const std::vector<int>& ideals, int total, int gap);

class Splitter : public Window {
 public:
  // The six bar metrics: the band the mouse grabs, the border drawn around
  // each pane, and the distance between neighbouring panes.
  struct Metrics {
    int barWidth = 6, barHeight = 6;
    int borderX = 2, borderY = 2;
    int gapX = 6, gapY = 6;
    bool operator==(const Metrics& o) const {
      return barWidth == o.barWidth && barHeight == o.barHeight && borderX == o.borderX && borderY == o.borderY &&
             gapX == o.gapX && gapY == o.gapY;
    }
  };

  static UINT PaneId(int row, int col) { return kFirstPaneId + row * 16 + col; }

  // A splitter of rows x cols (each 1 to 16) as child `id` of `parent`.
  bool CreateStatic(HWND parent, int rows, int cols, UINT id = kFirstPaneId,
                    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);

  int rows() const { return static_cast<int>(rowIdeal_.size()); }
  int cols() const { return static_cast<int>(colIdeal_.size()); }
  // The child that has the pane's id (nullptr when none does).
  HWND Pane(int row, int col) const { return ::GetDlgItem(hwnd(), static_cast<int>(PaneId(row, col))); }

  void SetColumnInfo(int col, int ideal);
  void SetRowInfo(int row, int ideal);
  int ColumnIdeal(int col) const;
  int RowIdeal(int row) const;
  // Sizes given by the last layout.
  int ColumnSize(int col) const;
  int RowSize(int row) const;

  const Metrics& metrics() const { return metrics_; }
  void SetMetrics(const Metrics& m) { metrics_ = m; }

  // Places the panes by the ideal sizes and repaints the bars.
  virtual void RecalcLayout();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // The splitter's own mouse handling: the bar cursor and dragging a bar.
  void OnLButtonDown(POINT pt);
  void OnMouseMove(POINT pt);
  void OnLButtonUp(POINT pt);
  bool tracking() const { return trackBar_ >= 0; }
  std::vector<int>& columnIdeals() { return colIdeal_; }
  std::vector<int>& rowIdeals() { return rowIdeal_; }

 private:
  // The bar under a point: columns' bars first (0 .. cols-2), then rows'
  // (cols-1 ...); -1 when none.
  int BarAt(POINT pt) const;
  void Paint(HDC dc);

  Metrics metrics_;
  std::vector<int> colIdeal_, rowIdeal_;
  std::vector<int> colSize_, rowSize_;
  int trackBar_ = -1;
  int trackOffset_ = 0;
};

}  // namespace appkit
