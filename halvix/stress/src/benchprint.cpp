// Reading small result files and printing lines, for the benchmark and log
// dialogs.
#include <windows.h>
#include <commdlg.h>

#include "appkit/text.h"
#include "stress/benchdialogs.h"
#include "stress/dialogs.h"

namespace stress {

bool ReadSmallFile(const std::wstring& path, std::string* bytes) {
  bytes->clear();
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bytes->resize(kMaxResultFile);
  DWORD got = 0;
  if (!::ReadFile(f, bytes->data(), (DWORD)kMaxResultFile, &got, nullptr)) got = 0;
  ::CloseHandle(f);
  bytes->resize(got);
  return true;
}

void PrintLines(HWND owner, const std::wstring& docName, const std::vector<std::string>& lines, int fontHeight,
                const std::vector<int>& tabStops, bool atBold) {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = owner;
  pd.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
  if (!::PrintDlgW(&pd) || !pd.hDC) return;
  HDC dc = pd.hDC;
  int height = -::MulDiv(fontHeight, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
  HFONT normal = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH | FF_MODERN,
                               L"Courier New");
  HFONT bold = ::CreateFontW(height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH | FF_MODERN,
                             L"Courier New");
  HGDIOBJ old = ::SelectObject(dc, normal);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  int lineHeight = tm.tmHeight + tm.tmExternalLeading;
  int pageHeight = ::GetDeviceCaps(dc, VERTRES);
  int perPage = lineHeight > 0 ? pageHeight / lineHeight - 2 : 0;
  // Tab stops in dialog units become pixels of the printer's font.
  std::vector<int> stops;
  for (int t : tabStops) stops.push_back(t * tm.tmAveCharWidth / 4);
  DOCINFOW di{};
  di.cbSize = sizeof(di);
  di.lpszDocName = docName.c_str();
  if (perPage > 0 && ::StartDocW(dc, &di) > 0) {
    size_t next = 0;
    bool failed = false;
    for (int page = 1; page <= 49 && !failed && (next < lines.size() || page == 1); ++page) {
      if (::StartPage(dc) <= 0) {
        failed = true;
        break;
      }
      ::SelectObject(dc, normal);
      std::wstring head = appkit::Format(L"Page %d  %s", page, docName.c_str());
      ::TextOutW(dc, 0, 0, head.c_str(), (int)head.size());
      for (int row = 2; row < perPage + 2 && next < lines.size(); ++row, ++next) {
        std::string line = lines[next];
        bool isBold = atBold && !line.empty() && line[0] == '@';
        if (isBold) line = line.size() > 2 ? line.substr(2) : std::string();
        if (line.size() > 255) line.resize(255);
        std::wstring w = appkit::Widen(line);
        ::SelectObject(dc, isBold ? bold : normal);
        ::TabbedTextOutW(dc, 0, row * lineHeight, w.c_str(), (int)w.size(), (int)stops.size(),
                         stops.empty() ? nullptr : stops.data(), 0);
      }
      if (::EndPage(dc) <= 0) failed = true;
    }
    if (failed)
      ::AbortDoc(dc);
    else
      ::EndDoc(dc);
  }
  ::SelectObject(dc, old);
  ::DeleteObject(normal);
  ::DeleteObject(bold);
  ::DeleteDC(dc);
  if (pd.hDevMode) ::GlobalFree(pd.hDevMode);
  if (pd.hDevNames) ::GlobalFree(pd.hDevNames);
}

}  // namespace stress
