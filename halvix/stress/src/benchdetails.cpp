// CBenchDetailsDlg: one benchmark results file line by line, with its
// description (the second line); and CTestLogDlg: one or two logs.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cwctype>

#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "stress/benchdialogs.h"
#include "stress/detailsdoc.h"
#include "stress/dialogs.h"
#include "stress/runlogic.h"

namespace stress {
namespace {

// Sets a list's horizontal extent to its widest line as drawn with its tab stops.
void FitExtent(HWND list, const std::vector<int>& tabStopsDu) {
  HDC dc = ::GetDC(list);
  HGDIOBJ old = ::SelectObject(dc, (HFONT)::SendMessageW(list, WM_GETFONT, 0, 0));
  LONG base = ::GetDialogBaseUnits();
  std::vector<int> px;
  for (int t : tabStopsDu) px.push_back(t * LOWORD(base) / 4);
  int n = (int)::SendMessageW(list, LB_GETCOUNT, 0, 0), widest = 0;
  for (int i = 0; i < n; ++i) {
    int len = (int)::SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (len == LB_ERR) continue;
    std::wstring text(len + 1, L'\0');
    ::SendMessageW(list, LB_GETTEXT, i, (LPARAM)text.data());
    text.resize(len);
    DWORD ext = ::GetTabbedTextExtentW(dc, text.c_str(), len, (int)px.size(), px.empty() ? nullptr : px.data());
    widest = std::max(widest, (int)LOWORD(ext));
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(list, dc);
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT, widest + 8, 0);
}

// Shows `lines` in the list, wide enough for the widest. A long log fills
// the list in one go: no drawing and no scroll bar update for each line,
// the storage taken at once.
void FillList(HWND list, const std::vector<std::string>& lines, const std::vector<int>& tabStopsDu) {
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  size_t chars = 0;
  for (const std::string& line : lines) chars += line.size() + 1;
  ::SendMessageW(list, LB_INITSTORAGE, lines.size(), chars * sizeof(wchar_t));
  for (const std::string& line : lines) ::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(line).c_str());
  FitExtent(list, tabStopsDu);
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

std::vector<std::string> ListTexts(HWND list) {
  std::vector<std::string> lines;
  int n = (int)::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; ++i) {
    int len = (int)::SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (len == LB_ERR) continue;
    std::wstring text(len + 1, L'\0');
    ::SendMessageW(list, LB_GETTEXT, i, (LPARAM)text.data());
    text.resize(len);
    lines.push_back(appkit::Narrow(text));
  }
  return lines;
}

const std::vector<int> kDetailTabs = {110, 200, 250, 300};

}  // namespace

FileSnapshot ReadFileSnapshot(const std::wstring& path) {
  FileSnapshot snap;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return snap;
  snap.exists = true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(f, &info)) {
    snap.size = ((unsigned long long)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    snap.written = info.ftLastWriteTime;
  }
  // A file that cannot be held whole is read as far as it is shown; one
  // that grows while it is read stops one byte past the bound.
  const size_t limit = snap.size > kMaxDetailsFile ? kMaxResultFile : (size_t)kMaxDetailsFile + 1;
  const size_t chunk = 1 << 16;
  for (;;) {
    size_t at = snap.bytes.size();
    if (at >= limit) break;
    size_t want = std::min(chunk, limit - at);
    snap.bytes.resize(at + want);
    DWORD got = 0;
    if (!::ReadFile(f, snap.bytes.data() + at, (DWORD)want, &got, nullptr)) got = 0;
    snap.bytes.resize(at + got);
    if (got == 0) break;
  }
  ::CloseHandle(f);
  if (snap.bytes.size() > snap.size) snap.size = snap.bytes.size();
  return snap;
}

bool SameFile(const FileSnapshot& a, const FileSnapshot& b) {
  return a.exists == b.exists && a.size == b.size && ::CompareFileTime(&a.written, &b.written) == 0 &&
         a.bytes == b.bytes;
}

CBenchDetailsDlg::CBenchDetailsDlg(int mode, const std::wstring& filePath, const std::wstring& dataDirectory)
    : appkit::Dialog(IDD_BENCH_DETAILS, StressResources()),
      mode_(mode),
      filePath_(filePath),
      dataDirectory_(dataDirectory) {}

BOOL CBenchDetailsDlg::OnInit() {
  ::SetWindowTextW(hwnd(), StressString(IDS_BENCH_TITLE).c_str());
  std::vector<int> tabs = kDetailTabs;
  SendItem(IDC_LOG_LIST, LB_SETTABSTOPS, tabs.size(), (LPARAM)tabs.data());
  loaded_ = ReadFileSnapshot(filePath_);
  Show(MakeDetailsDoc(loaded_.bytes, loaded_.size));
  std::wstring lower = filePath_;
  for (wchar_t& ch : lower) ch = (wchar_t)std::towlower(ch);
  SetItemText(IDC_FILE_PATH, lower);
  const bool reference = mode_ == 2;
  ShowItem(IDC_LOAD_DEFAULT, reference);
  EnableItem(IDC_LOAD_DEFAULT, reference);
  ShowItem(IDC_SAVE_AS, !reference);
  EnableItem(IDC_SAVE_AS, !reference);
  return TRUE;
}

