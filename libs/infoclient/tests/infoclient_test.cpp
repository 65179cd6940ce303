// The information reader against hostile files and a slow page: every line
// it lists is bounded, so is what it reads of a file, and the server's mutex
// is free again before the reader fills the list.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "infoclient/infoclient.h"
#include "infoclient/linereader.h"
#include "suite/info.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace ctlfw;
using namespace testsupport;

namespace {

const UINT kReplyMsg = ::RegisterWindowMessageW(L"ctlfw_infoclient_test_reply");

class InfoReader : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir() + L"ctlfw-info-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    path_ = dir_ + L"KytMEM.IFO";
    list_ = ::CreateWindowW(L"LISTBOX", L"", LBS_HASSTRINGS, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(list_, nullptr);
  }
  void TearDown() override {
    ::DestroyWindow(list_);
    RemoveTree(dir_);
  }

  // A reader record as the client makes it; the list stands for the page.
  InfoReaderRecord* Record(HANDLE mutex, InfoFillOrder* order = nullptr) {
    auto* rec = static_cast<InfoReaderRecord*>(std::calloc(1, sizeof(InfoReaderRecord)));
    rec->page = list_;
    rec->list = list_;
    wcsncpy(rec->path, path_.c_str(), 255);
    rec->category = 1;
    rec->message = kReplyMsg;
    rec->mutex = mutex;
    std::strcpy(rec->header, "Last Updated:");
    rec->order = order;
    return rec;
  }
  // Runs a reader to its end, serving its list meanwhile; false when it
  // had to be cancelled after `ms`.
  bool RunReader(InfoReaderRecord* rec, DWORD ms) {
    HANDLE cancel = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    rec->cancel = cancel;
    HANDLE t = ::CreateThread(nullptr, 0, &ReadInfoFileThread, rec, 0, nullptr);
    if (!t) return false;
    bool ended = PumpUntil([&] { return ::WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }, ms);
    ::SetEvent(cancel);
    PumpUntil([&] { return ::WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }, 60000);
    ::CloseHandle(t);
    ::CloseHandle(cancel);
    return ended;
  }
  std::vector<size_t> ItemLengths() {
    std::vector<size_t> out;
    LRESULT n = ::SendMessageW(list_, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) out.push_back((size_t)::SendMessageW(list_, LB_GETTEXTLEN, i, 0));
    return out;
  }

  std::wstring dir_, path_;
  HWND list_ = nullptr;
};

// A writer of the server's: takes the mutex within 10 s, and lets it go.
struct WriterTry {
  HANDLE mutex;
  DWORD result = WAIT_FAILED;
};
DWORD WINAPI TryMutex(LPVOID p) {
  auto* w = static_cast<WriterTry*>(p);
  w->result = ::WaitForSingleObject(w->mutex, 10000);
  if (w->result == WAIT_OBJECT_0) ::ReleaseMutex(w->mutex);
  return 0;
}

}  // namespace

