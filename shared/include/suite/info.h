// The information server's protocol, shared by the server (Quorrel) and its
// clients (the Information pages, the information viewer, the report wizard):
// window title, messages and codes, categories and their files, registry keys.
#pragma once

#include <cstdint>

namespace suite {

// Clients find the server by this title (FindWindow).
constexpr wchar_t kInfoServerTitle[] = L"Qev System Information Server";
// Registered message of requests, replies and window commands, and the name
// of the mutex that serialises every writer and reader of the .IFO files.
constexpr wchar_t kInfoMutexName[] = L"kyt_quorrel_msg";
// One server per machine: the first control that creates it wins.
constexpr wchar_t kInfoServerSemaphore[] = L"Qev Quorrel";

// wParam codes of "kyt_quorrel_msg" replies.
constexpr unsigned INFO_REPLY_READY = 101;   // server -> client: the file is written
constexpr unsigned INFO_REPLY_LOADED = 102;  // reader -> its page: reading ended
// server -> client: the file could not be written; whatever lies at its
// path (if anything) is not the answer to the request.
constexpr unsigned INFO_REPLY_FAILED = 103;
// lParam codes of the window commands (wParam: caller window or 0).
constexpr unsigned INFO_CMD_SHOW_SHEET = 117;
constexpr unsigned INFO_CMD_HIDE_SHEET = 118;
constexpr unsigned INFO_CMD_SHOW_DMI = 119;
constexpr unsigned INFO_CMD_HIDE_DMI = 120;
constexpr unsigned INFO_CMD_SHOW_INI = 121;
// Bit 31 of a request's category: the server may reuse a recent file.
constexpr uint32_t INFO_REQUEST_REUSE = 0x80000000u;

// Processor self-tests, wParam of "kyt_quorrel_msg2" (0 = pass).
enum SelfTest : unsigned {
  SELFTEST_REGISTERS = 1,
  SELFTEST_MATH = 2,
  SELFTEST_MATH_SPEED = 3,
  SELFTEST_MMX = 4,
  SELFTEST_CPU_SPEED = 5,
};
// Answers of "kyt_quorrel_msg2" besides 0 (passed) and 1 (failed).
constexpr uint32_t SELFTEST_NO_MMX = 0xFFFFFFFFu;         // test 4 on a processor without MMX
constexpr uint32_t SELFTEST_NOT_AVAILABLE = 0xFFFFFFFEu;  // this machine cannot run the test

enum InfoCategory : unsigned {
  INFO_SUMMARY = 0,
  INFO_MEMORY = 1,
  INFO_PROCESSOR = 2,
  INFO_BIOS = 3,
  INFO_PCI = 4,
  INFO_PNP = 5,
  INFO_PORT = 6,
  INFO_VIDEO = 7,
  INFO_AUDIO = 8,
  INFO_DISK = 9,
  INFO_FLOPPY = 10,
  INFO_MODEM = 11,
  INFO_CDROM = 12,
  INFO_NETWORK = 13,
  INFO_PRINTER = 14,
  INFO_SOFTWARE = 15,
  INFO_CATEGORY_COUNT = 16,
};

// File base names by category; the file is <server directory><name>.IFO.
constexpr const char* kInfoFileBase[INFO_CATEGORY_COUNT] = {
    "KytSUM",  "KytMEM",  "KytPROC", "KytBIOS",  "KytPCI",   "KytPNP",   "KytPORT", "KytVIDEO",
    "KytAUDIO", "KytDISK", "KytFLPY", "KytMODEM", "KytCDROM", "KytNET", "KytPRT",  "KytSOFT"};
constexpr char kInfoFileExt[] = ".IFO";
// Longest "<name>.IFO" above ("KytVIDEO.IFO", "KytMODEM.IFO", "KytCDROM.IFO").
constexpr unsigned kInfoFileNameMax = 12;
// Paths of information files are kept in 256-character buffers (with NUL).
constexpr unsigned kInfoPathMax = 256;

// Registry (HKEY_CURRENT_USER).
constexpr wchar_t kQuorrelSettingKey[] = L"Software\\Qev\\Quorrel\\Setting";
constexpr wchar_t kHalvixSettingKey[] = L"Software\\Qev\\Halvix\\Setting";
constexpr wchar_t kTressalSettingKey[] = L"Software\\Qev\\Tressal\\Setting";
constexpr wchar_t kModulePathValue[] = L"ModulePath";     // server directory, trailing backslash
constexpr wchar_t kLastResultValue[] = L"LastResult";     // self-test texts
constexpr wchar_t kAutoRefreshValue[] = L"AutoRefresh";   // DWORD, main program
constexpr wchar_t kModuleBeginValue[] = L"ModuleBegin";   // FILETIME, main program's start
constexpr wchar_t kMessageBoxTitleValue[] = L"MessageBoxTitle";

// The twenty summary and gatherer switches of the server's "Setting" key,
// in the order they are read, with their defaults.
struct InfoSwitch {
  const wchar_t* name;
  int def;
};
enum InfoSwitchIndex : unsigned {
  SW_SUMMARY_VERSION, SW_SUMMARY_BIOS, SW_SUMMARY_BUS, SW_SUMMARY_CPU, SW_SUMMARY_MEM,
  SW_SUMMARY_FLOPPY, SW_SUMMARY_DISK, SW_SUMMARY_CDROM, SW_SUMMARY_VIDEO, SW_SUMMARY_MEDIA,
  SW_SUMMARY_MONITOR, SW_VIDEO_SUMMARY, SW_AUDIO_SUMMARY, SW_MODEM_SUMMARY, SW_IODEVICE_SUMMARY,
  SW_NETWORK_SUMMARY, SW_RESOURCE_SUMMARY, SW_MEMORY_HEAP, SW_VIDEO_MCI, SW_AUDIO_MCI,
  SW_COUNT
};
constexpr InfoSwitch kInfoSwitches[SW_COUNT] = {
    {L"SummaryVersion", 1}, {L"SummaryBios", 1},     {L"SummaryBus", 1},      {L"SummaryCpu", 1},
    {L"SummaryMem", 1},     {L"SummaryFloppy", 1},   {L"SummaryDisk", 1},     {L"SummaryCdrom", 1},
    {L"SummaryVideo", 1},   {L"SummaryMedia", 1},    {L"SummaryMonitor", 1},  {L"VideoSummary", 0},
    {L"AudioSummary", 0},   {L"ModemSummary", 0},    {L"IODeviceSummary", 0}, {L"NetworkSummary", 0},
    {L"ResourceSummary", 0}, {L"MemoryHeap", 0},     {L"VideoMCI", 0},        {L"AudioMCI", 0}};

}  // namespace suite
