#include "testsupport/soundserver.h"

#include <cstdlib>

#include "testsupport/process.h"

namespace testsupport {

std::wstring SoundServerControl() {
  const char* unix = std::getenv("AUDIO_SERVER_CONTROL");
  if (!unix || !*unix) return L"";
  std::wstring dir = L"Z:";
  for (const char* c = unix; *c; ++c) dir += *c == '/' ? L'\\' : (wchar_t)*c;
  return dir + L"\\";
}

bool AskSoundServer(const std::wstring& request, DWORD ms) {
  std::wstring control = SoundServerControl();
  if (control.empty()) return false;
  std::wstring done = control + request + L".done";
  ::DeleteFileW(done.c_str());
  if (!WriteFileBytes(control + request, "")) return false;
  return PumpUntil([&] { return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, ms);
}

}  // namespace testsupport
