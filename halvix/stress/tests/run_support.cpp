#include <cstdio>
#include <gtest/gtest.h>
#include "run_support.h"

#include <regex>

#include <tlhelp32.h>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "suite/info.h"
#include "testsupport/ui.h"
#include "testsupport/process.h"

namespace runtest {

namespace {
std::wstring ScratchDir(const std::wstring& name) {
  std::wstring root = testsupport::TestBinDir() + L"stress runs\\";
  ::CreateDirectoryW(root.c_str(), nullptr);
  std::wstring dir = root + name + L" data\\";
  testsupport::RemoveTree(dir);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  ::CopyFileW((testsupport::TestBinDir() + L"fakemod.exe").c_str(), (dir + L"fakemod.exe").c_str(), FALSE);
  return dir;
}
}  // namespace

RunFixture::RunFixture(const std::wstring& name) : RunFixture(name, ScratchDir(name)) {}

RunFixture::RunFixture(const std::wstring& name, const std::wstring& dataDir) : name_(name), dir_(dataDir) {
  std::wstring keyName = name;
  for (wchar_t& c : keyName)
    if (c == L' ') c = L'_';
  key_ = L"Software\\Qev\\HalvixStressTest\\" + keyName;
  appkit::RegDeleteTree(HKEY_CURRENT_USER, key_);
  SetString(suite::kModulePathValue, dir_ + L"halvix.exe");
  SetString(L"MessageBoxTitle", MessageTitle());
  // Room for a module to come up on a busy machine; tests of a module that
  // never takes input shorten it to one wait.
  SetDword(L"nTimeoutCount", 20);
  SetDword(L"Sleep", 0);
  SetString(L"CFactor", L"75");
}

RunFixture::~RunFixture() { appkit::RegDeleteTree(HKEY_CURRENT_USER, key_); }

void RunFixture::SetDword(const wchar_t* name, DWORD value) const {
  appkit::RegWriteDword(HKEY_CURRENT_USER, key_, name, value);
}
void RunFixture::SetString(const wchar_t* name, const std::wstring& value) const {
  appkit::RegWriteString(HKEY_CURRENT_USER, key_, name, value);
}
DWORD RunFixture::GetDword(const wchar_t* name) const {
  return appkit::RegReadDword(HKEY_CURRENT_USER, key_, name, 0xDEADBEEF);
}

std::string RunFixture::Line(const std::string& name, const std::string& args, const std::string& state,
                             const std::string& log, const std::string& icon) const {
  return name + "|" + appkit::Narrow(FakeModule()) + "|" + args + "|" + state + "|" + log + "|" + icon + "||\r\n";
}

void RunFixture::WriteFile(const std::wstring& file, const std::string& bytes) const {
  HANDLE f = ::CreateFileW((dir_ + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  ::WriteFile(f, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
  ::CloseHandle(f);
}

std::string RunFixture::ReadFile(const std::wstring& file) const {
  for (int i = 0; i < 100; ++i) {
    HANDLE f = ::CreateFileW((dir_ + file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      if (::GetLastError() != ERROR_SHARING_VIOLATION) return {};
      ::Sleep(20);
      continue;
    }
    std::string out(1 << 16, '\0');
    DWORD got = 0;
    ::ReadFile(f, out.data(), (DWORD)out.size(), &got, nullptr);
    ::CloseHandle(f);
    out.resize(got);
    return out;
  }
  return {};
}

bool RunFixture::Exists(const std::wstring& file) const {
  return ::GetFileAttributesW((dir_ + file).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> RunFixture::Lines(const std::wstring& file) const {
  std::vector<std::string> lines;
  std::string text = ReadFile(file);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

void RunFixture::SetChoices(DWORD testNum, DWORD stopOnError, DWORD oneByOne) const {
  SetDword(L"nTestNum", testNum);
  SetDword(L"nStopOnError", stopOnError);
  SetDword(L"nOneByOne", oneByOne);
}

bool RunFixture::StartHostOnWindows98(testsupport::Process& host, const std::wstring& mode,
                                      const std::wstring& exeName) const {
  if (!::CopyFileW((testsupport::TestBinDir() + L"stresshost.exe").c_str(), (dir_ + exeName).c_str(), FALSE))
    return false;
  appkit::RegWriteString(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + exeName, L"Version", L"win98");
  return host.Start(dir_ + exeName, HostSwitches(mode));
}

HWND RunFixture::OpenDialog(testsupport::Process& host, const std::wstring& mode) const {
  if (!StartHost(host, mode)) {
    std::fprintf(stderr, "the host did not start: %ls\n", host.LastError().c_str());
    return nullptr;
  }
  HWND dlg = WaitDialog(host.Pid(), mode == L"-Bench" ? L"Benchmarks" : L"Stress Test");
  if (!dlg) {
    // Says why, for a run that fails only now and then.
    if (host.Running())
      std::fprintf(stderr, "the host (pid %lu) runs but shows no dialog\n", host.Pid());
    else
      std::fprintf(stderr, "the host (pid %lu) ended with exit code 0x%lx before its dialog\n", host.Pid(),
                   host.ExitCode());
  }
  return dlg;
}

bool RunFixture::StartHost(testsupport::Process& host, const std::wstring& mode) const {
  return host.Start(testsupport::TestBinDir() + L"stresshost.exe", HostSwitches(mode));
}

std::wstring RunFixture::HostSwitches(const std::wstring& mode) const {
  return mode + L" -SettingsKey" + key_ + L" -IdleWait" + std::to_wstring(idleWaitMs_);
}

HeldFile::HeldFile(const std::wstring& path)
    : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}

HeldFile::~HeldFile() { Release(); }

void HeldFile::Release() {
  if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

int CountProcesses(const std::wstring& exe) {
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  int n = 0;
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL more = ::Process32FirstW(snap, &pe); more; more = ::Process32NextW(snap, &pe))
    n += ::lstrcmpiW(pe.szExeFile, exe.c_str()) == 0;
  ::CloseHandle(snap);
  return n;
}

bool RunButtonSays(HWND dialog, const wchar_t* text) {
  return testsupport::GetText(testsupport::FindChildById(dialog, 1025)) == text;
}

std::wstring NoticeText(HWND dialog) { return testsupport::GetText(testsupport::FindChildById(dialog, 1049)); }

size_t Occurrences(const std::wstring& text, const std::wstring& part) {
  size_t n = 0;
  for (size_t p = text.find(part); p != std::wstring::npos; p = text.find(part, p + part.size())) ++n;
  return n;
}

HWND WaitOtherWindow(DWORD pid, const std::wstring& title, HWND except, DWORD ms) {
  return testsupport::WaitForWindowOf(
      pid, [&](HWND w) { return w != except && testsupport::GetText(w) == title; }, ms);
}

HWND WaitDialog(DWORD pid, const std::wstring& title, DWORD ms) { return WaitOtherWindow(pid, title, nullptr, ms); }

HWND WaitWindowHolding(DWORD pid, const std::wstring& title, int id, DWORD ms) {
  HWND found = nullptr;
  testsupport::PumpUntil(
      [&] {
        HWND w = nullptr;
        while ((w = ::FindWindowExW(nullptr, w, nullptr, title.c_str())) != nullptr) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(w, &owner);
          if (owner == pid && ::IsWindowVisible(w) && testsupport::FindChildById(w, id)) {
            found = w;
            return true;
          }
        }
        return false;
      },
      ms);
  return found;
}

void OpenBenchResults(const RunFixture& fx, testsupport::Process& host, HWND* dlg, HWND* results) {
  *dlg = fx.OpenDialog(host, L"-Bench");
  *results = nullptr;
  ASSERT_NE(*dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(*dlg, 1028));
  *results = WaitWindowHolding(host.Pid(), L"Benchmarks", 1101, 10000);
  ASSERT_NE(*results, nullptr);
}

void CloseResultsAndHost(HWND results, HWND dlg, testsupport::Process& host) {
  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 10000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(15000));
}

bool WaitStressRun(HWND dialog, DWORD ms) {
  auto ended = [dialog] {
    return testsupport::GetText(dialog) == L"Stress Test" && RunButtonSays(dialog, L"&Run");
  };
  return testsupport::PumpUntil([&] { return testsupport::GetText(dialog) != L"Stress Test"; }, 10000) &&
         testsupport::PumpUntil(ended, ms);
}

std::string ExpectedTable(const std::vector<std::vector<std::wstring>>& rows) {
  std::string table = "Module\tStatus\tElapsed Time\r\n";
  for (const auto& row : rows) table += appkit::Narrow(row[0] + L"\t" + row[1] + L"\t" + row[2]) + "\r\n";
  return table + "\r\nTotal Elapsed Time:\t";
}

std::vector<std::vector<std::wstring>> ListRows(HWND dialog) {
  HWND list = testsupport::FindChildById(dialog, 1024);
  std::vector<std::vector<std::wstring>> rows;
  if (!list) return rows;
  std::vector<std::wstring> cols[3];
  for (int c = 0; c < 3; ++c) cols[c] = testsupport::ListViewItems(list, c);
  for (size_t i = 0; i < cols[0].size(); ++i)
    rows.push_back({cols[0][i], i < cols[1].size() ? cols[1][i] : L"", i < cols[2].size() ? cols[2][i] : L""});
  return rows;
}

bool IsLogTime(const std::string& text) {
  return std::regex_match(text, std::regex(R"((0[1-9]|1[0-2])/[0-3]\d/\d{4} (0[1-9]|1[0-2]):[0-5]\d[AP]M)"));
}

bool IsElapsedOrEmpty(const std::wstring& text) {
  return std::regex_match(appkit::Narrow(text), std::regex(R"((\d+:[0-5]\d:[0-5]\d)?)"));
}

}  // namespace runtest
