// Category writers on fixed data: memory lines, the summary's switches, the
// audio file with injected multimedia devices, and the text-mode file.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <map>

#include "audio.h"
#include "format.h"
#include "gather.h"
#include "memory.h"
#include "mmdevices.h"
#include "module.h"
#include "worker.h"

using namespace quorrel;

namespace {

// Devices of a made-up machine. MCI devices by name: type, product (empty =
// the product query fails), opened or not.
class FakeMultimedia : public MultimediaSource {
 public:
  std::vector<MmDeviceCaps> waveOut, waveIn, midiOut, midiIn;
  struct Mci {
    DWORD type;
    std::string product;
    bool opens;
    std::map<DWORD, DWORD> caps;
  };
  std::vector<std::pair<std::string, Mci>> mci;
  std::string mixer;
  int opened = 0, closed = 0;

  std::vector<MmDeviceCaps>& List(MmKind k) {
    return k == MmKind::WaveOut ? waveOut : k == MmKind::WaveIn ? waveIn : k == MmKind::MidiOut ? midiOut : midiIn;
  }
  int DeviceCount(MmKind k) override { return (int)List(k).size(); }
  bool DeviceCaps(MmKind k, int i, MmDeviceCaps* c) override {
    if (List(k)[(size_t)i].product == "broken") return false;
    *c = List(k)[(size_t)i];
    return true;
  }
  bool MciOpen(const std::string& type, UINT* id, DWORD* error) override {
    for (size_t i = 0; i < mci.size(); ++i) {
      if (mci[i].first == type && mci[i].second.opens) {
        *id = (UINT)i + 1;
        ++opened;
        return true;
      }
    }
    if (error) *error = 291;
    return false;
  }
  void MciClose(UINT) override { ++closed; }
  bool MciCaps(UINT id, DWORD item, DWORD* value) override {
    const Mci& d = mci[id - 1].second;
    if (item == 4 /* device type */) {
      *value = d.type;
      return true;
    }
    auto it = d.caps.find(item);
    if (it == d.caps.end()) return false;
    *value = it->second;
    return true;
  }
  bool MciProduct(UINT id, std::string* p) override {
    *p = mci[id - 1].second.product;
    return !p->empty();
  }
  unsigned MciCount() override { return (unsigned)mci.size(); }
  bool MciName(unsigned n, std::string* name) override {
    *name = mci[n - 1].first;
    for (char& c : *name) c = (char)tolower(c);
    return true;
  }
  bool MciDriver(const std::string& name, std::string* d) override {
    if (name != "WAVEAUDIO") return false;
    *d = "mciwave.drv";
    return true;
  }
  bool MixerProduct(std::string* p) override {
    *p = mixer;
    return !mixer.empty();
  }
};

FakeMultimedia& Fake() {
  static FakeMultimedia* fake = [] {
    auto* f = new FakeMultimedia;
    f->mci.push_back({"CDAUDIO", {0x204, "", false, {}}});
    f->mci.push_back({"WAVEAUDIO", {0x20A, "Wave Audio", true, {{0x4001, 1}}}});
    f->mci.push_back({"AVIVIDEO", {0x208, "Video", true, {}}});
    f->mci.push_back({"SEQUENCER", {0x20B, "", true, {}}});
    SetMultimediaSource(f);
    BuildMciDeviceList();  // once per process: with the fake's names
    return f;
  }();
  return *fake;
}

class Writers : public ::testing::Test {
 protected:
  void SetUp() override {
    Fake().waveOut.clear();
    Fake().waveIn.clear();
    Fake().midiOut.clear();
    Fake().midiIn.clear();
    Fake().mixer.clear();
    for (unsigned i = 0; i < suite::SW_COUNT; ++i) switches[i] = suite::kInfoSwitches[i].def;
    ctx.switches = switches;
  }
  int switches[suite::SW_COUNT];
  GatherContext ctx;
};

const MemorySnapshot kMem = {37, 4ull << 30, (1ull << 30) + 1023, 6ull << 30, 5ull << 30, 128ull << 40, 127ull << 40};

}  // namespace

