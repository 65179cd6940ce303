// brisko.mod end to end. This program runs only inside the sandbox prefix
// of in_sandbox_prefix.sh (drive Z: gone, D: a scratch folder with
// "sandbox.marker"); anywhere else every test stops before it touches a
// file. It plants files, shortcuts and uninstall entries, drives the
// tool's pages and checks that exactly the chosen ones went.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kTitle[] = L"Kyt Cleanup";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool InSandbox() {
  return ::GetDriveTypeW(L"Z:\\") == DRIVE_NO_ROOT_DIR &&
         ::GetFileAttributesW(L"D:\\sandbox.marker") != INVALID_FILE_ATTRIBUTES;
}

#define REQUIRE_SANDBOX() \
  if (!InSandbox()) GTEST_FAIL() << "not in the sandbox prefix: nothing is touched"

void Write(const std::wstring& path, const std::string& bytes, DWORD attributes = 0) {
  size_t slash = path.rfind(L'\\');
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos && at <= slash; at = path.find(L'\\', at + 1))
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(path, bytes)) << appkit::Narrow(path);
  if (attributes) ::SetFileAttributesW(path.c_str(), attributes);
}

// `path` in the form that keeps every name as it is ("zero.txt." stays
// itself) and allows long paths.
std::wstring Exact(const std::wstring& path) {
  return path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
}

// Every file below `dir` with its bytes and attributes (folders as "<dir>",
// links to folders as "<dir link>", not entered). Names are read exactly,
// so that "zero.txt." and "zero.txt" are two entries with their own bytes.
std::map<std::wstring, std::string> Snapshot(const std::wstring& dir) {
  std::map<std::wstring, std::string> out;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((Exact(dir) + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = dir + L"\\" + name;
    const std::string attr = " [" + std::to_string(fd.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE) + "]";
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      out[path] = "<dir link>" + attr;
    } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[path] = "<dir>" + attr;
      for (auto& kv : Snapshot(path)) out.insert(kv);
    } else {
      out[path] = ReadFileBytes(Exact(path)) + attr;
    }
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return out;
}

// Every key and value below a registry key, as text.
std::wstring RegistryTree(HKEY root, const std::wstring& path) {
  appkit::RegKey key;
  if (!key.Open(root, path)) return L"";
  std::wstring out = L"[" + path + L"]\n";
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD len = 16384, type = 0, size = 0;
    if (::RegEnumValueW(key.get(), i, name, &len, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size + 2);
    DWORD got = size;
    ::RegQueryValueExW(key.get(), name, nullptr, &type, data.data(), &got);
    out += std::wstring(name) + L"=" + std::to_wstring(type) + L":";
    for (DWORD b = 0; b < got; ++b) out += appkit::Format(L"%02x", data[b]);
    out += L"\n";
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    if (::RegEnumKeyExW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, len);
  }
  std::sort(subkeys.begin(), subkeys.end());
  for (const std::wstring& s : subkeys) out += RegistryTree(root, path + L"\\" + s);
  return out;
}

class BriskoRun {
 public:
  BriskoRun() {
    EXPECT_TRUE(p.Start(SuitePath(L"brisko.mod")));
    sheet = WaitForWindow(kTitle, L"#32770", p.Pid(), 30000);
  }
  ~BriskoRun() {
    if (p.Running()) p.Kill();
  }
  // The page that holds control `uniqueId`, after selecting page `index`.
  HWND ShowPage(int index, int uniqueId) {
    ::SendMessageW(sheet, PSM_SETCURSEL, (WPARAM)index, 0);
    HWND item = nullptr;
    PumpUntil([&] { return (item = FindChildById(sheet, uniqueId)) != nullptr; }, 10000);
    return item ? ::GetParent(item) : nullptr;
  }
  // A message box of the tool (not the sheet, which has the same title).
  HWND WaitBox(DWORD ms = 20000) {
    HWND box = nullptr;
    PumpUntil(
        [&] {
          for (HWND h = ::FindWindowExW(nullptr, nullptr, L"#32770", kTitle); h;
               h = ::FindWindowExW(nullptr, h, L"#32770", kTitle)) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(h, &pid);
            if (h != sheet && pid == p.Pid() && ::IsWindowVisible(h)) box = h;
          }
          return box != nullptr;
        },
        ms);
    return box;
  }
  // Answers the next message box with `button` and gives its text.
  std::wstring Answer(int button) {
    HWND box = WaitBox();
    if (!box) return L"(no box)";
    std::wstring text;
    for (HWND c = ::FindWindowExW(box, nullptr, L"Static", nullptr); c; c = ::FindWindowExW(box, c, L"Static", nullptr))
      if (!GetText(c).empty()) text = GetText(c);
    ::PostMessageW(box, WM_COMMAND, button, 0);
    WaitWindowGone(box, 10000);
    return text;
  }
  bool Close() {
    ::PostMessageW(sheet, WM_COMMAND, IDOK, 0);
    return p.WaitExit(30000);
  }
  Process p;
  HWND sheet = nullptr;
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Waits until the list holds `n` lines (or `ms` pass) and gives them.
std::vector<std::wstring> WaitLines(HWND list, size_t n, DWORD ms = 30000) {
  PumpUntil([&] { return ListBoxLines(list).size() == n; }, ms);
  return ListBoxLines(list);
}

void SelectLine(HWND list, const std::wstring& text) {
  const std::vector<std::wstring> lines = ListBoxLines(list);
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == text) {
      if (::GetWindowLongW(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL))
        ::SendMessageW(list, LB_SETSEL, TRUE, (LPARAM)i);
      else
        ::SendMessageW(list, LB_SETCURSEL, i, 0);
      return;
    }
  ADD_FAILURE() << "no line " << appkit::Narrow(text);
}

}  // namespace

