#include "infosheet.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "appkit/system.h"
#include "appkit/text.h"
#include "resource.h"
#include "sheet_ids.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "texts.h"

namespace quorrel {

namespace {
constexpr UINT_PTR kWaitTimer = 1001;
// The server's writers give up their mutex wait after 15 s; so do readers.
constexpr DWORD kReaderMutexWaitMs = 15000;
// Show the sheet in front of the windows of other programs.
void BringToFront(HWND hwnd) {
  ::ShowWindow(hwnd, SW_SHOW);
  ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(hwnd);
}
}  // namespace

// ---- Rules ---------------------------------------------------------------------

std::vector<int> InfoSheetCategories(bool windows9x) {
  std::vector<int> categories;
  for (int c = 0; c < (int)suite::INFO_CATEGORY_COUNT; ++c)
    if (windows9x || c < (int)suite::INFO_PCI || c > (int)suite::INFO_PORT) categories.push_back(c);
  return categories;
}

unsigned InfoSheetIconId(int category) {
  static const unsigned kIcons[suite::INFO_CATEGORY_COUNT] = {169, 163, 162, 168, 164, 172, 180, 138,
                                                              137, 153, 154, 139, 155, 177, 178, 204};
  return category >= 0 && category < (int)suite::INFO_CATEGORY_COUNT ? kIcons[category] : 0;
}

std::string HealthMonitorLine(long overLimit) {
  char buf[96];
  if (overLimit < 1) return "Hardware Corvith:\tOK";
  if (overLimit == 1) std::snprintf(buf, sizeof(buf), "Hardware Corvith:\t%ld input reaches limit.", overLimit);
  else std::snprintf(buf, sizeof(buf), "Hardware Corvith:\t%ld inputs reach limits.", overLimit);
  return buf;
}

int IniPageCount(bool windows9x) { return windows9x ? 5 : 6; }

bool IniFileFor(int index, bool windows9x, const std::string& windowsDir, const std::string& systemDir,
                IniFile* file) {
  switch (index) {
    case 0: *file = {"WIN.INI", windowsDir}; return true;
    case 1: *file = {"SYSTEM.INI", windowsDir}; return true;
    case 2: *file = {"AUTOEXEC.BAT", "C:\\"}; return true;
    case 3: *file = {"CONFIG.SYS", "C:\\"}; return true;
    case 4: *file = windows9x ? IniFile{"PROTOCOL.INI", windowsDir} : IniFile{"AUTOEXEC.NT", systemDir}; return true;
    case 5:
      if (windows9x) return false;
      *file = {"CONFIG.NT", systemDir};
      return true;
    default:
      return false;
  }
}

std::string NotepadCommandLine(const std::string& path) {
  if (path.empty()) return {};
  // Quoted: a path with blanks is one argument.
  std::string cmd = "NOTEPAD.EXE \"" + path + "\"";
  return cmd.size() <= 255 ? cmd : std::string();
}

bool ReadIniLines(const std::wstring& path, std::vector<std::string>* lines) {
  lines->clear();
  FILE* f = ::_wfopen(path.c_str(), L"rt");
  if (!f) return false;
  char buf[1024];
  while (std::fgets(buf, sizeof(buf), f)) {
    size_t n = std::strlen(buf);
    if (n && buf[n - 1] == '\n') buf[--n] = 0;
    lines->push_back(buf);
  }
  std::fclose(f);
  return true;
}

namespace {
std::string Folder(UINT (WINAPI *query)(LPSTR, UINT)) {
  char buf[MAX_PATH + 1] = {};
  UINT n = query(buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string dir(buf, n);
  if (dir.back() != '\\') dir += '\\';
  return dir;
}
}  // namespace

std::string WindowsDirectory() { return Folder(&::GetWindowsDirectoryA); }
std::string SystemDirectory() { return Folder(&::GetSystemDirectoryA); }

// ---- Information page ----------------------------------------------------------

CTestInfo::CTestInfo(CTest& sheet, int category, HINSTANCE resources)
    : appkit::SheetPage(IDD_QUORREL_INFO_PAGE, resources),
      sheet_(sheet),
      category_(category),
      list_(L"Software\\Qev"),
      client_((unsigned)category, category >= 0 && category < (int)suite::INFO_CATEGORY_COUNT
                                      ? suite::kInfoFileBase[category]
                                      : "") {
  client_.SetMutexWait(kReaderMutexWaitMs);
  client_.OnWaitChanged([this](bool on) {
    if (hwnd()) ShowWaitProgress(on);
  });
}

CTestInfo::~CTestInfo() {
  client_.Detach();
  Destroy();
}

void CTestInfo::AttachClient() {
  // Straight to the server's own window, mutex (opened by each reader) and
  // directory.
  client_.Attach(hwnd(), List(), sheet_.RequestMessage(), nullptr, sheet_.InfoDir(),
                 Str(IDS_QINFO_LAST_UPDATED));
}

BOOL CTestInfo::OnInit() {
  if (!list_.hwnd()) list_.Attach(hwnd(), IDC_QINFO_LIST);
  SendItem(IDC_QINFO_LIST, LB_INITSTORAGE, 100, 10240);
  std::vector<int> stops = ctlfw::InfoCategoryTabStops(category_);
  list_.SetTabStops((int)stops.size(), stops.data());
  AttachClient();
  ShowWaitProgress(false);
  initialised_ = true;
  return TRUE;
}

void CTestInfo::Close() {
  client_.Detach();
  if (hwnd()) ShowWaitProgress(false);
  initialised_ = false;
}

void CTestInfo::ShowWaitProgress(bool on) {
  if (on) {
    ::SetTimer(hwnd(), kWaitTimer, 200, nullptr);
    SendItem(IDC_QINFO_PROGRESS, PBM_SETPOS, 10);
  } else {
    ::KillTimer(hwnd(), kWaitTimer);
    SendItem(IDC_QINFO_PROGRESS, PBM_SETPOS, 100);
    ::UpdateWindow(Item(IDC_QINFO_PROGRESS));
  }
  ShowItem(IDC_QINFO_PROGRESS, on);
  ShowItem(IDC_QINFO_LOADING, on);
}

BOOL CTestInfo::OnSetActive() {
  ShowItem(IDC_QINFO_ICON, true);
  ShowItem(IDC_QINFO_TEXT, true);
  reading_ = false;
  bool bios = category_ == suite::INFO_BIOS;
  if (!icon_) {
    description_ = appkit::LoadStr(IDS_QINFO_TEXT_BASE + (UINT)category_, sheet_.Resources());
    icon_ = ::LoadIconW(sheet_.Resources(), MAKEINTRESOURCEW(InfoSheetIconId(category_)));
    EnableItem(IDC_QINFO_DMI, bios && sheet_.DmiAvailable());
  }
  if (icon_) SendItem(IDC_QINFO_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon_));
  if (!description_.empty()) SetItemText(IDC_QINFO_TEXT, description_);
  ShowItem(IDC_QINFO_DMI, bios);
  if (sheet_.TakeFirstActivation()) return TRUE;
  AttachClient();
  if (!client_.Waiting()) client_.Request(true);
  return TRUE;
}

BOOL CTestInfo::OnKillActive() {
  if (client_.Waiting()) return FALSE;
  SendItem(IDC_QINFO_LIST, LB_RESETCONTENT);
  ShowItem(IDC_QINFO_ICON, false);
  ShowItem(IDC_QINFO_TEXT, false);
  return TRUE;
}

bool CTestInfo::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_QINFO_REFRESH) {
    AttachClient();
    client_.Request(false);
    return true;
  }
  if (id == IDC_QINFO_DMI) {
    // The server brings its DMI sheet to the front.
    ::PostMessageW(sheet_.Server(), WM_COMMAND, 1050, 0);
    return true;
  }
  return appkit::SheetPage::OnCommand(id, code, ctl);
}

