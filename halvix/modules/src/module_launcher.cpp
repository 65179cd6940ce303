#include "modules/module_launcher.h"

#include <algorithm>

#include "appkit/paths.h"
#include "appkit/system.h"
#include "appkit/text.h"

namespace halvix {

namespace {

constexpr DWORD kIdleWaitMs = 5000;

// The texts as the main program's string table has them; used when the
// table at hand lacks one.
const wchar_t* DefaultText(UINT id) {
  switch (id) {
    case IDS_CANNOT_START_MODULE: return L"Can not start selected module.";
    case IDS_CANNOT_FIND_FILE: return L"Can not find %s.";
    case IDS_CLOSE_ALL_MODULES: return L"Please close all running modules.";
    case IDS_CLEANUP_PROGRAM: return L"brisko.mod";
    case IDS_CLOSE_CLEANUP_FIRST: return L"Please close Cleanup module first.";
    default: return L"";
  }
}

// The line CreateProcess gets: the program path quoted when it holds a
// blank and is not quoted yet, then the arguments unchanged.
std::wstring QuotedCommandLine(const std::wstring& cmdLine, const std::wstring& path) {
  if (!cmdLine.empty() && cmdLine[0] == L'"') return cmdLine;
  if (path.find(L' ') == std::wstring::npos) return cmdLine;
  return L"\"" + path + L"\"" + cmdLine.substr(path.size());
}

bool StartProcess(const std::wstring& path, const std::wstring& cmdLine, PROCESS_INFORMATION* pi) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::vector<wchar_t> line(cmdLine.begin(), cmdLine.end());
  line.push_back(L'\0');
  *pi = PROCESS_INFORMATION{};
  return ::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != FALSE;
}

}  // namespace

ModuleLauncher::ModuleLauncher(HWND host, UINT diagMessage, const std::wstring& programDir,
                               const std::wstring& appName, HINSTANCE strings)
    : host_(host), diagMessage_(diagMessage), dir_(programDir), appName_(appName), strings_(strings) {}

ModuleLauncher::~ModuleLauncher() {
  for (auto& r : records_) CloseRecord(*r);
}

std::wstring ModuleLauncher::Text(UINT id) const {
  std::wstring s = appkit::LoadStr(id, strings_);
  return s.empty() ? DefaultText(id) : s;
}

bool ModuleLauncher::IsAlive(const ModuleRecord& r) {
  DWORD code = 0;
  return r.thread && ::GetExitCodeThread(r.thread, &code) && code == STILL_ACTIVE;
}

void ModuleLauncher::CloseRecord(ModuleRecord& r) {
  if (r.process) ::CloseHandle(r.process);
  if (r.thread) ::CloseHandle(r.thread);
  r.process = r.thread = nullptr;
}

void ModuleLauncher::Beep() { ::MessageBeep(0xFFFFFFFF); }

void ModuleLauncher::PostToModule(DWORD threadId, WPARAM code, LPARAM lp) {
  ::PostThreadMessageW(threadId, diagMessage_, code, lp);
}

void ModuleLauncher::ShowHostMessage(const std::wstring& text, UINT icon) {
  ::MessageBoxW(host_, text.c_str(), appName_.c_str(), MB_OK | icon);
}

void ModuleLauncher::ShowAppMessage(UINT id) {
  ::MessageBoxW(nullptr, Text(id).c_str(), appName_.c_str(), MB_OK);
}

void ModuleLauncher::PostProtocolStart(const PROCESS_INFORMATION& pi, bool withStart) {
  if (!diagMessage_) return;
  // A module slow to become idle gets the messages anyway: they wait in its
  // thread's queue.
  appkit::WaitForInputReady(pi.hProcess, pi.dwThreadId, kIdleWaitMs);
  PostToModule(pi.dwThreadId, suite::DiagHostWindow, reinterpret_cast<LPARAM>(host_));
  if (withStart) PostToModule(pi.dwThreadId, suite::DiagStart, static_cast<LPARAM>(pi.dwProcessId));
}

