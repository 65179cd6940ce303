// fenwold.mod end to end through the module protocol, on drives this test
// defines in its Wine prefix through the mount manager: a scratch folder as
// a fixed drive, read-only file systems, and floppy-type drives A: and B:
// of which one is full. The result log lands beside the control.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "suite/diag.h"
#include "testsupport/controls.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\Fenwold\\Setting";

std::string ReadAll(const std::wstring& name) {
  std::ifstream in(name.c_str(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  // Compared line by line below: the file's CR LF as "\n".
  std::string text;
  for (char c : s.str())
    if (c != '\r') text += c;
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

class FenwoldModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterControl(SuitePath(L"FENWOLD.OCX")), 0); }

  void SetUp() override {
    if (Env("FENWOLD_SCRATCH_DIR").empty()) GTEST_SKIP() << "run through with_small_volumes.sh";
    RemoveDrives();
    // Small files: 5000 ... 160000 bytes (floppy: ... 40000).
    for (auto [name, value] : {std::pair<const wchar_t*, DWORD>{L"nLargestSize", 160000},
                               {L"nIncrement", 5000},
                               {L"nIncrementMax", 40000},
                               {L"nFloppyLargestSize", 40000},
                               {L"nFloppyIncrement", 5000},
                               {L"nFloppyIncrementMax", 20000},
                               {L"DiskSequentialTestEnable", 1},
                               {L"DiskRandomTestEnable", 1},
                               {L"FloppySequentialTestEnable", 1},
                               {L"FloppyRandomTestEnable", 1},
                               {L"nThread", 1}})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
    RemoveLogs();
  }
  void TearDown() override {
    RemoveDrives();
    RemoveLogs();
  }
  static void RemoveLogs() {
    for (const wchar_t* log : {L"KytDISK.LOG", L"KytFLPY.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }
  static void RemoveDrives() {
    for (wchar_t l : {L'a', L'b', L'n', L'r', L's'}) DefineDrive(l, DRIVE_NO_ROOT_DIR, nullptr);
  }
  static void Select(const wchar_t* value, const wchar_t* drive) {
    appkit::RegWriteString(HKEY_CURRENT_USER, kKey, value, drive);
  }

  // Starts the module as the main program does; its reported result.
  WPARAM Run(const std::wstring& module, const std::wstring& args) {
    Process p;
    WPARAM result = 99;
    EXPECT_TRUE(ctltest::StartModuleAndWaitReport(p, SuitePath(module), args, &result)) << module.c_str();
    EXPECT_TRUE(p.WaitExit(20000));
    return result;
  }

  // No temporary file is left: the DISKTEST folder, empty, went when the
  // module closed.
  static bool NoTestFolderOn(const wchar_t* root) {
    return ::GetFileAttributesW((std::wstring(root) + L"DISKTEST").c_str()) == INVALID_FILE_ATTRIBUTES;
  }
};

}  // namespace

TEST_F(FenwoldModule, ScratchDrivePassesWithEveryFileOkAndResultZero) {
  std::string scratch = Env("FENWOLD_SCRATCH_DIR");
  ASSERT_TRUE(DefineDrive(L's', DRIVE_FIXED, scratch.c_str()));
  ASSERT_EQ(::GetDriveTypeW(L"S:\\"), (UINT)DRIVE_FIXED);
  Select(L"DiskSelectedDrive", L"S:\\");
  EXPECT_EQ(Run(L"fenwold.mod", L"-AutoRun"), 0u);
  std::string log = ReadAll(SuitePath(L"KytDISK.LOG"));
  EXPECT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  EXPECT_NE(log.find("\nHard Drive Test\n"), std::string::npos) << log;
  for (const char* size : {"5000", "10000", "20000", "40000", "80000", "160000"})
    EXPECT_NE(log.find(std::string(" \tOK.  File size: ") + size + "\n"), std::string::npos) << size << "\n" << log;
  EXPECT_EQ(Count(log, "S:\\DISKTEST\\Kyt"), 6) << log;
  EXPECT_EQ(log.find("C:\\DISKTEST"), std::string::npos) << "only the chosen drive is tested";
  EXPECT_NE(log.find("\n\nNo Error Found.\n"), std::string::npos) << log;
  EXPECT_TRUE(NoTestFolderOn(L"S:\\"));
}

TEST_F(FenwoldModule, ReadOnlyDriveFailsWithResultOne) {
  std::string readOnly = Env("FENWOLD_READONLY_DIR");
  if (readOnly.empty()) GTEST_SKIP() << "no read-only file system (mounting needs root)";
  ASSERT_TRUE(DefineDrive(L'r', DRIVE_FIXED, readOnly.c_str()));
  Select(L"DiskSelectedDrive", L"R:\\");
  EXPECT_EQ(Run(L"fenwold.mod", L"-AutoRun"), 1u);
  std::string log = ReadAll(SuitePath(L"KytDISK.LOG"));
  // The temporary file cannot be made: its name and the system's reason,
  // then the drive's verdict.
  size_t at = log.find("R:\\DISKTEST\\Kyt");
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_EQ(log.find("R:\\DISKTEST\\Kyt", at + 1), std::string::npos) << "one line about it\n" << log;
  EXPECT_NE(log.find("R:\\ ===>Test failed.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\n\nFound Error(s).\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("OK."), std::string::npos) << log;
}

// A read-only drive without the test folder: the line gives the system's
// reason for refusing the folder, not the missing folder that follows.
TEST_F(FenwoldModule, ReadOnlyDriveWithoutTheTestFolderNamesTheRefusal) {
  std::string readOnly = Env("FENWOLD_READONLY_BARE_DIR");
  if (readOnly.empty()) GTEST_SKIP() << "no read-only file system (mounting needs root)";
  ASSERT_TRUE(DefineDrive(L'r', DRIVE_FIXED, readOnly.c_str()));
  ASSERT_FALSE(::CreateDirectoryW(L"R:\\DISKTEST", nullptr));
  const DWORD refusal = ::GetLastError();
  ASSERT_NE(refusal, (DWORD)ERROR_FILE_NOT_FOUND);
  ASSERT_NE(refusal, (DWORD)ERROR_PATH_NOT_FOUND);
  char* text = nullptr;
  ASSERT_GT(::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, refusal, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, nullptr),
            2u);
  std::string reason = text;
  ::LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();

  Select(L"DiskSelectedDrive", L"R:\\");
  EXPECT_EQ(Run(L"fenwold.mod", L"-AutoRun"), 1u);
  std::string log = ReadAll(SuitePath(L"KytDISK.LOG"));
  EXPECT_NE(log.find("\nR:\\ " + reason + "\nR:\\ ===>Test failed.\n"), std::string::npos) << reason << "\n" << log;
  EXPECT_NE(log.find("\n\nFound Error(s).\n"), std::string::npos) << log;
}

TEST_F(FenwoldModule, FloppyModeTestsRemovableDrivesAndAFullOneFailsAlone) {
  std::string good = Env("FENWOLD_SCRATCH2_DIR"), full = Env("FENWOLD_FULL_DIR");
  ASSERT_TRUE(DefineDrive(L'a', DRIVE_REMOVABLE, good.c_str()));
  ASSERT_EQ(::GetDriveTypeW(L"A:\\"), (UINT)DRIVE_REMOVABLE);
  bool withFull = !full.empty();
  if (withFull) {
    ASSERT_TRUE(DefineDrive(L'b', DRIVE_REMOVABLE, full.c_str()));
  }
  Select(L"FloppySelectedDrive", withFull ? L"<All>" : L"A:\\");
  EXPECT_EQ(Run(L"fenwold.mod", L"-Floppy -AutoRun"), withFull ? 1u : 0u);
  std::string log = ReadAll(SuitePath(L"KytFLPY.LOG"));
  EXPECT_NE(log.find("\nFloppy Drive Test\n"), std::string::npos) << log;
  // The good drive runs its whole schedule: the full one lowers nothing.
  for (const char* size : {"5000", "10000", "20000", "40000"})
    EXPECT_NE(log.find(std::string(" \tOK.  File size: ") + size + "\n"), std::string::npos) << size << "\n" << log;
  EXPECT_EQ(Count(log, "A:\\DISKTEST\\Kyt"), 4) << log;
  EXPECT_EQ(log.find("A:\\ ===>Test failed."), std::string::npos) << log;
  if (!withFull) GTEST_SKIP() << "no full file system (mounting needs root)";
  EXPECT_NE(log.find("B:\\ Not enough disk space.\nB:\\ ===>Test failed.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Found Error(s)."), std::string::npos) << log;
  EXPECT_TRUE(NoTestFolderOn(L"A:\\"));
}

// The network-disk module tests below the folder it was given, on network
// drives only.
TEST_F(FenwoldModule, NetworkModuleTestsBelowTheSavedPath) {
  std::string share = Env("FENWOLD_SCRATCH_DIR");
  ASSERT_TRUE(DefineDrive(L'n', DRIVE_REMOTE, share.c_str()));
  ASSERT_EQ(::GetDriveTypeW(L"N:\\"), (UINT)DRIVE_REMOTE);
  ASSERT_TRUE(::CreateDirectoryW(L"N:\\team", nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  Select(L"DiskSelectedDrive", L"N:\\");
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"DiskSelectedPath", L"team");
  EXPECT_EQ(Run(L"nfenwold.mod", L"-AutoRun"), 0u);
  std::string log = ReadAll(SuitePath(L"KytDISK.LOG"));
  EXPECT_EQ(Count(log, "N:\\team\\DISKTEST\\Kyt"), 6) << log;
  EXPECT_NE(log.find("No Error Found."), std::string::npos) << log;
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"DiskSelectedPath", L""), L"team");
  ::RemoveDirectoryW(L"N:\\team\\DISKTEST");
  ::RemoveDirectoryW(L"N:\\team");
}

// The benchmark mode appends its block to the series' file beside the
// control, in the layout the results dialog reads.
TEST_F(FenwoldModule, BenchmarkAppendsItsBlockToTheSeriesFile) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"BaseLoop", 200);
  std::wstring bnh = SuitePath(L"BNCHMARK.BNH");
  {
    std::ofstream out(bnh.c_str(), std::ios::binary);
    out << "Benchmark Results\r\nseries header\r\n\r\n";
  }
  WPARAM result = Run(L"fenwold.mod", L"-AutoRun -Bench");
  std::ifstream in(bnh.c_str(), std::ios::binary);
  std::ostringstream raw;
  raw << in.rdbuf();
  std::string file = raw.str();
  ::DeleteFileW(bnh.c_str());
  const std::string header = "Benchmark Results\r\nseries header\r\n\r\n";
  ASSERT_EQ(file.rfind(header, 0), 0u) << file;
  std::istringstream block(file.substr(header.size()));
  std::vector<std::string> lines;
  for (std::string l; std::getline(block, l);) {
    ASSERT_FALSE(l.empty()) << "every line ends in CR LF";
    ASSERT_EQ(l.back(), '\r');
    l.pop_back();
    lines.push_back(l);
  }
  // Heading, rate, access time, ["Found Error(s)."], the empty line.
  ASSERT_GE(lines.size(), 4u) << file;
  EXPECT_EQ(lines[0], "Fixed Drive Performance Test(s):");
  double rate = 0;
  ASSERT_EQ(sscanf(lines[1].c_str(), "Transfer Rate (C:)\t%lf MB/Sec", &rate), 1) << lines[1];
  EXPECT_GT(rate, 0);
  int ms = 0;
  ASSERT_EQ(sscanf(lines[2].c_str(), "Average Access Time (C:)\t%d ms", &ms), 1) << lines[2];
  // A disk that cannot be read raw (Wine) is a time not taken: -1, which
  // the series scores as incomplete; no error, so the series goes on.
  EXPECT_TRUE(ms > 0 || ms == -1) << lines[2];
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(lines.size(), 4u) << file;
  EXPECT_TRUE(NoTestFolderOn(L"C:\\"));
}

