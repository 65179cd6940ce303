// The "Uninstall List" page: the entries of the system's list of installed
// programs; removing one deletes only the registry key it was read from.
#include "appkit/registry.h"
#include "appkit/text.h"
#include "brisko.h"
#include "resource.h"

namespace brisko {

namespace {
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
}

BOOL CUninstall::OnInit() {
  FillUninstallList();
  return TRUE;
}

void CUninstall::FillUninstallList() {
  entries_.clear();
  SendItem(IDC_LIST, LB_RESETCONTENT);
  appkit::RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kUninstallKey)) return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    if (::RegEnumKeyExW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    appkit::RegKey sub;
    if (!sub.Open(key.get(), name)) continue;
    Entry e;
    e.subkey.assign(name, len);
    sub.GetString(L"DisplayName", &e.displayName);
    sub.GetString(L"UninstallString", &e.uninstallString);
    if (e.displayName.size() > 255) e.displayName.resize(255);
    if (e.uninstallString.size() > 255) e.uninstallString.resize(255);
    if (!e.uninstallString.empty()) entries_.push_back(e);
  }
  // Last entry first; each line knows its entry.
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i].displayName.empty()) continue;
    const int line = (int)SendItem(IDC_LIST, LB_ADDSTRING, 0, (LPARAM)entries_[i].displayName.c_str());
    if (line >= 0) SendItem(IDC_LIST, LB_SETITEMDATA, (WPARAM)line, (LPARAM)i);
  }
}

const CUninstall::Entry* CUninstall::SelectedEntry(int* line) const {
  *line = (int)SendItem(IDC_LIST, LB_GETCURSEL);
  if (*line < 0) return nullptr;
  const LRESULT index = SendItem(IDC_LIST, LB_GETITEMDATA, (WPARAM)*line);
  if (index == LB_ERR || index < 0 || (size_t)index >= entries_.size()) return nullptr;
  return &entries_[(size_t)index];
}

bool CUninstall::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_MORE_INFO && code == BN_CLICKED) {
    OnMoreInfo();
    return true;
  }
  if (id == IDC_REMOVE && code == BN_CLICKED) {
    RemoveUninstallEntry();
    return true;
  }
  return appkit::ModalSheetPage::OnCommand(id, code, ctl);
}

void CUninstall::OnMoreInfo() {
  int line = -1;
  const Entry* e = SelectedEntry(&line);
  if (!e) {
    TheApp()->MessageId(hwnd(), IDS_NO_SELECTION, MB_OK);
    return;
  }
  CMoreInfoDlg dlg;
  dlg.nameTitle = TheApp()->Str(IDS_DISPLAY_NAME);
  dlg.infoTitle = TheApp()->Str(IDS_UNINSTALL_STRING);
  dlg.nameValue = e->displayName;
  dlg.infoValue = e->uninstallString;
  dlg.DoModal(hwnd());
}

void CUninstall::RemoveUninstallEntry() {
  int line = -1;
  const Entry* e = SelectedEntry(&line);
  if (!e) {
    TheApp()->MessageId(hwnd(), IDS_NO_SELECTION, MB_OK);
    return;
  }
  if (TheApp()->MessageId(hwnd(), IDS_TRY_ADD_REMOVE, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDCANCEL)
    return;
  const Entry entry = *e;
  const size_t index = (size_t)(e - entries_.data());
  // The entry's own key, and only while it still holds that entry. The line
  // leaves the list only when the key is really gone.
  UINT kept = 0;
  LSTATUS error = ERROR_SUCCESS;
  if (entry.subkey.empty() || entry.subkey.find(L'\\') != std::wstring::npos) {
    kept = IDS_ENTRY_KEPT_CHANGED;
  } else {
    const std::wstring path = std::wstring(kUninstallKey) + L"\\" + entry.subkey;
    std::wstring name;
    appkit::RegKey sub;
    const bool same = sub.Open(HKEY_LOCAL_MACHINE, path) && sub.GetString(L"DisplayName", &name) &&
                      _wcsicmp(name.substr(0, 255).c_str(), entry.displayName.c_str()) == 0;
    sub.Close();
    if (!same) {
      kept = IDS_ENTRY_KEPT_CHANGED;
    } else {
      HKEY parent = nullptr;
      error = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WRITE, &parent);
      if (error == ERROR_SUCCESS) {
        error = ::RegDeleteTreeW(parent, entry.subkey.c_str());
        if (error == ERROR_SUCCESS) error = ::RegDeleteKeyW(parent, entry.subkey.c_str());
        if (error == ERROR_FILE_NOT_FOUND) error = ERROR_SUCCESS;
        // Gone for real?
        HKEY check = nullptr;
        const LSTATUS open = ::RegOpenKeyExW(parent, entry.subkey.c_str(), 0, KEY_READ, &check);
        if (open == ERROR_SUCCESS) {
          ::RegCloseKey(check);
          if (error == ERROR_SUCCESS) error = ERROR_ACCESS_DENIED;
        }
        ::RegCloseKey(parent);
      }
      if (error != ERROR_SUCCESS) kept = IDS_ENTRY_KEPT_ERROR;
    }
  }
  if (kept) {
    TheApp()->Message(hwnd(), appkit::Format(TheApp()->Str(kept).c_str(), entry.displayName.c_str(), (long)error),
                      MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  SendItem(IDC_LIST, LB_DELETESTRING, (WPARAM)line);
  entries_.erase(entries_.begin() + (std::ptrdiff_t)index);
  // Lines after the removed entry point one entry lower now.
  const int lines = (int)SendItem(IDC_LIST, LB_GETCOUNT);
  for (int l = 0; l < lines; ++l) {
    const LRESULT i = SendItem(IDC_LIST, LB_GETITEMDATA, (WPARAM)l);
    if (i != LB_ERR && (size_t)i > index) SendItem(IDC_LIST, LB_SETITEMDATA, (WPARAM)l, i - 1);
  }
}

}  // namespace brisko
