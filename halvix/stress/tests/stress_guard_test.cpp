// The stress and benchmark dialogs against careless users and misbehaving
// modules, end to end with the stand-in main program: Stop while a module is
// waited for, list lines the program does not understand, a suite folder
// whose files cannot be written, programs that crash or fail, window titles
// of other programs, and logs too long to show.
#include <gtest/gtest.h>

#include "appkit/binding.h"
#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

// The text of a message box's static.
std::wstring BoxText(HWND box) { return testsupport::GetText(testsupport::FindChildById(box, 0xFFFF)); }

// STRESS.LOG after its time stamp.
std::string AfterStamp(const std::string& log) {
  size_t close = log.find("]\n");
  return close == std::string::npos ? "no header: " + log : log.substr(close + 2);
}

// A top-level window of this test titled like another program's, recording
// whether anyone asked it to close.
class TitledWindow {
 public:
  explicit TitledWindow(const wchar_t* title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"StressGuardTitled";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
    appkit::BindWindowObject(hwnd_, this, appkit::BoundKind::Plain);
  }
  ~TitledWindow() {
    appkit::UnbindWindowObject(hwnd_, appkit::BoundKind::Plain);
    ::DestroyWindow(hwnd_);
  }
  HWND hwnd() const { return hwnd_; }
  int closeRequests = 0;

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = appkit::BoundObject<TitledWindow>(w, appkit::BoundKind::Plain);
    if (self && ((msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) || msg == WM_CLOSE)) {
      ++self->closeRequests;
      return 0;
    }
    return ::DefWindowProcW(w, msg, wp, lp);
  }
  HWND hwnd_;
};

}  // namespace

// Stop clicked (twice, as an impatient user does) while the dialog waits for
// a module that never takes input: the run ends at once, the frozen module is
// ended, the second click starts nothing, and STRESS.LOG keeps the loop.
TEST(StressGuard, StopWhileAModuleIsWaitedForEndsTheRunAndKeepsTheLog) {
  RunFixture fx(L"stop while waiting");
  fx.SetChoices(3, 1, 1);
  fx.SetDword(L"nTimeoutCount", 100000);  // a day of idle waits
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" +
                                   fx.Line("Audio Pass", "-AutoRun -Work200 -TracePASS.TXT", "", "PASS.LOG", "") +
                                   fx.Line("Video Frozen", "-NeverIdle -TraceFROZEN.TXT", "", "FROZEN.LOG", ""));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  // The second module has started and is being waited for.
  ASSERT_TRUE(testsupport::PumpUntil([&] { return fx.Exists(L"FROZEN.TXT"); }, 20000));
  testsupport::PumpUntil([] { return false; }, 300);
  ASSERT_EQ(testsupport::GetText(dlg), L"Stress Test - LOOP 1");

  DWORD t0 = ::GetTickCount();
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] { return RunButtonSays(dlg, L"&Run") && testsupport::GetText(dlg) == L"Stress Test"; }, 5000));
  std::printf("Stop acted after %lu ms\n", ::GetTickCount() - t0);

  // The result table comes once the frozen module has ended.
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] { return fx.ReadFile(L"STRESS.LOG").find("Total Elapsed Time:") != std::string::npos; }, 5000))
      << fx.ReadFile(L"STRESS.LOG");
  EXPECT_EQ(CountProcesses(L"fakemod.exe"), 0);
  // The second click did not start another run, nor did the tick that wrote
  // the table go on to the next loop: View Log, posted now, is handled after
  // both (and after the next loop such a tick would post), so once the log
  // is up whatever they did shows.
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND viewer = WaitOtherWindow(host.Pid(), L"View Test Log - Stress Test", dlg, 20000);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(testsupport::GetText(dlg), L"Stress Test");
  EXPECT_TRUE(RunButtonSays(dlg, L"&Run"));
  ASSERT_TRUE(testsupport::ClickButton(viewer, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(viewer, 5000));
  EXPECT_EQ(fx.Lines(L"PASS.TXT").size(), 1u);
  EXPECT_EQ(fx.Lines(L"FROZEN.TXT").size(), 1u);
  EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(dlg, 1047)), L"*Stopped at Loop 1    ");

  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], L"PASSED");
  EXPECT_EQ(rows[1][1], L"Aborted.");
  std::string rest = AfterStamp(fx.ReadFile(L"STRESS.LOG"));
  std::string expect = "LOOP: 1\r\n" + ExpectedTable(rows);
  EXPECT_EQ(rest.substr(0, expect.size()), expect) << rest;

  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

