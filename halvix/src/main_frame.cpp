#include "main_frame.h"

#include <climits>
#include <commctrl.h>
#include <ole2.h>

#include <fstream>

#include "appkit/app.h"
#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "collect_dlg.h"
#include "halvix_app.h"
#include "options_dlgs.h"
#include "options_res.h"
#include "resource.h"
#include "stress/commands.h"
#include "suite/diag.h"
#include "suite/info.h"
#include "tech_support.h"
#include "views.h"
#include "views_res.h"

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kWebBrowserClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// {EAB22AC1-30C1-11CF-A7EB-0000C05BAE0B}
const IID kWebBrowserIid = {0xEAB22AC1, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};

const wchar_t kRunOnceKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kRunOnceValue[] = L"Halvix";

// The toolbar buttons that get captions, in button order.
const UINT kToolBarCaptions[] = {IDS_TOOLBAR_BACK, IDS_TOOLBAR_FORWARD, IDS_TOOLBAR_HOME, IDS_TOOLBAR_PRINT};

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
  s.maxDhrystone = app.settings.maxDhrystone;
  s.maxWhetstone = app.settings.maxWhetstone;
  s.maxMemRead = app.settings.maxMemRead;
  s.maxMemWrite = app.settings.maxMemWrite;
  s.maxHarddiskTransferRate = app.settings.maxHarddiskTransferRate;
  s.maxHarddiskRead = app.settings.maxHarddiskRead;
  s.maxCDROMTransferRate = app.settings.maxCDROMTransferRate;
  s.maxVideoSpeed = app.settings.maxVideoSpeed;
  s.maxIndex = app.settings.maxIndex;
  CHalvixApp* owner = const_cast<CHalvixApp*>(&app);
  s.openHelp = [owner](const std::wstring& page) { owner->OpenHtmlPage(page, true); };
  s.storeRefFile = [owner](const std::wstring& path) { owner->settings.bnhRefFileName = path; };
  return s;
}

std::wstring ReplaceFirst(std::wstring text, const std::wstring& what, const std::wstring& with) {
  size_t at = text.find(what);
  if (at != std::wstring::npos) text.replace(at, what.size(), with);
  return text;
}

void SetChildId(HWND hwnd, UINT id) {
  if (hwnd) ::SetWindowLongPtrW(hwnd, GWLP_ID, static_cast<LONG_PTR>(id));
}

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + (w > 0 ? w : 0), y + (h > 0 ? h : 0)}; }

// While a close waits for the loop's top, a test that runs is asked to stop
// and the boxes that hold the loop up are answered at this pace.
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kCloseTimerMs = 100;

// Posted when the frame is activated under a box or dialog of its own.
constexpr UINT kBringPopupForward = WM_APP + 1;

// The front-most shown window of this thread that takes input and is owned,
// directly or not, by `frame`; nullptr when there is none.
HWND PopupOver(HWND frame) {
  for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    if (w == frame || !::IsWindowVisible(w) || !::IsWindowEnabled(w) ||
        ::GetWindowThreadProcessId(w, nullptr) != ::GetCurrentThreadId())
      continue;
    for (HWND o = ::GetWindow(w, GW_OWNER); o; o = ::GetWindow(o, GW_OWNER))
      if (o == frame) return w;
  }
  return nullptr;
}

}  // namespace

CMainFrame::CMainFrame() {
  const halvix::HalvixSettings& s = TheApp()->settings;
  s4_.keptWidth = s.splitterControlPanelDx;
  s3_.keptWidth = s.splitterTreeViewDx;
  if (s.ControlPanelLayout()) {
    s4_.rightMargin = 30;
  } else {
    s3_.rightMargin = 460;
    s4_.topMargin = 20;
  }
  splitterBarHalvix_ = s.splitterBarHalvix;
  splitterBarOthers_ = s.splitterBarOthers;
  upperHeight_ = s.splitterControlPanelDy;
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::ControlPanel() const { return TheApp()->settings.ControlPanelLayout(); }

std::wstring CMainFrame::Str(UINT id) const { return TheApp()->Str(id); }

int CMainFrame::FrameMessage(const std::wstring& text, UINT type) {
  return ::MessageBoxW(hwnd(), text.c_str(), TheApp()->caption().c_str(), type);
}

HWND CMainFrame::InfoServerWindow() const { return ::FindWindowW(nullptr, suite::kInfoServerTitle); }

// ---- creation

int CMainFrame::OnCreate() {
  CHalvixApp* app = TheApp();
  if (!toolBar_.Create(hwnd(), WS_CHILD | TBSTYLE_TOOLTIPS, appkit::kToolBarId)) return -1;
  HINSTANCE bar = app->ResourceFor(MAKEINTRESOURCEW(241), IDR_MAINFRAME);
  if (!toolBar_.LoadToolBar(bar, IDR_MAINFRAME)) return -1;
  if (!statusBar_.Create(hwnd(), WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, appkit::kStatusBarId)) return -1;
  SetToolBar(&toolBar_);
  SetStatusBar(&statusBar_);
  statusBar_.SetText(Str(IDS_IDLE_MESSAGE));

  for (int i = 0; i < 4; ++i) toolBar_.SetButtonText(i, Str(kToolBarCaptions[i]));
  toolBar_.AutoSize();
  RECT b{};
  SIZE button{45, 45};
  if (toolBar_.ButtonRect(0, &b) && b.right > 0 && b.bottom > 0) button = SIZE{b.right, b.bottom};
  toolBar_.SetSizes(button, SIZE{20, 20});

  launcher_ = std::make_unique<halvix::ModuleLauncher>(hwnd(), app->diagMessage(), app->programDir(), app->caption(),
                                                       app->resources());

  // The information server lives in this process while the frame does.
  quorrel_ = std::make_unique<CQuorrel>();
  if (!quorrel_->Create(L"", WS_CHILD, RECT{0, 0, 0, 0}, hwnd(), halvix::kQuorrelControlId)) quorrel_.reset();
  return 0;
}

bool CMainFrame::CheckWebBrowser() {
  IClassFactory* factory = nullptr;
  if (FAILED(::CoGetClassObject(kWebBrowserClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory))))
    return false;
  IUnknown* object = nullptr;
  bool ok = SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
  factory->Release();
  if (!ok) return false;
  IUnknown* browser = nullptr;
  ok = SUCCEEDED(object->QueryInterface(kWebBrowserIid, reinterpret_cast<void**>(&browser)));
  if (browser) browser->Release();
  object->Release();
  return ok;
}

