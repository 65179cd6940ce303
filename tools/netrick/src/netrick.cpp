// The network tool's application and sheet.
#include "netrick.h"

#include <commctrl.h>

#include "appkit/msgbox.h"
#include "appkit/paths.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "ombrix/ombrix.h"
#include "resource.h"

namespace netrick {

CNetrickApp* TheApp() { return static_cast<CNetrickApp*>(appkit::App::Current()); }

std::wstring CNetrickApp::Str(UINT id) const { return appkit::LoadStr(id, resources()); }

int CNetrickApp::Message(HWND owner, const std::wstring& text, UINT type) const {
  return appkit::MessageBoxText(owner, text, Str(IDS_APP_TITLE), type);
}

void CNetrickApp::ShowHelp(HWND owner) const {
  std::string page = appkit::Narrow(programDir + L"HELP\\DGTCP.HTM");
  if (!CallBrowser(page.c_str())) Message(owner, Str(IDS_NO_HELP), MB_OK);
}

bool CNetrickApp::InitInstance() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  programDir = appkit::ModuleDir();
  {
    CTcpDlg sheet(Str(IDS_APP_TITLE));
    sheet.DoModal(nullptr, PSH_HASHELP);
  }
  return false;  // the program ends with its sheet
}

CTcpDlg::CTcpDlg(const std::wstring& caption) : appkit::ModalSheet(caption), nineX_(appkit::IsWindows9x()) {
  if (nineX_) AddPage(&tuneup_);
  AddPage(&ping_);
}

void CTcpDlg::OnInit() {
  HICON big = (HICON)::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NETRICK), IMAGE_ICON,
                                  ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
  HICON small = (HICON)::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NETRICK), IMAGE_ICON,
                                    ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, (LPARAM)big);
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, (LPARAM)small);
  ::ShowWindow(::GetDlgItem(hwnd(), 0x3021 /* Apply */), SW_HIDE);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const int W = client.right;
  const struct {
    int id, num, den;
  } places[] = {{IDOK, 1, 7}, {IDCANCEL, 1, 2}, {IDHELP, 6, 7}};
  for (const auto& p : places) {
    HWND button = ::GetDlgItem(hwnd(), p.id);
    RECT rc{};
    ::GetWindowRect(button, &rc);
    const int w = rc.right - rc.left;
    appkit::MoveItemX(button, (W - w) * p.num / p.den);
  }
}

void CTcpDlg::CleanUpPages() { ping_.CleanUp(); }

bool CTcpDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && LOWORD(wp) == IDHELP) {
    TheApp()->ShowHelp(hwnd());
    *result = 0;
    return true;
  }
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
    if (nineX_ && tuneup_.hwnd()) tuneup_.ApplyTuneup();
    CleanUpPages();
  } else if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) {
    CleanUpPages();
  } else if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) {
    TheApp()->closing = true;
    CleanUpPages();
  }
  return false;
}

}  // namespace netrick
