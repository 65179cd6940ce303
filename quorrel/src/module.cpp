#include "module.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/resmodule.h"
#include "appkit/system.h"
#include "format.h"
#include "resource.h"
#include "serverdlg.h"
#include "settings.h"
#include "texts.h"
#include "worker.h"

namespace quorrel {

namespace {

std::unique_ptr<CQuorrelServerDlg> g_server;

void BindRuntimeLibraries(ModuleState& m) {
  char sys[MAX_PATH];
  UINT n = ::GetSystemDirectoryA(sys, MAX_PATH);
  if (n < 1 || n > 255) return;
  std::string dir = std::string(sys, n) + "\\";
  if (HMODULE avicap = ::LoadLibraryA((dir + "AVICAP32.DLL").c_str()))
    m.system.capGetDriverDescription =
        reinterpret_cast<CapGetDriverDescriptionFn>(::GetProcAddress(avicap, "capGetDriverDescriptionA"));
  if (HMODULE mpr = ::LoadLibraryA((dir + "MPR.DLL").c_str())) {
    m.system.wnetOpenEnum = ::GetProcAddress(mpr, "WNetOpenEnumA");
    m.system.wnetCloseEnum = ::GetProcAddress(mpr, "WNetCloseEnum");
    m.system.wnetGetUser = ::GetProcAddress(mpr, "WNetGetUserA");
    m.system.wnetEnumResource = ::GetProcAddress(mpr, "WNetEnumResourceA");
  }
  if (HMODULE k = ::LoadLibraryA((dir + "KERNEL32.DLL").c_str())) {
    m.system.process32First = reinterpret_cast<ToolhelpWalkFn>(::GetProcAddress(k, "Process32First"));
    m.system.process32Next = reinterpret_cast<ToolhelpWalkFn>(::GetProcAddress(k, "Process32Next"));
    m.system.heap32First = reinterpret_cast<Heap32FirstFn>(::GetProcAddress(k, "Heap32First"));
    m.system.heap32Next = reinterpret_cast<Heap32NextFn>(::GetProcAddress(k, "Heap32Next"));
    m.system.heap32ListFirst = reinterpret_cast<ToolhelpWalkFn>(::GetProcAddress(k, "Heap32ListFirst"));
    m.system.heap32ListNext = reinterpret_cast<ToolhelpWalkFn>(::GetProcAddress(k, "Heap32ListNext"));
    m.system.createToolhelp32Snapshot =
        reinterpret_cast<CreateToolhelp32SnapshotFn>(::GetProcAddress(k, "CreateToolhelp32Snapshot"));
  }
}

void ReadSystemDirectories(ModuleState& m) {
  char buf[MAX_PATH];
  UINT n = ::GetSystemDirectoryA(buf, MAX_PATH);
  m.systemDir = n < MAX_PATH ? DirectoryWithSlash(std::string(buf, n)) : std::string();
  n = ::GetWindowsDirectoryA(buf, MAX_PATH);
  m.windowsDir = n < MAX_PATH ? DirectoryWithSlash(std::string(buf, n)) : std::string();
  m.bootRoot = BootDriveRoot(m.windowsDir);
}

// Windows 9x: hand the label texts of MirvaneRC to the system-access library.
void BindSystemAccessLibrary(ModuleState& m) {
  std::wstring vex = m.moduleDir + L"Vexholm.DLL";
  m.vexholm = ::LoadLibraryW(vex.c_str());
  if (!m.vexholm) return;
  m.system.getQuorrel = reinterpret_cast<GetQuorrelFn>(::GetProcAddress(m.vexholm, "GetQuorrel"));
  if (!m.system.getQuorrel) return;
  std::wstring rc = m.moduleDir + L"MirvaneRC.DLL";
  m.system.mirvaneRc = ::LoadLibraryW(rc.c_str());
  if (!m.system.mirvaneRc) return;
  char text[257];
  int count = 255;
  if (::LoadStringA(m.system.mirvaneRc, 0, text, sizeof(text)) > 0) count = std::atoi(text);
  for (int id = 0; id <= count && id <= 0xFFFF; ++id) {
    int len = ::LoadStringA(m.system.mirvaneRc, (UINT)id, text, sizeof(text));
    if (len <= 0) continue;
    std::vector<char> record(2 + (size_t)len + 1, 0);
    record[0] = (char)(id & 0xFF);
    record[1] = (char)((id >> 8) & 0xFF);
    memcpy(record.data() + 2, text, (size_t)len);
    m.system.getQuorrel(0x69, (WORD)(2 + len), record.data());
  }
}

}  // namespace

ModuleState& Module() {
  static ModuleState state;
  return state;
}

HWND ServerWindow() { return g_server ? g_server->hwnd() : nullptr; }

namespace {

// The machine's server guard: a mutex that the thread running the server
// owns. A server that dies, however it dies, leaves it abandoned, and the
// next start takes it over; the semaphore of older starts outlives a server
// whenever any other process still holds a handle to it.
const wchar_t kServerGuardName[] = L"Qev Quorrel Server";
// How often a process with controls and no server looks for one.
const UINT kWatchMs = 500;

bool TakeServerGuard(ModuleState& m) {
  HANDLE guard = ::CreateMutexW(nullptr, FALSE, kServerGuardName);
  if (guard) {
    DWORD r = ::WaitForSingleObject(guard, 0);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) {
      ::CloseHandle(guard);
      return false;  // a live server holds it
    }
  }
  // Without a guard at all (creation failed) the start goes on, as it
  // always has without its semaphore.
  m.guard = guard;
  m.semaphore = ::CreateSemaphoreW(nullptr, 0, 1, suite::kInfoServerSemaphore);
  return true;
}

void ReleaseServerGuard(ModuleState& m) {
  if (m.semaphore) ::CloseHandle(m.semaphore);
  m.semaphore = nullptr;
  if (m.guard) {
    ::ReleaseMutex(m.guard);
    ::CloseHandle(m.guard);
  }
  m.guard = nullptr;
}

void ReleaseResources(ModuleState& m) {
  if (m.resourceLibraryLoaded) appkit::FreeResourceModule(m.resources);
  m.resourceLibraryLoaded = false;
  m.resources = nullptr;
  SetTextModules(m.resources, m.module);
}

// A start that cannot go on says why: in a message box when someone started
// the program, on the debugger's output when it was started unattended
// ("-Startup"), where a message box would wait for no one.
void ReportStartFailure(const ModuleState& m, const std::string& text) {
  if (m.startup) {
    ::OutputDebugStringA((text + "\n").c_str());
    return;
  }
  std::string title = Str(IDS_SYSTEM_INFORMATION);
  ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONSTOP);
}

