#include "serverdlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/system.h"
#include "appkit/threads.h"
#include "appkit/wndicon.h"
#include "format.h"
#include "gather.h"
#include "infosheet.h"
#include "mmdevices.h"
#include "resource.h"
#include "selftest.h"
#include "settings.h"
#include "smbios.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "texts.h"
#include "worker.h"

namespace quorrel {

namespace {
const UINT_PTR kDmiTimer = 10001;

// First line of a text file, at most `max` characters.
std::string FirstLine(const std::wstring& path, size_t max) {
  FILE* f = ::_wfopen(path.c_str(), L"rt");
  if (!f) return {};
  char buf[512] = {};
  std::string line;
  if (std::fgets(buf, sizeof(buf), f)) line = buf;
  std::fclose(f);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.size() > max) line.resize(max);
  return line;
}
}  // namespace

CQuorrelServerDlg::CQuorrelServerDlg(HINSTANCE resources, const std::wstring& moduleDir, const SystemBindings& system,
                                     std::function<void()> closed)
    : appkit::Dialog(IDD_QUORREL_SERVER, resources),
      moduleDir_(moduleDir),
      system_(system),
      closed_(std::move(closed)),
      resources_(resources) {
  icon_ = ::LoadIconW(resources, MAKEINTRESOURCEW(IDI_QUORREL));
  appkit::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, suite::kTressalSettingKey)) {
    for (unsigned c = 0; c < suite::INFO_CATEGORY_COUNT; ++c) {
      char value[39] = {};
      DWORD size = sizeof(value);
      DWORD type = 0;
      if (::RegQueryValueExA(key.get(), suite::kInfoFileBase[c], nullptr, &type, reinterpret_cast<BYTE*>(value),
                             &size) == ERROR_SUCCESS &&
          IsPrebuildValue(value, size))
        prebuild_[c] = 1;
    }
  }
}

CQuorrelServerDlg::~CQuorrelServerDlg() {
  if (hwnd()) OnClose();
  DestroySheets();
}

void CQuorrelServerDlg::CreateSheets() {
  if (!iniSheet_) {
    iniSheet_ = std::make_unique<CIni>(ResourceInstance(), hwnd(), WindowsDirectory(), SystemDirectory());
    if (!iniSheet_->CreateHidden()) iniSheet_.reset();
  }
  if (!infoSheet_) {
    infoSheet_ = std::make_unique<CTest>(ResourceInstance(), hwnd(), moduleDir_, &dmiLine_);
    if (!infoSheet_->CreateHidden()) infoSheet_.reset();
  }
}

// The pages' readers are joined before the sheets go.
void CQuorrelServerDlg::DestroySheets() {
  infoSheet_.reset();
  iniSheet_.reset();
}

BOOL CQuorrelServerDlg::OnInit() {
  ::SetWindowTextW(hwnd(), suite::kInfoServerTitle);
  requestMsg_ = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  selfTestMsg_ = ::RegisterWindowMessageW(suite::kQuorrelMessage2);
  monitorMsg_ = ::RegisterWindowMessageW(suite::kDrelmakMessage);
  OpenInfoMutex();
  dmiLine_.clear();
  StartDmiCheck();
  if (icon_) appkit::SetWindowIcons(hwnd(), resources_, IDI_QUORREL);
  PrepareGatherers(system_.getQuorrel, moduleDir_);
  CreateDmiSheet();
  CreateSheets();
  if (requestMsg_) ::PostMessageW(hwnd(), requestMsg_, suite::INFO_REPLY_READY, 0);
  BuildMciDeviceList();
  return TRUE;
}

void CQuorrelServerDlg::StartDmiCheck() {
  std::wstring txt = moduleDir_ + L"pludor.txt";
  bool deleted = true;
  if (appkit::FileExists(txt)) deleted = ::DeleteFileW(txt.c_str()) != FALSE;
  if (!appkit::IsWindows9x()) {
    if (DumpSmbiosText(1, 0, moduleDir_) == 0) dmiLine_ = FirstLine(txt, 159);
    return;
  }
  std::wstring pif = moduleDir_ + L"pludor.pif";
  if (!deleted || !appkit::FileExists(pif)) return;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + pif + L"\"";
  if (!::CreateProcessW(pif.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, moduleDir_.c_str(), &si, &pi))
    return;
  ::CloseHandle(pi.hThread);
  checker_ = pi.hProcess;
  checkerTicks_ = 0;
  ::SetTimer(hwnd(), kDmiTimer, 500, nullptr);
}

