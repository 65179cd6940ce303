// sonmere.exe end to end: one copy at a time, and a machine without an
// audio CD device shows the empty player and keeps running.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "testsupport/shot.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kCaption[] = L"Audio CD Player";

struct Find {
  DWORD pid;
  const wchar_t* text;  // a static's text inside, or nullptr: the player
  HWND found;
};

BOOL CALLBACK EachChild(HWND child, LPARAM lp) {
  auto* f = reinterpret_cast<Find*>(lp);
  if (GetText(child) == f->text) {
    f->found = ::GetAncestor(child, GA_ROOT);
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK EachTop(HWND top, LPARAM lp) {
  auto* f = reinterpret_cast<Find*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(top, &pid);
  if (pid != f->pid || ClassOf(top) != L"#32770" || GetText(top) != kCaption) return TRUE;
  if (!f->text) {
    if (FindChildById(top, 1119)) {
      f->found = top;
      return FALSE;
    }
    return TRUE;
  }
  ::EnumChildWindows(top, EachChild, lp);
  return f->found ? FALSE : TRUE;
}

HWND WaitTop(DWORD pid, const wchar_t* text, DWORD ms) {
  HWND h = nullptr;
  PumpUntil(
      [&] {
        Find f{pid, text, nullptr};
        ::EnumWindows(EachTop, (LPARAM)&f);
        h = f.found;
        return h && (text || ::IsWindowVisible(h));
      },
      ms);
  return h;
}

struct Count {
  DWORD pid;
  const wchar_t* text;
  int n;
};

BOOL CALLBACK CountTop(HWND top, LPARAM lp) {
  auto* c = reinterpret_cast<Count*>(lp);
  Find f{c->pid, c->text, nullptr};
  EachTop(top, (LPARAM)&f);
  if (f.found && ::IsWindowVisible(f.found)) ++c->n;
  return TRUE;
}

// How many of the player's visible message boxes say `text`.
int CountBoxes(DWORD pid, const wchar_t* text) {
  Count c{pid, text, 0};
  ::EnumWindows(CountTop, (LPARAM)&c);
  return c.n;
}

const wchar_t kNotOpen[] = L"The MCI device is not open yet.\nOr it has failed to open.";

}  // namespace

TEST(SonmereProgram, WithoutACdDeviceItShowsTheEmptyPlayerAndASecondCopyOnlyBeeps) {
  Process player;
  ASSERT_TRUE(player.Start(SuitePath(L"sonmere.exe")));
  // No audio CD device here: the player says so once and runs without one.
  HWND box = WaitTop(player.Pid(), L"Failed to initialize the mci device.", 30000);
  ASSERT_TRUE(box) << "the device message";
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  HWND dialog = WaitTop(player.Pid(), nullptr, 30000);
  ASSERT_TRUE(dialog);
  // Buttons that need the device say so and the player goes on. Stop is
  // posted behind the Play the player posted itself at its start, and the
  // answer to the first box behind Stop: once that box has gone, Play and
  // Stop have both been handled, and a box of Play's would still be up (the
  // first one's modal loop handles Stop).
  ClickButton(dialog, 123);  // Stop
  HWND notOpen = WaitTop(player.Pid(), kNotOpen, 30000);
  ASSERT_TRUE(notOpen);
  ::PostMessageW(notOpen, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitWindowGone(notOpen, 10000));
  // The posted Play finds no device and only refreshes: no further message.
  EXPECT_EQ(CountBoxes(player.Pid(), kNotOpen), 0);
  EXPECT_EQ(GetText(FindChildById(dialog, 1119)), L"Empty");
  EXPECT_EQ(GetText(FindChildById(dialog, 1117)), L"");
  RECT frame{};
  ::GetWindowRect(dialog, &frame);
  EXPECT_EQ(frame.right - frame.left, 320 + 2 * ::GetSystemMetrics(SM_CXDLGFRAME)) << "the player's fixed size";
  EXPECT_EQ(frame.bottom - frame.top, 140 + 2 * ::GetSystemMetrics(SM_CYDLGFRAME));
  EXPECT_TRUE(::IsWindowVisible(FindChildById(dialog, 1114)));
  EXPECT_FALSE(::IsWindowVisible(FindChildById(dialog, 1115)));
  mediatest::SaveWindowShot(dialog, L"sonmere.bmp");

  ClickButton(dialog, 126);  // Vol +: the mixer's volume, no message
  PumpUntil([] { return false; }, 1000);

  Process second;
  ASSERT_TRUE(second.Start(SuitePath(L"sonmere.exe")));
  EXPECT_TRUE(second.WaitExit(30000)) << "a second copy ends at once";
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(player.Running());

  // Enter leaves the player open; WM_CLOSE ends it.
  ::PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);
  ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(player.WaitExit(1000));
  ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(player.WaitExit(30000));
  EXPECT_EQ(player.ExitCode(), 0u);
}
