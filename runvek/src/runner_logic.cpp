#include "runner_logic.h"

#include <cwctype>

namespace runvek {

namespace {

const ModuleInfo kModules[] = {
    {kModuleFenwold, L"FENWOLD", IDD_FENWOLD, 1001},
    {kModuleZentrel, L"ZENTREL", IDD_ZENTREL, 1006},
    {kModuleMedia, L"MEDIA", IDD_MEDIA, 1005},
    {kModuleModem, L"MODEM", IDD_MODEM, 1007},
    {kModuleCdrom, L"CDROM", IDD_CDROM, 1002},
    {kModuleGraphics, L"GRAPHICS", IDD_GRAPHICS, 1003},
    {kModuleStrevan, L"STREVAN", IDD_STREVAN, 1004},
};
const ModuleInfo kUnknown = {kModuleUnknown, L"", IDD_UNKNOWN_MODULE, 0};

bool StartsWithNoCase(const std::wstring& s, size_t at, const wchar_t* word) {
  for (size_t i = 0; word[i]; ++i) {
    if (at + i >= s.size() || std::towupper(s[at + i]) != std::towupper(word[i])) return false;
  }
  return true;
}

bool IsWordChar(wchar_t c) { return std::iswalnum(c) || c == L'_'; }

}  // namespace

const ModuleInfo& ModuleFromFileName(const std::wstring& fileName) {
  // nfenwold.mod, the network-disk module, hosts the disk control, which
  // takes its mode from this name.
  if (StartsWithNoCase(fileName, 0, L"NFENWOLD") && (fileName.size() == 8 || !IsWordChar(fileName[8])))
    return kModules[0];
  for (const ModuleInfo& m : kModules) {
    size_t n = wcslen(m.word);
    if (StartsWithNoCase(fileName, 0, m.word) && (fileName.size() == n || !IsWordChar(fileName[n]))) return m;
  }
  return kUnknown;
}

RunnerSwitches ParseRunnerSwitches(const std::wstring& args) {
  RunnerSwitches sw;
  auto number = [&](size_t at, int* out) {
    size_t end = at;
    long long v = 0;
    while (end < args.size() && std::iswdigit(args[end]) && end - at < 9) v = v * 10 + (args[end++] - L'0');
    if (end > at) *out = static_cast<int>(v);
  };
  for (size_t at = args.find(L'-'); at != std::wstring::npos; at = args.find(L'-', at + 1)) {
    if (StartsWithNoCase(args, at, L"-AutoRun")) sw.autoRun = true;
    else if (StartsWithNoCase(args, at, L"-Check")) sw.check = true;
    else if (StartsWithNoCase(args, at, L"-Floppy")) sw.floppy = true;
    else if (StartsWithNoCase(args, at, L"-ProcTest")) sw.procTest = true;
    else if (StartsWithNoCase(args, at, L"-VideoTest")) sw.videoTest = true;
    else if (StartsWithNoCase(args, at, L"-X")) number(at + 2, &sw.x);
    else if (StartsWithNoCase(args, at, L"-Y")) number(at + 2, &sw.y);
  }
  return sw;
}

std::wstring HelpPageOf(int module, const RunnerSwitches& sw) {
  switch (module) {
    case kModuleFenwold: return sw.floppy ? L"DGFLPY" : L"DGDISK";
    case kModuleZentrel: return sw.procTest ? L"DGPROC" : L"DGMEM";
    case kModuleMedia: return sw.videoTest ? L"DGVIDEO" : L"DGAUDIO";
    case kModuleModem: return L"DGMODEM";
    case kModuleCdrom: return L"DGCDROM";
    case kModuleGraphics: return L"DGGRAPH";
    case kModuleStrevan: return L"DGIO";
    default: return L"DGHELP";
  }
}

bool ParseResultText(const std::wstring& text, int* value) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  size_t start = i;
  long long v = 0;
  while (i < text.size() && std::iswdigit(text[i])) {
    v = v * 10 + (text[i++] - L'0');
    if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;  // an absurd count saturates, it never wraps to a pass
  }
  if (i == start) return false;
  *value = static_cast<int>(negative ? -v : v);
  return true;
}

RECT ControlRectFor(int clientWidth, int clientHeight) {
  return RECT{0, 1, clientWidth - 1, 1 + clientHeight - 35};
}

std::wstring ArgumentsOf(const std::wstring& cmd) {
  size_t i = 0;
  if (!cmd.empty() && cmd[0] == L'"') {
    size_t close = cmd.find(L'"', 1);
    i = close == std::wstring::npos ? cmd.size() : close + 1;
  } else {
    while (i < cmd.size() && cmd[i] != L' ' && cmd[i] != L'\t') ++i;
  }
  while (i < cmd.size() && (cmd[i] == L' ' || cmd[i] == L'\t')) ++i;
  return cmd.substr(i);
}

}  // namespace runvek
