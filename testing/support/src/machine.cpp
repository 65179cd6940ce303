// The machine's memory as the test chooses it: the meminfo file that
// scripts/small-machine shows as /proc/meminfo.
#include "testsupport/machine.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "testsupport/process.h"

namespace testsupport {
namespace {

// The lines Wine reads, in the order the file holds them (kB each).
constexpr const char* kFields[] = {"MemTotal:", "MemFree:",   "MemAvailable:", "Buffers:",
                                   "Cached:",   "SwapTotal:", "SwapFree:"};
enum Field { kTotal, kFree, kAvailable, kBuffers, kCached, kSwapTotal, kSwapFree, kFieldCount };
using Figures = std::array<uint64_t, kFieldCount>;

// The folder of "meminfo" and "host" as this program sees it (Z: is "/").
std::wstring Folder() {
  wchar_t buf[1024];
  DWORD n = ::GetEnvironmentVariableW(L"HALVIX_MEMINFO_DIR", buf, 1024);
  if (n == 0 || n >= 1024) return {};
  std::wstring dir(buf, n);
  std::replace(dir.begin(), dir.end(), L'/', L'\\');
  return L"Z:" + dir + L"\\";
}

// The machine's own figures at the test's start; false without its total
// and available memory.
bool HostFigures(const std::wstring& folder, Figures* f) {
  f->fill(0);
  unsigned seen = 0;
  std::istringstream in(ReadFileBytes(folder + L"host"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    uint64_t value = 0;
    if (!(fields >> key >> value)) continue;
    for (int i = 0; i < kFieldCount; ++i)
      if (key == kFields[i]) {
        (*f)[i] = value;
        seen |= 1u << i;
      }
  }
  return (seen & (1u << kTotal)) && (seen & (1u << kAvailable));
}

// The file rewritten in place at one go, in the layout of
// scripts/small-machine (a fixed width: its length never changes).
bool WriteFigures(const std::wstring& folder, const Figures& f) {
  std::string text;
  for (int i = 0; i < kFieldCount; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%-16s%12llu kB\n", kFields[i], (unsigned long long)f[i]);
    text += line;
  }
  HANDLE h = ::CreateFileW((folder + L"meminfo").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = ::WriteFile(h, text.data(), (DWORD)text.size(), &put, nullptr) && put == text.size() && ::SetEndOfFile(h);
  return ::CloseHandle(h) && ok;
}

// Wine keeps a process's memory figures for about a second: true once this
// process sees the available memory of `f`, in whole pages. (Wine 8 counts
// the free memory, buffers and cache as available, later ones the kernel's
// own estimate.)
bool WaitUntilSeen(const Figures& f) {
  SYSTEM_INFO si{};
  ::GetSystemInfo(&si);
  const uint64_t page = si.dwPageSize ? si.dwPageSize : 4096;
  auto pages = [&](uint64_t kb) { return kb * 1024 / page * page; };
  const uint64_t estimate = pages(f[kAvailable]), counted = pages(f[kFree] + f[kBuffers] + f[kCached]);
  return PumpUntil(
      [&] {
        MEMORYSTATUSEX ms{};
        ms.dwLength = sizeof ms;
        return ::GlobalMemoryStatusEx(&ms) && (ms.ullAvailPhys == estimate || ms.ullAvailPhys == counted);
      },
      20000);
}

bool UseFigures(bool small, unsigned mb) {
  const std::wstring folder = Folder();
  Figures host;
  if (folder.empty() || !HostFigures(folder, &host)) {
    std::fprintf(stderr,
                 "no machine of the test's own: the test entry runs through scripts/small-machine "
                 "(SMALL_MACHINE), which needs a mount namespace (root)\n");
    return false;
  }
  Figures f = host;
  if (small) {
    const uint64_t kb = (uint64_t)mb * 1024;
    f.fill(0);
    f[kTotal] = std::min(host[kTotal], kb);
    f[kFree] = f[kAvailable] = std::min(host[kAvailable], kb);
  }
  if (!WriteFigures(folder, f)) {
    std::fprintf(stderr, "the memory figures of the test's machine cannot be written\n");
    return false;
  }
  return WaitUntilSeen(f);
}

}  // namespace

bool UseSmallMachine(unsigned mb) { return UseFigures(true, mb); }

bool UseWholeMachine() { return UseFigures(false, 0); }

}  // namespace testsupport