bool CMainFrame::CreateHelpPane(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  CHalvixApp* app = TheApp();
  if (app->webBrowserAvailable) {
    WebNavTarget nav;
    nav.backEnabled = &app->webBackEnabled;
    nav.forwardEnabled = &app->webForwardEnabled;
    nav.mainWindow = [] {
      appkit::FrameWindow* frame = TheApp()->mainFrame();
      return frame ? frame->hwnd() : HWND{nullptr};
    };
    auto web = std::make_unique<CWebView>(nav);
    if (web->CreateView(parent, id, rc, doc)) {
      web_ = AddView(std::move(web));
      return true;
    }
    // A browser that cannot be shown: the help pane goes without it.
    app->webBrowserAvailable = false;
  }
  auto logo = std::make_unique<CLogoView>();
  if (!logo->CreateView(parent, id, rc, doc)) return false;
  logo_ = AddView(std::move(logo));
  return true;
}

bool CMainFrame::OnCreateClient(const RECT& client, appkit::CreateContext* ctx) {
  TheApp()->webBrowserAvailable = CheckWebBrowser();
  bool made = ControlPanel() ? CreateControlPanelLayout(client, ctx) : CreateTreeLayout(client, ctx);
  if (!made) return false;
  RecalcPanes(false);
  return true;
}

bool CMainFrame::CreateControlPanelLayout(const RECT& client, appkit::CreateContext* ctx) {
  const int w = client.right, h = client.bottom;
  const int dx = TheApp()->settings.splitterControlPanelDx;
  appkit::Document* doc = ctx ? ctx->document : nullptr;
  if (!s4_.CreateStatic(hwnd(), 1, 2, appkit::kFirstPaneId)) return false;
  if (!CreateHelpPane(s4_.hwnd(), s4_.PaneId(0, 0), Rect(0, 0, w - dx, h), doc)) return false;
  std::unique_ptr<appkit::View> view =
      ctx && ctx->newView ? ctx->newView() : std::make_unique<CHalvixView>(TheApp()->viewContext());
  auto* list = dynamic_cast<CHalvixView*>(view.get());
  if (!list || !view->CreateView(s4_.hwnd(), s4_.PaneId(0, 1), Rect(w - dx, 0, dx, h), doc)) return false;
  iconList_ = list;
  AddView(std::move(view));
  s4_.SetColumnInfo(0, w - dx);
  s4_.SetColumnInfo(1, dx);
  return true;
}

bool CMainFrame::CreateTreeLayout(const RECT& client, appkit::CreateContext* ctx) {
  CHalvixApp* app = TheApp();
  const halvix::HalvixSettings& s = app->settings;
  const int w = client.right, h = client.bottom;
  appkit::Document* doc = ctx ? ctx->document : nullptr;

  if (!s1_.CreateStatic(hwnd(), 1, 2, appkit::kFirstPaneId)) return false;
  const int strip = app->commonControlsOk() ? halvix::kToolbarViewWidth : 0;
  if (app->commonControlsOk()) {
    auto bar = std::make_unique<CToolbarView>(app->viewContext());
    if (!bar->CreateView(s1_.hwnd(), s1_.PaneId(0, 0), Rect(0, 0, strip, h), doc)) return false;
    toolbarView_ = AddView(std::move(bar));
  } else {
    auto plain = std::make_unique<CPlainListView>();
    if (!plain->CreateView(s1_.hwnd(), s1_.PaneId(0, 0), Rect(0, 0, 0, h), doc)) return false;
    AddView(std::move(plain));
  }
  s1_.SetColumnInfo(0, strip);
  s1_.SetColumnInfo(1, w - strip);

  if (!s2_.CreateStatic(s1_.hwnd(), 2, 1, s1_.PaneId(0, 1))) return false;
  auto title = std::make_unique<CMyTitleView>();
  if (!title->CreateView(s2_.hwnd(), s2_.PaneId(0, 0), Rect(0, 0, w, halvix::kTitleViewHeight), doc)) return false;
  title_ = AddView(std::move(title));
  s2_.SetRowInfo(0, halvix::kTitleViewHeight);
  s2_.SetRowInfo(1, h - halvix::kTitleViewHeight);

  if (!s3_.CreateStatic(s2_.hwnd(), 1, 2, s2_.PaneId(1, 0))) return false;
  auto tree = std::make_unique<CMyTreeView>(app->viewContext());
  if (!tree->CreateView(s3_.hwnd(), s3_.PaneId(0, 0), Rect(0, 0, s.splitterTreeViewDx, h), doc)) return false;
  tree_ = AddView(std::move(tree));
  s3_.SetColumnInfo(0, s.splitterTreeViewDx);
  s3_.SetColumnInfo(1, w - s.splitterTreeViewDx);

  if (!s4_.CreateStatic(s3_.hwnd(), 2, 1, s3_.PaneId(0, 1))) return false;
  const int dy = s.splitterControlPanelDy;
  // The module view and the icon list share the upper pane: the module view
  // waits hidden under an id of its own.
  auto module = std::make_unique<CModuleView>();
  if (!module->CreateView(s4_.hwnd(), s4_.PaneId(0, 0), Rect(0, 0, w, dy), doc)) return false;
  moduleView_ = AddView(std::move(module));
  SetChildId(moduleView_->hwnd(), halvix::kModuleViewHiddenId);
  ::ShowWindow(moduleView_->hwnd(), SW_HIDE);
  std::unique_ptr<appkit::View> view =
      ctx && ctx->newView ? ctx->newView() : std::make_unique<CHalvixView>(app->viewContext());
  auto* list = dynamic_cast<CHalvixView*>(view.get());
  if (!list || !view->CreateView(s4_.hwnd(), s4_.PaneId(0, 0), Rect(0, 0, w, dy), doc)) return false;
  iconList_ = list;
  AddView(std::move(view));
  if (!CreateHelpPane(s4_.hwnd(), s4_.PaneId(1, 0), Rect(0, dy, w, h - dy), doc)) return false;
  s4_.SetRowInfo(0, dy);
  s4_.SetRowInfo(1, h - dy);
  return true;
}

