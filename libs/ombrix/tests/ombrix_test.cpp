// Ombrix: its exports bound by name and by ordinal, the decision chain of
// CallBrowser / CallBrowser2 with stand-ins for the help viewer, the browser
// and Notepad, free disk space and bitmap drawing.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <string>

#include "appkit/registry.h"
#include "appkit/shellopen.h"
#include "appkit/text.h"
#include "helpfile.h"
#include "ombrix/ombrix.h"
#include "suite/info.h"
#include "testsupport/process.h"

using namespace testsupport;

namespace {

const wchar_t kTestClass[] = L"HalvixTest.OmbrixPage";

// ---------------------------------------------------------------- rules

TEST(OmbrixRules, DrivePathsAndAddresses) {
  struct Case {
    const wchar_t* path;
    bool drive, address;
  } cases[] = {
      {L"C:\\a.htm", true, false},     {L"C:\\", false, false},        {L"c:\\x", true, false},
      {L"C:a.htm", false, false},      {L"\\\\srv\\share\\a.htm", false, false},
      {L"help\\a.htm", false, false},  {L"http://127.0.0.1/a.htm", false, true},
      {L"https://x/y#z", false, true}, {L"mailto:someone@x", false, true},
      {L"file://C:\\a.htm", false, true}, {L"1http://x", false, false}, {L"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ombrix::IsDrivePath(c.path), c.drive) << c.path;
    EXPECT_EQ(ombrix::IsWebAddress(c.path), c.address) << c.path;
  }
}

TEST(OmbrixRules, AnchorsSuiteDirectoryAndQuoting) {
  auto a = ombrix::SplitAnchor(L"C:\\h\\p.htm#one#two");
  EXPECT_EQ(a.page, L"C:\\h\\p.htm#one");
  EXPECT_EQ(a.anchor, L"#two");
  a = ombrix::SplitAnchor(L"C:\\h\\p.htm");
  EXPECT_EQ(a.page, L"C:\\h\\p.htm");
  EXPECT_EQ(a.anchor, L"");

  EXPECT_EQ(ombrix::SuiteDirFromModulePath(L"C:\\Qev\\halvix.exe"), L"C:\\Qev\\");
  EXPECT_EQ(ombrix::SuiteDirFromModulePath(L"C:\\Qev\\"), L"C:\\Qev\\");
  EXPECT_EQ(ombrix::SuiteDirFromModulePath(L"halvix.exe"), L"");

  EXPECT_EQ(ombrix::Quoted(L"C:\\a\\b.exe"), L"C:\\a\\b.exe");
  EXPECT_EQ(ombrix::Quoted(L"C:\\Program Files\\b.exe"), L"\"C:\\Program Files\\b.exe\"");
}

TEST(OmbrixRules, DiskArithmeticDoesNotOverflow32Bits) {
  // 512 bytes x 64 sectors x 1,000,000 clusters = 32,768,000,000 bytes.
  EXPECT_DOUBLE_EQ(ombrix::DiskBytes(512, 64, 1000000), 32768000000.0);
  EXPECT_DOUBLE_EQ(ombrix::DiskBytes(4096, 0xFFFFFFFFu, 0xFFFFFFFFu), 4096.0 * 4294967295.0 * 4294967295.0);
  EXPECT_DOUBLE_EQ(ombrix::DiskBytes(512, 8, 0), 0.0);
  EXPECT_DOUBLE_EQ(ombrix::LargeBytes(5, 0), 5.0);
  EXPECT_DOUBLE_EQ(ombrix::LargeBytes(0, 3), 3.0 * 4294967296.0);
  EXPECT_DOUBLE_EQ(ombrix::LargeBytes(0xFFFFFFFFu, 0xFFFFFFFFu), 18446744073709551615.0);
}

TEST(OmbrixRules, ProgramOfOpenCommand) {
  struct Case {
    const wchar_t *command, *program;
  } cases[] = {
      {L"\"C:\\Program Files\\Web\\web.exe\" -nohome \"%1\"", L"C:\\Program Files\\Web\\web.exe"},
      {L"C:\\WINDOWS\\EXPLORER.EXE /idlist,%I", L"C:\\WINDOWS\\EXPLORER.EXE"},
      {L"C:\\a.Exe.d\\b.exe %1", L"C:\\a.Exe"},
      {L"\"\"C:\\x\\y.exe\"\"", L"C:\\x\\y.exe"},
      {L"winebrowser %1", L"winebrowser %1"},
      {L"\"\"", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(appkit::ProgramOfOpenCommand(c.command), c.program) << c.command;
}

// ---------------------------------------------------------------- exports

class OmbrixExports : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = ::LoadLibraryW(SuitePath(L"ombrix.dll").c_str());
    ASSERT_NE(lib_, nullptr);
  }
  void TearDown() override {
    if (lib_) ::FreeLibrary(lib_);
  }
  template <typename Fn>
  Fn Bind(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(lib_, name)));
  }
  HMODULE lib_ = nullptr;
};

