// cdrom.mod end to end through the module protocol, on a CD-ROM drive Q:
// this test defines in its Wine prefix over the folder with_cd_disc.sh
// made. Under Wine a folder behind a CD-ROM drive answers no CD-ROM control
// code: the sector reader fails and the access tests take their failure
// path. The result log and BNCHMARK.BNH land beside the control.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "stress/benchscore.h"
#include "suite/diag.h"
#include "testsupport/controls.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\CDROM\\Setting";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The file's lines, CR LF taken as one line end.
std::vector<std::string> FileLines(const std::wstring& path) {
  std::string text = ReadFileBytes(path), line;
  std::vector<std::string> lines;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The run's lines in the log: those after the header and the title line.
std::vector<std::string> LogBody(const std::vector<std::string>& log) {
  std::vector<std::string> body;
  for (size_t i = 3; i < log.size(); ++i) body.push_back(log[i]);
  return body;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// For a picture of a window taken from outside (of the X display): with
// HALVIX_TEST_HOLD_MS set, the test keeps the window open that long.
void HoldForPicture() {
  char buf[16];
  DWORD n = ::GetEnvironmentVariableA("HALVIX_TEST_HOLD_MS", buf, sizeof buf);
  if (n > 0 && n < sizeof buf) PumpUntil([] { return false; }, (DWORD)atoi(buf));
}

// A top-level window of process `pid` holding an item `childId`.
HWND WaitWindowWith(DWORD pid, int childId, DWORD ms) {
  return WaitForWindowOf(pid, [childId](HWND w) { return FindChildById(w, childId) != nullptr; }, ms);
}

class CdromModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterControl(SuitePath(L"CDROM.OCX")), 0); }

  void SetUp() override {
    disc = Env("CDROM_DISC_DIR");
    if (disc.empty()) GTEST_SKIP() << "run through with_cd_disc.sh";
    RemoveDrive();
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
    appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"SelectedDrive", L"Q:\\");
    ::DeleteFileW(SuitePath(L"KytCD.LOG").c_str());
  }
  void TearDown() override {
    RemoveDrive();
    ::DeleteFileW(SuitePath(L"KytCD.LOG").c_str());
  }
  static void RemoveDrive() { DefineDrive(L'q', DRIVE_NO_ROOT_DIR, nullptr); }
  void InsertDisc() {
    ASSERT_TRUE(DefineDrive(L'q', DRIVE_CDROM, disc.c_str()));
    ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), (UINT)DRIVE_CDROM);
  }
  static bool OtherCdDrive() {
    for (wchar_t l = L'A'; l <= L'Z'; ++l) {
      wchar_t root[4] = {l, L':', L'\\', 0};
      if (::GetDriveTypeW(root) == DRIVE_CDROM) return true;
    }
    return false;
  }
  static void Set(const wchar_t* name, DWORD value) { appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value); }
  static DWORD Stored(const wchar_t* name) {
    DWORD v = 0xDEAD;
    appkit::RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKey, KEY_READ)) key.GetDword(name, &v);
    return v;
  }

  // cdrom.mod started by the user: its dialog, with the Test page's Start
  // button (1007) and results list (1005).
  struct ByHand {
    HWND dlg = nullptr, start = nullptr, results = nullptr;
  };
  static void StartByHand(Process& p, ByHand* m) {
    ASSERT_TRUE(p.Start(SuitePath(L"cdrom.mod"), L""));
    m->dlg = WaitWindowWith(p.Pid(), 1007, 20000);
    ASSERT_NE(m->dlg, nullptr);
    m->start = FindChildById(m->dlg, 1007);
    m->results = FindChildById(m->dlg, 1005);
    ASSERT_TRUE(m->start && m->results);
  }
  // Closes it as the main program does, and waits for it to end.
  static void CloseAsHost(Process& p) {
    ::PostThreadMessageW(p.MainThreadId(), ::RegisterWindowMessageW(suite::kDiagMessage), suite::DiagClose, 0);
    EXPECT_TRUE(p.WaitExit(20000));
  }

  // Starts the module as the main program does; its reported result.
  WPARAM Run(const std::wstring& args) {
    Process p;
    WPARAM result = 99;
    EXPECT_TRUE(ctltest::StartModuleAndWaitReport(p, SuitePath(L"cdrom.mod"), args, &result));
    EXPECT_TRUE(p.WaitExit(20000));
    return result;
  }

  std::string disc;
};

