#include "testsupport/fakeinfo.h"

#include "suite/info.h"
#include "suite/messages.h"

namespace testsupport {

namespace {

const wchar_t kClass[] = L"testsupport.FakeInfoServer";
// How long a write waits for a reader holding the mutex (as readers wait).
constexpr DWORD kMutexWaitMs = 30000;

std::wstring Widen(const char* s) {
  std::wstring w;
  while (*s) w += static_cast<wchar_t>(static_cast<unsigned char>(*s++));
  return w;
}

}  // namespace

FakeInfoServer::FakeInfoServer(const std::wstring& dir, Mode mode) : dir_(dir), mode_(mode) {
  if (!dir_.empty() && dir_.back() != L'\\' && dir_.back() != L'/') dir_ += L'\\';
  message_ = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  selfTestMessage_ = ::RegisterWindowMessageW(suite::kQuorrelMessage2);
  mutex_ = ::CreateMutexW(nullptr, FALSE, suite::kInfoMutexName);
  stop_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  closed_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  requestEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  thread_ = std::thread([this] { Run(); });
  ::WaitForSingleObject(ready_, 10000);
}

FakeInfoServer::~FakeInfoServer() {
  ::SetEvent(stop_);  // a write waiting for the mutex gives up
  if (hwnd_) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  if (thread_.joinable()) thread_.join();
  if (published_) RestoreModulePath();
  for (HANDLE h : {mutex_, stop_, ready_, closed_, requestEvent_})
    if (h) ::CloseHandle(h);
}

void FakeInfoServer::Run() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &FakeInfoServer::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassW(&wc);  // fails harmlessly when a former server registered it
  HWND w = ::CreateWindowExW(0, kClass, suite::kInfoServerTitle, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, this);
  hwnd_ = w;
  ::SetEvent(ready_);
  MSG msg;
  while (w && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::SetEvent(closed_);
}

LRESULT CALLBACK FakeInfoServer::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
  auto* self = reinterpret_cast<FakeInfoServer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && msg == self->message_ && self->message_) {
    self->OnRequest(reinterpret_cast<HWND>(wp), lp);
    return 0;
  }
  if (self && msg == self->selfTestMessage_ && self->selfTestMessage_) return self->OnSelfTest(wp);
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void FakeInfoServer::OnRequest(HWND client, LPARAM lp) {
  Request r{client, static_cast<uint32_t>(lp) & ~suite::INFO_REQUEST_REUSE,
            (static_cast<uint32_t>(lp) & suite::INFO_REQUEST_REUSE) != 0};
  Mode mode;
  {
    std::lock_guard<std::mutex> g(lock_);
    requests_.push_back(r);
    mode = mode_;
  }
  ::SetEvent(requestEvent_);
  // Window commands (117...) and unknown categories name no file.
  if (r.category >= suite::INFO_CATEGORY_COUNT) return;
  switch (mode) {
    case Mode::Reply:
      if (WriteFixture(r.category)) ::PostMessageW(client, message_, suite::INFO_REPLY_READY, r.category);
      break;
    case Mode::ReplyOtherCategory:
      ::PostMessageW(client, message_, suite::INFO_REPLY_READY, (r.category + 1) % suite::INFO_CATEGORY_COUNT);
      break;
    case Mode::NeverReply:
      break;
  }
}

LRESULT FakeInfoServer::OnSelfTest(WPARAM test) {
  SelfTestAnswer a{0, ""};
  bool hang;
  {
    std::lock_guard<std::mutex> g(lock_);
    selfTests_.push_back(static_cast<unsigned>(test));
    hang = hangOnSelfTest_;
    auto it = selfTestAnswers_.find(static_cast<unsigned>(test));
    if (it != selfTestAnswers_.end()) a = it->second;
  }
  if (hang) {
    // A hung server: nothing is answered until the server goes.
    ::WaitForSingleObject(stop_, INFINITE);
    return 1;
  }
  if (test == 0) return 0;
  if (!a.lastResult.empty()) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) == ERROR_SUCCESS) {
      ::RegSetValueExA(key, "LastResult", 0, REG_SZ, reinterpret_cast<const BYTE*>(a.lastResult.c_str()),
                       static_cast<DWORD>(a.lastResult.size() + 1));
      ::RegCloseKey(key);
    }
  }
  return static_cast<LRESULT>(a.answer);
}

