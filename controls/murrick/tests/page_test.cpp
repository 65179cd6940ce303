// Murrick's runner values and pages on the framework, in a host window that
// stands in for the control window, against the stand-in information
// server: the categories and their looks, the tabs, SetProp "Size", a page
// that fills, one whose server never answers, and a reply for another page.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>


#include "appkit/registry.h"
#include "ctlfw/resource_ids.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testinfo.h"
#include "runner.h"
#include "suite/info.h"
#include "testsupport/controls.h"
#include "testsupport/fakeinfo.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using testsupport::FakeInfoServer;

namespace {

const std::vector<std::wstring> kNtTabs = {L"Summary", L"Memory",     L"Processor", L"BIOS",   L"Video",
                                           L"Audio",   L"Hard Drive", L"Floppy",    L"Modem",  L"CD-ROM",
                                           L"Network", L"Printer",    L"Software"};

TEST(MurrickRules, CategoriesLooksAndPlacement) {
  EXPECT_EQ(murrick::ViewerCategories(false), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(murrick::ViewerCategories(true).size(), 16u);
  EXPECT_EQ(murrick::ViewerCategories(true)[4], 4);

  struct { int category; unsigned icon; std::vector<int> stops; } looks[] = {
      {0, 157, {170, 260, 350, 440}}, {2, 156, {170, 260, 350, 440}}, {4, 164, {70, 140, 210, 280}},
      {13, 177, {90, 180, 270, 360}}, {14, 178, {70, 160, 250, 340}}, {15, 204, {170, 260, 350, 440}},
      {16, 0, {170, 260, 350, 440}},
  };
  for (const auto& l : looks) {
    SCOPED_TRACE(l.category);
    EXPECT_EQ(murrick::CategoryIconId(l.category), l.icon);
    EXPECT_EQ(murrick::CategoryTabStops(l.category), l.stops);
  }

  struct { int cx, cy, w, h; } sizes[] = {
      {300, 200, 456, 236}, {459, 239, 456, 236}, {460, 240, 456, 236}, {640, 480, 636, 476}, {-5, 0, 456, 236},
  };
  for (const auto& s : sizes) {
    ctlfw::SheetRect r = murrick::ViewerSheetRect(s.cx, s.cy);
    EXPECT_EQ(r.x, 2);
    EXPECT_EQ(r.y, 2);
    EXPECT_EQ(r.cx, s.w) << s.cx;
    EXPECT_EQ(r.cy, s.h) << s.cy;
  }
}

// The viewer's runner; a page gives up a request unanswered for 1.5 s.
class TestMurrickRunner : public CMurrickRunner {
 public:
  ctlfw::InfoPageStyle InfoStyle() const override {
    ctlfw::InfoPageStyle style = CMurrickRunner::InfoStyle();
    style.replyDeadlineMs = 1500;
    return style;
  }
};

class ViewerPages : public ::testing::Test {
 protected:
  void SetUp() override {
    host = ctltest::CreateHostWindow(700, 560);
    ASSERT_TRUE(host);
  }
  void TearDown() override {
    runner.Cleanup();
    if (server) {
      for (int c : {0, 1, 7}) ::DeleteFileW(server->FilePath(c).c_str());
      server.reset();
    }
    ::DestroyWindow(host);
  }
  void StartServer(FakeInfoServer::Mode mode) {
    server = std::make_unique<FakeInfoServer>(testsupport::TempDir(), mode);
    ASSERT_TRUE(server->Ok());
    ASSERT_TRUE(server->PublishModulePath());
  }
  ctlfw::CTestInfo* Page(int index) { return runner.GetSheet()->InfoPages()[index].get(); }
  std::vector<std::wstring> Lines(int index) {
    return testsupport::ListBoxLines(::GetDlgItem(Page(index)->hwnd(), IDC_INFO_LIST));
  }
  static void Pump(DWORD ms) { testsupport::PumpUntil([] { return false; }, ms); }

  HWND host = nullptr;
  TestMurrickRunner runner;
  std::unique_ptr<FakeInfoServer> server;
};

TEST_F(ViewerPages, ThirteenTabsOnNtWithTheirTextsIconsAndPlacement) {
  ASSERT_TRUE(runner.Init(host, "-X12 -Y34"));
  EXPECT_FALSE(runner.Init(host, "")) << "a second Init while the sheet lives";
  ctlfw::CTest* sheet = runner.GetSheet();
  EXPECT_EQ(ctltest::SheetTabs(sheet->hwnd()), kNtTabs);
  EXPECT_EQ(sheet->ActiveIndex(), 0);
  EXPECT_EQ(runner.Title(), "System Information");
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(Page(0)->hwnd(), IDC_INFO_TEXT)), L"System Summary");
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(Page(4)->hwnd(), IDC_INFO_TEXT)),
            L"\nInformation about video BIOS and drivers");
  EXPECT_EQ(Page(10)->InfoFilePath(), runner.InfoDirectory() + L"KytNET.IFO");
  EXPECT_NE(::SendDlgItemMessageW(Page(12)->hwnd(), IDC_INFO_ICON, STM_GETICON, 0, 0), 0);
  // Nothing to run.
  EXPECT_FALSE(runner.DoTest());
  EXPECT_FALSE(runner.IsRunning());
  EXPECT_FALSE(runner.Abort());

  struct { const char* name; const char* value; bool ok; int w, h; } sizes[] = {
      {"size", "300 200", true, 456, 236},
      {"Size", "640", false, 0, 0},
      {"Sizes", "640 480", false, 0, 0},
      {"SIZE", "700 500", true, 696, 496},
  };
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::string(s.name) + " " + s.value);
    RECT before = ctltest::RectInParent(sheet->hwnd());
    EXPECT_EQ(runner.SetProp(s.name, s.value) != FALSE, s.ok);
    RECT r = ctltest::RectInParent(sheet->hwnd());
    if (!s.ok) {
      EXPECT_TRUE(::EqualRect(&r, &before));
      continue;
    }
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right - r.left, s.w);
    EXPECT_EQ(r.bottom - r.top, s.h);
    // The page's list ends 5 pixels inside the page.
    RECT page{}, list{};
    ::GetWindowRect(sheet->ActivePage()->hwnd(), &page);
    ::GetWindowRect(::GetDlgItem(sheet->ActivePage()->hwnd(), IDC_INFO_LIST), &list);
    EXPECT_EQ(list.right, page.right - 5);
    EXPECT_EQ(list.bottom, page.bottom - 5);
  }
}

