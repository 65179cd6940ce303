// The report wizard end to end under Wine: Tamblet.MOD started by Halvix's
// "Print Report" command and on its own, its three pages driven as a user
// would, judged by their boxes, the report file, the list and the message
// boxes.
#include <gtest/gtest.h>
#include <windows.h>
// (after windows.h)
#include <shellapi.h>
#include <winspool.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kHalvixRoot[] = L"Software\\Qev\\Halvix";
const wchar_t kHalvixSetting[] = L"Software\\Qev\\Halvix\\Setting";
const wchar_t kTambletRoot[] = L"Software\\Kyt\\Tamblet";
const wchar_t kBackupRoot[] = L"Software\\TambletWizardTestBackup";
const wchar_t kCaption[] = L"ReportWizard";
constexpr UINT kPrintReportCommand = 32784;  // Halvix's "&Print Report ..."

// Ids of the pages' controls.
constexpr int kFirstBox = 1000;
constexpr int kReportList = 1001;
constexpr int kTitleEdit = 1002;
constexpr int kLoadReport = 1003;
constexpr int kSelectAllTests = 1016;
constexpr int kCollectAll = 1019;
constexpr int kLoadButton = 1020;
constexpr int kReportMessage = 1021;
constexpr int kBack = 3;



// A visible page of the wizard: a dialog titled "ReportWizard" that holds
// control `id`, of process `pid` (0: any process but `notPid`). Ids that
// tell the pages apart: 1020 (Load) the first, 1019 (Collect All) the
// second, 1021 (the message) the report page.
struct PageSearch {
  DWORD pid, notPid;
  int id;
  HWND found;
};
BOOL CALLBACK FindPage(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<PageSearch*>(lp);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(w, &owner);
  if ((s->pid && owner != s->pid) || owner == s->notPid || !::IsWindowVisible(w)) return TRUE;
  if (ClassOf(w) != L"#32770" || GetText(w) != kCaption || !::GetDlgItem(w, s->id)) return TRUE;
  s->found = w;
  return FALSE;
}
HWND WaitPage(DWORD pid, int id, DWORD ms = 10000, DWORD notPid = 0) {
  PageSearch s{pid, notPid, id, nullptr};
  PumpUntil(
      [&] {
        s.found = nullptr;
        ::EnumWindows(&FindPage, reinterpret_cast<LPARAM>(&s));
        return s.found != nullptr;
      },
      ms);
  return s.found;
}

// A common dialog of `pid` titled `title`, once it shows: it exists (and
// can be found by its title) before its controls are made and given their
// first texts, which would overwrite what a test puts there.
HWND WaitShownDialog(const wchar_t* title, DWORD pid, DWORD ms) {
  return WaitForWindowOf(
      pid, [&](HWND w) { return ClassOf(w) == L"#32770" && GetText(w) == title; }, ms);
}

