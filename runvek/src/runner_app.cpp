#include "runner_app.h"

#include <commctrl.h>
#include <ole2.h>

#include <memory>

#include "appkit/msgfilter.h"
#include "appkit/paths.h"
#include "appkit/resmodule.h"
#include "appkit/text.h"
#include "module_dialog.h"
#include "suite/diag.h"

namespace runvek {

RunnerApp::RunnerApp(const std::wstring& arguments) : arguments_(appkit::Narrow(arguments)) {}

bool RunnerApp::InitInstance() {
  ::OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);

  std::wstring path = appkit::ModulePath();
  programDir_ = appkit::ModuleDir();
  module_ = &ModuleFromFileName(appkit::FileNamePart(path));

  resourceDll_ = appkit::LoadResourceModule(programDir_ + L"Runvek.dll");
  if (resourceDll_) SetResources(resourceDll_);

  diagMessage_ = ::RegisterWindowMessageW(suite::kDiagMessage);
  switches_ = ParseRunnerSwitches(appkit::Widen(arguments_));

  // Message boxes (ours and the control's) run Win32's modal loop, which
  // would drop the host's protocol messages.
  appkit::ModalThreadMessageFilter filter;
  std::unique_ptr<appkit::Dialog> dialog;
  if (module_->number == kModuleUnknown) dialog = std::make_unique<UnknownModuleDialog>();
  else dialog = std::make_unique<ModuleDialog>(*module_, switches_);
  mainDialog_ = dialog.get();
  dialog->DoModal(nullptr);
  mainDialog_ = nullptr;
  // Protocol messages that came with the dialog's end still count.
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, diagMessage_, diagMessage_, PM_REMOVE)) PreTranslate(msg);
  return false;
}

int RunnerApp::ExitInstance() {
  if (diagMessage_ && replyWindow_ && cookie_)
    ::PostMessageW(replyWindow_, diagMessage_, static_cast<WPARAM>(result_), cookie_);
  if (resourceDll_) {
    SetResources(nullptr);
    appkit::FreeResourceModule(resourceDll_);
    resourceDll_ = nullptr;
  }
  ::OleUninitialize();
  return result_;
}

bool RunnerApp::PreTranslate(MSG& msg) {
  if (!diagMessage_ || msg.message != diagMessage_) return false;
  switch (msg.wParam) {
    case suite::DiagHostWindow:
      replyWindow_ = reinterpret_cast<HWND>(msg.lParam);
      break;
    case suite::DiagStart:
      cookie_ = msg.lParam;
      if (switches_.autoRun && control_) control_->DoTest("");
      if (mainDialog_ && mainDialog_->hwnd()) ::PostMessageW(mainDialog_->hwnd(), kHostStartedMessage, 0, 0);
      break;
    case suite::DiagClose:
      if (mainDialog_ && mainDialog_->hwnd()) {
        ::PostMessageW(mainDialog_->hwnd(), kHostClosingMessage, 0, 0);
        ::PostMessageW(mainDialog_->hwnd(), WM_COMMAND, IDCANCEL, 0);
      }
      break;
    default:  // DiagActivate and anything else: taken and dropped
      break;
  }
  return true;
}

void RunnerApp::ShowHelp() const {
  // The utility library opens the page in the help viewer or the browser;
  // its answer is not checked.
  std::wstring page = programDir_ + L"HELP\\" + HelpPageOf(module_->number, switches_) + L".HTM";
  HMODULE ombrix = ::LoadLibraryW((programDir_ + L"Ombrix.dll").c_str());
  if (!ombrix) return;
  using CallBrowserFn = int(WINAPI*)(const char*);
  auto call = reinterpret_cast<CallBrowserFn>(reinterpret_cast<void*>(::GetProcAddress(ombrix, MAKEINTRESOURCEA(1))));
  if (call) {
    call(appkit::Narrow(page).c_str());
  }
  ::FreeLibrary(ombrix);
}

}  // namespace runvek

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The control gets the arguments, never the program's own path.
  runvek::RunnerApp app(runvek::ArgumentsOf(::GetCommandLineW()));
  return app.Run();
}