void CTestInfo::OnTimer(UINT_PTR id) {
  if (id != kWaitTimer) return;
  LRESULT previous = SendItem(IDC_QINFO_PROGRESS, PBM_DELTAPOS, 2);
  if (previous >= 100) SendItem(IDC_QINFO_PROGRESS, PBM_SETPOS, ctlfw::NextWaitProgress((int)previous));
  client_.OnWaitTick();
}

bool CTestInfo::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  UINT request = sheet_.RequestMessage();
  if (request && msg == request) {
    if (wp == suite::INFO_REPLY_READY && (uint32_t)lp == (uint32_t)category_) reading_ = true;
    client_.HandleMessage(msg, wp, lp, result);
    if (wp == suite::INFO_REPLY_LOADED && (uint32_t)lp == (uint32_t)category_) {
      reading_ = false;
      if (!extra_.empty()) {
        std::wstring line = appkit::Widen(extra_);
        SendItem(IDC_QINFO_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
      }
    }
    *result = 1;
    return true;
  }
  if (msg == sheet_.MonitorMessage() && msg && wp == 1 && category_ == suite::INFO_SUMMARY) {
    extra_ = HealthMonitorLine((long)lp);
    if (!reading_) {
      std::wstring line = appkit::Widen(extra_);
      SendItem(IDC_QINFO_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    return false;
  }
  if (msg == WM_SETCURSOR && client_.Waiting()) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    *result = TRUE;
    return true;
  }
  if (ctlfw::ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

// ---- Information sheet -----------------------------------------------------------

CTest::CTest(HINSTANCE resources, HWND server, const std::wstring& infoDir, const std::string* dmiLine)
    : appkit::TabbedSheet(appkit::LoadStr(IDS_SYSTEM_INFORMATION, resources), resources),
      resources_(resources),
      server_(server),
      infoDir_(infoDir),
      dmiLine_(dmiLine) {
  requestMsg_ = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  monitorMsg_ = ::RegisterWindowMessageW(suite::kDrelmakMessage);
  // All sixteen pages exist; on Windows NT the bus and port pages are left
  // out of the sheet.
  std::vector<int> shown = InfoSheetCategories(appkit::IsWindows9x());
  for (int c = 0; c < (int)suite::INFO_CATEGORY_COUNT; ++c) {
    pages_.push_back(std::make_unique<CTestInfo>(*this, c, resources));
    for (int s : shown)
      if (s == c) AddPage(pages_.back().get());
  }
}

CTest::~CTest() {
  for (auto& page : pages_) page->Close();
  Destroy();
}

bool CTest::CreateHidden() { return Create(server_, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0); }

bool CTest::TakeFirstActivation() {
  bool first = firstActivation_;
  firstActivation_ = false;
  return first;
}

BOOL CTest::OnInit() {
  BOOL result = appkit::TabbedSheet::OnInit();
  if (HICON icon = ::LoadIconW(resources_, MAKEINTRESOURCEW(IDI_QUORREL_INFO_SHEET)))
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  for (int i = 0; i < PageCount(); ++i) {
    auto* page = static_cast<CTestInfo*>(Page(i));
    std::wstring text = appkit::LoadStr(IDS_QINFO_TAB_BASE + (UINT)page->Category(), resources_);
    if (text.empty()) continue;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    ::SendMessageW(TabControl(), TCM_SETITEMW, (WPARAM)i, reinterpret_cast<LPARAM>(&item));
  }
  return result;
}

bool CTest::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) {
    // Closing the sheet only hides it; it lives as long as the server.
    Hide();
    *result = TRUE;
    return true;
  }
  return appkit::TabbedSheet::OnMessage(msg, wp, lp, result);
}

void CTest::Show() {
  if (!hwnd()) return;
  BringToFront(hwnd());
  if (ActiveIndex() < 0) SetActivePage(0);
  else if (appkit::SheetPage* page = ActivePage()) page->OnSetActive();
}

void CTest::Hide() {
  if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

// ---- Configuration-file page -------------------------------------------------------

CINIInfo::CINIInfo(CIni& sheet, int index, HINSTANCE resources)
    : appkit::SheetPage(IDD_QUORREL_INI_PAGE, resources), sheet_(sheet), index_(index), list_(L"Software\\Qev") {}

CINIInfo::~CINIInfo() { Destroy(); }

BOOL CINIInfo::OnInit() {
  if (!list_.hwnd()) list_.Attach(hwnd(), IDC_QINI_LIST);
  if (HICON icon = ::LoadIconW(sheet_.Resources(), MAKEINTRESOURCEW(IDI_QUORREL_INI)))
    SendItem(IDC_QINI_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon));
  return TRUE;
}

BOOL CINIInfo::OnSetActive() {
  Load();
  return TRUE;
}

void CINIInfo::Load() {
  SendItem(IDC_QINI_LIST, LB_RESETCONTENT);
  IniFile file;
  if (!IniFileFor(index_, sheet_.Windows9x(), sheet_.WindowsDir(), sheet_.SystemDir(), &file)) {
    SetItemText(IDC_QINI_PATH, L"");
    ShowQuorrelMessage(Str(IDS_QINI_FAILED_TO_LOAD), 0);
    return;
  }
  std::string path = file.dir + file.name;
  SetItemText(IDC_QINI_PATH, appkit::Widen(path));
  std::vector<std::string> lines;
  std::wstring wpath = appkit::Widen(path);
  if (ReadIniLines(wpath, &lines)) {
    for (const std::string& line : lines) {
      std::wstring w = appkit::Widen(line);
      SendItem(IDC_QINI_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
    }
    return;
  }
  if (::GetFileAttributesW(wpath.c_str()) == INVALID_FILE_ATTRIBUTES)
    ShowQuorrelMessage(path + " " + Str(IDS_QINI_NOT_FOUND), 0);
  else
    ShowQuorrelMessage(Str(IDS_QINI_FAILED_TO_LOAD) + ": " + path, 0);
}

void CINIInfo::Edit() {
  std::string cmd = NotepadCommandLine(appkit::Narrow(ItemText(IDC_QINI_PATH)));
  if (cmd.empty()) return;
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    // The editor runs on its own.
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return;
  }
  ::MessageBoxA(hwnd(), Str(IDS_QINI_NOTEPAD_FAILED).c_str(), nullptr, MB_OK);
}

bool CINIInfo::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_QINI_REFRESH) {
    Load();
    return true;
  }
  if (id == IDC_QINI_EDIT) {
    Edit();
    return true;
  }
  return appkit::SheetPage::OnCommand(id, code, ctl);
}

