#include "mmdevices.h"

#include <mmsystem.h>

#include <cctype>

#include "format.h"
#include "gather.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

namespace {

class SystemMultimedia : public MultimediaSource {
 public:
  int DeviceCount(MmKind kind) override {
    switch (kind) {
      case MmKind::WaveOut: return (int)::waveOutGetNumDevs();
      case MmKind::WaveIn: return (int)::waveInGetNumDevs();
      case MmKind::MidiOut: return (int)::midiOutGetNumDevs();
      case MmKind::MidiIn: return (int)::midiInGetNumDevs();
    }
    return 0;
  }
  bool DeviceCaps(MmKind kind, int index, MmDeviceCaps* c) override {
    switch (kind) {
      case MmKind::WaveOut: {
        WAVEOUTCAPSA w{};
        if (::waveOutGetDevCapsA((UINT)index, &w, sizeof(w)) != MMSYSERR_NOERROR) return false;
        Common(w.wMid, w.szPname, w.vDriverVersion, c);
        c->formats = w.dwFormats;
        c->channels = w.wChannels;
        c->support = w.dwSupport;
        return true;
      }
      case MmKind::WaveIn: {
        WAVEINCAPSA w{};
        if (::waveInGetDevCapsA((UINT)index, &w, sizeof(w)) != MMSYSERR_NOERROR) return false;
        Common(w.wMid, w.szPname, w.vDriverVersion, c);
        c->formats = w.dwFormats;
        c->channels = w.wChannels;
        return true;
      }
      case MmKind::MidiOut: {
        MIDIOUTCAPSA m{};
        if (::midiOutGetDevCapsA((UINT)index, &m, sizeof(m)) != MMSYSERR_NOERROR) return false;
        Common(m.wMid, m.szPname, m.vDriverVersion, c);
        c->technology = m.wTechnology;
        c->voices = m.wVoices;
        c->notes = m.wNotes;
        c->channelMask = m.wChannelMask;
        c->support = m.dwSupport;
        return true;
      }
      case MmKind::MidiIn: {
        MIDIINCAPSA m{};
        if (::midiInGetDevCapsA((UINT)index, &m, sizeof(m)) != MMSYSERR_NOERROR) return false;
        Common(m.wMid, m.szPname, m.vDriverVersion, c);
        return true;
      }
    }
    return false;
  }
  bool MciOpen(const std::string& type, UINT* id, DWORD* error) override {
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = type.c_str();
    MCIERROR e = ::mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_WAIT, (DWORD_PTR)&p);
    if (error) *error = e;
    if (e) return false;
    *id = p.wDeviceID;
    return true;
  }
  void MciClose(UINT id) override { ::mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0); }
  bool MciCaps(UINT id, DWORD item, DWORD* value) override {
    MCI_GETDEVCAPS_PARMS p{};
    p.dwItem = item;
    if (::mciSendCommandA(id, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, (DWORD_PTR)&p)) return false;
    *value = p.dwReturn;
    return true;
  }
  bool MciProduct(UINT id, std::string* product) override {
    char buf[256] = {};
    MCI_INFO_PARMSA p{};
    p.lpstrReturn = buf;
    p.dwRetSize = sizeof(buf);
    if (::mciSendCommandA(id, MCI_INFO, MCI_INFO_PRODUCT | MCI_WAIT, (DWORD_PTR)&p)) return false;
    buf[sizeof(buf) - 1] = 0;
    *product = buf;
    return true;
  }
  unsigned MciCount() override { return CountMciDevices(); }
  bool MciName(unsigned number, std::string* name) override {
    char buf[256] = {};
    MCI_SYSINFO_PARMSA p{};
    p.lpstrReturn = buf;
    p.dwRetSize = sizeof(buf);
    p.dwNumber = number;
    p.wDeviceType = 0;
    if (::mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_SYSINFO, MCI_SYSINFO_NAME, (DWORD_PTR)&p)) return false;
    buf[sizeof(buf) - 1] = 0;
    *name = buf;
    return true;
  }
  bool MciDriver(const std::string& name, std::string* driver) override {
    HKEY key = nullptr;
    std::string path = "System\\CurrentControlSet\\control\\MediaResources\\mci\\" + name;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buf[257] = {};
    DWORD size = 256, type = 0;
    LONG r = ::RegQueryValueExA(key, "Driver", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
    buf[256] = 0;
    *driver = buf;
    return true;
  }
  bool MixerProduct(std::string* product) override {
    if ((int)::mixerGetNumDevs() <= 0) return false;
    HMIXER h = nullptr;
    if (::mixerOpen(&h, 0, 0, 0, 0) != MMSYSERR_NOERROR || !h) return false;
    MIXERCAPSA caps{};
    bool ok = ::mixerGetDevCapsA(0, &caps, sizeof(caps)) == MMSYSERR_NOERROR;
    if (ok) *product = caps.szPname;
    ::mixerClose(h);
    return ok;
  }

 private:
  static void Common(WORD mid, const char* name, MMVERSION ver, MmDeviceCaps* c) {
    c->manufacturer = mid;
    c->product.assign(name, strnlen(name, MAXPNAMELEN));
    c->driverVersion = ver;
  }
};

