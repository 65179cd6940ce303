// Test helpers around the information files and the server's registry.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testsupport/process.h"

namespace infotest {

// The whole file in binary (CR LF kept); "" when missing.
using testsupport::ReadFileBytes;
// The same while holding the mutex "kyt_quorrel_msg", as every reader does.
std::string ReadFileLocked(const std::wstring& path);
// Lines split at CR LF; false when a bare LF or CR appears.
bool SplitCrLf(const std::string& text, std::vector<std::string>* lines);
bool LastWrite(const std::wstring& path, FILETIME* t);
bool SetLastWrite(const std::wstring& path, const FILETIME& t);
FILETIME NowUtc();
FILETIME AddSeconds(const FILETIME& t, long long seconds);

void SetDword(const wchar_t* key, const wchar_t* name, DWORD value);
void SetFiletime(const wchar_t* key, const wchar_t* name, const FILETIME& t);
void DeleteValue(const wchar_t* key, const wchar_t* name);
std::wstring ReadString(const wchar_t* key, const wchar_t* name);
void DeleteKey(const wchar_t* key);

// Starts the test host (`exe`, by default the test host beside the tests),
// asks its server for one category and returns the lines of the file it
// wrote (empty when there was no answer); the host is closed again.
std::vector<std::string> RequestLines(unsigned category, const std::wstring& exe = L"");

// The writers' temporary files ("ifo*.tmp") in `dir`.
std::vector<std::wstring> TempFilesIn(const std::wstring& dir);

// A copy of the test host in a directory of its own (`leaf` below a fresh
// directory in the temporary directory): a server started from it keeps its
// files there. With `dirLength`, the leaf is padded so that dir() has that
// many characters. Everything is removed again when the object goes.
class HostCopy {
 public:
  explicit HostCopy(const std::wstring& leaf, size_t dirLength = 0, const std::wstring& exeName = L"quorrel_host.exe");
  ~HostCopy();
  HostCopy(const HostCopy&) = delete;
  HostCopy& operator=(const HostCopy&) = delete;
  bool Ok() const { return ok_; }
  const std::wstring& dir() const { return dir_; }  // trailing backslash
  const std::wstring& exe() const { return exe_; }

 private:
  std::wstring top_, dir_, exe_;
  bool ok_ = false;
};

}  // namespace infotest
