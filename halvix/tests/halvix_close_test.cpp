// Halvix closed while a test hosted in its right-hand pane runs on the
// page's own thread (graphics, CD-ROM, audio, ports): closed at the moment
// that hurts most, by its window's close and by the system menu's Close,
// the test ends, Halvix ends, and the next start shows its window (a
// process left behind would keep the instance and turn every start away).
#include <gtest/gtest.h>
#include <windows.h>
// (after windows.h)
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "frame_rules.h"
#include "resource.h"
#include "testsupport/controls.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kFrameClass[] = L"HalvixMainFrame";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\halvix.exe";
constexpr UINT kPane = 0xE900;  // first pane of a splitter
constexpr UINT kPaneRow1 = 0xE910;
constexpr UINT kPaneCol1 = 0xE901;
constexpr int kControlId = 1001;  // the control in the module view
constexpr int kResultList = 1005;  // the Test page's result list

HWND Child(HWND parent, UINT id) { return parent ? ::GetDlgItem(parent, static_cast<int>(id)) : nullptr; }

// The hosted control: the child of the module view in the tree layout's
// upper right pane.
HWND HostedControl(HWND main) {
  HWND s4 = Child(Child(Child(Child(main, kPane), kPaneCol1), kPaneRow1), kPaneCol1);
  return Child(Child(s4, kPane), kControlId);
}

std::vector<std::wstring> ResultLines(HWND control) {
  HWND list = control ? FindChildById(control, kResultList) : nullptr;
  return list ? ListBoxLines(list) : std::vector<std::wstring>{};
}

// For a picture of the window taken from outside (of the X display): with
// HALVIX_TEST_HOLD_MS set, the test keeps the window open that long.
void HoldForPicture() {
  char buf[16];
  DWORD n = ::GetEnvironmentVariableA("HALVIX_TEST_HOLD_MS", buf, sizeof buf);
  if (n > 0 && n < sizeof buf) PumpUntil([] { return false; }, (DWORD)atoi(buf));
}

std::string Unix(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

void Seed(const wchar_t* key, const std::vector<std::pair<const wchar_t*, DWORD>>& values) {
  for (const auto& [name, value] : values) ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, key, name, value));
}

class HalvixClose : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir() + L"halvix-close-test-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    RemoveTree(dir_);
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << f;
    ASSERT_EQ(RegisterControl(SuitePath(L"QUORREL.OCX")), 0);
    // The real pointer stays off the program's windows.
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  }

  void TearDown() override {
    if (p_.Running()) p_.Kill();
    EndProcessById(testerPid_);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    if (ownStrevan_) {
      EXPECT_EQ(RegisterControl(SuitePath(L"STREVAN.OCX")), 0);
    }
    ::SetEnvironmentVariableA("HALVIX_FAKE_LANVET", nullptr);
    DefineDrive(L'q', DRIVE_NO_ROOT_DIR, nullptr);
    RemoveTree(dir_);
  }

  HWND StartMain() {
    if (!p_.Start(dir_ + L"halvix.exe", L"", dir_)) return nullptr;
    return WaitForMainWindow(p_.Pid(), p_.Handle(), kFrameClass, 30000);
  }

  // A run of a hosted test: its page, the caption of the question its
  // control asks before it starts (answered Yes), and the moment at which
  // the close hurts most.
  struct HostedRun {
    UINT page;
    const wchar_t* question;
    std::function<bool(HWND control)> worst;
  };

  // When the close comes: at the run's worst moment; while the control's
  // question before the run is up and no one answers it; or with the
  // question's Yes on its way behind the close.
  enum class Moment { Worst, AtQuestion, AtQuestionThenYes };

  // Shows the page, starts its test with the control's own button, closes
  // Halvix with `closeMsg` at `moment`; then Halvix must end of itself and
  // the next start must show its window.
  void CloseDuringRun(const HostedRun& run, UINT closeMsg, WPARAM closeParam, bool hold = false,
                      Moment moment = Moment::Worst) {
    HWND main = StartMain();
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, halvix::WM_SELECTPAGE, run.page, 0);
    HWND control = nullptr, start = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
          control = HostedControl(main);
          start = control ? FindChild(control, L"Button", L"&Start") : nullptr;
          return start != nullptr;
        },
        30000))
        << "the control in the pane";
    ASSERT_TRUE(ClickButton(start));
    if (run.question) {
      HWND box = WaitForWindow(run.question, L"#32770", p_.Pid(), 15000);
      ASSERT_NE(box, nullptr) << "the question before the run";
      // Posted first, the close is handled inside the question's own loop.
      if (moment != Moment::Worst) ::PostMessageW(main, closeMsg, closeParam, 0);
      if (moment != Moment::AtQuestion) {
        ASSERT_TRUE(ClickButton(box, IDYES));
      }
    }
    if (moment == Moment::Worst) {
      ASSERT_TRUE(PumpUntil([&] { return run.worst(control); }, 90000)) << "the run got there\n" << WindowsOf(p_.Pid());
      ::PostMessageW(main, closeMsg, closeParam, 0);
    }
    const DWORD asked = ::GetTickCount();
    // (Halvix tells every window that the screen saver is back: this test's
    // own windows answer.)
    ASSERT_TRUE(p_.WaitExitPumping(60000)) << "Halvix ended; its windows:\n" << WindowsOf(p_.Pid());
    std::printf("Halvix ended %lu ms after it was asked to close\n", ::GetTickCount() - asked);
    EXPECT_EQ(p_.ExitCode(), 0u);

    // Nothing of it is left: the next start comes up with its window.
    main = StartMain();
    ASSERT_NE(main, nullptr) << "the next start shows its window";
    EXPECT_TRUE(::IsWindowVisible(main));
    if (hold) HoldForPicture();
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p_.WaitExitPumping(60000));
    EXPECT_EQ(p_.ExitCode(), 0u);
  }

  struct CloseWay {
    const char* name;
    UINT msg;
    WPARAM wp;
  };
  static constexpr CloseWay kCloseWays[] = {{"WM_CLOSE", WM_CLOSE, 0}, {"system menu Close", WM_SYSCOMMAND, SC_CLOSE}};

  std::wstring dir_;
  Process p_;
  DWORD testerPid_ = 0;
  bool ownStrevan_ = false;  // the port control is registered from dir_
};

