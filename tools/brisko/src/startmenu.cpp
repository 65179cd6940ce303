// The "Start Menu" page: shortcuts whose targets are gone and empty folders
// below the Start Menu folder; removing deletes exactly the listed ones.
#include <algorithm>

#include "appkit/paths.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "brisko.h"
#include "clean_rules.h"
#include "resource.h"

namespace brisko {

namespace {
constexpr UINT_PTR kScanTimer = 1125;
bool IsDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }
// A folder with nothing in it but "." and "..".
bool IsEmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((folder + L"\\*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    if (!IsDots(fd.cFileName)) empty = false;
  } while (empty && ::FindNextFileW(h, &fd));
  ::FindClose(h);
  return empty;
}
bool IsFixedDrive(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' && ::GetDriveTypeW(path.substr(0, 3).c_str()) == DRIVE_FIXED;
}
}  // namespace

CStartMenu::~CStartMenu() {
  if (file_) file_->Release();
  if (link_) link_->Release();
}

BOOL CStartMenu::OnInit() {
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link_))))
    link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file_));
  ShowItem(IDC_USER, false);
  if (!appkit::IsWindows9x()) {
    wchar_t user[256] = {};
    DWORD len = 255;
    if (::GetUserNameW(user, &len) && user[0]) {
      SendItem(IDC_USER, CB_ADDSTRING, 0, (LPARAM)user);
      SendItem(IDC_USER, CB_ADDSTRING, 0, (LPARAM)L"All Users");
      SendItem(IDC_USER, CB_SETCURSEL, 0);
      ShowItem(IDC_USER, true);
      userName_ = user;
    }
  }
  return TRUE;
}

BOOL CStartMenu::OnSetActive() {
  SendItem(IDC_LIST, LB_RESETCONTENT);
  found_.clear();
  ::SetTimer(hwnd(), kScanTimer, 100, nullptr);
  return TRUE;
}

void CStartMenu::OnTimer(UINT_PTR id) {
  if (id != kScanTimer) return;
  ::KillTimer(hwnd(), kScanTimer);
  Scan();
}

bool CStartMenu::StartMenuFolder(std::wstring* folder) const {
  const std::wstring windows = appkit::WindowsDir();
  if (windows.empty()) return false;
  *folder = windows;
  if (!appkit::IsWindows9x() && !userName_.empty()) *folder += L"\\Profiles\\" + userName_;
  *folder += L"\\Start Menu";
  return true;
}

void CStartMenu::Scan() {
  includeUnavailable_ = IsChecked(IDC_UNAVAILABLE_DRIVES);
  SendItem(IDC_LIST, LB_RESETCONTENT);
  found_.clear();
  std::wstring folder;
  if (!StartMenuFolder(&folder)) {
    TheApp()->MessageId(hwnd(), IDS_NO_WINDOWS_DIR, MB_OK);
    return;
  }
  // The folder in the exact form and where it really lies: entries are
  // later deleted only at that place.
  root_ = folder;
  rootExtended_ = ExtendedPath(folder);
  rootFinal_.clear();
  if (rootExtended_.empty() || !FolderFinalPath(rootExtended_, &rootFinal_)) rootFinal_.clear();
  SearchProgress progress(hwnd(), IDC_SEARCHING, IDC_PROGRESS);
  ScanStartMenu({}, nullptr, progress);
}

void CStartMenu::AddFound(Found found, const std::vector<std::wstring>& names, const WIN32_FIND_DATAW& fd) {
  std::wstring line = StartMenuLine(root_, found.path, TheApp()->Str(IDS_DOS_PROGRAM));
  if (line.empty()) return;
  if (found.folder) line += L"\\";
  found.item.rootExtended = rootExtended_;
  found.item.rootFinal = rootFinal_;
  found.item.names = names;
  found.item.folder = found.folder;
  if (!rootExtended_.empty()) IdentifyListed(&found.item, fd);
  SendItem(IDC_LIST, LB_ADDSTRING, 0, (LPARAM)line.c_str());
  found_.push_back(std::move(found));
}

void CStartMenu::ScanStartMenu(const std::vector<std::wstring>& names, const WIN32_FIND_DATAW* self,
                               SearchProgress& progress) {
  std::wstring exact = rootExtended_.empty() ? root_ : rootExtended_;
  std::wstring shown = root_;
  for (const std::wstring& name : names) {
    exact += L"\\" + name;
    shown += L"\\" + name;
  }
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((exact + L"\\*.*").c_str(), &fd);
  bool empty = true;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (IsDots(fd.cFileName)) continue;
      empty = false;
      progress.Step();
      const std::wstring path = shown + L"\\" + fd.cFileName;
      std::vector<std::wstring> below = names;
      below.push_back(fd.cFileName);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // Links to other places (reparse points) are not entered, nor names
        // that cannot be opened exactly.
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsExactName(fd.cFileName))
          ScanStartMenu(below, &fd, progress);
        continue;
      }
      if (!IsShortcutName(fd.cFileName)) continue;
      std::wstring target;
      if (!IsBrokenLink(path, &target)) continue;
      if (!target.empty() && !IsFixedDrive(target) && !includeUnavailable_) continue;
      Found found;
      found.path = path;
      found.target = target;
      AddFound(std::move(found), below, fd);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  }
  if (empty && self && !names.empty()) {
    Found found;
    found.path = shown;
    found.folder = true;
    AddFound(std::move(found), names, *self);
  }
}

