// The "Disk Files" page: files on a fixed drive found by name pattern or by
// exact size, and the chosen ones deleted. A line keeps the exact names the
// search found below the searched folder; its file is deleted only while it
// is still that file, a plain one, at that place (see safe_delete.h).
#include <algorithm>

#include "appkit/text.h"
#include "brisko.h"
#include "clean_rules.h"
#include "resource.h"

namespace brisko {

namespace {

constexpr DWORD kNotListed = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// How often a search lets the window's messages through.
constexpr DWORD kLookMs = 50;

bool IsDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

}  // namespace

BOOL CFindTool::OnInit() {
  SetItemText(IDC_TARGET_DIR, L"C:\\");
  SendItem(IDC_PATTERN, CB_LIMITTEXT, 64);
  const std::wstring sizeItem = L"(" + TheApp()->Str(IDS_SIZE_ZERO) + L")";
  SendItem(IDC_PATTERN, CB_ADDSTRING, 0, (LPARAM)sizeItem.c_str());
  for (const std::wstring& item : SplitExtList(TheApp()->extList))
    SendItem(IDC_PATTERN, CB_ADDSTRING, 0, (LPARAM)item.c_str());
  return TRUE;
}

std::vector<std::wstring> CFindTool::BoxItems() const {
  std::vector<std::wstring> items;
  const int n = (int)SendItem(IDC_PATTERN, CB_GETCOUNT);
  for (int i = 0; i < n; ++i) {
    const int len = (int)SendItem(IDC_PATTERN, CB_GETLBTEXTLEN, (WPARAM)i);
    if (len < 0) continue;
    std::wstring text((size_t)len + 1, L'\0');
    SendItem(IDC_PATTERN, CB_GETLBTEXT, (WPARAM)i, (LPARAM)&text[0]);
    text.resize(wcslen(text.c_str()));
    items.push_back(text);
  }
  return items;
}

std::wstring CFindTool::ExtListFromBox() const { return JoinExtList(BoxItems()); }

void CFindTool::RememberPattern(const std::wstring& pattern, const std::wstring& replacement) {
  const int slot = PatternSlot(BoxItems(), pattern, replacement);
  if (slot < 0) return;
  const int count = (int)SendItem(IDC_PATTERN, CB_GETCOUNT);
  if (slot < count) SendItem(IDC_PATTERN, CB_DELETESTRING, (WPARAM)slot);
  SendItem(IDC_PATTERN, CB_INSERTSTRING, (WPARAM)(slot < count ? slot : -1), (LPARAM)pattern.c_str());
}

bool CFindTool::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_SEARCH && code == BN_CLICKED) {
    OnSearch();
    return true;
  }
  if (id == IDC_REMOVE && code == BN_CLICKED) {
    OnRemove();
    return true;
  }
  return appkit::ModalSheetPage::OnCommand(id, code, ctl);
}

bool CFindTool::KeepAnswering() {
  if (searchEnded_) return false;
  const DWORD now = ::GetTickCount();
  if (now - lastLook_ < kLookMs) return true;
  lastLook_ = now;
  MSG msg;
  while (!searchEnded_ && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the loop that ends the program.
      ::PostQuitMessage((int)msg.wParam);
      searchEnded_ = true;
      break;
    }
    appkit::PumpOne(msg);
  }
  if (TheApp()->closing || !hwnd()) searchEnded_ = true;
  return !searchEnded_;
}

void CFindTool::OnSearch() {
  CCleanApp* app = TheApp();
  // A click that the search let through does not start another one.
  if (searching_) return;
  std::wstring directory = Trim(ItemText(IDC_TARGET_DIR));
  const std::wstring patternText = Trim(ItemText(IDC_PATTERN));
  if (directory.empty()) {
    app->MessageId(hwnd(), IDS_NO_DIR, MB_OK);
    ::SetFocus(Item(IDC_TARGET_DIR));
    return;
  }
  if (patternText.empty()) {
    app->MessageId(hwnd(), IDS_NO_PATTERN, MB_OK);
    ::SetFocus(Item(IDC_PATTERN));
    return;
  }
  const DWORD attributes = ::GetFileAttributesW(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    app->Message(hwnd(), appkit::Format(app->Str(IDS_INVALID_DIR).c_str(), directory.c_str()), MB_OK);
    ::SetFocus(Item(IDC_TARGET_DIR));
    return;
  }
  // Only a full path on a fixed drive: "X:\" and below.
  const bool fullPath = directory.size() >= 3 && directory[1] == L':' && directory[2] == L'\\';
  if (!fullPath || ::GetDriveTypeW(directory.substr(0, 3).c_str()) != DRIVE_FIXED) {
    app->Message(hwnd(), appkit::Format(app->Str(IDS_NOT_HARD_DRIVE).c_str(), directory[0]), MB_OK);
    ::SetFocus(Item(IDC_TARGET_DIR));
    return;
  }
  const SearchRequest request = ParseSearch(patternText, app->Str(IDS_SIZE_ZERO));
  if (request.kind == SearchRequest::Invalid) {
    app->Message(hwnd(), appkit::Format(app->Str(IDS_PATTERN_UNSUPPORTED).c_str(), patternText.c_str()), MB_OK);
    ::SetFocus(Item(IDC_PATTERN));
    return;
  }
  if (request.kind == SearchRequest::ByName) {
    SetItemText(IDC_PATTERN, request.pattern);
    RememberPattern(request.pattern, request.replacement);
  }
  while (!directory.empty() && directory.back() == L'\\') directory.pop_back();
  SendItem(IDC_LIST, LB_RESETCONTENT);
  found_.clear();
  searchedDir_ = directory;
  // The folder in the exact form, and where it really lies: every file is
  // later deleted only at that place.
  std::vector<wchar_t> full(32768);
  const DWORD n = ::GetFullPathNameW((directory + L"\\").c_str(), (DWORD)full.size(), full.data(), nullptr);
  rootExtended_ = n > 0 && n < full.size() ? ExtendedPath(full.data()) : L"";
  rootFinal_.clear();
  if (rootExtended_.empty() || !FolderFinalPath(rootExtended_, &rootFinal_)) rootFinal_.clear();
  {
    SearchProgress progress(hwnd(), IDC_SEARCHING, IDC_PROGRESS);
    searching_ = true;
    searchEnded_ = false;
    app->closing = false;  // a close the sheet refused earlier is over
    lastLook_ = ::GetTickCount();
    if (request.kind == SearchRequest::BySize) SearchFiles({}, L"*.*", true, request.size, progress);
    else SearchFiles({}, request.pattern, false, 0, progress);
    searching_ = false;
  }
  // Closed during the search: the tool goes, with nothing more to say.
  if (searchEnded_) return;
  if (found_.empty()) app->MessageId(hwnd(), IDS_FILE_NOT_FOUND, MB_OK);
}