// The graphics test in its DirectDraw batch: the batch draws frame after
// frame and drains the message queue between them, so the close arrives
// inside the test.
TEST_F(HalvixClose, DuringTheGraphicsTestsDirectDrawBatch) {
  KeyAside graphicsKey(L"Software\\Kyt\\GRAPHICS", L"Software\\HalvixCloseTestBackup\\GRAPHICS");
  ASSERT_EQ(RegisterControl(SuitePath(L"GRAPHICS.OCX")), 0);
  const wchar_t key[] = L"Software\\Kyt\\GRAPHICS\\Setting";
  bool first = true;
  for (const CloseWay& way : kCloseWays) {
    SCOPED_TRACE(way.name);
    ::DeleteFileW(SuitePath(L"KytVGA.LOG").c_str());
    // A DirectDraw batch far longer than the test.
    ASSERT_NO_FATAL_FAILURE(
        Seed(key, {{L"Loop", 1}, {L"DirectDraw", 1000000}, {L"DirectDrawEnable", 1}, {L"Direct3DEnable", 0},
                   {L"DirectSoundEnable", 0}, {L"BitmapStretchingEnable", 0}, {L"BitmapDrawingEnable", 0},
                   {L"FloodFilledDrawingEnable", 0}, {L"PixelDrawingEnable", 0}, {L"LineDrawingEnable", 0},
                   {L"FilledShapeDrawingEnable", 1}, {L"BitmapScrollingEnable", 0}, {L"StringDrawingEnable", 0}}));
    ASSERT_NO_FATAL_FAILURE(CloseDuringRun(
        {ID_GRAPHICS_TEST, nullptr, [&](HWND) {
           return WaitForWindowOf(p_.Pid(), [](HWND w) { return ClassOf(w) == L"Kyt DDRAW WINDOW"; }, 0) != nullptr;
         }},
        way.msg, way.wp, first));
    first = false;
    std::string log = Unix(ReadFileBytes(SuitePath(L"KytVGA.LOG")));
    EXPECT_NE(log.find("DirectDraw Test:\t"), std::string::npos) << log;
    EXPECT_NE(log.find("===>Test aborts.\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Filled Shapes Drawings:\t"), std::string::npos) << "the run ended at the close\n" << log;
  }
}

// The CD-ROM test reading a disc in a drive of this prefix: it drains the
// message queue between its reads.
TEST_F(HalvixClose, DuringTheCdromTestsReads) {
  KeyAside cdKey(L"Software\\Kyt\\CDROM", L"Software\\HalvixCloseTestBackup\\CDROM");
  ASSERT_EQ(RegisterControl(SuitePath(L"CDROM.OCX")), 0);
  const std::wstring disc = dir_ + L"disc\\";
  ASSERT_TRUE(::CreateDirectoryW(disc.c_str(), nullptr));
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(WriteFileBytes(disc + L"FILE" + std::to_wstring(i) + L".DAT", std::string(256 * 1024, char('a' + i))));
  ASSERT_TRUE(DefineDrive(L'q', DRIVE_CDROM, UnixPathOf(disc).c_str()));
  ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), (UINT)DRIVE_CDROM);
  const wchar_t key[] = L"Software\\Kyt\\CDROM\\Setting";
  const HostedRun reads{ID_CDROM_TEST, L"CD-ROM Test", [](HWND control) {
                          return FindChild(control, L"Button", L"&Stop") && ResultLines(control).size() >= 2;
                        }};
  // Closed during the reads in both ways, and while the question before the
  // run is up: unanswered, the question goes and no run starts; with its Yes
  // on the way, the run that starts is stopped at once. (The question holds
  // the frame disabled, and a disabled window takes no system menu Close:
  // there the close comes as the window's close, as a task list sends it.)
  struct Case {
    CloseWay way;
    Moment moment;
    const char* name;
  } cases[] = {{kCloseWays[0], Moment::Worst, "during the reads"},
               {kCloseWays[1], Moment::Worst, "during the reads"},
               {kCloseWays[0], Moment::AtQuestion, "at the question"},
               {kCloseWays[0], Moment::AtQuestionThenYes, "at the question, its Yes on the way"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.way.name) + " " + c.name);
    ::DeleteFileW(SuitePath(L"KytCD.LOG").c_str());
    ASSERT_NO_FATAL_FAILURE(Seed(key, {{L"Loop", 100000}}));
    ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, key, L"SelectedDrive", L"Q:\\"));
    ASSERT_NO_FATAL_FAILURE(CloseDuringRun(reads, c.way.msg, c.way.wp, false, c.moment));
    std::string log = Unix(ReadFileBytes(SuitePath(L"KytCD.LOG")));
    if (c.moment == Moment::AtQuestion) {
      EXPECT_EQ(log, "") << "no run started";
    } else {
      EXPECT_NE(log.find("===>Test aborted.\n"), std::string::npos) << log;
    }
  }
}