bool CStartMenu::IsBrokenLink(const std::wstring& path, std::wstring* target) {
  target->clear();
  if (!link_ || !file_ || path.size() > 258) return false;
  if (FAILED(file_->Load(path.c_str(), STGM_READ))) return false;
  char buffer[MAX_PATH] = {};
  if (SUCCEEDED(link_->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) {
    buffer[MAX_PATH - 1] = 0;
    *target = appkit::Widen(buffer);
  }
  *target = ExpandedLinkTarget(*target, !appkit::IsWindows9x(), appkit::WindowsDir());
  if (FAILED(link_->Resolve(hwnd(), SLR_NO_UI | (500u << 16)))) return true;
  return target->empty() || ::GetFileAttributesW(target->c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::vector<int> CStartMenu::SelectedLines() const {
  const int count = (int)SendItem(IDC_LIST, LB_GETSELCOUNT);
  std::vector<int> lines(count > 0 ? (size_t)count : 0);
  if (count > 0) {
    const int got = (int)SendItem(IDC_LIST, LB_GETSELITEMS, (WPARAM)count, (LPARAM)lines.data());
    lines.resize(got > 0 ? (size_t)got : 0);
  }
  return lines;
}

bool CStartMenu::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_MORE_INFO && code == BN_CLICKED) {
    OnMoreInfo();
    return true;
  }
  if (id == IDC_REMOVE && code == BN_CLICKED) {
    OnRemove();
    return true;
  }
  if (id == IDC_UNAVAILABLE_DRIVES && code == BN_CLICKED) {
    OnSetActive();  // empty the list; the scan follows on the timer
    return true;
  }
  if (id == IDC_USER && code == CBN_SELCHANGE) {
    const int item = (int)SendItem(IDC_USER, CB_GETCURSEL);
    const int len = item >= 0 ? (int)SendItem(IDC_USER, CB_GETLBTEXTLEN, (WPARAM)item) : -1;
    if (len > 0 && len < 256) {
      wchar_t text[256] = {};
      SendItem(IDC_USER, CB_GETLBTEXT, (WPARAM)item, (LPARAM)text);
      userName_ = text;
      Scan();
    }
    return true;
  }
  return appkit::ModalSheetPage::OnCommand(id, code, ctl);
}

void CStartMenu::OnMoreInfo() {
  const std::vector<int> lines = SelectedLines();
  if (lines.empty()) {
    TheApp()->MessageId(hwnd(), IDS_NO_SELECTION, MB_OK);
    return;
  }
  if (lines.size() > 1) {
    TheApp()->MessageId(hwnd(), IDS_ONE_ITEM_ONLY, MB_OK);
    return;
  }
  if ((size_t)lines[0] >= found_.size()) return;
  const Found& f = found_[(size_t)lines[0]];
  std::wstring target = f.folder ? f.path : f.target;
  if (!f.folder) IsBrokenLink(f.path, &target);
  CMoreInfoDlg dlg;
  dlg.nameTitle = TheApp()->Str(IDS_LINK);
  dlg.infoTitle = TheApp()->Str(IDS_LINK_TO);
  const int len = (int)SendItem(IDC_LIST, LB_GETTEXTLEN, (WPARAM)lines[0]);
  if (len > 0) {
    std::wstring text((size_t)len + 1, L'\0');
    SendItem(IDC_LIST, LB_GETTEXT, (WPARAM)lines[0], (LPARAM)&text[0]);
    text.resize(wcslen(text.c_str()));
    dlg.nameValue = text;
  }
  dlg.infoValue = target;
  dlg.DoModal(hwnd());
}

void CStartMenu::OnRemove() {
  std::vector<int> lines = SelectedLines();
  if (lines.empty()) {
    TheApp()->MessageId(hwnd(), IDS_NO_SELECTION, MB_OK);
    return;
  }
  if (TheApp()->MessageId(hwnd(), IDS_CONFIRM_LINKS, MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
  std::wstring root;
  if (!StartMenuFolder(&root)) {
    TheApp()->MessageId(hwnd(), IDS_NO_WINDOWS_DIR, MB_OK);
    return;
  }
  std::sort(lines.rbegin(), lines.rend());
  std::vector<std::pair<std::wstring, DeleteOutcome>> failures;
  for (int line : lines) {
    if (line < 0 || (size_t)line >= found_.size()) continue;
    const Found& f = found_[(size_t)line];
    DeleteOutcome outcome;
    // A folder goes only while it is still empty.
    if (f.folder && !IsEmptyFolder(f.item.Extended())) outcome.result = DeleteResult::NotEmpty;
    else outcome = TheApp()->Delete(hwnd(), f.item, f.path);
    if (outcome.result == DeleteResult::Deleted) {
      SendItem(IDC_LIST, LB_DELETESTRING, (WPARAM)line);
      found_.erase(found_.begin() + line);
    } else {
      failures.emplace_back(f.path, outcome);
    }
  }
  if (!failures.empty()) {
    std::reverse(failures.begin(), failures.end());  // in list order
    const std::wstring summary =
        appkit::Format(TheApp()->Str(IDS_LINKS_NOT_DELETED).c_str(), (int)failures.size());
    TheApp()->Message(hwnd(), TheApp()->FailureReport(summary, failures), MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace brisko
