#include "stress/settings.h"

#include "appkit/registry.h"
#include "settings.h"

namespace stress {


StressSettings ReadStressSettings(HKEY root, const std::wstring& keyPath, const std::wstring& programDir) {
  StressSettings s;
  s.dataDir = programDir;
  if (!s.dataDir.empty() && s.dataDir.back() != L'\\') s.dataDir += L'\\';
  auto num = [&](const wchar_t* name, int def) {
    return (int)appkit::RegReadDword(root, keyPath, name, (DWORD)def);
  };
  s.messageBoxTitle = appkit::RegReadString(root, keyPath, L"MessageBoxTitle", s.messageBoxTitle);
  if (s.messageBoxTitle.empty()) s.messageBoxTitle = L"Qev";
  s.sleepMs = halvix::ClampSleep(num(L"Sleep", 1000));
  s.timeoutCount = halvix::ClampTimeoutCount(num(L"nTimeoutCount", 20));
  s.cFactor = appkit::RegReadString(root, keyPath, L"CFactor", L"75");
  s.bnhRefFileName = appkit::RegReadString(root, keyPath, L"BnhRefFileName", L"");
  if (s.bnhRefFileName.empty()) s.bnhRefFileName = s.dataDir + L"bnchref.bnh";
  s.testNum = halvix::ClampTestNum(num(L"nTestNum", 1));
  s.stopOnError = halvix::ClampStopOnError(num(L"nStopOnError", 1));
  s.oneByOne = halvix::ClampOneByOne(num(L"nOneByOne", 1));
  return s;
}

void WriteStressChoices(HKEY root, const std::wstring& keyPath, const StressSettings& s) {
  appkit::RegWriteDword(root, keyPath, L"nTestNum", (DWORD)s.testNum);
  appkit::RegWriteDword(root, keyPath, L"nStopOnError", (DWORD)s.stopOnError);
  appkit::RegWriteDword(root, keyPath, L"nOneByOne", (DWORD)s.oneByOne);
}

}  // namespace stress
