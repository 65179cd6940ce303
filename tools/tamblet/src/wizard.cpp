#include "wizard.h"

#include <cderr.h>
#include <commdlg.h>

#include "appkit/msgbox.h"
#include "appkit/paths.h"
#include "appkit/profile.h"
#include "appkit/registry.h"
#include "appkit/resmodule.h"
#include "appkit/text.h"
#include "appkit/wndicon.h"
#include "ombrix/ombrix.h"
#include "print.h"
#include "resource.h"
#include "suite/diag.h"
#include "suite/info.h"

namespace tamblet {

namespace {

constexpr UINT_PTR kInfoTimer = 1001;
constexpr UINT kInfoTimerPeriod = 1000;
constexpr WPARAM kCollectSystemInfoCommand = 32789;

std::wstring Clip(const std::wstring& s, size_t n) { return s.size() > n ? s.substr(0, n) : s; }

}  // namespace

// ---- Application -------------------------------------------------------------

std::wstring CReportWizardApp::Str(UINT id) const { return appkit::LoadStr(id, resources()); }

int CReportWizardApp::Message(HWND owner, const std::wstring& text, UINT type) const {
  return appkit::MessageBoxText(owner, text, caption, type);
}

int CReportWizardApp::MessageId(HWND owner, UINT id, UINT type) const { return Message(owner, Str(id), type); }

void CReportWizardApp::ShowHelp(HWND owner) const {
  std::string page = appkit::Narrow(programDir + L"HELP\\DGPRINT.HTM");
  if (!CallBrowser(page.c_str())) MessageId(owner, IDS_NO_HELP, MB_OK);
}

bool CReportWizardApp::BuildReport(std::wstring* failure) {
  BuildResult r = BuildReportFile(reportPath, dataDir, selection, appkit::Narrow(Str(IDS_TEST_RESULTS)),
                                  appkit::Narrow(Str(IDS_SYSTEM_INFORMATION)));
  if (r == BuildResult::Written) return true;
  failure->assign(appkit::Format(Str(IDS_REPORT_NOT_WRITTEN).c_str(), reportPath.c_str()));
  return false;
}

bool CReportWizardApp::PreTranslate(MSG& msg) {
  if (!diagMessage || msg.message != diagMessage) return false;
  if (msg.wParam == suite::DiagHostWindow && ::IsWindow(reinterpret_cast<HWND>(msg.lParam)))
    host = reinterpret_cast<HWND>(msg.lParam);
  return true;
}

bool CReportWizardApp::InitInstance() {
  wchar_t name[256] = {};
  DWORD size = 256;
  if (::GetComputerNameW(name, &size)) {
    computerName = name;
    title = Clip(computerName, kTitleMax);
  }
  dataDir = DirectoryPart(
      appkit::RegReadString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, suite::kModulePathValue, L""));
  diagMessage = ::RegisterWindowMessageW(suite::kDiagMessage);
  std::wstring self = appkit::ModulePath();
  programDir = appkit::ModuleDir();
  std::wstring base = appkit::FileNamePart(self);
  if (size_t dot = base.rfind(L'.'); dot != std::wstring::npos) base.resize(dot);
  profileKey_ = appkit::Profile::KeyPath(L"Kyt", base, L"Setting");
  leftMargin = ClampLeftMargin(appkit::Profile(HKEY_CURRENT_USER, profileKey_).GetInt(L"LeftPrintMargin", 50));
  resourceModule_ = appkit::LoadResourceModule(appkit::ResourceModulePathFor(self));
  if (resourceModule_) SetResources(resourceModule_);
  caption = Str(IDS_APP_TITLE);
  // Message boxes, the print and file dialogs run Win32's own loops: the
  // host's message must reach PreTranslate there too.
  filter_ = std::make_unique<appkit::ModalThreadMessageFilter>();

  std::wstring arg = CommandLineArgument(::GetCommandLineW());
  if (arg.size() > kReportPathMax) {
    Message(nullptr, appkit::Format(Str(IDS_PATH_TOO_LONG).c_str(), arg.c_str()), MB_OK | MB_ICONEXCLAMATION);
  } else if (!arg.empty()) {
    reportPath = arg;
    CReportPage page(*this, true);
    page.DoModal(nullptr);
  } else {
    RunWizard();
  }
  return false;  // the program ends with the wizard
}

void CReportWizardApp::RunWizard() {
  enum class Step { Tests, Info, Report, End };
  Step step = Step::Tests;
  bool loaded = false;
  const std::wstring defaultReport = programDir + kReportFileName;
  reportPath = defaultReport;
  while (step != Step::End) {
    switch (step) {
      case Step::Tests: {
        CTestResultsPage page(*this);
        INT_PTR r = page.DoModal(nullptr);
        loaded = page.loaded;
        step = r != IDOK ? Step::End : loaded ? Step::Report : Step::Info;
        break;
      }
      case Step::Info: {
        CSystemInfoPage page(*this);
        INT_PTR r = page.DoModal(nullptr);
        step = r == IDOK ? Step::Report : page.back ? Step::Tests : Step::End;
        break;
      }
      case Step::Report: {
        std::wstring failure;
        if (!loaded) {
          reportPath = defaultReport;
          // A report that could not be written is never shown: the file at
          // the path may be an older one.
          if (!BuildReport(&failure)) Message(nullptr, failure, MB_OK | MB_ICONEXCLAMATION);
        }
        CReportPage page(*this, false, failure);
        page.DoModal(nullptr);
        step = !page.back ? Step::End : loaded ? Step::Tests : Step::Info;
        break;
      }
      case Step::End:
        break;
    }
  }
}