TEST(BriskoDiskFiles, FindsByPatternAndSizeAndDeletesOnlyTheChosenFiles) {
  REQUIRE_SANDBOX();
  RemoveTree(L"D:\\work");
  RemoveTree(L"D:\\other");
  Write(L"D:\\work\\a.tmp", std::string(10, 'a'));
  Write(L"D:\\work\\b (2).tmp", std::string(20, 'b'));
  Write(L"D:\\work\\keep.txt", "keep!");
  Write(L"D:\\work\\empty.txt", "");
  Write(L"D:\\work\\sub\\c.tmp", std::string(30, 'c'));
  Write(L"D:\\work\\sub\\zero.tmp", "");
  Write(L"D:\\work\\ro.tmp", "read-only", FILE_ATTRIBUTE_READONLY);
  Write(L"D:\\work\\hidden.tmp", "hidden", FILE_ATTRIBUTE_HIDDEN);
  Write(L"D:\\work\\hid\\d.tmp", "in a hidden folder");
  ::SetFileAttributesW(L"D:\\work\\hid", FILE_ATTRIBUTE_HIDDEN);
  Write(L"D:\\other\\x.tmp", "outside the searched folder");
  const auto before = Snapshot(L"D:");

  BriskoRun run;
  ASSERT_NE(run.sheet, nullptr);
  HWND page = run.ShowPage(2, 1013);
  ASSERT_NE(page, nullptr);
  HWND list = ::GetDlgItem(page, 1002);
  ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)L"D:\\work\\");
  ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)L" *.tmp ");
  ::SendMessageW(::GetDlgItem(page, 1015), BM_SETCHECK, BST_CHECKED, 0);
  ClickButton(::GetDlgItem(page, 1012));
  EXPECT_EQ(Sorted(WaitLines(list, 4)), (std::vector<std::wstring>{
                                            L"D:\\work\\a.tmp (10 bytes)",
                                            L"D:\\work\\b (2).tmp (20 bytes)",
                                            L"D:\\work\\sub\\c.tmp (30 bytes)",
                                            L"D:\\work\\sub\\zero.tmp (0 bytes)",
                                        }));
  // Two of them go; every other file stays byte for byte.
  SelectLine(list, L"D:\\work\\b (2).tmp (20 bytes)");
  SelectLine(list, L"D:\\work\\sub\\c.tmp (30 bytes)");
  ClickButton(::GetDlgItem(page, 1001));
  EXPECT_EQ(run.Answer(IDYES), L"The selected file(s) will be deleted.  Please click Yes button to confirm.");
  EXPECT_EQ(Sorted(WaitLines(list, 2)),
            (std::vector<std::wstring>{L"D:\\work\\a.tmp (10 bytes)", L"D:\\work\\sub\\zero.tmp (0 bytes)"}));
  auto expected = before;
  expected.erase(L"D:\\work\\b (2).tmp");
  expected.erase(L"D:\\work\\sub\\c.tmp");
  EXPECT_EQ(Snapshot(L"D:"), expected);

  // The empty files, by size.
  ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)L"(size = 0)");
  ClickButton(::GetDlgItem(page, 1012));
  EXPECT_EQ(Sorted(WaitLines(list, 2)),
            (std::vector<std::wstring>{L"D:\\work\\empty.txt (0 bytes)", L"D:\\work\\sub\\zero.tmp (0 bytes)"}));

  // Refused requests name what is wrong; nothing is searched.
  const struct {
    const wchar_t* dir;
    const wchar_t* pattern;
    const wchar_t* message;
  } refused[] = {
      {L"", L"*.tmp", L"Please specify a target directory."},
      {L"D:\\work", L"", L"Please specify a search pattern."},
      {L"D:\\nowhere", L"*.tmp", L"Invalid target directory: D:\\nowhere"},
      {L"D:\\work", L"*.*", L"Search pattern <*.*> is not supported."},
      {L"D:\\work", L"*.nothing", L"File not found."},
  };
  for (const auto& r : refused) {
    ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)r.dir);
    ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)r.pattern);
    ClickButton(::GetDlgItem(page, 1012));
    EXPECT_EQ(run.Answer(IDOK), r.message);
  }
  // Removing with nothing selected.
  ::SendMessageW(list, LB_SETSEL, FALSE, -1);
  ClickButton(::GetDlgItem(page, 1001));
  EXPECT_EQ(run.Answer(IDOK), L"No item is selected.");

  EXPECT_TRUE(run.Close());
  // The patterns searched for are remembered ("*.nothing" after the others).
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, L"Software\\Kyt\\Brisko\\Setting", L"ExtList", L""),
            L"*.tmp|*.bak|*.nothing|");
  EXPECT_EQ(Snapshot(L"D:"), expected);
}

namespace {

bool MakeShortcut(const std::wstring& link, const std::wstring& target) {
  IShellLinkW* sl = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&sl)))
    return false;
  IPersistFile* pf = nullptr;
  bool ok = SUCCEEDED(sl->SetPath(target.c_str())) && SUCCEEDED(sl->QueryInterface(IID_IPersistFile, (void**)&pf)) &&
            SUCCEEDED(pf->Save(link.c_str(), TRUE));
  if (pf) pf->Release();
  sl->Release();
  return ok;
}

// A shortcut whose target path is `raw` as it stands, variables and all (the
// shell's SetPath here takes such a path as one relative to the current
// folder): the shell link format's header, then a link-info block whose
// local base path is `raw`, then the end of the extra data.
bool MakeRawShortcut(const std::wstring& link, const std::string& raw) {
  std::string b;
  auto u16 = [&](uint16_t v) { b.append(reinterpret_cast<const char*>(&v), 2); };
  auto u32 = [&](uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 4); };
  const unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  u32(0x4C);
  b.append(reinterpret_cast<const char*>(kLinkClsid), 16);
  u32(0x2);   // has a link-info block
  u32(FILE_ATTRIBUTE_ARCHIVE);
  b.append(24, '\0');  // creation, access and write times
  u32(0);     // file size
  u32(0);     // icon index
  u32(SW_SHOWNORMAL);
  u16(0);     // hot key
  b.append(10, '\0');
  const uint32_t kInfoHeader = 0x1C, kVolume = 17;
  const uint32_t base = kInfoHeader + kVolume, suffix = base + (uint32_t)raw.size() + 1;
  u32(suffix + 1);  // the whole block
  u32(kInfoHeader);
  u32(1);  // a volume and a local base path
  u32(kInfoHeader);
  u32(base);
  u32(0);  // no network part
  u32(suffix);
  u32(kVolume);
  u32(DRIVE_FIXED);
  u32(0x1234ABCD);  // serial number
  u32(16);          // label offset: an empty label
  b.push_back('\0');
  b.append(raw).push_back('\0');
  b.push_back('\0');  // empty common suffix
  u32(0);
  return WriteFileBytes(link, b);
}

