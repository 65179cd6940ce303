// CHalvixApp: Halvix's application object. It owns every setting of the main
// program and the state that the main frame, its views and its dialogs share:
// start-up in its fixed order, the single instance, the resource module, the
// message-box caption, the image lists of the test icons, writing the
// settings back and the reset to the default configuration.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "appkit/app.h"
#include "appkit/frame.h"
#include "appkit/profile.h"
#include "settings.h"
#include "tools_options.h"

class SupportContext;
class ViewContext;

class CHalvixApp : public appkit::App {
 public:
  // `newFrame` makes the main window. The program hands it in, so that the
  // application object needs nothing of its frame but appkit's FrameWindow.
  explicit CHalvixApp(std::function<std::unique_ptr<appkit::FrameWindow>()> newFrame);
  ~CHalvixApp() override;

  // The show command the program was started with.
  void SetShowCommand(int show) { showCommand_ = show; }
  bool InitInstance() override;
  int ExitInstance() override;
  // The main frame (and its module view) see messages first.
  bool PreTranslate(MSG& msg) override;
  // The main frame finishes there what had to wait for the loop's top.
  void OnLoopTop() override;

  // Writes every setting back (the pending layout style for the next start;
  // the layout in effect stays for this run).
  void SaveSettings();
  void ResetDefaultConfiguration();

  // Message boxes with no owner and the message-box caption.
  int ShowAppMessage(UINT stringId, UINT type);
  int ShowAppMessageText(const std::wstring& text, UINT type);
  // Opens a help or web page through Ombrix; `fallback` allows "help.txt".
  void OpenHtmlPage(const std::wstring& path, bool fallback);
  // Help of any context: the suite's help index page.
  void WinHelp(DWORD context = 0);
  void ShowAbout(HWND owner);
  // Rebuilds the fax, web-site and e-mail texts from the settings.
  void FormatSupportTexts();
  // The module that holds a resource: the resource module when it has it,
  // else the program.
  HINSTANCE ResourceFor(LPCWSTR type, UINT id) const;
  // The main window (nullptr before it is made).
  appkit::FrameWindow* mainFrame() const;
  // A text of the string table: the resource module's, else the program's.
  std::wstring Str(UINT id) const;
  // What the views and the support dialogs see of the application.
  ViewContext& viewContext();
  SupportContext& supportContext();

  // Settings (read at start, written by SaveSettings).
  halvix::HalvixSettings settings;

  // Run-time state shared with the frame, views and dialogs.
  const std::wstring& programDir() const { return programDir_; }
  const std::wstring& caption() const { return caption_; }
  UINT drelmakMessage() const { return drelmakMsg_; }
  UINT diagMessage() const { return diagMsg_; }
  UINT quorrelMessage() const { return quorrelMsg_; }
  UINT semaphoreMessage() const { return semaphoreMsg_; }
  bool stressMode() const { return flags_.stress; }
  bool benchMode() const { return flags_.bench; }
  bool corvithPresent() const { return corvithPresent_; }
  const std::wstring& corvithPath() const { return corvithPath_; }
  bool pernathPresent() const { return pernathPresent_; }
  const std::wstring& pernathPath() const { return pernathPath_; }
  bool commonControlsOk() const { return commonControlsOk_; }
  const std::wstring& faxText() const { return faxText_; }
  const std::wstring& webText() const { return webText_; }
  const std::wstring& emailText() const { return emailText_; }
  HIMAGELIST largeImages() const { return largeImages_; }
  HIMAGELIST smallImages() const { return smallImages_; }
  CToolsOptions& toolsOptions() { return toolsOptions_; }

  bool webBrowserAvailable = false;  // set by the main frame
  bool layoutChanged = false;        // set by "Show Control Panel Style"
  int itemGroup = 1;                 // icon list: 0 tests, 1 shortcuts
  bool webBackEnabled = false;
  bool webForwardEnabled = false;

  const appkit::Profile& profile() const { return profile_; }

 private:
  class Contexts;

  bool ClaimSingleInstance();
  void WriteModuleBegin();
  void WriteModulePath();
  void FindCompanionPrograms();
  void LoadResourceModule();
  void ComputeCaption();
  void DeleteLeftoverDosBatch();
  void SwitchOffScreenSaver();
  void BuildImageLists();
  halvix::StartEnvironment Environment() const;

  appkit::Profile profile_;
  int showCommand_ = SW_SHOWNORMAL;
  std::wstring programPath_;
  std::wstring programDir_;
  std::wstring caption_;
  halvix::StartFlags flags_;
  HANDLE semaphore_ = nullptr;
  bool ownsInstance_ = false;
  bool settingsLoaded_ = false;
  bool oleStarted_ = false;
  bool commonControlsOk_ = false;
  bool screenSaverWasActive_ = false;
  UINT drelmakMsg_ = 0, diagMsg_ = 0, quorrelMsg_ = 0, semaphoreMsg_ = 0;
  bool corvithPresent_ = false, pernathPresent_ = false;
  std::wstring corvithPath_, pernathPath_;
  std::wstring faxText_, webText_, emailText_;
  HINSTANCE resourceModule_ = nullptr;
  HIMAGELIST largeImages_ = nullptr, smallImages_ = nullptr;
  CToolsOptions toolsOptions_;
  std::function<std::unique_ptr<appkit::FrameWindow>()> newFrame_;
  std::unique_ptr<appkit::SingleDocTemplate> template_;
  std::unique_ptr<Contexts> contexts_;
};

// The running application object.
CHalvixApp* TheApp();