int CReportWizardApp::ExitInstance() {
  filter_.reset();
  if (resourceModule_) {
    SetResources(nullptr);
    appkit::FreeResourceModule(resourceModule_);
    resourceModule_ = nullptr;
  }
  appkit::Profile(HKEY_CURRENT_USER, profileKey_).WriteInt(L"LeftPrintMargin", leftMargin);
  return 0;
}

// ---- Pages -------------------------------------------------------------------

BOOL WizardPage::OnInit() {
  icon_ = appkit::SetWindowIcons(hwnd(), app_.resources(), IDI_TAMBLET);
  ::SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(hwnd());
  ::SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return TRUE;
}

bool WizardPage::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_HELP_BUTTON) {
    app_.ShowHelp(hwnd());
    return true;
  }
  return appkit::Dialog::OnCommand(id, code, ctl);
}

// Test results.

BOOL CTestResultsPage::OnInit() {
  WizardPage::OnInit();
  for (int i = 0; i < kTestSourceCount; ++i) {
    bool exists = appkit::FileExists(app_.dataDir + kTestSources[i].file);
    EnableItem(IDC_FIRST_SOURCE + i, exists);
    Check(IDC_FIRST_SOURCE + i, exists && app_.selection.tests[i]);
  }
  return TRUE;
}

// Minimised, the page shows its icon and gives it as its drag icon.
bool CTestResultsPage::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT* result) {
  return appkit::HandleMinimisedIcon(hwnd(), icon_, msg, result);
}

void CTestResultsPage::StoreChecks() {
  for (int i = 0; i < kTestSourceCount; ++i)
    app_.selection.tests[i] = ::IsWindowEnabled(Item(IDC_FIRST_SOURCE + i)) && IsChecked(IDC_FIRST_SOURCE + i);
}

void CTestResultsPage::OnOK() {
  StoreChecks();
  EndDialog(IDOK);
}

void CTestResultsPage::Load() {
  std::wstring filter = app_.Str(IDS_TEXT_FILTER);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  filter.push_back(L'\0');
  wchar_t file[kReportPathMax + 1] = {};
  std::wstring name = Clip(NamePart(app_.reportPath), kReportPathMax);
  name.copy(file, name.size());
  std::wstring dir = DirectoryPart(app_.reportPath);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = hwnd();
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = kReportPathMax + 1;
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&ofn)) {
    if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
      app_.Message(hwnd(), appkit::Format(app_.Str(IDS_PATH_TOO_LONG).c_str(), L""), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  app_.reportPath = file;
  loaded = true;
  OnOK();
}

bool CTestResultsPage::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_SELECT_ALL_TESTS:
      for (int i = 0; i < kTestSourceCount; ++i) {
        if (!::IsWindowEnabled(Item(IDC_FIRST_SOURCE + i))) continue;
        Check(IDC_FIRST_SOURCE + i, true);
        app_.selection.tests[i] = true;
      }
      return true;
    case IDC_LOAD:
      Load();
      return true;
    case IDC_BACK:
      return true;
    default:
      return WizardPage::OnCommand(id, code, ctl);
  }
}

// System information.

BOOL CSystemInfoPage::OnInit() {
  WizardPage::OnInit();
  back = false;
  UpdateInfoChecks(true);
  ::SetTimer(hwnd(), kInfoTimer, kInfoTimerPeriod, nullptr);
  return TRUE;
}

void CSystemInfoPage::UpdateInfoChecks(bool restore) {
  for (int i = 0; i < kInfoSourceCount; ++i) {
    int id = IDC_FIRST_SOURCE + i;
    bool exists = appkit::FileExists(app_.dataDir + kInfoSources[i].file);
    EnableItem(id, exists);
    if (!exists) Check(id, false);
    else if (restore && app_.selection.info[i]) Check(id, true);
  }
}

bool CSystemInfoPage::StoreChecks() {
  bool any = false;
  for (int i = 0; i < kInfoSourceCount; ++i) {
    int id = IDC_FIRST_SOURCE + i;
    app_.selection.info[i] = ::IsWindowEnabled(Item(id)) && IsChecked(id);
    any = any || app_.selection.info[i];
  }
  return any;
}

void CSystemInfoPage::OnTimer(UINT_PTR id) {
  if (id == kInfoTimer) UpdateInfoChecks(false);
}

void CSystemInfoPage::OnCollectAll() {
  if (app_.diagMessage && app_.host) ::PostMessageW(app_.host, WM_COMMAND, kCollectSystemInfoCommand, 0);
}