std::wstring StartMenuFolder() {
  wchar_t windows[MAX_PATH] = {}, user[256] = {};
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  DWORD len = 255;
  ::GetUserNameW(user, &len);
  return std::wstring(windows) + L"\\Profiles\\" + user + L"\\Start Menu";
}

}  // namespace

TEST(BriskoStartMenu, ListsBrokenShortcutsAndEmptyFoldersAndRemovesTheChosenOne) {
  REQUIRE_SANDBOX();
  ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
  const std::wstring menu = StartMenuFolder();
  RemoveTree(menu);
  RemoveTree(L"D:\\links");
  Write(L"D:\\links\\good.exe", "MZ good");
  Write(L"D:\\links\\gone.exe", "MZ gone");
  Write(menu + L"\\Programs\\Empty Group\\.keep", "");
  ::DeleteFileW((menu + L"\\Programs\\Empty Group\\.keep").c_str());
  Write(menu + L"\\Programs\\Group\\readme.txt", "not a shortcut");
  ASSERT_TRUE(MakeShortcut(menu + L"\\Programs\\Gone.lnk", L"D:\\links\\gone.exe"));
  ASSERT_TRUE(MakeShortcut(menu + L"\\Programs\\Group\\Good.lnk", L"D:\\links\\good.exe"));
  ASSERT_TRUE(::DeleteFileW(L"D:\\links\\gone.exe"));
  const auto before = Snapshot(menu);
  const auto filesBefore = Snapshot(L"D:");
  ::CoUninitialize();

  BriskoRun run;
  ASSERT_NE(run.sheet, nullptr);
  HWND page = run.ShowPage(1, 1014);
  ASSERT_NE(page, nullptr);
  HWND list = ::GetDlgItem(page, 1002);
  EXPECT_EQ(Sorted(WaitLines(list, 2)),
            (std::vector<std::wstring>{L"Programs\\Empty Group\\", L"Programs\\Gone"}));
  SelectLine(list, L"Programs\\Gone");
  ClickButton(::GetDlgItem(page, 1001));
  EXPECT_EQ(run.Answer(IDYES), L"Please confirm you want to remove selected link(s).");
  EXPECT_EQ(WaitLines(list, 1), std::vector<std::wstring>{L"Programs\\Empty Group\\"});
  auto expected = before;
  expected.erase(menu + L"\\Programs\\Gone.lnk");
  EXPECT_EQ(Snapshot(menu), expected);
  EXPECT_EQ(Snapshot(L"D:"), filesBefore);  // the targets are never touched
  EXPECT_TRUE(run.Close());
}

// Shortcuts whose targets are written with environment variables are
// judged with the variables expanded, as the shell starts them: those whose
// targets are there are never offered, whatever the check box says; a gone
// target is, and one on a drive that is not fixed only with "Include Links
// to Files on Unavailable Drives" checked.
TEST(BriskoStartMenu, TargetsWithEnvironmentVariablesAreJudgedExpanded) {
  REQUIRE_SANDBOX();
  const std::wstring menu = StartMenuFolder();
  RemoveTree(menu);
  RemoveTree(L"D:\\links");
  wchar_t programFiles[MAX_PATH] = {}, notepad[MAX_PATH] = {};
  ASSERT_GT(::ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH), 0u);
  ASSERT_GT(::ExpandEnvironmentStringsW(L"%windir%\\notepad.exe", notepad, MAX_PATH), 0u);
  ASSERT_NE(::GetFileAttributesW(notepad), INVALID_FILE_ATTRIBUTES) << appkit::Narrow(notepad);
  const std::wstring app = std::wstring(programFiles) + L"\\Brisko Test";
  Write(app + L"\\app.exe", "MZ app");
  Write(L"D:\\links\\good.exe", "MZ good");
  // The tool inherits them.
  struct Variables {
    Variables() {
      ::SetEnvironmentVariableW(L"BRISKO_LINKS", L"D:\\links");
      ::SetEnvironmentVariableW(L"BRISKO_FAR", L"R:\\far");  // no drive R:
    }
    ~Variables() {
      ::SetEnvironmentVariableW(L"BRISKO_LINKS", nullptr);
      ::SetEnvironmentVariableW(L"BRISKO_FAR", nullptr);
    }
  } variables;
  const struct {
    const wchar_t* name;
    const char* target;
  } links[] = {
      {L"Windir.lnk", "%windir%\\notepad.exe"},
      {L"Root.lnk", "%SystemRoot%\\notepad.exe"},
      {L"Program.lnk", "%ProgramFiles%\\Brisko Test\\app.exe"},
      {L"Own.lnk", "%BRISKO_LINKS%\\good.exe"},
      {L"Gone.lnk", "%BRISKO_LINKS%\\gone.exe"},
      {L"Far.lnk", "%brisko_far%\\gone.exe"},
  };
  ::CreateDirectoryW(menu.c_str(), nullptr);
  ::CreateDirectoryW((menu + L"\\Programs").c_str(), nullptr);
  for (const auto& l : links) ASSERT_TRUE(MakeRawShortcut(menu + L"\\Programs\\" + l.name, l.target));

  BriskoRun run;
  ASSERT_NE(run.sheet, nullptr);
  HWND page = run.ShowPage(1, 1014);
  ASSERT_NE(page, nullptr);
  HWND list = ::GetDlgItem(page, 1002);
  std::vector<std::wstring> lines;
  const std::vector<std::wstring> fixedOnly = {L"Programs\\Gone"};
  PumpUntil([&] { return (lines = Sorted(ListBoxLines(list))) == fixedOnly; }, 30000);
  EXPECT_EQ(lines, fixedOnly);
  HWND unavailable = ::GetDlgItem(page, 1014);
  ::SendMessageW(unavailable, BM_SETCHECK, BST_CHECKED, 0);
  ClickButton(unavailable);
  const std::vector<std::wstring> all = {L"Programs\\Far", L"Programs\\Gone"};
  PumpUntil([&] { return (lines = Sorted(ListBoxLines(list))) == all; }, 30000);
  EXPECT_EQ(lines, all);
  EXPECT_TRUE(run.Close());
  RemoveTree(app);
  RemoveTree(menu);
}

