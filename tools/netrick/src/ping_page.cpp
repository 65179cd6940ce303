// The "Ping/Trace" page: echo requests to the host the user typed, through
// a raw ICMP socket of the sockets interface 1.1 or, when the system gives
// no raw socket, through the system's ICMP library. One worker per run; it
// writes its lines into the output list and stops at its next check when
// asked to.
#include <winsock.h>
// (after winsock.h)
#include <ipexport.h>

#include <algorithm>
#include <cstring>

#include "appkit/text.h"
#include "appkit/threads.h"
#include "echo_run.h"
#include "icmp_packet.h"
#include "netrick.h"
#include "resource.h"

namespace netrick {

namespace {

std::atomic<int> g_running{0};

constexpr DWORD kReplyWaitMs = 5000;
constexpr DWORD kSliceMs = 100;  // a stop request is seen within this

std::wstring Str(const PingJob& job, UINT id) { return appkit::LoadStr(id, job.res); }

void AddLine(const PingJob& job, const std::wstring& text) {
  if (::IsWindow(job.list)) ::SendMessageW(job.list, LB_ADDSTRING, 0, (LPARAM)text.c_str());
}

void SocketError(const PingJob& job, const wchar_t* operation) {
  AddLine(job, appkit::Format(Str(job, IDS_SOCKET_ERROR).c_str(), operation, ::WSAGetLastError()));
}

std::wstring Dotted(uint32_t addressAsStored) {
  in_addr a;
  a.s_addr = addressAsStored;
  return appkit::Widen(::inet_ntoa(a));
}

// The first address of the host, by name or dotted form. False when it
// does not resolve.
bool Resolve(const std::wstring& host, uint32_t* address) {
  const std::string name = appkit::Narrow(host);
  const unsigned long dotted = ::inet_addr(name.c_str());
  if (dotted != INADDR_NONE) {
    *address = (uint32_t)dotted;
    return true;
  }
  hostent* h = ::gethostbyname(name.c_str());
  if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0]) return false;
  std::memcpy(address, h->h_addr_list[0], 4);
  return true;
}

void EndRun(const PingJob& job) {
  if (::IsWindow(job.start)) ::EnableWindow(job.start, TRUE);
  --g_running;
}

// Waits up to five seconds for the datagram that answers request
// `identifier`; datagrams that do not answer it (our own request read back
// on the loopback, other programs' traffic) are read and passed over.
Wait WaitForAnswer(const PingJob& job, SOCKET s, uint16_t identifier, Datagram* answer) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (job.stop) return Wait::Stopped;
    const DWORD spent = ::GetTickCount() - start;
    if (spent >= kReplyWaitMs) return Wait::TimedOut;
    const DWORD slice = std::min(kSliceMs, kReplyWaitMs - spent);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{(long)(slice / 1000), (long)((slice % 1000) * 1000)};
    const int n = ::select(0, &readable, nullptr, nullptr, &tv);
    if (n == SOCKET_ERROR) {
      SocketError(job, L"select()");
      return Wait::Failed;
    }
    if (n == 0) continue;
    uint8_t buffer[kReceiveBufferSize];
    sockaddr_in from{};
    int fromLen = sizeof(from);
    const int got = ::recvfrom(s, (char*)buffer, sizeof(buffer), 0, (sockaddr*)&from, &fromLen);
    if (got == SOCKET_ERROR) {
      SocketError(job, L"recvfrom()");
      continue;
    }
    Datagram d = ParseDatagram(buffer, (size_t)got);
    if (AnswersRequest(d, identifier)) {
      *answer = d;
      return Wait::Answer;
    }
  }
}

// The raw socket of one run, to the destination of that run.
class SocketTransport : public EchoTransport {
 public:
  SocketTransport(const PingJob& job, SOCKET s, const sockaddr_in& dest) : job_(job), s_(s), dest_(dest) {}
  bool SetTimeToLive(int ttl) override {
    return ::setsockopt(s_, IPPROTO_IP, IP_TTL, (const char*)&ttl, sizeof(ttl)) != SOCKET_ERROR;
  }
  bool Send(const std::array<uint8_t, kEchoRequestSize>& packet) override {
    if (::sendto(s_, (const char*)packet.data(), (int)packet.size(), 0, (const sockaddr*)&dest_, sizeof(dest_)) !=
        SOCKET_ERROR)
      return true;
    SocketError(job_, L"sendto()");
    return false;
  }
  Wait WaitForAnswer(uint16_t identifier, Datagram* answer) override {
    return netrick::WaitForAnswer(job_, s_, identifier, answer);
  }
  bool StopAsked() const override { return job_.stop; }
  uint32_t Now() const override { return ::GetTickCount(); }