// Cancel, close and Stop in the wait for a module of either dialog: each
// acts at once and leaves no module behind.
TEST(StressGuard, CancelCloseAndStopActWhileAModuleIsWaitedFor) {
  struct Case {
    const wchar_t* what;
    const wchar_t* mode;
    int action;  // 0: Stop, IDCANCEL, or WM_CLOSE
  };
  const Case cases[] = {{L"stress cancel", L"-Stress", IDCANCEL},
                        {L"stress close", L"-Stress", WM_CLOSE},
                        {L"bench stop", L"-Bench", 0},
                        {L"bench close", L"-Bench", WM_CLOSE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(appkit::Narrow(c.what));
    RunFixture fx(c.what);
    fx.SetChoices(1, 1, 1);
    fx.SetDword(L"nTimeoutCount", 100000);
    fx.WriteFile(std::wstring(c.mode) == L"-Bench" ? L"bnchmark.dat" : L"modules.dat",
                 ";Test Modules\r\n" + fx.Line("Video Frozen", "-NeverIdle -TraceFROZEN.TXT", "", "FROZEN.LOG", ""));
    Process host;
    HWND dlg = fx.OpenDialog(host, c.mode);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return fx.Exists(L"FROZEN.TXT"); }, 20000));
    testsupport::PumpUntil([] { return false; }, 300);

    DWORD t0 = ::GetTickCount();
    if (c.action == 0) {
      ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
      ASSERT_TRUE(testsupport::PumpUntil([&] { return RunButtonSays(dlg, L"&Run"); }, 5000));
      std::printf("%s acted after %lu ms\n", appkit::Narrow(c.what).c_str(), ::GetTickCount() - t0);
      // A stopped series without a failing result shows what it wrote.
      HWND results = WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 5000);
      ASSERT_NE(results, nullptr);
      ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
      ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
    } else if (c.action == IDCANCEL) {
      ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
      ASSERT_TRUE(host.WaitExitPumping(5000));
    } else {
      ::PostMessageW(dlg, WM_CLOSE, 0, 0);
      ASSERT_TRUE(host.WaitExitPumping(5000));
    }
    if (c.action != 0) std::printf("%s acted after %lu ms\n", appkit::Narrow(c.what).c_str(), ::GetTickCount() - t0);
    EXPECT_TRUE(testsupport::PumpUntil([] { return CountProcesses(L"fakemod.exe") == 0; }, 5000));
    if (host.Running()) {
      ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
      ASSERT_TRUE(host.WaitExitPumping(10000));
    }
  }
}

// A list with a comment, a line with too few fields and a 10,000-character
// entry: the dialog names the entry it refused, and the list written at Run
// is the one read, but for the change the run made (strevan.mod is switched
// off on Windows NT).
TEST(StressGuard, ListLinesTheProgramDoesNotUnderstandSurviveARun) {
  RunFixture fx(L"list lines");
  fx.SetChoices(1, 0, 1);
  const std::string longEntry = std::string(10000, 'L') + "|long.mod|-AutoRun||LONG.LOG|||";
  const std::string strevan = "Stress Module|strevan.mod|-AutoRun||STRV.LOG|2||\r\n";
  auto list = [&](const std::string& strevanLine) {
    return ";Test Modules\r\n; the machine's own modules\r\n" +
           fx.Line("Audio Pass", "-AutoRun -Work100", "", "PASS.LOG", "0") + "half|a line|\r\n\r\n" + longEntry +
           "\r\n" + strevanLine + ";end of the list\r\n";
  };
  fx.WriteFile(L"modules.dat", list(strevan));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(NoticeText(dlg), fx.dir() +
                                 L"modules.dat, line 6: longer than 999 characters; the entry is kept in the file but "
                                 L"not loaded.");
  EXPECT_EQ(WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 300), nullptr);
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 2u);

  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 20000));
  EXPECT_EQ(fx.ReadFile(L"modules.dat"), list("Stress Module|strevan.mod|-AutoRun|(Disabled)|STRV.LOG|2||\r\n"));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