TEST(BriskoUninstall, RemovesOnlyTheChosenEntrysKey) {
  REQUIRE_SANDBOX();
  const std::wstring base = kUninstallKey;
  for (const wchar_t* k : {L"BriskoTestA", L"BriskoTestB", L"BriskoTestC"}) appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, base + L"\\" + k);
  // Two entries whose names differ only in case, and one without an
  // uninstall command (not listed).
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestA", L"DisplayName", L"Brisko Test Program");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestA", L"UninstallString", L"C:\\a\\uninst.exe");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestB", L"DisplayName", L"BRISKO TEST PROGRAM");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestB", L"UninstallString", L"C:\\b\\uninst.exe");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestC", L"DisplayName", L"Brisko No Command");
  Write(L"C:\\a\\uninst.exe", "MZ a");
  Write(L"C:\\b\\uninst.exe", "MZ b");
  const std::wstring before = RegistryTree(HKEY_LOCAL_MACHINE, base);

  {
    BriskoRun run;
    ASSERT_NE(run.sheet, nullptr);
    HWND list = FindChildById(run.sheet, 1002);
    ASSERT_NE(list, nullptr);
    const std::vector<std::wstring> lines = ListBoxLines(list);
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Brisko Test Program"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"BRISKO TEST PROGRAM"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), L"Brisko No Command"), lines.end());
    // Cancel keeps everything.
    SelectLine(list, L"BRISKO TEST PROGRAM");
    ClickButton(::GetDlgItem(::GetParent(list), 1001));
    EXPECT_EQ(run.Answer(IDCANCEL),
              L"You should first try to remove the item from Add/Remove Programs in Control Panel.  If you have "
              L"not done so, please click CANCEL.");
    EXPECT_EQ(RegistryTree(HKEY_LOCAL_MACHINE, base), before);
    ClickButton(::GetDlgItem(::GetParent(list), 1001));
    run.Answer(IDOK);
    EXPECT_EQ(WaitLines(list, lines.size() - 1).size(), lines.size() - 1);
    EXPECT_TRUE(run.Close());
  }
  // Exactly that entry's key went; every other key and value is as it was.
  std::wstring expected = before;
  const std::wstring bKey = L"[" + base + L"\\BriskoTestB]\n";
  const size_t from = expected.find(bKey);
  ASSERT_NE(from, std::wstring::npos);
  const size_t to = expected.find(L"[", from + bKey.size());
  expected.erase(from, to - from);
  EXPECT_EQ(RegistryTree(HKEY_LOCAL_MACHINE, base), expected);
  // The programs' files are not touched.
  EXPECT_EQ(ReadFileBytes(L"C:\\a\\uninst.exe"), "MZ a");
  EXPECT_EQ(ReadFileBytes(L"C:\\b\\uninst.exe"), "MZ b");
  appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestA");
  appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestC");
}

// ---- names, links and swaps: exactly the chosen file goes, or nothing

