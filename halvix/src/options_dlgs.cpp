#include "options_dlgs.h"

#include <commctrl.h>

#include "appkit/registry.h"
#include "appkit/system.h"
#include "frame_rules.h"
#include "options_res.h"
#include "options_rules.h"
#include "suite/info.h"

namespace {
// The radio buttons by "ToolBarAlign" (Left, Top, Right, Bottom).
const int kAlignButtons[4] = {IDC_ALIGN_LEFT, IDC_ALIGN_TOP, IDC_ALIGN_RIGHT, IDC_ALIGN_BOTTOM};
}  // namespace

// ---- layout

CLayoutDlg::CLayoutDlg(HINSTANCE res, halvix::HalvixSettings& settings, bool pagerAvailable, HWND mainWindow)
    : appkit::Dialog(IDD_LAYOUT, res), settings_(settings), pager_(pagerAvailable), main_(mainWindow) {}

BOOL CLayoutDlg::OnInit() {
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = const_cast<wchar_t*>(L"Layout");
  SendItem(IDC_LAYOUT_TAB, TCM_INSERTITEMW, 0, (LPARAM)&tab);
  Check(IDC_LAYOUT_BAR, settings_.toolbarView != 0);
  Check(IDC_LAYOUT_TREE, settings_.treeView != 0);
  Check(IDC_LAYOUT_TITLE, settings_.titleView != 0);
  Check(IDC_LAYOUT_HELP, settings_.webView != 0);
  Check(IDC_LAYOUT_TEXT, settings_.showToolBarText != 0);
  if (settings_.showToolBar == 0)
    for (int id = IDC_ALIGN_TOP; id <= IDC_LAYOUT_TEXT; ++id) EnableItem(id, false);
  Check(kAlignButtons[halvix::ShownToolBarAlign(settings_.toolBarAlign)], true);
  if (!pager_) {
    Check(IDC_LAYOUT_BAR, false);
    EnableItem(IDC_LAYOUT_BAR, false);
  }
  EnableItem(IDC_LAYOUT_APPLY, false);
  ApplyPaneRule();
  return TRUE;
}

void CLayoutDlg::ApplyPaneRule() {
  const halvix::PaneBoxStates s = halvix::LayoutPaneRule(IsChecked(IDC_LAYOUT_BAR), IsChecked(IDC_LAYOUT_TREE), pager_);
  EnableItem(IDC_LAYOUT_BAR, s.barEnabled);
  EnableItem(IDC_LAYOUT_TREE, s.treeEnabled);
}

bool CLayoutDlg::OnCommand(int id, int code, HWND ctl) {
  if (code == BN_CLICKED && (id == IDC_LAYOUT_BAR || (id >= IDC_LAYOUT_TREE && id <= IDC_LAYOUT_TEXT))) {
    EnableItem(IDC_LAYOUT_APPLY, true);
    ApplyPaneRule();
    return true;
  }
  if (id == IDC_LAYOUT_APPLY && code == BN_CLICKED) {
    Apply();
    return true;
  }
  return appkit::Dialog::OnCommand(id, code, ctl);
}

void CLayoutDlg::Apply() {
  settings_.toolbarView = IsChecked(IDC_LAYOUT_BAR) ? 1 : 0;
  settings_.treeView = IsChecked(IDC_LAYOUT_TREE) ? 1 : 0;
  settings_.titleView = IsChecked(IDC_LAYOUT_TITLE) ? 1 : 0;
  settings_.showToolBarText = IsChecked(IDC_LAYOUT_TEXT) ? 1 : 0;
  settings_.webView = IsChecked(IDC_LAYOUT_HELP) ? 1 : 0;
  for (int align = 0; align < 4; ++align)
    if (IsChecked(kAlignButtons[align])) settings_.toolBarAlign = align;
  EnableItem(IDC_LAYOUT_APPLY, false);
  ::PostMessageW(main_, halvix::WM_RELAYOUT, 0, 0);
}

void CLayoutDlg::OnOK() {
  if (::IsWindowEnabled(Item(IDC_LAYOUT_APPLY))) Apply();
  EndDialog(IDOK);
}

// ---- information options

CInfoOptionsDlg::CInfoOptionsDlg(HINSTANCE res) : appkit::Dialog(IDD_INFO_OPTIONS, res), nineX_(appkit::IsWindows9x()) {
  for (const halvix::InfoOption& o : halvix::InfoOptions()) values_.push_back(nineX_ ? o.default9x : o.defaultNt);
}

BOOL CInfoOptionsDlg::OnInit() {
  const auto& options = halvix::InfoOptions();
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) == ERROR_SUCCESS) {
    for (size_t i = 0; i < options.size(); ++i) {
      const std::wstring name = options[i].value;
      if (disposition == REG_CREATED_NEW_KEY) {
        if (name == L"SummaryVideo") continue;
        DWORD v = (DWORD)values_[i];
        ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
      } else if (nineX_ || options[i].readOnNt) {
        DWORD v = 0, type = 0, size = sizeof(v);
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof(v))
          values_[i] = v ? 1 : 0;
      }
    }
    ::RegCloseKey(key);
  }
  for (size_t i = 0; i < options.size(); ++i) {
    // The NT family gathers none of these: shown off and written as 0.
    if (!nineX_ && options[i].ntDisabled) values_[i] = 0;
    if (!options[i].control) continue;
    Check(options[i].control, values_[i] != 0);
    if (!nineX_ && options[i].ntDisabled) EnableItem(options[i].control, false);
  }
  return TRUE;
}

void CInfoOptionsDlg::OnOK() {
  const auto& options = halvix::InfoOptions();
  for (size_t i = 0; i < options.size(); ++i)
    if (options[i].control) values_[i] = IsChecked(options[i].control) ? 1 : 0;
  appkit::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, KEY_WRITE))
    for (size_t i = 0; i < options.size(); ++i) key.SetDword(options[i].value, (DWORD)values_[i]);
  EndDialog(IDOK);
}