TEST_F(OmbrixExports, EachExportBindsByNameAndByItsOrdinal) {
  const char* names[] = {"CallBrowser", "CallBrowser2", "GetFreeDiskSpace", "DrawBitmap"};
  for (int ordinal = 1; ordinal <= 4; ++ordinal) {
    FARPROC byName = ::GetProcAddress(lib_, names[ordinal - 1]);
    FARPROC byOrdinal = ::GetProcAddress(lib_, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(byName, nullptr) << names[ordinal - 1];
    EXPECT_EQ(byName, byOrdinal) << names[ordinal - 1];
  }
  // Loadable by its bare name from the suite directory.
  wchar_t old[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, old);
  ASSERT_TRUE(::SetCurrentDirectoryW(SuiteDir().c_str()));
  HMODULE byName = ::LoadLibraryW(L"ombrix.dll");
  ::SetCurrentDirectoryW(old);
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName, lib_);
  ::FreeLibrary(byName);
}

TEST_F(OmbrixExports, GetFreeDiskSpace) {
  auto fn = Bind<GetFreeDiskSpaceFn>("GetFreeDiskSpace");
  ASSERT_NE(fn, nullptr);
  double freeBytes = -1, total = -1;
  int flag = 77;
  ASSERT_EQ(fn("C:\\", &freeBytes, &total, &flag), 1);
  EXPECT_EQ(flag, 1);
  ULARGE_INTEGER avail{}, tot{}, totFree{};
  ASSERT_TRUE(::GetDiskFreeSpaceExA("C:\\", &avail, &tot, &totFree));
  EXPECT_DOUBLE_EQ(total, static_cast<double>(tot.QuadPart));
  EXPECT_GT(total, 0.0);
  EXPECT_GE(freeBytes, 0.0);
  EXPECT_LE(freeBytes, total);

  // A null byte pointer fails without touching the flag; a null flag is not written.
  flag = 77;
  EXPECT_EQ(fn("C:\\", &freeBytes, nullptr, &flag), 0);
  EXPECT_EQ(fn("C:\\", nullptr, &total, &flag), 0);
  EXPECT_EQ(flag, 77);
  EXPECT_EQ(fn("C:\\", &freeBytes, &total, nullptr), 1);
  // A drive that does not exist is a failure.
  EXPECT_EQ(fn("Q:\\no\\such\\", &freeBytes, &total, &flag), 0);
}

HBITMAP MakeDib(HDC dc, int w, int h, DWORD fill, DWORD** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  if (bmp) {
    for (int i = 0; i < w * h; ++i) static_cast<DWORD*>(p)[i] = fill;
    *bits = static_cast<DWORD*>(p);
  }
  return bmp;
}