namespace {

// The scratch folder's Unix path (in_sandbox_prefix.sh), "" outside it.
std::string SandboxUnix() {
  const char* root = ::getenv("BRISKO_SANDBOX_UNIX");
  return root && root[0] == '/' ? root : "";
}
// A Unix path below the scratch folder for a path on C: or D:, or for
// "outside\..." (a folder on no drive).
std::string UnixOf(const std::wstring& path) {
  std::string rest;
  if (_wcsnicmp(path.c_str(), L"D:\\", 3) == 0) rest = "/d/" + appkit::Narrow(path.substr(3));
  else if (_wcsnicmp(path.c_str(), L"C:\\", 3) == 0) rest = "/prefix/drive_c/" + appkit::Narrow(path.substr(3));
  else if (path.compare(0, 8, L"outside\\") == 0) rest = "/" + appkit::Narrow(path);
  else return "";
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return SandboxUnix() + rest;
}
// The folder on no drive, as Wine reaches it.
std::wstring OutsideDir() {
  std::wstring unix = appkit::Widen(SandboxUnix() + "/outside");
  std::replace(unix.begin(), unix.end(), L'/', L'\\');
  return L"\\\\?\\unix" + unix;
}

// Asks the Unix-side agent of in_sandbox_prefix.sh to do `op` (ln, mv, cp)
// and waits for its answer.
bool Agent(const std::string& op, const std::string& a, const std::string& b) {
  static int n = 0;
  const std::wstring base = L"C:\\brisko-agent\\" + std::to_wstring(++n);
  if (!WriteFileBytes(base + L".tmp", op + "\t" + a + "\t" + b + "\n")) return false;
  if (!::MoveFileW((base + L".tmp").c_str(), (base + L".req").c_str())) return false;
  std::string verdict;
  PumpUntil([&] { return !(verdict = ReadFileBytes(base + L".done")).empty(); }, 30000);
  return verdict == "ok\n";
}

// Writes a file by its exact name, making the folders above it.
void WriteExact(const std::wstring& path, const std::string& bytes) {
  const std::wstring exact = Exact(path);
  for (size_t at = exact.find(L'\\', 7); at != std::wstring::npos; at = exact.find(L'\\', at + 1))
    ::CreateDirectoryW(exact.substr(0, at).c_str(), nullptr);
  HANDLE f = ::CreateFileW(exact.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << appkit::Narrow(path);
  DWORD done = 0;
  ::WriteFile(f, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
  ::CloseHandle(f);
}

bool CopyTime(const std::wstring& from, const std::wstring& to) {
  FILETIME t{};
  HANDLE a = ::CreateFileW(Exact(from).c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  if (a == INVALID_HANDLE_VALUE) return false;
  ::GetFileTime(a, nullptr, nullptr, &t);
  ::CloseHandle(a);
  HANDLE b = ::CreateFileW(Exact(to).c_str(), FILE_WRITE_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  if (b == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::SetFileTime(b, nullptr, nullptr, &t);
  ::CloseHandle(b);
  return ok;
}

std::wstring Line(const std::wstring& path, size_t size) {
  return path + L" (" + std::to_wstring(size) + L" bytes)";
}

// Everything a deletion could reach: the sandbox drive, the targets on C:
// and the folder on no drive.
std::map<std::wstring, std::string> Everything(const std::wstring& menu = L"") {
  auto all = Snapshot(L"D:");
  for (auto& kv : Snapshot(L"C:\\outside")) all.insert(kv);
  for (auto& kv : Snapshot(OutsideDir())) all.insert(kv);
  if (!menu.empty())
    for (auto& kv : Snapshot(menu)) all.insert(kv);
  return all;
}

// The first key that differs, for a readable failure.
std::string Difference(const std::map<std::wstring, std::string>& want, const std::map<std::wstring, std::string>& got) {
  for (const auto& kv : want) {
    auto it = got.find(kv.first);
    if (it == got.end()) return "missing: " + appkit::Narrow(kv.first);
    if (it->second != kv.second) return "changed: " + appkit::Narrow(kv.first) + " (" + it->second + ")";
  }
  for (const auto& kv : got)
    if (!want.count(kv.first)) return "new: " + appkit::Narrow(kv.first);
  return "";
}

// Whether a message box of the tool is showing now.
bool BoxShowing(BriskoRun& run) { return run.WaitBox(0) != nullptr; }

}  // namespace

TEST(BriskoDiskFiles, DeletesExactlyTheChosenFileWhateverItsNameLinksOrSwapsSay) {
  REQUIRE_SANDBOX();
  ASSERT_FALSE(SandboxUnix().empty()) << "BRISKO_SANDBOX_UNIX is not set";
  const std::wstring odd = L"D:\\odd";
  // Names that the path rules read as another file.
  WriteExact(odd + L"\\zero.txt", "the other zero");
  WriteExact(odd + L"\\zero.txt.", "the chosen zero with a dot");
  WriteExact(odd + L"\\sp.txt", "the other sp");
  WriteExact(odd + L"\\sp.txt ", "the chosen sp with a blank");
  WriteExact(odd + L"\\bs\\zero.txt", "in folder bs");
  WriteExact(L"D:\\staging\\bs-name", "one name holding a backslash");
  ASSERT_TRUE(Agent("cp", UnixOf(L"D:\\staging\\bs-name"), UnixOf(odd) + "/bs\\zero.txt"));
  WriteExact(odd + L"\\plain.tmp", "plain");
  // Links to files outside the searched folder: on C:, and on no drive.
  WriteExact(L"C:\\outside\\t1.tmp", "target on C");
  WriteExact(OutsideDir() + L"\\t2.tmp", "target on no drive");
  ASSERT_TRUE(Agent("ln", UnixOf(L"C:\\outside\\t1.tmp"), UnixOf(odd + L"\\ulink-c.tmp")));
  ASSERT_TRUE(Agent("ln", UnixOf(L"outside\\t2.tmp"), UnixOf(odd + L"\\ulink-out.tmp")));
  WriteExact(L"C:\\outside\\t3.tmp", "target of a system link");
  const bool systemLinks =
      ::CreateSymbolicLinkW((odd + L"\\wlink.tmp").c_str(), L"C:\\outside\\t3.tmp", 2 /* unprivileged */) &&
      (::GetFileAttributesW((odd + L"\\wlink.tmp").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) &&
      ::GetFileAttributesW((odd + L"\\wlink.tmp").c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!systemLinks) std::printf("note: this system makes no symbolic links (CreateSymbolicLinkW); that case is skipped\n");
  // A folder swapped for a link after the search (the link's file a copy
  // with the same size and time), and a file replaced by another of the
  // same size and time.
  WriteExact(odd + L"\\swap\\f.tmp", "in the swapped folder");
  ASSERT_TRUE(Agent("cp", UnixOf(odd + L"\\swap"), UnixOf(L"outside\\swap")));
  WriteExact(odd + L"\\repl.tmp", "the listed one");
  WriteExact(L"D:\\staging\\repl.new", "another file!!");
  ASSERT_TRUE(CopyTime(odd + L"\\repl.tmp", L"D:\\staging\\repl.new"));
  // A path of about 577 characters.
  std::wstring longPath = odd + L"\\long";
  while (longPath.size() < 560) longPath += L"\\" + std::wstring(60, L'x');
  longPath += L"\\victim.tmp";
  WriteExact(longPath, "far down");
  // A folder whose case the user types otherwise, and two folders whose
  // names differ only in case (the Unix side tells them apart).
  WriteExact(odd + L"\\Mixed\\m.tmp", "mixed case folder");
  WriteExact(L"D:\\cs\\Dir\\f.tmp", "upper");
  WriteExact(L"D:\\staging\\dir\\f.tmp", "lower");
  ASSERT_TRUE(Agent("cp", UnixOf(L"D:\\staging\\dir"), UnixOf(L"D:\\cs\\dir")));

  BriskoRun run;
  ASSERT_NE(run.sheet, nullptr);
  HWND page = run.ShowPage(2, 1013);
  ASSERT_NE(page, nullptr);
  HWND list = ::GetDlgItem(page, 1002);
  ::SendMessageW(::GetDlgItem(page, 1015), BM_SETCHECK, BST_CHECKED, 0);
  // A folder typed in another case: the file goes and no failure is told.
  ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)L"d:\\ODD\\MIXED\\");
  ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)L"*.tmp");
  ClickButton(::GetDlgItem(page, 1012));
  EXPECT_EQ(WaitLines(list, 1), std::vector<std::wstring>{Line(L"d:\\ODD\\MIXED\\m.tmp", 17)});
  {
    const auto before = Everything();
    SelectLine(list, Line(L"d:\\ODD\\MIXED\\m.tmp", 17));
    ClickButton(::GetDlgItem(page, 1001));
    EXPECT_EQ(run.Answer(IDYES), L"The selected file(s) will be deleted.  Please click Yes button to confirm.");
    EXPECT_EQ(WaitLines(list, 0).size(), 0u);
    EXPECT_FALSE(BoxShowing(run)) << "a failure was reported";
    auto expected = before;
    EXPECT_EQ(expected.erase(odd + L"\\Mixed\\m.tmp"), 1u);
    EXPECT_EQ(Difference(expected, Everything()), "");
  }

  ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)L"D:\\cs");
  ClickButton(::GetDlgItem(page, 1012));
  ASSERT_EQ(Sorted(WaitLines(list, 2)), (std::vector<std::wstring>{Line(L"D:\\cs\\Dir\\f.tmp", 5),
                                                                     Line(L"D:\\cs\\dir\\f.tmp", 5)}));
  for (const wchar_t* chosen : {L"D:\\cs\\dir\\f.tmp", L"D:\\cs\\Dir\\f.tmp"}) {
    SCOPED_TRACE(appkit::Narrow(chosen));
    const auto before = Everything();
    const size_t count = ListBoxLines(list).size();
    SelectLine(list, Line(chosen, 5));
    ClickButton(::GetDlgItem(page, 1001));
    EXPECT_EQ(run.Answer(IDYES), L"The selected file(s) will be deleted.  Please click Yes button to confirm.");
    EXPECT_EQ(WaitLines(list, count - 1).size(), count - 1);
    EXPECT_FALSE(BoxShowing(run)) << "a failure was reported";
    auto expected = before;
    EXPECT_EQ(expected.erase(chosen), 1u);
    EXPECT_EQ(Difference(expected, Everything()), "");
  }

  ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)L"D:\\odd");
  ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)L"*");
  ClickButton(::GetDlgItem(page, 1012));
  const size_t expectedLines = 12 + (systemLinks ? 1 : 0);
  const std::vector<std::wstring> lines = WaitLines(list, expectedLines);
  ASSERT_EQ(lines.size(), expectedLines);

  // After the search: the folder becomes a link, the file another file.
  ASSERT_TRUE(Agent("mv", UnixOf(odd + L"\\swap"), UnixOf(L"D:\\swap-was-here")));
  ASSERT_TRUE(Agent("ln", UnixOf(L"outside\\swap"), UnixOf(odd + L"\\swap")));
  ASSERT_TRUE(::MoveFileExW(L"D:\\staging\\repl.new", (odd + L"\\repl.tmp").c_str(), MOVEFILE_REPLACE_EXISTING));

  const struct {
    std::wstring line;
    std::wstring chosen;  // deleted: exactly this file goes; "" nothing goes
    std::wstring why;     // not deleted: the reason shown for its line
  } cases[] = {
      {Line(odd + L"\\zero.txt.", 26), odd + L"\\zero.txt.", L""},
      {Line(odd + L"\\sp.txt ", 26), odd + L"\\sp.txt ", L""},
      {Line(odd + L"\\bs\\zero.txt", 28), L"",
       odd + L"\\bs\\zero.txt: its name cannot be opened exactly on this system; nothing was deleted."},
      {Line(odd + L"\\ulink-c.tmp", 11), L"",
       odd + L"\\ulink-c.tmp: it really lies at C:\\outside\\t1.tmp, not where it was listed; nothing was deleted."},
      {Line(odd + L"\\ulink-out.tmp", 18), L"", odd + L"\\ulink-out.tmp: it really lies at \\\\?\\unix\\"},
      {Line(odd + L"\\swap\\f.tmp", 21), L"", odd + L"\\swap\\f.tmp: it really lies at \\\\?\\unix\\"},
      {Line(odd + L"\\repl.tmp", 14), L"",
       odd + L"\\repl.tmp: it is no longer what was listed (replaced or changed since the search); nothing was deleted."},
      {Line(odd + L"\\wlink.tmp", 0), L"",
       odd + L"\\wlink.tmp: it is a link; neither the link nor its target was deleted."},
      {Line(odd + L"\\plain.tmp", 5), odd + L"\\plain.tmp", L""},
      {Line(longPath, 8), longPath, L""},
  };
  for (const auto& c : cases) {
    if (c.line.find(L"wlink") != std::wstring::npos && !systemLinks) continue;
    SCOPED_TRACE(appkit::Narrow(c.line));
    ASSERT_TRUE(run.p.Running()) << "the tool died";
    const auto before = Everything();
    const size_t count = ListBoxLines(list).size();
    ::SendMessageW(list, LB_SETSEL, FALSE, -1);
    SelectLine(list, c.line);
    ClickButton(::GetDlgItem(page, 1001));
    EXPECT_EQ(run.Answer(IDYES), L"The selected file(s) will be deleted.  Please click Yes button to confirm.");
    auto expected = before;
    if (!c.chosen.empty()) {
      // The line goes, nothing is reported, and only that file is gone.
      EXPECT_EQ(WaitLines(list, count - 1).size(), count - 1);
      EXPECT_FALSE(BoxShowing(run)) << "a failure was reported";
      EXPECT_EQ(expected.erase(c.chosen), 1u);
    } else {
      const std::wstring text = run.Answer(IDOK);
      EXPECT_EQ(text.compare(0, 28, L"Failed to delete 1 file(s).\n"), 0) << appkit::Narrow(text);
      EXPECT_NE(text.find(L"\n" + c.why), std::wstring::npos) << appkit::Narrow(text);
      EXPECT_EQ(ListBoxLines(list).size(), count);
    }
    EXPECT_EQ(Difference(expected, Everything()), "");
  }
  ASSERT_TRUE(run.p.Running()) << "the tool died";

  EXPECT_TRUE(run.Close());
}

