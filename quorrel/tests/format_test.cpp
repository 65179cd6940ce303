// The information server's pure rules, table by table.
#include <gtest/gtest.h>

#include "format.h"
#include "module.h"
#include "resource.h"
#include "suite/info.h"

using namespace quorrel;

TEST(InfoLines, VersionLabelAndLine) {
  struct Case {
    DWORD platform, major, minor;
    unsigned id;
  } cases[] = {
      {VER_PLATFORM_WIN32_NT, 5, 0, IDS_WIN2000_VERSION}, {VER_PLATFORM_WIN32_NT, 6, 1, IDS_WINNT_VERSION},
      {VER_PLATFORM_WIN32s, 3, 1, IDS_WIN32S_VERSION},    {VER_PLATFORM_WIN32_WINDOWS, 4, 0, IDS_WIN95_VERSION},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, IDS_WIN98_VERSION}, {VER_PLATFORM_WIN32_WINDOWS, 4, 90, IDS_WINDOWS_VERSION},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionLabelId(c.platform, c.major, c.minor), c.id) << c.major << "." << c.minor;
  EXPECT_EQ(VersionLine("Windows NT Version:", 6, 1, 7601), "Windows NT Version:\t6.01.7601");
  EXPECT_EQ(VersionLine("Windows 98 Version:", 4, 10, 0x040A08AE), "Windows 98 Version:\t4.10.2222");
  EXPECT_EQ(Str(IDS_WINNT_VERSION), "Windows NT Version:");
}

TEST(InfoLines, SizesAndPercent) {
  EXPECT_EQ(KbLine("Total Physical Memory:", 1023), "Total Physical Memory:\t0 KB");
  EXPECT_EQ(KbLine("x", 1024), "x\t1 KB");
  EXPECT_EQ(KbLine("x", 0x200000000ull + 2047), "x\t8388609 KB");  // beyond 4 GB
  EXPECT_EQ(MbLine("Memory:", 512ull << 20), "Memory:\t512.00 MB");
  EXPECT_EQ(MbLine("Memory:", (3ull << 20) + (1ull << 19)), "Memory:\t3.50 MB");
  EXPECT_EQ(PercentLine("Percent Memory in Use:", 42), "Percent Memory in Use:\t42 percent");
}

TEST(InfoLines, HeadingAndTextLines) {
  StringSink s;
  s.SpacedHeading("Summary");
  EXPECT_EQ(s.text, "\n@3Summary\n");

  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"A\n\nB", "A\n"},
               {"A\n\nB\n", "A\nB\n"},
               {"\n\n", ""},
               {"", ""},
               {"only", ""},
               {"x\r\ny\n", "x\r\ny\n"}};
  for (const Case& c : cases) {
    StringSink t;
    t.CompleteLines(c.in);
    EXPECT_EQ(t.text, c.out) << c.in;
  }
  StringSink none;
  none.CompleteLines(nullptr);
  EXPECT_EQ(none.text, "");
}

TEST(InfoLines, HeapProcessNames) {
  EXPECT_EQ(HeapProcessName("C:\\Windows\\explorer.exe"), "EXPLORER.EXE");
  EXPECT_EQ(HeapProcessName("/usr/bin/wine"), "WINE");
  EXPECT_EQ(HeapProcessName("SYSTEM"), "SYSTEM");
  EXPECT_EQ(HeapProcessName("a\\b/c.Exe"), "C.EXE");
  EXPECT_EQ(HeapProcessName(""), "");
}

TEST(InfoLines, SystemMessageTrim) {
  EXPECT_EQ(TrimSystemMessage("Access is denied.\r\n"), "Access is denied.");
  EXPECT_EQ(TrimSystemMessage("No line end"), "No line end");
  EXPECT_EQ(TrimSystemMessage("ab"), "");
  EXPECT_EQ(TrimSystemMessage("\r\n"), "");
}

