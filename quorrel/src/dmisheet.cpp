#include "dmisheet.h"

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "appkit/paths.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "dmi_resource.h"
#include "settings.h"
#include "smbios.h"
#include "texts.h"

namespace quorrel {

namespace {

const UINT_PTR kDumpTimer = 10000;
// Ticks of 500 ms a Windows 9x dumper may run.
const int kDumperTicks = 10;

std::string Narrow(const std::wstring& s) { return appkit::Narrow(s); }

}  // namespace

// ---- Page -------------------------------------------------------------------

CDMIInfo::CDMIInfo(HINSTANCE res, CDMI* sheet, size_t pageIndex)
    : appkit::Dialog(IDD_DMI_PAGE, res), sheet_(sheet), page_(pageIndex) {}

const std::string& CDMIInfo::SectionName() const { return sheet_->Model().pages[page_].name; }

BOOL CDMIInfo::OnInit() {
  if (!list_.hwnd()) {
    list_.Attach(hwnd(), IDC_DMI_LIST);
    const int stops[4] = {170, 260, 350, 440};
    list_.SetTabStops(4, stops);
  }
  return TRUE;
}

void CDMIInfo::OnSetActive() {
  ShowItem(IDC_DMI_ICON, true);
  ShowItem(IDC_DMI_TITLE, true);
  if (!sheet_->Loaded()) return;
  const DmiPage& page = sheet_->Model().pages[page_];
  SendItem(IDC_DMI_INSTANCE, CB_RESETCONTENT);
  for (size_t i = 0; i < page.instances.size(); ++i)
    SendItem(IDC_DMI_INSTANCE, CB_ADDSTRING, 0, (LPARAM)std::to_wstring(i).c_str());
  SendItem(IDC_DMI_INSTANCE, CB_SETCURSEL, 0);
  bool choice = page.instances.size() > 1;
  ShowItem(IDC_DMI_INSTANCE, choice);
  EnableItem(IDC_DMI_INSTANCE, choice);
  HCURSOR old = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  if (!icon_) {
    icon_ = ::LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDI_DMI));
    if (icon_) SendItem(IDC_DMI_ICON, STM_SETICON, (WPARAM)icon_);
  }
  ShowSelectedInstance();
  ::SetCursor(old);
}

void CDMIInfo::OnKillActive() {
  SendItem(IDC_DMI_LIST, LB_RESETCONTENT);
  ShowItem(IDC_DMI_ICON, false);
  ShowItem(IDC_DMI_TITLE, false);
}

void CDMIInfo::ShowSelectedInstance() {
  SendItem(IDC_DMI_LIST, LB_RESETCONTENT);
  if (!sheet_->Loaded()) return;
  LRESULT sel = SendItem(IDC_DMI_INSTANCE, CB_GETCURSEL);
  DmiPageView view = ShowDmiInstance(sheet_->Model(), page_, sel == CB_ERR ? 0 : (size_t)sel, sheet_->Texts());
  if (!view.instanceChoice) {
    ShowItem(IDC_DMI_INSTANCE, false);
    EnableItem(IDC_DMI_INSTANCE, false);
  }
  SetItemText(IDC_DMI_TITLE, appkit::Widen(view.title));
  ::SendMessageW(Item(IDC_DMI_LIST), WM_SETREDRAW, FALSE, 0);
  for (const std::string& line : view.lines)
    SendItem(IDC_DMI_LIST, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(line).c_str());
  ::SendMessageW(Item(IDC_DMI_LIST), WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(Item(IDC_DMI_LIST), nullptr, TRUE);
}

bool CDMIInfo::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_DMI_INSTANCE && code == CBN_SELCHANGE) {
    ShowSelectedInstance();
    return true;
  }
  return id == IDOK || id == IDCANCEL;
}

bool CDMIInfo::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if ((msg == WM_DRAWITEM || msg == WM_MEASUREITEM) && ctlfw::ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

// ---- Sheet ------------------------------------------------------------------

CDMI::CDMI(HINSTANCE res, const std::wstring& caption, const std::wstring& dir)
    : appkit::Dialog(IDD_DMI_SHEET, res), res_(res), caption_(caption), dir_(dir) {
  texts_.loadFailed = Str(IDS_DMI_LOAD_FAILED);
  texts_.memoryTitle = Str(IDS_DMI_MEMORY_TITLE);
  texts_.controllerHeading = Str(IDS_DMI_CONTROLLER_HEADING);
  texts_.unknown = Str(IDS_DMI_UNKNOWN);
}

CDMI::~CDMI() {
  StopDump();
  // The pages are children of the sheet: they go with its window, while
  // their objects still live.
  Destroy();
}

bool CDMI::Create(HWND owner) { return CreateModeless(owner); }

BOOL CDMI::OnInit() {
  if (!caption_.empty()) ::SetWindowTextW(hwnd(), caption_.c_str());
  status_.clear();
  std::wstring file = dir_ + L"dmi.txt";
  if (appkit::FileExists(file) && !::DeleteFileW(file.c_str()))
    status_ += Str(IDS_DMI_DELETE_FAILED) + "(" + Narrow(file) + ")" + "\n";
  if (!appkit::IsWindows9x()) {
    DumpSmbiosText(0, 0, dir_);
    dumper_ = nullptr;
    ticks_ = 0;
    ::SetTimer(hwnd(), kDumpTimer, 500, nullptr);
  } else {
    std::wstring command = dir_ + L"dmi.pif";
    if (!appkit::FileExists(command)) {
      status_ += Str(IDS_DMI_FIND_FAILED) + Narrow(command) + "\n";
    } else {
      STARTUPINFOW si{};
      si.cb = sizeof(si);
      PROCESS_INFORMATION pi{};
      std::wstring cmd = L"\"" + command + L"\"";
      if (::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &pi)) {
        ::CloseHandle(pi.hThread);
        dumper_ = pi.hProcess;
        ticks_ = 0;
        ::SetTimer(hwnd(), kDumpTimer, 500, nullptr);
      } else {
        status_ += Str(IDS_DMI_START_FAILED) + "\n";
      }
    }
  }
  icon_ = ::LoadIconW(res_, MAKEINTRESOURCEW(IDI_DMI));
  if (icon_) ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, (LPARAM)icon_);
  return TRUE;
}