TEST_F(ViewerPages, EachPageAsksForItsCategoryAndListsItsFile) {
  StartServer(FakeInfoServer::Mode::Reply);
  server->SetFixture(0, "@3Summary\r\n;hidden\r\n\r\nWindows Version:\t6.1\r\n");
  server->SetFixture(7, "@3Video\r\nAdapter:\tWine\r\n");
  ASSERT_TRUE(runner.Init(host, ""));
  FakeInfoServer::Request r{};
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.client, Page(0)->hwnd());
  EXPECT_EQ(r.category, 0u);
  EXPECT_TRUE(r.reuse);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !Page(0)->Waiting(); }, 10000));
  std::vector<std::wstring> lines = Lines(0);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind(L"[Last Updated: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[0].back(), L']');
  EXPECT_EQ(lines[1], L"@3Summary");
  EXPECT_EQ(lines[2], L"");
  EXPECT_EQ(lines[3], L"Windows Version:\t6.1");
  EXPECT_EQ(runner.ActivePageList(), ::GetDlgItem(Page(0)->hwnd(), IDC_INFO_LIST));

  // The fifth tab on NT is the video page. The page left keeps nothing.
  ASSERT_TRUE(runner.GetSheet()->SetActivePage(4));
  EXPECT_TRUE(Lines(0).empty());
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(Page(0)->hwnd(), IDC_INFO_ICON)));
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, 7u);
  EXPECT_TRUE(r.reuse);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !Page(4)->Waiting(); }, 10000));
  lines = Lines(4);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], L"Adapter:\tWine");
  EXPECT_EQ(runner.ActivePageList(), ::GetDlgItem(Page(4)->hwnd(), IDC_INFO_LIST));

  // Refresh asks without the reuse bit.
  ::SendMessageW(Page(4)->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_INFO_REFRESH, BN_CLICKED), 0);
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, 7u);
  EXPECT_FALSE(r.reuse);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !Page(4)->Waiting(); }, 10000));

  // Back on the first page: asked again, listed again.
  ASSERT_TRUE(runner.GetSheet()->SetActivePage(0));
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(Page(0)->hwnd(), IDC_INFO_ICON)));
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, 0u);
  EXPECT_TRUE(r.reuse);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !Page(0)->Waiting(); }, 10000));
  EXPECT_EQ(Lines(0).size(), 4u);
  EXPECT_TRUE(runner.Cleanup());
}

