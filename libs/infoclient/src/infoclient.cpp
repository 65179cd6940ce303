#include "infoclient/infoclient.h"

#include "appkit/paths.h"
#include "appkit/text.h"
#include "infoclient/linereader.h"
#include "infofile/infofile.h"

#include <strings.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "appkit/threads.h"
#include "suite/info.h"

namespace ctlfw {

namespace {
const UINT kListDefaultErase = 101;  // WM_COMMAND id understood by the information list

void AddLine(HWND list, const std::string& line) {
  std::wstring w = appkit::Widen(line);
  ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

bool Cancelled(HANDLE cancel) { return cancel && ::WaitForSingleObject(cancel, 0) == WAIT_OBJECT_0; }

}  // namespace

std::string FormatLastUpdatedHeader(const std::string& label, const SYSTEMTIME& t) {
  int hour = t.wHour % 12;
  if (hour == 0) hour = 12;
  char buf[160];
  std::snprintf(buf, sizeof(buf), "[%s %02u/%02u/%04u %02d:%02u%s]", label.c_str(), t.wMonth, t.wDay, t.wYear, hour,
                t.wMinute, t.wHour < 12 ? "AM" : "PM");
  return buf;
}

bool IsListedInfoLine(const std::string& line) { return !infofile::IsHiddenLine(line); }

bool IsListedInfoLine(const std::string& line, InfoLines mode, bool* inVideo) {
  if (mode == InfoLines::AllButComments) return IsListedInfoLine(line);
  if (infofile::IsVideoBlockMark(line)) {
    *inVideo = !*inVideo;
    return false;
  }
  bool inside = mode == InfoLines::VideoSections;
  return *inVideo == inside && IsListedInfoLine(line);
}

bool IsAbsoluteDirectory(const std::wstring& dir) {
  if (dir.size() < 3 || dir.back() != L'\\') return false;
  bool drive = ((dir[0] >= L'A' && dir[0] <= L'Z') || (dir[0] >= L'a' && dir[0] <= L'z')) && dir[1] == L':' &&
               dir[2] == L'\\';
  bool unc = dir[0] == L'\\' && dir[1] == L'\\' && dir.size() > 3;
  return drive || unc;
}

bool BuildInfoFilePath(const std::wstring& dir, const std::string& base, std::wstring* path) {
  std::wstring p = dir + appkit::Widen(base) + L".IFO";
  if (p.size() + 1 > suite::kInfoPathMax) return false;
  *path = p;
  return true;
}

namespace {
// The directory of the server's published "ModulePath" (up to and including
// its last backslash); empty when the value is missing.
std::wstring PublishedDirectory() {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf) - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, RRF_RT_REG_SZ, nullptr,
                     buf, &size) != ERROR_SUCCESS)
    return {};
  return appkit::DirectoryPart(buf);
}
bool TooLongForTheFiles(const std::wstring& dir) {
  return dir.size() + suite::kInfoFileNameMax + 1 > suite::kInfoPathMax;
}
}  // namespace

std::wstring ReadInfoDirectory() {
  std::wstring dir = PublishedDirectory();
  if (!IsAbsoluteDirectory(dir) || TooLongForTheFiles(dir)) return {};
  return dir;
}

std::vector<int> InfoCategoryTabStops(int category) {
  switch (category) {
    case suite::INFO_PCI:
      return {70, 140, 210, 280};
    case suite::INFO_NETWORK:
      return {90, 180, 270, 360};
    case suite::INFO_PRINTER:
      return {70, 160, 250, 340};
    default:
      return {170, 260, 350, 440};
  }
}

int NextWaitProgress(int previous) { return previous >= 100 ? 10 : previous + 2; }

void ShowInfoWaitProgress(HWND page, bool on) {
  HWND bar = ::GetDlgItem(page, kInfoProgressId);
  HWND label = ::GetDlgItem(page, kInfoLoadingLabelId);
  if (on) {
    ::SetTimer(page, kInfoWaitTimer, 200, nullptr);
    ::SendMessageW(bar, PBM_SETPOS, 10, 0);
  } else {
    ::KillTimer(page, kInfoWaitTimer);
    ::SendMessageW(bar, PBM_SETPOS, 100, 0);
    if (bar) ::UpdateWindow(bar);
  }
  ::ShowWindow(bar, on ? SW_SHOW : SW_HIDE);
  ::ShowWindow(label, on ? SW_SHOW : SW_HIDE);
}

void AdvanceInfoWaitProgress(HWND page) {
  HWND bar = ::GetDlgItem(page, kInfoProgressId);
  int previous = (int)::SendMessageW(bar, PBM_DELTAPOS, 2, 0);
  if (previous >= 100) ::SendMessageW(bar, PBM_SETPOS, (WPARAM)NextWaitProgress(previous), 0);
}

const char kInfoCutLine[] = "[...]";