bool CINIInfo::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (ctlfw::ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

// ---- Configuration-file sheet -------------------------------------------------------

CIni::CIni(HINSTANCE resources, HWND server, const std::string& windowsDir, const std::string& systemDir)
    : appkit::TabbedSheet(appkit::LoadStr(IDS_CONFIG_FILES, resources), resources),
      resources_(resources),
      server_(server),
      nine_(appkit::IsWindows9x()),
      windowsDir_(windowsDir),
      systemDir_(systemDir) {
  for (int i = 0; i < IniPageCount(nine_); ++i) {
    pages_.push_back(std::make_unique<CINIInfo>(*this, i, resources));
    AddPage(pages_.back().get());
  }
}

CIni::~CIni() { Destroy(); }

bool CIni::CreateHidden() { return Create(server_, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0); }

BOOL CIni::OnInit() {
  BOOL result = appkit::TabbedSheet::OnInit();
  if (HICON icon = ::LoadIconW(resources_, MAKEINTRESOURCEW(IDI_QUORREL_INI)))
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  for (int i = 0; i < PageCount(); ++i) {
    IniFile file;
    if (!IniFileFor(i, nine_, windowsDir_, systemDir_, &file)) continue;
    std::wstring text = appkit::Widen(file.name);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    ::SendMessageW(TabControl(), TCM_SETITEMW, (WPARAM)i, reinterpret_cast<LPARAM>(&item));
  }
  return result;
}

bool CIni::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) {
    Hide();
    *result = TRUE;
    return true;
  }
  return appkit::TabbedSheet::OnMessage(msg, wp, lp, result);
}

void CIni::Show() {
  if (!hwnd()) return;
  BringToFront(hwnd());
  // The active page reads its file again.
  if (ActiveIndex() < 0) SetActivePage(0);
  else if (appkit::SheetPage* page = ActivePage()) page->OnSetActive();
}

void CIni::Hide() {
  if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

}  // namespace quorrel