bool Enabled(HWND page, int id) { return ::IsWindowEnabled(::GetDlgItem(page, id)) != FALSE; }
bool Checked(HWND page, int id) { return ::SendMessageW(::GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetCheck(HWND page, int id, bool on) {
  ::SendMessageW(::GetDlgItem(page, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Reads a message box of `pid` titled "ReportWizard", presses OK.
std::wstring AnswerBox(DWORD pid, DWORD ms = 10000) {
  const DWORD start = ::GetTickCount();
  HWND box = WaitForWindow(kCaption, L"#32770", pid, ms);
  // The page has the box's caption too and may be found first: then the box
  // itself is looked for (its text is control 0xFFFF) for the rest of the
  // wait, since it can come a while after the page on a busy machine.
  while (box && !FindChildById(box, 0xFFFF)) {
    PageSearch s{pid, 0, 0xFFFF, nullptr};
    ::EnumWindows(&FindPage, reinterpret_cast<LPARAM>(&s));
    if (s.found) {
      box = s.found;
      break;
    }
    if (::GetTickCount() - start >= ms) return L"<no box>";
    PumpUntil([] { return false; }, 100);
  }
  if (!box) return L"<no box>";
  std::wstring said = GetText(FindChildById(box, 0xFFFF));
  ClickButton(box, IDOK);
  WaitWindowGone(box, 5000);
  return said;
}

// With TAMBLET_SCREENSHOTS set to a folder, asks for a picture of the
// screen while `w` shows: writes "<name>.request" there and waits until
// the screen grabber outside Wine has taken the picture and removed it.
void Screenshot(HWND w, const wchar_t* name) {
  wchar_t dir[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"TAMBLET_SCREENSHOTS", dir, MAX_PATH)) return;
  ::SetForegroundWindow(w);
  ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 500);
  const std::wstring request = std::wstring(dir) + L"\\" + name + L".request";
  WriteFileBytes(request, "");
  PumpUntil([&] { return ::GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
  ::DeleteFileW(request.c_str());
}

// The fixtures: three logs, the benchmark file and two information files.
const char kStressLog[] = "12/10/2026 07:00AM\r\nStress Test\r\nLoop 1\tPASSED\r\n";
const char kMemLog[] = "12/10/2026 07:05AM\r\nMemory Test\r\nWalking Ones\tPASSED\r\n";
const char kBench[] = "Dhrystone\t400\r\nWhetstone\t120\r\n";
const char kSumIfo[] = "\r\n@3Summary\r\n;Video Info\r\nOperating System:\tWindows\r\n";
const char kProcIfo[] = "\r\n@3Processor\r\nType:\tTest CPU\r\n";

class Wizard : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = TempDir() + L"tamblet-wizard-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(base_.c_str(), nullptr);
    suite_ = base_ + L"suite dir\\";
    data_ = base_ + L"data\\";
    ::CreateDirectoryW(suite_.c_str(), nullptr);
    ::CreateDirectoryW(data_.c_str(), nullptr);
    for (const wchar_t* f : {L"Tamblet.MOD", L"ombrix.dll", L"halvix.exe"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (suite_ + f).c_str(), FALSE)) << f;
    WriteFileBytes(data_ + L"STRESS.LOG", kStressLog);
    WriteFileBytes(data_ + L"KytMEM.LOG", kMemLog);
    WriteFileBytes(data_ + L"BNCHMARK.BNH", kBench);
    WriteFileBytes(data_ + L"KytSUM.IFO", kSumIfo);
    halvixKey_.emplace(kHalvixRoot, std::wstring(kBackupRoot) + L"\\Halvix");
    tambletKey_.emplace(kTambletRoot, std::wstring(kBackupRoot) + L"\\Tamblet");
    ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, kHalvixSetting, L"ModulePath", data_ + L"halvix.exe"));
  }

  void TearDown() override {
    for (Process* p : {&halvix_, &wizard_})
      if (p->Running()) p->Kill();
    testsupport::EndProcessById(wizardPid_);
    halvixKey_.reset();
    tambletKey_.reset();
    RemoveTree(base_);
  }

  // Starts the wizard on its own and waits for its first page.
  HWND StartWizard(const std::wstring& args = L"", int pageControl = kLoadButton) {
    if (!wizard_.Start(suite_ + L"Tamblet.MOD", args)) return nullptr;
    wizardPid_ = wizard_.Pid();
    return WaitPage(wizardPid_, pageControl);
  }

  // Waits until the report list holds items and answers them.
  std::vector<std::wstring> ReportLines(HWND page) {
    ReportListed(page);
    return ListBoxLines(::GetDlgItem(page, kReportList));
  }
  // Whether the report list has lines, without reading them across the
  // process line by line (thousands of lines take seconds).
  bool ReportListed(HWND page) {
    HWND list = ::GetDlgItem(page, kReportList);
    return PumpUntil([&] { return ::SendMessageW(list, LB_GETCOUNT, 0, 0) > 0; }, 5000);
  }

  bool WizardEnded(DWORD ms) {
    HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, wizardPid_);
    if (!h) return true;
    bool ended = ::WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
    ::CloseHandle(h);
    return ended;
  }

  std::wstring base_, suite_, data_;
  std::optional<KeyAside> halvixKey_, tambletKey_;
  Process halvix_, wizard_;
  DWORD wizardPid_ = 0;
};

