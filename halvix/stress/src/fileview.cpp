#include <windows.h>

#include "appkit/text.h"
#include "stress/dialogs.h"
#include "stress/runlogic.h"

namespace stress {

namespace {

constexpr DWORD kMaxShownBytes = 512 * 1024;

// The file's text as the viewer shows it; a file too long to show ends in a
// line that says where it was cut.
std::wstring FileText(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(f, &size)) size.QuadPart = 0;
  std::string bytes(kMaxShownBytes, '\0');
  DWORD got = 0;
  if (!::ReadFile(f, bytes.data(), kMaxShownBytes, &got, nullptr)) got = 0;
  ::CloseHandle(f);
  bytes.resize(got);
  unsigned long long total = (unsigned long long)size.QuadPart;
  if (total < got) total = got;
  // The edit control wants CR LF; the logs mix LF and CR LF.
  ViewerText shown = TextForViewer(bytes, total);
  std::wstring text = appkit::Widen(shown.text);
  if (shown.cut) {
    if (!text.empty() && text.back() != L'\n') text += L"\r\n";
    text += appkit::Format(StressString(IDS_VIEW_CUT).c_str(), std::to_wstring(shown.lines).c_str(),
                           std::to_wstring(shown.bytes).c_str(), std::to_wstring(total).c_str());
    text += L"\r\n";
  }
  return text;
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