// ---- panes

void CMainFrame::RecalcPanes(bool full) {
  CHalvixApp* app = TheApp();
  const halvix::HalvixSettings& s = app->settings;
  RECT rc{};
  if (HWND pane = ClientPane()) ::GetClientRect(pane, &rc);
  halvix::PaneSettings ps;
  ps.controlPanel = ControlPanel();
  ps.commonControlsOk = app->commonControlsOk();
  ps.toolbarView = s.toolbarView != 0;
  ps.treeView = s.treeView != 0;
  ps.titleView = s.titleView != 0;
  ps.webView = s.webView != 0;
  halvix::PaneMemory pm;
  pm.treeKeptWidth = s3_.keptWidth;
  pm.helpKeptWidth = s4_.keptWidth;
  pm.upperHeight = upperHeight_;
  pm.treeViewDx = s.splitterTreeViewDx;
  halvix::PaneSizes p = halvix::ComputePaneSizes(ps, pm, rc.right, rc.bottom, full);

  auto col = [](CFrameSplitter& sp, int i, int v) {
    if (v >= 0) sp.SetColumnInfo(i, v);
  };
  auto row = [](CFrameSplitter& sp, int i, int v) {
    if (v >= 0) sp.SetRowInfo(i, v);
  };
  col(s1_, 0, p.s1Col0);
  col(s1_, 1, p.s1Col1);
  row(s2_, 0, p.s2Row0);
  row(s2_, 1, p.s2Row1);
  col(s3_, 0, p.s3Col0);
  col(s3_, 1, p.s3Col1);
  col(s4_, 0, p.s4Col0);
  row(s4_, 0, p.s4Row0);
  row(s4_, 1, p.s4Row1);
  if (!ps.controlPanel && !full) {
    s1_.RecalcLayout();
    s2_.RecalcLayout();
    s3_.RecalcLayout();
  }
  s4_.RecalcLayout();
}

void CMainFrame::StorePaneSizes() {
  const halvix::HalvixSettings& s = TheApp()->settings;
  if (ControlPanel()) {
    if (s.webView && s4_.ColumnSize(0) > 0) s4_.keptWidth = s4_.ColumnSize(0);
    return;
  }
  if (s.webView && s4_.RowSize(0) > 0) upperHeight_ = s4_.RowSize(0);
  if (s.treeView && s3_.ColumnSize(0) > 0) s3_.keptWidth = s3_.ColumnSize(0);
}

void CMainFrame::DockFrameToolBar() {
  const halvix::HalvixSettings& s = TheApp()->settings;
  int align = s.toolBarAlign;
  toolBar_.Dock(align >= 0 && align <= 3 ? static_cast<appkit::ToolBar::Side>(align) : appkit::ToolBar::kTop);
  ::ShowWindow(toolBar_.hwnd(), s.showToolBar ? SW_SHOW : SW_HIDE);
  RecalcLayout();
}

void CMainFrame::RedrawStrips() {
  if (title_ && title_->hwnd()) ::InvalidateRect(title_->hwnd(), nullptr, TRUE);
  if (tree_ && tree_->hwnd()) ::InvalidateRect(tree_->hwnd(), nullptr, TRUE);
}

bool CMainFrame::IsHostedTestRunning() { return moduleView_ && moduleView_->hwnd() && moduleView_->IsTestRunning(); }

bool CMainFrame::IsHostedControlHeld() {
  return moduleView_ && moduleView_->hwnd() && moduleView_->HasTestControl() && !::IsWindowEnabled(hwnd());
}

void CMainFrame::ShowHelpPage(int command) {
  std::wstring page = halvix::HelpPageFor(command, ControlPanel());
  if (page.empty()) return;
  std::wstring path = TheApp()->programDir() + page;
  if (TheApp()->settings.webView && web_) web_->Navigate(path);
  if (logo_ && logo_->hwnd())
    ::SendMessageW(logo_->hwnd(), halvix::WM_SHOWPAGETEXT, reinterpret_cast<WPARAM>(path.c_str()), 0);
}