TEST_F(ViewerPages, ANeverAnsweringServerReleasesThePage) {
  StartServer(FakeInfoServer::Mode::NeverReply);
  ASSERT_TRUE(runner.Init(host, ""));
  ctlfw::CTest* sheet = runner.GetSheet();
  ASSERT_TRUE(server->WaitForRequest(5000));
  Pump(300);
  EXPECT_TRUE(Page(0)->Waiting());
  EXPECT_FALSE(sheet->SetActivePage(1)) << "held while the request may still be answered";
  // No answer within the page's time: the page stops waiting and can be left.
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !Page(0)->Waiting(); }, 5000));
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(Page(0)->hwnd(), IDC_INFO_PROGRESS)));
  EXPECT_TRUE(sheet->SetActivePage(1));

  // The server's window goes while a page waits: released at once.
  ASSERT_TRUE(server->WaitForRequest(5000));
  EXPECT_TRUE(Page(1)->Waiting());
  DWORD t0 = ::GetTickCount();
  ::SendMessageW(server->hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(server->WaitClosed(5000));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !Page(1)->Waiting(); }, 5000));
  EXPECT_LT(::GetTickCount() - t0, 1400u) << "before the reply deadline";
  EXPECT_TRUE(sheet->SetActivePage(0));
  EXPECT_FALSE(Page(0)->Waiting()) << "no server: nothing asked, nothing awaited";
  EXPECT_TRUE(runner.Cleanup());
}

TEST_F(ViewerPages, AReplyForAnotherCategoryIsIgnored) {
  StartServer(FakeInfoServer::Mode::ReplyOtherCategory);
  server->SetFixture(1, "Memory:\t64 MB\r\n");
  ASSERT_TRUE(runner.Init(host, ""));
  ASSERT_TRUE(server->WaitForRequest(5000));
  Pump(500);
  EXPECT_TRUE(Page(0)->Waiting());
  EXPECT_TRUE(Lines(0).empty());
  EXPECT_EQ(Page(0)->Client().RunningReaders(), 0u);
  // Cleanup while the page waits: nothing is left behind.
  EXPECT_TRUE(runner.Cleanup());
  EXPECT_EQ(runner.GetSheet(), nullptr);
}

TEST_F(ViewerPages, AModulePathTooLongForTheFilesIsNotUsed) {
  StartServer(FakeInfoServer::Mode::Reply);
  // The server's directory as published, but past what a file path can hold.
  std::wstring kept = appkit::RegReadString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, L"");
  std::wstring longDir = L"C:\\" + std::wstring(240, L'd') + L"\\";
  ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, longDir));
  bool ok = runner.Init(host, "") != FALSE;
  appkit::RegWriteString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, kept);
  ASSERT_TRUE(ok);
  EXPECT_EQ(runner.InfoDirectory(), L"");
  Pump(300);
  EXPECT_TRUE(server->Requests().empty()) << "no file to read, so nothing is asked";
  EXPECT_FALSE(Page(0)->Waiting());
  EXPECT_TRUE(runner.GetSheet()->SetActivePage(1));
}

}  // namespace