void FakeInfoServer::SetSelfTest(unsigned test, uint32_t answer, const std::string& lastResult) {
  std::lock_guard<std::mutex> g(lock_);
  selfTestAnswers_[test] = SelfTestAnswer{answer, lastResult};
}

void FakeInfoServer::SetHangOnSelfTest(bool hang) {
  std::lock_guard<std::mutex> g(lock_);
  hangOnSelfTest_ = hang;
}

std::vector<unsigned> FakeInfoServer::SelfTests() const {
  std::lock_guard<std::mutex> g(lock_);
  return selfTests_;
}

bool FakeInfoServer::WriteFixture(uint32_t category) {
  std::string text;
  {
    std::lock_guard<std::mutex> g(lock_);
    auto it = fixtures_.find(category);
    text = it != fixtures_.end() ? it->second : DefaultFixture(category);
  }
  HANDLE both[2] = {mutex_, stop_};
  DWORD w = ::WaitForMultipleObjects(2, both, FALSE, kMutexWaitMs);
  if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED_0) return false;
  bool ok = false;
  HANDLE f = ::CreateFileW(FilePath(category).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD put = 0;
    ok = ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) && put == text.size();
    ::CloseHandle(f);
  }
  ::ReleaseMutex(mutex_);
  return ok;
}

std::wstring FakeInfoServer::FilePath(uint32_t category) const {
  if (category >= suite::INFO_CATEGORY_COUNT) return {};
  return dir_ + Widen(suite::kInfoFileBase[category]) + Widen(suite::kInfoFileExt);
}

void FakeInfoServer::SetMode(Mode mode) {
  std::lock_guard<std::mutex> g(lock_);
  mode_ = mode;
}

void FakeInfoServer::SetFixture(uint32_t category, const std::string& text) {
  std::lock_guard<std::mutex> g(lock_);
  fixtures_[category] = text;
}

std::string FakeInfoServer::DefaultFixture(uint32_t category) {
  std::string base = category < suite::INFO_CATEGORY_COUNT ? suite::kInfoFileBase[category] : "?";
  return "\r\n"
         "@3Fake information " + base + "\r\n"
         ";Fake information server\r\n"
         "Category:\t" + std::to_string(category) + "\r\n"
         "\r\n"
         "Label:\tValue\r\n"
         "File:\t" + base + suite::kInfoFileExt + "\r\n";
}

std::vector<FakeInfoServer::Request> FakeInfoServer::Requests() const {
  std::lock_guard<std::mutex> g(lock_);
  return requests_;
}

bool FakeInfoServer::WaitForRequest(DWORD ms, Request* out) {
  DWORD start = ::GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> g(lock_);
      if (taken_ < requests_.size()) {
        if (out) *out = requests_[taken_];
        ++taken_;
        return true;
      }
    }
    DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return false;
    // The caller's windows (an Information page, its list) keep working.
    ::MsgWaitForMultipleObjects(1, &requestEvent_, FALSE, ms - elapsed, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

bool FakeInfoServer::PublishModulePath() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  if (!published_) {
    DWORD size = 0;
    hadModulePath_ =
        ::RegQueryValueExW(key, suite::kModulePathValue, nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS;
    oldModulePath_.assign(size, 0);
    if (hadModulePath_ && size &&
        ::RegQueryValueExW(key, suite::kModulePathValue, nullptr, &oldType_, oldModulePath_.data(), &size) !=
            ERROR_SUCCESS)
      hadModulePath_ = false;
  }
  bool ok = ::RegSetValueExW(key, suite::kModulePathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(dir_.c_str()),
                             static_cast<DWORD>((dir_.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  published_ = published_ || ok;
  return ok;
}

void FakeInfoServer::RestoreModulePath() {
  if (!published_) return;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  if (hadModulePath_)
    ::RegSetValueExW(key, suite::kModulePathValue, 0, oldType_, oldModulePath_.data(),
                     static_cast<DWORD>(oldModulePath_.size()));
  else
    ::RegDeleteValueW(key, suite::kModulePathValue);
  ::RegCloseKey(key);
  published_ = false;
}

bool FakeInfoServer::WaitClosed(DWORD ms) const {
  return ::WaitForSingleObject(closed_, ms) == WAIT_OBJECT_0;
}

}  // namespace testsupport