void CMainFrame::SelectTestPage(int page) {
  CHalvixApp* app = TheApp();
  if (page == currentPage_) return;
  // The control's box or dialog is up: the control stays under it (a change
  // asked meanwhile, by a posted command or page, is refused).
  if (IsHostedControlHeld()) return;
  StorePaneSizes();
  const bool tree = !ControlPanel();
  if (tree && currentPage_ != 0) (halvix::IsGroupPage(currentPage_) ? splitterBarHalvix_ : splitterBarOthers_) = upperHeight_;

  if (moduleView_ && iconList_) {
    // The upper pane: exactly one of the two views has its id and shows.
    const UINT paneId = s4_.PaneId(0, 0);
    ::ShowWindow(iconList_->hwnd(), SW_HIDE);
    ::ShowWindow(moduleView_->hwnd(), SW_HIDE);
    SetChildId(iconList_->hwnd(), halvix::kIconListHiddenId);
    SetChildId(moduleView_->hwnd(), halvix::kModuleViewHiddenId);
    currentPage_ = 0;
    if (halvix::IsGroupPage(page)) {
      moduleView_->CloseTestControl();
      app->itemGroup = page == halvix::kPageTests ? 0 : 1;
      SetChildId(iconList_->hwnd(), paneId);
      iconList_->Post(halvix::WM_REFRESHITEMS);
      ::ShowWindow(iconList_->hwnd(), SW_SHOW);
      currentPage_ = page;
    } else {
      SetChildId(moduleView_->hwnd(), paneId);
      halvix::PageControl pc = halvix::PageControlFor(page);
      moduleView_->CreateTestControl(pc.name, pc.switches);
      ::ShowWindow(moduleView_->hwnd(), SW_SHOW);
      currentPage_ = page;
    }
  } else if (halvix::IsGroupPage(page) && iconList_) {
    app->itemGroup = page == halvix::kPageTests ? 0 : 1;
    iconList_->Post(halvix::WM_REFRESHITEMS);
    currentPage_ = page;
  }
  if (tree) {
    upperHeight_ = halvix::IsGroupPage(page) ? splitterBarHalvix_ : splitterBarOthers_;
    ShowHelpPage(page);
  }
  RecalcPanes(true);
  if (HMENU menu = ::GetMenu(hwnd())) {
    const UINT state = halvix::IsGroupPage(page) ? MF_ENABLED : MF_GRAYED;
    for (UINT id : {ID_AUTO_ARRANGE, ID_VIEW_LARGE_ICONS, ID_VIEW_SMALL_ICONS, ID_VIEW_LIST, ID_VIEW_DETAILS})
      ::EnableMenuItem(menu, id, MF_BYCOMMAND | state);
  }
  if (tree && app->settings.treeView && tree_ && tree_->hwnd()) ::SetFocus(tree_->hwnd());
}

// ---- showing the frame

void CMainFrame::PruneMenu() {
  CHalvixApp* app = TheApp();
  HMENU menu = ::GetMenu(hwnd());
  if (!menu) return;
  if (!app->corvithPresent()) ::DeleteMenu(menu, ID_CORVITH, MF_BYCOMMAND);
  if (!app->pernathPresent()) ::DeleteMenu(menu, ID_PERNATH, MF_BYCOMMAND);
  if (appkit::IsWindows9x()) {
    ::DeleteMenu(menu, ID_NT_DIAGNOSTICS, MF_BYCOMMAND);
    ::DeleteMenu(menu, ID_NT_TASK_MANAGER, MF_BYCOMMAND);
  } else {
    ::DeleteMenu(menu, ID_TCP_TOOLS, MF_BYCOMMAND);
    ::DeleteMenu(menu, ID_SCSI_TOOLS, MF_BYCOMMAND);
  }
  if (!app->toolsOptions().IsOn(22)) ::DeleteMenu(menu, ID_IP_CONFIG, MF_BYCOMMAND);
  ::DeleteMenu(menu, ControlPanel() ? ID_VIEW_LAYOUT : ID_VIEW_HELP_WINDOW, MF_BYCOMMAND);
  if (ControlPanel() && !app->webBrowserAvailable) {
    ::CheckMenuItem(menu, ID_VIEW_HELP_WINDOW, MF_BYCOMMAND | MF_UNCHECKED);
    ::EnableMenuItem(menu, ID_VIEW_HELP_WINDOW, MF_BYCOMMAND | MF_GRAYED);
    app->settings.webView = 0;
  }
  if (app->settings.autoArrange) ::CheckMenuItem(menu, ID_AUTO_ARRANGE, MF_BYCOMMAND | MF_CHECKED);
}

void CMainFrame::ReadWebLinks() {
  std::ifstream file((TheApp()->programDir() + L"custmurl.txt").c_str());
  if (!file) return;
  std::string line;
  while (static_cast<int>(webLinks_.size()) < halvix::kMaxWebLinks && std::getline(file, line)) {
    halvix::WebLink link;
    if (!halvix::ParseWebLinkLine(appkit::Widen(line), &link)) continue;
    HMENU menu = ::GetMenu(hwnd());
    int top = menu ? ::GetMenuItemCount(menu) : 0;
    HMENU help = top > 0 ? ::GetSubMenu(menu, top - 1) : nullptr;
    HMENU links = help ? ::GetSubMenu(help, 2) : nullptr;
    if (links) {
      if (webLinks_.empty()) {
        ::EnableMenuItem(help, 2, MF_BYPOSITION | MF_ENABLED);
        ::DeleteMenu(links, ID_WEB_LINK_PLACEHOLDER, MF_BYCOMMAND);
      }
      ::AppendMenuW(links, MF_STRING, ID_WEB_LINK_FIRST + webLinks_.size(), link.name.c_str());
    }
    webLinks_.push_back(link);
  }
  ::DrawMenuBar(hwnd());
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
  PruneMenu();
  ReadWebLinks();
  RecalcPanes(false);
  DockFrameToolBar();
  ::ShowWindow(statusBar_.hwnd(), app->settings.showStatusBar ? SW_SHOW : SW_HIDE);
  RecalcLayout();
  RedrawStrips();
  ShowHelpPage(halvix::kPageTests);
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
  UpdateToolBarStates();
}

bool CMainFrame::PreTranslate(MSG& msg) {
  if (moduleView_ && moduleView_->hwnd() && ::IsWindowVisible(moduleView_->hwnd()) && moduleView_->PreTranslate(msg))
    return true;
  return appkit::FrameWindow::PreTranslate(msg);
}

