// Glavon's switches in process, and glavon.exe end to end with a stand-in
// driver library that logs its calls (the real one is an outside component).
#include <gtest/gtest.h>
#include <windows.h>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "installer.h"
#include "suite/info.h"
#include "testsupport/process.h"

using glavon::Action;

TEST(GlavonRules, SwitchTable) {
  const struct {
    const wchar_t* line;
    Action action;
  } cases[] = {
      {L"glavon.exe", Action::None},
      {L"glavon.exe /install", Action::Install},
      {L"glavon.exe /INSTALL", Action::Install},
      {L"glavon.exe /UNINSTALL", Action::Uninstall},
      {L"glavon.exe /install /uninstall", Action::Uninstall},
      {L"glavon.exe -install", Action::None},
      {L"\"C:\\a b\\glavon.exe\" x/Install", Action::Install},
  };
  for (const auto& c : cases) EXPECT_EQ(glavon::ParseAction(c.line), c.action) << appkit::Narrow(c.line);
}

TEST(GlavonRules, FolderOfModulePathIsAFullPathOnly) {
  EXPECT_EQ(glavon::FolderOfModulePath(L"C:\\Kyt\\halvix.exe"), L"C:\\Kyt\\");
  EXPECT_EQ(glavon::FolderOfModulePath(L"C:\\Kyt\\"), L"C:\\Kyt\\");
  EXPECT_EQ(glavon::FolderOfModulePath(L"\\\\server\\share\\halvix.exe"), L"\\\\server\\share\\");
  EXPECT_EQ(glavon::FolderOfModulePath(L"halvix.exe"), L"");
  EXPECT_EQ(glavon::FolderOfModulePath(L"Kyt\\halvix.exe"), L"");  // relative: the search path
  EXPECT_EQ(glavon::FolderOfModulePath(L"\\Kyt\\halvix.exe"), L"");
  EXPECT_EQ(glavon::FolderOfModulePath(L""), L"");
}

namespace {

const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\glavon.exe";

class GlavonRun : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::TempDir() + L"glavon test\\";
    testsupport::RemoveTree(root_);
    ::CreateDirectoryW(root_.c_str(), nullptr);
    suite_ = root_ + L"suite dir\\";
    ::CreateDirectoryW(suite_.c_str(), nullptr);
    appkit::RegKey key;
    hadPath_ = key.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey) &&
               key.GetString(suite::kModulePathValue, &oldPath_);
  }
  void TearDown() override {
    if (hadPath_)
      appkit::RegWriteString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, suite::kModulePathValue, oldPath_);
    else {
      appkit::RegKey key;
      if (key.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey, KEY_SET_VALUE)) key.DeleteValue(suite::kModulePathValue);
    }
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    ::SetEnvironmentVariableW(L"DASTREL_STUB_FAIL", nullptr);
    testsupport::RemoveTree(root_);
  }
  void PlaceStub(const std::wstring& dir) {
    ASSERT_TRUE(::CopyFileW((testsupport::TestBinDir() + L"glavon_stub\\dastrel.dll").c_str(),
                            (dir + L"dastrel.dll").c_str(), FALSE));
  }
  void SetModulePath(const std::wstring& value) {
    appkit::RegWriteString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, suite::kModulePathValue, value);
  }
  DWORD Run(const std::wstring& args, const std::wstring& cwd = L"") {
    testsupport::Process p;
    EXPECT_TRUE(p.Start(testsupport::SuitePath(L"glavon.exe"), args, cwd)) << appkit::Narrow(p.LastError());
    EXPECT_TRUE(p.WaitExit(60000));
    return p.ExitCode();
  }
  std::string Calls(const std::wstring& dir) { return testsupport::ReadFileBytes(dir + L"dastrel_calls.txt"); }

  std::wstring root_, suite_, oldPath_;
  bool hadPath_ = false;
};

}  // namespace

TEST_F(GlavonRun, InstallAndRemoveCallTheLibraryInOrder) {
  PlaceStub(suite_);
  SetModulePath(suite_ + L"halvix.exe");
  const std::string s = appkit::Narrow(suite_);
  EXPECT_EQ(Run(L"/install"), 0u);
  EXPECT_EQ(Calls(suite_), "KYTNTIO|" + s + "KYTNTIO.SYS\n" +
                               "MAPMEM|" + s + "MAPMEM.SYS\n" +
                               "TOVPORT|" + s + "Wistral\\TOVPORT.SYS\n");
  ::DeleteFileW((suite_ + L"dastrel_calls.txt").c_str());
  EXPECT_EQ(Run(L"/Install /UNINSTALL"), 0u);
  EXPECT_EQ(Calls(suite_), "KYTNTIO|remove\nMAPMEM|remove\nTOVPORT|remove\n");
  ::DeleteFileW((suite_ + L"dastrel_calls.txt").c_str());
  EXPECT_EQ(Run(L""), 0u);
  EXPECT_EQ(Calls(suite_), "");
}

TEST_F(GlavonRun, AFailedDriverCallStillCallsTheOthersAndEndsNonZero) {
  PlaceStub(suite_);
  SetModulePath(suite_ + L"halvix.exe");
  ::SetEnvironmentVariableW(L"DASTREL_STUB_FAIL", L"MAPMEM");
  EXPECT_NE(Run(L"/uninstall"), 0u);
  EXPECT_EQ(Calls(suite_), "KYTNTIO|remove\nMAPMEM|remove\nTOVPORT|remove\n");
}

// The library is looked for in the suite folder only: a copy in the working
// folder is never loaded, and without the library the program ends quietly
// with a failure code.
TEST_F(GlavonRun, WithoutTheLibraryInTheSuiteFolderItEndsNonZero) {
  const std::wstring cwd = root_ + L"work\\";
  ::CreateDirectoryW(cwd.c_str(), nullptr);
  PlaceStub(cwd);
  SetModulePath(suite_ + L"halvix.exe");
  EXPECT_EQ(Run(L"/install", cwd), (DWORD)glavon::kExitNoLibrary);
  SetModulePath(L"halvix.exe");  // no folder: this program's own, which has no library either
  EXPECT_EQ(Run(L"/install", cwd), (DWORD)glavon::kExitNoLibrary);
  EXPECT_EQ(Calls(cwd), "");
  EXPECT_EQ(Calls(suite_), "");
}

TEST_F(GlavonRun, Windows98DoesNothing) {
  PlaceStub(suite_);
  SetModulePath(suite_ + L"halvix.exe");
  appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98");
  EXPECT_EQ(Run(L"/install"), 0u);
  EXPECT_EQ(Calls(suite_), "");
}