 private:
  const PingJob& job_;
  SOCKET s_;
  sockaddr_in dest_;
};

// The line of a hop's outcome.
void AddHopLine(const PingJob& job, const HopEvent& e) {
  switch (e.line) {
    case HopLine::TtlFailed:
      AddLine(job, Str(job, IDS_SETSOCKOPT));
      break;
    case HopLine::Unreachable:
      AddLine(job, Str(job, IDS_UNREACHABLE));
      break;
    case HopLine::ReplyTime:
      AddLine(job, appkit::Format(Str(job, IDS_REPLY_TIME).c_str(), Dotted(e.source).c_str(),
                                  (unsigned)kEchoDataBytes, e.ms, e.ttl));
      break;
    case HopLine::Reply:
      AddLine(job, appkit::Format(Str(job, IDS_REPLY).c_str(), Dotted(e.source).c_str(), (unsigned)kEchoDataBytes,
                                  e.ttl));
      break;
    case HopLine::TimeExceeded:
      AddLine(job, appkit::Format(Str(job, IDS_REPLY).c_str(), Dotted(e.source).c_str(), 0u, e.ttl));
      break;
    case HopLine::Other:
      AddLine(job, appkit::Format(Str(job, IDS_OTHER_ICMP).c_str(), e.type));
      break;
  }
}

}  // namespace

DWORD WINAPI CPingTrace::RawSocketWorker(LPVOID p) {
  const PingJob& job = *static_cast<PingJob*>(p);
  ++g_running;
  SOCKET s = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (s == INVALID_SOCKET) {
    SocketError(job, L"socket()");
    EndRun(job);
    return 0;
  }
  uint32_t address = 0;
  if (!Resolve(job.host, &address)) {
    AddLine(job, appkit::Format(Str(job, IDS_HOST_NOT_FOUND).c_str(), job.host.c_str()));
    ::closesocket(s);
    EndRun(job);
    return 0;
  }
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  dest.sin_port = 0;
  dest.sin_addr.s_addr = address;
  AddLine(job, appkit::Format(Str(job, IDS_PINGING).c_str(), job.host.c_str(), Dotted(address).c_str(),
                              kEchoDataBytes));
  SocketTransport transport(job, s, dest);
  RunEchoes(job.trace, transport, [&job](const HopEvent& e) { AddHopLine(job, e); });
  if (!job.stop) AddLine(job, L"");
  if (::closesocket(s) == SOCKET_ERROR) SocketError(job, L"closesocket()");
  EndRun(job);
  return 0;
}

DWORD WINAPI CPingTrace::IcmpLibraryWorker(LPVOID p) {
  const PingJob& job = *static_cast<PingJob*>(p);
  ++g_running;
  typedef HANDLE(WINAPI * CreateFn)();
  typedef DWORD(WINAPI * SendEchoFn)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
  typedef BOOL(WINAPI * CloseFn)(HANDLE);
  HMODULE lib = ::LoadLibraryW(L"ICMP.DLL");
  if (!lib) {
    AddLine(job, Str(job, IDS_ICMP_LIBRARY));
    EndRun(job);
    return 0;
  }
  auto create = reinterpret_cast<CreateFn>(::GetProcAddress(lib, "IcmpCreateFile"));
  auto send = reinterpret_cast<SendEchoFn>(::GetProcAddress(lib, "IcmpSendEcho"));
  auto close = reinterpret_cast<CloseFn>(::GetProcAddress(lib, "IcmpCloseHandle"));
  if (!create || !send || !close) {
    AddLine(job, Str(job, IDS_ICMP_EXPORTS));
    ::FreeLibrary(lib);
    EndRun(job);
    return 0;
  }
  HANDLE icmp = create();
  if (icmp == INVALID_HANDLE_VALUE) {
    AddLine(job, Str(job, IDS_ICMP_HANDLE));
    ::FreeLibrary(lib);
    EndRun(job);
    return 0;
  }
  // Resolved once: every echo goes to the address the run started with.
  uint32_t address = 0;
  if (!Resolve(job.host, &address)) {
    AddLine(job, appkit::Format(Str(job, IDS_HOST_NOT_FOUND).c_str(), job.host.c_str()));
  } else {
    AddLine(job, appkit::Format(Str(job, IDS_PINGING).c_str(), job.host.c_str(), Dotted(address).c_str(), 0));
    const int echoes = job.trace ? 20 : 4;
    for (int i = 1; i <= echoes && !job.stop; ++i) {
      IP_OPTION_INFORMATION options{};
      options.Ttl = (UCHAR)(job.trace ? i : 6);
      // Room for the reply record and the ICMP error data that may follow.
      alignas(8) BYTE reply[sizeof(ICMP_ECHO_REPLY) + 8 + 64] = {};
      char nothing = 0;
      const DWORD n = send(icmp, address, &nothing, 0, &options, reply, sizeof(reply), 8000);
      if (n == 0) {
        AddLine(job, Str(job, IDS_UNREACHABLE));
        continue;
      }
      const auto* r = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
      AddLine(job, appkit::Format(Str(job, IDS_REPLY_TIME).c_str(), Dotted(r->Address).c_str(),
                                  (unsigned)r->DataSize, (unsigned long)r->RoundTripTime, (unsigned)r->Options.Ttl));
      if (job.trace && r->Options.Ttl != 0) break;
    }
  }
  close(icmp);
  ::FreeLibrary(lib);
  EndRun(job);
  return 0;
}

