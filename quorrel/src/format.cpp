#include "format.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "appkit/text.h"
#include "resource.h"
#include "suite/info.h"

namespace quorrel {

std::string VersionLine(const std::string& label, unsigned major, unsigned minor, unsigned build) {
  return FormatA("%s\t%u.%2.2u.%u", label.c_str(), major, minor, build & 0xFFFFu);
}

unsigned VersionLabelId(DWORD platformId, DWORD major, DWORD minor) {
  if (platformId == VER_PLATFORM_WIN32_NT) return major == 5 ? IDS_WIN2000_VERSION : IDS_WINNT_VERSION;
  if (platformId == VER_PLATFORM_WIN32s) return IDS_WIN32S_VERSION;
  if (platformId == VER_PLATFORM_WIN32_WINDOWS && major == 4) {
    if (minor == 0) return IDS_WIN95_VERSION;
    if (minor == 10) return IDS_WIN98_VERSION;
  }
  return IDS_WINDOWS_VERSION;
}

std::string KbLine(const std::string& label, uint64_t bytes) {
  return FormatA("%s\t%llu KB", label.c_str(), (unsigned long long)(bytes >> 10));
}

std::string MbLine(const std::string& label, uint64_t bytes) {
  return FormatA("%s\t%.2f MB", label.c_str(), (double)bytes / 1024.0 / 1024.0);
}

std::string PercentLine(const std::string& label, unsigned percent) {
  return FormatA("%s\t%u percent", label.c_str(), percent);
}

std::string HeapProcessName(const std::string& exeFile) {
  size_t cut = exeFile.find_last_of("\\/");
  std::string name = cut == std::string::npos ? exeFile : exeFile.substr(cut + 1);
  for (char& c : name) c = (char)std::toupper((unsigned char)c);
  return name;
}

std::string TrimSystemMessage(const std::string& text) {
  if (text.size() < 3) return {};
  std::string t = text;
  if (t[t.size() - 2] == '\r') t.resize(t.size() - 2);
  return t;
}

void ScanModuleSwitches(const std::string& cmdLine, int* showWnd, int* startup) {
  size_t i = 0;
  while (i < cmdLine.size()) {
    if (cmdLine[i] != '-') {
      ++i;
      continue;
    }
    std::string word = cmdLine.substr(i, 8);
    if (_stricmp(word.c_str(), "-ShowWnd") == 0) *showWnd = 1;
    if (_stricmp(word.c_str(), "-Startup") == 0) *startup = 1;
    ++i;
    while (i < cmdLine.size() && cmdLine[i] != ' ' && cmdLine[i] != '\t' && cmdLine[i] != '-') ++i;
  }
}

std::wstring DirectoryOf(const std::wstring& path) {
  size_t cut = path.find_last_of(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::string BootDriveRoot(const std::string& windowsDir) {
  if (windowsDir.size() >= 3 && std::isalpha((unsigned char)windowsDir[0]) && windowsDir[1] == ':' &&
      windowsDir[2] == '\\')
    return windowsDir.substr(0, 3);
  return {};
}

std::string DirectoryWithSlash(const std::string& dir) {
  if (dir.size() <= 1) return {};
  return dir.back() == '\\' ? dir : dir + "\\";
}

bool IsPrebuildValue(const char* value, size_t length) {
  return value && length > 0 && (value[0] == 'Y' || value[0] == 'y');
}

std::vector<uint16_t> MergeCpuSpeeds(std::vector<uint16_t> table, const std::vector<uint8_t>& file) {
  size_t n = file.size() / 2;
  if (n > table.size()) n = table.size();
  for (size_t i = 0; i < n; ++i) table[i] = (uint16_t)(file[2 * i] | (file[2 * i + 1] << 8));
  return table;
}

bool IsValidRequest(bool windowExists, uint32_t categoryWord) {
  return windowExists && (categoryWord & ~suite::INFO_REQUEST_REUSE) < suite::INFO_CATEGORY_COUNT;
}

bool BuildInfoPath(const std::wstring& dir, unsigned category, wchar_t* buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = 0;
  if (category >= suite::INFO_CATEGORY_COUNT) return false;
  std::wstring path = dir + appkit::Widen(suite::kInfoFileBase[category]) + appkit::Widen(suite::kInfoFileExt);
  if (path.size() + 1 > size) return false;
  std::memcpy(buf, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  return true;
}

bool InfoDirectoryFits(const std::wstring& dir) { return !dir.empty() && dir.size() <= InfoDirectoryMax(); }

size_t InfoDirectoryMax() { return suite::kInfoPathMax - 1 - suite::kInfoFileNameMax; }

bool IsInfoTempFileName(const std::wstring& name) {
  const size_t prefix = 3, ext = 4;
  if (name.size() < prefix + 1 + ext || name.size() > prefix + 4 + ext) return false;
  if (_wcsnicmp(name.c_str(), kInfoTempPrefix, prefix) != 0) return false;
  if (_wcsicmp(name.c_str() + name.size() - ext, L".tmp") != 0) return false;
  for (size_t i = prefix; i < name.size() - ext; ++i) {
    wchar_t c = name[i];
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) return false;
  }
  return true;
}

bool IsFileNewerThan(const FILETIME& fileUtc, const FILETIME& moduleBeginUtc) {
  FILETIME a{}, b{};
  if (!::FileTimeToLocalFileTime(&fileUtc, &a) || !::FileTimeToLocalFileTime(&moduleBeginUtc, &b)) return false;
  ULARGE_INTEGER ua{}, ub{};
  ua.LowPart = a.dwLowDateTime;
  ua.HighPart = a.dwHighDateTime;
  ub.LowPart = b.dwLowDateTime;
  ub.HighPart = b.dwHighDateTime;
  return ua.QuadPart / 10000000ull > ub.QuadPart / 10000000ull;
}

int NextPrebuildCategory(const int flags[16], int cursor) {
  for (int c = cursor < 0 ? 0 : cursor + 1; c < 16; ++c)
    if (flags[c] == 1) return c;
  return 16;
}

namespace {
struct Maker {
  unsigned id;
  const char* name;
};
// The multimedia manufacturer ids of the registration header.
const Maker kMakers[] = {
    {1, "Microsoft Corporation"}, {2, "Creative Labs, Inc."}, {3, "Media Vision, Inc."}, {4, "Fujitsu Corp."},
    {20, "Artisoft, Inc."}, {21, "Turtle Beach, Inc."}, {22, "IBM Corporation"},
    {23, "Vocaltec Ltd."}, {24, "Roland"}, {25, "DSP Solutions, Inc."}, {26, "NEC"},
    {27, "ATI"}, {28, "Wang Laboratories, Inc."}, {29, "Tandy Corporation"}, {30, "Voyetra"},
    {31, "Antex Electronics Corporation"}, {32, "ICL Personal Systems"}, {33, "Intel Corporation"},
    {34, "Advanced Gravis"}, {35, "Video Associates Labs, Inc."}, {36, "InterActive Inc."},
    {37, "Yamaha Corporation of America"}, {38, "Everex Systems, Inc."}, {39, "Echo Speech Corporation"},
    {40, "Sierra Semiconductor Corp"}, {41, "Computer Aided Technologies"}, {42, "APPS Software International"},
    {43, "DSP Group, Inc."}, {44, "microEngineering Labs"}, {45, "Computer Friends, Inc."},
    {46, "ESS Technology"}, {47, "Audio, Inc."}, {48, "Motorola, Inc."}, {49, "Canopus, co., Ltd."},
    {50, "Seiko Epson Corporation"}, {51, "Truevision"}, {52, "Aztech Labs, Inc."}, {53, "Videologic"},
    {54, "SCALACS"}, {55, "Korg Inc."}, {56, "Audio Processing Technology"}, {57, "Integrated Circuit Systems, Inc."},
    {58, "Iterated Systems, Inc."}, {59, "Metheus"}, {60, "Logitech, Inc."}, {61, "Winnov, Inc."},
    {62, "NCR Corporation"}, {63, "EXAN"}, {64, "AST Research Inc."}, {65, "Willow Pond Corporation"},
    {66, "Sonic Foundry"}, {67, "Vitec Multimedia"}, {68, "MOSCOM Corporation"}, {69, "Silicon Soft, Inc."},
    {70, "TerraTec Electronic GmbH"}, {71, "MediaSonic Ltd."}, {72, "SANYO Electric Co., Ltd."},
    {73, "Supermac"}, {74, "Audio Processing Technology"}, {75, "NOGATECH Ltd."}, {76, "Speech Compression"},
    {77, "Ahead, Inc."}, {78, "Dolby Laboratories"}, {79, "OKI"}, {80, "AuraVision Corporation"},
    {81, "Ing C. Olivetti & C., S.p.A."}, {82, "I/O Magic Corporation"}, {83, "Matsushita Electric Industrial Co., Ltd."},
    {84, "Control Resources Limited"}, {85, "Xebec Multimedia Solutions Limited"}, {86, "New Media Corporation"},
    {87, "Natural MicroSystems"}, {88, "Lyrrus Inc."}, {89, "Compusic"},
};
static_assert(sizeof(kMakers) / sizeof(kMakers[0]) == 74, "74 manufacturers");

struct Rate {
  DWORD flag;
  const char* text;
};
const Rate kRates[] = {
    {0x1, "11.025 kHz, mono, 8-bit"},    {0x4, "11.025 kHz, mono, 16-bit"},   {0x2, "11.025 kHz, stereo, 8-bit"},
    {0x8, "11.025 kHz, stereo, 16-bit"}, {0x10, "22.05 kHz, mono, 8-bit"},    {0x40, "22.05 kHz, mono, 16-bit"},
    {0x20, "22.05 kHz, stereo, 8-bit"},  {0x80, "22.05 kHz, stereo, 16-bit"}, {0x100, "44.1 kHz, mono, 8-bit"},
    {0x400, "44.1 kHz, mono, 16-bit"},   {0x200, "44.1 kHz, stereo, 8-bit"},  {0x800, "44.1 kHz, stereo, 16-bit"},
};
}  // namespace

std::string ManufacturerName(unsigned id) {
  for (const Maker& m : kMakers)
    if (m.id == id) return m.name;
  return FormatA("%d", (int)id);
}

std::vector<std::string> SamplingRateTexts(DWORD formats) {
  std::vector<std::string> out;
  for (const Rate& r : kRates)
    if (formats & r.flag) out.push_back(r.text);
  return out;
}

std::string MciDeviceTypeText(DWORD type) {
  switch (type) {
    case 0x201: return "Video-cassette recorder";
    case 0x202: return "Videodisc player";
    case 0x203: return "Video-overlay device";
    case 0x204: return "CD audio device";
    case 0x205: return "Digital-audio tape device";
    case 0x206: return "Scanner device";
    case 0x207: return "Animation-playback device";
    case 0x208: return "Digital-video playback device";
    case 0x209: return "Undefined device";
    case 0x20A: return "Waveform-audio device";
    case 0x20B: return "MIDI sequencer device";
    default: return "Unknown device";
  }
}

std::string MidiTechnologyText(unsigned technology) {
  switch (technology) {
    case 1: return "MIDI Hardware Port";
    case 2: return "synthesizer";
    case 3: return "Square Wave Synthesizer";
    case 4: return "FM Synthesizer";
    case 5: return "Microsoft MIDI Mapper";
    default: return "Unknown";
  }
}

bool MciTypeInClass(DWORD type, int classFlag) {
  if (classFlag == 0) return type == 0x20A || type == 0x20B || type == 0x204 || type == 0x205;
  return type == 0x208 || type == 0x202 || type == 0x203 || type == 0x207;
}

bool IsBlankByte(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool HasTextAt(const std::string& text, size_t at, const std::string& head) {
  if (at > text.size() || text.size() - at < head.size()) return false;
  return _strnicmp(text.c_str() + at, head.c_str(), head.size()) == 0;
}

bool SplitIndentedLabel(const std::string& line, const std::string& label, std::string* rest) {
  if (line.empty() || !IsBlankByte(line[0])) return false;
  size_t at = 0;
  while (at < line.size() && IsBlankByte(line[at])) ++at;
  if (!HasTextAt(line, at, label)) return false;
  at += label.size();
  while (at < line.size() && IsBlankByte(line[at])) ++at;
  *rest = line.substr(at);
  return true;
}

}  // namespace quorrel