// The audio test playing a tune that this machine's sequencer never says
// it finished: the run waits for the device on the page's thread.
TEST_F(HalvixClose, DuringTheAudioTestsPlay) {
  if (::midiOutGetNumDevs() != 0) GTEST_SKIP() << "a MIDI device plays the tune to its end";
  KeyAside mediaKey(L"Software\\Qev\\MEDIA", L"Software\\HalvixCloseTestBackup\\MEDIA");
  ASSERT_EQ(RegisterControl(SuitePath(L"MEDIA.OCX")), 0);
  const wchar_t key[] = L"Software\\Qev\\MEDIA\\Setting";
  for (const CloseWay& way : kCloseWays) {
    SCOPED_TRACE(way.name);
    ASSERT_NO_FATAL_FAILURE(Seed(key, {{L"Loop", 1000}, {L"WaveEnable", 0}, {L"MidiEnable", 1}, {L"AudioCDEnable", 0},
                                       {L"RecordMicrophone", 0}, {L"RecordLinein", 0}}));
    for (int i = 0; i < 10; ++i)
      ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, key, L"Audio" + std::to_wstring(i),
                                         i == 0 ? SuitePath(L"TESTDATA\\test.mid") : L""));
    ASSERT_NO_FATAL_FAILURE(CloseDuringRun({ID_AUDIO_TEST, nullptr,
                                            [](HWND control) {
                                              std::vector<std::wstring> lines = ResultLines(control);
                                              return !lines.empty() &&
                                                     lines.back() == L"Playing Midi File(test.mid)...\t";
                                            }},
                                           way.msg, way.wp));
  }
}

// The port test on Windows 98 (where Halvix hosts it) waiting for a tester
// that never ends: the run waits on the page's timer. (Its window's close
// has a test of the control's own.)
TEST_F(HalvixClose, DuringThePortTestsWaitForItsTester) {
  KeyAside strevanKey(L"Software\\Kyt\\Strevan", L"Software\\HalvixCloseTestBackup\\Strevan");
  ASSERT_TRUE(::CopyFileW(SuitePath(L"STREVAN.OCX").c_str(), (dir_ + L"STREVAN.OCX").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW((TestBinDir() + L"strevan_fake_tester.exe").c_str(), (dir_ + L"LANVET.EXE").c_str(), FALSE));
  ASSERT_EQ(RegisterControl(dir_ + L"STREVAN.OCX"), 0);
  ownStrevan_ = true;
  ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98"));
  ::SetEnvironmentVariableA("HALVIX_FAKE_LANVET", "hang");
  ASSERT_NO_FATAL_FAILURE(
      Seed(L"Software\\Kyt\\Strevan\\Setting", {{L"bLPT", 1}, {L"bCom", 0}, {L"bGame", 0}, {L"MaxLoop", 3000}}));
  ASSERT_NO_FATAL_FAILURE(CloseDuringRun({ID_IOPORT_TEST, nullptr,
                                          [&](HWND control) {
                                            if (!FindChild(control, L"Button", L"&Stop")) return false;
                                            std::string pid = ReadFileBytes(dir_ + L"LANVET.PID");
                                            if (!pid.empty()) testerPid_ = (DWORD)std::stoul("0" + pid);
                                            return testerPid_ != 0;
                                          }},
                                         WM_SYSCOMMAND, SC_CLOSE));
  HANDLE tester = ::OpenProcess(SYNCHRONIZE, FALSE, testerPid_);
  EXPECT_TRUE(!tester || ::WaitForSingleObject(tester, 10000) == WAIT_OBJECT_0) << "the tester was ended";
  if (tester) ::CloseHandle(tester);
  std::string log = Unix(ReadFileBytes(dir_ + L"KytPORT.LOG"));
  EXPECT_NE(log.find("===>Test aborts.\n"), std::string::npos) << log;
}

}  // namespace
