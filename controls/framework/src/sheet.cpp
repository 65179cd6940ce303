#include "ctlfw/sheet.h"

#include <commctrl.h>

#include "appkit/text.h"
#include "ctlfw/runner.h"
#include "ctlfw/testinfo.h"
#include "ctlfw/testpage.h"
#include "suite/messages.h"

namespace ctlfw {

CTest::CTest(TestRunner& runner, std::unique_ptr<TestPage> testPage, bool withInfoPage)
    : appkit::TabbedSheet(runner.WideTitle(), runner.Resources()), runner_(runner), test_(std::move(testPage)) {
  if (withInfoPage || !test_) {
    for (int category : runner.InfoCategories()) {
      infos_.push_back(std::make_unique<CTestInfo>(runner, category));
      AddPage(infos_.back().get());
    }
  }
  if (test_) AddPage(test_.get());
  SetStartPage(test_ ? PageCount() - 1 : 0);
}

CTest::~CTest() {
  // The windows go while the page objects still live.
  Destroy();
  if (mutex_) ::CloseHandle(mutex_);
}

BOOL CTest::OnInit() {
  // The ids are known before the first page becomes active.
  quorrelMsg_ = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  quorrelMsg2_ = ::RegisterWindowMessageW(suite::kQuorrelMessage2);
  BOOL result = appkit::TabbedSheet::OnInit();
  HWND self = hwnd();
  ::SetWindowLongW(self, GWL_EXSTYLE, ::GetWindowLongW(self, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  // The server does not run: nullptr, readers then read without waiting.
  mutex_ = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, suite::kQuorrelMessage);
  // Tabs of pages that name their own text (a viewer's categories).
  for (auto& info : infos_) {
    UINT tabText = runner_.InfoLook(info->Category()).tabTextId;
    std::wstring text = tabText ? appkit::LoadStr(tabText, runner_.Resources()) : std::wstring();
    if (text.empty()) continue;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    ::SendMessageW(TabControl(), TCM_SETITEMW, (WPARAM)PageIndex(info.get()), reinterpret_cast<LPARAM>(&item));
  }
  if (HICON icon = ::LoadIconW(runner_.Resources(), MAKEINTRESOURCEW(runner_.ResourceIds().icon)))
    ::SendMessageW(self, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  if (HWND parent = ::GetParent(self)) {
    RECT rc{};
    ::GetClientRect(parent, &rc);
    ::SetWindowPos(self, nullptr, 2, 2, rc.right - 4, rc.bottom - 4, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return result;
}

void CTest::ClosePages() {
  for (auto& info : infos_) info->Close();
  if (test_) test_->StopTests();
  if (mutex_) ::CloseHandle(mutex_);
  mutex_ = nullptr;
}

}  // namespace ctlfw
