// Shared set-up of the run tests: a scratch data directory (with a blank in
// its path) holding the fake module and the list files, a settings key of
// the test's own, and the stand-in main program that opens the dialogs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testsupport/process.h"

namespace runtest {

class RunFixture {
 public:
  // Makes the directory "<tests>\stress runs\<name> data\" afresh and the key
  // Software\Qev\HalvixStressTest\<name> with short waits.
  explicit RunFixture(const std::wstring& name);
  // The same key over an existing data directory `dataDir` (ending in a
  // backslash), such as the suite's own, which is left as it is.
  RunFixture(const std::wstring& name, const std::wstring& dataDir);
  ~RunFixture();

  const std::wstring& dir() const { return dir_; }
  const std::wstring& key() const { return key_; }
  std::wstring FakeModule() const { return dir_ + L"fakemod.exe"; }
  std::wstring MessageTitle() const { return L"Stress Host " + name_; }

  void SetDword(const wchar_t* name, DWORD value) const;
  void SetString(const wchar_t* name, const std::wstring& value) const;
  DWORD GetDword(const wchar_t* name) const;

  // A list line for the fake module.
  std::string Line(const std::string& name, const std::string& args, const std::string& state,
                   const std::string& log, const std::string& icon) const;
  void WriteFile(const std::wstring& file, const std::string& bytes) const;
  // The file's bytes; empty when missing. Retries while another holds it.
  std::string ReadFile(const std::wstring& file) const;
  bool Exists(const std::wstring& file) const;
  std::vector<std::string> Lines(const std::wstring& file) const;

  // The host waits for a module to take input in slices of this many ms
  // (1000 unless set); "nTimeoutCount" slices bound the wait. Set before
  // the host starts.
  void SetIdleWait(DWORD ms) { idleWaitMs_ = ms; }

  // "nTestNum", "nStopOnError" and "nOneByOne".
  void SetChoices(DWORD testNum, DWORD stopOnError, DWORD oneByOne) const;

  // Starts the stand-in main program with "-Stress" or "-Bench" (and any
  // further switches of the host, such as "-Attended").
  bool StartHost(testsupport::Process& host, const std::wstring& mode) const;
  // Starts a copy of it named `exeName` in the data directory, which Wine
  // presents with Windows 98 as its system.
  bool StartHostOnWindows98(testsupport::Process& host, const std::wstring& mode, const std::wstring& exeName) const;
  // Starts it and waits for its dialog ("Stress Test" or "Benchmarks").
  HWND OpenDialog(testsupport::Process& host, const std::wstring& mode) const;

 private:
  std::wstring HostSwitches(const std::wstring& mode) const;

  std::wstring name_, dir_, key_;
  DWORD idleWaitMs_ = 1000;
};

// Holds a file of the data directory open the way another program would
// that lets others read it but not write, replace or delete it (under Wine
// as root the read-only attribute does not stop a write; this does).
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path);
  ~HeldFile();
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release();

 private:
  HANDLE handle_;
};

// Number of running processes of this Wine prefix whose program is `exe`.
int CountProcesses(const std::wstring& exe);
// The stress or benchmark dialog's Run button (1025) says `text` ("&Run"
// when no run goes on).
bool RunButtonSays(HWND dialog, const wchar_t* text);
// The text of the dialog's notice line.
std::wstring NoticeText(HWND dialog);
// How often `part` occurs in `text`.
size_t Occurrences(const std::wstring& text, const std::wstring& part);

// The dialog of the host titled `title` (top level, of that process).
HWND WaitDialog(DWORD pid, const std::wstring& title, DWORD ms = 60000);
// A visible window of the host titled `title` that holds the control `id`.
HWND WaitWindowHolding(DWORD pid, const std::wstring& title, int id, DWORD ms);
// Starts the host with "-Bench" and opens the benchmark results with its
// dialog's View Results: `dlg` is that dialog, `results` the results window.
// Fails the test when either does not come (call it in
// ASSERT_NO_FATAL_FAILURE).
void OpenBenchResults(const RunFixture& fx, testsupport::Process& host, HWND* dlg, HWND* results);
// Closes the benchmark results with OK and the dialog under them with
// Cancel, and waits for the host to end.
void CloseResultsAndHost(HWND results, HWND dlg, testsupport::Process& host);
// A top-level window of `pid` other than `except` titled `title`.
HWND WaitOtherWindow(DWORD pid, const std::wstring& title, HWND except, DWORD ms);
// Waits until the stress dialog's title names a loop, then until the run
// is over (title "Stress Test", button "&Run"). STRESS.LOG is created
// without sharing at each loop's start, so tests read it only afterwards.
bool WaitStressRun(HWND dialog, DWORD ms);
// Texts of the module list (columns 0 to 2 per row).
std::vector<std::vector<std::wstring>> ListRows(HWND dialog);
// The result table STRESS.LOG should hold for these rows, up to the total.
std::string ExpectedTable(const std::vector<std::vector<std::wstring>>& rows);
// Checks that `text` is a "%m/%d/%Y %I:%M%p" time.
bool IsLogTime(const std::string& text);
// "%d:%2.2d:%2.2d" or empty.
bool IsElapsedOrEmpty(const std::wstring& text);

}  // namespace runtest