// From Halvix's command through all three pages and back again.
TEST_F(Wizard, HalvixStartsTheWizardWhichBuildsAndShowsTheReport) {
  // Halvix publishes its own folder at start, with nothing stored before:
  // the wizard it starts finds the logs and files beside it.
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kHalvixSetting, L"ModulePath");
  for (const wchar_t* f : {L"STRESS.LOG", L"KytMEM.LOG", L"BNCHMARK.BNH", L"KytSUM.IFO"})
    ASSERT_TRUE(::MoveFileW((data_ + f).c_str(), (suite_ + f).c_str())) << f;
  data_ = suite_;
  ASSERT_TRUE(halvix_.Start(suite_ + L"halvix.exe"));
  HWND main = nullptr;
  PumpUntil(
      [&] {
        if (HWND splash = FindTopWindow(L"", L"#32770", halvix_.Pid()))
          if (::IsWindowVisible(splash)) ::PostMessageW(splash, WM_LBUTTONUP, 0, 0);
        HWND w = FindTopWindow(L"", L"HalvixMainFrame", halvix_.Pid());
        if (w && ::IsWindowVisible(w)) main = w;
        return main != nullptr || !halvix_.Running();
      },
      15000);
  ASSERT_NE(main, nullptr);
  ::PostMessageW(main, WM_COMMAND, kPrintReportCommand, 0);

  // Test results: boxes of missing logs are disabled, none is checked.
  HWND a = WaitPage(0, kLoadButton, 15000, halvix_.Pid());
  ASSERT_NE(a, nullptr);
  ::GetWindowThreadProcessId(a, &wizardPid_);
  for (int i : {0, 1, 11}) EXPECT_TRUE(Enabled(a, kFirstBox + i)) << i;
  for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 10}) EXPECT_FALSE(Enabled(a, kFirstBox + i)) << i;
  for (int i = 0; i < 12; ++i) EXPECT_FALSE(Checked(a, kFirstBox + i)) << i;
  ClickButton(a, kSelectAllTests);
  PumpUntil([&] { return Checked(a, kFirstBox + 11); }, 5000);
  for (int i : {0, 1, 11}) EXPECT_TRUE(Checked(a, kFirstBox + i)) << i;
  EXPECT_FALSE(Checked(a, kFirstBox + 2));
  SetCheck(a, kFirstBox + 0, false);  // the stress log stays out
  Screenshot(a, L"tamblet_page_a");
  ClickButton(a, IDOK);

  // System information: a file the server writes while the page is open
  // becomes selectable.
  HWND b = WaitPage(wizardPid_, kCollectAll);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(Enabled(b, kFirstBox + 0));
  EXPECT_FALSE(Enabled(b, kFirstBox + 2));
  WriteFileBytes(data_ + L"KytPROC.IFO", kProcIfo);
  EXPECT_TRUE(PumpUntil([&] { return Enabled(b, kFirstBox + 2); }, 5000));
  SetCheck(b, kFirstBox + 0, true);
  SetCheck(b, kFirstBox + 2, true);
  ClickButton(b, kCollectAll);  // asks Halvix, which stays up
  Screenshot(b, L"tamblet_page_b");
  ClickButton(b, IDOK);

  // The report: built in the program's directory, shown without markers.
  HWND c = WaitPage(wizardPid_, kReportMessage);
  ASSERT_NE(c, nullptr);
  const std::string report =
      "@3TEST RESULTS\r\n"
      "\r\n" + std::string(kMemLog) + "\r\n" + kBench + "\r\n\r\n"
      "@3SYSTEM INFORMATION\r\n" + kSumIfo + kProcIfo;
  std::vector<std::wstring> lines = ReportLines(c);
  EXPECT_EQ(ReadFileBytes(suite_ + L"DIAGReport.txt"), report);
  const std::vector<std::wstring> expected = {
      L"@3TEST RESULTS", L" ", L"12/10/2026 07:05AM", L"Memory Test", L"Walking Ones\tPASSED", L" ",
      L"Dhrystone\t400", L"Whetstone\t120", L" ", L" ", L"@3SYSTEM INFORMATION", L" ", L"@3Summary",
      L"Operating System:\tWindows", L" ", L"@3Processor", L"Type:\tTest CPU", L" "};
  EXPECT_EQ(lines, expected);
  EXPECT_NE(GetText(::GetDlgItem(c, kReportMessage)).find(L"saved to the file DIAGReport.txt."), std::wstring::npos);
  wchar_t computer[256] = {};
  DWORD n = 256;
  ::GetComputerNameW(computer, &n);
  EXPECT_EQ(GetText(::GetDlgItem(c, kTitleEdit)), computer);
  EXPECT_TRUE(Enabled(c, kBack));
  Screenshot(c, L"tamblet_page_c");
  EXPECT_TRUE(halvix_.Running());

  // Back keeps every choice and the edited title.
  // The title keeps at most 79 characters.
  const std::wstring edited = L"Edited title " + std::wstring(72, L'x');
  ::SendMessageW(::GetDlgItem(c, kTitleEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(edited.c_str()));
  ClickButton(c, kBack);
  b = WaitPage(wizardPid_, kCollectAll);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(Checked(b, kFirstBox + 0));
  EXPECT_TRUE(Checked(b, kFirstBox + 2));
  EXPECT_FALSE(Checked(b, kFirstBox + 1));
  ClickButton(b, kBack);
  a = WaitPage(wizardPid_, kLoadButton);
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(Checked(a, kFirstBox + 0));
  EXPECT_TRUE(Checked(a, kFirstBox + 1));
  EXPECT_TRUE(Checked(a, kFirstBox + 11));
  ClickButton(a, IDOK);
  b = WaitPage(wizardPid_, kCollectAll);
  ASSERT_NE(b, nullptr);
  ClickButton(b, IDOK);
  c = WaitPage(wizardPid_, kReportMessage);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GetText(::GetDlgItem(c, kTitleEdit)), edited.substr(0, 79));
  EXPECT_EQ(ReportLines(c), expected);
  ClickButton(c, IDCANCEL);  // Exit
  EXPECT_TRUE(WizardEnded(10000));
  EXPECT_TRUE(halvix_.Running());
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(halvix_.WaitExit(10000));
}