bool ReadInfoFileText(const wchar_t* path, const std::string& headerLabel, InfoLines mode, HANDLE cancel,
                      InfoFileText* text) {
  *text = InfoFileText{};
  // Shared for reading, writing and deleting: the server replaces a file by
  // renaming a new one onto it, which must never fail because of a reader.
  FILETIME written{};
  FILE* in = OpenSharedForReading(path, &written);
  if (!in) return false;
  text->opened = true;
  FILETIME local{};
  SYSTEMTIME st{};
  if ((written.dwLowDateTime || written.dwHighDateTime) && ::FileTimeToLocalFileTime(&written, &local) &&
      ::FileTimeToSystemTime(&local, &st))
    text->header = FormatLastUpdatedHeader(headerLabel, st);
  BoundedLineReader reader(in);
  std::string line;
  bool inVideo = false, listed = false;
  while (!Cancelled(cancel)) {
    if (text->lines.size() >= kInfoMaxListedLines || reader.Consumed() >= kInfoMaxReadBytes) {
      text->cut = reader.Next(&line);  // anything left is not listed
      break;
    }
    if (!reader.Next(&line)) break;
    // The further pieces of a long line go where its first piece went.
    if (!reader.Continued()) listed = IsListedInfoLine(line, mode, &inVideo);
    if (listed) text->lines.push_back(line);
  }
  std::fclose(in);
  return true;
}

bool FillInfoList(HWND list, const InfoFileText& text, const std::function<bool()>& stop) {
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  if (!text.opened) return true;
  size_t items = text.lines.size() + 2, bytes = text.header.size();
  for (const std::string& l : text.lines) bytes += l.size() + 1;
  ::SendMessageW(list, LB_INITSTORAGE, items, bytes * sizeof(wchar_t));
  if (!text.header.empty()) AddLine(list, text.header);
  for (const std::string& l : text.lines) {
    if (stop && stop()) return false;
    AddLine(list, l);
  }
  if (text.cut) AddLine(list, kInfoCutLine);
  return true;
}

namespace {

// Waits for the list's fill lock (or the page going); true when held.
bool TakeFillLock(InfoFillOrder* order, HANDLE cancel) {
  HANDLE waits[2] = {order->lock, cancel};
  DWORD r = ::WaitForMultipleObjects(cancel ? 2 : 1, waits, FALSE, INFINITE);
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0;
}

}  // namespace

DWORD WINAPI ReadInfoFileThread(LPVOID param) {
  auto* rec = static_cast<InfoReaderRecord*>(param);
  if (!rec) return 0;
  if (rec->category < suite::INFO_CATEGORY_COUNT && rec->page && rec->list) {
    bool owned = false, failed = false, cancelled = false;
    if (rec->mutex) {
      HANDLE waits[2] = {rec->mutex, rec->cancel};
      DWORD r = ::WaitForMultipleObjects(rec->cancel ? 2 : 1, waits, FALSE,
                                         rec->mutexWaitMs ? rec->mutexWaitMs : 30000);
      if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0) owned = true;  // abandoned: ours all the same
      else if (r == WAIT_OBJECT_0 + 1) cancelled = true;
      else if (r == WAIT_FAILED) failed = true;
    }
    InfoFileText text;
    LONG reading = 0;
    if (!failed && !cancelled) {
      ReadInfoFileText(rec->path, rec->header, rec->lines, rec->cancel, &text);
      if (rec->order) reading = ::InterlockedIncrement(&rec->order->read);
    }
    // The list is filled with the mutex released: the page's thread may be
    // slow to take the lines, and the server's writers never wait for it.
    if (owned) ::ReleaseMutex(rec->mutex);
    if (!failed && !cancelled && !Cancelled(rec->cancel)) {
      if (!rec->order || !rec->order->lock) {
        FillInfoList(rec->list, text, [rec] { return Cancelled(rec->cancel); });
      } else if (TakeFillLock(rec->order, rec->cancel)) {
        InfoFillOrder* order = rec->order;
        // A later reading lists the file itself: this one gives way.
        auto stop = [rec, order, reading] { return Cancelled(rec->cancel) || order->read > reading; };
        if (reading > order->listed && !stop() && FillInfoList(rec->list, text, stop)) order->listed = reading;
        ::ReleaseMutex(order->lock);
      }
    }
  }
  if (rec->ownMutex) ::CloseHandle(rec->mutex);
  if (rec->message && ::IsWindow(rec->page))
    ::PostMessageW(rec->page, rec->message, suite::INFO_REPLY_LOADED, (LPARAM)rec->category);
  std::free(rec);
  return 1;
}

InfoClient::InfoClient(unsigned category, const std::string& fileBase) : category_(category), fileBase_(fileBase) {}

InfoClient::~InfoClient() {
  Detach();
  if (cancel_) ::CloseHandle(cancel_);
  if (order_.lock) ::CloseHandle(order_.lock);
}

