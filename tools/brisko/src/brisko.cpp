// The clean-up tool's application, sheet, "More Info..." dialog and the
// shared search progress.
#include "brisko.h"

#include <commctrl.h>

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

DeleteOutcome CCleanApp::Delete(HWND owner, const ListedItem& item, const std::wstring& shownPath) const {
  return DeleteListed(item, undoDelete != 0, shownPath, owner);
}

std::wstring CCleanApp::FailureReport(const std::wstring& summary,
                                      const std::vector<std::pair<std::wstring, DeleteOutcome>>& failures) const {
  constexpr size_t kShown = 20;
  std::wstring text = summary + L"\n";
  for (size_t i = 0; i < failures.size() && i < kShown; ++i) {
    const wchar_t* path = failures[i].first.c_str();
    const DeleteOutcome& o = failures[i].second;
    std::wstring line;
    switch (o.result) {
      case DeleteResult::Deleted: continue;
      case DeleteResult::NotExact: line = appkit::Format(Str(IDS_WHY_NOT_EXACT).c_str(), path); break;
      case DeleteResult::Gone: line = appkit::Format(Str(IDS_WHY_GONE).c_str(), path); break;
      case DeleteResult::Changed: line = appkit::Format(Str(IDS_WHY_CHANGED).c_str(), path); break;
      case DeleteResult::Link: line = appkit::Format(Str(IDS_WHY_LINK).c_str(), path); break;
      case DeleteResult::Elsewhere:
        line = appkit::Format(Str(IDS_WHY_ELSEWHERE).c_str(), path, o.where.c_str());
        break;
      case DeleteResult::Unchecked: line = appkit::Format(Str(IDS_WHY_UNCHECKED).c_str(), path); break;
      case DeleteResult::NotEmpty: line = appkit::Format(Str(IDS_WHY_NOT_EMPTY).c_str(), path); break;
      case DeleteResult::NoRecycle: line = appkit::Format(Str(IDS_WHY_NO_RECYCLE).c_str(), path); break;
      case DeleteResult::Refused: line = appkit::Format(Str(IDS_WHY_REFUSED).c_str(), path, o.error); break;
      case DeleteResult::StillThere: line = appkit::Format(Str(IDS_WHY_STILL_THERE).c_str(), path, o.error); break;
    }
    text += L"\n" + line;
  }
  if (failures.size() > kShown)
    text += L"\n" + appkit::Format(Str(IDS_AND_MORE).c_str(), (int)(failures.size() - kShown));
  return text;
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
  if (closing || msg == WM_CLOSE) TheApp()->closing = true;
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