SystemMultimedia g_system;
MultimediaSource* g_source = nullptr;

std::string YesNo(bool yes) { return Str(yes ? IDS_YES : IDS_NO); }

// The common frame of the four device writers.
template <typename Own>
void WriteDevices(InfoSink& out, MmKind kind, Own&& own) {
  MultimediaSource& mm = Multimedia();
  int count = mm.DeviceCount(kind);
  if (count <= 0) {
    out.EndLine();
    out.Line(Str(IDS_NA));
    return;
  }
  out.EndLine();
  for (int i = 0; i < count; ++i) {
    if (i > 0) out.EndLine();
    MmDeviceCaps c;
    if (!mm.DeviceCaps(kind, i, &c)) continue;
    out.Text(FormatA(Str(IDS_MANUFACTURER).c_str(), ManufacturerName(c.manufacturer).c_str()));
    out.Text(FormatA(Str(IDS_PRODUCT_NAME).c_str(), c.product.c_str()));
    out.Text(FormatA(Str(IDS_DRIVER_VERSION).c_str(), (c.driverVersion >> 8) & 0xFFu, c.driverVersion & 0xFFu));
    own(c);
  }
}

void WriteRatesAndChannel(InfoSink& out, const MmDeviceCaps& c) {
  std::vector<std::string> rates = SamplingRateTexts(c.formats);
  if (!rates.empty()) {
    out.Text(Str(IDS_SAMPLING_RATES));
    for (const std::string& r : rates) out.Indented(r);
  }
  // A device with neither one nor two channels gets no channel line.
  if (c.channels == 1) out.Text(Str(IDS_CHANNEL_MONO));
  else if (c.channels == 2) out.Text(Str(IDS_CHANNEL_STEREO));
}

void SupportLine(InfoSink& out, DWORD support, DWORD flag, UINT yes, UINT no) {
  out.Text(Str((support & flag) ? yes : no));
}

}  // namespace

namespace {
thread_local MultimediaSource* t_scoped = nullptr;
}  // namespace

MultimediaSource& Multimedia() {
  if (t_scoped) return *t_scoped;
  return g_source ? *g_source : g_system;
}
void SetMultimediaSource(MultimediaSource* source) { g_source = source; }

MultimediaScope::MultimediaScope(MultimediaSource* source) : previous_(t_scoped) {
  if (source) t_scoped = source;
}
MultimediaScope::~MultimediaScope() { t_scoped = previous_; }

SharedMciSource::~SharedMciSource() {
  for (const auto& d : opened_)
    if (d.second.ok) base_.MciClose(d.second.id);
}