// The transfer line and the speed line a run on this disc gives.
const char kRateLine[] = R"(Transfer Rate \(q:\)\t\d+\.\d\d KB/Sec)";
const char kSpeedLine[] = R"(CD-ROM Drive:\t\d+X speed)";

}  // namespace

TEST_F(CdromModule, AutoRunReadsComparesAndRatesTheDisc) {
  InsertDisc();
  EXPECT_EQ(Run(L"-AutoRun"), 0u);
  std::vector<std::string> log = FileLines(SuitePath(L"KytCD.LOG"));
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0].rfind("[Last Updated: ", 0), 0u);
  EXPECT_EQ(log[2], "CD-ROM Test");
  std::vector<std::string> body = LogBody(log);
  ASSERT_EQ(body.size(), 8u) << Joined(log);
  EXPECT_EQ(body[0], "Testing Drive Q:\\");
  EXPECT_EQ(body[1], "Scanning CD-ROM...");
  EXPECT_EQ(body[2], "Reading File(test1.dat):\tPASSED");
  EXPECT_EQ(body[3], "Testing Transfer Rate...");
  EXPECT_TRUE(std::regex_match(body[4], std::regex(kRateLine))) << body[4];
  EXPECT_TRUE(std::regex_match(body[5], std::regex(kSpeedLine))) << body[5];
  // -AutoRun without the Force switches ends the drive here.
  EXPECT_EQ(body[6], "");
  EXPECT_EQ(body[7], "No Error Found.");
}

TEST_F(CdromModule, ForcedAccessTestsTakeTheReaderFailurePathUnderWine) {
  InsertDisc();
  Set(L"ForceFullStroke", 1);
  Set(L"ForceRandom", 1);
  EXPECT_EQ(Run(L"-AutoRun"), 1u);
  std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
  ASSERT_EQ(body.size(), 10u) << Joined(body);
  EXPECT_EQ(body[2], "Reading File(test1.dat):\tPASSED");
  EXPECT_TRUE(std::regex_match(body[4], std::regex(kRateLine))) << body[4];
  EXPECT_EQ(body[6], "Testing Full-Stroke Access...");
  EXPECT_EQ(body[7], "Failed to test seek time.");
  // No access time was measured: no MPC verdict.
  EXPECT_EQ(body[8], "");
  EXPECT_EQ(body[9], "Found Error(s).");
  EXPECT_EQ(Joined(body).find("MPC"), std::string::npos);
  EXPECT_EQ(Joined(body).find("Random Access Time"), std::string::npos);
}

TEST_F(CdromModule, NoDriveGivesItsMessageAndStillWritesTheLog) {
  if (OtherCdDrive()) GTEST_SKIP() << "this prefix has a CD-ROM drive of its own";
  EXPECT_EQ(Run(L"-AutoRun"), 1u);
  std::vector<std::string> log = FileLines(SuitePath(L"KytCD.LOG"));
  EXPECT_EQ(LogBody(log), (std::vector<std::string>{"No CD drive connected to your computer."})) << Joined(log);
}

TEST_F(CdromModule, AnEmptyDriveSaysNoDisk) {
  std::string empty = disc + "-no-disc-here";
  ASSERT_TRUE(DefineDrive(L'q', DRIVE_CDROM, empty.c_str()));
  ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), (UINT)DRIVE_CDROM);
  EXPECT_EQ(Run(L"-AutoRun"), 1u);
  std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
  EXPECT_EQ(body, (std::vector<std::string>{"Testing Drive Q:\\", "No Disk.", "", "Found Error(s)."})) << Joined(body);
}