TEST(BriskoStartMenu, NeverDeletesThroughALinkOrAtAnotherPlace) {
  REQUIRE_SANDBOX();
  ASSERT_FALSE(SandboxUnix().empty()) << "BRISKO_SANDBOX_UNIX is not set";
  ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
  const std::wstring menu = StartMenuFolder();
  const std::wstring programs = menu + L"\\Programs";
  RemoveTree(menu);
  for (const wchar_t* dir : {L"C:\\outside", L"C:\\menu-staging"}) ::CreateDirectoryW(dir, nullptr);
  WriteExact(programs + L"\\Group2\\.keep", "");
  // However the test ends, the links leave the Start Menu (the agent moves a
  // link itself), so that no later clean-up of the folder reaches through.
  struct MoveLinksOut {
    std::wstring programs;
    ~MoveLinksOut() {
      for (const wchar_t* name : {L"Evil.lnk", L"Far.lnk", L"Group2"})
        Agent("mv", UnixOf(programs + L"\\" + name), UnixOf(std::wstring(L"outside\\moved-") + name));
    }
  } moveLinksOut{programs};
  // Broken shortcuts outside the Start Menu (on C:, and on no drive), each
  // reached from the Start Menu by a Unix link.
  ASSERT_TRUE(MakeShortcut(L"C:\\outside\\evil.lnk", L"D:\\nowhere\\gone.exe"));
  ASSERT_TRUE(MakeShortcut(L"C:\\menu-staging\\far.lnk", L"D:\\nowhere\\gone.exe"));
  ASSERT_TRUE(Agent("cp", UnixOf(L"C:\\menu-staging\\far.lnk"), UnixOf(L"outside\\far.lnk")));
  ASSERT_TRUE(Agent("ln", UnixOf(L"C:\\outside\\evil.lnk"), UnixOf(programs + L"\\Evil.lnk")));
  ASSERT_TRUE(Agent("ln", UnixOf(L"outside\\far.lnk"), UnixOf(programs + L"\\Far.lnk")));
  // A group that becomes a link after the scan, and a plain broken one.
  ASSERT_TRUE(MakeShortcut(programs + L"\\Group2\\Gone2.lnk", L"D:\\nowhere\\gone2.exe"));
  ASSERT_TRUE(MakeShortcut(programs + L"\\Gone3.lnk", L"D:\\nowhere\\gone3.exe"));
  ::CoUninitialize();

  BriskoRun run;
  ASSERT_NE(run.sheet, nullptr);
  HWND page = run.ShowPage(1, 1014);
  ASSERT_NE(page, nullptr);
  HWND list = ::GetDlgItem(page, 1002);
  const std::vector<std::wstring> want = {L"Programs\\Evil", L"Programs\\Far", L"Programs\\Gone3",
                                          L"Programs\\Group2\\Gone2"};
  std::vector<std::wstring> lines;
  PumpUntil([&] { return (lines = Sorted(ListBoxLines(list))) == want; }, 30000);
  ASSERT_EQ(lines, want);
  ASSERT_TRUE(Agent("cp", UnixOf(programs + L"\\Group2"), UnixOf(L"outside\\Group2")));
  ASSERT_TRUE(Agent("mv", UnixOf(programs + L"\\Group2"), UnixOf(L"C:\\menu-staging\\Group2-was-here")));
  ASSERT_TRUE(Agent("ln", UnixOf(L"outside\\Group2"), UnixOf(programs + L"\\Group2")));

  const struct {
    const wchar_t* line;
    std::wstring chosen;
    std::wstring why;
  } cases[] = {
      {L"Programs\\Evil", L"",
       programs + L"\\Evil.lnk: it really lies at C:\\outside\\evil.lnk, not where it was listed; nothing was deleted."},
      {L"Programs\\Far", L"", programs + L"\\Far.lnk: it really lies at \\\\?\\unix\\"},
      {L"Programs\\Group2\\Gone2", L"", programs + L"\\Group2\\Gone2.lnk: it really lies at \\\\?\\unix\\"},
      {L"Programs\\Gone3", programs + L"\\Gone3.lnk", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(appkit::Narrow(c.line));
    const auto before = Everything(menu);
    const size_t count = ListBoxLines(list).size();
    ::SendMessageW(list, LB_SETSEL, FALSE, -1);
    SelectLine(list, c.line);
    ClickButton(::GetDlgItem(page, 1001));
    EXPECT_EQ(run.Answer(IDYES), L"Please confirm you want to remove selected link(s).");
    auto expected = before;
    if (!c.chosen.empty()) {
      EXPECT_EQ(WaitLines(list, count - 1).size(), count - 1);
      EXPECT_FALSE(BoxShowing(run)) << "a failure was reported";
      EXPECT_EQ(expected.erase(c.chosen), 1u);
    } else {
      const std::wstring text = run.Answer(IDOK);
      EXPECT_EQ(text.compare(0, 28, L"Failed to delete 1 link(s).\n"), 0) << appkit::Narrow(text);
      EXPECT_NE(text.find(L"\n" + c.why), std::wstring::npos) << appkit::Narrow(text);
      EXPECT_EQ(ListBoxLines(list).size(), count);
    }
    EXPECT_EQ(Difference(expected, Everything(menu)), "");
  }
  EXPECT_TRUE(run.Close());
}

TEST(BriskoUninstall, AnEntryWhoseKeyWasNotDeletedStaysListedAndIsReported) {
  REQUIRE_SANDBOX();
  const std::wstring base = kUninstallKey;
  for (const wchar_t* k : {L"BriskoTestR", L"BriskoTestR2"}) appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, base + L"\\" + k);
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestR", L"DisplayName", L"Brisko Renamed Entry");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestR", L"UninstallString", L"C:\\r\\uninst.exe");

  BriskoRun run;
  ASSERT_NE(run.sheet, nullptr);
  HWND list = FindChildById(run.sheet, 1002);
  ASSERT_NE(list, nullptr);
  const std::vector<std::wstring> lines = ListBoxLines(list);
  ASSERT_NE(std::find(lines.begin(), lines.end(), L"Brisko Renamed Entry"), lines.end());
  // The key's name changes after the list was filled.
  appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestR");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestR2", L"DisplayName", L"Brisko Renamed Entry");
  appkit::RegWriteString(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestR2", L"UninstallString", L"C:\\r\\uninst.exe");
  const std::wstring before = RegistryTree(HKEY_LOCAL_MACHINE, base);
  SelectLine(list, L"Brisko Renamed Entry");
  ClickButton(::GetDlgItem(::GetParent(list), 1001));
  run.Answer(IDOK);
  EXPECT_EQ(run.Answer(IDOK),
            L"The entry \"Brisko Renamed Entry\" was not removed: its registry key was renamed or no longer holds "
            L"this entry.");
  EXPECT_EQ(ListBoxLines(list), lines);
  EXPECT_EQ(RegistryTree(HKEY_LOCAL_MACHINE, base), before);
  EXPECT_TRUE(run.Close());
  appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, base + L"\\BriskoTestR2");
}

