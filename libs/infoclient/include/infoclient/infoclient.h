// The Information page's side of the information server: asks the server
// for the page's category, waits for its reply, then lists the category's
// file on a reader thread that holds the server's mutex while it reads.
//
// The reader takes the file's lines into memory while it holds the mutex
// (a bounded amount: see ReadInfoFileText), releases it, and only then
// fills the list, so that the server's writers never wait for a page's
// thread.
//
// A page owns one InfoClient and calls it from its own handlers:
//   activation  -> Request(true)      Refresh -> Request(false)
//   WindowProc  -> HandleMessage(...) (first)
//   kill-active -> refuse while Waiting()
//   timer 1001  -> OnWaitTick()        destruction -> Detach()
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ctlfw {

// "[" + label + " " + time as "%m/%d/%Y %I:%M%p" + "]".
std::string FormatLastUpdatedHeader(const std::string& label, const SYSTEMTIME& localTime);
// Which lines of an information file a page lists.
enum class InfoLines {
  AllButComments,  // every line but those that start with ';'
  VideoSections,   // only the lines inside ";Video" sections (the video page)
  OutsideVideoSections,  // every line but comments and those inside ";Video" sections
};
// Lines that start with ';' are comments and never listed.
bool IsListedInfoLine(const std::string& line);
// The same for a page's mode; `inVideo` carries the section state from line
// to line (false before the first).
bool IsListedInfoLine(const std::string& line, InfoLines mode, bool* inVideo);
// An absolute directory (drive or UNC) ending in a backslash.
bool IsAbsoluteDirectory(const std::wstring& dir);
// <dir><base>.IFO when it fits an information path buffer; false otherwise.
bool BuildInfoFilePath(const std::wstring& dir, const std::string& base, std::wstring* path);
// The server's directory as published in "ModulePath"; "" when missing,
// relative or too long for the information files' paths.
std::wstring ReadInfoDirectory();
// The four tab stops of the list of an information page that shows one
// category among many (the viewer's and the server's sheets).
std::vector<int> InfoCategoryTabStops(int category);
// Progress bar position after one tick of the wait display.
int NextWaitProgress(int previous);

// The wait display of an Information page: the "Loading..." label (1017),
// the progress bar (1018) and timer 1001.
constexpr int kInfoLoadingLabelId = 1017;
constexpr int kInfoProgressId = 1018;
constexpr UINT_PTR kInfoWaitTimer = 1001;
void ShowInfoWaitProgress(HWND page, bool on);
void AdvanceInfoWaitProgress(HWND page);

// What a reader lists of an information file: at most this many lines, and
// no more than this many bytes of the file are read (a line longer than
// kMaxTextLine is listed in pieces). A file beyond either bound ends its
// list with kInfoCutLine.
// (The server's largest files hold a few thousand lines.)
constexpr size_t kInfoMaxListedLines = 10000;
constexpr unsigned long long kInfoMaxReadBytes = 1ull << 20;
extern const char kInfoCutLine[];

// An information file as a page lists it.
struct InfoFileText {
  bool opened = false;
  std::string header;  // "[Last Updated: ...]", empty when the time is unknown
  std::vector<std::string> lines;
  bool cut = false;  // the file holds more than the bounds let through
};
// Reads the file at `path` as a page lists it (`mode`), with the time line
// made from `headerLabel`; stops early when `cancel` (may be null) is set.
// False when the file does not open.
bool ReadInfoFileText(const wchar_t* path, const std::string& headerLabel, InfoLines mode, HANDLE cancel,
                      InfoFileText* text);
// Empties `list` and adds the header, the lines and, for a cut file, the
// cut line; stops when `stop` says so. False when it stopped.
bool FillInfoList(HWND list, const InfoFileText& text, const std::function<bool()>& stop);

// Keeps the readers of one list in order: a reader that read the file
// before another never lists after it, and stops listing as soon as a
// later reading exists (the later reader lists the file anew).
struct InfoFillOrder {
  HANDLE lock = nullptr;   // held while a reader fills the list
  volatile LONG read = 0;  // readings taken so far
  volatile LONG listed = 0;  // the reading the list shows
};

// What a reader thread needs; allocated by the client, freed by the thread.
struct InfoReaderRecord {
  HWND page;
  HWND list;
  wchar_t path[256];
  unsigned category;
  UINT message;   // "kyt_quorrel_msg", 0 when unknown
  HANDLE mutex;   // the server's mutex, may be null
  bool ownMutex;  // the thread closes `mutex` (opened for this reader alone)
  HANDLE cancel;  // set when the page goes: stop waiting and listing
  char header[128];
  InfoLines lines;
  DWORD mutexWaitMs;  // 0: the default 30 s
  InfoFillOrder* order;  // may be null: one reader at a time
};
DWORD WINAPI ReadInfoFileThread(LPVOID record);

class InfoClient {
 public:
  InfoClient(unsigned category, const std::string& fileBase);
  ~InfoClient();
  InfoClient(const InfoClient&) = delete;
  InfoClient& operator=(const InfoClient&) = delete;

  // `message`: the registered "kyt_quorrel_msg"; `mutex`: the server's mutex
  // as the sheet opened it (may be null: a reader then opens the mutex of a
  // server that started since); `infoDir`: the information
  // directory; `headerLabel`: "Last Updated:" from the control's strings.
  void Attach(HWND page, HWND list, UINT message, HANDLE mutex, const std::wstring& infoDir,
              const std::string& headerLabel);
  // Called with true when the page starts waiting, false when it stops.
  void OnWaitChanged(std::function<void(bool)> fn) { onWait_ = std::move(fn); }
  // How reader threads start (a control module starts them so that they keep
  // the module loaded); CreateThread by default. Returns the thread handle.
  using ThreadStarter = std::function<HANDLE(LPTHREAD_START_ROUTINE, void*)>;
  void SetThreadStarter(ThreadStarter fn) { startThread_ = std::move(fn); }
  void SetLines(InfoLines lines) { lines_ = lines; }
  // How long a request may stay unanswered before the page stops waiting.
  void SetReplyDeadline(DWORD ms) { replyDeadlineMs_ = ms; }
  // How long a reader waits for the server's mutex (then it reads anyway).
  void SetMutexWait(DWORD ms) { mutexWaitMs_ = ms; }

  // Posts a request (bit 31 when `reuse`); true when the page now waits.
  bool Request(bool reuse);
  // The protocol message of the page's window: true when it was one (the
  // page returns *result and passes it on to no one).
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  bool Waiting() const { return waiting_; }
  // Ends a wait that can no longer be answered (the server went away, or no
  // reply came in time).
  void OnWaitTick();
  // Cancels and joins the reader threads; the page can go after it.
  void Detach();
  size_t RunningReaders();

  unsigned category() const { return category_; }
  const std::wstring& path() const { return path_; }

 private:
  bool StartReading();
  void SetWaiting(bool on);
  void Reap();

  unsigned category_;
  std::string fileBase_;
  HWND page_ = nullptr;
  HWND list_ = nullptr;
  UINT message_ = 0;
  HANDLE mutex_ = nullptr;
  HANDLE cancel_ = nullptr;
  InfoFillOrder order_;
  std::wstring path_;
  std::string headerLabel_ = "Last Updated:";
  InfoLines lines_ = InfoLines::AllButComments;
  DWORD replyDeadlineMs_ = 120000;
  DWORD mutexWaitMs_ = 30000;
  bool waiting_ = false;
  DWORD waitStart_ = 0;
  HWND server_ = nullptr;
  std::vector<HANDLE> readers_;
  std::function<void(bool)> onWait_;
  ThreadStarter startThread_;
};

}  // namespace ctlfw
