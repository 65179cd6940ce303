// The rules of the option and technical-support dialogs, in process.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>

#include "options_rules.h"
#include "testsupport/smalldisk.h"

using namespace halvix;

TEST(LayoutRules, OneNavigationPaneStaysOn) {
  const struct {
    bool bar, tree, pager;
    bool barEnabled, treeEnabled;
  } cases[] = {
      {true, true, true, true, true},
      {true, true, false, false, true},
      {false, true, true, true, false},   // the tree alone: it cannot be cleared
      {true, false, true, false, true},   // the bar alone: it cannot be cleared
      {false, true, false, false, false},
  };
  for (const auto& c : cases) {
    PaneBoxStates s = LayoutPaneRule(c.bar, c.tree, c.pager);
    EXPECT_EQ(s.barEnabled, c.barEnabled) << c.bar << c.tree << c.pager;
    EXPECT_EQ(s.treeEnabled, c.treeEnabled) << c.bar << c.tree << c.pager;
  }
  EXPECT_EQ(ShownToolBarAlign(3), 3);
  EXPECT_EQ(ShownToolBarAlign(4), 1);
  EXPECT_EQ(ShownToolBarAlign(-1), 1);
}

TEST(InfoOptionRules, TwentyValuesWithTheirDefaults) {
  const auto& options = InfoOptions();
  ASSERT_EQ(options.size(), 20u);
  int boxes = 0, ntOn = 0, nineXOn = 0;
  for (const auto& o : options) {
    boxes += o.control != 0;
    ntOn += o.defaultNt;
    nineXOn += o.default9x;
    if (o.ntDisabled) {
      EXPECT_EQ(o.defaultNt, 0) << o.value;
    }
  }
  EXPECT_EQ(boxes, 17);
  EXPECT_EQ(nineXOn, 11);  // the ten summary parts and "SummaryVideo"
  EXPECT_EQ(ntOn, 7);
}

TEST(ToolsOptionRules, SystemCorrections) {
  ToolsSystem nt;  // NT 6, neither winipcfg nor MS System Information
  EXPECT_EQ(CorrectToolsOptions(0xFFFFFFFFu, nt), 0x1FFFFFFFu & ~((1u << 8) | (1u << 17) | (1u << 22) | (1u << 23) |
                                                                   (1u << 24) | (1u << 27)));
  ToolsSystem nt4 = nt;
  nt4.majorVersion = 4;
  EXPECT_EQ(CorrectToolsOptions(1u << 28, nt4), 0u);
  ToolsSystem nineX;
  nineX.nineX = true;
  nineX.winipcfgPresent = nineX.msinfoPresent = true;
  EXPECT_EQ(CorrectToolsOptions(0x1FFFFFFFu, nineX), 0x1FFFFFFFu & ~((1u << 25) | (1u << 26)));
  EXPECT_EQ(CorrectToolsOptions(0, nineX), 0u);
  // Every box belongs to one bit; bits 2, 11 and 21 have none.
  int boxes = 0;
  for (int bit = 0; bit < 29; ++bit) boxes += ToolsOptionControl(bit) != 0;
  EXPECT_EQ(boxes, 26);
  EXPECT_EQ(ToolsOptionControl(0), 1119);
  EXPECT_EQ(ToolsOptionControl(28), 1146);
  EXPECT_EQ(ToolsOptionControl(29), 0);
  EXPECT_EQ(DmiCopyMessage(false, false), L"Failed to copy dmi.pif & pludor.pif.");
  EXPECT_EQ(DmiCopyMessage(false, true), L"Failed to copy dmi.pif.");
  EXPECT_EQ(DmiCopyMessage(true, false), L"Failed to copy pludor.pif");
  EXPECT_EQ(DmiCopyMessage(true, true), L"To view DMI information you need to reboot your system.");
}

TEST(SupportPage, MarkersAddressAndEscapedReport) {
  const std::vector<std::string> templ = {
      "<p>To: WWWWWWW, again WWWWWWW</p>",
      "XXXXXXX",  // at the start of the line
      "<i>YYYYYYY</i>",
      "no marker here",
      "<pre>ZZZZZZZ</pre>",
      "ZZZZZZZ stays: the marker moved on",
  };
  const std::vector<std::string> report = {"@3Memory", "Size:\t<64 MB> & more", "@", "plain"};
  EXPECT_EQ(BuildSupportPage(templ, "help@example.com", &report),
            "<p>To: help@example.com, again WWWWWWW</p>\r\n"
            "\r\n"
            "<i></i>\r\n"
            "no marker here\r\n"
            "<pre>\r\nMemory\r\nSize:\t&lt;64 MB&gt; &amp; more\r\n\r\nplain\r\n</pre>\r\n"
            "ZZZZZZZ stays: the marker moved on\r\n");
  // Without a report the page still comes, with nothing in its place.
  EXPECT_EQ(BuildSupportPage({"a WWWWWWW", "XXXXXXX", "YYYYYYY", "ZZZZZZZ"}, "a<b", nullptr),
            "a a&lt;b\r\n\r\n\r\n\r\n\r\n");
}