// What a page lists of files that no writer of ours makes: every line at
// most kMaxTextLine characters, and no more of the file than the bounds.
TEST_F(InfoReader, HostileFilesAreListedWithinTheBounds) {
  const std::string longLine(3u << 20, 'x');  // far over every bound
  std::string manyLines;
  for (int i = 0; i < 1000000; ++i) manyLines += "L\r\n";
  std::string comments;
  while (comments.size() < (3u << 20)) comments += ";" + std::string(200, 'c') + "\r\n";
  const struct {
    const char* what;
    std::string bytes;
    size_t lines;  // lines listed (without the cut line)
    bool cut;
  } cases[] = {
      {"one line of 3 MB", longLine + "\r\nafter\r\n", (kInfoMaxReadBytes + kMaxTextLine - 1) / (kMaxTextLine - 2), true},
      {"a million short lines", manyLines, kInfoMaxListedLines, true},
      {"3 MB of comments", comments, 0, true},
      {"a line one longer than the bound", std::string(kMaxTextLine + 1, 'y') + "\r\n", 2, false},
      {"a comment line longer than the bound", ";" + std::string(600, 'c') + "\r\nA:\t1\r\n", 1, false},
      {"a NUL inside a line, no last line end", std::string("a\0b", 3) + "\r\nlast", 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(path_, c.bytes));
    InfoFileText text;
    ASSERT_TRUE(ReadInfoFileText(path_.c_str(), "Last Updated:", InfoLines::AllButComments, nullptr, &text));
    EXPECT_EQ(text.header.rfind("[Last Updated: ", 0), 0u);
    EXPECT_EQ(text.cut, c.cut);
    if (c.lines > 2) EXPECT_NEAR((double)text.lines.size(), (double)c.lines, 2.0);
    else EXPECT_EQ(text.lines.size(), c.lines);
    size_t held = 0;
    for (const std::string& l : text.lines) {
      EXPECT_LE(l.size(), kMaxTextLine);
      held += l.size();
    }
    // What the reader holds in memory: never the whole line, never the file.
    EXPECT_LE(held, kInfoMaxReadBytes + kInfoMaxReadBytes / 64);
  }
  InfoFileText text;
  EXPECT_FALSE(ReadInfoFileText((dir_ + L"missing.IFO").c_str(), "Last Updated:", InfoLines::AllButComments, nullptr,
                                &text));
  EXPECT_FALSE(text.opened);
}

// The reader thread lists the same bounded lines: a 3 MB line does not
// reach the list whole, a million lines are not a million items.
TEST_F(InfoReader, TheReaderListsBoundedLines) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"one line of 3 MB", "A:\t1\r\n" + std::string(3u << 20, 'x') + "\r\n"},
      {"a million short lines", [] {
         std::string s;
         for (int i = 0; i < 1000000; ++i) s += "L\r\n";
         return s;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(path_, c.bytes));
    // A bound that only catches a reader that never ends (each line is one
    // message to this thread, slow on a busy machine).
    ASSERT_TRUE(RunReader(Record(nullptr), 240000)) << "the reader never ended";
    std::vector<size_t> lengths = ItemLengths();
    ASSERT_FALSE(lengths.empty());
    EXPECT_LE(lengths.size(), kInfoMaxListedLines + 2);
    for (size_t n : lengths) ASSERT_LE(n, kMaxTextLine);
    wchar_t last[16] = {};
    if (lengths.back() < 16) ::SendMessageW(list_, LB_GETTEXT, lengths.size() - 1, (LPARAM)last);
    EXPECT_STREQ(last, L"[...]") << "a cut file says so at its end";
  }
}

// The reader holds the server's mutex while it reads, not while the page's
// thread takes the lines: a writer gets the mutex although this thread
// (the list's) serves nothing.
TEST_F(InfoReader, TheMutexIsFreeWhileTheListFills) {
  ASSERT_TRUE(WriteFileBytes(path_, "\r\n@3Memory\r\nA:\t1\r\nB:\t2\r\n"));
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_NE(mutex, nullptr);
  MSG m;
  ::PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // this thread has its queue
  HANDLE t = ::CreateThread(nullptr, 0, &ReadInfoFileThread, Record(mutex), 0, nullptr);
  ASSERT_NE(t, nullptr);
  // Without pumping: wait until the reader sends its first list message.
  bool sending = false;
  for (int i = 0; i < 1000 && !sending; ++i) {
    sending = (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
    if (!sending) ::Sleep(10);
  }
  ASSERT_TRUE(sending) << "the reader never reached the list";
  // A writer of another thread takes the mutex meanwhile.
  WriterTry w{mutex};
  HANDLE writer = ::CreateThread(nullptr, 0, &TryMutex, &w, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  ::WaitForSingleObject(writer, INFINITE);  // not pumping: the list waits
  ::CloseHandle(writer);
  EXPECT_EQ(w.result, (DWORD)WAIT_OBJECT_0) << "the writer waited for the page's thread";
  ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }, 10000));
  ::CloseHandle(t);
  std::vector<std::wstring> lines = ListBoxLines(list_);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind(L"[Last Updated: ", 0), 0u);
  EXPECT_EQ(lines[4], L"B:\t2");
  EXPECT_EQ(::WaitForSingleObject(mutex, 0), (DWORD)WAIT_OBJECT_0) << "released";
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