// ---- commands

void CMainFrame::SelectInTree(int command) {
  if (ControlPanel() || !tree_ || !tree_->hwnd()) return;
  int node = halvix::TreeSelectionFor(command);
  if (node) tree_->Send(halvix::WM_SELECTTEST, static_cast<WPARAM>(node));
}

void CMainFrame::OnTestCommand(int command) {
  SelectInTree(command);
  if (!ControlPanel()) return;
  int kind = halvix::ModuleKindForCommand(command);
  launcher_->StartModuleCommand(halvix::ModuleCommandLine(kind, TheApp()->programDir()), kind);
}

void CMainFrame::StartOutsideProgram(const std::wstring& cmdLine, const std::wstring& dir) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::vector<wchar_t> line(cmdLine.begin(), cmdLine.end());
  line.push_back(L'\0');
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.empty() ? nullptr : dir.c_str(),
                        &si, &pi)) {
    FrameMessage(Str(IDS_CANNOT_START_MODULE), MB_OK);
    return;
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
}

void CMainFrame::OnToolCommand(int command) {
  CHalvixApp* app = TheApp();
  SelectInTree(command);
  const std::wstring dir = app->programDir();
  switch (command) {
    case ID_MS_MOUSE:
    case ID_MS_JOYSTICK: {
      const bool mouse = command == ID_MS_MOUSE;
      if (appkit::FileExists(appkit::SystemDir() + (mouse ? L"\\main.cpl" : L"\\joy.cpl")))
        StartOutsideProgram(Str(mouse ? IDS_MOUSE_COMMAND : IDS_JOYSTICK_COMMAND));
      else
        FrameMessage(Str(mouse ? IDS_MOUSE_MISSING : IDS_JOYSTICK_MISSING), MB_OK);
      break;
    }
    case ID_MS_SCANDISK:
      if (appkit::FileExists(appkit::WindowsDir() + L"\\scandskw.exe"))
        StartOutsideProgram(Str(IDS_SCANDISK_PROGRAM));
      else
        FrameMessage(Str(IDS_SCANDISK_MISSING), MB_OK);
      break;
    case ID_CORVITH:
      if (!app->corvithPresent()) {
        FrameMessage(Str(IDS_CORVITH_MISSING), MB_OK);
      } else {
        std::wstring path = app->corvithPath();
        size_t slash = path.rfind(L'\\');
        StartOutsideProgram(L"\"" + path + L"\"", slash == std::wstring::npos ? L"" : path.substr(0, slash + 1));
      }
      break;
    case ID_PERNATH: {
      const std::wstring& path = app->pernathPath();
      if (app->pernathPresent() && !path.empty() && path.size() <= 254) StartOutsideProgram(L"\"" + path + L"\"");
      break;
    }
    case ID_NT_DIAGNOSTICS:
    case ID_NT_TASK_MANAGER:
      if (!appkit::IsWindows9x())
        StartOutsideProgram(L"\"" + appkit::SystemDir() + L"\\" +
                            Str(command == ID_NT_DIAGNOSTICS ? IDS_NT_DIAGNOSTICS_PROGRAM : IDS_NT_TASK_MANAGER_PROGRAM) +
                            L"\"");
      break;
    case ID_CLEANUP:
      if (launcher_->MayStart(halvix::GuardedCommand::Cleanup, suite::ModuleKindCleanup))
        launcher_->LaunchModule(dir + Str(IDS_CLEANUP_PROGRAM), suite::ModuleKindCleanup);
      break;
    default: {
      // The tools that run as recorded processes.
      int kind = halvix::ModuleKindForCommand(command);
      std::wstring line;
      if (kind == suite::ModuleKindIpConfig) line = appkit::WindowsDir() + L"\\winipcfg.exe";
      else if (kind == suite::ModuleKindSystemInfo) line = app->settings.msInfoPath;
      else line = halvix::ModuleCommandLine(kind, dir);
      if (kind >= 0 && !line.empty()) launcher_->StartModuleCommand(line, kind);
      break;
    }
  }
}

void CMainFrame::OnInformationCommand(int command) {
  CHalvixApp* app = TheApp();
  HWND server = InfoServerWindow();
  const UINT msg = app->quorrelMessage();
  switch (command) {
    case ID_SYSTEM_INFO:
      SelectInTree(command);
      if (ControlPanel() && server && msg) ::PostMessageW(server, msg, 0, suite::INFO_CMD_SHOW_SHEET);
      break;
    case ID_DMI_INFO:
    case ID_INI_INFO:
      SelectInTree(command);
      if (server && msg)
        ::PostMessageW(server, msg, reinterpret_cast<WPARAM>(hwnd()),
                       command == ID_DMI_INFO ? suite::INFO_CMD_SHOW_DMI : suite::INFO_CMD_SHOW_INI);
      break;
    default:
      break;
  }
}