bool SharedMciSource::MciOpen(const std::string& type, UINT* id, DWORD* error) {
  std::string key = type;
  for (char& c : key) c = (char)toupper((unsigned char)c);
  for (const auto& d : opened_) {
    if (d.first != key) continue;
    if (d.second.ok) *id = d.second.id;
    if (error) *error = d.second.error;
    return d.second.ok;
  }
  Opened o{false, 0, 0};
  o.ok = base_.MciOpen(type, &o.id, &o.error);
  opened_.push_back({key, o});
  if (o.ok) *id = o.id;
  if (error) *error = o.error;
  return o.ok;
}

void WriteWaveOutDevices(InfoSink& out) {
  WriteDevices(out, MmKind::WaveOut, [&](const MmDeviceCaps& c) {
    WriteRatesAndChannel(out, c);
    SupportLine(out, c.support, WAVECAPS_VOLUME, IDS_VOLUME_YES, IDS_VOLUME_NO);
    SupportLine(out, c.support, WAVECAPS_LRVOLUME, IDS_LRVOLUME_YES, IDS_LRVOLUME_NO);
    SupportLine(out, c.support, WAVECAPS_PITCH, IDS_PITCH_YES, IDS_PITCH_NO);
    SupportLine(out, c.support, WAVECAPS_PLAYBACKRATE, IDS_PLAYBACK_YES, IDS_PLAYBACK_NO);
    SupportLine(out, c.support, WAVECAPS_SYNC, IDS_SYNC_YES, IDS_SYNC_NO);
  });
}

void WriteWaveInDevices(InfoSink& out) {
  WriteDevices(out, MmKind::WaveIn, [&](const MmDeviceCaps& c) { WriteRatesAndChannel(out, c); });
}

void WriteMidiOutDevices(InfoSink& out) {
  WriteDevices(out, MmKind::MidiOut, [&](const MmDeviceCaps& c) {
    out.Text(FormatA(Str(IDS_TECHNOLOGY).c_str(), MidiTechnologyText(c.technology).c_str()));
    out.Text(FormatA(Str(IDS_VOICES).c_str(), c.voices));
    out.Text(FormatA(Str(IDS_NOTES).c_str(), c.notes));
    out.Text(FormatA(Str(IDS_CHANNEL_MASK).c_str(), c.channelMask));
    SupportLine(out, c.support, MIDICAPS_CACHE, IDS_PATCH_YES, IDS_PATCH_NO);
    SupportLine(out, c.support, MIDICAPS_VOLUME, IDS_VOLUME_YES, IDS_VOLUME_NO);
    SupportLine(out, c.support, MIDICAPS_LRVOLUME, IDS_LRVOLUME_YES, IDS_LRVOLUME_NO);
    SupportLine(out, c.support, MIDICAPS_STREAM, IDS_DIRECT_MIDI_YES, IDS_DIRECT_MIDI_NO);
  });
}

void WriteMidiInDevices(InfoSink& out) {
  WriteDevices(out, MmKind::MidiIn, [](const MmDeviceCaps&) {});
}

void WriteMciDeviceList(InfoSink& out, int classFlag) {
  const std::vector<std::string>& names = MciDeviceNames();
  if (names.empty()) {
    out.Indented(Str(IDS_NA));
    return;
  }
  MultimediaSource& mm = Multimedia();
  for (const std::string& name : names) {
    UINT id = 0;
    DWORD error = 0;
    if (mm.MciOpen(name, &id, &error)) {
      DWORD type = 0;
      if (mm.MciCaps(id, MCI_GETDEVCAPS_DEVICE_TYPE, &type) && MciTypeInClass(type, classFlag)) {
        std::string product;
        out.Tab();
        out.Text(name);
        if (mm.MciProduct(id, &product)) {
          out.Text(": ");
          out.Text(product);
        } else {
          out.Text(Str(IDS_FAILED_DEVICE_NAME));
        }
        out.EndLine();
      }
      mm.MciClose(id);
      continue;
    }
    bool mark = classFlag == 0 ? name.find("CDAUDIO") != std::string::npos
                               : (name.find("VIDEOCD") != std::string::npos ||
                                  name.find("CDIVIDEO") != std::string::npos ||
                                  name.find("VIDEODISC") != std::string::npos);
    if (mark) {
      out.Tab();
      out.Text(name);
      out.Line(Str(IDS_DEVICE_IN_USE));
    }
  }
}