TEST(StartUp, ModuleSwitches) {
  struct Case {
    const char* cmd;
    int show, startup;
  } cases[] = {{"host.exe", 0, 0},
               {"host.exe -ShowWnd", 1, 0},
               {"host.exe -showwnd -STARTUP", 1, 1},
               {"host.exe -Startupx", 0, 1},
               {"host.exe -Show", 0, 0},
               {"\"c:\\a-b\\host.exe\" x-Startup", 0, 1}};
  for (const Case& c : cases) {
    int show = 0, startup = 0;
    ScanModuleSwitches(c.cmd, &show, &startup);
    EXPECT_EQ(show, c.show) << c.cmd;
    EXPECT_EQ(startup, c.startup) << c.cmd;
  }
}

TEST(StartUp, PathsAndDirectories) {
  EXPECT_EQ(DirectoryOf(L"C:\\Suite\\QUORREL.OCX"), L"C:\\Suite\\");
  EXPECT_EQ(DirectoryOf(L"QUORREL.OCX"), L"");
  EXPECT_EQ(BootDriveRoot("C:\\WINDOWS\\"), "C:\\");
  EXPECT_EQ(BootDriveRoot("\\\\server\\share\\windows\\"), "");
  EXPECT_EQ(BootDriveRoot(""), "");
  EXPECT_EQ(DirectoryWithSlash("C:\\WINDOWS"), "C:\\WINDOWS\\");
  EXPECT_EQ(DirectoryWithSlash("C:\\"), "C:\\");
  EXPECT_EQ(DirectoryWithSlash("C"), "");
}

TEST(StartUp, PrebuildValues) {
  struct Case {
    const char* v;
    bool on;
  } cases[] = {{"Yes", true}, {"y", true}, {"YES", true}, {"N", false}, {"", false}, {"no", false}, {" Yes", false}};
  for (const Case& c : cases) EXPECT_EQ(IsPrebuildValue(c.v, strlen(c.v)), c.on) << c.v;
  EXPECT_FALSE(IsPrebuildValue(nullptr, 0));

  int flags[16] = {};
  EXPECT_EQ(NextPrebuildCategory(flags, -1), 16);
  flags[0] = flags[8] = flags[15] = 1;
  EXPECT_EQ(NextPrebuildCategory(flags, -1), 0);
  EXPECT_EQ(NextPrebuildCategory(flags, 0), 8);
  EXPECT_EQ(NextPrebuildCategory(flags, 8), 15);
  EXPECT_EQ(NextPrebuildCategory(flags, 15), 16);
}

TEST(StartUp, CpuSpeedFileReplacesLeadingEntries) {
  std::vector<uint16_t> table = {40, 50, 60, 66};
  EXPECT_EQ(MergeCpuSpeeds(table, {0x34, 0x12, 0xE8, 0x03}), (std::vector<uint16_t>{0x1234, 1000, 60, 66}));
  EXPECT_EQ(MergeCpuSpeeds(table, {0x01}), table);  // half an entry changes nothing
  std::vector<uint8_t> longer(20, 0x01);
  EXPECT_EQ(MergeCpuSpeeds(table, longer), (std::vector<uint16_t>{0x101, 0x101, 0x101, 0x101}));
}

TEST(Protocol, RequestValidation) {
  struct Case {
    bool window;
    uint32_t word;
    bool ok;
  } cases[] = {{true, 0, true},           {true, 15, true},           {true, 16, false},
               {true, 0x80000001u, true}, {true, 0x80000010u, false}, {false, 1, false},
               {true, 0x40000001u, false}};
  for (const Case& c : cases) EXPECT_EQ(IsValidRequest(c.window, c.word), c.ok) << std::hex << c.word;
}

