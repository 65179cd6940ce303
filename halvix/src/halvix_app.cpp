#include "halvix_app.h"

#include <ole2.h>

#include <vector>

#include "appkit/msgbox.h"
#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/resmodule.h"
#include "appkit/shellopen.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "halvix_doc.h"
#include "tech_support.h"
#include "views.h"
#include "ombrix/ombrix.h"
#include "resource.h"
#include "startup_files.h"
#include "suite/controls.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "title_dlg.h"

namespace {

// Settings read through the program's registry profile.
class ProfileSource : public halvix::SettingSource {
 public:
  explicit ProfileSource(const appkit::Profile& p) : p_(p) {}
  int Int(const wchar_t* name, int def) const override { return p_.GetInt(name, def); }
  std::wstring Str(const wchar_t* name, const std::wstring& def) const override { return p_.GetString(name, def); }

 private:
  const appkit::Profile& p_;
};

// A string-table text with its one "%s" replaced.
std::wstring FormatWith(const std::wstring& fmt, const std::wstring& arg) {
  size_t at = fmt.find(L"%s");
  if (at == std::wstring::npos) return fmt;
  return fmt.substr(0, at) + arg + fmt.substr(at + 2);
}

// Bytes at the start of a file (enough for a title line); false when it
// cannot be opened.
bool ReadFileStart(const std::wstring& path, std::string* out) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buf[4096];
  DWORD got = 0;
  BOOL ok = ::ReadFile(h, buf, sizeof(buf), &got, nullptr);
  ::CloseHandle(h);
  out->assign(buf, ok ? got : 0);
  return true;
}

const wchar_t* const kModuleWords[] = {L"CDROM",  L"FENWOLD", L"GRAPHICS", L"STREVAN", L"MEDIA",
                                       L"ZENTREL", L"MODEM",  L"GARLUNE",  L"QUORREL"};

// The settings of the suite's tools, which a reset clears with the controls'.
const wchar_t* const kToolSettingKeys[] = {L"Software\\Kyt\\Koprel\\Setting", L"Software\\Kyt\\Lanvet\\Setting",
                                           L"Software\\Kyt\\Brisko\\Setting", L"Software\\Kyt\\Tamblet\\Setting"};

// Deletes a program's settings key and then the program's key when nothing
// else is left in it.
void DeleteSettingsKey(const std::wstring& settingsKey) {
  appkit::RegDeleteTree(HKEY_CURRENT_USER, settingsKey);
  size_t slash = settingsKey.rfind(L'\\');
  if (slash != std::wstring::npos) ::RegDeleteKeyW(HKEY_CURRENT_USER, settingsKey.substr(0, slash).c_str());
}

}  // namespace

// The application as its views and support dialogs see it.
class CHalvixApp::Contexts : public ViewContext, public SupportContext {
 public:
  explicit Contexts(CHalvixApp& app) : app_(app) {}

  halvix::HalvixSettings& settings() override { return app_.settings; }
  const appkit::Profile& profile() const override { return app_.profile(); }
  HIMAGELIST largeImages() const override { return app_.largeImages(); }
  HIMAGELIST smallImages() const override { return app_.smallImages(); }
  unsigned toolsOptionBits() const override { return app_.toolsOptions_.Bits(); }
  bool commonControlsOk() const override { return app_.commonControlsOk(); }
  bool corvithPresent() const override { return app_.corvithPresent(); }
  bool pernathPresent() const override { return app_.pernathPresent(); }
  int itemGroup() const override { return app_.itemGroup; }
  bool layoutChanged() const override { return app_.layoutChanged; }
  std::wstring Str(UINT id) const override { return app_.Str(id); }
  int ShowAppMessageText(const std::wstring& text, UINT type) override { return app_.ShowAppMessageText(text, type); }

  const std::wstring& programDir() const override { return app_.programDir(); }
  const std::wstring& webText() const override { return app_.webText(); }
  const std::wstring& emailText() const override { return app_.emailText(); }
  void FormatSupportTexts() override { app_.FormatSupportTexts(); }
  void OpenHtmlPage(const std::wstring& path, bool fallback) override { app_.OpenHtmlPage(path, fallback); }

 private:
  CHalvixApp& app_;
};

CHalvixApp* TheApp() { return static_cast<CHalvixApp*>(appkit::App::Current()); }