int ModuleLauncher::LaunchModule(const std::wstring& cmdLine, int kind) {
  std::wstring path = ProgramPathOf(cmdLine);
  if (!appkit::FileExists(path)) {
    std::wstring fmt = Text(IDS_CANNOT_FIND_FILE);
    std::wstring name = appkit::FileNamePart(path);
    size_t at = fmt.find(L"%s");
    if (at != std::wstring::npos) fmt.replace(at, 2, name);
    ShowHostMessage(fmt, MB_ICONEXCLAMATION);
    return 0;
  }
  auto record = std::make_unique<ModuleRecord>();
  PROCESS_INFORMATION pi{};
  if (!StartProcess(path, QuotedCommandLine(cmdLine, path), &pi)) {
    ShowHostMessage(Text(IDS_CANNOT_START_MODULE), MB_ICONEXCLAMATION);
    return 0;
  }
  record->process = pi.hProcess;
  record->thread = pi.hThread;
  record->processId = pi.dwProcessId;
  record->threadId = pi.dwThreadId;
  record->kind = kind;
  records_.push_back(std::move(record));
  if (kind != suite::ModuleKindDosTest) PostProtocolStart(pi, true);
  return 1;
}

const ModuleRecord* ModuleLauncher::FirstLive(bool (*match)(const ModuleRecord&, int), int kind) const {
  // Without the registered message nothing counts as running.
  if (!diagMessage_) return nullptr;
  for (auto& r : records_)
    if (match(*r, kind) && IsAlive(*r)) return r.get();
  return nullptr;
}

bool ModuleLauncher::IsModuleKindRunning(int kind) {
  const ModuleRecord* r = FirstLive([](const ModuleRecord& r, int k) { return r.kind == k; }, kind);
  if (!r) return false;
  PostToModule(r->threadId, suite::DiagActivate, 0);
  Beep();
  return true;
}

bool ModuleLauncher::IsExclusiveModuleRunning() {
  if (!FirstLive([](const ModuleRecord& r, int) {
        return r.kind == suite::ModuleKindDosTest || r.kind == suite::ModuleKindCleanup;
      }, 0))
    return false;
  Beep();
  return true;
}

bool ModuleLauncher::IsAnyModuleRunning() {
  if (!FirstLive([](const ModuleRecord&, int) { return true; }, 0)) return false;
  Beep();
  return true;
}

std::vector<int> ModuleLauncher::LiveKinds() const {
  std::vector<int> live;
  if (!diagMessage_) return live;
  for (auto& r : records_)
    if (IsAlive(*r)) live.push_back(r->kind);
  return live;
}

bool ModuleLauncher::MayStart(GuardedCommand cmd, int ownKind) {
  Refusal verdict = DecideRefusal(cmd, ownKind, LiveKinds());
  if (!verdict.refused) return true;
  if (verdict.activateKind >= 0) {
    // The same walk as IsModuleKindRunning: the first live one of the kind.
    IsModuleKindRunning(verdict.activateKind);
  } else {
    Beep();
  }
  if (verdict.messageId) ShowAppMessage(verdict.messageId);
  return false;
}

int ModuleLauncher::StartModuleCommand(const std::wstring& cmdLine, int kind) {
  if (!MayStart(GuardedCommand::Module, kind)) return 0;
  return LaunchModule(cmdLine, kind);
}

int ModuleLauncher::OnDiagDone(WPARAM result, LPARAM cookie) {
  if (!cookie) return 0;
  int gone = 0;
  for (auto it = records_.begin(); it != records_.end();) {
    if ((*it)->processId == static_cast<DWORD>(cookie)) {
      CloseRecord(**it);
      it = records_.erase(it);
      ++gone;
    } else {
      ++it;
    }
  }
  return gone;
}

void ModuleLauncher::CloseAll() {
  while (!records_.empty()) {
    ModuleRecord& r = *records_.back();
    if (diagMessage_ && IsAlive(r)) PostToModule(r.threadId, suite::DiagClose, 0);
    CloseRecord(r);
    records_.pop_back();
  }
}

bool ModuleLauncher::StartReportWizard() {
  std::wstring path = dir_ + L"Tamblet.MOD";
  PROCESS_INFORMATION pi{};
  if (!StartProcess(path, L"\"" + path + L"\"", &pi)) {
    ShowHostMessage(Text(IDS_CANNOT_START_MODULE), MB_ICONEXCLAMATION);
    return false;
  }
  PostProtocolStart(pi, false);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return true;
}

}  // namespace halvix
