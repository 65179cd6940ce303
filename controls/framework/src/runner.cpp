#include "ctlfw/runner.h"

#include <atomic>

#include "appkit/axcontrol.h"
#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/resmodule.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "ctlfw/resource_ids.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testinfo.h"
#include "ctlfw/testpage.h"
#include "suite/info.h"
#include "suite/messages.h"

namespace ctlfw {

// ---- Worker threads ----------------------------------------------------------

namespace {

std::atomic<long> g_liveWorkers{0};

struct WorkerStart {
  LPTHREAD_START_ROUTINE proc;
  void* arg;
  HMODULE module;  // reference held for the thread's lifetime (a DLL), or nullptr
};

DWORD WINAPI WorkerTrampoline(LPVOID p) {
  WorkerStart start = *static_cast<WorkerStart*>(p);
  delete static_cast<WorkerStart*>(p);
  DWORD result = start.proc(start.arg);
  --g_liveWorkers;
  appkit::AxModuleUnlock();
  if (start.module) ::FreeLibraryAndExitThread(start.module, result);
  return result;
}

// Waits on the Test page's worker while serving the messages it sends to this
// thread; nothing else is dispatched (the caller may be inside WM_DESTROY).
bool WaitServingSends(TestPage* page, DWORD ms) {
  DWORD start = ::GetTickCount();
  while (page->HasLiveWorker()) {
    if (::GetTickCount() - start >= ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return true;
}

}  // namespace

long LiveWorkerCount() { return g_liveWorkers.load(); }

HANDLE StartWorker(LPTHREAD_START_ROUTINE proc, void* arg) {
  HMODULE self = appkit::ThisModule();
  HMODULE held = nullptr;
  if (self && self != ::GetModuleHandleW(nullptr))
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&StartWorker), &held);
  auto* start = new WorkerStart{proc, arg, held};
  // The module's lock count covers live workers, so the module refuses to
  // unload while one runs.
  appkit::AxModuleLock();
  ++g_liveWorkers;
  HANDLE h = ::CreateThread(nullptr, 0, &WorkerTrampoline, start, 0, nullptr);
  if (!h) {
    --g_liveWorkers;
    appkit::AxModuleUnlock();
    delete start;
    if (held) ::FreeLibrary(held);
  }
  return h;
}

// ---- TestRunner ----------------------------------------------------------------

namespace {
typedef DWORD(WINAPI* GetQuorrelFn)(WORD infoClass, WORD size, void* buffer);
constexpr WORD kInfoClassStartup = 11;
constexpr DWORD kExtraWorkerWaitMs = 30000;
}  // namespace

TestRunner::TestRunner() = default;

// A module unloads after its controls are gone (Cleanup ran); nothing to do
// here that would touch windows or libraries from the loader's lock.
TestRunner::~TestRunner() = default;

std::wstring TestRunner::SettingsKey() const {
  return Identity() < suite::kControlCount ? suite::Control(Identity()).settingsKey : L"";
}

std::string TestRunner::ModeBaseName() const {
  if (Identity() >= suite::kControlCount) return "";
  const char* base = suite::Control(Identity()).logBase[SecondMode() ? 1 : 0];
  return base ? base : "";
}

int TestRunner::InfoCategory() const {
  return Identity() < suite::kControlCount ? suite::Control(Identity()).infoCategory[SecondMode() ? 1 : 0] : -1;
}

HMODULE TestRunner::OwnModule() const { return appkit::ThisModule(); }

BOOL TestRunner::Init(HWND controlWindow, const std::string& cmdLine) {
  if (sheet_) return FALSE;
  created_ = false;
  switches_ = Switches();

  // The resource library beside the module, and the module's directory.
  HMODULE own = OwnModule();
  std::wstring path = appkit::ModulePath(own);
  std::wstring resPath = appkit::ResourceModulePathFor(path);
  moduleDir_ = DirectoryPart(path);

  // Where the information server writes its files (empty when unknown).
  infoDir_ = ReadInfoDirectory();

  resourceLibrary_ = appkit::LoadResourceModule(resPath);
  resources_ = resourceLibrary_ ? resourceLibrary_ : own;

  // Windows 9x: the system-access library answers its start-up call.
  vexholm_ = nullptr;
  if (appkit::IsWindows9x()) {
    vexholm_ = ::LoadLibraryW((moduleDir_ + L"Vexholm.DLL").c_str());
    if (vexholm_) {
      auto fn = reinterpret_cast<GetQuorrelFn>(::GetProcAddress(vexholm_, "GetQuorrel"));
      if (fn) {
        ZeroMemory(sysInfo_, sizeof(sysInfo_));
        fn(kInfoClassStartup, (WORD)sizeof(sysInfo_), sysInfo_);
      }
    }
  }
  diagMessage_ = ::RegisterWindowMessageW(suite::kDiagMessage);

  switches_ = ParseSwitches(cmdLine);
  AdjustSwitches(&switches_);
  baseName_ = ModeBaseName();
  {
    RunnerResourceIds ids = ResourceIds();
    logTitle_ = appkit::LoadStr(ids.logTitle ? ids.logTitle : ids.title, resources_);
  }
  ReadSettings();
  AfterSettingsRead();
  title_ = Caption();
  LoadOptionalLibraries();

  if (!BeforeSheetCreated()) {
    FreeOptionalLibraries();
    appkit::FreeResourceModule(resourceLibrary_);
    resourceLibrary_ = nullptr;
    resources_ = own;
    if (vexholm_) ::FreeLibrary(vexholm_);
    vexholm_ = nullptr;
    return FALSE;
  }
  control_ = controlWindow;
  sheet_ = std::make_unique<CTest>(*this, CreateTestPage(), !switches_.autoRun);
  if (!created_) {
    // A control that no container placed (a script's object) has no window:
    // its sheet becomes a window of its own.
    created_ = controlWindow ? sheet_->Create(controlWindow, WS_CHILD | WS_VISIBLE, 0)
                             : sheet_->Create(nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0);
  }
  return TRUE;
}

void TestRunner::ServeOwnSheet() {
  if (!sheet_ || !created_ || control_ || !sheet_->hwnd()) return;
  // Such a host runs no message loop while it calls us: what is waiting for
  // the sheet and its pages (server replies, readers' list messages,
  // timers) is handled here, at each call.
  MSG msg;
  for (int n = 0; n < 1000 && ::PeekMessageW(&msg, sheet_->hwnd(), 0, 0, PM_REMOVE); ++n) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  // Page windows are the sheet's descendants, but messages for them may not
  // be picked by the sheet's filter everywhere.
  for (auto& info : sheet_->InfoPages()) {
    for (int n = 0; n < 1000 && info->hwnd() && ::PeekMessageW(&msg, info->hwnd(), 0, 0, PM_REMOVE); ++n) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

BOOL TestRunner::SetProp(const std::string& name, const std::string& value) {
  int cx = 0, cy = 0;
  if (!sheet_ || !created_ || !ParseSizeProperty(name, value, &cx, &cy)) return FALSE;
  return ResizeSheet(cx, cy);
}

BOOL TestRunner::ResizeSheet(int cx, int cy) {
  SheetRect r = SheetPlacement(cx, cy);
  HWND sheet = sheet_->hwnd();
  ::SetWindowPos(sheet, nullptr, r.x, r.y, r.cx, r.cy, SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  for (auto& info : sheet_->InfoPages()) info->ResizeControls();
  if (TestPage* test = sheet_->Test()) test->ResizeControls();
  ::RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return TRUE;
}

bool TestRunner::WaitForWorkers(DWORD ms) {
  TestPage* test = sheet_ ? sheet_->Test() : nullptr;
  return !test || WaitServingSends(test, ms);
}

BOOL TestRunner::Cleanup() {
  if (!sheet_) return FALSE;
  if (created_) {
    sheet_->ClosePages();
    // StopTests waited the page's own time; a worker still running gets a
    // while longer before the sheet goes.
    WaitForWorkers(kExtraWorkerWaitMs);
    sheet_->Destroy();
    created_ = false;
  }
  TestPage* test = sheet_->Test();
  bool workerAlive = test && test->HasLiveWorker();
  if (workerAlive) {
    // Never delete what a running worker touches: the sheet, its pages and the
    // libraries stay (the worker holds a reference on this module).
    sheet_.release();
    libraries_.clear();
    entries_.clear();
    resourceLibrary_ = nullptr;
    vexholm_ = nullptr;
  } else {
    sheet_.reset();
    FreeOptionalLibraries();
  }
  AfterSheetGone();
  WriteSettings();
  appkit::FreeResourceModule(resourceLibrary_);
  resourceLibrary_ = nullptr;
  if (vexholm_) ::FreeLibrary(vexholm_);
  vexholm_ = nullptr;
  control_ = nullptr;
  return TRUE;
}

BOOL TestRunner::DoTest() {
  TestPage* test = sheet_ ? sheet_->Test() : nullptr;
  return test ? test->DoTest() : FALSE;
}

BOOL TestRunner::IsRunning() {
  TestPage* test = sheet_ ? sheet_->Test() : nullptr;
  return test ? test->IsRunning() : FALSE;
}

BOOL TestRunner::Abort() {
  TestPage* test = sheet_ ? sheet_->Test() : nullptr;
  return test ? test->Abort() : FALSE;
}

std::string TestRunner::Title() const { return appkit::Narrow(title_); }

HWND TestRunner::ActivePageList() const {
  if (!sheet_) return nullptr;
  appkit::SheetPage* page = sheet_->ActivePage();
  if (!page || !page->hwnd()) return nullptr;
  // The Information page shows list 1004; the Test page (also when it is
  // the only page of an automatic run) its result list 1005.
  int id = page == sheet_->Test() ? IDC_TEST_RESULTS : IDC_INFO_LIST;
  return ::GetDlgItem(page->hwnd(), id);
}

void TestRunner::ReadSettings() {
  table_ = SettingTable();
  settings_.clear();
  appkit::RegKey key;
  bool open = key.Open(HKEY_CURRENT_USER, SettingsKey(), KEY_READ);
  for (const SettingDef& def : table_) {
    DWORD stored = 0;
    bool present = open && key.GetDword(appkit::Widen(def.name), &stored);
    settings_[def.name] = SettingValue(def, present ? &stored : nullptr);
  }
}

std::wstring TestRunner::Caption() const { return appkit::LoadStr(ResourceIds().title, resources_); }

void TestRunner::WriteSettings() const {
  BeforeSettingsWritten();
  appkit::RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, SettingsKey())) return;
  for (const SettingDef& def : table_) {
    if (!def.writeBack) continue;
    auto it = settings_.find(def.name);
    if (it != settings_.end()) key.SetDword(appkit::Widen(def.name), (DWORD)it->second);
  }
}

int TestRunner::Setting(const std::string& name) const {
  auto it = settings_.find(name);
  return it == settings_.end() ? 0 : it->second;
}

void TestRunner::SetSetting(const std::string& name, int value) {
  auto it = settings_.find(name);
  if (it != settings_.end()) it->second = value;
}

bool TestRunner::HasSetting(const std::string& name) const { return settings_.count(name) != 0; }

void TestRunner::LoadOptionalLibraries() {
  FreeOptionalLibraries();
  for (const OptionalLibrary& lib : OptionalLibraries()) {
    for (const char* entry : lib.entries) entries_[entry] = nullptr;
    HMODULE h = ::LoadLibraryW((moduleDir_ + lib.file).c_str());
    if (!h) continue;
    libraries_.push_back(h);
    for (const char* entry : lib.entries) entries_[entry] = ::GetProcAddress(h, entry);
  }
}

void TestRunner::FreeOptionalLibraries() {
  entries_.clear();
  for (HMODULE h : libraries_) ::FreeLibrary(h);
  libraries_.clear();
}

FARPROC TestRunner::Entry(const char* name) const {
  auto it = entries_.find(name);
  return it == entries_.end() ? nullptr : it->second;
}

HWND TestRunner::MessageOwner() const {
  HWND own = control_ ? control_ : sheet_ ? sheet_->hwnd() : nullptr;
  HWND top = own && ::IsWindow(own) ? ::GetAncestor(own, GA_ROOT) : nullptr;
  // A box of another thread goes without an owner: disabling a window of
  // this thread would send to it, and it may be waiting for that thread.
  if (!top || ::GetWindowThreadProcessId(top, nullptr) != ::GetCurrentThreadId()) return nullptr;
  // A dialog is up over the host (a dialog of the control's): the box goes
  // over that dialog.
  if (!::IsWindowEnabled(top)) {
    HWND popup = ::GetLastActivePopup(top);
    if (popup && popup != top && ::IsWindowVisible(popup) && ::IsWindowEnabled(popup) &&
        ::GetWindowThreadProcessId(popup, nullptr) == ::GetCurrentThreadId())
      return popup;
  }
  return top;
}

int TestRunner::ShowMessage(const std::wstring& text, UINT type) const {
  return ::MessageBoxW(MessageOwner(), text.c_str(), title_.c_str(), type);
}

int TestRunner::RunnerMessageBox(UINT stringId, UINT type) const {
  return ShowMessage(appkit::LoadStr(stringId, resources_), type);
}

}  // namespace ctlfw