CHalvixApp::CHalvixApp(std::function<std::unique_ptr<appkit::FrameWindow>()> newFrame)
    : profile_(HKEY_CURRENT_USER,
               appkit::Profile::KeyPath(halvix::kCompanyKey, halvix::kProfileName, halvix::kSettingSection)),
      newFrame_(std::move(newFrame)),
      contexts_(std::make_unique<Contexts>(*this)) {}

CHalvixApp::~CHalvixApp() = default;

halvix::StartEnvironment CHalvixApp::Environment() const {
  halvix::StartEnvironment env;
  env.programDir = programDir_;
  env.windowsDir = appkit::WindowsDir();
  env.commonControlsOk = commonControlsOk_;
  env.terminalProgram = appkit::ClassOpenProgram(L"htfile");
  env.browserProgram = appkit::ClassOpenProgram(L"htmlfile");
  env.bbsTitleDefault = appkit::LoadStr(IDS_BBS_TITLE, resources());
  return env;
}

bool CHalvixApp::InitInstance() {
  // OLE (the control container comes with the hosted controls).
  oleStarted_ = SUCCEEDED(::OleInitialize(nullptr));

  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_PAGESCROLLER_CLASS};
  commonControlsOk_ = ::InitCommonControlsEx(&icc) != FALSE;

  // One instance. This comes before anything is written, so that a refused
  // second start leaves the running instance's settings alone.
  if (!ClaimSingleInstance()) return false;
  WriteModuleBegin();
  WriteModulePath();

  flags_ = halvix::ScanStartFlags(halvix::ArgumentsOf(::GetCommandLineW()));
  FindCompanionPrograms();
  LoadResourceModule();

  ProfileSource src(profile_);
  halvix::StartEnvironment env = Environment();
  halvix::ReadLayoutSettings(src, env, &settings);
  settingsLoaded_ = true;
  ComputeCaption();

  // One document shown by the main frame, the icon list its view.
  template_ = std::make_unique<appkit::SingleDocTemplate>(
      IDR_MAINFRAME, [] { return std::make_unique<CHalvixDoc>(); }, newFrame_,
      [this] { return std::make_unique<CHalvixView>(viewContext()); });

  halvix::ReadRunSettings(src, env, &settings);
  drelmakMsg_ = ::RegisterWindowMessageW(suite::kDrelmakMessage);
  diagMsg_ = ::RegisterWindowMessageW(suite::kDiagMessage);
  quorrelMsg_ = ::RegisterWindowMessageW(suite::kQuorrelMessage);

  ::SetCurrentDirectoryW(programDir_.c_str());
  wchar_t shortDir[MAX_PATH];
  DWORD n = ::GetShortPathNameW(programDir_.c_str(), shortDir, MAX_PATH);
  if (n > 0 && n < 256) programDir_.assign(shortDir, n);

  DeleteLeftoverDosBatch();
  halvix::InstallControlPanelApplet(appkit::SystemDir(), programDir_);
  SwitchOffScreenSaver();

  env.programDir = programDir_;
  halvix::ReadSupportSettings(src, env, &settings);
  FormatSupportTexts();

  {
    CTitleDlg title(ResourceFor(RT_DIALOG, IDD_TITLE), programDir_);
    title.DoModal(nullptr);
  }
  toolsOptions_.Load(profile_);
  BuildImageLists();

  appkit::FrameWindow* frame =
      template_->OpenNewDocument(ResourceFor(RT_MENU, IDR_MAINFRAME), caption_.c_str(),
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, showCommand_);
  if (!frame) return false;
  ::SetWindowTextW(frame->hwnd(), caption_.c_str());
  ::SetWindowPos(frame->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SetForegroundWindow(frame->hwnd());
  return true;
}

bool CHalvixApp::ClaimSingleInstance() {
  semaphoreMsg_ = ::RegisterWindowMessageW(suite::kDiagSemaphoreMessage);
  semaphore_ = ::CreateSemaphoreW(nullptr, 0, 1, halvix::kInstanceSemaphore);
  if (semaphore_ && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    if (semaphoreMsg_) ::PostMessageW(HWND_BROADCAST, semaphoreMsg_, 0, 0);
    ::CloseHandle(semaphore_);
    semaphore_ = nullptr;
    ::MessageBeep(0);
    return false;
  }
  // A semaphore that could not be made at all does not stop the program.
  ownsInstance_ = true;
  return true;
}

void CHalvixApp::WriteModuleBegin() {
  // Only into an existing key: a first start leaves it to the settings.
  appkit::RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey, KEY_WRITE)) return;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  key.SetBinary(L"ModuleBegin", &now, sizeof(now));
}

