// Printing from the Benchmark Results, Benchmark Details and View Test Log
// dialogs to the scripts' PDF printer. Each PDF is moved to a name of its
// own in the printer's folder (the job is named by the dialog's caption, so
// two dialogs titled "Benchmarks" would share a file); stress_print_check.sh
// then reads them back and renders the results page.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <cwctype>
#include <string>

#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

const char kDefaults[] =
    "[Last Updated: 01/01/1999 12:00AM]\r\nDefault values\r\nOS Type:\tWindows NT [4.00.1381]\r\n\r\n"
    "CPU Performance Tests:\r\nDhrystone:\t200.0 K Dhrystones/Sec\r\nWhetstone:\t60.0 MWIPS\r\n\r\n";
const char kResults[] =
    "[Last Updated: 12/10/2026 08:00AM]\r\nPrinted machine\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n"
    "CPU Performance Tests:\r\nDhrystone:\t400.0 K Dhrystones/Sec\r\nWhetstone:\t120.0 MWIPS\r\n\r\n"
    "Fixed Drive Performance:\r\nTransfer Rate:\t3.5 MB/Sec\r\nAverage Access Time:\t12.5 ms\r\n\r\n";
const char kStressLog[] =
    "[Last Updated: 12/10/2026 08:00AM]\r\nLOOP: 3\r\nMemory Test\tPASSED\r\nProcessor Test\tPASSED\r\n"
    "Printed log line\tDONE\r\n";

// Unix path of a folder as the Z: drive shows it.
std::wstring OnDriveZ(const std::wstring& unixPath) {
  std::wstring p = L"Z:" + unixPath;
  for (wchar_t& ch : p)
    if (ch == L'/') ch = L'\\';
  if (p.back() != L'\\') p += L'\\';
  return p;
}

// The first word of a caption: how the printer's file name starts.
std::wstring FirstWord(const std::wstring& caption) {
  size_t end = 0;
  while (end < caption.size() && std::iswalnum(caption[end])) ++end;
  return caption.substr(0, end);
}

// A window of the host with this title that holds control `id`.
HWND WaitWindowWith(DWORD pid, const std::wstring& title, int id, DWORD ms) {
  return testsupport::WaitForWindowOf(
      pid,
      [&](HWND w) {
        return testsupport::GetText(w).rfind(title, 0) == 0 && testsupport::FindChildById(w, id) != nullptr;
      },
      ms);
}

class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t pdfDir[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"HALVIX_PDF_DIR", pdfDir, MAX_PATH)) GTEST_SKIP() << "no PDF printer";
    DWORD needed = 0, count = 0;
    ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (!needed) GTEST_SKIP() << "Wine sees no printer";
    out_ = OnDriveZ(pdfDir);
  }

  // Presses the dialog's "&Print", answers the Print dialog with OK and
  // waits for a complete PDF of the job written since; moves it to `name`.
  // Returns what went wrong, or "".
  std::string PrintTo(HWND dialog, DWORD pid, const std::wstring& name) {
    const std::wstring prefix = FirstWord(testsupport::GetText(dialog));
    FILETIME start;
    ::GetSystemTimeAsFileTime(&start);
    // The file system may keep whole seconds only.
    ULARGE_INTEGER since{{start.dwLowDateTime, start.dwHighDateTime}};
    since.QuadPart -= 20000000ULL;
    if (!testsupport::ClickButton(dialog, 1029)) return "no Print button";
    HWND print = testsupport::WaitForWindowOf(
        pid, [&](HWND w) { return testsupport::ClassOf(w) == L"#32770" && testsupport::GetText(w) == L"Print"; },
        15000);
    if (!print) return "no Print dialog";
    testsupport::ClickButton(print, IDOK);
    if (!testsupport::WaitWindowGone(print, 10000)) return "the Print dialog stayed";
    std::wstring found;
    testsupport::PumpUntil(
        [&] {
          WIN32_FIND_DATAW fd;
          HANDLE h = ::FindFirstFileW((out_ + prefix + L"*.pdf").c_str(), &fd);
          if (h == INVALID_HANDLE_VALUE) return false;
          do {
            ULARGE_INTEGER written{{fd.ftLastWriteTime.dwLowDateTime, fd.ftLastWriteTime.dwHighDateTime}};
            if (written.QuadPart < since.QuadPart) continue;
            std::string bytes = testsupport::ReadFileBytes(out_ + fd.cFileName);
            if (bytes.size() < 8 || bytes.find("%%EOF") == std::string::npos) continue;
            found = out_ + fd.cFileName;
          } while (found.empty() && ::FindNextFileW(h, &fd));
          ::FindClose(h);
          return !found.empty();
        },
        90000);
    if (found.empty()) return "no PDF " + appkit::Narrow(prefix) + "*.pdf in " + appkit::Narrow(out_);
    if (testsupport::ReadFileBytes(found).substr(0, 5) != "%PDF-") return "not a PDF";
    if (!::MoveFileExW(found.c_str(), (out_ + name).c_str(), MOVEFILE_REPLACE_EXISTING)) return "not moved";
    return "";
  }

  std::wstring out_;
};

}  // namespace

// The results and its details, printed from the benchmark dialog's results.
TEST_F(Printing, BenchmarkResultsAndDetailsPrintToThePdfPrinter) {
  RunFixture fx(L"print bench");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"bnchdflt.dat", kDefaults);
  fx.WriteFile(L"BNCHMARK.BNH", kResults);
  fx.WriteFile(L"bnchref.bnh", kDefaults);
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND results = WaitWindowWith(host.Pid(), L"Benchmarks", 1101, 15000);
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(PrintTo(results, host.Pid(), L"StressPrintResults.pdf"), "");

  ::PostMessageW(results, WM_COMMAND, 1103, 1);
  HWND details = WaitWindowWith(host.Pid(), L"Benchmarks", 1099, 15000);
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(PrintTo(details, host.Pid(), L"StressPrintDetails.pdf"), "");
  // Printing changed nothing: OK leaves the file as it was.
  ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(details, 15000));
  EXPECT_EQ(fx.ReadFile(L"BNCHMARK.BNH"), kResults);

  ASSERT_NO_FATAL_FAILURE(CloseResultsAndHost(results, dlg, host));
}

// The stress dialog's View (no item chosen): STRESS.LOG, printed.
TEST_F(Printing, TestLogPrintsToThePdfPrinter) {
  RunFixture fx(L"print log");
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" + fx.Line("One Module", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"STRESS.LOG", kStressLog);
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));  // "&View"
  HWND log = WaitWindowWith(host.Pid(), L"View Test Log", 1029, 15000);
  ASSERT_NE(log, nullptr);
  auto lines = testsupport::ListBoxLines(testsupport::FindChildById(log, 1024));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(PrintTo(log, host.Pid(), L"StressPrintLog.pdf"), "");
  ASSERT_TRUE(testsupport::ClickButton(log, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(log, 10000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(15000));
}