// Two readers of one list, the second reading a newer file: whichever gets
// to the list first, the list ends with the newer file.
TEST_F(InfoReader, TheLaterReadingIsWhatTheListShows) {
  InfoFillOrder order;
  order.lock = ::CreateMutexW(nullptr, TRUE, nullptr);  // held: no reader lists yet
  ASSERT_NE(order.lock, nullptr);
  ASSERT_TRUE(WriteFileBytes(path_, "Old:\t1\r\n"));
  HANDLE first = ::CreateThread(nullptr, 0, &ReadInfoFileThread, Record(nullptr, &order), 0, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return order.read == 1; }, 10000));
  ASSERT_TRUE(WriteFileBytes(path_, "New:\t2\r\n"));
  HANDLE second = ::CreateThread(nullptr, 0, &ReadInfoFileThread, Record(nullptr, &order), 0, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return order.read == 2; }, 10000));
  ::ReleaseMutex(order.lock);
  ASSERT_TRUE(PumpUntil(
      [&] { return ::WaitForSingleObject(first, 0) == WAIT_OBJECT_0 && ::WaitForSingleObject(second, 0) == WAIT_OBJECT_0; },
      10000));
  ::CloseHandle(first);
  ::CloseHandle(second);
  std::vector<std::wstring> lines = ListBoxLines(list_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], L"New:\t2");
  EXPECT_EQ(order.listed, 2);
  ::CloseHandle(order.lock);
}

// Without an absolute data directory (no "ModulePath", or one that names no
// absolute folder) the page still asks the server and reads the bare file
// name, from the current directory; with one, the file in it.
TEST_F(InfoReader, WithoutAnAbsoluteDirectoryThePageAsksAndReadsTheBareName) {
  HWND server = ::CreateWindowW(L"STATIC", suite::kInfoServerTitle, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(server, nullptr);
  struct Case {
    const wchar_t* dir;
    std::wstring path;
  } cases[] = {
      {L"", L"KytMEM.IFO"},
      {L"data\\", L"KytMEM.IFO"},
      {L"C:", L"KytMEM.IFO"},
      {L"C:\\Suite\\", L"C:\\Suite\\KytMEM.IFO"},
  };
  for (const Case& c : cases) {
    InfoClient client(1, "KytMEM");
    client.Attach(list_, list_, kReplyMsg, nullptr, c.dir, "Last Updated:");
    EXPECT_EQ(client.path(), c.path) << c.dir;
    EXPECT_TRUE(client.Request(true)) << c.dir;
    MSG m{};
    EXPECT_TRUE(::PeekMessageW(&m, server, kReplyMsg, kReplyMsg, PM_REMOVE)) << c.dir;
    EXPECT_EQ((uint32_t)m.lParam, 1u | suite::INFO_REQUEST_REUSE) << c.dir;
    client.Detach();
  }

  // The reply: the bare name is read from the current directory.
  WriteFileBytes(path_, "\r\n@3Memory Utilization\r\nTotal Physical Memory:\t1 KB\r\n");
  wchar_t before[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(::SetCurrentDirectoryW(dir_.c_str()));
  InfoClient client(1, "KytMEM");
  client.Attach(list_, list_, kReplyMsg, nullptr, L"", "Last Updated:");
  ASSERT_TRUE(client.Request(false));
  LRESULT r = 0;
  client.HandleMessage(kReplyMsg, suite::INFO_REPLY_READY, 1, &r);
  EXPECT_TRUE(PumpUntil([&] { return ::SendMessageW(list_, LB_GETCOUNT, 0, 0) >= 4; }, 30000));
  std::vector<std::wstring> lines = ListBoxLines(list_);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind(L"[Last Updated: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[2], L"@3Memory Utilization");
  client.Detach();
  ::SetCurrentDirectoryW(before);
  ::DestroyWindow(server);
}