// The suite folder's files cannot be written (another program holds them):
// the run goes on, says once and without a message box that the list cannot
// be saved, says that this run has no STRESS.LOG, and does not show the old
// one as its own.
TEST(StressGuard, AnUnwritableFolderIsReportedAndItsOldLogIsNotThisRuns) {
  RunFixture fx(L"unwritable stress");
  fx.SetChoices(2, 0, 1);
  const std::string modules = ";Test Modules\r\n" + fx.Line("Audio Pass", "-AutoRun -Work100 -TraceA.TXT", "", "A.LOG", "") +
                              fx.Line("Disk Pass", "-AutoRun -Work100 -TraceB.TXT", "", "B.LOG", "");
  fx.WriteFile(L"modules.dat", modules);
  fx.WriteFile(L"STRESS.LOG", "an old stress log\r\n");
  HeldFile list(fx.dir() + L"modules.dat"), log(fx.dir() + L"STRESS.LOG");
  ASSERT_TRUE(list.held() && log.held());

  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  // Four starts, each after a save of the list; nothing holds the run.
  ASSERT_TRUE(WaitStressRun(dlg, 30000));
  EXPECT_EQ(WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 300), nullptr);
  EXPECT_EQ(fx.Lines(L"A.TXT").size(), 2u);
  EXPECT_EQ(fx.Lines(L"B.TXT").size(), 2u);
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], L"PASSED");
  EXPECT_EQ(rows[1][1], L"PASSED");

  const std::wstring notice = NoticeText(dlg);
  EXPECT_EQ(Occurrences(notice, L"Failed to save file.  " + fx.dir() + L"modules.dat: "), 1u) << appkit::Narrow(notice);
  EXPECT_EQ(Occurrences(notice, L"Cannot write " + fx.dir() + L"STRESS.LOG: "), 1u) << appkit::Narrow(notice);
  EXPECT_NE(notice.find(L"a STRESS.LOG there is from an earlier run"), std::wstring::npos);

  // View Log does not present the old file as this run's.
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND box = WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), L"This run could not write " + fx.dir() +
                              L"STRESS.LOG; the file there is from an earlier run and is not shown.");
  ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(box, 5000));
  EXPECT_EQ(WaitOtherWindow(host.Pid(), L"View Test Log - Stress Test", dlg, 500), nullptr);

  // Closing saves once more, in vain and silently.
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  list.Release();
  log.Release();
  EXPECT_EQ(fx.ReadFile(L"modules.dat"), modules);
  EXPECT_EQ(fx.ReadFile(L"STRESS.LOG"), "an old stress log\r\n");
}

// A STRESS.LOG and a BNCHMARK.BNH the user made read-only stay as they
// were: the run and the series say they keep none, and show no old file as
// theirs.
TEST(StressGuard, ReadOnlyOldFilesStayAsTheyWere) {
  RunFixture fx(L"read-only files");
  fx.SetChoices(1, 0, 1);
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" + fx.Line("Audio Pass", "-AutoRun -Work100", "", "A.LOG", ""));
  // The fake module writes no block: the file is the series' own.
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun -Work100", "", "1.LOG", ""));
  struct Case {
    const wchar_t* mode;
    const wchar_t* file;
    const char* old;
  } cases[] = {
      {L"-Stress", L"STRESS.LOG", "an old stress log\r\n"},
      {L"-Bench", L"BNCHMARK.BNH", "an old series\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(appkit::Narrow(c.file));
    const std::wstring path = fx.dir() + c.file;
    fx.WriteFile(c.file, c.old);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    Process host;
    HWND dlg = fx.OpenDialog(host, c.mode);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] {
          auto rows = ListRows(dlg);
          return rows.size() == 1 && (rows[0][1] == L"PASSED" || rows[0][1] == L"DONE") &&
                 RunButtonSays(dlg, L"&Run") && testsupport::GetText(dlg).find(L" - ") == std::wstring::npos;
        },
        30000));
    const std::wstring notice = NoticeText(dlg);
    EXPECT_EQ(Occurrences(notice, L"Cannot write " + path + L": "), 1u) << appkit::Narrow(notice);
    // No results open on the old file.
    EXPECT_EQ(WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 1500), nullptr);
    ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
    ASSERT_TRUE(host.WaitExitPumping(10000));
    EXPECT_EQ(fx.ReadFile(c.file), c.old);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// From the menu (someone is there) the list that cannot be saved is