// A report file on the command line, quoted or not, blanks in its path:
// only the report page, without Back.
TEST_F(Wizard, FileArgumentShowsOnlyTheReportPage) {
  const std::wstring file = base_ + L"old reports\\my report.txt";
  ::CreateDirectoryW((base_ + L"old reports").c_str(), nullptr);
  WriteFileBytes(file, "@3TEST RESULTS\r\n;hidden\r\n\r\nKept:\tline\r\n");
  const std::vector<std::wstring> expected = {L"@3TEST RESULTS", L" ", L"Kept:\tline", L" "};
  // The left margin is forced into 1..150 and written back.
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, std::wstring(kTambletRoot) + L"\\Setting", L"LeftPrintMargin", 500));
  for (const std::wstring& arg : {L"\"" + file + L"\"", file}) {
    HWND c = StartWizard(arg, kReportMessage);
    ASSERT_NE(c, nullptr) << appkit::Narrow(arg);
    EXPECT_EQ(ReportLines(c), expected);
    EXPECT_FALSE(Enabled(c, kBack));
    // Load reads the file again.
    WriteFileBytes(file, "Changed\r\n");
    ClickButton(c, kLoadReport);
    EXPECT_TRUE(PumpUntil([&] { return ListBoxLines(::GetDlgItem(c, kReportList)).size() == 2; }, 5000));
    if (arg[0] == L'"') Screenshot(c, L"tamblet_file_argument");
    ClickButton(c, IDCANCEL);
    EXPECT_TRUE(wizard_.WaitExit(10000));
    EXPECT_EQ(wizard_.ExitCode(), 0u);
    WriteFileBytes(file, "@3TEST RESULTS\r\n;hidden\r\n\r\nKept:\tline\r\n");
  }
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, std::wstring(kTambletRoot) + L"\\Setting", L"LeftPrintMargin", 0),
            150u);
}

// Load on the first page: the chosen file is shown without the information
// page and without building; Back returns to the first page, and the next
// pass builds the default report again.
TEST_F(Wizard, LoadOnTheFirstPageShowsTheChosenFile) {
  const std::wstring file = base_ + L"chosen.txt";
  WriteFileBytes(file, "Chosen:\tyes\r\n");
  HWND a = StartWizard();
  ASSERT_NE(a, nullptr);
  ClickButton(a, kLoadButton);
  HWND open = WaitShownDialog(L"Open", wizardPid_, 10000);
  ASSERT_NE(open, nullptr);
  HWND name = FindChildById(open, 0x47c);  // the file name box, an edit inside
  if (!name) name = FindChildById(open, 0x480);
  ASSERT_NE(name, nullptr);
  if (HWND edit = FindChild(name, L"Edit")) name = edit;
  ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
  // OK of the dialog itself (nested views hold other controls with id 1).
  ::PostMessageW(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(open, IDOK)));
  HWND c = WaitPage(wizardPid_, kReportMessage);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ReportLines(c), (std::vector<std::wstring>{L"Chosen:\tyes", L" "}));
  EXPECT_FALSE(appkit::FileExists(suite_ + L"DIAGReport.txt"));
  EXPECT_TRUE(Enabled(c, kBack));
  ClickButton(c, kBack);
  a = WaitPage(wizardPid_, kLoadButton);
  ASSERT_NE(a, nullptr);
  SetCheck(a, kFirstBox + 1, true);
  ClickButton(a, IDOK);
  HWND b = WaitPage(wizardPid_, kCollectAll);
  ASSERT_NE(b, nullptr);
  ClickButton(b, IDOK);
  c = WaitPage(wizardPid_, kReportMessage);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ReportLines(c).at(0), L"@3TEST RESULTS");
  EXPECT_EQ(ReadFileBytes(suite_ + L"DIAGReport.txt"), "@3TEST RESULTS\r\n\r\n" + std::string(kMemLog) + "\r\n\r\n");
  ClickButton(c, IDCANCEL);
  EXPECT_TRUE(wizard_.WaitExit(10000));
}