void CQuorrelServerDlg::OnTimer(UINT_PTR id) {
  if (id != kDmiTimer) return;
  ++checkerTicks_;
  DWORD code = STILL_ACTIVE;
  if (checker_ && ::GetExitCodeProcess(checker_, &code) && code != STILL_ACTIVE) {
    ::KillTimer(hwnd(), kDmiTimer);
    ::CloseHandle(checker_);
    checker_ = nullptr;
    dmiLine_ = FirstLine(moduleDir_ + L"pludor.txt", 159);
    BringMainWindowToFront();
    return;
  }
  if (checkerTicks_ >= 6 || !checker_) {
    ::KillTimer(hwnd(), kDmiTimer);
    if (checker_) {
      ::TerminateProcess(checker_, 0);
      ::CloseHandle(checker_);
    }
    checker_ = nullptr;
  }
}

bool CQuorrelServerDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      // Enter and Esc neither close nor hide the server.
      return true;
    case IDC_SHOW_QUORREL:
      if (infoSheet_) infoSheet_->Show();
      return true;
    case IDC_HIDE_QUORREL:
      if (infoSheet_) infoSheet_->Hide();
      return true;
    case IDC_SHOW_INI:
      if (iniSheet_) iniSheet_->Show();
      return true;
    case IDC_HIDE_INI:
      if (iniSheet_) iniSheet_->Hide();
      return true;
    case IDC_SHOW_DMI:
    case IDC_SHOW_DMI_FROM_PAGE:
      ShowDmiSheet();
      return true;
    case IDC_HIDE_DMI:
      HideDmiSheet();
      return true;
    default:
      return false;
  }
}

bool CQuorrelServerDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (requestMsg_ && msg == requestMsg_) {
    *result = 1;
    uint32_t word = (uint32_t)lp;
    switch (word) {
      case suite::INFO_CMD_SHOW_DMI: {
        HWND caller = reinterpret_cast<HWND>(wp);
        if (dmiSheet_ && !dmiSheet_->StatusText().empty() && caller && ::IsWindow(caller))
          ::MessageBoxA(caller, dmiSheet_->StatusText().c_str(), "", MB_ICONEXCLAMATION);
        else
          ShowDmiSheet();
        return true;
      }
      case suite::INFO_CMD_HIDE_DMI:
        HideDmiSheet();
        return true;
      case suite::INFO_CMD_SHOW_SHEET:
        if (infoSheet_) infoSheet_->Show();
        return true;
      case suite::INFO_CMD_HIDE_SHEET:
        if (infoSheet_) infoSheet_->Hide();
        return true;
      case suite::INFO_CMD_SHOW_INI:
        if (iniSheet_) iniSheet_->Show();
        return true;
      default:
        break;
    }
    if (wp == suite::INFO_REPLY_READY || wp == suite::INFO_REPLY_FAILED) {
      AdvancePrebuildChain();
      return true;
    }
    HWND client = reinterpret_cast<HWND>(wp);
    if (!closing_ && IsValidRequest(::IsWindow(client) != FALSE, word)) HandleRequest(client, word);
    return true;
  }
  if (selfTestMsg_ && msg == selfTestMsg_) {
    // The processor self-tests run here, inside the sender's SendMessage;
    // 0 is the client's probe.
    *result = wp == 0 ? 0 : (LRESULT)RunProcessorSelfTest((unsigned)wp, system_);
    return true;
  }
  // Minimised, the window shows its icon and gives it as its drag icon.
  return appkit::HandleMinimisedIcon(hwnd(), icon_, msg, result);
}