// A disc whose folder links back to itself twice: the search takes no link,
// looks at each folder once, and the run ends with its "no test file" line.
TEST_F(CdromModule, LinksBackToTheDiscDoNotTrapTheSearch) {
  std::string loops = Env("CDROM_LOOP_DISC_DIR");
  ASSERT_FALSE(loops.empty());
  ASSERT_TRUE(DefineDrive(L'q', DRIVE_CDROM, loops.c_str()));
  ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), (UINT)DRIVE_CDROM);
  EXPECT_EQ(Run(L"-AutoRun"), 1u);
  std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
  ASSERT_EQ(body.size(), 5u) << Joined(body);
  EXPECT_EQ(body[0], "Testing Drive Q:\\");
  EXPECT_EQ(body[1], "Scanning CD-ROM...");
  EXPECT_EQ(body[2], "Failed to find a file on CD-ROM for test.(between 5MB and 30MB)");
  EXPECT_EQ(body[4], "Found Error(s).");
}

// Files the tests cannot open by the name listed (a final dot or blank, a
// name outside the ANSI code page) are passed over: beside a good file the
// good one is read and rated, and a disc with no other file has no test file.
TEST_F(CdromModule, FilesThatCannotBeOpenedByTheirNameArePassedOver) {
  struct Case {
    const char* disc;
    WPARAM result;
    std::vector<std::string> body;  // "~" + a pattern: a line that matches it
  } cases[] = {
      {"CDROM_NAMES_DISC_DIR", 0,
       {"Testing Drive Q:\\", "Scanning CD-ROM...", "Reading File(good.bin):\tPASSED", "Testing Transfer Rate...",
        std::string("~") + kRateLine, std::string("~") + kSpeedLine, "", "No Error Found."}},
      {"CDROM_BADNAME_DISC_DIR", 1,
       {"Testing Drive Q:\\", "Scanning CD-ROM...", "Failed to find a file on CD-ROM for test.(between 5MB and 30MB)",
        "", "Found Error(s)."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.disc);
    std::string folder = Env(c.disc);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(DefineDrive(L'q', DRIVE_CDROM, folder.c_str()));
    EXPECT_EQ(Run(L"-AutoRun"), c.result);
    std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
    ASSERT_EQ(body.size(), c.body.size()) << Joined(body);
    for (size_t i = 0; i < body.size(); ++i) {
      if (c.body[i].rfind("~", 0) == 0)
        EXPECT_TRUE(std::regex_match(body[i], std::regex(c.body[i].substr(1)))) << body[i];
      else
        EXPECT_EQ(body[i], c.body[i]);
    }
    RemoveDrive();
  }
}

// -Check runs without the full-stroke switch and leaves its stored value;
// a BufferMultiple of 0 is a run with 1, saved as such, and not saved at all
// in the kilobyte mode.
TEST_F(CdromModule, CheckRunKeepsTheStoredSwitchAndDivisorsAreRangeChecked) {
  InsertDisc();
  Set(L"FullStrokeTestEnable", 1);
  Set(L"BufferMultiple", 0);
  Set(L"SeekTestNum", 0);
  EXPECT_EQ(Run(L"-AutoRun -Check"), 0u);
  EXPECT_EQ(Stored(L"FullStrokeTestEnable"), 1u);
  EXPECT_EQ(Stored(L"BufferMultiple"), 1u);
  EXPECT_EQ(Stored(L"SeekTestNum"), 1u);
  std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
  ASSERT_GE(body.size(), 3u);
  EXPECT_EQ(body[2], "Reading File(test1.dat):\tPASSED");

  Set(L"BufferMultiple", 0);
  Set(L"TestFileMinSizeK", 64);
  Set(L"FullStrokeTestEnable", 0);
  EXPECT_EQ(Run(L"-AutoRun"), 0u);
  EXPECT_EQ(Stored(L"BufferMultiple"), 0u);
  EXPECT_EQ(Stored(L"FullStrokeTestEnable"), 0u);
}

// The benchmark appends its block to the series' file; the benchmark
// results read the CD-ROM transfer rate from it and score it.
TEST_F(CdromModule, BenchmarkBlockIsAppendedAndScored) {
  InsertDisc();
  const std::wstring bnh = SuitePath(L"BNCHMARK.BNH");
  const std::string header = "[Last Updated: 12/10/2026 09:00AM]\r\nThis machine\r\n\r\n";
  ASSERT_TRUE(WriteFileBytes(bnh, header));
  EXPECT_EQ(Run(L"-AutoRun -Bench"), 0u);
  std::string file = ReadFileBytes(bnh);
  ::DeleteFileW(bnh.c_str());
  ASSERT_EQ(file.rfind(header, 0), 0u) << file;
  std::vector<std::string> lines = stress::ResultLines(file.substr(header.size()));
  ASSERT_EQ(lines.size(), 3u) << file;
  EXPECT_EQ(lines[0], "CD-ROM Performance Test(s):");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(kRateLine))) << lines[1];
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(file.substr(file.size() - 4), "\r\n\r\n");

  const std::vector<stress::ResultRow> rows = stress::ResultRows(true);
  const std::vector<long> defaults =
      stress::ReadDefaults(stress::ResultLines(ReadFileBytes(SuitePath(L"bnchdflt.dat"))), rows);
  const stress::ResultColumn column = stress::ReadResults(stress::ResultLines(file), rows, defaults);
  int row = -1;
  for (size_t i = 0; i < rows.size(); ++i)
    if (std::string(rows[i].label) == "CD-ROM Transfer Rate") row = (int)i;
  ASSERT_GE(row, 0);
  double rate = 0;
  ASSERT_TRUE(stress::LeadingNumber(column.cells[row], &rate)) << column.cells[row];
  EXPECT_GT(rate, 0.0);
  EXPECT_EQ(column.cells[row].substr(column.cells[row].size() - 7), " KB/Sec");
  EXPECT_GE(column.count, 1) << "the CD-ROM rate is a scored figure";
  EXPECT_FALSE(column.score.empty());
}