TEST_F(OmbrixExports, DrawBitmapCopiesTheAskedRectangle) {
  auto fn = Bind<DrawBitmapFn>("DrawBitmap");
  ASSERT_NE(fn, nullptr);
  HDC screen = ::GetDC(nullptr);
  HDC target = ::CreateCompatibleDC(screen);
  DWORD *dst = nullptr, *src = nullptr;
  HBITMAP targetBmp = MakeDib(screen, 8, 8, 0, &dst);
  HBITMAP srcBmp = MakeDib(screen, 4, 4, 0x00FF0000, &src);
  ASSERT_TRUE(targetBmp && srcBmp);
  HGDIOBJ old = ::SelectObject(target, targetBmp);

  EXPECT_TRUE(fn(nullptr, target, srcBmp, 2, 3, 3, 2));
  ::GdiFlush();
  auto px = [&](int x, int y) { return dst[y * 8 + x] & 0x00FFFFFF; };
  EXPECT_EQ(px(2, 3), 0xFF0000u);
  EXPECT_EQ(px(4, 4), 0xFF0000u);
  EXPECT_EQ(px(1, 3), 0u);
  EXPECT_EQ(px(5, 3), 0u);
  EXPECT_EQ(px(2, 5), 0u);

  EXPECT_FALSE(fn(nullptr, target, nullptr, 0, 0, 4, 4));
  // A bitmap already selected into another context cannot be drawn.
  HDC other = ::CreateCompatibleDC(screen);
  HGDIOBJ oldOther = ::SelectObject(other, srcBmp);
  EXPECT_FALSE(fn(nullptr, target, srcBmp, 0, 0, 4, 4));
  ::SelectObject(other, oldOther);
  ::DeleteDC(other);

  ::SelectObject(target, old);
  ::DeleteObject(targetBmp);
  ::DeleteObject(srcBmp);
  ::DeleteDC(target);
  ::ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------- help pages

void WriteFileText(const std::wstring& path, const std::string& text) {
  std::ofstream f(path.c_str(), std::ios::binary);
  f << text;
}

std::wstring ReadUtf8(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  std::wstring w = appkit::Widen(ss.str(), CP_UTF8);
  while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r')) w.pop_back();
  return w;
}

// Scratch suite with stand-ins, the viewer's "ModulePath" and the ".htm"
// class pointed at them; everything is put back afterwards.
class HelpPages : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempDir() + L"ombrix-test-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    suite_ = root_ + L"suite\\";
    pages_ = root_ + L"help pages\\";
    bare_ = root_ + L"bare\\";
    browserDir_ = root_ + L"browser\\";
    cwd_ = root_ + L"cwd\\";
    for (const auto& d : {root_, suite_, pages_, bare_, browserDir_, cwd_}) ::CreateDirectoryW(d.c_str(), nullptr);
    std::wstring recorder = TestBinDir() + L"arg_recorder.exe";
    ASSERT_TRUE(::CopyFileW(recorder.c_str(), (suite_ + L"DGHELP.EXE").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(recorder.c_str(), (browserDir_ + L"browser.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(recorder.c_str(), (cwd_ + L"notepad.exe").c_str(), FALSE));
    page_ = pages_ + L"start page.htm";
    WriteFileText(page_, "<html></html>");
    WriteFileText(pages_ + L"help.txt", "help");
    barePage_ = bare_ + L"page.htm";
    WriteFileText(barePage_, "<html></html>");

    // Notepad is looked for in the current directory before the system's.
    ::GetCurrentDirectoryW(MAX_PATH, oldCwd_);
    ::SetCurrentDirectoryW(cwd_.c_str());

    appkit::RegKey k;
    if (k.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey))
      hadModulePath_ = k.GetString(suite::kModulePathValue, &oldModulePath_);
    hadHtm_ = [&] {
      appkit::RegKey h;
      return h.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.htm") && h.GetString(L"", &oldHtm_);
    }();
  }

  void TearDown() override {
    ::SetCurrentDirectoryW(oldCwd_);
    appkit::RegKey k;
    if (k.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey, KEY_READ | KEY_WRITE)) {
      if (hadModulePath_) k.SetString(suite::kModulePathValue, oldModulePath_);
      else k.DeleteValue(suite::kModulePathValue);
    }
    appkit::RegKey h;
    if (h.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.htm")) {
      if (hadHtm_) h.SetString(L"", oldHtm_);
      else h.DeleteValue(L"");
    }
    appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\Classes\\") + kTestClass);
    // The stand-ins have ended by now (each waited for); remove the tree.
    SHFILEOPSTRUCTW op{};
    std::wstring from = root_.substr(0, root_.size() - 1) + L'\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&op);
  }

  void InstallViewer(bool on) {
    const std::wstring program = (on ? suite_ : bare_) + L"halvix.exe";
    ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, suite::kModulePathValue, program));
  }
  void InstallBrowser(bool on) {
    if (on) {
      ASSERT_TRUE(appkit::RegWriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.htm", L"", kTestClass));
      ASSERT_TRUE(appkit::RegWriteString(HKEY_LOCAL_MACHINE,
                                         std::wstring(L"SOFTWARE\\Classes\\") + kTestClass + L"\\shell\\open\\command",
                                         L"", L"\"" + browserDir_ + L"browser.exe\" \"%1\""));
    } else {
      ASSERT_TRUE(appkit::RegWriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.htm", L"", L"HalvixTest.NoSuchClass"));
    }
  }

  // The command line a stand-in was started with ("" when it was not
  // started within `ms`); the record is consumed.
  std::wstring Recorded(const std::wstring& standIn, DWORD ms = 10000) {
    std::wstring args = standIn.substr(0, standIn.rfind(L'.')) + L".args";
    std::wstring text;
    PumpUntil([&] {
      text = ReadUtf8(args);
      return !text.empty();
    }, ms);
    ::DeleteFileW(args.c_str());
    return text;
  }
  std::wstring Viewer() const { return suite_ + L"DGHELP.EXE"; }
  std::wstring Browser() const { return browserDir_ + L"browser.exe"; }
  std::wstring Notepad() const { return cwd_ + L"notepad.exe"; }
  static std::wstring Short(const std::wstring& p) { return ombrix::ShortPath(p); }

  void Call(bool fallback, const std::wstring& page, int expected) {
    HMODULE lib = ::LoadLibraryW(SuitePath(L"ombrix.dll").c_str());
    ASSERT_NE(lib, nullptr);
    auto fn = reinterpret_cast<CallBrowserFn>(
        reinterpret_cast<void*>(::GetProcAddress(lib, fallback ? "CallBrowser" : "CallBrowser2")));
    ASSERT_NE(fn, nullptr);
    std::string a = appkit::Narrow(page);
    EXPECT_EQ(fn(a.c_str()), expected) << page.c_str();
    ::FreeLibrary(lib);
  }

  std::wstring root_, suite_, pages_, bare_, browserDir_, cwd_, page_, barePage_;
  wchar_t oldCwd_[MAX_PATH] = {};
  bool hadModulePath_ = false, hadHtm_ = false;
  std::wstring oldModulePath_, oldHtm_;
};

TEST_F(HelpPages, SuiteViewerGetsTheShortPathAndTheAnchor) {
  InstallViewer(true);
  InstallBrowser(true);
  std::wstring shortPage = Short(page_);
  ASSERT_FALSE(shortPage.empty());
  ASSERT_EQ(shortPage.find(L' '), std::wstring::npos) << shortPage.c_str();

  Call(true, page_, 1);
  EXPECT_EQ(Recorded(Viewer()), ombrix::Quoted(Viewer()) + L" -file:" + shortPage);

  Call(false, page_ + L"#Memory", 1);
  EXPECT_EQ(Recorded(Viewer()), ombrix::Quoted(Viewer()) + L" -file:" + shortPage + L"#Memory");

  // A web address goes to the viewer unchanged.
  Call(false, L"http://127.0.0.1/Support Page.htm#top", 1);
  EXPECT_EQ(Recorded(Viewer()), ombrix::Quoted(Viewer()) + L" -file:http://127.0.0.1/Support Page.htm#top");

  // A page whose short form cannot be taken is not opened, and nothing else is tried.
  Call(false, pages_ + L"missing.htm", 0);
  EXPECT_EQ(Recorded(Browser(), 300), L"");
}

TEST_F(HelpPages, DefaultBrowserWithoutTheViewer) {
  InstallViewer(false);
  InstallBrowser(true);
  Call(false, L"http://127.0.0.1/x.htm#a", 1);
  EXPECT_EQ(Recorded(Browser()), ombrix::Quoted(Browser()) + L" http://127.0.0.1/x.htm#a");

  Call(true, page_, 1);
  EXPECT_EQ(Recorded(Browser()), ombrix::Quoted(Browser()) + L" " + Short(page_));

  // A relative page is passed as given.
  Call(false, L"help\\dghelp2.htm", 1);
  EXPECT_EQ(Recorded(Browser()), ombrix::Quoted(Browser()) + L" help\\dghelp2.htm");
}

TEST_F(HelpPages, HelpTextFallback) {
  InstallViewer(true);
  InstallBrowser(true);
  // A page with an anchor counts as not existing: "help.txt" beside it opens.
  Call(true, page_ + L"#Memory", 1);
  EXPECT_EQ(Recorded(Notepad()), L"notepad.exe \"" + pages_ + L"help.txt\"");
  // No "help.txt" beside the missing page: nothing.
  Call(true, bare_ + L"missing.htm", 0);
  EXPECT_EQ(Recorded(Notepad(), 300), L"");

  // Neither viewer nor browser: CallBrowser falls back, CallBrowser2 does not.
  InstallViewer(false);
  InstallBrowser(false);
  Call(true, page_, 1);
  EXPECT_EQ(Recorded(Notepad()), L"notepad.exe " + Short(pages_ + L"help.txt"));
  Call(false, page_, 0);
  Call(true, barePage_, 0);
  EXPECT_EQ(Recorded(Notepad(), 300), L"");
  EXPECT_EQ(Recorded(Browser(), 0), L"");
  EXPECT_EQ(Recorded(Viewer(), 0), L"");
}

}  // namespace
