#include "tech_support.h"

#include "appkit/paths.h"
#include "appkit/text.h"
#include "options_res.h"
#include "options_rules.h"
#include "resource.h"

CTechSupportDlg::CTechSupportDlg(HINSTANCE res, SupportContext& context)
    : appkit::Dialog(IDD_TECH_SUPPORT, res), context_(context), res_(res) {
  // The program's own icon.
  icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

void CTechSupportDlg::ShowButtons() {
  SetItemText(IDC_SUPPORT_WEB, context_.webText());
  EnableItem(IDC_SUPPORT_WEB, !context_.settings().runWeb.empty());
  SetItemText(IDC_SUPPORT_EMAIL, context_.emailText());
  EnableItem(IDC_SUPPORT_EMAIL, !context_.settings().runEmail.empty());
}

BOOL CTechSupportDlg::OnInit() {
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, (LPARAM)icon_);
  ShowButtons();
  return TRUE;
}

bool CTechSupportDlg::OnCommand(int id, int code, HWND ctl) {
  if (code != BN_CLICKED) return appkit::Dialog::OnCommand(id, code, ctl);
  switch (id) {
    case IDC_SUPPORT_WEB:
      context_.OpenHtmlPage(context_.settings().webLink, false);
      return true;
    case IDC_SUPPORT_EMAIL:
      if (halvix::BuildSupportMailPage(context_.programDir(), appkit::Narrow(context_.settings().email)))
        context_.OpenHtmlPage(context_.programDir() + L"ts_mail.htm", false);
      else
        context_.OpenHtmlPage(L"mailto:" + context_.settings().email, false);
      return true;
    case IDC_SUPPORT_SETTINGS: {
      CTechSupportSettingsDlg settings(res_, context_);
      if (settings.DoModal(hwnd()) == IDOK) ShowButtons();
      return true;
    }
    default:
      return appkit::Dialog::OnCommand(id, code, ctl);
  }
}

bool CTechSupportDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_QUERYDRAGICON) {
    *result = (LRESULT)icon_;
    return true;
  }
  if (msg == WM_PAINT && ::IsIconic(hwnd())) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    ::SendMessageW(hwnd(), WM_ICONERASEBKGND, (WPARAM)dc, 0);
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    const int x = (rc.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon_);
    ::EndPaint(hwnd(), &ps);
    *result = 0;
    return true;
  }
  return false;
}

CTechSupportSettingsDlg::CTechSupportSettingsDlg(HINSTANCE res, SupportContext& context)
    : appkit::Dialog(IDD_TECH_SETTINGS, res), context_(context) {}

BOOL CTechSupportSettingsDlg::OnInit() {
  SetItemText(IDC_SETTINGS_WEB, context_.settings().webLink);
  SetItemText(IDC_SETTINGS_EMAIL, context_.settings().email);
  return TRUE;
}

void CTechSupportSettingsDlg::OnOK() {
  context_.settings().email = ItemText(IDC_SETTINGS_EMAIL);
  context_.settings().webLink = ItemText(IDC_SETTINGS_WEB);
  context_.FormatSupportTexts();
  EndDialog(IDOK);
}
