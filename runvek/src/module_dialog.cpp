#include "module_dialog.h"

#include "appkit/app.h"
#include "appkit/text.h"
#include "resource.h"
#include "runner_app.h"

namespace runvek {

namespace {
// Posted to itself when the control could not be created, so that the
// message shows over the dialog once it is up.
constexpr UINT kReportControlFailure = WM_APP + 1;
// An unattended run without its control waits this long for its host's
// DiagStart (hosts send it as soon as the module is idle), then ends anyway.
constexpr UINT_PTR kHostWaitTimer = 1;
constexpr UINT kHostWaitMs = 5000;
// Once the host has asked the module to close, the message boxes of the
// thread are answered as they come, this often.
constexpr UINT_PTR kAnswerBoxesTimer = 2;
constexpr UINT kAnswerBoxesMs = 100;

}  // namespace

ModuleDialog::ModuleDialog(const ModuleInfo& module, const RunnerSwitches& switches)
    : appkit::Dialog(module.dialogId), module_(module), switches_(switches) {}

ModuleDialog::~ModuleDialog() { Destroy(); }

BOOL ModuleDialog::OnInit() {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  RECT rc = ControlRectFor(client.right - client.left, client.bottom - client.top);
  RunnerApp& app = RunnerApp::Get();
  control_ = hosting::NewWrapperForName(appkit::Narrow(module_.word));
  if (control_ && control_->Create(L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rc, hwnd(), module_.controlId)) {
    control_->OnDone([this](const std::string& text) { OnDone(appkit::Widen(text)); });
    control_->Init(app.arguments());
    control_->SetProp("Size", appkit::FormatA("%d %d", (int)(rc.right - rc.left), (int)(rc.bottom - rc.top)));
    std::string title = control_->GetProp("Title");
    if (!title.empty()) ::SetWindowTextW(hwnd(), appkit::Widen(title).c_str());
    app.Publish(control_.get());
  } else {
    control_.reset();
    ::PostMessageW(hwnd(), kReportControlFailure, 0, 0);
  }
  if (switches_.check) {
    // Invisible while it works.
    ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (switches_.x && switches_.y) {
    ::SetWindowPos(hwnd(), nullptr, switches_.x, switches_.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return TRUE;
}

void ModuleDialog::ControlFailed() {
  // Not a silent empty dialog: the host gets a result that counts as
  // failed, and a user who is there learns why.
  RunnerApp& app = RunnerApp::Get();
  app.SetResult(1);
  if (switches_.unattended()) {
    // No one would close a message box. The run ends once the host has
    // started it, so that the host hears the result, or without a host in time.
    endWhenStarted_ = true;
    if (app.HostStarted()) EndDialog(IDCANCEL);
    else ::SetTimer(hwnd(), kHostWaitTimer, kHostWaitMs, nullptr);
    return;
  }
  std::wstring caption = appkit::WindowText(hwnd());
  failureShown_ = true;
  ::MessageBoxW(hwnd(), appkit::LoadStr(IDS_CONTROL_NOT_CREATED, app.resources()).c_str(), caption.c_str(),
                MB_OK | MB_ICONSTOP);
  failureShown_ = false;
  EndDialog(IDCANCEL);
}

void ModuleDialog::OnTimer(UINT_PTR id) {
  if (id == kHostWaitTimer && endWhenStarted_) EndUnattendedRun();
  if (id == kAnswerBoxesTimer && hostClosing_) AnswerBoxesForHost();
}

void ModuleDialog::AnswerBoxesForHost() {
  // The control's boxes: the question before its run, the wait for an
  // abort.
  appkit::AnswerThreadBoxes(hwnd());
}

void ModuleDialog::EndUnattendedRun() {
  ::KillTimer(hwnd(), kHostWaitTimer);
  EndDialog(IDCANCEL);
}

void ModuleDialog::OnDone(const std::wstring& text) {
  int value = 0;
  if (ParseResultText(text, &value)) RunnerApp::Get().SetResult(value);
  ::PostMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
}

void ModuleDialog::OnOK() { RunnerApp::Get().ShowHelp(); }

namespace {
BOOL CALLBACK DismissOwnedBox(HWND box, LPARAM owner) {
  if (::GetWindow(box, GW_OWNER) == reinterpret_cast<HWND>(owner)) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  return TRUE;
}
}  // namespace

void ModuleDialog::OnCancel() {
  // Asked to close (DiagClose) while our failure message is up: the message
  // goes too, so that the module still ends and reports.
  if (failureShown_) ::EnumThreadWindows(::GetCurrentThreadId(), &DismissOwnedBox, reinterpret_cast<LPARAM>(hwnd()));
  if (control_ && control_->IsRunning()) control_->Abort();
  EndDialog(IDCANCEL);
}

void ModuleDialog::OnDestroy() {
  RunnerApp::Get().Publish(nullptr);
  control_.reset();  // the control window goes with the dialog
}

bool ModuleDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == kReportControlFailure) {
    ControlFailed();
    return true;
  }
  if (msg == kHostClosingMessage) {
    // The host goes and nobody may be there to answer the control's boxes:
    // those up now, and those its Stop shows while the dialog closes, are
    // answered, so that the module ends and reports.
    if (!hostClosing_) {
      hostClosing_ = true;
      ::SetTimer(hwnd(), kAnswerBoxesTimer, kAnswerBoxesMs, nullptr);
    }
    AnswerBoxesForHost();
    return true;
  }
  if (msg == kHostStartedMessage && endWhenStarted_) {
    EndUnattendedRun();
    return true;
  }
  if (msg == WM_HELP) {
    RunnerApp::Get().ShowHelp();
    return true;
  }
  return false;
}

UnknownModuleDialog::UnknownModuleDialog() : appkit::Dialog(IDD_UNKNOWN_MODULE) {}

BOOL UnknownModuleDialog::OnInit() {
  HINSTANCE exe = RunnerApp::Get().instance();
  icon_ = ::LoadIconW(exe, MAKEINTRESOURCEW(IDI_RUNVEK));
  smallIcon_ = static_cast<HICON>(::LoadImageW(exe, MAKEINTRESOURCEW(IDI_RUNVEK), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  return TRUE;
}

bool UnknownModuleDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_PAINT && ::IsIconic(hwnd())) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, icon_);
    ::EndPaint(hwnd(), &ps);
    return true;
  }
  return false;
}

}  // namespace runvek
