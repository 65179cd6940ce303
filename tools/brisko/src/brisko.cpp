// The clean-up tool's application, sheet, "More Info..." dialog and the
// shared search progress.
#include "brisko.h"

#include <commctrl.h>
#include <shellapi.h>

#include "appkit/msgbox.h"
#include "appkit/paths.h"
#include "appkit/profile.h"
#include "appkit/text.h"
#include "ombrix/ombrix.h"
#include "resource.h"

namespace brisko {

CCleanApp* TheApp() { return static_cast<CCleanApp*>(appkit::App::Current()); }

std::wstring CCleanApp::Str(UINT id) const { return appkit::LoadStr(id, resources()); }

int CCleanApp::Message(HWND owner, const std::wstring& text, UINT type) const {
  return appkit::MessageBoxText(owner, text, Str(IDS_APP_TITLE), type);
}

void CCleanApp::ShowHelp(HWND owner) const {
  std::string page = appkit::Narrow(programDir + L"HELP\\DGCLEAN.HTM");
  if (!CallBrowser(page.c_str())) MessageId(owner, IDS_NO_HELP, MB_OK);
}

bool CCleanApp::ShellDelete(HWND owner, const std::wstring& path) const {
  if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos) return false;
  std::wstring from = path;
  from.push_back(L'\0');  // the list ends with a second terminator
  SHFILEOPSTRUCTW op{};
  op.hwnd = owner;
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | (undoDelete ? FOF_ALLOWUNDO : 0);
  const int r = ::SHFileOperationW(&op);
  return r == 0 && !op.fAnyOperationsAborted && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool CCleanApp::InitInstance() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  ::OleInitialize(nullptr);
  programDir = appkit::ModuleDir();
  profileKey_ = appkit::Profile::KeyPath(L"Kyt", L"Brisko", L"Setting");
  appkit::Profile profile(HKEY_CURRENT_USER, profileKey_);
  extList = profile.GetString(L"ExtList", extList);
  undoDelete = profile.GetInt(L"UndoDelete", 0);
  {
    CCleanDlg sheet(Str(IDS_APP_TITLE));
    sheet.DoModal(nullptr, PSH_HASHELP);
  }
  return false;  // the program ends with its sheet
}

int CCleanApp::ExitInstance() {
  appkit::Profile profile(HKEY_CURRENT_USER, profileKey_);
  profile.WriteString(L"ExtList", extList);
  profile.WriteInt(L"UndoDelete", undoDelete);
  ::OleUninitialize();
  return appkit::App::ExitInstance();
}

// ---- the sheet

CCleanDlg::CCleanDlg(const std::wstring& caption) : appkit::ModalSheet(caption) {
  AddPage(&uninstall_);
  AddPage(&startMenu_);
  AddPage(&findTool_);
}

void CCleanDlg::OnInit() {
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BRISKO));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, (LPARAM)icon);
  ::ShowWindow(::GetDlgItem(hwnd(), 0x3021 /* Apply */), SW_HIDE);
  ::ShowWindow(::GetDlgItem(hwnd(), IDCANCEL), SW_HIDE);
  HWND help = ::GetDlgItem(hwnd(), IDHELP);
  RECT sheet{}, button{};
  ::GetWindowRect(hwnd(), &sheet);
  ::GetWindowRect(help, &button);
  const int W = sheet.right - sheet.left, b = button.right - button.left, h = button.bottom - button.top;
  POINT top{button.left, button.top};
  ::ScreenToClient(hwnd(), &top);
  const int e = (W - 2 * b) / 4;
  ::SetWindowPos(help, nullptr, e, top.y, b, h, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(::GetDlgItem(hwnd(), IDOK), nullptr, 3 * e + b, top.y, b, h, SWP_NOZORDER | SWP_NOACTIVATE);
  // The first page turns OK into "Close" (nothing is left to cancel).
  ::SendMessageW(hwnd(), PSM_CANCELTOCLOSE, 0, 0);
}

bool CCleanDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && LOWORD(wp) == IDHELP) {
    TheApp()->ShowHelp(hwnd());
    *result = 0;
    return true;
  }
  const bool closing = (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) ||
                       (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE);
  if (closing && findTool_.hwnd()) TheApp()->extList = findTool_.ExtListFromBox();
  return false;
}

// ---- More Info...

BOOL CMoreInfoDlg::OnInit() {
  SetItemText(IDC_NAME_TITLE, nameTitle);
  SetItemText(IDC_INFO_TITLE, infoTitle);
  SetItemText(IDC_NAME_VALUE, nameValue);
  SetItemText(IDC_INFO_VALUE, infoValue);
  return TRUE;
}

// ---- search progress

SearchProgress::SearchProgress(HWND page, int textId, int barId)
    : text_(::GetDlgItem(page, textId)), bar_(::GetDlgItem(page, barId)), last_(::GetTickCount()) {
  cursor_ = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  ::SendMessageW(bar_, PBM_SETPOS, 0, 0);
  ::ShowWindow(text_, SW_SHOW);
  ::ShowWindow(bar_, SW_SHOW);
  ::UpdateWindow(text_);
  ::UpdateWindow(bar_);
}

SearchProgress::~SearchProgress() {
  ::ShowWindow(text_, SW_HIDE);
  ::ShowWindow(bar_, SW_HIDE);
  ::SetCursor(cursor_);
}

void SearchProgress::Step() {
  const DWORD now = ::GetTickCount();
  if (now - last_ <= 1000) return;
  last_ = now;
  pos_ += 10;
  if (pos_ > 99) pos_ = 0;
  ::SendMessageW(bar_, PBM_SETPOS, (WPARAM)pos_, 0);
}

}  // namespace brisko
