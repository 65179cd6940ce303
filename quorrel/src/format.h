// Pure rules of the information server: line layouts, names, parsers and
// decisions that take data and return data.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "infosink.h"

namespace quorrel {

// printf-style formatting into a string.
using appkit::FormatA;

// ---- Information-file lines ---------------------------------------------
// "%s\t%d.%2.2d.%d": the Windows version line of the summary.
std::string VersionLine(const std::string& label, unsigned major, unsigned minor, unsigned build);
// String id of the version label for GetVersionEx's answer.
unsigned VersionLabelId(DWORD platformId, DWORD major, DWORD minor);
// "label\t<bytes / 1024> KB" (truncated).
std::string KbLine(const std::string& label, uint64_t bytes);
// "label\t<bytes / 1 MB, two decimals> MB".
std::string MbLine(const std::string& label, uint64_t bytes);
// "label\t<n> percent".
std::string PercentLine(const std::string& label, unsigned percent);
// Base name of a process file in upper case (text after the last \ or /).
std::string HeapProcessName(const std::string& exeFile);
// A system message without its trailing CR LF; "" for texts under 3 characters.
std::string TrimSystemMessage(const std::string& text);
// White space in the texts of the system-access library (a byte above 127
// never is).
bool IsBlankByte(char c);
// Whether `text` holds `head` at `at`, letter case aside.
bool HasTextAt(const std::string& text, size_t at, const std::string& head);
// A labelled line of the system-access library's device texts: it starts
// with white space, then `label` (letter case aside). True with `rest` = the
// text after the label and the white space that follows it.
bool SplitIndentedLabel(const std::string& line, const std::string& label, std::string* rest);

// ---- Start-up -------------------------------------------------------------
// "-ShowWnd" / "-Startup" anywhere on a command line (case-insensitive).
void ScanModuleSwitches(const std::string& cmdLine, int* showWnd, int* startup);
// Directory of a path, up to and including its last backslash ("" without).
std::wstring DirectoryOf(const std::wstring& path);
// "X:\" for a Windows directory of that form, else "".
std::string BootDriveRoot(const std::string& windowsDir);
// A directory as the gatherers keep it: with a trailing backslash, "" when
// the system call returned 1 character or less.
std::string DirectoryWithSlash(const std::string& dir);
// True for pre-build values that start with 'Y' or 'y'.
bool IsPrebuildValue(const char* value, size_t length);
// Clock-rate table after "cpuspeed.dat" (little-endian 16-bit entries) has
// replaced its leading entries.
std::vector<uint16_t> MergeCpuSpeeds(std::vector<uint16_t> table, const std::vector<uint8_t>& file);

// ---- Protocol ---------------------------------------------------------------
// A request is served when its window exists and its category (bit 31
// cleared) is below 16.
bool IsValidRequest(bool windowExists, uint32_t categoryWord);
// `<dir><name>.IFO` into a buffer of `size` characters; false (and an empty
// buffer) when it does not fit or the category is out of range.
bool BuildInfoPath(const std::wstring& dir, unsigned category, wchar_t* buf, size_t size);
// Whether a directory leaves room for every information file's path.
bool InfoDirectoryFits(const std::wstring& dir);
// The longest directory (trailing backslash included) that does.
size_t InfoDirectoryMax();
// Names of the writers' temporary files: "ifo", one to four hexadecimal
// digits and ".tmp", in any case (GetTempFileName's names for "ifo").
constexpr wchar_t kInfoTempPrefix[] = L"ifo";
bool IsInfoTempFileName(const std::wstring& name);
// Reuse rule, time part: the file's last write, in local time and whole
// seconds, is strictly later than the main program's start.
bool IsFileNewerThan(const FILETIME& fileUtc, const FILETIME& moduleBeginUtc);
// Next category to pre-build after `cursor` (-1: from the start); 16 when none.
int NextPrebuildCategory(const int flags[16], int cursor);

// ---- Multimedia device texts ------------------------------------------------
// Company of a multimedia manufacturer id, or the id in decimal.
std::string ManufacturerName(unsigned id);
// Texts of the set WAVE_FORMAT_ flags, in the table's order.
std::vector<std::string> SamplingRateTexts(DWORD formats);
// Text of an MCI_DEVTYPE_ value.
std::string MciDeviceTypeText(DWORD type);
// Text of a MIDI output technology (MOD_ values).
std::string MidiTechnologyText(unsigned technology);
// Whether an MCI device type belongs to the audio (flag 0) or video class.
bool MciTypeInClass(DWORD type, int classFlag);

}  // namespace quorrel