void CMainFrame::OnDosTest() {
  CHalvixApp* app = TheApp();
  SelectInTree(ID_DOS_TEST);
  if (!launcher_->MayStart(halvix::GuardedCommand::DosTest)) return;
  const std::wstring dir = app->programDir();
  int answer;
  if (!appkit::FileExists(dir + L"WENDROP.PIF")) {
    answer = FrameMessage(Str(IDS_DOS_ASK_RESTART), MB_OKCANCEL | MB_ICONEXCLAMATION);
    if (answer != IDOK) return;
  } else {
    answer = FrameMessage(Str(IDS_DOS_ASK_CONFIG), MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) return;
  }
  const std::wstring program = dir + L"WENDROP\\WENDROP.EXE";
  if (!appkit::FileExists(program)) {
    app->ShowAppMessageText(ReplaceFirst(Str(IDS_DOS_PROGRAM_MISSING), L"%s", program), MB_OK);
    return;
  }
  // Halvix comes back after the restart; the entry stays only when the test
  // really starts.
  std::wstring self = appkit::ModulePath();
  if (self.find(L' ') != std::wstring::npos) self = L"\"" + self + L"\"";
  appkit::RegWriteString(HKEY_CURRENT_USER, kRunOnceKey, kRunOnceValue, self);
  bool started = false;
  if (answer == IDYES) {
    started = launcher_->LaunchModule(dir + L"WENDROP.PIF", suite::ModuleKindDosTest) != 0;
  } else {
    // WENDROP2.PIF runs the copy: without both whole it does not start.
    std::wstring failed;
    if (!halvix::WriteDosBatchFiles(halvix::DosBatchRootPath(appkit::WindowsDir()), dir + L"K_Y_T_D7.BAT",
                                    halvix::DosBatchText(appkit::Narrow(dir)), &failed)) {
      app->ShowAppMessageText(Str(IDS_CREATE_FILE_FAILED) + L" (" + failed + L")", MB_OK);
    } else {
      started = launcher_->LaunchModule(dir + L"WENDROP2.PIF", suite::ModuleKindDosTest) != 0;
    }
  }
  if (!started) {
    appkit::RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kRunOnceKey, KEY_SET_VALUE)) ::RegDeleteValueW(key.get(), kRunOnceValue);
  }
}

void CMainFrame::OnStressTest() {
  CHalvixApp* app = TheApp();
  SelectInTree(ID_STRESS_TEST);
  if (!launcher_->MayStart(halvix::GuardedCommand::StressTest)) {
    if (app->stressMode()) Post(WM_CLOSE);
    return;
  }
  stress::StressSettings s = StressSettingsOf(*app);
  if (stress::RunStressTestCommand(hwnd(), s) == IDOK) {
    app->settings.nTestNum = s.testNum;
    app->settings.nStopOnError = s.stopOnError;
    app->settings.nOneByOne = s.oneByOne;
  }
  if (app->stressMode()) Post(WM_CLOSE);
  else RedrawStrips();
}

void CMainFrame::OnBenchmarks() {
  CHalvixApp* app = TheApp();
  SelectInTree(ID_BENCHMARKS);
  if (!launcher_->MayStart(halvix::GuardedCommand::Benchmarks)) {
    if (app->benchMode()) Post(WM_CLOSE);
    return;
  }
  stress::RunBenchmarksCommand(hwnd(), StressSettingsOf(*app));
  if (app->benchMode()) Post(WM_CLOSE);
  else RedrawStrips();
}

void CMainFrame::OnResetDefaults() {
  CHalvixApp* app = TheApp();
  SelectInTree(ID_RESET_DEFAULT_CONFIG);
  if (ControlPanel() && !launcher_->MayStart(halvix::GuardedCommand::ResetDefaults)) return;
  app->ResetDefaultConfiguration();
  if (iconList_ && iconList_->hwnd()) {
    app->toolsOptions().Load(app->profile());
    iconList_->Post(halvix::WM_REFRESHITEMS);
  }
  if (tree_ && tree_->hwnd()) tree_->Post(halvix::WM_REFRESHITEMS);
  if (toolbarView_ && toolbarView_->hwnd()) toolbarView_->Post(halvix::WM_REFRESHITEMS);
}

