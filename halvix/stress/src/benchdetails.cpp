// CBenchDetailsDlg: one benchmark results file line by line, with its
// description (the second line); and CTestLogDlg: one or two logs.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cwctype>

#include "appkit/text.h"
#include "stress/benchdialogs.h"
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

CBenchDetailsDlg::CBenchDetailsDlg(int mode, const std::wstring& filePath, const std::wstring& dataDirectory)
    : appkit::Dialog(IDD_BENCH_DETAILS, StressResources()),
      mode_(mode),
      filePath_(filePath),
      dataDirectory_(dataDirectory) {}

BOOL CBenchDetailsDlg::OnInit() {
  ::SetWindowTextW(hwnd(), StressString(IDS_BENCH_TITLE).c_str());
  std::vector<int> tabs = kDetailTabs;
  SendItem(IDC_LOG_LIST, LB_SETTABSTOPS, tabs.size(), (LPARAM)tabs.data());
  SendItem(IDC_DESCRIPTION, EM_LIMITTEXT, 80);
  LoadFile(filePath_);
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

void CBenchDetailsDlg::LoadFile(const std::wstring& path) {
  SendItem(IDC_LOG_LIST, LB_RESETCONTENT);
  std::string bytes;
  if (ReadSmallFile(path, &bytes)) {
    std::vector<std::string> lines = ResultLines(bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i == 1 && !lines[i].empty()) {
        std::string d = lines[i].substr(0, 80);
        SetItemText(IDC_DESCRIPTION, appkit::Widen(d));
        continue;
      }
      SendItem(IDC_LOG_LIST, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(lines[i]).c_str());
    }
  }
  FitExtent(Item(IDC_LOG_LIST), kDetailTabs);
}

std::vector<std::string> CBenchDetailsDlg::ListLines() const { return ListTexts(Item(IDC_LOG_LIST)); }

bool CBenchDetailsDlg::SaveFile(const std::wstring& path) {
  std::vector<std::string> lines = ListLines();
  std::string description = appkit::Narrow(ItemText(IDC_DESCRIPTION));
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 1 && !description.empty()) out += description + "\r\n";
    out += lines[i] + "\r\n";
  }
  if (lines.size() == 1 && !description.empty()) out += description + "\r\n";
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    ::MessageBoxW(hwnd(), (StressString(IDS_SAVE_FAILED) + L"\n" + path).c_str(), StressString(IDS_BENCH_TITLE).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  DWORD put = 0;
  BOOL ok = ::WriteFile(f, out.data(), (DWORD)out.size(), &put, nullptr) && put == out.size();
  ::CloseHandle(f);
  return ok;
}

bool CBenchDetailsDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_SAVE_AS: {
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
      if (::GetSaveFileNameW(&ofn)) SaveFile(file);
      return true;
    }
    case IDC_LOAD_DEFAULT:
      SetItemText(IDC_DESCRIPTION, L"");
      LoadFile(dataDirectory_ + defaultFileName_);
      return true;
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

void CBenchDetailsDlg::OnOK() {
  SaveFile(filePath_);
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
  SendItem(IDC_LOG_LIST, LB_RESETCONTENT);
  for (const std::string& line : view.lines)
    SendItem(IDC_LOG_LIST, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(line).c_str());
  FitExtent(Item(IDC_LOG_LIST), {tabStop});
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
