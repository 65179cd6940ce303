// The fake information server as a program of its own, for tests whose
// client lives in another process:
//   fakeinfo.exe -mode reply|never|other [-publish] -dir <directory>
// (-dir takes the rest of the line, blanks included). It runs until its
// window gets WM_CLOSE; with -publish it writes "ModulePath" on start and
// restores it on exit. Exit code 0, or 2 when the server could not start.
#include <windows.h>

#include <string>

#include "testsupport/fakeinfo.h"

using testsupport::FakeInfoServer;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  std::wstring line = args ? args : L"";
  FakeInfoServer::Mode mode = FakeInfoServer::Mode::Reply;
  if (line.find(L"-mode never") != std::wstring::npos) mode = FakeInfoServer::Mode::NeverReply;
  if (line.find(L"-mode other") != std::wstring::npos) mode = FakeInfoServer::Mode::ReplyOtherCategory;
  bool publish = line.find(L"-publish") != std::wstring::npos;
  std::wstring dir;
  size_t at = line.find(L"-dir ");
  if (at != std::wstring::npos) {
    dir = line.substr(at + 5);
    if (dir.size() >= 2 && dir.front() == L'"' && dir.back() == L'"') dir = dir.substr(1, dir.size() - 2);
  }
  if (dir.empty()) return 2;

  FakeInfoServer server(dir, mode);
  if (!server.Ok()) return 2;
  if (publish && !server.PublishModulePath()) return 2;
  server.WaitClosed(INFINITE);
  return 0;
}
