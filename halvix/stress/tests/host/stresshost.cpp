// Opens the stress test or benchmark dialog as the main program does when
// started with "-Stress" or "-Bench": its main window stays hidden, the
// dialog runs and the program ends with it.
//
// Settings come from HKCU Software\Qev\Halvix\Setting, or from the key
// given with -SettingsKey<path>; the data directory is the directory part
// of that key's "ModulePath" when it is set, else this program's. Tests
// shorten the input-idle wait with -IdleWait<ms>, and with -Attended open
// the dialog as the menu command does (someone is there to answer).
#include <windows.h>

#include <string>

#include "appkit/app.h"
#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/window.h"
#include "settings.h"
#include "stress/commands.h"
#include "suite/info.h"

namespace {

std::wstring SwitchValue(const std::wstring& cmd, const std::wstring& sw) {
  size_t p = cmd.find(sw);
  if (p == std::wstring::npos) return {};
  p += sw.size();
  size_t end = cmd.find(L" -", p);
  return cmd.substr(p, end == std::wstring::npos ? std::wstring::npos : end - p);
}

constexpr UINT kStartCommand = WM_APP + 1;

// The values the main program hands the dialogs, read as it reads them from
// the settings key given to this host.
stress::StressSettings ReadStressSettings(const std::wstring& key, const std::wstring& dataDir) {
  stress::StressSettings s;
  s.dataDir = dataDir;
  auto num = [&](const wchar_t* name, int def) {
    return (int)appkit::RegReadDword(HKEY_CURRENT_USER, key, name, (DWORD)def);
  };
  s.messageBoxTitle = appkit::RegReadString(HKEY_CURRENT_USER, key, L"MessageBoxTitle", L"");
  if (s.messageBoxTitle.empty()) s.messageBoxTitle = L"Qev";
  s.sleepMs = halvix::ClampSleep(num(L"Sleep", 1000));
  s.timeoutCount = halvix::ClampTimeoutCount(num(L"nTimeoutCount", 20));
  s.cFactor = appkit::RegReadString(HKEY_CURRENT_USER, key, L"CFactor", L"75");
  s.bnhRefFileName =
      halvix::DeriveBnhRefFileName(appkit::RegReadString(HKEY_CURRENT_USER, key, L"BnhRefFileName", L""), dataDir);
  s.testNum = halvix::ClampTestNum(num(L"nTestNum", 1));
  s.stopOnError = halvix::ClampStopOnError(num(L"nStopOnError", 1));
  s.oneByOne = halvix::ClampOneByOne(num(L"nOneByOne", 1));
  return s;
}

// What the main program stores back after the dialog ends with OK.
void WriteStressChoices(const std::wstring& key, const stress::StressSettings& s) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, key, L"nTestNum", (DWORD)s.testNum);
  appkit::RegWriteDword(HKEY_CURRENT_USER, key, L"nStopOnError", (DWORD)s.stopOnError);
  appkit::RegWriteDword(HKEY_CURRENT_USER, key, L"nOneByOne", (DWORD)s.oneByOne);
}

class Frame : public appkit::Window {
 public:
  std::wstring commandLine;
  std::wstring key;
  stress::StressSettings settings;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == kStartCommand) {
      halvix::StartFlags flags = halvix::ScanStartFlags(commandLine);
      if ((flags.stress || flags.bench) && commandLine.find(L"-Attended") != std::wstring::npos) {
        if (flags.bench)
          stress::RunBenchmarksCommand(hwnd(), settings);
        else
          stress::RunStressTestCommand(hwnd(), settings);
        WriteStressChoices(key, settings);
        ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
      } else if (flags.stress || flags.bench) {
        stress::RunStartCommand(hwnd(), flags.bench, settings);
        WriteStressChoices(key, settings);
      } else {
        ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
      }
      return 0;
    }
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return Default(msg, wp, lp);
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  appkit::App app;
  Frame frame;
  frame.commandLine = cmdLine ? cmdLine : L"";
  frame.key = SwitchValue(frame.commandLine, L"-SettingsKey");
  if (frame.key.empty()) frame.key = suite::kHalvixSettingKey;

  std::wstring dataDir = appkit::ModuleDir();
  std::wstring modulePath = appkit::RegReadString(HKEY_CURRENT_USER, frame.key, suite::kModulePathValue, L"");
  size_t slash = modulePath.find_last_of(L'\\');
  if (slash != std::wstring::npos) dataDir = modulePath.substr(0, slash + 1);
  frame.settings = ReadStressSettings(frame.key, dataDir);
  std::wstring idle = SwitchValue(frame.commandLine, L"-IdleWait");
  if (!idle.empty()) frame.settings.idleWaitMs = (DWORD)_wtoi(idle.c_str());

  if (!frame.Create(L"HalvixStressHost", L"Halvix", WS_OVERLAPPEDWINDOW, 0, 0, 0, 400, 300, nullptr)) return 1;
  // As the main frame does: the command is posted to itself, the window
  // stays hidden.
  ::PostMessageW(frame.hwnd(), kStartCommand, 0, 0);
  return app.Run();
}