// Shows a document: its lines in the list, its description in the edit
// (editable only when the edit holds it exactly and the file is held
// whole), and a note on what cannot be changed.
void CBenchDetailsDlg::Show(const DetailsDoc& doc) {
  doc_ = doc;
  FillList(Item(IDC_LOG_LIST), doc_.shown, kDetailTabs);

  // Typing stops at 80 characters; a longer description is shown whole.
  SendItem(IDC_DESCRIPTION, EM_LIMITTEXT, std::max<size_t>(80, doc_.description.size()));
  SetItemText(IDC_DESCRIPTION, appkit::Widen(doc_.description));
  const bool faithful = appkit::Narrow(ItemText(IDC_DESCRIPTION)) == doc_.description;
  descriptionEditable_ = doc_.whole && faithful;
  SendItem(IDC_DESCRIPTION, EM_SETREADONLY, descriptionEditable_ ? FALSE : TRUE);
  std::wstring note;
  if (!doc_.whole)
    note = appkit::Format(StressString(IDS_DETAILS_IN_PART).c_str(), std::to_wstring(doc_.bytes.size()).c_str(),
                          std::to_wstring(doc_.fileSize).c_str());
  else if (!faithful)
    note = StressString(IDS_DETAILS_DESCRIPTION_FIXED);
  else if (doc_.shownInPart)
    note = appkit::Format(StressString(IDS_DETAILS_SHOWN_IN_PART).c_str(), std::to_wstring(kMaxResultFile).c_str(),
                          std::to_wstring(doc_.fileSize).c_str());
  SetItemText(IDC_DETAILS_NOTE, note);
}

bool CBenchDetailsDlg::DescriptionChanged() const {
  return descriptionEditable_ && OneLine(appkit::Narrow(ItemText(IDC_DESCRIPTION))) != doc_.description;
}

std::string CBenchDetailsDlg::ChangedBytes() const {
  if (!DescriptionChanged()) return doc_.bytes;
  return WithDescription(doc_.bytes, OneLine(appkit::Narrow(ItemText(IDC_DESCRIPTION))));
}

std::vector<std::string> CBenchDetailsDlg::ListLines() const { return ListTexts(Item(IDC_LOG_LIST)); }

