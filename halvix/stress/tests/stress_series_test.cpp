// Concurrent stress runs, benchmark series and missing list files, end to
// end with the stand-in main program.
#include <gtest/gtest.h>

#include <cstdio>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

std::string OsLine() {
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  ::GetVersionExW(&vi);
  char buf[128];
  std::snprintf(buf, sizeof(buf), "OS Type:\t%s [%lu.%02lu.%lu]\r\n\r\n",
                vi.dwPlatformId == VER_PLATFORM_WIN32_NT ? "Windows NT" : "Windows", vi.dwMajorVersion,
                vi.dwMinorVersion, vi.dwBuildNumber & 0xFFFF);
  return buf;
}

// The part of BNCHMARK.BNH after its time stamp, which must be a log time.
std::string AfterStamp(const std::string& bnh) {
  const std::string head = "[Last Updated: ";
  size_t close = bnh.find("]\n");
  if (bnh.compare(0, head.size(), head) != 0 || close == std::string::npos) return "bad header: " + bnh;
  if (!IsLogTime(bnh.substr(head.size(), close - head.size()))) return "bad time: " + bnh;
  return bnh.substr(close + 2);
}

}  // namespace

TEST(StressRun, ConcurrentRunPassesTheFactorAndJudgesEveryModule) {
  RunFixture fx(L"concurrent");
  // A concurrent run doubles the count: the frozen module is given up after
  // 8 waits of 625 ms, 5 s, which the healthy ones share to come up in.
  fx.SetDword(L"nTimeoutCount", 4);
  fx.SetIdleWait(625);
  fx.SetChoices(1, 0, 0);
  fx.WriteFile(L"modules.dat",
               ";Test Modules\r\n" + fx.Line("Audio Pass", "-AutoRun -Work800 -TracePASS.TXT", "", "PASS.LOG", "") +
                   fx.Line("Disk Errors", "-AutoRun -Work800 -Result4 -TraceERR.TXT", "", "ERR.LOG", "") +
                   fx.Line("Graphics Silent", "-AutoRun -Work800 -NoResult -TraceSILENT.TXT", "", "SILENT.LOG", "") +
                   fx.Line("Video Frozen", "-NeverIdle -TraceFROZEN.TXT", "", "FROZEN.LOG", ""));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 30000));

  // Every module got " -C" with the factor, all started in the same loop.
  std::string quoted = "\"" + appkit::Narrow(fx.FakeModule()) + "\"";
  EXPECT_EQ(fx.Lines(L"PASS.TXT"),
            std::vector<std::string>{quoted + " -AutoRun -Work800 -TracePASS.TXT -L1 -Append -C75"});
  EXPECT_EQ(fx.Lines(L"ERR.TXT"),
            std::vector<std::string>{quoted + " -AutoRun -Work800 -Result4 -TraceERR.TXT -L1 -Append -C75"});
  EXPECT_EQ(fx.Lines(L"FROZEN.TXT"), std::vector<std::string>{quoted + " -NeverIdle -TraceFROZEN.TXT -L1 -Append -C75"});

  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][1], L"PASSED");
  EXPECT_EQ(rows[1][1], L"FAILED");
  EXPECT_EQ(rows[2][1], L"FAILED");
  EXPECT_EQ(rows[3][1], L"FAILED");
  std::string log = fx.ReadFile(L"STRESS.LOG");
  size_t close = log.find("]\n");
  ASSERT_NE(close, std::string::npos);
  std::string expect = "LOOP: 1\r\n*** Process killed:\tVideo Frozen (due to timeout)\r\n" + ExpectedTable(rows);
  EXPECT_EQ(log.substr(close + 2, expect.size()), expect);
  EXPECT_EQ(testsupport::GetText(dlg), L"Stress Test");

  ASSERT_TRUE(testsupport::ClickButton(dlg, IDOK));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  EXPECT_EQ(fx.GetDword(L"nOneByOne"), 0u);
}