TEST_F(Writers, MemoryCategoryAndSummary) {
  StringSink nt;
  WriteMemoryLines(nt, 0, kMem, false);
  EXPECT_EQ(nt.text,
            "\n@3Memory Utilization\n"
            "Total Physical Memory:\t4194304 KB\n"
            "Free Physical Memory:\t1048576 KB\n"
            "Total Pagefile:\t6291456 KB\n"
            "Free Pagefile:\t5242880 KB\n"
            "Total Virtual Memory Space:\t137438953472 KB\n"
            "Free Virtual Memory Space:\t136365211648 KB\n"
            "\n");
  StringSink nine;
  WriteMemoryLines(nine, 0, kMem, true);
  EXPECT_EQ(nine.text.substr(0, 66), "\n@3Memory Utilization\nPercent Memory in Use:\t37 percent\nTotal Phys");
  StringSink summary;
  WriteMemoryLines(summary, 1, kMem, false);
  EXPECT_EQ(summary.text, "Memory:\t4096.00 MB\n");
}

TEST_F(Writers, MemoryOfThisMachineWithoutHeaps) {
  StringSink s;
  switches[suite::SW_MEMORY_HEAP] = 0;
  WriteMemoryInfo(s, 0, ctx);
  EXPECT_EQ(s.text.rfind("\n@3Memory Utilization\nTotal Physical Memory:\t", 0), 0u) << s.text;
  EXPECT_EQ(s.text.size() - s.text.rfind(" KB\n\n"), 5u) << "ends with the empty line";
  EXPECT_EQ(s.text.find("Heaps"), std::string::npos);
}

namespace {
// A heap of three blocks of 1.5 GB each.
int g_heapBlocksLeft = 0;
BOOL WINAPI FakeHeapNext(void* entry) {
  if (g_heapBlocksLeft <= 0) return FALSE;
  --g_heapBlocksLeft;
  static_cast<HEAPENTRY32*>(entry)->dwBlockSize = (SIZE_T)0x60000000u;
  return TRUE;
}
BOOL WINAPI FakeHeapFirst(void* entry, DWORD, ULONG_PTR) {
  g_heapBlocksLeft = 3;
  return FakeHeapNext(entry);
}
}  // namespace

TEST_F(Writers, HeapSumsBeyondFourGigabytes) {
  SystemBindings m;
  m.heap32First = &FakeHeapFirst;
  m.heap32Next = &FakeHeapNext;
  uint64_t sum = SumHeapBlocks(m, 1, 1);
  EXPECT_EQ(sum, 3ull * 0x60000000u) << "no wrap at 4 GB";
}

TEST_F(Writers, SummarySwitches) {
  for (int& s : switches) s = 0;
  StringSink none;
  WriteSummaryCategory(none, ctx);
  EXPECT_EQ(none.text, "\n@3Summary\n");

  switches[suite::SW_SUMMARY_MEM] = 1;
  switches[suite::SW_AUDIO_SUMMARY] = 1;
  // 9x-only blocks stay out on the NT family whatever their switches say.
  switches[suite::SW_IODEVICE_SUMMARY] = 1;
  switches[suite::SW_RESOURCE_SUMMARY] = 1;
  Fake().mixer = "Mixer X";
  StringSink some;
  WriteSummaryCategory(some, ctx);
  MemorySnapshot m = ReadMemoryStatus();
  EXPECT_EQ(some.text, "\n@3Summary\n" + MbLine("Memory:", m.totalPhys) +
                           "\n\n@3Audio\nMCI Drivers:\tCDAUDIO: (Device in use or not available)\n\tWAVEAUDIO: Wave Audio\n"
                           "\tSEQUENCER: (Failed to get device name)\nMixer Driver:\tMixer X\n");
}