void CSystemInfoPage::OnOK() {
  ::KillTimer(hwnd(), kInfoTimer);
  bool anyTest = app_.selection.AnyTest();
  bool anyInfo = StoreChecks();
  if (!anyTest && !anyInfo) {
    // The page stays, its refresh stopped: boxes become selectable again
    // when the page is shown anew.
    app_.MessageId(hwnd(), IDS_NOTHING_SELECTED, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  EndDialog(IDOK);
}

void CSystemInfoPage::OnCancel() {
  ::KillTimer(hwnd(), kInfoTimer);
  EndDialog(IDCANCEL);
}

bool CSystemInfoPage::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_SELECT_ALL_INFO:
      for (int i = 0; i < kInfoSourceCount; ++i) {
        if (!::IsWindowEnabled(Item(IDC_FIRST_SOURCE + i))) continue;
        Check(IDC_FIRST_SOURCE + i, true);
        app_.selection.info[i] = true;
      }
      return true;
    case IDC_COLLECT_ALL:
      OnCollectAll();
      return true;
    case IDC_BACK:
      ::KillTimer(hwnd(), kInfoTimer);
      StoreChecks();
      back = true;
      EndDialog(IDCANCEL);
      return true;
    default:
      return WizardPage::OnCommand(id, code, ctl);
  }
}

// The report.

BOOL CReportPage::OnInit() {
  WizardPage::OnInit();
  SetItemText(IDC_REPORT_MESSAGE, failure_.empty()
                                      ? appkit::Format(app_.Str(IDS_REPORT_SAVED).c_str(), kReportFileName)
                                      : failure_);
  EnableItem(IDC_BACK, !fileGiven_);
  back = false;
  SendItem(IDC_TITLE, EM_LIMITTEXT, 80);
  SetItemText(IDC_TITLE, app_.title);
  list_.Attach(hwnd(), IDC_REPORT_LIST);
  list_.SetTabStops(kPrintTabCount, kReportTabs);
  ::PostMessageW(hwnd(), WM_COMMAND, IDC_LOAD_REPORT, 0);
  return TRUE;
}

bool CReportPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (ctlfw::ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

void CReportPage::KeepTitle() { app_.title = Clip(ItemText(IDC_TITLE), CReportWizardApp::kTitleMax); }

void CReportPage::LoadReport() {
  list_.Send(LB_RESETCONTENT);
  // A report that could not be built leaves the list empty: whatever lies
  // at the path is not this run's report.
  if (!failure_.empty()) return;
  std::vector<std::string> items;
  if (!ReadReportItems(app_.reportPath, &items)) return;
  list_.Send(WM_SETREDRAW, FALSE);
  for (const std::string& item : items)
    list_.Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(appkit::Widen(item).c_str()));
  list_.Send(WM_SETREDRAW, TRUE);
  ::InvalidateRect(list_.hwnd(), nullptr, TRUE);
}

int CReportPage::PrintReport() {
  KeepTitle();
  std::vector<std::wstring> lines = list_.Lines();
  PRINTDLGW pd{};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = hwnd();
  pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIES | PD_HIDEPRINTTOFILE | PD_RETURNDC;
  if (!::PrintDlgW(&pd)) return 0;
  bool landscape = false;
  if (pd.hDevMode) {
    if (auto* dm = static_cast<DEVMODEW*>(::GlobalLock(pd.hDevMode))) {
      landscape = (dm->dmFields & DM_ORIENTATION) && dm->dmOrientation == DMORIENT_LANDSCAPE;
      ::GlobalUnlock(pd.hDevMode);
    }
    ::GlobalFree(pd.hDevMode);
  }
  if (pd.hDevNames) ::GlobalFree(pd.hDevNames);
  if (!pd.hDC) return 0;
  HCURSOR oldCursor = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  DOCINFOW doc{};
  doc.cbSize = sizeof(doc);
  doc.lpszDocName = app_.title.c_str();
  if (::StartDocW(pd.hDC, &doc) <= 0) {
    ::SetCursor(oldCursor);
    ::DeleteDC(pd.hDC);
    return 0;
  }
  PrintLayout layout;
  layout.title = app_.title;
  layout.date = HeaderDate();
  layout.headerFormat = app_.Str(IDS_PAGE_HEADER);
  layout.leftMargin = app_.leftMargin;
  layout.landscape = landscape;
  PrintOutcome outcome;
  {
    DcPrintTarget target(pd.hDC);
    outcome = PrintPages(target, lines, layout);
  }
  if (outcome.failed) ::AbortDoc(pd.hDC);
  else ::EndDoc(pd.hDC);
  ::DeleteDC(pd.hDC);
  ::SetCursor(oldCursor);
  if (outcome.droppedLines)
    app_.Message(hwnd(), appkit::Format(app_.Str(IDS_PAGES_LEFT_OUT).c_str(), (int)outcome.droppedLines),
                 MB_OK | MB_ICONINFORMATION);
  return 1;
}

bool CReportPage::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_LOAD_REPORT:
      LoadReport();
      return true;
    case IDC_BACK:
      KeepTitle();
      back = true;
      EndDialog(IDCANCEL);
      return true;
    default:
      return WizardPage::OnCommand(id, code, ctl);
  }
}

}  // namespace tamblet