void CDMI::StopDump() {
  if (hwnd()) ::KillTimer(hwnd(), kDumpTimer);
  if (dumper_) {
    DWORD code = 0;
    if (::GetExitCodeProcess(dumper_, &code) && code == STILL_ACTIVE) ::TerminateProcess(dumper_, 0);
    ::CloseHandle(dumper_);
    dumper_ = nullptr;
  }
}

void CDMI::OnTimer(UINT_PTR id) {
  if (id != kDumpTimer) return;
  if (dumper_) {
    ++ticks_;
    DWORD code = 0;
    if (::GetExitCodeProcess(dumper_, &code) && code == STILL_ACTIVE) {
      if (ticks_ >= kDumperTicks) {
        StopDump();
        status_ += Str(IDS_DMI_ACCESS_FAILED) + "\n";
      }
      return;
    }
  }
  ::KillTimer(hwnd(), kDumpTimer);
  if (dumper_) ::CloseHandle(dumper_);
  dumper_ = nullptr;
  if (!ParseFile()) {
    BringMainWindowToFront();
    return;
  }
  BuildPages();
  loaded_ = true;
  ActivatePage(0);
  BringMainWindowToFront();
}

bool CDMI::ParseFile() {
  std::wstring file = dir_ + L"DMI.TXT";
  if (!appkit::FileExists(file)) {
    status_ += Str(IDS_DMI_FIND_FAILED) + Narrow(file) + "\n";
    return false;
  }
  std::ifstream in(file.c_str(), std::ios::binary);
  if (!in) {
    status_ += Str(IDS_DMI_OPEN_FAILED) + "(" + Narrow(file) + ")" + "\n";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  try {
    return ParseDmiLines(SplitDmiText(text.str()), &model_, &status_);
  } catch (const std::bad_alloc&) {
    model_ = DmiModel();
    status_ += texts_.loadFailed + "(" + Narrow(file) + ")" + "\n";
    return false;
  }
}

void CDMI::BuildPages() {
  HWND tabs = Item(IDC_DMI_TABS);
  for (size_t i = 0; i < model_.sectionCount; ++i) {
    auto page = std::make_unique<CDMIInfo>(res_, this, i);
    if (!page->CreateModeless(hwnd())) continue;
    std::wstring name = appkit::Widen(model_.pages[i].name);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = name.data();
    ::SendMessageW(tabs, TCM_INSERTITEMW, pages_.size(), (LPARAM)&item);
    pages_.push_back(std::move(page));
  }
  // Pages fill the tab control's display area, above it.
  RECT r{};
  ::GetWindowRect(tabs, &r);
  ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
  ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&r);
  for (auto& page : pages_)
    ::SetWindowPos(page->hwnd(), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

void CDMI::ActivatePage(int index) {
  if (index < 0 || index >= (int)pages_.size()) return;
  if (active_ >= 0 && active_ < (int)pages_.size()) {
    pages_[active_]->OnKillActive();
    if (active_ != index) ::ShowWindow(pages_[active_]->hwnd(), SW_HIDE);
  }
  active_ = index;
  HWND tabs = Item(IDC_DMI_TABS);
  if (::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) != index) ::SendMessageW(tabs, TCM_SETCURSEL, index, 0);
  ::ShowWindow(pages_[index]->hwnd(), SW_SHOW);
  pages_[index]->OnSetActive();
}

LRESULT CDMI::OnNotify(NMHDR* hdr) {
  if (hdr && hdr->idFrom == IDC_DMI_TABS && hdr->code == TCN_SELCHANGE)
    ActivatePage((int)::SendMessageW(hdr->hwndFrom, TCM_GETCURSEL, 0, 0));
  return 0;
}

bool CDMI::OnCommand(int id, int code, HWND ctl) {
  if (id == IDOK || id == IDCANCEL) {
    // The sheet is hidden, never closed: the dump stops.
    StopDump();
    ::ShowWindow(hwnd(), SW_HIDE);
    return true;
  }
  return false;
}

bool CDMI::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) {
    ::ShowWindow(hwnd(), SW_HIDE);
    *result = TRUE;
    return true;
  }
  return false;
}

}  // namespace quorrel