void WriteMciDeviceDetails(InfoSink& out, int deviceNumber, int classFlag) {
  const std::vector<std::string>& names = MciDeviceNames();
  if (deviceNumber < 1 || (size_t)deviceNumber > names.size()) return;
  const std::string& name = names[(size_t)deviceNumber - 1];
  if (name.empty()) return;
  MultimediaSource& mm = Multimedia();
  UINT id = 0;
  if (!mm.MciOpen(name, &id, nullptr)) return;
  std::string product;
  if (!mm.MciProduct(id, &product)) product = Str(IDS_NA);
  DWORD type = 0;
  if (!mm.MciCaps(id, MCI_GETDEVCAPS_DEVICE_TYPE, &type) || !MciTypeInClass(type, classFlag)) {
    mm.MciClose(id);
    return;
  }
  out.Line(Str(IDS_DEVICE_DESCRIPTION) + product);
  out.Line(Str(IDS_DEVICE_NAME) + name);
  struct Item {
    DWORD item;
    UINT label;
  };
  const Item items[] = {{MCI_GETDEVCAPS_DEVICE_TYPE, IDS_DEVICE_TYPE},  {MCI_GETDEVCAPS_COMPOUND_DEVICE, IDS_USE_DATA_STORAGE},
                        {MCI_GETDEVCAPS_USES_FILES, IDS_REQUIRES_FILENAME}, {MCI_GETDEVCAPS_HAS_AUDIO, IDS_HAS_AUDIO},
                        {MCI_GETDEVCAPS_HAS_VIDEO, IDS_HAS_VIDEO},        {MCI_GETDEVCAPS_CAN_PLAY, IDS_CAN_PLAY},
                        {MCI_GETDEVCAPS_CAN_RECORD, IDS_CAN_RECORD},      {MCI_GETDEVCAPS_CAN_EJECT, IDS_CAN_EJECT},
                        {MCI_GETDEVCAPS_CAN_SAVE, IDS_CAN_SAVE}};
  for (const Item& it : items) {
    DWORD value = 0;
    if (mm.MciCaps(id, it.item, &value)) {
      std::string text = it.item == MCI_GETDEVCAPS_DEVICE_TYPE ? MciDeviceTypeText(value) : YesNo(value != 0);
      out.Line(Str(it.label) + text);
    }
    if (it.item == MCI_GETDEVCAPS_DEVICE_TYPE) {
      std::string driver;
      if (mm.MciDriver(name, &driver)) out.Line(Str(IDS_DRIVER_NAME) + driver);
    }
  }
  WriteMciTypeCapabilities(out, id, type);
  out.EndLine();
  mm.MciClose(id);
}

