// Starting programs of the suite under test and waiting on them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// The installed suite directory (trailing backslash). Test programs live in
// <build>\tests, the suite in <build>\suite; HALVIX_SUITE overrides.
std::wstring SuiteDir();
std::wstring SuitePath(const std::wstring& name);
// Directory of the test program itself (trailing backslash).
std::wstring TestBinDir();
// The user's directory for temporary files (trailing backslash).
std::wstring TempDir();

// The whole file as bytes (empty when it cannot be read).
std::string ReadFileBytes(const std::wstring& path);
// The whole file as text, its CR LF line ends read as "\n".
std::string ReadTextFile(const std::wstring& path);
// How often `what` stands in `text`.
int CountOccurrences(const std::string& text, const std::string& what);
// The lines of a text, without their CR LF or LF.
std::vector<std::string> SplitLines(const std::string& text);
// Makes `bytes` the whole file; false when it cannot be written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The names of what a directory holds (dir ends in a backslash), without
// "." and "..".
std::vector<std::wstring> NamesIn(const std::wstring& dir);
// Removes a directory with everything below it; a missing one is no error.
void RemoveTree(const std::wstring& dir);

// Ends the process `pid` if it still runs (one a test found, not started)
// and waits up to 5 s for it to be gone.
void EndProcessById(DWORD pid);

class Process {
 public:
  Process() = default;
  ~Process();  // kills a process still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `exe` with `args` (the command line is "exe" args). The working
  // directory defaults to the program's own directory.
  bool Start(const std::wstring& exe, const std::wstring& args = L"", const std::wstring& cwd = L"");
  bool WaitIdle(DWORD ms) const;
  // True when the process ended within `ms`.
  bool WaitExit(DWORD ms) const;
  // Waits while pumping this thread's messages (for tests that own windows).
  bool WaitExitPumping(DWORD ms) const;
  bool Running() const;
  DWORD ExitCode() const;
  DWORD Pid() const { return pi_.dwProcessId; }
  DWORD MainThreadId() const { return pi_.dwThreadId; }
  HANDLE Handle() const { return pi_.hProcess; }
  void Kill();
  const std::wstring& LastError() const { return error_; }

 private:
  PROCESS_INFORMATION pi_{};
  std::wstring error_;
};

// Runs "<system>\regsvr32.exe [/u] /s <file>" and answers its exit code
// (-1 when it did not start or end in time).
int RunRegsvr32(const std::wstring& file, bool unregister = false);
// Registers (or unregisters) a control's file as regsvr32 does, by calling
// its DllRegisterServer (DllUnregisterServer) in this process, without the
// cost of starting a program: 0 on success, otherwise regsvr32's exit code
// for the failure (3: the file does not load, 4: no such entry, 5: the call
// failed). Tests that are about regsvr32 itself run the program instead.
int RegisterControl(const std::wstring& file, bool unregister = false);

// Pumps this thread's messages until `done` returns true or `ms` pass.
bool PumpUntil(const std::function<bool()>& done, DWORD ms);

// A hidden top-level window that records every message at or above WM_USER
// (registered messages included) that reaches it.
class MessageCatcher {
 public:
  struct Caught {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  MessageCatcher();
  ~MessageCatcher();
  HWND hwnd() const { return hwnd_; }
  // Waits (pumping) for a message `msg`; removes and returns it.
  bool WaitFor(UINT msg, DWORD ms, Caught* out = nullptr);
  std::vector<Caught> Take();

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
  std::vector<Caught> caught_;
};

}  // namespace testsupport