void CHalvixApp::WriteModulePath() {
  // The suite has no installer: the program publishes its own folder (with
  // its last backslash) at every start, where the report wizard, the help
  // library and the stress and benchmark lists look for the suite.
  appkit::RegWriteString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, suite::kModulePathValue, appkit::ModuleDir());
}

void CHalvixApp::FindCompanionPrograms() {
  corvithPath_ =
      appkit::RegReadString(HKEY_CURRENT_USER, L"Software\\Qev\\Drelmak\\Setting", suite::kModulePathValue, L"");
  corvithPresent_ = !corvithPath_.empty() && appkit::FileExists(corvithPath_);
  pernathPath_ =
      appkit::RegReadString(HKEY_CURRENT_USER, L"Software\\Qev\\Tavrosk\\Setting", suite::kModulePathValue, L"");
  pernathPresent_ = !pernathPath_.empty() && appkit::FileExists(pernathPath_);
}

void CHalvixApp::LoadResourceModule() {
  programPath_ = appkit::ModulePath();
  programDir_ = appkit::ModuleDir();
  resourceModule_ = appkit::LoadResourceModule(appkit::ResourceModulePathFor(programPath_));
  if (resourceModule_) SetResources(resourceModule_);
}

void CHalvixApp::ComputeCaption() {
  std::string bytes;
  bool read = ReadFileStart(programDir_ + L"TESTDATA\\TITLE.TXT", &bytes);
  std::wstring line = read ? appkit::Widen(halvix::FirstLine(bytes)) : std::wstring();
  caption_ = halvix::MessageBoxCaption(read, line, appkit::LoadStr(IDS_TITLE_SUFFIX, resources()),
                                       appkit::LoadStr(IDS_PRODUCT, resources()));
  profile_.WriteString(L"MessageBoxTitle", caption_);
}

void CHalvixApp::DeleteLeftoverDosBatch() {
  std::wstring windows = appkit::WindowsDir();
  if (!windows.empty()) {
    std::wstring rootBatch = std::wstring(1, windows[0]) + L":\\K_Y_T_D7.BAT";
    if (appkit::FileExists(rootBatch)) ::DeleteFileW(rootBatch.c_str());
  }
  std::wstring localBatch = programDir_ + L"K_Y_T_D7.BAT";
  if (appkit::FileExists(localBatch)) ::DeleteFileW(localBatch.c_str());
}

void CHalvixApp::SwitchOffScreenSaver() {
  BOOL active = FALSE;
  if (!::SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) active = FALSE;
  screenSaverWasActive_ = active != FALSE;
  if (screenSaverWasActive_) ::SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE);
}

void CHalvixApp::FormatSupportTexts() {
  faxText_ = FormatWith(appkit::LoadStr(IDS_FAX_TEXT, resources()), settings.faxNum);
  webText_ = FormatWith(appkit::LoadStr(IDS_WEB_TEXT, resources()), settings.webLink);
  emailText_ = FormatWith(appkit::LoadStr(IDS_EMAIL_TEXT, resources()), settings.email);
}

