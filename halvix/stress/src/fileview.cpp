#include <windows.h>

#include "appkit/text.h"
#include "stress/dialogs.h"

namespace stress {

namespace {

constexpr DWORD kMaxShownBytes = 512 * 1024;

std::wstring FileText(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string bytes(kMaxShownBytes, '\0');
  DWORD got = 0;
  if (!::ReadFile(f, bytes.data(), kMaxShownBytes, &got, nullptr)) got = 0;
  ::CloseHandle(f);
  bytes.resize(got);
  // The edit control wants CR LF; the logs mix LF and CR LF.
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
    text += bytes[i];
  }
  return appkit::Widen(text);
}

}  // namespace

FileViewDlg::FileViewDlg(const std::wstring& title, std::vector<std::wstring> files)
    : appkit::Dialog(IDD_STRESS_FILE_VIEW, StressResources()), title_(title), files_(std::move(files)) {}

BOOL FileViewDlg::OnInit() {
  ::SetWindowTextW(hwnd(), title_.c_str());
  std::wstring text;
  for (const std::wstring& f : files_) {
    if (!text.empty()) text += L"\r\n";
    text += FileText(f);
  }
  SetItemText(IDC_FILE_TEXT, text);
  return TRUE;
}

}  // namespace stress