void WriteMciTypeCapabilities(InfoSink& out, UINT deviceId, DWORD type) {
  enum Kind { kYesNo, kCount, kRate };
  struct Item {
    DWORD item;
    const char* label;
    Kind kind;
  };
  static const Item kDigitalVideo[] = {
      {0x4002, "Can Freeze Frames:\t", kYesNo},      {0x4000, "Can Lock:\t", kYesNo},
      {0x4004, "Can Play In Reverse:\t", kYesNo},    {0x4008, "Can Stretch Input:\t", kYesNo},
      {0x4001, "Can Stretch an Image:\t", kYesNo},   {0x4009, "Can Perform Tests:\t", kYesNo},
      {0x4005, "Can Display Still Images:\t", kYesNo}, {0x4003, "Max. # of Windows:\t", kCount},
      {0x400A, "Maximum Play Rate:\t", kRate},       {0x400B, "Minimum Play Rate:\t", kRate},
      {0x4006, "Can Return a Palette Handle:\t", kYesNo}};
  static const Item kWave[] = {{0x4001, "# of Waveform Input Devices:\t", kCount},
                               {0x4002, "# of Waveform Output Devices:\t", kCount}};
  static const Item kOverlay[] = {{0x4002, "Can Freeze the Image:\t", kYesNo},
                                  {0x4001, "Can Stretch the Image:\t", kYesNo},
                                  {0x4003, "Max. # of Windows:\t", kCount}};
  static const Item kVideodisc[] = {
      {0x4002 | 0x20000, "Can Play In Reverse(CAV):\t", kYesNo}, {0x4003 | 0x20000, "Fast Play Rate(CAV):\t", kRate},
      {0x4005 | 0x20000, "Normal Play Rate(CAV):\t", kRate},     {0x4004 | 0x20000, "Slow Play Rate(CAV):\t", kRate},
      {0x4002 | 0x10000, "Can Play In Reverse(CLV):\t", kYesNo}, {0x4003 | 0x10000, "Fast Play Rate(CLV):\t", kRate},
      {0x4005 | 0x10000, "Normal Play Rate(CLV):\t", kRate},     {0x4004 | 0x10000, "Slow Play Rate(CLV):\t", kRate}};
  const Item* items = nullptr;
  size_t count = 0;
  switch (type) {
    case 0x208: items = kDigitalVideo; count = sizeof(kDigitalVideo) / sizeof(Item); break;
    case 0x20A: items = kWave; count = sizeof(kWave) / sizeof(Item); break;
    case 0x203: items = kOverlay; count = sizeof(kOverlay) / sizeof(Item); break;
    case 0x202: items = kVideodisc; count = sizeof(kVideodisc) / sizeof(Item); break;
    default: return;
  }
  MultimediaSource& mm = Multimedia();
  for (size_t i = 0; i < count; ++i) {
    DWORD value = 0;
    std::string text;
    if (!mm.MciCaps(deviceId, items[i].item, &value)) text = Str(IDS_UNKNOWN);
    else if (items[i].kind == kYesNo) text = YesNo(value != 0);
    else if (items[i].kind == kCount) text = FormatA("%lu", (unsigned long)value);
    else text = FormatA(Str(IDS_FRAMES_PER_SECOND).c_str(), (unsigned long)value);
    out.Line(items[i].label + text);
  }
}

unsigned CountMciDevices() {
  char buf[256] = {};
  MCI_SYSINFO_PARMSA p{};
  p.lpstrReturn = buf;
  p.dwRetSize = sizeof(buf);
  MCIERROR e = ::mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_SYSINFO, MCI_SYSINFO_QUANTITY | MCI_WAIT, (DWORD_PTR)&p);
  if (e) {
    char text[256];
    if (::mciGetErrorStringA(e, text, sizeof(text))) ::OutputDebugStringA(text);
    return 0;
  }
  DWORD count = 0;
  memcpy(&count, buf, sizeof(count));
  return count;
}

int IsAudioDiscDeviceBusy() {
  MultimediaSource& mm = Multimedia();
  UINT id = 0;
  DWORD error = 0;
  if (mm.MciOpen("cdaudio", &id, &error)) {
    mm.MciClose(id);
    return 0;
  }
  return error == MCIERR_MUST_USE_SHAREABLE ? 1 : 0;
}

namespace {
bool g_mciListPending = true;
std::vector<std::string> g_mciNames;
}  // namespace

const std::vector<std::string>& MciDeviceNames() { return g_mciNames; }

void BuildMciDeviceList() {
  if (!g_mciListPending) return;
  g_mciListPending = false;
  MultimediaSource& mm = Multimedia();
  unsigned count = mm.MciCount();
  for (unsigned i = 1; i <= count; ++i) {
    std::string name;
    if (!mm.MciName(i, &name)) continue;
    for (char& c : name) c = (char)::toupper((unsigned char)c);
    if (!name.empty()) g_mciNames.push_back(name);
  }
}

}  // namespace quorrel
