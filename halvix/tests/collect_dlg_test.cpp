// The collect-information dialog against a stand-in server window of this
// process: the sixteen requests in order with their texts, replies that are
// not "ready", the bar while the server is silent, and the message when the
// server is missing or goes away during the walk.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "collect_dlg.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/ui.h"
#include "views_res.h"

using namespace testsupport;

namespace {

const wchar_t kCaption[] = L"Collect Test Caption";

// What the stand-in server does with requests.
struct ServerScript {
  bool reply = true;
  int vanishAfter = -1;  // destroys itself after replying to this category
  std::vector<long> requests;
  std::vector<std::wstring> texts;  // the dialog's text at each request
  bool topmost = false;
  HWND self = nullptr;
};
ServerScript* g_script = nullptr;
UINT g_msg = 0;

LRESULT CALLBACK ServerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == g_msg && g_script) {
    HWND dlg = reinterpret_cast<HWND>(wp);
    g_script->requests.push_back(static_cast<long>(lp));
    wchar_t text[128] = {};
    ::GetDlgItemTextW(dlg, IDC_COLLECT_TEXT, text, 128);
    g_script->texts.push_back(text);
    if (::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST) g_script->topmost = true;
    if (g_script->reply) {
      // A reader's "loaded" reply first: the dialog must not take it for a step.
      if (lp == 2) ::PostMessageW(dlg, g_msg, suite::INFO_REPLY_LOADED, 9);
      // A category the server could not write (103) is done with too.
      ::PostMessageW(dlg, g_msg, lp == 5 ? suite::INFO_REPLY_FAILED : suite::INFO_REPLY_READY, lp);
    }
    if (g_script->vanishAfter == lp) {
      ::DestroyWindow(hwnd);
      g_script->self = nullptr;
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// Answers the program's message box from another thread; returns its text.
class BoxAnswerer {
 public:
  BoxAnswerer() {
    thread_ = std::thread([this] {
      HWND box = WaitForWindow(kCaption, L"#32770", ::GetCurrentProcessId(), 15000);
      if (!box) return;
      HWND text = FindChildById(box, 0xFFFF);
      said_ = text ? GetText(text) : L"<no text>";
      ClickButton(box, IDOK);
    });
  }
  std::wstring Join() {
    thread_.join();
    return said_;
  }

 private:
  std::thread thread_;
  std::wstring said_ = L"<no box>";
};

class CollectDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    g_msg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ServerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CollectTestServer";
    ::RegisterClassW(&wc);
    g_script = &script_;
  }
  void TearDown() override {
    if (script_.self) ::DestroyWindow(script_.self);
    g_script = nullptr;
  }
  void StartServer() {
    script_.self = ::CreateWindowExW(0, L"CollectTestServer", suite::kInfoServerTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(script_.self, nullptr);
  }
  INT_PTR Run() {
    CCollectSystemInfoDlg dlg(::GetModuleHandleW(nullptr), kCaption);
    return dlg.DoModal(nullptr);
  }
  ServerScript script_;
};

TEST_F(CollectDialog, WalksTheSixteenCategoriesInOrderAndCloses) {
  StartServer();
  DWORD t0 = ::GetTickCount();
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_LT(::GetTickCount() - t0, 5000u);
  std::vector<long> all;
  for (long c = 0; c < 16; ++c) all.push_back(c);
  EXPECT_EQ(script_.requests, all);
  ASSERT_EQ(script_.texts.size(), 16u);
  EXPECT_EQ(script_.texts.front(), L"Collecting Information on Summary");
  EXPECT_EQ(script_.texts[6], L"Collecting Information on I/O Port");
  EXPECT_EQ(script_.texts.back(), L"Collecting Information on Software");
  EXPECT_TRUE(script_.topmost);
}

TEST_F(CollectDialog, NoServerShowsTheFailureAndCloses) {
  ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr);
  BoxAnswerer box;
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(box.Join(), L"Failed to load System Information.");
}

TEST_F(CollectDialog, ServerGoneDuringTheWalkShowsTheFailureOnce) {
  script_.vanishAfter = 5;
  StartServer();
  BoxAnswerer box;
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(box.Join(), L"Failed to load System Information.");
  EXPECT_EQ(script_.requests, (std::vector<long>{0, 1, 2, 3, 4, 5}));
}

// A server that never answers: the bar moves each second until the user
// cancels.
TEST_F(CollectDialog, SilentServerLeavesTheBarMovingUntilCancel) {
  script_.reply = false;
  StartServer();
  int seen = -1;
  std::thread user([&] {
    HWND dlg = WaitForWindow(L"Collect System Information", L"#32770", ::GetCurrentProcessId(), 10000);
    if (!dlg) return;
    ::Sleep(2300);
    seen = static_cast<int>(::SendDlgItemMessageW(dlg, IDC_COLLECT_PROGRESS, PBM_GETPOS, 0, 0));
    ClickButton(dlg, IDCANCEL);
  });
  EXPECT_EQ(Run(), IDCANCEL);
  user.join();
  EXPECT_TRUE(seen == 10 || seen == 15) << seen;  // two or three ticks of 5
  EXPECT_EQ(script_.requests, (std::vector<long>{0}));
}

}  // namespace