void InfoClient::Attach(HWND page, HWND list, UINT message, HANDLE mutex, const std::wstring& infoDir,
                        const std::string& headerLabel) {
  page_ = page;
  list_ = list;
  message_ = message;
  mutex_ = mutex;
  if (!headerLabel.empty()) headerLabel_ = headerLabel;
  path_.clear();
  if (IsAbsoluteDirectory(infoDir)) {
    BuildInfoFilePath(infoDir, fileBase_, &path_);
  } else {
    // Without an absolute data directory the file is taken by its bare
    // name, from the current directory; but a published directory too long
    // for the files names none at all.
    std::wstring published = PublishedDirectory();
    if (!(IsAbsoluteDirectory(published) && TooLongForTheFiles(published)))
      BuildInfoFilePath(std::wstring(), fileBase_, &path_);
  }
  if (!cancel_) cancel_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  else ::ResetEvent(cancel_);
  if (!order_.lock) order_.lock = ::CreateMutexW(nullptr, FALSE, nullptr);
}

void InfoClient::SetWaiting(bool on) {
  if (on) waitStart_ = ::GetTickCount();
  if (waiting_ == on) return;
  waiting_ = on;
  if (onWait_) onWait_(on);
}

bool InfoClient::Request(bool reuse) {
  server_ = ::FindWindowW(nullptr, suite::kInfoServerTitle);
  if (!server_ || !message_ || !page_ || path_.empty()) return false;
  uint32_t word = category_ | (reuse ? suite::INFO_REQUEST_REUSE : 0u);
  if (!::PostMessageW(server_, message_, reinterpret_cast<WPARAM>(page_), (LPARAM)word)) return false;
  SetWaiting(true);
  return true;
}

bool InfoClient::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (!message_ || msg != message_) return false;
  *result = 1;
  if ((uint32_t)lp != category_) return true;
  if (wp == suite::INFO_REPLY_READY) {
    if (list_) ::SendMessageW(list_, WM_COMMAND, kListDefaultErase, 0);
    if (!StartReading()) {
      // Nothing will read the file: the wait ends here.
      if (list_) ::SendMessageW(list_, WM_COMMAND, kListDefaultErase, 1);
      SetWaiting(false);
    }
  } else if (wp == suite::INFO_REPLY_LOADED || wp == suite::INFO_REPLY_FAILED) {
    // Read, or nothing new to read: the server could not write the file
    // (the list keeps what it showed, under that file's own time line).
    if (list_) ::SendMessageW(list_, WM_COMMAND, kListDefaultErase, 1);
    ::InvalidateRect(page_, nullptr, TRUE);
    ::UpdateWindow(page_);
    SetWaiting(false);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  }
  return true;
}

bool InfoClient::StartReading() {
  if (list_) ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  Reap();
  if (path_.empty()) return false;
  auto* rec = static_cast<InfoReaderRecord*>(std::calloc(1, sizeof(InfoReaderRecord)));
  if (!rec) return false;
  rec->page = page_;
  rec->list = list_;
  std::memcpy(rec->path, path_.c_str(), (path_.size() + 1) * sizeof(wchar_t));
  rec->category = category_;
  rec->message = message_;
  rec->mutex = mutex_;
  if (!rec->mutex) {
    // The sheet found no server when it opened; one that started since
    // serialises its files with the same mutex.
    rec->mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, suite::kInfoMutexName);
    rec->ownMutex = rec->mutex != nullptr;
  }
  rec->cancel = cancel_;
  std::snprintf(rec->header, sizeof(rec->header), "%s", headerLabel_.c_str());
  rec->lines = lines_;
  rec->mutexWaitMs = mutexWaitMs_;
  rec->order = &order_;
  HANDLE t = startThread_ ? startThread_(&ReadInfoFileThread, rec)
                          : ::CreateThread(nullptr, 0, &ReadInfoFileThread, rec, 0, nullptr);
  if (!t) {
    if (rec->ownMutex) ::CloseHandle(rec->mutex);
    std::free(rec);
    return false;
  }
  readers_.push_back(t);
  return true;
}

void InfoClient::OnWaitTick() {
  if (!waiting_) return;
  Reap();
  bool serverGone = !server_ || !::IsWindow(server_);
  if ((serverGone && readers_.empty()) || ::GetTickCount() - waitStart_ > replyDeadlineMs_) {
    if (list_) ::SendMessageW(list_, WM_COMMAND, kListDefaultErase, 1);
    SetWaiting(false);
  }
}

void InfoClient::Reap() { appkit::CloseFinishedThreads(&readers_); }

size_t InfoClient::RunningReaders() {
  Reap();
  return readers_.size();
}

void InfoClient::Detach() {
  if (cancel_) ::SetEvent(cancel_);
  for (HANDLE t : readers_) {
    appkit::JoinServingSentMessages(t);
    ::CloseHandle(t);
  }
  readers_.clear();
  if (waiting_) SetWaiting(false);
}

}  // namespace ctlfw