TEST_F(CdromModule, BenchmarkWithoutADriveWritesItsErrorUnderItsHeading) {
  if (OtherCdDrive()) GTEST_SKIP() << "this prefix has a CD-ROM drive of its own";
  const std::wstring bnh = SuitePath(L"BNCHMARK.BNH");
  ASSERT_TRUE(WriteFileBytes(bnh, "head\r\n\r\n"));
  EXPECT_EQ(Run(L"-AutoRun -Bench"), 1u);
  std::vector<std::string> lines = FileLines(bnh);
  ::DeleteFileW(bnh.c_str());
  EXPECT_EQ(lines, (std::vector<std::string>{"head", "", "CD-ROM Performance Test(s):",
                                             "No CD drive connected to your computer.", "Found Error(s).", ""}));
}

// The host asks a long automatic run to close: the run stops at its next
// step, says so, and the module still reports its count.
TEST_F(CdromModule, HostCloseStopsARunWhichStillReports) {
  InsertDisc();
  Set(L"Loop", 100000);
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"cdrom.mod"), L"-AutoRun"));
  ASSERT_TRUE(p.WaitIdle(10000));
  MessageCatcher host;
  UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
  // A read of the disc's file passed on the results list, then the host's close.
  HWND page = WaitWindowWith(p.Pid(), 1005, 30000);
  ASSERT_NE(page, nullptr);
  HWND results = FindChildById(page, 1005);
  EXPECT_TRUE(PumpUntil(
      [&] {
        for (const std::wstring& line : ListBoxLines(results))
          if (line.find(L"Reading File(test1.dat)") != std::wstring::npos && line.find(L"PASSED") != std::wstring::npos)
            return true;
        return false;
      },
      60000))
      << appkit::Narrow(ListBoxLines(results).empty() ? L"<empty list>" : ListBoxLines(results).back());
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 60000, &done));
  EXPECT_EQ((DWORD)done.lp, p.Pid());
  EXPECT_EQ(done.wp, 0u);
  EXPECT_TRUE(p.WaitExit(20000));
  std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
  ASSERT_GE(body.size(), 4u);
  EXPECT_EQ(body[body.size() - 3], "===>Test aborted.") << Joined(body);
  EXPECT_EQ(body[body.size() - 2], "");
  EXPECT_EQ(body.back(), "No Error Found.");
  EXPECT_GE(std::count(body.begin(), body.end(), std::string("Reading File(test1.dat):\tPASSED")), 1);
}

