// A wait on a window's thread that must not hold up the workers reporting
// to that thread's windows: what they send is answered during the wait,
// what is posted waits for the message loop.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "appkit/threads.h"

namespace {

bool g_waiting = false;
int g_sentDuringWait = 0, g_sentAfterWait = 0, g_posted = 0;
constexpr UINT kSent = WM_APP + 1, kPosted = WM_APP + 2;

LRESULT CALLBACK ReportWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kSent) {
    ++(g_waiting ? g_sentDuringWait : g_sentAfterWait);
    return 7;
  }
  if (msg == kPosted) ++g_posted;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

TEST(SleepServingSentMessages, AnswersAWorkersSendsButDispatchesNothingPosted) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ReportWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SleepServingTest";
  ::RegisterClassW(&wc);
  HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  ::PostMessageW(w, kPosted, 0, 0);

  // A worker that reports three lines, one after the other, as soon as it
  // starts: each send waits until this thread answers it.
  std::atomic<int> answered{0};
  g_waiting = true;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      if (::SendMessageW(w, kSent, 0, 0) == 7) ++answered;
  });
  const DWORD start = ::GetTickCount();
  appkit::SleepServingSentMessages(1500);
  const DWORD waited = ::GetTickCount() - start;
  g_waiting = false;
  worker.join();

  EXPECT_EQ(g_sentDuringWait, 3) << "every send answered while waiting";
  EXPECT_EQ(g_sentAfterWait, 0);
  EXPECT_EQ(answered.load(), 3);
  EXPECT_GE(waited, 1450u) << "the whole wait, not cut short by the sends";
  EXPECT_EQ(g_posted, 0) << "nothing posted dispatched during the wait";
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, w, kPosted, kPosted, PM_REMOVE)) << "the posted message still queued";
  ::DestroyWindow(w);
}