bool CMainFrame::OnCommand(UINT id) {
  CHalvixApp* app = TheApp();
  halvix::HalvixSettings& s = app->settings;
  if (id >= ID_WEB_LINK_FIRST && id <= ID_WEB_LINK_LAST) {
    size_t n = id - ID_WEB_LINK_FIRST;
    if (n < webLinks_.size()) app->OpenHtmlPage(webLinks_[n].address, false);
    return true;
  }
  switch (id) {
    case ID_AUDIO_TEST: case ID_MODEM_TEST: case ID_GRAPHICS_TEST: case ID_HARDDISK_TEST: case ID_FLOPPY_TEST:
    case ID_CDROM_TEST: case ID_PROCESSOR_TEST: case ID_MEMORY_TEST: case ID_IOPORT_TEST:
      OnTestCommand(static_cast<int>(id));
      return true;
    case ID_SYSTEM_INFO: case ID_DMI_INFO: case ID_INI_INFO:
      OnInformationCommand(static_cast<int>(id));
      return true;
    case ID_DOS_TEST:
      OnDosTest();
      return true;
    case ID_STRESS_TEST:
      OnStressTest();
      return true;
    case ID_BENCHMARKS:
      OnBenchmarks();
      return true;
    case ID_CORVITH: case ID_PERNATH: case ID_CLEANUP: case ID_MS_MOUSE: case ID_MS_JOYSTICK: case ID_MS_SCANDISK:
    case ID_IP_CONFIG: case ID_TCP_TOOLS: case ID_SCSI_TOOLS: case ID_MS_SYSINFO: case ID_USB_TOOL:
    case ID_NT_DIAGNOSTICS: case ID_NT_TASK_MANAGER:
      OnToolCommand(static_cast<int>(id));
      return true;
    case ID_PRINT_REPORT:
      launcher_->StartReportWizard();
      return true;
    case ID_COLLECT_INFO: {
      CCollectSystemInfoDlg collect(app->ResourceFor(RT_DIALOG, IDD_COLLECT_INFO), app->caption());
      collect.DoModal(hwnd());
      return true;
    }
    case ID_GROUP_TESTS: case ID_GROUP_SHORTCUTS:
      SelectInTree(static_cast<int>(id));
      return true;
    case ID_AUTO_ARRANGE: case ID_VIEW_LARGE_ICONS: case ID_VIEW_SMALL_ICONS: case ID_VIEW_LIST:
    case ID_VIEW_DETAILS:
      if (iconList_ && iconList_->hwnd()) iconList_->Post(WM_COMMAND, id);
      return true;
    case ID_CONTROL_PANEL_STYLE:
      s.pendingControlPanelStyle = s.pendingControlPanelStyle ? 0 : 1;
      if ((s.pendingControlPanelStyle != 0) != s.ControlPanelLayout()) app->ShowAppMessage(IDS_RESTART_FOR_LAYOUT, MB_OK);
      app->layoutChanged = true;
      return true;
    case ID_VIEW_TOOLBAR:
      s.showToolBar = s.showToolBar ? 0 : 1;
      DockFrameToolBar();
      RedrawStrips();
      return true;
    case ID_VIEW_STATUS_BAR:
      s.showStatusBar = s.showStatusBar ? 0 : 1;
      ::ShowWindow(statusBar_.hwnd(), s.showStatusBar ? SW_SHOW : SW_HIDE);
      RecalcLayout();
      RedrawStrips();
      return true;
    case ID_VIEW_HELP_WINDOW:
      if (ControlPanel() && !app->webBrowserAvailable) return true;
      if (s.webView) StorePaneSizes();
      s.webView = s.webView ? 0 : 1;
      RecalcPanes(true);
      RedrawStrips();
      return true;
    case ID_AUTO_REFRESH:
      s.autoRefresh = s.autoRefresh ? 0 : 1;
      app->profile().WriteInt(suite::kAutoRefreshValue, s.autoRefresh);
      return true;
    case ID_RESET_DEFAULT_CONFIG:
      OnResetDefaults();
      return true;
    case ID_GO_BACK:
      if (web_) web_->GoBack();
      return true;
    case ID_GO_FORWARD:
      if (web_) web_->GoForward();
      return true;
    case ID_GO_RELOAD:
      if (web_) web_->Refresh();
      return true;
    case ID_GO_HOME:
      if (web_) web_->Navigate(s.defaultUrl);
      return true;
    case ID_VIEW_LAYOUT: {
      StorePaneSizes();
      CLayoutDlg layout(app->ResourceFor(RT_DIALOG, IDD_LAYOUT), s, app->commonControlsOk(), hwnd());
      layout.DoModal(hwnd());
      return true;
    }
    case ID_OPTIONS_SYSINFO: {
      CInfoOptionsDlg options(app->ResourceFor(RT_DIALOG, IDD_INFO_OPTIONS));
      options.DoModal(hwnd());
      return true;
    }
    case ID_OPTIONS_TOOLS: {
      CToolsOptionsDlg options(app->ResourceFor(RT_DIALOG, IDD_TOOLS_OPTIONS), app->toolsOptions(), app->profile(),
                               app->programDir(), s.msInfoPath, app->caption());
      if (options.DoModal(hwnd()) == IDOK) {
        if (iconList_ && iconList_->hwnd()) iconList_->Post(halvix::WM_REFRESHITEMS);
        if (tree_ && tree_->hwnd()) tree_->Post(halvix::WM_REFRESHITEMS);
        if (toolbarView_ && toolbarView_->hwnd()) toolbarView_->Post(halvix::WM_REFRESHITEMS);
      }
      return true;
    }
    case ID_TECH_SUPPORT: {
      CTechSupportDlg support(app->ResourceFor(RT_DIALOG, IDD_TECH_SUPPORT), app->supportContext());
      support.DoModal(hwnd());
      return true;
    }
    case ID_HELP_FINDER:
      app->WinHelp();
      return true;
    case ID_APP_ABOUT:
      app->ShowAbout(hwnd());
      return true;
    case ID_APP_EXIT:
      Post(WM_CLOSE);
      return true;
    default:
      return false;
  }
}

bool CMainFrame::OnUpdateCommand(appkit::CommandState& state) {
  CHalvixApp* app = TheApp();
  const halvix::HalvixSettings& s = app->settings;
  const bool browser = app->webBrowserAvailable && s.webView;
  const UINT id = state.id();
  switch (id) {
    case ID_AUTO_ARRANGE:
      state.SetCheck(s.autoArrange != 0);
      if (ControlPanel() || currentPage_ == halvix::kPageShortcuts) state.Enable(s.listControlView == 0 || s.listControlView == 1);
      return true;
    case ID_VIEW_LARGE_ICONS: state.SetRadio(s.listControlView == 0); return true;
    case ID_VIEW_SMALL_ICONS: state.SetRadio(s.listControlView == 1); return true;
    case ID_VIEW_LIST: state.SetRadio(s.listControlView == 2); return true;
    case ID_VIEW_DETAILS: state.SetRadio(s.listControlView == 3); return true;
    case ID_CONTROL_PANEL_STYLE: state.SetCheck(s.pendingControlPanelStyle != 0); return true;
    case ID_VIEW_TOOLBAR: state.SetCheck(s.showToolBar != 0); return true;
    case ID_VIEW_STATUS_BAR: state.SetCheck(s.showStatusBar != 0); return true;
    case ID_VIEW_HELP_WINDOW:
      state.SetCheck(s.webView != 0);
      if (ControlPanel() && !app->webBrowserAvailable) state.Enable(false);
      return true;
    case ID_AUTO_REFRESH: state.SetCheck(s.autoRefresh != 0); return true;
    case ID_GO_BACK: state.Enable(browser && app->webBackEnabled); return true;
    case ID_GO_FORWARD: state.Enable(browser && app->webForwardEnabled); return true;
    case ID_GO_HOME:
    case ID_GO_RELOAD: state.Enable(browser); return true;
    default: {
      const int fixed = halvix::HostedTestCommandState(static_cast<int>(id), IsHostedTestRunning());
      if (fixed < 0) return false;
      state.Enable(fixed != 0);
      return true;
    }
  }
}

// ---- messages

