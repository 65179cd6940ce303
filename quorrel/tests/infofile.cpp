#include "infofile.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "appkit/text.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

namespace infotest {

using namespace testsupport;

namespace {
std::wstring DirectoryOfExe(const std::wstring& exe) {
  size_t cut = exe.find_last_of(L'\\');
  return cut == std::wstring::npos ? std::wstring() : exe.substr(0, cut + 1);
}
}  // namespace

std::vector<std::string> RequestLines(unsigned category, const std::wstring& exe) {
  const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  const std::wstring host = exe.empty() ? TestBinDir() + L"quorrel_host.exe" : exe;
  const std::wstring file = DirectoryOfExe(host) + appkit::Widen(suite::kInfoFileBase[category]) + L".IFO";
  std::vector<std::string> lines;
  Process process;
  if (!process.Start(host) || !process.WaitIdle(10000)) return lines;
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", process.Pid(), 10000);
  EXPECT_NE(server, nullptr);
  MessageCatcher catcher;
  ::DeleteFileW(file.c_str());
  MessageCatcher::Caught reply{};
  LARGE_INTEGER t0, t1, f;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  if (server && ::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), category) &&
      catcher.WaitFor(kMsg, 20000, &reply)) {
    QueryPerformanceCounter(&t1);
    std::printf("[ measured ] %s.IFO written and answered in %.1f ms\n", suite::kInfoFileBase[category],
                1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart);
    EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
    EXPECT_EQ(reply.lp, (LPARAM)category);
    EXPECT_TRUE(SplitCrLf(ReadFileLocked(file), &lines)) << "every line ends in CR LF";
  }
  ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", process.Pid()), WM_CLOSE, 0, 0);
  EXPECT_TRUE(process.WaitExit(20000));
  return lines;
}


std::string ReadFileLocked(const std::wstring& path) {
  HANDLE m = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
  DWORD r = m ? ::WaitForSingleObject(m, 30000) : WAIT_FAILED;
  std::string text = ReadFileBytes(path);
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ::ReleaseMutex(m);
  if (m) ::CloseHandle(m);
  return text;
}

bool SplitCrLf(const std::string& text, std::vector<std::string>* lines) {
  lines->clear();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
      lines->push_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    } else if (text[i] == '\n') {
      return false;
    }
  }
  return start == text.size();
}

bool LastWrite(const std::wstring& path, FILETIME* t) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) return false;
  *t = d.ftLastWriteTime;
  return true;
}

bool SetLastWrite(const std::wstring& path, const FILETIME& t) {
  HANDLE f = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  BOOL ok = ::SetFileTime(f, nullptr, nullptr, &t);
  ::CloseHandle(f);
  return ok != FALSE;
}

FILETIME NowUtc() {
  FILETIME t{};
  ::GetSystemTimeAsFileTime(&t);
  return t;
}

FILETIME AddSeconds(const FILETIME& t, long long seconds) {
  ULARGE_INTEGER u{};
  u.LowPart = t.dwLowDateTime;
  u.HighPart = t.dwHighDateTime;
  u.QuadPart += (ULONGLONG)(seconds * 10000000LL);
  return FILETIME{u.LowPart, u.HighPart};
}

namespace {
HKEY Create(const wchar_t* key) {
  HKEY h = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
  return h;
}
}  // namespace

void SetDword(const wchar_t* key, const wchar_t* name, DWORD value) {
  HKEY h = Create(key);
  ::RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  ::RegCloseKey(h);
}

void SetFiletime(const wchar_t* key, const wchar_t* name, const FILETIME& t) {
  HKEY h = Create(key);
  ::RegSetValueExW(h, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&t), sizeof(t));
  ::RegCloseKey(h);
}

void DeleteValue(const wchar_t* key, const wchar_t* name) {
  HKEY h = Create(key);
  ::RegDeleteValueW(h, name);
  ::RegCloseKey(h);
}

std::wstring ReadString(const wchar_t* key, const wchar_t* name) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf) - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) return {};
  return buf;
}

void DeleteKey(const wchar_t* key) { ::RegDeleteTreeW(HKEY_CURRENT_USER, key); }

std::vector<std::wstring> TempFilesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((dir + L"ifo*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return names;
}

HostCopy::HostCopy(const std::wstring& leaf, size_t dirLength, const std::wstring& exeName) {
  top_ = testsupport::TempDir() + L"quorrel-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount()) + L"\\";
  std::wstring name = leaf;
  if (dirLength > top_.size() + name.size() + 1) name.append(dirLength - top_.size() - name.size() - 1, L'a');
  dir_ = top_ + name + L"\\";
  exe_ = dir_ + exeName;
  ok_ = ::CreateDirectoryW(top_.c_str(), nullptr) && ::CreateDirectoryW(dir_.c_str(), nullptr) &&
        ::CopyFileW((testsupport::TestBinDir() + L"quorrel_host.exe").c_str(), exe_.c_str(), FALSE);
}

HostCopy::~HostCopy() { testsupport::RemoveTree(top_); }

}  // namespace infotest