// reported in one message box, which does not hold the run.
TEST(StressGuard, AnUnsavableListIsReportedOnceWithoutHoldingTheRun) {
  RunFixture fx(L"unsavable list");
  fx.SetChoices(2, 0, 1);
  const std::string modules = ";Test Modules\r\n" + fx.Line("Audio Pass", "-AutoRun -Work100 -TraceA.TXT", "", "A.LOG", "") +
                              fx.Line("Disk Pass", "-AutoRun -Work100 -TraceB.TXT", "", "B.LOG", "");
  fx.WriteFile(L"modules.dat", modules);
  HeldFile list(fx.dir() + L"modules.dat");
  ASSERT_TRUE(list.held());
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress -Attended");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  HWND box = WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 10000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box).rfind(L"Failed to save file.  " + fx.dir() + L"modules.dat: ", 0), 0u)
      << appkit::Narrow(BoxText(box));
  // The run goes to its end while the box is up.
  ASSERT_TRUE(WaitStressRun(dlg, 30000));
  EXPECT_EQ(fx.Lines(L"B.TXT").size(), 2u);
  ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(box, 5000));
  EXPECT_EQ(WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 1500), nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

// BNCHMARK.BNH cannot be replaced: the series says so and runs, and at its
// end no results open on the earlier series' file.
TEST(StressGuard, ABenchmarkSeriesWithoutItsFileOpensNoOldResults) {
  RunFixture fx(L"unwritable bench");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun -Work100 -BnhOne", "", "1.LOG", ""));
  fx.WriteFile(L"BNCHMARK.BNH", "an old series\r\n");
  HeldFile bnh(fx.dir() + L"BNCHMARK.BNH");
  ASSERT_TRUE(bnh.held());
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] {
        auto rows = ListRows(dlg);
        return rows.size() == 1 && rows[0][1] == L"DONE" && RunButtonSays(dlg, L"&Run");
      },
      20000));
  const std::wstring notice = NoticeText(dlg);
  EXPECT_EQ(notice.rfind(L"Cannot write " + fx.dir() + L"BNCHMARK.BNH: ", 0), 0u) << appkit::Narrow(notice);

  // View Results, posted now, is handled after the series' last step, which
  // would have opened the results: by the time its box is up they would be.
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND box = WaitOtherWindow(host.Pid(), fx.MessageTitle(), nullptr, 5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 0), nullptr);
  EXPECT_EQ(BoxText(box), L"The last series could not write " + fx.dir() +
                              L"BNCHMARK.BNH; the file there is from an earlier series and is not shown.");
  ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(box, 5000));
  EXPECT_EQ(WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 500), nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  bnh.Release();
  EXPECT_EQ(fx.ReadFile(L"BNCHMARK.BNH"), "an old series\r\n");
}

