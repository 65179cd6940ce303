#include "main_frame.h"

#include <climits>

#include "halvix_app.h"
#include "resource.h"
#include "stress/commands.h"

namespace {
const wchar_t kFrameClass[] = L"HalvixMainFrame";

// What the stress and benchmark dialogs take of the program's settings.
stress::StressSettings StressSettingsOf(const CHalvixApp& app) {
  stress::StressSettings s;
  s.dataDir = app.programDir();
  s.messageBoxTitle = app.caption();
  s.timeoutCount = app.settings.nTimeoutCount;
  s.sleepMs = app.settings.sleep;
  s.cFactor = app.settings.cFactor;
  s.bnhRefFileName = app.settings.bnhRefFileName;
  s.testNum = app.settings.nTestNum;
  s.stopOnError = app.settings.nStopOnError;
  s.oneByOne = app.settings.nOneByOne;
  // Started for a run of its own: nobody may be there to answer a box.
  s.unattended = app.stressMode() || app.benchMode();
  return s;
}

}  // namespace

bool CMainFrame::CreateFrame(const wchar_t* title) {
  CHalvixApp* app = TheApp();
  HMENU menu = ::LoadMenuW(app->resources(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  if (!Create(kFrameClass, title, WS_OVERLAPPEDWINDOW, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
              nullptr, menu)) {
    if (menu) ::DestroyMenu(menu);
    return false;
  }
  HICON icon = ::LoadIconW(app->resources(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  if (!icon) icon = ::LoadIconW(app->instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  if (icon) {
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  return true;
}

namespace {

// The work area of the screen nearest to a stored rectangle (whose values
// may be anything the registry held).
halvix::ScreenArea WorkAreaNear(const halvix::WindowRect& r) {
  auto clampInt = [](long long v) { return (LONG)(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v); };
  RECT probe{r.x, r.y, clampInt((long long)r.x + r.width), clampInt((long long)r.y + r.height)};
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  RECT work{};
  if (::GetMonitorInfoW(::MonitorFromRect(&probe, MONITOR_DEFAULTTONEAREST), &mi))
    work = mi.rcWork;
  else if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return {work.left, work.top, work.right, work.bottom};
}

}  // namespace

void CMainFrame::ActivateFrame(int show) {
  CHalvixApp* app = TheApp();
  notYetShown_ = false;
  // Stored values bring the window back where it was, but never out of sight.
  const halvix::WindowRect fallback =
      app->settings.ControlPanelLayout() ? halvix::kControlPanelRect : halvix::kTreeLayoutRect;
  app->settings.rect = halvix::FitOnScreen(app->settings.rect, fallback, WorkAreaNear(app->settings.rect));
  const halvix::WindowRect& r = app->settings.rect;
  ::MoveWindow(hwnd(), r.x, r.y, r.width, r.height, FALSE);
  if (app->benchMode()) {
    Post(WM_COMMAND, ID_BENCHMARKS);
    show = SW_HIDE;
  } else if (app->stressMode()) {
    Post(WM_COMMAND, ID_STRESS_TEST);
    show = SW_HIDE;
  } else if (app->settings.maximized) {
    show = SW_SHOWMAXIMIZED;
  }
  ::ShowWindow(hwnd(), show);
  ::UpdateWindow(hwnd());
}

bool CMainFrame::Shown() const { return !notYetShown_ && ::IsWindowVisible(hwnd()); }

void CMainFrame::OnCommand(int id) {
  CHalvixApp* app = TheApp();
  switch (id) {
    case ID_RESET_DEFAULT_CONFIG:
      app->ResetDefaultConfiguration();
      break;
    case ID_HELP_FINDER:
      app->WinHelp();
      break;
    case ID_APP_ABOUT:
      app->ShowAbout(hwnd());
      break;
    case ID_APP_EXIT:
      Post(WM_CLOSE);
      break;
    case ID_STRESS_TEST: {
      stress::StressSettings s = StressSettingsOf(*app);
      if (stress::RunStressTestCommand(hwnd(), s) == IDOK) {
        app->settings.nTestNum = s.testNum;
        app->settings.nStopOnError = s.stopOnError;
        app->settings.nOneByOne = s.oneByOne;
      }
      if (app->stressMode()) Post(WM_CLOSE);
      break;
    }
    case ID_BENCHMARKS:
      stress::RunBenchmarksCommand(hwnd(), StressSettingsOf(*app));
      if (app->benchMode()) Post(WM_CLOSE);
      break;
    default:
      break;
  }
}

LRESULT CMainFrame::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  CHalvixApp* app = TheApp();
  if (msg != 0 && msg == app->semaphoreMessage()) {
    // A second start: come forward.
    if (::IsIconic(hwnd())) {
      ::ShowWindow(hwnd(), SW_RESTORE);
    } else if (!(::GetWindowLongW(hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST)) {
      ::SetForegroundWindow(hwnd());
    }
    return 0;
  }
  switch (msg) {
    case WM_EXITSIZEMOVE:
      if (Shown()) {
        RECT rc;
        ::GetWindowRect(hwnd(), &rc);
        app->settings.rect = {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
      }
      break;
    case WM_SIZE:
      if (Shown()) app->settings.maximized = (wp == SIZE_MAXIMIZED) ? 1 : 0;
      break;
    case WM_COMMAND:
      if (lp == 0) {
        OnCommand(LOWORD(wp));
        return 0;
      }
      break;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      break;
    default:
      break;
  }
  return Default(msg, wp, lp);
}
