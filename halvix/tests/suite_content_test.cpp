// The suite as built: every help page a program of the suite can open is
// there and gives the help pane its text, the item icons load at both sizes
// and can be told apart, and the title dialog's logo is a bitmap it shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dib.h"
#include "frame_rules.h"
#include "logo_text.h"
#include "runner_logic.h"
#include "settings.h"
#include "test_items.h"
#include "testsupport/process.h"

namespace {

using testsupport::SuiteDir;
using testsupport::SuitePath;

bool HasText(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return c != ' ' && c != '\r' && c != '\n' && c != '\t'; });
}

// Every page, relative to the suite folder, that the suite can open.
std::vector<std::wstring> PagesTheSuiteOpens() {
  std::set<std::wstring> pages;
  // Halvix's help table: both layouts, every item, the two groups.
  std::vector<int> commands = {1146, 1147};
  for (const halvix::TestItem& t : halvix::TestItemTable()) commands.push_back(t.command);
  for (int command : commands) {
    for (bool controlPanel : {true, false}) {
      std::wstring page = halvix::HelpPageFor(command, controlPanel);
      // Pages under another program's folder (the Corvith monitor's) come
      // with that program.
      if (!page.empty() && page.compare(0, 5, L"help\\") == 0) pages.insert(page);
    }
  }
  // The web view's home page when no "DefaultUrl" is stored.
  const std::wstring home = halvix::DeriveDefaultUrl(L"", SuiteDir());
  const std::wstring prefix = L"file://" + SuiteDir();
  EXPECT_EQ(home.compare(0, prefix.size(), prefix), 0) << "home page " << home.c_str();
  pages.insert(home.substr(prefix.size()));
  // The module programs' Help button, for every module and mode.
  for (int module : {runvek::kModuleUnknown, runvek::kModuleFenwold, runvek::kModuleZentrel, runvek::kModuleMedia,
                     runvek::kModuleModem, runvek::kModuleCdrom, runvek::kModuleGraphics, runvek::kModuleStrevan}) {
    for (int mode = 0; mode < 4; ++mode) {
      runvek::RunnerSwitches sw;
      sw.floppy = mode == 1;
      sw.procTest = mode == 2;
      sw.videoTest = mode == 3;
      pages.insert(L"HELP\\" + runvek::HelpPageOf(module, sw) + L".HTM");
    }
  }
  // The pages the other programs name themselves: the benchmark results,
  // the clean-up tool, the network tool, the report wizard, the
  // information server, and the troubleshooting page of the test controls.
  for (const wchar_t* page : {L"HELP\\DGBNCH.HTM", L"HELP\\DGCLEAN.HTM", L"HELP\\DGTCP.HTM", L"HELP\\DGPRINT.HTM",
                              L"HELP\\DGQUORRL.HTM", L"help\\errhelp.htm"})
    pages.insert(page);
  return {pages.begin(), pages.end()};
}

TEST(SuiteContent, EveryHelpPageExistsAndGivesTheHelpPaneText) {
  const std::vector<std::wstring> pages = PagesTheSuiteOpens();
  EXPECT_GT(pages.size(), 50u);
  for (const std::wstring& page : pages) {
    SCOPED_TRACE(std::string(page.begin(), page.end()));
    std::vector<std::string> lines;
    ASSERT_TRUE(halvix::ReadTextLines(SuitePath(page), &lines));
    const std::string text = halvix::ExtractLogoText(lines);
    EXPECT_TRUE(HasText(text));
    // The pane shows plain text: no tag and no stray marker left in it.
    EXPECT_EQ(text.find('<'), std::string::npos) << text;
    // A page stands alone: nothing is fetched from elsewhere.
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    for (const char* outside : {"http:", "https:", "<script", "<link", "<img", "<iframe"})
      EXPECT_EQ(all.find(outside), std::string::npos) << outside;
  }
  // Without a browser the help library shows the text help of the pages'
  // folder instead.
  std::vector<std::string> text;
  ASSERT_TRUE(halvix::ReadTextLines(SuitePath(L"help\\help.txt"), &text));
  EXPECT_GT(text.size(), 100u);
}

// The icon's pixels (BGRA, top-down) and where it is opaque.
struct IconPixels {
  std::vector<unsigned char> bgra;
  std::vector<bool> shape;
};

bool ReadIcon(HMODULE module, int id, int size, IconPixels* out) {
  HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
  if (!icon) return false;
  ICONINFO info{};
  bool ok = ::GetIconInfo(icon, &info) && info.hbmColor;
  if (ok) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    out->bgra.assign(static_cast<size_t>(size) * size * 4, 0);
    HDC dc = ::GetDC(nullptr);
    ok = ::GetDIBits(dc, info.hbmColor, 0, size, out->bgra.data(), &bi, DIB_RGB_COLORS) == size;
    ::ReleaseDC(nullptr, dc);
    out->shape.clear();
    for (size_t i = 0; i < out->bgra.size(); i += 4) out->shape.push_back(out->bgra[i + 3] >= 128);
  }
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  ::DestroyIcon(icon);
  return ok;
}

TEST(SuiteContent, ItemIconsLoadAtBothSizesAndEachHasItsOwnPicture) {
  HMODULE exe = ::LoadLibraryExW(SuitePath(L"halvix.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  // Every icon the image lists take on either platform, with every
  // companion program present, and the main window's own.
  std::set<int> ids = {128};
  for (bool nt : {true, false})
    for (int id : halvix::TestIconIds(true, true, nt)) ids.insert(id);
  EXPECT_GE(ids.size(), 32u);
  for (int size : {16, 32}) {
    std::vector<std::pair<int, IconPixels>> icons;
    for (int id : ids) {
      IconPixels px;
      EXPECT_TRUE(ReadIcon(exe, id, size, &px)) << "icon " << id << " at " << size;
      icons.emplace_back(id, std::move(px));
    }
    std::set<std::vector<bool>> shapes;
    for (size_t i = 0; i < icons.size(); ++i) {
      shapes.insert(icons[i].second.shape);
      for (size_t j = i + 1; j < icons.size(); ++j)
        EXPECT_NE(icons[i].second.bgra, icons[j].second.bgra)
            << "icons " << icons[i].first << " and " << icons[j].first << " look the same at " << size;
    }
    // Told apart by their outline, not by colour alone: tiles that differ
    // only in colour share one shape.
    EXPECT_GE(shapes.size(), icons.size() * 3 / 4) << "at " << size;
  }
  ::FreeLibrary(exe);
}

TEST(SuiteContent, TheTitleLogoIsABitmapTheTitleDialogShows) {
  const std::wstring logo = SuitePath(L"TESTDATA\\LOGO.BMP");
  HGLOBAL dib = halvix::ReadDIBFile(logo);
  ASSERT_NE(dib, nullptr);
  ::GlobalFree(dib);
  HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageW(nullptr, logo.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(bitmap, nullptr);
  BITMAP bm{};
  ASSERT_TRUE(::GetObjectW(bitmap, sizeof(bm), &bm));
  EXPECT_GE(bm.bmWidth, 200);
  EXPECT_GE(bm.bmHeight, 80);
  ::DeleteObject(bitmap);
}

}  // namespace
