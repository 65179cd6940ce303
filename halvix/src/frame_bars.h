// The main frame's own tool bar and splitter windows.
#pragma once
#include "appkit/controlbars.h"
#include "appkit/splitter.h"

// The frame's tool bar: flat, and a double click on it does nothing.
class CFrameToolBar : public appkit::ToolBar {
 public:
  bool Create(HWND parent, DWORD style, UINT id) override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// A splitter that collapses a pane whose ideal size is 0 (the other one
// takes the whole area and the bar can no longer be dragged), keeps its
// bar away from its edges while it is dragged, and keeps the pane sizes the
// main frame remembers.
class CFrameSplitter : public appkit::Splitter {
 public:
  CFrameSplitter();

  // How close to each edge a dragged bar may come.
  int leftMargin = 50, topMargin = 50, rightMargin = 50, bottomMargin = 50;
  // Sizes the main frame keeps for this splitter's panes.
  int keptWidth = 0, keptHeight = 0;

  bool locked() const { return locked_; }
  void SetForceLocked(bool on) { forceLocked_ = on; }
  // The bar metrics as constructed.
  const Metrics& constructedMetrics() const { return constructed_; }

  void RecalcLayout() override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // True when a point lies in the band along the edges a bar may not enter.
  bool NearEdge(POINT pt) const;

  Metrics constructed_;
  bool locked_ = false;
  bool forceLocked_ = false;
};
