// A stand-in for the system-information server that a test controls: a
// top-level window titled as the server, on a thread of its own, that
// records every "kyt_quorrel_msg" request and answers as its mode says.
//
//   FakeInfoServer server(dir);          // window, message, mutex
//   server.PublishModulePath();           // clients find `dir` in the registry
//   ... the client posts a request ...
//   FakeInfoServer::Request r;
//   server.WaitForRequest(5000, &r);      // pumps the calling thread
//
// In Reply mode the server writes the category's .IFO file into `dir`
// holding the mutex "kyt_quorrel_msg", then posts ("kyt_quorrel_msg", 101,
// category) to the requesting window.
//
// It also answers the processor self-tests ("kyt_quorrel_msg2", sent): the
// probe (0) with 0, a test with what SetSelfTest gave it (0 and no text by
// default), writing its text into "LastResult" first; or, with
// SetHangOnSelfTest, never (the window's thread blocks in the message until
// the server is destroyed).
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class FakeInfoServer {
 public:
  enum class Mode {
    Reply,               // write the category's file, then reply 101
    NeverReply,          // record the request, answer nothing
    ReplyOtherCategory,  // reply 101 naming another category, write nothing
  };
  struct Request {
    HWND client;
    uint32_t category;  // without the reuse bit
    bool reuse;         // bit 31 was set
  };

  // Starts the server's thread and waits until its window exists. `dir` is
  // where files are written (a trailing backslash is added when missing).
  explicit FakeInfoServer(const std::wstring& dir, Mode mode = Mode::Reply);
  // Closes the window, joins the thread, closes the mutex and restores
  // "ModulePath" when PublishModulePath changed it.
  ~FakeInfoServer();
  FakeInfoServer(const FakeInfoServer&) = delete;
  FakeInfoServer& operator=(const FakeInfoServer&) = delete;

  // Window and mutex are up.
  bool Ok() const { return hwnd_ && mutex_; }
  HWND hwnd() const { return hwnd_; }
  UINT message() const { return message_; }
  const std::wstring& dir() const { return dir_; }
  // <dir><base>.IFO of a category (empty for a category out of range).
  std::wstring FilePath(uint32_t category) const;

  void SetMode(Mode mode);
  // The bytes written for a category, as they are (use "\r\n" line ends).
  void SetFixture(uint32_t category, const std::string& text);
  // What a category gets without SetFixture: an empty line, an "@3"
  // heading, a ';' marker line, an empty line and "Label:\tValue" lines.
  static std::string DefaultFixture(uint32_t category);

  // The answer of self-test `test` and the "LastResult" text it leaves
  // (none when empty).
  void SetSelfTest(unsigned test, uint32_t answer, const std::string& lastResult = "");
  void SetHangOnSelfTest(bool hang);
  // Every self-test code received (probes included), oldest first.
  std::vector<unsigned> SelfTests() const;

  // Every request so far, oldest first.
  std::vector<Request> Requests() const;
  // Waits (pumping the calling thread's messages) for the oldest request
  // that no earlier call returned; false after `ms` without one.
  bool WaitForRequest(DWORD ms, Request* out = nullptr);
  // Writes `dir` as "ModulePath" under HKCU Software\Qev\Quorrel\Setting,
  // keeping the value it replaces; RestoreModulePath puts that back (or
  // deletes the value when there was none).
  bool PublishModulePath();
  void RestoreModulePath();

  // Waits until the window is gone (WM_CLOSE from anyone closes it).
  bool WaitClosed(DWORD ms) const;

 private:
  void Run();
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  void OnRequest(HWND client, LPARAM lp);
  LRESULT OnSelfTest(WPARAM test);
  bool WriteFixture(uint32_t category);

  std::wstring dir_;
  UINT message_ = 0;
  UINT selfTestMessage_ = 0;
  HANDLE mutex_ = nullptr;
  HANDLE stop_ = nullptr;
  HANDLE ready_ = nullptr;
  HANDLE closed_ = nullptr;  // the thread's message loop has ended
  HWND hwnd_ = nullptr;
  std::thread thread_;

  mutable std::mutex lock_;  // guards what both threads touch below
  Mode mode_;
  std::map<uint32_t, std::string> fixtures_;
  std::vector<Request> requests_;
  struct SelfTestAnswer {
    uint32_t answer;
    std::string lastResult;
  };
  std::map<unsigned, SelfTestAnswer> selfTestAnswers_;
  std::vector<unsigned> selfTests_;
  bool hangOnSelfTest_ = false;
  size_t taken_ = 0;
  HANDLE requestEvent_ = nullptr;  // set at every request

  bool published_ = false;
  bool hadModulePath_ = false;
  DWORD oldType_ = 0;
  std::vector<BYTE> oldModulePath_;
};

}  // namespace testsupport