TEST(BriskoDiskFiles, ToTheRecycleBinOnlyByANameThatReachesTheListedFile) {
  REQUIRE_SANDBOX();
  const std::wstring setting = L"Software\\Kyt\\Brisko\\Setting";
  appkit::RegWriteDword(HKEY_CURRENT_USER, setting, L"UndoDelete", 1);
  WriteExact(L"D:\\bin\\zero.txt", "the other zero");
  WriteExact(L"D:\\bin\\zero.txt.", "the chosen zero!");
  WriteExact(L"D:\\bin\\plain.tmp", "plain");
  {
    BriskoRun run;
    ASSERT_NE(run.sheet, nullptr);
    HWND page = run.ShowPage(2, 1013);
    ASSERT_NE(page, nullptr);
    HWND list = ::GetDlgItem(page, 1002);
    ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)L"D:\\bin");
    ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)L"*");
    ClickButton(::GetDlgItem(page, 1012));
    ASSERT_EQ(WaitLines(list, 3).size(), 3u);
    // The shell takes a plain path, which reaches "zero.txt": refused.
    auto before = Snapshot(L"D:");
    SelectLine(list, Line(L"D:\\bin\\zero.txt.", 16));
    ClickButton(::GetDlgItem(page, 1001));
    run.Answer(IDYES);
    const std::wstring text = run.Answer(IDOK);
    EXPECT_NE(text.find(L"\nD:\\bin\\zero.txt.: it cannot be moved to the Recycle Bin by its name"), std::wstring::npos)
        << appkit::Narrow(text);
    EXPECT_EQ(Difference(before, Snapshot(L"D:")), "");
    // A plain name goes to the Recycle Bin, and only that file leaves.
    ::SendMessageW(list, LB_SETSEL, FALSE, -1);
    SelectLine(list, Line(L"D:\\bin\\plain.tmp", 5));
    ClickButton(::GetDlgItem(page, 1001));
    run.Answer(IDYES);
    EXPECT_EQ(WaitLines(list, 2).size(), 2u);
    EXPECT_FALSE(BoxShowing(run)) << "a failure was reported";
    EXPECT_EQ(before.erase(L"D:\\bin\\plain.tmp"), 1u);
    EXPECT_EQ(Difference(before, Snapshot(L"D:")), "");
    EXPECT_TRUE(run.Close());
  }
  appkit::RegWriteDword(HKEY_CURRENT_USER, setting, L"UndoDelete", 0);
}