// The module's directory cannot hold the information files: no server, and
// "ModulePath" no longer names a directory of a server that is gone.
void RefuseStart(ModuleState& m) {
  m.startRefused = true;
  ReleaseServerGuard(m);
  appkit::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, KEY_SET_VALUE)) key.DeleteValue(suite::kModulePathValue);
  std::string dir = appkit::Narrow(m.moduleDir);
  ReportStartFailure(m, FormatA(Str(IDS_DIRECTORY_TOO_LONG).c_str(), dir.c_str(), (unsigned)dir.size(),
                                (unsigned)InfoDirectoryMax()));
}

void CALLBACK WatchForServer(HWND, UINT, UINT_PTR, DWORD) {
  ModuleState& m = Module();
  if (m.controls <= 0 || m.guard || m.starting || m.startRefused) return;
  if (::FindWindowW(nullptr, suite::kInfoServerTitle)) return;
  StartQuorrelServer(m.module);
}

}  // namespace

bool StartQuorrelServer(HMODULE module) {
  ModuleState& m = Module();
  if (m.guard || m.serverCreated || m.starting || m.startRefused) return false;
  // A server whose window is up runs, whether or not it keeps our guard.
  if (::FindWindowW(nullptr, suite::kInfoServerTitle)) return false;
  if (!TakeServerGuard(m)) return false;
  m.starting = true;
  m.showWnd = 0;
  m.startup = 0;

  const char* cmd = ::GetCommandLineA();
  ScanModuleSwitches(cmd ? cmd : "", &m.showWnd, &m.startup);

  m.module = module;
  SetTextModules(m.resources, m.module);
  m.modulePath = appkit::ModulePath(module);
  m.moduleDir = DirectoryOf(m.modulePath);
  // Every information file's path must fit its request record; a server
  // that could not name its files does not start.
  if (!InfoDirectoryFits(m.moduleDir)) {
    RefuseStart(m);
    m.starting = false;
    return false;
  }
  // What the writers of a server that died left behind.
  RemoveLeftoverTempFiles(m.moduleDir);

  BindRuntimeLibraries(m);
  ReadSystemDirectories(m);

  ReleaseResources(m);
  HINSTANCE res = appkit::LoadResourceModule(appkit::ResourceModulePathFor(m.modulePath));
  m.resourceLibraryLoaded = res != nullptr;
  m.resources = res ? res : module;
  SetTextModules(m.resources, m.module);

  if (appkit::IsWindows9x()) BindSystemAccessLibrary(m);

  ReadSummarySwitches(m.switches);
  SetMessageBoxTitle(Str(IDS_SYSTEM_INFORMATION));

  g_server.reset(new CQuorrelServerDlg(m.resources, m.moduleDir, m.system, &ServerWindowClosed));
  if (!g_server->CreateModeless(nullptr)) {
    // No server: the guard goes, so that another module may run one.
    g_server.reset();
    m.startRefused = true;
    ReleaseServerGuard(m);
    m.starting = false;
    return false;
  }
  m.serverCreated = true;
  appkit::RegWriteString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, m.moduleDir);
  ::ShowWindow(g_server->hwnd(), m.showWnd ? SW_SHOW : SW_HIDE);
  m.starting = false;
  return true;
}

void ServerWindowClosed() {
  ModuleState& m = Module();
  m.serverCreated = false;
  ReleaseServerGuard(m);
}

void StopQuorrelServer() {
  ModuleState& m = Module();
  if (g_server) {
    if (m.serverCreated && g_server->hwnd()) ::SendMessageW(g_server->hwnd(), WM_CLOSE, 0, 0);
    g_server.reset();
  }
  ServerWindowClosed();
  m.vexholm = nullptr;
  m.system = SystemBindings();
  // Every worker has ended by now: the resource library can go.
  ReleaseResources(m);
}

void AttachQuorrelControl(HMODULE module) {
  ModuleState& m = Module();
  if (m.controls++ == 0) {
    m.module = module;
    SetTextModules(m.resources, m.module);
    m.startRefused = false;
    m.watchTimer = ::SetTimer(nullptr, 0, kWatchMs, &WatchForServer);
  }
  StartQuorrelServer(module);
}

void DetachQuorrelControl() {
  ModuleState& m = Module();
  if (m.controls <= 0 || --m.controls > 0) return;
  if (m.watchTimer) ::KillTimer(nullptr, m.watchTimer);
  m.watchTimer = 0;
  StopQuorrelServer();
}

}  // namespace quorrel