void CBenchDetailsDlg::Problem(const std::wstring& text) {
  ::MessageBoxW(hwnd(), text.c_str(), StressString(IDS_BENCH_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// Writes the whole file through a new file in the same folder that then
// takes its place, so that a failed write leaves the old file as it was.
bool CBenchDetailsDlg::WriteWhole(const std::wstring& path, const std::string& bytes) {
  DWORD error = 0;
  if (appkit::WriteFileWhole(path, bytes, &error)) return true;
  Problem(appkit::Format(StressString(IDS_DETAILS_NOT_WRITTEN).c_str(), path.c_str(),
                         appkit::SystemErrorText(error).c_str()));
  return false;
}

bool CBenchDetailsDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_SAVE_AS: {
      if (!doc_.whole) {
        Problem(appkit::Format(StressString(IDS_DETAILS_IN_PART).c_str(), std::to_wstring(doc_.bytes.size()).c_str(),
                               std::to_wstring(doc_.fileSize).c_str()));
        return true;
      }
      wchar_t file[MAX_PATH] = {};
      wcsncpy(file, filePath_.c_str(), MAX_PATH - 1);
      OPENFILENAMEW ofn{};
      ofn.lStructSize = sizeof(ofn);
      ofn.hwndOwner = hwnd();
      ofn.lpstrFilter = L"*.bnh\0*.bnh\0";
      ofn.lpstrFile = file;
      ofn.nMaxFile = MAX_PATH;
      ofn.lpstrDefExt = L"BNH";
      ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
      if (::GetSaveFileNameW(&ofn)) WriteWhole(file, ChangedBytes());
      return true;
    }
    case IDC_LOAD_DEFAULT: {
      // Shown, not yet saved; a default file that cannot be read whole
      // replaces nothing.
      const std::wstring path = dataDirectory_ + defaultFileName_;
      FileSnapshot defaults = ReadFileSnapshot(path);
      DetailsDoc doc = MakeDetailsDoc(defaults.bytes, defaults.size);
      if (!defaults.exists || !doc.whole) {
        Problem(appkit::Format(StressString(IDS_DETAILS_NO_DEFAULT).c_str(), path.c_str()));
        return true;
      }
      Show(doc);
      replaced_ = true;
      return true;
    }
    case IDC_PRINT: {
      wchar_t caption[256] = {};
      ::GetWindowTextW(hwnd(), caption, 255);
      std::vector<std::string> lines = ListLines();
      std::string description = appkit::Narrow(ItemText(IDC_DESCRIPTION));
      if (!description.empty()) lines.insert(lines.begin() + std::min<size_t>(1, lines.size()), description);
      PrintLines(hwnd(), caption, lines, 12, kDetailTabs, true);
      return true;
    }
    default:
      return appkit::Dialog::OnCommand(id, code, ctl);
  }
}

// OK (Close): the file is written only when the user changed something,
// and only when nobody else changed it since it was shown.
void CBenchDetailsDlg::OnOK() {
  if (!replaced_ && !DescriptionChanged()) {
    EndDialog(IDOK);
    return;
  }
  if (!SameFile(ReadFileSnapshot(filePath_), loaded_)) {
    Problem(appkit::Format(StressString(IDS_DETAILS_CHANGED).c_str(), filePath_.c_str()));
    return;
  }
  if (!WriteWhole(filePath_, ChangedBytes())) return;
  EndDialog(IDOK);
}

// ---- View Test Log --------------------------------------------------------------

CTestLogDlg::CTestLogDlg() : appkit::Dialog(IDD_TEST_LOG, StressResources()) {}

namespace {

// Adds a file's lines to the view; answers its loop number (0 when none).
int AddLogFile(const std::wstring& path, LogView* view) {
  std::string bytes;
  if (!ReadSmallFile(path, &bytes)) return 0;
  std::vector<std::string> lines = ResultLines(bytes);
  // A file longer than can be shown ends at its last whole line, and a line
  // says where it was cut.
  WIN32_FILE_ATTRIBUTE_DATA info{};
  unsigned long long total = bytes.size();
  if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info))
    total = ((unsigned long long)info.nFileSizeHigh << 32) | info.nFileSizeLow;
  const bool cut = total > bytes.size();
  size_t shownBytes = bytes.size();
  if (cut) {
    size_t lastEnd = bytes.rfind('\n');
    shownBytes = lastEnd == std::string::npos ? bytes.size() : lastEnd + 1;
    if (lastEnd != std::string::npos && lastEnd + 1 < bytes.size() && !lines.empty()) lines.pop_back();
  }
  int loop = lines.size() > 1 ? LogLoopNumber(lines[1]) : 0;
  size_t shownLines = lines.size();
  for (std::string& line : lines) view->lines.push_back(std::move(line));
  if (cut) {
    std::wstring note = appkit::Format(StressString(IDS_VIEW_CUT).c_str(), std::to_wstring(shownLines).c_str(),
                                       std::to_wstring(shownBytes).c_str(), std::to_wstring(total).c_str());
    view->lines.push_back(appkit::Narrow(note));
  }
  return loop;
}

}  // namespace

LogView ReadLogView(const std::wstring& directory, const std::wstring& firstFile, const std::wstring& secondFile,
                    int tabStop) {
  LogView view;
  view.tabStop = tabStop;
  // "name number": the number is the list's tab stop.
  std::wstring name = firstFile;
  size_t blank = name.find(L' ');
  if (blank != std::wstring::npos) {
    int stop = _wtoi(name.c_str() + blank + 1);
    if (stop > 0) view.tabStop = stop;
    name.resize(blank);
  }
  int secondLoop = 0;
  if (!secondFile.empty()) {
    secondLoop = AddLogFile(directory + secondFile, &view);
    view.lines.push_back("");
  }
  int firstLoop = name.empty() ? 0 : AddLogFile(directory + name, &view);
  view.fromLastLoop = firstLoop > 0 && secondLoop > 0 && firstLoop < secondLoop;
  return view;
}

BOOL CTestLogDlg::OnInit() {
  if (!title.empty()) {
    wchar_t caption[256] = {};
    ::GetWindowTextW(hwnd(), caption, 255);
    ::SetWindowTextW(hwnd(), (std::wstring(caption) + L" - " + title).c_str());
  }
  LogView view = ReadLogView(directory, firstFile, secondFile, tabStop);
  tabStop = view.tabStop;
  SendItem(IDC_LOG_LIST, LB_SETTABSTOPS, 1, (LPARAM)&tabStop);
  FillList(Item(IDC_LOG_LIST), view.lines, {tabStop});
  // Shown once the list is there.
  if (view.fromLastLoop) ::PostMessageW(hwnd(), WM_COMMAND, IDC_FROM_LAST_LOOP_NOTE, 0);
  return TRUE;
}

bool CTestLogDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_FROM_LAST_LOOP_NOTE:
      ::MessageBoxW(hwnd(), StressString(IDS_FROM_LAST_LOOP).c_str(), StressString(IDS_STRESS_TITLE).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
      return true;
    case IDC_PRINT: {
      wchar_t caption[256] = {};
      ::GetWindowTextW(hwnd(), caption, 255);
      PrintLines(hwnd(), caption, ListTexts(Item(IDC_LOG_LIST)), fontHeight, {tabStop}, false);
      return true;
    }
    default:
      return appkit::Dialog::OnCommand(id, code, ctl);
  }
}

}  // namespace stress