TEST_F(FenwoldModule, BenchmarkWithoutASeriesFileWritesNone) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"BaseLoop", 50);
  std::wstring bnh = SuitePath(L"BNCHMARK.BNH");
  ::DeleteFileW(bnh.c_str());
  Run(L"fenwold.mod", L"-AutoRun -Bench");
  EXPECT_EQ(::GetFileAttributesW(bnh.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A machine without a drive of the module's kind: an automatic run has
// nothing to test, ends at once with one error, its verdict and its log, and
// reports to the host (the run used to start nothing and never end).
TEST_F(FenwoldModule, AutomaticRunWithoutADriveOfItsKindReportsOneError) {
  wchar_t roots[256] = {};
  DWORD n = ::GetLogicalDriveStringsW(255, roots);
  for (const wchar_t* r = roots; n && *r; r += wcslen(r) + 1) {
    UINT type = ::GetDriveTypeW(r);
    ASSERT_TRUE(type != DRIVE_REMOVABLE && type != DRIVE_REMOTE) << "the prefix has drive " << appkit::Narrow(r);
  }
  struct Case {
    const wchar_t* module;
    const wchar_t* args;
    const wchar_t* log;
  };
  for (const Case& c : {Case{L"fenwold.mod", L"-floppy -AutoRun", L"KytFLPY.LOG"},
                        Case{L"fenwold.mod", L"-floppy -AutoRun -Check", L"KytFLPY.LOG"},
                        Case{L"nfenwold.mod", L"-AutoRun", L"KytDISK.LOG"}}) {
    SCOPED_TRACE(appkit::Narrow(std::wstring(c.module) + L" " + c.args));
    RemoveLogs();
    Process p;
    WPARAM result = 99;
    DWORD start = ::GetTickCount();
    // Bounded only to catch a run that never reports.
    ASSERT_TRUE(ctltest::StartModuleAndWaitReport(p, SuitePath(c.module), c.args, &result, 60000));
    std::printf("%ls %ls reported after %lu ms\n", c.module, c.args, (unsigned long)(::GetTickCount() - start));
    EXPECT_TRUE(p.WaitExit(20000));
    EXPECT_EQ(result, 1u);
    std::string log = ReadAll(SuitePath(c.log));
    EXPECT_NE(log.find("\nNo hard drive detected.\n\nFound Error(s).\n"), std::string::npos) << log;
  }
}

// Stop pressed while the run's three workers are still being started (half
// a second apart), then Close at once: the run stops without the wait that
// is meant for a worker that does not stop, and the module ends and reports.
TEST_F(FenwoldModule, StopAndCloseDuringTheWorkersStartsEndTheRunAtOnce) {
  std::string scratch = Env("FENWOLD_SCRATCH_DIR");
  ASSERT_TRUE(DefineDrive(L's', DRIVE_FIXED, scratch.c_str()));
  Select(L"DiskSelectedDrive", L"S:\\");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"nThread", 3);
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"fenwold.mod"), L"-AutoRun"));
  ASSERT_TRUE(p.WaitIdle(10000));
  MessageCatcher host;
  UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
  HWND page = WaitForWindowOf(p.Pid(), [](HWND w) { return FindChildById(w, 1007) != nullptr; }, 30000);
  ASSERT_NE(page, nullptr);
  HWND button = FindChildById(page, 1007);
  HWND dialog = page;
  while (::GetParent(dialog)) dialog = ::GetParent(dialog);
  ASSERT_TRUE(PumpUntil([&] { return GetText(button) == L"&Stop"; }, 30000));
  DWORD t0 = ::GetTickCount();
  ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), (LPARAM)button);
  ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.WaitExitPumping(30000));
  EXPECT_LT(::GetTickCount() - t0, 6000u) << "well before the 7.5 s of the wait for a worker that does not stop";
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 1000, &done));
  EXPECT_EQ(done.wp, 0u);
  std::string log = ReadAll(SuitePath(L"KytDISK.LOG"));
  EXPECT_NE(log.find("S:\\ ===>Test aborted.\n"), std::string::npos) << log;
  EXPECT_EQ(log.substr(log.size() > 17 ? log.size() - 17 : 0), "\nNo Error Found.\n") << log;
  EXPECT_TRUE(NoTestFolderOn(L"S:\\"));
}