void CFindTool::SearchFiles(const std::vector<std::wstring>& names, const std::wstring& pattern, bool bySize,
                            long long size, SearchProgress& progress) {
  // The folder by its exact names, so that the names found in it are the
  // ones that are later opened.
  std::wstring folder = rootExtended_.empty() ? searchedDir_ : rootExtended_;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  std::wstring shown = searchedDir_;
  for (const std::wstring& name : names) {
    folder += L"\\" + name;
    shown += L"\\" + name;
  }
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      progress.Step();
      if (!KeepAnswering()) break;
      if (IsDots(fd.cFileName) || (fd.dwFileAttributes & (kNotListed | FILE_ATTRIBUTE_DIRECTORY))) continue;
      const long long fileSize = ((long long)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
      if (bySize && fileSize != size) continue;
      Found f;
      f.path = shown + L"\\" + fd.cFileName;
      f.item.rootExtended = rootExtended_;
      f.item.rootFinal = rootFinal_;
      f.item.names = names;
      f.item.names.push_back(fd.cFileName);
      if (!rootExtended_.empty()) IdentifyListed(&f.item, fd);
      SendItem(IDC_LIST, LB_ADDSTRING, 0, (LPARAM)FileLine(f.path, fileSize).c_str());
      found_.push_back(std::move(f));
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  }
  if (!IsChecked(IDC_SUBDIRS) || searchEnded_) return;
  h = ::FindFirstFileW((folder + L"\\*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    progress.Step();
    if (!KeepAnswering()) break;
    // Links to other places (reparse points) are not followed, nor names
    // that cannot be opened exactly.
    if (IsDots(fd.cFileName) || !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !IsExactName(fd.cFileName))
      continue;
    std::vector<std::wstring> below = names;
    below.push_back(fd.cFileName);
    SearchFiles(below, pattern, bySize, size, progress);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
}

void CFindTool::OnRemove() {
  CCleanApp* app = TheApp();
  if (searching_) return;  // the list is still being made
  const int count = (int)SendItem(IDC_LIST, LB_GETSELCOUNT);
  if (count <= 0) {
    app->MessageId(hwnd(), IDS_NO_SELECTION, MB_OK);
    return;
  }
  if (app->MessageId(hwnd(), IDS_CONFIRM_FILES, MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
  std::vector<int> lines((size_t)count);
  const int got = (int)SendItem(IDC_LIST, LB_GETSELITEMS, (WPARAM)count, (LPARAM)lines.data());
  lines.resize(got > 0 ? (size_t)got : 0);
  std::sort(lines.rbegin(), lines.rend());
  std::vector<std::pair<std::wstring, DeleteOutcome>> failures;
  for (int line : lines) {
    if (line < 0 || line >= (int)found_.size()) continue;
    const Found& f = found_[(size_t)line];
    const DeleteOutcome outcome = app->Delete(hwnd(), f.item, f.path);
    if (outcome.result == DeleteResult::Deleted) {
      SendItem(IDC_LIST, LB_DELETESTRING, (WPARAM)line);
      found_.erase(found_.begin() + line);
    } else {
      failures.emplace_back(f.path, outcome);
    }
  }
  if (!failures.empty()) {
    std::reverse(failures.begin(), failures.end());  // in list order
    const std::wstring summary = appkit::Format(app->Str(IDS_FILES_NOT_DELETED).c_str(), (int)failures.size());
    app->Message(hwnd(), app->FailureReport(summary, failures), MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace brisko
