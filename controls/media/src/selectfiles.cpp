// The select-files dialog: up to ten test files of the mode, taken over on
// OK only. The dialog keeps its lines itself; the list box only shows them,
// so that an entry of any length comes back as it was stored.
#include <windows.h>
#include <commdlg.h>

#include "appkit/text.h"
#include "ids.h"
#include "runner.h"
#include "testpage.h"

namespace media {

CSelectFilesDlg::CSelectFilesDlg(CMediaRunner& runner)
    : appkit::Dialog(IDD_MEDIA_SELECT_FILES, runner.Resources()),
      runner_(runner),
      initial_(runner.DialogLines()),
      lines_(initial_),
      audio_(runner.AudioMode()) {}

void CSelectFilesDlg::Message(UINT id) {
  std::wstring caption = appkit::LoadStr(audio_ ? IDS_MEDIA_SELECT_AUDIO : IDS_MEDIA_SELECT_VIDEO, runner_.Resources());
  ::MessageBoxW(hwnd(), appkit::LoadStr(id, runner_.Resources()).c_str(), caption.c_str(), MB_OK);
}

BOOL CSelectFilesDlg::OnInit() {
  EnableItem(IDC_SELECT_DELETE, lines_.size() >= 2);
  for (const std::wstring& line : lines_) SendItem(IDC_SELECT_LIST, LB_ADDSTRING, 0, (LPARAM)line.c_str());
  ::SetWindowTextW(hwnd(), appkit::LoadStr(audio_ ? IDS_MEDIA_SELECT_AUDIO : IDS_MEDIA_SELECT_VIDEO,
                                           runner_.Resources()).c_str());
  UpdateExtent();
  return TRUE;
}

bool CSelectFilesDlg::OnCommand(int id, int code, HWND ctl) {
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_SELECT_ADD: OnAdd(); return true;
      case IDC_SELECT_EDIT: OnEdit(); return true;
      case IDC_SELECT_DELETE: OnDelete(); return true;
      default: break;
    }
  }
  return appkit::Dialog::OnCommand(id, code, ctl);
}

bool CSelectFilesDlg::ChooseFile(UINT filterId, const std::wstring& dir, const std::wstring& name,
                                 std::wstring* chosen) {
  std::wstring filter = FileDialogFilter(appkit::LoadStr(filterId, runner_.Resources()));
  wchar_t file[MAX_PATH * 2] = {};
  wcsncpy(file, name.c_str(), MAX_PATH * 2 - 1);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = hwnd();
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH * 2;
  ofn.lpstrInitialDir = dir.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!::GetOpenFileNameW(&ofn)) return false;
  *chosen = file;
  return true;
}

void CSelectFilesDlg::OnAdd() {
  if ((int)lines_.size() >= kMaxFiles) {
    Message(audio_ ? IDS_MEDIA_LIST_FULL_AUDIO : IDS_MEDIA_LIST_FULL_VIDEO);
    return;
  }
  std::wstring dir = runner_.ModuleDirectory() + L"TestData";
  std::wstring chosen;
  if (!ChooseFile(audio_ ? IDS_MEDIA_FILTER_ADD_AUDIO : IDS_MEDIA_FILTER_ADD_VIDEO, dir,
                  dir + (audio_ ? L"\\test.wav" : L"\\test.avi"), &chosen))
    return;
  if (!AcceptedExtension(chosen, audio_)) {
    Message(audio_ ? IDS_MEDIA_WRONG_TYPE_AUDIO : IDS_MEDIA_WRONG_TYPE_VIDEO);
    return;
  }
  lines_.push_back(chosen);
  SendItem(IDC_SELECT_LIST, LB_ADDSTRING, 0, (LPARAM)chosen.c_str());
  if (lines_.size() > 1) EnableItem(IDC_SELECT_DELETE, true);
  UpdateExtent();
}

void CSelectFilesDlg::OnEdit() {
  int sel = (int)SendItem(IDC_SELECT_LIST, LB_GETCURSEL);
  if (sel < 0 || sel >= (int)lines_.size()) {
    Message(IDS_MEDIA_SELECT_FIRST);
    return;
  }
  const std::wstring path = lines_[sel];
  size_t slash = path.rfind(L'\\');
  std::wstring dir = slash == std::wstring::npos ? L"" : path.substr(0, slash);
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  WORD type = FileTypeOf(path, audio_);
  UINT filter = audio_ ? (type == kTypeMidi ? IDS_MEDIA_FILTER_MIDI : IDS_MEDIA_FILTER_WAVE)
                       : (type == kTypeMpeg ? IDS_MEDIA_FILTER_MPEG : IDS_MEDIA_FILTER_AVI);
  std::wstring chosen;
  if (!ChooseFile(filter, dir, name, &chosen)) return;
  if (!AcceptedExtension(chosen, audio_)) {
    Message(audio_ ? IDS_MEDIA_WRONG_TYPE_AUDIO : IDS_MEDIA_WRONG_TYPE_VIDEO);
    return;
  }
  lines_[sel] = chosen;
  SendItem(IDC_SELECT_LIST, LB_DELETESTRING, (WPARAM)sel);
  SendItem(IDC_SELECT_LIST, LB_INSERTSTRING, (WPARAM)sel, (LPARAM)chosen.c_str());
  UpdateExtent();
}

void CSelectFilesDlg::OnDelete() {
  int sel = (int)SendItem(IDC_SELECT_LIST, LB_GETCURSEL);
  if (sel < 0 || sel >= (int)lines_.size()) {
    Message(IDS_MEDIA_SELECT_FIRST);
    return;
  }
  lines_.erase(lines_.begin() + sel);
  SendItem(IDC_SELECT_LIST, LB_DELETESTRING, (WPARAM)sel);
  if (lines_.size() < 2) EnableItem(IDC_SELECT_DELETE, false);
  UpdateExtent();
}

void CSelectFilesDlg::UpdateExtent() {
  HWND list = Item(IDC_SELECT_LIST);
  int extent = (int)::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0);
  HDC dc = ::GetDC(list);
  HGDIOBJ old = ::SelectObject(dc, (HGDIOBJ)::SendMessageW(list, WM_GETFONT, 0, 0));
  for (const std::wstring& line : lines_) {
    SIZE size{};
    if (::GetTextExtentPoint32W(dc, line.c_str(), (int)line.size(), &size) && size.cx > extent) extent = size.cx;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(list, dc);
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT, (WPARAM)extent, 0);
}

void CSelectFilesDlg::OnOK() {
  // Only a list the user changed replaces the stored one.
  if (lines_ != initial_) runner_.TakeDialogLines(lines_);
  EndDialog(IDOK);
}

}  // namespace media