TEST_F(Writers, AudioWithoutDevices) {
  Fake();
  FakeMultimedia empty;
  SetMultimediaSource(&empty);
  StringSink s;
  WriteAudioInformation(s, 0, ctx);
  SetMultimediaSource(&Fake());
  // The MCI list comes from the names found at start-up; the empty source
  // opens none of them: only the CD-audio name is marked.
  EXPECT_EQ(s.text,
            "\n@3Drivers Information\n"
            "MCI Drivers:\tCDAUDIO: (Device in use or not available)\n"
            "Mixer Driver:\tN/A\n"
            "\n"
            "@3Wave Output Devices\t\nN/A\n\n"
            "@3Wave Input Devices\t\nN/A\n\n"
            "@3Midi Output Devices\t\nN/A\n\n"
            "@3Midi Input Devices\t\nN/A\n\n");
}

TEST_F(Writers, AudioDevicesAndCapabilities) {
  MmDeviceCaps out;
  out.manufacturer = 99;
  out.product = "Speaker";
  out.driverVersion = 0x0502;
  out.formats = 0x800 | 0x1;
  out.channels = 2;
  out.support = 0x4 | 0x10;
  MmDeviceCaps broken;
  broken.product = "broken";
  Fake().waveOut = {out, broken};
  MmDeviceCaps in = out;
  in.manufacturer = 1;
  in.channels = 3;  // neither mono nor stereo: no channel line
  in.formats = 0;
  Fake().waveIn = {in};
  MmDeviceCaps synth;
  synth.manufacturer = 2;
  synth.product = "Synth";
  synth.driverVersion = 0x0100;
  synth.technology = 4;
  synth.voices = 32;
  synth.notes = 16;
  synth.channelMask = 0xFFFF;
  synth.support = 0x1 | 0x8;
  Fake().midiOut = {synth};
  switches[suite::SW_AUDIO_MCI] = 1;
  int opened = Fake().opened, closed = Fake().closed;
  StringSink s;
  WriteAudioInformation(s, 0, ctx);
  EXPECT_EQ(Fake().opened - opened, Fake().closed - closed) << "every opened MCI device is closed";
  const char* expected =
      "\n@3Drivers Information\n"
      "MCI Drivers:\tWAVEAUDIO: Wave Audio\n\tSEQUENCER: (Failed to get device name)\n\tCDAUDIO: (Device in use or not available)\n"
      "Mixer Driver:\tN/A\n"
      "\n"
      "@3Wave Output Devices\t\n"
      "Manufacturer:\t99\nProduct Name:\tSpeaker\nDriver Version:\t5.2\n"
      "Sampling Rates:\n\t11.025 kHz, mono, 8-bit\n\t44.1 kHz, stereo, 16-bit\n"
      "Channel:\tStereo\n"
      "Volume Control:\tYes\nL&R Volume Control:\tNo\nPitch Control:\tNo\nPlayback Rate Control:\tNo\nSynchronous:\tYes\n"
      "\n"  // the empty line before the device whose query failed stays
      "\n"
      "@3Wave Input Devices\t\n"
      "Manufacturer:\tMicrosoft Corporation\nProduct Name:\tSpeaker\nDriver Version:\t5.2\n"
      "\n"
      "@3Midi Output Devices\t\n"
      "Manufacturer:\tCreative Labs, Inc.\nProduct Name:\tSynth\nDriver Version:\t1.0\n"
      "Technology:\tFM Synthesizer\nNum. of Voices:\t32\nMax Num. of Notes:\t16\nChannel Mask:\tFFFF\n"
      "Patch Caching:\tNo\nVolume Control:\tYes\nL&R Volume Control:\tNo\nDirect MIDI Support:\tYes\n"
      "\n"
      "@3Midi Input Devices\t\nN/A\n\n"
      "@3MCI Drivers Capabilities\t\n"
      "Device Description:\tWave Audio\nDevice Name:\tWAVEAUDIO\n"
      "Device Type:\tWaveform-audio device\nDriver Name:\tmciwave.drv\n"
      "# of Waveform Input Devices:\t1\n# of Waveform Output Devices:\tUnknown\n"
      "\n"
      "Device Description:\tN/A\nDevice Name:\tSEQUENCER\nDevice Type:\tMIDI sequencer device\n"
      "\n";
  // The MCI list follows the order of the names found at start-up.
  std::string got = s.text;
  std::string want = expected;
  std::string listed = "MCI Drivers:\tWAVEAUDIO: Wave Audio\n\tSEQUENCER: (Failed to get device name)\n\tCDAUDIO: (Device in use or not available)\n";
  std::string inOrder = "MCI Drivers:\tCDAUDIO: (Device in use or not available)\n\tWAVEAUDIO: Wave Audio\n\tSEQUENCER: (Failed to get device name)\n";
  want.replace(want.find(listed), listed.size(), inOrder);
  EXPECT_EQ(got, want);

  StringSink summary;
  WriteAudioInformation(summary, 1, ctx);
  EXPECT_EQ(summary.text, "MCI Drivers:" + inOrder.substr(12) + "Mixer Driver:\tN/A\n");
}