TEST(Protocol, InfoPathsNeverOverflow) {
  wchar_t buf[256];
  ASSERT_TRUE(BuildInfoPath(L"C:\\Suite\\", 1, buf, 256));
  EXPECT_STREQ(buf, L"C:\\Suite\\KytMEM.IFO");
  ASSERT_TRUE(BuildInfoPath(L"C:\\Suite\\", 7, buf, 256));
  EXPECT_STREQ(buf, L"C:\\Suite\\KytVIDEO.IFO");
  EXPECT_FALSE(BuildInfoPath(L"C:\\Suite\\", 16, buf, 256));
  EXPECT_STREQ(buf, L"");

  std::wstring longest(256 - 12 - 1, L'a');  // exactly fits the longest name
  EXPECT_TRUE(InfoDirectoryFits(longest));
  EXPECT_TRUE(BuildInfoPath(longest, suite::INFO_VIDEO, buf, 256));
  std::wstring tooLong = longest + L"a";
  EXPECT_FALSE(InfoDirectoryFits(tooLong));
  EXPECT_FALSE(BuildInfoPath(tooLong, suite::INFO_VIDEO, buf, 256));
  EXPECT_FALSE(InfoDirectoryFits(L""));
  wchar_t small[8];
  EXPECT_FALSE(BuildInfoPath(L"C:\\", 0, small, 8));
  EXPECT_EQ(InfoDirectoryMax(), longest.size());
  // GetTempFileName takes a directory of up to MAX_PATH - 14 characters.
  EXPECT_LE(InfoDirectoryMax(), (size_t)MAX_PATH - 14) << "the writers' temporary files fit beside the longest";
}

TEST(Protocol, OnlyTheWritersOwnTemporaryFilesAreTheirs) {
  const struct {
    const wchar_t* name;
    bool ours;
  } cases[] = {
      {L"ifo1.tmp", true},     {L"ifoA2f.tmp", true},   {L"IFOFFFF.TMP", true},   {L"ifo0000.Tmp", true},
      {L"ifo.tmp", false},     {L"ifo12345.tmp", false}, {L"ifo12g.tmp", false},  {L"ifo12.tmp.bak", false},
      {L"xifo12.tmp", false},  {L"ifo12.tm", false},     {L"kyt12.tmp", false},   {L"KytMEM.IFO", false},
      {L"ifo 1.tmp", false},   {L"ifo1.txt", false},     {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsInfoTempFileName(c.name), c.ours) << appkit::Narrow(c.name);
}

TEST(Protocol, ReuseNeedsAStrictlyLaterSecond) {
  SYSTEMTIME st{2026, 12, 3, 9, 10, 20, 30, 0};
  FILETIME begin{};
  SystemTimeToFileTime(&st, &begin);
  auto plus = [&](ULONGLONG ticks) {
    ULARGE_INTEGER u{};
    u.LowPart = begin.dwLowDateTime;
    u.HighPart = begin.dwHighDateTime;
    u.QuadPart += ticks;
    return FILETIME{u.LowPart, u.HighPart};
  };
  EXPECT_FALSE(IsFileNewerThan(begin, begin));
  EXPECT_FALSE(IsFileNewerThan(plus(9990000), begin));  // 999 ms later, same second
  EXPECT_TRUE(IsFileNewerThan(plus(10000000), begin));
  EXPECT_FALSE(IsFileNewerThan(begin, plus(10000000)));
}

TEST(MultimediaTexts, Tables) {
  EXPECT_EQ(ManufacturerName(1), "Microsoft Corporation");
  EXPECT_EQ(ManufacturerName(2), "Creative Labs, Inc.");
  EXPECT_EQ(ManufacturerName(99), "99");
  EXPECT_EQ(ManufacturerName(0), "0");
  EXPECT_EQ(SamplingRateTexts(0x1 | 0x2 | 0x4 | 0x800),
            (std::vector<std::string>{"11.025 kHz, mono, 8-bit", "11.025 kHz, mono, 16-bit", "11.025 kHz, stereo, 8-bit",
                                      "44.1 kHz, stereo, 16-bit"}));
  EXPECT_TRUE(SamplingRateTexts(0).empty());
  EXPECT_EQ(MciDeviceTypeText(0x204), "CD audio device");
  EXPECT_EQ(MciDeviceTypeText(0x20B), "MIDI sequencer device");
  EXPECT_EQ(MciDeviceTypeText(0x300), "Unknown device");
  EXPECT_EQ(MidiTechnologyText(4), "FM Synthesizer");
  EXPECT_EQ(MidiTechnologyText(9), "Unknown");
  EXPECT_TRUE(MciTypeInClass(0x20A, 0));
  EXPECT_FALSE(MciTypeInClass(0x208, 0));
  EXPECT_TRUE(MciTypeInClass(0x202, 1));
  EXPECT_FALSE(MciTypeInClass(0x204, 1));
}