// Programs that crash or end with a nonzero exit code fail, and the log
// says how they ended; exit code 0 still passes a plain program.
TEST(StressGuard, CrashesAndFailingExitCodesAreFailures) {
  RunFixture fx(L"crashes");
  fx.SetChoices(1, 0, 1);
  fx.WriteFile(L"modules.dat",
               ";Test Modules\r\n" + fx.Line("Clean", "-Exit0 -Work100", "", "", "") +
                   fx.Line("Crash", "-Crash -Work100", "", "", "") + fx.Line("Exit Three", "-Exit3 -Work100", "", "", "") +
                   fx.Line("Protocol Crash", "-AutoRun -Work100 -NoResult -Crash", "", "PC.LOG", ""));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 30000));
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][1], L"PASSED");
  EXPECT_EQ(rows[1][1], L"FAILED");
  EXPECT_EQ(rows[2][1], L"FAILED");
  EXPECT_EQ(rows[3][1], L"FAILED");
  std::string rest = AfterStamp(fx.ReadFile(L"STRESS.LOG"));
  std::string expect = "LOOP: 1\r\n"
                       "*** Process crashed:\tCrash (exception 0xC0000005)\r\n"
                       "*** Process failed:\tExit Three (exit code 3)\r\n"
                       "*** Process crashed:\tProtocol Crash (exception 0xC0000005)\r\n" +
                       ExpectedTable(rows);
  EXPECT_EQ(rest.substr(0, expect.size()), expect) << rest;
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

// The window-title field closes the module's own window only: not another
// program's window of that title, and not the stress dialog itself.
TEST(StressGuard, TheWindowTitleFieldClosesOnlyTheModulesOwnWindow) {
  RunFixture fx(L"window titles");
  fx.SetChoices(1, 0, 0);
  TitledWindow server(L"Qev System Information Server");
  const std::string fake = appkit::Narrow(fx.FakeModule());
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n"
                               "Server Title|" + fake + "|-Exit0 -Work2500||||Qev System Information Server|\r\n"
                               "Dialog Title|" + fake + "|-Exit0 -Work2500||||Stress Test - LOOP 1|\r\n"
                               "Own Window|" + fake + "|-WindowFakeOwnTitle -Work20000||||FakeOwnTitle|\r\n");
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  DWORD t0 = ::GetTickCount();
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  // The module's own window is closed long before its 20 s are up.
  ASSERT_TRUE(WaitStressRun(dlg, 15000));
  EXPECT_LT(::GetTickCount() - t0, 15000u);
  EXPECT_TRUE(::IsWindow(dlg));
  EXPECT_TRUE(host.Running());
  EXPECT_TRUE(::IsWindow(server.hwnd()));
  EXPECT_EQ(server.closeRequests, 0);
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) EXPECT_EQ(row[1], L"PASSED") << appkit::Narrow(row[0]);
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

// A log too long to show whole is cut at a line end, and the log view says
// where.
TEST(StressGuard, TheLogViewSaysWhereItCutALongLog) {
  RunFixture fx(L"long log");
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" + fx.Line("Audio Pass", "-AutoRun", "", "PASS.LOG", ""));
  std::string log;
  for (int i = 1; i <= 70000; ++i) log += appkit::FormatA("log line %06d\r\n", i);  // 17 bytes a line
  fx.WriteFile(L"STRESS.LOG", log);
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND viewer = WaitOtherWindow(host.Pid(), L"View Test Log - Stress Test", dlg, 20000);
  ASSERT_NE(viewer, nullptr);
  HWND list = testsupport::FindChildById(viewer, 1024);
  // 1 MB holds 61680 whole lines.
  const size_t lines = 1024 * 1024 / 17;
  const std::wstring note = L"[The file is cut here, after line " + std::to_wstring(lines) +
                            L": shown are the first " + std::to_wstring(lines * 17) + L" of its " +
                            std::to_wstring(log.size()) + L" bytes.]";
  ASSERT_EQ((size_t)::SendMessageW(list, LB_GETCOUNT, 0, 0), lines + 1);
  auto item = [list](int i) {
    wchar_t buf[256] = {};
    if (::SendMessageW(list, LB_GETTEXTLEN, i, 0) < 255) ::SendMessageW(list, LB_GETTEXT, i, (LPARAM)buf);
    return std::wstring(buf);
  };
  EXPECT_EQ(item(0), L"log line 000001");
  EXPECT_EQ(item((int)lines - 1), appkit::Format(L"log line %06d", (int)lines));
  EXPECT_EQ(item((int)lines), note);
  ASSERT_TRUE(testsupport::ClickButton(viewer, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(viewer, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}