// A run started by the user: the options view first, the question before
// the run, then the results view with the lines of the run.
TEST_F(CdromModule, StartAsksFirstAndShowsTheResults) {
  InsertDisc();
  Set(L"FullStrokeTestEnable", 1);
  Process p;
  ByHand m;
  ASSERT_NO_FATAL_FAILURE(StartByHand(p, &m));
  const HWND dlg = m.dlg, start = m.start, results = m.results;
  HWND tests = FindChildById(dlg, 1009);
  ASSERT_TRUE(tests);
  EXPECT_TRUE(::IsWindowVisible(tests));
  EXPECT_EQ(ListBoxLines(tests), (std::vector<std::wstring>{L"- Read Data Test", L"- Transfer Rate Test",
                                                           L"- Full-Stroke Access Test (Not for DVD)",
                                                           L"- Random Access Test (Not for DVD)"}));
  EXPECT_EQ(GetText(FindChildById(dlg, 1011)), L"Q:\\");
  // The Information page first, the Test page active.
  HWND tab = FindChild(dlg, L"SysTabControl32");
  ASSERT_NE(tab, nullptr);
  EXPECT_EQ(::SendMessageW(tab, 0x1304 /* TCM_GETITEMCOUNT */, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(tab, 0x130B /* TCM_GETCURSEL */, 0, 0), 1);
  ::PostMessageW(::GetParent(start), WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), (LPARAM)start);
  HWND box = WaitWindowWith(p.Pid(), IDYES, 20000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetText(box), L"CD-ROM Test");
  ASSERT_TRUE(ClickButton(box, IDYES));
  ASSERT_TRUE(PumpUntil([&] { return GetText(start) == L"&Start" && ListBoxLines(results).size() > 8; }, 120000));
  EXPECT_TRUE(::IsWindowVisible(results));
  EXPECT_FALSE(::IsWindowVisible(tests));
  std::vector<std::wstring> lines = ListBoxLines(results);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], L"Testing Drive Q:\\");
  EXPECT_EQ(lines[2], L"Reading File(test1.dat):\tPASSED");
  EXPECT_EQ(lines[6], L"Testing Full-Stroke Access...");
  EXPECT_EQ(lines[7], L"Failed to test seek time.");
  EXPECT_EQ(lines[9], L"Found Error(s).");
  HoldForPicture();
  CloseAsHost(p);
}

// Under Windows 9x (Wine's per-program setting) the sector reader of that
// system has no 16-bit partner here and does not load: Start refuses at once
// with the load's message, without the question; an automatic run still
// reads and rates the disc, which needs no reader.
TEST_F(CdromModule, OnWindows9xWithoutItsReaderStartRefusesAndAutoRunStillReads) {
  InsertDisc();
  const wchar_t version[] = L"Software\\Wine\\AppDefaults\\cdrom.mod";
  ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, version, L"Version", L"win98"));
  struct Restore {
    const wchar_t* key;
    ~Restore() { appkit::RegDeleteTree(HKEY_CURRENT_USER, key); }
  } restore{version};

  Process p;
  ByHand m;
  ASSERT_NO_FATAL_FAILURE(StartByHand(p, &m));
  const HWND start = m.start, results = m.results;
  ::PostMessageW(::GetParent(start), WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), (LPARAM)start);
  const std::vector<std::wstring> refused{L"Failed to load trunnel.dll"};
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(results) && ListBoxLines(results) == refused; }, 30000))
      << appkit::Narrow(ListBoxLines(results).empty() ? L"<empty list>" : ListBoxLines(results).back());
  EXPECT_EQ(WaitWindowWith(p.Pid(), IDYES, 0), nullptr) << "no question before a run that cannot start";
  EXPECT_EQ(GetText(start), L"&Start");
  CloseAsHost(p);

  EXPECT_EQ(Run(L"-AutoRun"), 0u);
  std::vector<std::string> body = LogBody(FileLines(SuitePath(L"KytCD.LOG")));
  ASSERT_EQ(body.size(), 8u) << Joined(body);
  EXPECT_EQ(body[2], "Reading File(test1.dat):\tPASSED");
  EXPECT_TRUE(std::regex_match(body[4], std::regex(kRateLine))) << body[4];
  EXPECT_EQ(body[7], "No Error Found.");
}
