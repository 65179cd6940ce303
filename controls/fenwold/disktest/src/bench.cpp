#include "disktest/bench.h"

#include <winioctl.h>

#include <cctype>
#include <cmath>
#include <memory>

#include "appkit/text.h"
#include "disktest/ids.h"
#include "disktest/rules.h"

namespace disktest {

namespace {

std::string T(UINT id, HINSTANCE texts) { return appkit::Narrow(appkit::LoadStr(id, texts)); }

// Page-aligned memory for uncached transfers.
struct UncachedBuffer {
  explicit UncachedBuffer(size_t n) : size(n) {
    p = ::VirtualAlloc(nullptr, n, MEM_RESERVE, PAGE_READWRITE);
    if (p && !::VirtualAlloc(p, n, MEM_COMMIT, PAGE_NOCACHE | PAGE_READWRITE)) {
      ::VirtualFree(p, 0, MEM_RELEASE);
      p = nullptr;
    }
  }
  ~UncachedBuffer() {
    if (p) ::VirtualFree(p, 0, MEM_RELEASE);
  }
  void* p = nullptr;
  size_t size;
};

// Real-time priority only for the timed loops.
struct RealtimePriority {
  RealtimePriority() { ::SetPriorityClass(::GetCurrentProcess(), REALTIME_PRIORITY_CLASS); }
  ~RealtimePriority() { ::SetPriorityClass(::GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER f;
  if (!::QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return 0;
  return (double)(to.QuadPart - from.QuadPart) / (double)f.QuadPart;
}

bool CreateRateTestFile(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  UncachedBuffer buffer(4096);
  bool ok = buffer.p != nullptr;
  if (ok) {
    ZeroMemory(buffer.p, 4096);
    RealtimePriority rt;
    for (int i = 0; i < 64 && ok; ++i) {
      DWORD written = 0;
      ok = ::WriteFile(h, buffer.p, 4096, &written, nullptr) && written == 4096;
    }
  }
  ::CloseHandle(h);
  if (!ok) ::DeleteFileW(path.c_str());
  return ok;
}

// 0 when the drive refused the test folder or the test file (the drive
// failed), else 1; a rate that could not be measured is a line of its own.
int MeasureTransferRate(const BenchConfig& c, BenchHost& host) {
  std::string letter(1, c.letter);
  std::wstring dir = appkit::Widen(letter + ":\\DISKTEST");
  if (::GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (!::CreateDirectoryW(dir.c_str(), nullptr)) {
      std::string line = letter + " " + SystemErrorText(::GetLastError(), T(IDS_DISK_GENERAL_FAILURE, c.texts));
      host.ListLine(line);
      host.FileLine(line);
      return 0;
    }
    host.UsedDirectory(appkit::Narrow(dir));
  }
  std::wstring path = dir + L"\\Test.Dat";
  if (!CreateRateTestFile(path)) {
    std::string line = T(IDS_DISK_RATE_NO_FILE, c.texts);
    host.ListLine(line);
    host.FileLine(line);
    return 0;
  }
  std::string suffix;
  DWORD flags = 0;
  if (::GetVolumeInformationW(appkit::Widen(letter + ":\\").c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      (flags & FS_VOL_IS_COMPRESSED))
    suffix = " " + T(IDS_DISK_COMPRESSED, c.texts);

  double best = 0;
  static const uint32_t kSizesKB[] = {16, 32, 64, 128};
  for (int k = 0; k < 4 && !host.Aborted(); ++k) {
    host.Progress(k * 25);
    std::string problem;
    double rate = c.timeReads(path, kSizesKB[k] * 1024, ReadRounds(c.baseLoop, kSizesKB[k]), &problem, c.texts);
    if (!problem.empty()) host.ListLine(problem);
    if (rate > best) best = rate;
  }
  host.Progress(100);
  ::DeleteFileW(path.c_str());
  if (host.Aborted()) return 1;
  std::string line;
  if (best > 0) {
    line = appkit::FormatA(T(IDS_DISK_RATE_LINE, c.texts).c_str(), c.letter, suffix.c_str(), best);
  } else {
    line = appkit::FormatA(T(IDS_DISK_RATE_FAILED, c.texts).c_str(), c.letter);
  }
  host.ListLine(line);
  host.FileLine(line);
  return 1;
}

}  // namespace

double TimeSequentialReads(const std::wstring& path, uint32_t size, uint32_t rounds, std::string* problem,
                           HINSTANCE texts) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_NO_BUFFERING | FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string name = appkit::Narrow(path);
  if (h == INVALID_HANDLE_VALUE) {
    *problem = appkit::FormatA(T(IDS_DISK_OPEN_FAILED, texts).c_str(), name.c_str());
    return 0;
  }
  LARGE_INTEGER length{};
  if (!::GetFileSizeEx(h, &length) || length.QuadPart < (LONGLONG)size) {
    ::CloseHandle(h);
    *problem = appkit::FormatA(T(IDS_DISK_FILE_TOO_SMALL, texts).c_str(), name.c_str());
    return 0;
  }
  UncachedBuffer buffer(size);
  if (!buffer.p) {
    ::CloseHandle(h);
    return 0;
  }
  uint32_t done = 0;
  LARGE_INTEGER start{}, end{};
  {
    RealtimePriority rt;
    for (uint32_t i = 0; i < rounds; ++i) {
      // The first read is not timed.
      if (i == 1) ::QueryPerformanceCounter(&start);
      LARGE_INTEGER zero{};
      DWORD got = 0;
      if (!::SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) || !::ReadFile(h, buffer.p, size, &got, nullptr) ||
          got != size)
        break;
      ++done;
    }
    ::QueryPerformanceCounter(&end);
  }
  ::CloseHandle(h);
  if (done != rounds || rounds < 2) return 0;
  return TransferRateMBs(rounds - 1, size, Seconds(start, end));
}

namespace {

bool ReadSectorAt(HANDLE h, uint64_t offset, void* buffer) {
  LARGE_INTEGER to;
  to.QuadPart = (LONGLONG)offset;
  DWORD got = 0;
  return ::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && ::ReadFile(h, buffer, 512, &got, nullptr) && got == 512;
}

}  // namespace

double MeasureAccessTimeNT(int disk) {
  if (disk < 0 || disk > 3) disk = 0;
  std::wstring device = appkit::Widen(appkit::FormatA("\\\\.\\PhysicalDrive%d", disk));
  HANDLE q = ::CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (q == INVALID_HANDLE_VALUE) return -1;
  DISK_GEOMETRY g{};
  DWORD n = 0;
  BOOL ok = ::DeviceIoControl(q, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g, sizeof(g), &n, nullptr);
  ::CloseHandle(q);
  if (!ok || g.Cylinders.QuadPart <= 0) return -1;
  HANDLE h = ::CreateFileW(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_NO_BUFFERING, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  uint64_t cylinderBytes = (uint64_t)g.TracksPerCylinder * g.SectorsPerTrack * 512;
  SeekPlan plan = PlanAccessTime((uint64_t)g.Cylinders.QuadPart);
  UncachedBuffer buffer(4096);
  double result = -1;
  if (plan.rounds > 0 && cylinderBytes > 0 && buffer.p && ReadSectorAt(h, 0, buffer.p)) {
    ::FlushFileBuffers(h);
    uint64_t third = plan.distanceCylinders * cylinderBytes;
    double total = 0;
    bool all = true;
    RealtimePriority rt;
    for (uint32_t i = 0; i < plan.rounds && all; ++i) {
      uint64_t at = (uint64_t)i * cylinderBytes;
      all = ReadSectorAt(h, at, buffer.p);
      LARGE_INTEGER a, b;
      ::QueryPerformanceCounter(&a);
      all = all && ReadSectorAt(h, at + third, buffer.p);
      ::QueryPerformanceCounter(&b);
      total += Seconds(a, b);
    }
    if (all && total > 0) result = total * 1000.0 / plan.rounds;
  }
  ::CloseHandle(h);
  return result;
}

std::string AccessTimeLine(char letter, double ms, bool nine, HINSTANCE texts) {
  if (nine) {
    if (!(ms > 0)) return appkit::FormatA(T(IDS_DISK_ACCESS_FAILED, texts).c_str(), letter);
    return appkit::FormatA(T(IDS_DISK_ACCESS_9X, texts).c_str(), letter, ms);
  }
  // The first physical disk, which the line calls C:.
  int n = -1;
  if (ms > 0) {
    double whole = std::floor(ms + 0.5);
    n = whole < 1 ? 1 : whole > 1e9 ? 1000000000 : (int)whole;
  }
  return appkit::FormatA(T(IDS_DISK_ACCESS_NT, texts).c_str(), 'C', n);
}

bool RunDiskBenchmark(const BenchConfig& c, BenchHost& host) {
  host.ListLine(T(IDS_DISK_TESTING_RATE, c.texts));
  host.FileLine(T(IDS_DISK_BENCH_HEADING, c.texts));
  if (!MeasureTransferRate(c, host)) {
    std::string line = std::string(1, c.letter) + ": " + T(IDS_DISK_TEST_FAILED, c.texts);
    host.ListLine(line);
    host.FileLine(line);
    host.CountError();
  }
  host.Progress(0);
  if (!host.Aborted() && (!c.nine || c.access.Bound())) {
    host.ListLine(T(IDS_DISK_TESTING_ACCESS, c.texts));
    const int drive = ::toupper((unsigned char)c.letter) - 'A' + 1;  // 1 = A:
    double ms = c.nine ? MeasureAccessTime9x(GetInt13Unit(drive, c.texts, c.retryBox), c.access)
                       : MeasureAccessTimeNT(0);
    // A time that could not be taken is no fault of the drive: the line
    // says so and the score is incomplete, but no error is counted.
    std::string line = AccessTimeLine(c.letter, ms, c.nine, c.texts);
    if (c.nine && !(ms > 0)) ::MessageBeep(MB_ICONHAND);
    host.ListLine(line);
    host.FileLine(line);
  }
  host.Progress(0);
  if (host.Aborted()) {
    std::string line = T(IDS_DISK_TEST_ABORTED, c.texts);
    host.ListLine(line);
    host.FileLine(line);
    return false;
  }
  return true;
}

}  // namespace disktest