// Minimised, the first page paints (its icon) and keeps working.
TEST_F(Wizard, FirstPageWorksAfterBeingMinimised) {
  HWND a = StartWizard();
  ASSERT_NE(a, nullptr);
  Minimised m = MinimiseAndRestore(a, 10000);
  EXPECT_TRUE(m.minimised);
  EXPECT_TRUE(m.painted);
  EXPECT_TRUE(m.answered);
  EXPECT_FALSE(::IsIconic(a));
  ClickButton(a, IDOK);
  EXPECT_NE(WaitPage(wizardPid_, kCollectAll), nullptr) << "the page still works after being minimised";
}

// Next with nothing selected stays on the information page; Collect All
// without a host does nothing.
TEST_F(Wizard, NothingSelectedIsSaidAndTheInformationPageStays) {
  HWND a = StartWizard();
  ASSERT_NE(a, nullptr);
  ClickButton(a, IDOK);
  HWND b = WaitPage(wizardPid_, kCollectAll);
  ASSERT_NE(b, nullptr);
  ClickButton(b, kCollectAll);
  ClickButton(b, IDOK);
  EXPECT_EQ(AnswerBox(wizardPid_), L"No item is selected.");
  EXPECT_TRUE(::IsWindowVisible(b));
  // Its refresh stays stopped: a file the server writes now gives no box
  // within several of the refresh's periods.
  WriteFileBytes(data_ + L"KytPROC.IFO", kProcIfo);
  EXPECT_FALSE(PumpUntil([&] { return Enabled(b, kFirstBox + 2); }, 4000));
  ClickButton(b, IDCANCEL);
  EXPECT_TRUE(wizard_.WaitExit(10000));
  EXPECT_FALSE(::IsWindow(b));
}

// A report that cannot be written is never shown: the user is told, and
// the list stays empty (the default report path is taken by a directory).
TEST_F(Wizard, AReportThatCannotBeWrittenIsNotShown) {
  ASSERT_TRUE(::CreateDirectoryW((suite_ + L"DIAGReport.txt").c_str(), nullptr));
  HWND a = StartWizard();
  ASSERT_NE(a, nullptr);
  SetCheck(a, kFirstBox + 1, true);
  ClickButton(a, IDOK);
  HWND b = WaitPage(wizardPid_, kCollectAll);
  ASSERT_NE(b, nullptr);
  ClickButton(b, IDOK);
  std::wstring said = AnswerBox(wizardPid_);
  EXPECT_NE(said.find(L"could not be written"), std::wstring::npos) << appkit::Narrow(said);
  EXPECT_NE(said.find(suite_ + L"DIAGReport.txt"), std::wstring::npos) << appkit::Narrow(said);
  HWND c = WaitPage(wizardPid_, kReportMessage);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GetText(::GetDlgItem(c, kReportMessage)), said);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(::SendMessageW(::GetDlgItem(c, kReportList), LB_GETCOUNT, 0, 0), 0);
  ClickButton(c, kLoadReport);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(::SendMessageW(::GetDlgItem(c, kReportList), LB_GETCOUNT, 0, 0), 0);
  ClickButton(c, IDCANCEL);
  EXPECT_TRUE(wizard_.WaitExit(10000));
}


// Unix path of a folder as the Z: drive shows it.
std::wstring OnDriveZ(const std::wstring& unixPath) {
  std::wstring p = L"Z:" + unixPath;
  for (wchar_t& ch : p)
    if (ch == L'/') ch = L'\\';
  if (p.back() != L'\\') p += L'\\';
  return p;
}

