#include "collect_dlg.h"

#include <commctrl.h>

#include "appkit/msgbox.h"
#include "appkit/text.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "test_items.h"
#include "views_res.h"

CCollectSystemInfoDlg::CCollectSystemInfoDlg(HINSTANCE res, const std::wstring& caption)
    : appkit::Dialog(IDD_COLLECT_INFO, res), res_(res), caption_(caption) {}

std::wstring CCollectSystemInfoDlg::Str(UINT id) const {
  std::wstring s = appkit::LoadStr(id, res_);
  HINSTANCE self = ::GetModuleHandleW(nullptr);
  if (s.empty() && res_ != self) s = appkit::LoadStr(id, self);
  return s;
}

BOOL CCollectSystemInfoDlg::OnInit() {
  quorrelMsg_ = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  HWND server = ::FindWindowW(nullptr, suite::kInfoServerTitle);
  if (quorrelMsg_ && server) {
    ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
    SendItem(IDC_COLLECT_PROGRESS, PBM_SETRANGE32, 0, 100);
    SendItem(IDC_COLLECT_PROGRESS, PBM_SETPOS, 0);
    Request(0);
  } else {
    Fail();
  }
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return TRUE;
}

void CCollectSystemInfoDlg::Fail() {
  // One message, however many replies were still under way.
  if (failed_) return;
  failed_ = true;
  ::KillTimer(hwnd(), kTimerId);
  appkit::MessageBoxText(nullptr, Str(IDS_COLLECT_FAILED), caption_, MB_OK | MB_ICONEXCLAMATION);
  ::PostMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
}

void CCollectSystemInfoDlg::Request(int category) {
  SetItemText(IDC_COLLECT_TEXT, Str(IDS_COLLECT_PREFIX) + Str(IDS_CATEGORY_FIRST + category));
  if (HWND server = ::FindWindowW(nullptr, suite::kInfoServerTitle))
    ::PostMessageW(server, quorrelMsg_, reinterpret_cast<WPARAM>(hwnd()), static_cast<LPARAM>(category));
}

void CCollectSystemInfoDlg::OnTimer(UINT_PTR id) {
  if (id != kTimerId) return;
  int pos = static_cast<int>(SendItem(IDC_COLLECT_PROGRESS, PBM_GETPOS));
  SendItem(IDC_COLLECT_PROGRESS, PBM_SETPOS, halvix::CollectProgressStep(pos));
}

void CCollectSystemInfoDlg::CollectInfoStep(LPARAM done) {
  if (failed_) return;
  if (!::FindWindowW(nullptr, suite::kInfoServerTitle)) {
    Fail();
    return;
  }
  int next = halvix::CollectNextCategory(static_cast<long>(done));
  if (next < 0) {
    ::PostMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
    return;
  }
  Request(next);
}

bool CCollectSystemInfoDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == 0 || msg != quorrelMsg_) return false;
  // A category the server could not write (103) is still done with.
  if (wp == suite::INFO_REPLY_READY || wp == suite::INFO_REPLY_FAILED) CollectInfoStep(lp);
  *result = 0;
  return true;
}

void CCollectSystemInfoDlg::OnCancel() {
  ::KillTimer(hwnd(), kTimerId);
  EndDialog(IDCANCEL);
}