void CHalvixApp::BuildImageLists() {
  largeImages_ = ::ImageList_Create(32, 32, ILC_MASK | ILC_COLOR32, 16, 30);
  smallImages_ = ::ImageList_Create(16, 16, ILC_MASK | ILC_COLOR32, 16, 30);
  if (!largeImages_ || !smallImages_) return;
  ::ImageList_SetBkColor(largeImages_, ::GetSysColor(COLOR_WINDOW));
  ::ImageList_SetBkColor(smallImages_, ::GetSysColor(COLOR_WINDOW));
  const bool nt = !appkit::IsWindows9x();
  for (int id : halvix::TestIconIds(corvithPresent_, pernathPresent_, nt)) {
    // An icon the resource module lacks comes from the program, so that the
    // positions the views rely on stay the same.
    for (auto [list, size] : {std::pair{largeImages_, 32}, std::pair{smallImages_, 16}}) {
      HICON icon = static_cast<HICON>(::LoadImageW(resources(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
      if (!icon) icon = static_cast<HICON>(::LoadImageW(instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
      ::ImageList_AddIcon(list, icon);
      if (icon) ::DestroyIcon(icon);
    }
  }
}

void CHalvixApp::SaveSettings() {
  // The rectangle goes under the names of the layout in effect, and the
  // pending layout is stored for the next start: the running window keeps
  // its layout (a reset saves the settings while the program runs on).
  std::vector<halvix::SettingValue> values = halvix::SettingsToSave(settings);
  for (const halvix::SettingValue& v : values) {
    if (v.isString) profile_.WriteString(v.name, v.text);
    else profile_.WriteInt(v.name, v.number);
  }
}

void CHalvixApp::ResetDefaultConfiguration() {
  for (const wchar_t* word : kModuleWords) {
    std::wstring key = std::wstring(L"Software\\Qev\\") + word;
    appkit::RegKey k;
    if (!k.Open(HKEY_CURRENT_USER, key)) continue;
    k.Close();
    ::RegDeleteKeyW(HKEY_CURRENT_USER, (key + L"\\setting").c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  }
  // Every program of the suite starts again from its defaults: the test
  // controls (the viewer control included) and the tools.
  for (const suite::ControlIdentity& control : suite::kControls)
    if (control.settingsKey) DeleteSettingsKey(control.settingsKey);
  for (const wchar_t* key : kToolSettingKeys) DeleteSettingsKey(key);
  std::wstring defaults = programDir_ + L"Modules.bdt";
  // Whole or not at all: a copy cut short (the disk full) would leave no
  // list the stress test can open.
  if (appkit::FileExists(defaults)) appkit::CopyFileWhole(defaults, programDir_ + L"Modules.dat");

  ProfileSource src(profile_);
  halvix::ResetSettings(src, Environment(), &settings);
  profile_.WriteInt(L"AutoRefresh", settings.autoRefresh);
  profile_.WriteInt(L"Options", halvix::kResetOptions);
  SaveSettings();
}

int CHalvixApp::ShowAppMessage(UINT stringId, UINT type) {
  return appkit::MessageBoxId(nullptr, stringId, resources(), caption_, type);
}

int CHalvixApp::ShowAppMessageText(const std::wstring& text, UINT type) {
  return appkit::MessageBoxText(nullptr, text, caption_, type);
}

void CHalvixApp::OpenHtmlPage(const std::wstring& path, bool fallback) {
  std::string page = appkit::Narrow(path);
  int started = fallback ? CallBrowser(page.c_str()) : CallBrowser2(page.c_str());
  if (!started)
    ShowAppMessageText(appkit::LoadStr(fallback ? IDS_NO_BROWSER_OR_HELP : IDS_NO_BROWSER, resources()), MB_OK);
}

void CHalvixApp::WinHelp(DWORD) { OpenHtmlPage(programDir_ + L"HELP\\DGHELP.HTM", true); }

void CHalvixApp::ShowAbout(HWND owner) {
  CAboutBoxDlg about(ResourceFor(RT_DIALOG, IDD_ABOUTBOX));
  about.DoModal(owner);
}

HINSTANCE CHalvixApp::ResourceFor(LPCWSTR type, UINT id) const {
  if (resourceModule_ && ::FindResourceW(resourceModule_, MAKEINTRESOURCEW(id), type)) return resourceModule_;
  return instance();
}

appkit::FrameWindow* CHalvixApp::mainFrame() const { return template_ ? template_->frame() : nullptr; }

std::wstring CHalvixApp::Str(UINT id) const {
  std::wstring s = appkit::LoadStr(id, resources());
  if (s.empty() && resources() != instance()) s = appkit::LoadStr(id, instance());
  return s;
}

ViewContext& CHalvixApp::viewContext() { return *contexts_; }

SupportContext& CHalvixApp::supportContext() { return *contexts_; }

bool CHalvixApp::PreTranslate(MSG& msg) {
  appkit::FrameWindow* frame = mainFrame();
  return frame && frame->hwnd() && frame->PreTranslate(msg);
}

void CHalvixApp::OnLoopTop() {
  appkit::FrameWindow* frame = mainFrame();
  if (frame && frame->hwnd()) frame->OnLoopTop();
}

int CHalvixApp::ExitInstance() {
  // Only the instance that read the settings writes them back.
  if (ownsInstance_ && settingsLoaded_) SaveSettings();
  if (semaphore_) ::CloseHandle(semaphore_);
  semaphore_ = nullptr;
  if (screenSaverWasActive_) ::SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);
  template_.reset();
  if (largeImages_) ::ImageList_Destroy(largeImages_);
  if (smallImages_) ::ImageList_Destroy(smallImages_);
  largeImages_ = smallImages_ = nullptr;
  SetResources(nullptr);
  appkit::FreeResourceModule(resourceModule_);
  resourceModule_ = nullptr;
  if (oleStarted_) ::OleUninitialize();
  return appkit::App::ExitInstance();
}