namespace {
std::wstring Scratch() {
  wchar_t tmp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"halvix support page\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  for (const wchar_t* f : {L"temp_ts.htm", L"ts_mail.htm", L"DIAGReport.txt"}) ::DeleteFileW((dir + f).c_str());
  return dir;
}
void Put(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary) << bytes;
}
std::string Get(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}  // namespace

TEST(SupportPage, WrittenOnlyAfterItsTemplateOpened) {
  const std::wstring dir = Scratch();
  // No template: an old page is left as it is and nothing new is made.
  Put(dir + L"ts_mail.htm", "old page");
  EXPECT_FALSE(BuildSupportMailPage(dir, "help@example.com"));
  EXPECT_EQ(Get(dir + L"ts_mail.htm"), "old page");
  ::DeleteFileW((dir + L"ts_mail.htm").c_str());
  EXPECT_FALSE(BuildSupportMailPage(dir, "help@example.com"));
  EXPECT_EQ(::GetFileAttributesW((dir + L"ts_mail.htm").c_str()), INVALID_FILE_ATTRIBUTES);

  Put(dir + L"temp_ts.htm", "<a href=\"mailto:WWWWWWW\">mail</a>\r\nXXXXXXX\r\nYYYYYYY\r\n<pre>ZZZZZZZ</pre>\r\n");
  ASSERT_TRUE(BuildSupportMailPage(dir, "help@example.com"));
  EXPECT_EQ(Get(dir + L"ts_mail.htm"), "<a href=\"mailto:help@example.com\">mail</a>\r\n\r\n\r\n<pre>\r\n</pre>\r\n");
  Put(dir + L"DIAGReport.txt", "@3Test Results\r\nMemory:\tPASSED <1>\r\n");
  ASSERT_TRUE(BuildSupportMailPage(dir, "help@example.com"));
  EXPECT_EQ(Get(dir + L"ts_mail.htm"), "<a href=\"mailto:help@example.com\">mail</a>\r\n\r\n\r\n"
                                       "<pre>\r\nTest Results\r\nMemory:\tPASSED &lt;1&gt;\r\n</pre>\r\n");
  for (const wchar_t* f : {L"temp_ts.htm", L"ts_mail.htm", L"DIAGReport.txt"}) ::DeleteFileW((dir + f).c_str());
  ::RemoveDirectoryW(dir.c_str());
}

// On the small disk of with_small_disk.sh: a page the disk has no room for
// is not made, and the old page stays as it was rather than a cut new one
// in its place; with room again the page is written whole.
TEST(SupportPage, SmallDiskAPageTheDiskHasNoRoomForKeepsTheOldOne) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring dir = disk.root() + L"support\\";
  ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
  Put(dir + L"temp_ts.htm", "<a href=\"mailto:WWWWWWW\">mail</a>\r\nXXXXXXX\r\nYYYYYYY\r\n<pre>ZZZZZZZ</pre>\r\n");
  std::string report;
  while (report.size() < 12000) report += "Memory:\tPASSED " + std::string(60, 'r') + "\r\n";
  Put(dir + L"DIAGReport.txt", report);
  Put(dir + L"ts_mail.htm", "old page");
  ASSERT_TRUE(disk.FillSpace());
  EXPECT_FALSE(BuildSupportMailPage(dir, "help@example.com"));
  const std::string kept = Get(dir + L"ts_mail.htm");
  EXPECT_TRUE(kept == "old page") << "not the old page: " << kept.size() << " bytes";

  disk.Free();
  ASSERT_TRUE(BuildSupportMailPage(dir, "help@example.com"));
  const std::string page = Get(dir + L"ts_mail.htm");
  EXPECT_EQ(page.rfind("<a href=\"mailto:help@example.com\">mail</a>\r\n\r\n\r\n<pre>\r\nMemory:", 0), 0u);
  EXPECT_EQ(page.size() >= 8 ? page.substr(page.size() - 8) : page, "</pre>\r\n");
}
