// The drive device's calls with a bound, on a pipe that stands for a drive
// that never answers: the read gives up after its bound, is cancelled (it
// takes nothing that comes later), and a read that can complete does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "devicecall.h"

using trunnel::BoundedRead;
using trunnel::CallResult;

namespace {

struct PipePair {
  PipePair() {
    std::wstring name = L"\\\\.\\pipe\\halvix_devicecall_" + std::to_wstring(::GetCurrentProcessId());
    server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    device = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  }
  ~PipePair() {
    if (device != INVALID_HANDLE_VALUE) ::CloseHandle(device);
    if (server != INVALID_HANDLE_VALUE) ::CloseHandle(server);
  }
  bool Write(const std::string& bytes) {
    OVERLAPPED ov{};
    ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD n = 0;
    bool ok = ::WriteFile(server, bytes.data(), (DWORD)bytes.size(), nullptr, &ov) ||
              ::GetLastError() == ERROR_IO_PENDING;
    ok = ok && ::GetOverlappedResult(server, &ov, &n, TRUE) && n == bytes.size();
    ::CloseHandle(ov.hEvent);
    return ok;
  }
  HANDLE server = INVALID_HANDLE_VALUE;
  HANDLE device = INVALID_HANDLE_VALUE;
};

}  // namespace

TEST(DeviceCall, AReadThatNeverCompletesGivesUpAndTakesNothingLater) {
  PipePair p;
  ASSERT_NE(p.server, INVALID_HANDLE_VALUE);
  ASSERT_NE(p.device, INVALID_HANDLE_VALUE);
  char buffer[16] = {};
  DWORD got = 99;
  EXPECT_EQ(BoundedRead(p.device, 0, buffer, sizeof buffer, &got, 200), CallResult::TimedOut);
  EXPECT_EQ(got, 0u);

  // The read that gave up was cancelled: what comes now goes to the next read.
  ASSERT_TRUE(p.Write("sector"));
  EXPECT_EQ(BoundedRead(p.device, 0, buffer, sizeof buffer, &got, 10000), CallResult::Done);
  EXPECT_EQ(std::string(buffer, got), "sector");
}

TEST(DeviceCall, AFailedCallFailsAtOnce) {
  PipePair p;
  ASSERT_NE(p.device, INVALID_HANDLE_VALUE);
  ::CloseHandle(p.server);
  p.server = INVALID_HANDLE_VALUE;
  char buffer[16];
  DWORD got = 5;
  EXPECT_EQ(BoundedRead(p.device, 0, buffer, sizeof buffer, &got, 600000), CallResult::Failed);
  EXPECT_EQ(got, 0u);
}
