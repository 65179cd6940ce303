// The installed-software writer on uninstall entries of a scratch registry
// key: which entries are listed, and the list box's order (letter case does
// not decide it, equal names all stay), with the list box on this thread or
// on another one, and when the list cannot be completed.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "software.h"

using namespace quorrel;

namespace {

const char kFixture[] = "Software\\HalvixTest\\Uninstall";

struct Entry {
  const char* subkey;
  const char* displayName;      // nullptr: no value
  const char* uninstallString;  // nullptr: no value
};

void SetString(HKEY key, const char* name, const std::string& value) {
  ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), (DWORD)value.size() + 1);
}

class Software : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kFixture);
    const Entry entries[] = {
        {"{B1}", "beta tool", "x.exe /u"},  {"{A1}", "Alpha", "a.exe /u"},     {"{A2}", "alpha", "a2.exe"},
        {"Zeta", "Zeta Suite", "z.exe"},     {"dup1", "Same Name", "s1.exe"},   {"dup2", "Same Name", "s2.exe"},
        {"Kept", "kit", "k.exe"},            {"NoUninstall", "Shown Nowhere", nullptr},
        {"NoName", nullptr, "n.exe"},        {"EmptyName", "", "e.exe"},
    };
    for (const Entry& e : entries) {
      HKEY key = nullptr;
      std::string path = std::string(kFixture) + "\\" + e.subkey;
      ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                ERROR_SUCCESS);
      if (e.displayName) SetString(key, "DisplayName", e.displayName);
      if (e.uninstallString) SetString(key, "UninstallString", e.uninstallString);
      ::RegCloseKey(key);
    }
    // Values that cannot be read as names: too long for the buffer, or no string.
    HKEY key = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kFixture) + "\\Long").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr);
    SetString(key, "DisplayName", std::string(300, 'L'));
    SetString(key, "UninstallString", "l.exe");
    ::RegCloseKey(key);
    ::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kFixture) + "\\Number").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr);
    DWORD n = 7;
    ::RegSetValueExA(key, "DisplayName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof(n));
    SetString(key, "UninstallString", "n.exe");
    ::RegCloseKey(key);
  }
  void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\HalvixTest"); }

  // The text written; `whole`: whether the writer called it complete.
  static std::string Write(HWND list, const std::function<bool()>& stopping = {}, bool* whole = nullptr) {
    StringSink out;
    bool complete = WriteSoftwareInfo(out, 0, list, HKEY_CURRENT_USER, kFixture, stopping);
    if (whole) *whole = complete;
    return out.text;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
    lines.push_back(text.substr(start, at - start));
  return lines;
}

const char kHeading[] = "\n@3Software\n";

// The names listed, in the order the list box gave them.
void ExpectSortedNames(const std::string& text) {
  ASSERT_EQ(text.rfind(kHeading, 0), 0u) << text;
  std::vector<std::string> names = Lines(text.substr(sizeof(kHeading) - 1));
  ASSERT_EQ(names.size(), 7u) << text;
  const char* expected[] = {"alpha", "alpha", "beta tool", "kit", "same name", "same name", "zeta suite"};
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(_stricmp(names[i].c_str(), expected[i]), 0) << text;
  // Both spellings of "alpha" are there, next to each other.
  EXPECT_TRUE((names[0] == "Alpha" && names[1] == "alpha") || (names[0] == "alpha" && names[1] == "Alpha")) << text;
}

}  // namespace

TEST_F(Software, SortedInAListBoxOfItsOwn) { ExpectSortedNames(Write(nullptr)); }

TEST_F(Software, SortedInTheListBoxOfAnotherThread) {
  // As the server window's hidden list: another thread's window, which the
  // writer empties first.
  HWND list = nullptr;
  HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD threadId = 0;
  std::thread owner([&] {
    threadId = ::GetCurrentThreadId();
    list = ::CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    ::SendMessageA(list, LB_ADDSTRING, 0, (LPARAM) "Left From Before");
    ::SetEvent(ready);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    ::DestroyWindow(list);
  });
  ::WaitForSingleObject(ready, 10000);
  ASSERT_NE(list, nullptr);
  ExpectSortedNames(Write(list));
  // The list keeps the names until the next request.
  EXPECT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 7);
  ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
  owner.join();
  ::CloseHandle(ready);
}

// The heading alone; the writer says whether that is the whole listing (no
// Uninstall key) or a listing given up (the caller then keeps its old file).
TEST_F(Software, HeadingAloneWhenTheListCannotBeCompleted) {
  std::string expected = kHeading;
  // The key is missing: nothing to list, and that is the whole text.
  StringSink missing;
  EXPECT_TRUE(WriteSoftwareInfo(missing, 0, nullptr, HKEY_CURRENT_USER, "Software\\HalvixTest\\Nowhere"));
  EXPECT_EQ(missing.text, expected);
  // The server closes while the entries are read.
  int asked = 0;
  bool whole = true;
  EXPECT_EQ(Write(nullptr, [&] { return ++asked > 3; }, &whole), expected);
  EXPECT_GT(asked, 3);
  EXPECT_FALSE(whole);
  // The list box is gone.
  HWND gone = ::CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
  ::DestroyWindow(gone);
  whole = true;
  EXPECT_EQ(Write(gone, {}, &whole), expected);
  EXPECT_FALSE(whole);
  // A whole listing says so.
  whole = false;
  ExpectSortedNames(Write(nullptr, {}, &whole));
  EXPECT_TRUE(whole);
  // Another mode writes nothing.
  StringSink summary;
  EXPECT_TRUE(WriteSoftwareInfo(summary, 1, nullptr, HKEY_CURRENT_USER, kFixture));
  EXPECT_EQ(summary.text, "");
}

TEST_F(Software, EntryValues) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kFixture, 0, KEY_READ, &key), ERROR_SUCCESS);
  struct Case {
    const char* subkey;
    bool opens;
    const char* name;
    const char* uninstall;
  } cases[] = {{"{B1}", true, "beta tool", "x.exe /u"}, {"NoUninstall", true, "Shown Nowhere", ""},
               {"Long", true, "", "l.exe"},              {"Number", true, "", "n.exe"},
               {"Missing", false, "", ""}};
  for (const Case& c : cases) {
    UninstallEntry e{"old", "old"};
    EXPECT_EQ(ReadUninstallEntry(key, c.subkey, &e), c.opens) << c.subkey;
    EXPECT_EQ(e.displayName, c.name) << c.subkey;
    EXPECT_EQ(e.uninstallString, c.uninstall) << c.subkey;
  }
  ::RegCloseKey(key);
}