// The control in the module view may be inside its own test when the close
// comes: a test that runs on this thread pumps messages between its steps,
// and a box of the control runs a loop of its own. Destroying the control
// there would pull it from under its test. Its test is asked to stop now,
// and so is a test that starts while the close waits; a box that is up is
// answered (a question before a run with No). The frame closes once the
// program's loop is back at its top (OnLoopTop), where nothing of the
// control is left on the stack.
bool CMainFrame::PutOffClose() {
  if (!moduleView_ || !moduleView_->HasTestControl()) return false;
  if (!closePending_) {
    closePending_ = true;
    ::SetTimer(hwnd(), kCloseTimer, kCloseTimerMs, nullptr);
  }
  moduleView_->StopTest();
  // A close sent from another thread is handled inside the loop's wait: a
  // message of its own brings the loop round to its top.
  Post(WM_NULL);
  return true;
}

void CMainFrame::OnLoopTop() {
  if (!closePending_) return;
  closePending_ = false;
  ::KillTimer(hwnd(), kCloseTimer);
  if (moduleView_) moduleView_->CloseTestControl();
  ::SendMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void CMainFrame::OnClose() {
  CHalvixApp* app = TheApp();
  StorePaneSizes();
  if (iconList_) iconList_->CapturePositions();
  if (!ControlPanel() && app->settings.webView) {
    (halvix::IsGroupPage(currentPage_) ? splitterBarHalvix_ : splitterBarOthers_) = upperHeight_;
    app->settings.splitterBarHalvix = splitterBarHalvix_;
    app->settings.splitterBarOthers = splitterBarOthers_;
  }
  // The information server closes with its control.
  quorrel_.reset();
}

void CMainFrame::OnDestroy() {
  CHalvixApp* app = TheApp();
  quorrel_.reset();
  if (launcher_) launcher_->CloseAll();
  app->settings.splitterControlPanelDx = s4_.keptWidth;
  app->settings.splitterTreeViewDx = s3_.keptWidth;
}

void CMainFrame::OnDiagDone(WPARAM result, LPARAM cookie) {
  if (launcher_) launcher_->OnDiagDone(result, cookie);
}

LRESULT CMainFrame::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  CHalvixApp* app = TheApp();
  const bool shown = !notYetShown_ && ::IsWindowVisible(hwnd());
  if (msg != 0 && msg == app->diagMessage()) {
    if (lp) OnDiagDone(wp, lp);
    return 0;
  }
  if (msg != 0 && msg == app->semaphoreMessage()) {
    // A second start: come forward.
    if (::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_RESTORE);
    else if (!(::GetWindowLongW(hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST)) ::SetForegroundWindow(hwnd());
    return 0;
  }
  switch (msg) {
    case WM_EXITSIZEMOVE:
      if (shown) {
        RECT rc;
        ::GetWindowRect(hwnd(), &rc);
        app->settings.rect = {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
      }
      break;
    case WM_SIZE:
      if (shown) app->settings.maximized = (wp == SIZE_MAXIMIZED) ? 1 : 0;
      break;
    case halvix::WM_SELECTPAGE:
      SelectTestPage(static_cast<int>(wp));
      return 0;
    case halvix::WM_RELAYOUT:
      RecalcPanes(false);
      DockFrameToolBar();
      ::ShowWindow(statusBar_.hwnd(), app->settings.showStatusBar ? SW_SHOW : SW_HIDE);
      RecalcLayout();
      RedrawStrips();
      if (!ControlPanel()) ShowHelpPage(currentPage_);
      UpdateToolBarStates();
      return 0;
    case halvix::WM_NAVSTATE:
      if (wp == ID_GO_BACK || wp == ID_GO_FORWARD) {
        if (HMENU menu = ::GetMenu(hwnd()))
          ::EnableMenuItem(menu, static_cast<UINT>(wp), MF_BYCOMMAND | (lp ? MF_ENABLED : MF_GRAYED));
        toolBar_.EnableButton(static_cast<UINT>(wp), lp != 0);
      }
      return 0;
    case WM_ACTIVATE:
      if ((LOWORD(wp) == WA_ACTIVE || LOWORD(wp) == WA_CLICKACTIVE) && !::IsWindowEnabled(hwnd())) {
        // Brought to the front under its own box or dialog (by another
        // program, or a second start): the box comes to the front again,
        // where it can be answered, instead of staying behind the frame.
        Post(kBringPopupForward);
        return 0;
      }
      if (LOWORD(wp) == WA_ACTIVE || LOWORD(wp) == WA_CLICKACTIVE) {
        HWND focus = ControlPanel() ? (iconList_ ? iconList_->hwnd() : nullptr) : s4_.Pane(0, 0);
        if (focus) ::SetFocus(focus);
        return 0;
      }
      break;
    case WM_ACTIVATEAPP: {
      LRESULT r = appkit::FrameWindow::WndProc(msg, wp, lp);
      if (wp && web_ && web_->HasBrowser()) ::UpdateWindow(web_->browserWindow());
      return r;
    }
    case WM_PAINT:
      RedrawStrips();
      break;
    case kBringPopupForward:
      if (::GetActiveWindow() == hwnd() && !::IsWindowEnabled(hwnd()))
        if (HWND popup = PopupOver(hwnd())) ::SetForegroundWindow(popup);
      return 0;
    case WM_TIMER:
      if (wp == kCloseTimer) {
        if (moduleView_) moduleView_->StopTest();
        appkit::AnswerThreadBoxes();
        return 0;
      }
      break;
    case WM_CLOSE:
      if (PutOffClose()) return 0;
      OnClose();
      break;
    case WM_DESTROY: {
      LRESULT r = appkit::FrameWindow::WndProc(msg, wp, lp);
      OnDestroy();
      ::PostQuitMessage(0);
      return r;
    }
    default:
      break;
  }
  return appkit::FrameWindow::WndProc(msg, wp, lp);
}