// The PDF file whose name holds `title` in `dir`, once it is complete.
std::wstring WaitPdf(const std::wstring& dir, const std::wstring& title, DWORD ms) {
  std::wstring found;
  PumpUntil(
      [&] {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((dir + L"*" + title + L"*.pdf").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return false;
        ::FindClose(h);
        std::string bytes = ReadFileBytes(dir + fd.cFileName);
        if (bytes.size() < 8 || bytes.find("%%EOF") == std::string::npos) return false;
        found = dir + fd.cFileName;
        return true;
      },
      ms);
  return found;
}

// Prints a report through the print dialog: the title edit names the job.
// Answers the message box the wizard shows afterwards, waiting `boxMs` for it.
std::wstring PrintFromReportPage(HWND page, DWORD pid, const std::wstring& title, DWORD boxMs) {
  ::SendMessageW(::GetDlgItem(page, kTitleEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
  ClickButton(page, IDOK);  // "&Print"
  HWND dialog = WaitShownDialog(L"Print", pid, 15000);
  if (!dialog) return L"<no print dialog>";
  ClickButton(dialog, IDOK);
  WaitWindowGone(dialog, 10000);
  HWND box = nullptr;
  PumpUntil(
      [&] {
        PageSearch s{pid, 0, 0xFFFF, nullptr};
        ::EnumWindows(&FindPage, reinterpret_cast<LPARAM>(&s));
        box = s.found;
        return box != nullptr;
      },
      boxMs);
  return box ? AnswerBox(pid) : L"";
}

// The report printed on the default printer (the scripts' PDF printer):
// the PDF appears in the printer's folder; tamblet_pdf_check.sh then reads
// its first page and renders it to /tmp/tamblet_page1.png. A report longer
// than 49 pages is cut there, and the user is told.
TEST_F(Wizard, ReportPrintsToThePdfPrinter) {
  wchar_t pdfDir[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"HALVIX_PDF_DIR", pdfDir, MAX_PATH)) GTEST_SKIP() << "no PDF printer";
  DWORD needed = 0, count = 0;
  ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
  if (!needed) GTEST_SKIP() << "Wine sees no printer";
  const std::wstring out = OnDriveZ(pdfDir);

  std::string text = std::string("@3TEST RESULTS\r\n\r\n") + kMemLog + "\r\n" + kBench + "\r\n\r\n@3SYSTEM INFORMATION\r\n" +
                     kSumIfo;
  for (int i = 1; i <= 100; ++i) text += "Item " + std::to_string(i) + ":\tValue " + std::to_string(i * 7) + "\r\n";
  text += "@3Last heading\r\nLast line\r\n";
  const std::wstring file = base_ + L"report.txt";
  WriteFileBytes(file, text);
  HWND c = StartWizard(L"\"" + file + L"\"", kReportMessage);
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(ReportListed(c));
  const std::wstring title = L"TambletPrint" + std::to_wstring(::GetTickCount());
  EXPECT_EQ(PrintFromReportPage(c, wizardPid_, title, 0), L"");
  std::wstring pdf = WaitPdf(out, title, 60000);
  ASSERT_FALSE(pdf.empty()) << "no PDF in " << appkit::Narrow(out);
  // The wizard has long finished with the job once the printer has made it:
  // a box it were to show afterwards would be up by now.
  EXPECT_EQ(AnswerBox(wizardPid_, 0), L"<no box>");
  EXPECT_EQ(ReadFileBytes(pdf).substr(0, 5), "%PDF-");
  ClickButton(c, IDCANCEL);
  ASSERT_TRUE(wizard_.WaitExit(10000));

  // 6000 lines: more than 49 pages of any paper.
  std::string longText;
  for (int i = 1; i <= 6000; ++i) longText += "Line " + std::to_string(i) + "\r\n";
  WriteFileBytes(file, longText);
  c = StartWizard(L"\"" + file + L"\"", kReportMessage);
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(ReportListed(c));
  const std::wstring longTitle = L"TambletLong" + std::to_wstring(::GetTickCount());
  std::wstring said = PrintFromReportPage(c, wizardPid_, longTitle, 120000);
  EXPECT_NE(said.find(L"only the first 49 pages were printed"), std::wstring::npos) << appkit::Narrow(said);
  EXPECT_FALSE(WaitPdf(out, longTitle, 60000).empty());
  ClickButton(c, IDCANCEL);
  EXPECT_TRUE(wizard_.WaitExit(10000));
}

}  // namespace