BOOL CPingTrace::OnInit() {
  initialised_ = true;
  if (!list_.hwnd()) {
    list_.Attach(hwnd(), IDC_OUTPUT);
    const int stops[] = {170, 250, 330, 480};
    list_.SetTabStops(4, stops);
  }
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    ::SendMessageW(list_.hwnd(), LB_ADDSTRING, 0, (LPARAM)TheApp()->Str(IDS_WINSOCK_INIT).c_str());
  } else {
    socketsStarted_ = true;
    if (data.wVersion == MAKEWORD(1, 1)) {
      ready_ = true;
      SOCKET probe = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
      if (probe == INVALID_SOCKET) useLibrary_ = true;
      else ::closesocket(probe);
    } else {
      ::SendMessageW(list_.hwnd(), LB_ADDSTRING, 0, (LPARAM)TheApp()->Str(IDS_WINSOCK_VERSION).c_str());
    }
  }
  Check(IDC_PING, true);
  Check(IDC_TRACE, false);
  return TRUE;
}

bool CPingTrace::Running() const { return worker_ && ::WaitForSingleObject(worker_, 0) == WAIT_TIMEOUT; }

void CPingTrace::StopWorker() {
  if (!worker_) return;
  job_->stop = true;
  // The worker sends its lines to this thread's list: keep answering.
  appkit::JoinServingSentMessages(worker_);
  ::CloseHandle(worker_);
  worker_ = nullptr;
  delete job_;
  job_ = nullptr;
}

void CPingTrace::OnStart() {
  if (Running()) {
    StopWorker();
    EnableItem(IDC_START, true);
    return;
  }
  if (!ready_) return;
  StopWorker();  // a finished run's thread
  std::wstring host = ItemText(IDC_HOST);
  const size_t first = host.find_first_not_of(L" \t");
  host = first == std::wstring::npos ? L"" : host.substr(first, host.find_last_not_of(L" \t") - first + 1);
  if (host.empty()) {
    TheApp()->Message(hwnd(), TheApp()->Str(IDS_ENTER_HOST), MB_OK);
    return;
  }
  SendItem(IDC_OUTPUT, LB_RESETCONTENT);
  job_ = new PingJob;
  job_->host = host;
  job_->trace = IsChecked(IDC_TRACE);
  job_->useLibrary = useLibrary_;
  job_->list = Item(IDC_OUTPUT);
  job_->start = Item(IDC_START);
  job_->res = TheApp()->resources();
  worker_ = ::CreateThread(nullptr, 0, useLibrary_ ? &IcmpLibraryWorker : &RawSocketWorker, job_, 0, nullptr);
  if (worker_) {
    EnableItem(IDC_START, false);
  } else {
    delete job_;
    job_ = nullptr;
  }
}

void CPingTrace::CleanUp() {
  if (!initialised_) return;
  StopWorker();
  if (socketsStarted_) ::WSACleanup();
  socketsStarted_ = false;
  initialised_ = false;
}

bool CPingTrace::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_START && code == BN_CLICKED) {
    OnStart();
    return true;
  }
  return appkit::ModalSheetPage::OnCommand(id, code, ctl);
}

bool CPingTrace::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (ctlfw::ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

}  // namespace netrick
