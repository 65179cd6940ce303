// A client's reader that still holds an information file (its wait for the
// server's mutex timed out) never makes the server's next write of that file
// fail: the reader reads what it opened, the server puts its new file in
// place, and nothing is left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ctlfw/infoclient.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"
#include "worker.h"

namespace {

// A list whose thread answers only while the test pumps: a reader filling
// it waits in the middle of its file.
class HeldList {
 public:
  HeldList() {
    list = ::CreateWindowW(L"LISTBOX", L"", LBS_HASSTRINGS, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    old = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~HeldList() { ::DestroyWindow(list); }
  HWND list;
  WNDPROC old;
  int resets = 0;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<HeldList*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (m == LB_RESETCONTENT) ++self->resets;
    return ::CallWindowProcW(self->old, h, m, wp, lp);
  }
};

int TempFilesIn(const std::wstring& dir) {
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((dir + L"ifo*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return n;
}

}  // namespace

TEST(InfoFileSharing, AReaderHoldingTheFileNeverMakesTheServersWriteFail) {
  std::wstring dir = testsupport::TempDir() + L"quorrel_share\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring path = dir + L"KytMEM.IFO";
  {
    std::ofstream old(path.c_str(), std::ios::binary);
    old << "Old:\tfile\r\nSecond:\tline\r\n";
  }
  HeldList held;
  auto* rec = static_cast<ctlfw::InfoReaderRecord*>(std::calloc(1, sizeof(ctlfw::InfoReaderRecord)));
  rec->page = held.list;
  rec->list = held.list;
  wcscpy(rec->path, path.c_str());
  rec->category = 1;
  strcpy(rec->header, "Last Updated:");
  HANDLE reader = ::CreateThread(nullptr, 0, &ctlfw::ReadInfoFileThread, rec, 0, nullptr);
  ASSERT_TRUE(reader);
  // The reader empties the list, opens the file and waits to add its first
  // line: this thread serves nothing meanwhile.
  ASSERT_TRUE(testsupport::PumpUntil([&] { return held.resets > 0; }, 5000));
  ::Sleep(300);
  ASSERT_EQ(::WaitForSingleObject(reader, 0), (DWORD)WAIT_TIMEOUT);

  quorrel::GatherContext ctx;
  EXPECT_TRUE(quorrel::WriteInfoFile(path.c_str(), 1, ctx));
  EXPECT_NE(testsupport::ReadFileBytes(path).find("@3Memory Utilization"), std::string::npos) << "the new file is in place";

  ASSERT_TRUE(testsupport::PumpUntil([&] { return ::WaitForSingleObject(reader, 0) == WAIT_OBJECT_0; }, 5000));
  ::CloseHandle(reader);
  std::vector<std::wstring> lines = testsupport::ListBoxLines(held.list);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], L"Old:\tfile") << "the reader reads to the end of what it opened";
  EXPECT_EQ(lines[2], L"Second:\tline");
  EXPECT_EQ(TempFilesIn(dir), 0) << "the old file went once the reader let go";
  ::DeleteFileW(path.c_str());
  ::RemoveDirectoryW(dir.c_str());
}
