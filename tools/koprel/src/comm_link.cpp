#include <string>

#include "koprel/koprel.h"

namespace koprel {

bool CommPortLink::Open(int n) {
  Close();
  std::wstring name = L"COM" + std::to_wstring(n);
  port_ = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  return port_ != INVALID_HANDLE_VALUE;
}

bool CommPortLink::SetTimeouts(const COMMTIMEOUTS& t) {
  COMMTIMEOUTS copy = t;
  return ::SetCommTimeouts(port_, &copy) != FALSE;
}

bool CommPortLink::GetState(DCB* dcb) { return ::GetCommState(port_, dcb) != FALSE; }

bool CommPortLink::SetState(const DCB& dcb) {
  DCB copy = dcb;
  return ::SetCommState(port_, &copy) != FALSE;
}

bool CommPortLink::Purge() {
  return ::PurgeComm(port_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != FALSE;
}

bool CommPortLink::Write(const uint8_t* data, DWORD n, DWORD* written) {
  return ::WriteFile(port_, data, n, written, nullptr) != FALSE;
}

bool CommPortLink::Read(uint8_t* data, DWORD n, DWORD* got) {
  return ::ReadFile(port_, data, n, got, nullptr) != FALSE;
}

void CommPortLink::Close() {
  if (port_ != INVALID_HANDLE_VALUE) ::CloseHandle(port_);
  port_ = INVALID_HANDLE_VALUE;
}

}  // namespace koprel