TEST(BenchmarkRun, SeriesRunsInNameOrderAndOpensTheResults) {
  RunFixture fx(L"series");
  // File order is not name order; one module is disabled.
  fx.WriteFile(L"bnchmark.dat",
               ";Test Modules\r\n"
               "Zeta Bench|" + appkit::Narrow(fx.FakeModule()) + "|-AutoRun -Bench -Work200 -BnhZeta||Z.LOG|\r\n" +
                   fx.Line("alpha Bench", "-AutoRun -Bench -Work200 -Bnhalpha", "", "A.LOG", "1") +
                   fx.Line("Off Bench", "-AutoRun -Bench -BnhOff -TraceOFF.TXT", "(DISABLED)", "O.LOG", "") +
                   fx.Line("Mid Bench", "-AutoRun -Bench -Work200 -BnhMid", "", "M.LOG", "2"));
  fx.WriteFile(L"BNCHMARK.BNH", "an old series\r\n");
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0], L"alpha Bench");
  EXPECT_EQ(rows[1][0], L"Mid Bench");
  EXPECT_EQ(rows[2][0], L"Off Bench");
  EXPECT_EQ(rows[3][0], L"Zeta Bench");
  EXPECT_EQ(rows[2][1], L"(DISABLED)");

  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  // A good series opens the results by itself.
  HWND results = WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 30000);
  ASSERT_NE(results, nullptr);
  EXPECT_NE(testsupport::FindChildById(results, 1101), nullptr);

  std::string rest = AfterStamp(fx.ReadFile(L"BNCHMARK.BNH"));
  EXPECT_EQ(rest, "\r\n" + OsLine() + "alpha:\tdone\r\n\r\nMid:\tdone\r\n\r\nZeta:\tdone\r\n\r\n");
  rows = ListRows(dlg);
  EXPECT_EQ(rows[0][1], L"DONE");
  EXPECT_EQ(rows[1][1], L"DONE");
  EXPECT_EQ(rows[2][1], L"(DISABLED)");
  EXPECT_EQ(rows[3][1], L"DONE");
  EXPECT_FALSE(fx.Exists(L"OFF.TXT"));
  // The list was saved at the start of the series: every record with seven
  // separators, from the last to the first.
  const std::string path = appkit::Narrow(fx.FakeModule());
  EXPECT_EQ(fx.ReadFile(L"bnchmark.dat"),
            ";Test Modules\r\n"
            "Mid Bench|" + path + "|-AutoRun -Bench -Work200 -BnhMid||M.LOG|2||\r\n"
            "Off Bench|" + path + "|-AutoRun -Bench -BnhOff -TraceOFF.TXT|(DISABLED)|O.LOG|||\r\n"
            "alpha Bench|" + path + "|-AutoRun -Bench -Work200 -Bnhalpha||A.LOG|1||\r\n"
            "Zeta Bench|" + path + "|-AutoRun -Bench -Work200 -BnhZeta||Z.LOG|||\r\n");

  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(BenchmarkRun, TheHeaderNamesWindows98WhenTheSystemSaysSo) {
  RunFixture fx(L"windows 98");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun -Work100 -BnhOne", "", "1.LOG", ""));
  Process host;
  struct Forget {
    ~Forget() { appkit::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\stress98.exe"); }
  } forget;
  ASSERT_TRUE(fx.StartHostOnWindows98(host, L"-Bench", L"stress98.exe")) << host.LastError().c_str();
  HWND dlg = WaitDialog(host.Pid(), L"Benchmarks");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  HWND results = WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 20000);
  ASSERT_NE(results, nullptr);
  std::string rest = AfterStamp(fx.ReadFile(L"BNCHMARK.BNH"));
  // Wine's Windows 98 is 4.10 build 2222 (the low word of the build number).
  EXPECT_EQ(rest, "\r\nOS Type:\tWindows 98 [4.10.2222]\r\n\r\nOne:\tdone\r\n\r\n");
  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(BenchmarkRun, AFailingModuleEndsTheSeries) {
  RunFixture fx(L"failing series");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("A Bench", "-AutoRun -Work200 -BnhA", "", "A.LOG", "") +
                                    fx.Line("B Bench", "-AutoRun -Work200 -Result1 -BnhB", "", "B.LOG", "") +
                                    fx.Line("C Bench", "-AutoRun -Work200 -BnhC -TraceC.TXT", "", "C.LOG", ""));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] {
        auto rows = ListRows(dlg);
        return rows.size() == 3 && rows[1][1] == L"FAILED" && RunButtonSays(dlg, L"&Run");
      },
      30000));
  // The series ended at B: C never ran and no results opened.
  EXPECT_EQ(WaitOtherWindow(host.Pid(), L"Benchmarks", dlg, 2500), nullptr);
  auto rows = ListRows(dlg);
  EXPECT_EQ(rows[0][1], L"DONE");
  EXPECT_EQ(rows[2][1], L"");
  EXPECT_FALSE(fx.Exists(L"C.TXT"));
  EXPECT_EQ(AfterStamp(fx.ReadFile(L"BNCHMARK.BNH")), "\r\n" + OsLine() + "A:\tdone\r\n\r\nB:\tdone\r\n\r\n");
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(StressRun, MissingListsAreReportedAndTheProgramEnds) {
  RunFixture fx(L"missing lists");
  Process host;
  ASSERT_TRUE(fx.StartHost(host, L"-Stress")) << host.LastError().c_str();
  // The first message names the file and why it did not open.
  const std::wstring texts[] = {L"Failed to open file " + fx.dir() + L"modules.dat: File not found.",
                                L"Failed to open modules.dat.  Please select \"Reset Default Configuration\" from "
                                L"Options menu and try again."};
  HWND previous = nullptr;
  for (const std::wstring& text : texts) {
    HWND box = WaitOtherWindow(host.Pid(), fx.MessageTitle(), previous, 10000);
    ASSERT_NE(box, nullptr) << appkit::Narrow(text);
    EXPECT_NE(testsupport::FindChild(box, L"Static", text), nullptr)
        << appkit::Narrow(text) << " / " << appkit::Narrow(testsupport::GetText(testsupport::FindChildById(box, 0xFFFF)));
    ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
    ASSERT_TRUE(testsupport::WaitWindowGone(box, 5000));
    previous = box;
  }
  ASSERT_TRUE(host.WaitExitPumping(10000));

  // A benchmark list that holds only comments still opens the dialog; a
  // stress list without records does not, and says nothing more.
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n");
  Process bench;
  HWND dlg = fx.OpenDialog(bench, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(ListRows(dlg).empty());
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(bench.WaitExitPumping(10000));

  // A stress list that opened but holds no module says so; an entry it
  // refused for its length is named with its line.
  const std::wstring noEntry = fx.dir() +
                               L"modules.dat holds no valid module entry (a module line needs seven '|' separators).  "
                               L"Please select \"Reset Default Configuration\" from Options menu and try again.";
  const struct {
    std::string list;
    std::wstring message;
  } garbage[] = {
      {";Test Modules\r\nShort|x.mod|-AutoRun|\r\n\x01\x02garbage\r\n", noEntry},
      {";Test Modules\r\n" + std::string(1200, 'n') + "|x.mod|-AutoRun||L.LOG|||\r\n",
       fx.dir() + L"modules.dat, line 2: longer than 999 characters; the entry is kept in the file but not loaded."
                  L"\n\n" + noEntry},
  };
  for (const auto& g : garbage) {
    fx.WriteFile(L"modules.dat", g.list);
    Process stress;
    ASSERT_TRUE(fx.StartHost(stress, L"-Stress"));
    HWND box = WaitOtherWindow(stress.Pid(), fx.MessageTitle(), nullptr, 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(box, 0xFFFF)), g.message);
    ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
    ASSERT_TRUE(stress.WaitExitPumping(10000));
    // Refused, not dropped: the list is as it was.
    EXPECT_EQ(fx.ReadFile(L"modules.dat"), g.list);
  }
}
