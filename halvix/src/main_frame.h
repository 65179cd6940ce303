// The main window. For now a plain frame: it takes the stored window
// rectangle, keeps it and the maximised state for the settings, comes
// forward when a second start broadcasts "kyt_diag_semaphore", and carries
// the commands of the application object (reset, help, About, exit). The
// panes, views and the full menu of the suite grow here.
#pragma once
#include "appkit/window.h"

class CMainFrame : public appkit::Window {
 public:
  bool CreateFrame(const wchar_t* title);
  // Moves to the stored rectangle and shows itself: hidden in "-Stress" and
  // "-Bench" mode (which then post their command), maximised by "Maximized",
  // else with `show`.
  void ActivateFrame(int show);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void OnCommand(int id);
  bool Shown() const;
  bool notYetShown_ = true;
};