// Closed, every way it can be, while it searches a large tree for a file
// that is not there: the search ends there, no "File not found." is left
// behind for a window that is gone, and the tool ends.
TEST(BriskoDiskFiles, ClosedDuringASearchTheToolEnds) {
  REQUIRE_SANDBOX();
  const char* tree = std::getenv("BRISKO_TREE_UNIX");
  ASSERT_NE(tree, nullptr) << "run through in_sandbox_prefix.sh";
  ASSERT_TRUE(DefineDrive(L't', DRIVE_FIXED, tree));
  const struct {
    const char* name;
    std::function<void(HWND sheet)> close;
  } closers[] = {
      {"WM_CLOSE", [](HWND sheet) { ::PostMessageW(sheet, WM_CLOSE, 0, 0); }},
      {"the close box", [](HWND sheet) { ::PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"the Close button", [](HWND sheet) { ::PostMessageW(sheet, WM_COMMAND, IDOK, 0); }},
      {"Alt+F4",
       [](HWND sheet) {
         ::SetForegroundWindow(sheet);
         PumpUntil([&] { return ::GetForegroundWindow() == sheet; }, 2000);
         INPUT in[4] = {};
         for (INPUT& i : in) i.type = INPUT_KEYBOARD;
         in[0].ki.wVk = in[3].ki.wVk = VK_MENU;
         in[1].ki.wVk = in[2].ki.wVk = VK_F4;
         in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
         ::SendInput(4, in, sizeof(INPUT));
       }},
  };
  for (const auto& c : closers) {
    SCOPED_TRACE(c.name);
    BriskoRun run;
    ASSERT_NE(run.sheet, nullptr);
    HWND page = run.ShowPage(2, 1013);
    ASSERT_NE(page, nullptr);
    ::SendMessageW(::GetDlgItem(page, 1013), WM_SETTEXT, 0, (LPARAM)L"T:\\");
    ::SendMessageW(::GetDlgItem(page, 1016), WM_SETTEXT, 0, (LPARAM)L"*.zzz");
    ::SendMessageW(::GetDlgItem(page, 1015), BM_SETCHECK, BST_CHECKED, 0);
    ClickButton(::GetDlgItem(page, 1012));
    HWND searching = ::GetDlgItem(page, 1018);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(searching) != FALSE; }, 10000));
    c.close(run.sheet);
    HWND box = nullptr;
    PumpUntil([&] { return !run.p.Running() || (box = run.WaitBox(0)) != nullptr; }, 60000);
    EXPECT_EQ(box, nullptr) << "a box was left: " << appkit::Narrow(run.Answer(IDOK));
    EXPECT_TRUE(run.p.WaitExit(10000));
  }
  DefineDrive(L't', DRIVE_NO_ROOT_DIR, nullptr);
}