TEST_F(Writers, AudioMciSwitchOffLeavesNoCapabilities) {
  switches[suite::SW_AUDIO_MCI] = 0;
  StringSink s;
  WriteAudioInformation(s, 0, ctx);
  EXPECT_EQ(s.text.find("MCI Drivers Capabilities"), std::string::npos);
}

TEST_F(Writers, VideoClassDevicesOnly) {
  StringSink s;
  WriteMciDeviceList(s, 1);
  EXPECT_EQ(s.text, "\tAVIVIDEO: Video\n");
  StringSink d;
  WriteMciDeviceDetails(d, 2, 1);  // a waveform device is not of the video class
  EXPECT_EQ(d.text, "");
}

// One collection (one context) opens each MCI device once, however many
// writers list it, and closes it when the collection ends; its text is the
// text of devices opened afresh by each writer.
TEST_F(Writers, OneCollectionOpensEachMciDeviceOnce) {
  switches[suite::SW_AUDIO_MCI] = 1;
  StringSink alone;
  WriteAudioInformation(alone, 0, ctx);
  int opened = Fake().opened, closed = Fake().closed;
  std::string first, again;
  {
    GatherContext collection;
    collection.switches = switches;
    StringSink a, b;
    WriteCategory(a, suite::INFO_AUDIO, collection);
    WriteCategory(b, suite::INFO_AUDIO, collection);
    first = a.text;
    again = b.text;
    EXPECT_EQ(Fake().closed, closed) << "open until the collection ends";
  }
  EXPECT_EQ(first, alone.text);
  EXPECT_EQ(again, alone.text);
  EXPECT_EQ(Fake().opened - opened, 3) << "WAVEAUDIO, AVIVIDEO and SEQUENCER, once each";
  EXPECT_EQ(Fake().closed - closed, 3) << "and closed when the collection ended";
}

TEST(InfoFile, TextModeEndsLinesWithCrLf) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + L"quorrel_sink_test.IFO";
  {
    FileSink f;
    ASSERT_TRUE(f.Create(path.c_str()));
    f.SpacedHeading("Memory Utilization");
    f.Text("A:\t1 KB");
    f.EndLine();
  }
  FILE* in = _wfopen(path.c_str(), L"rb");
  ASSERT_NE(in, nullptr);
  char buf[128] = {};
  size_t n = fread(buf, 1, sizeof(buf) - 1, in);
  fclose(in);
  DeleteFileW(path.c_str());
  EXPECT_EQ(std::string(buf, n), "\r\n@3Memory Utilization\r\nA:\t1 KB\r\n");
}

TEST(Gatherers, ErrorTextsAndFreeSpace) {
  EXPECT_EQ(GetErrorText(ERROR_GEN_FAILURE), "General failure.");
  std::string denied = GetErrorText(ERROR_ACCESS_DENIED);
  EXPECT_FALSE(denied.empty());
  EXPECT_NE(denied.back(), '\n');
  double freeBytes = 0, total = 0;
  int ext = 7;
  EXPECT_EQ(GetFreeDiskSpace("C:\\", nullptr, &total, &ext), 0);
  EXPECT_EQ(ext, 7);
  EXPECT_EQ(GetFreeDiskSpace("C:\\", &freeBytes, &total, &ext), 1);
  EXPECT_EQ(ext, 1);
  EXPECT_GT(total, 0.0);
  EXPECT_LE(freeBytes, total);
}
