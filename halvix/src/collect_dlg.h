// CCollectSystemInfoDlg: asks the information server to gather all sixteen
// categories anew, one after the other, while a progress bar moves; it
// closes itself after the last one.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/dialog.h"

class CCollectSystemInfoDlg : public appkit::Dialog {
 public:
  static constexpr UINT_PTR kTimerId = 1001;
  // `res`: the module with the dialog and its strings; `caption`: the
  // caption of the program's message boxes.
  CCollectSystemInfoDlg(HINSTANCE res, const std::wstring& caption);

 protected:
  BOOL OnInit() override;
  void OnTimer(UINT_PTR id) override;
  void OnCancel() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void CollectInfoStep(LPARAM done);
  void Request(int category);
  void Fail();
  std::wstring Str(UINT id) const;

  HINSTANCE res_;
  std::wstring caption_;
  UINT quorrelMsg_ = 0;
  bool failed_ = false;
};