void CQuorrelServerDlg::CreateDmiSheet() {
  if (dmiSheet_) return;
  HINSTANCE res = ResourceInstance();
  auto sheet = std::make_unique<CDMI>(res, appkit::Widen(Str(IDS_DMI_INFORMATION)), moduleDir_);
  if (sheet->Create(hwnd())) dmiSheet_ = std::move(sheet);
}

void CQuorrelServerDlg::ShowDmiSheet() {
  if (!dmiSheet_ || !dmiSheet_->hwnd()) return;
  HWND sheet = dmiSheet_->hwnd();
  ::ShowWindow(sheet, SW_SHOW);
  ::SetWindowPos(sheet, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowPos(sheet, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(sheet);
  // The current page shows its lines anew.
  dmiSheet_->ActivatePage(dmiSheet_->ActivePage() < 0 ? 0 : dmiSheet_->ActivePage());
}

void CQuorrelServerDlg::HideDmiSheet() {
  if (dmiSheet_ && dmiSheet_->hwnd()) ::ShowWindow(dmiSheet_->hwnd(), SW_HIDE);
}

void CQuorrelServerDlg::AdvancePrebuildChain() {
  prebuildCursor_ = NextPrebuildCategory(prebuild_, prebuildCursor_);
  if (prebuildCursor_ < 16) {
    char text[64];
    std::snprintf(text, sizeof(text), "Updating page #%d\n", prebuildCursor_);
    ::OutputDebugStringA(text);
    ::PostMessageW(hwnd(), requestMsg_, reinterpret_cast<WPARAM>(hwnd()), prebuildCursor_);
  }
}

void CQuorrelServerDlg::HandleRequest(HWND client, uint32_t categoryWord) {
  ReapWorkers();
  unsigned category = categoryWord & ~suite::INFO_REQUEST_REUSE;
  auto* req = static_cast<InfoRequest*>(std::calloc(1, sizeof(InfoRequest)));
  if (!req) return;
  if (!BuildInfoPath(moduleDir_, category, req->path, sizeof(req->path) / sizeof(req->path[0]))) {
    std::free(req);
    return;
  }
  req->clientWindow = client;
  req->category = categoryWord;
  req->summaryFlag = 0;
  req->replyMessage = requestMsg_;
  req->monitorMessage = monitorMsg_;
  size_t n = dmiLine_.size() < 159 ? dmiLine_.size() : 159;
  std::memcpy(req->dmiLine, dmiLine_.data(), n);
  req->dmiLine[n] = 0;
  req->softwareList = Item(IDC_SOFTWARE_LIST);
  ReadSummarySwitches(req->switches);
  req->system = system_;
  HANDLE thread = ::CreateThread(nullptr, 0, &GatherCategoryThread, req, CREATE_SUSPENDED, nullptr);
  if (!thread) {
    std::free(req);
    return;
  }
  ::SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
  workers_.push_back(thread);
  ::ResumeThread(thread);
}

void CQuorrelServerDlg::ReapWorkers() { appkit::CloseFinishedThreads(&workers_); }

size_t CQuorrelServerDlg::RunningWorkers() {
  ReapWorkers();
  return workers_.size();
}

// Waits for every worker while still answering messages sent to this thread
// (a writer may send to windows of this thread, such as the software list).
void CQuorrelServerDlg::JoinWorkers() {
  for (HANDLE h : workers_) {
    appkit::JoinServingSentMessages(h);
    ::CloseHandle(h);
  }
  workers_.clear();
}

void CQuorrelServerDlg::OnClose() {
  if (closing_) return;
  closing_ = true;
  // The sheets' readers end before the workers and the mutex go.
  DestroySheets();
  // Workers that still wait for the mutex give up; the others finish their
  // file. Only then do the mutex and the gatherers' libraries go.
  SignalWorkersToStop();
  JoinWorkers();
  CloseInfoMutex();
  dmiSheet_.reset();
  ::KillTimer(hwnd(), kDmiTimer);
  if (checker_) {
    ::TerminateProcess(checker_, 0);
    ::CloseHandle(checker_);
    checker_ = nullptr;
  }
  Destroy();
  ShutdownGatherers();
  // However the window was closed, the machine may have a server again.
  if (closed_) closed_();
}

}  // namespace quorrel
