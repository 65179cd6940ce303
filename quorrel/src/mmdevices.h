// The multimedia devices of the machine as information-file lines: wave and
// MIDI devices, MCI devices and their capabilities. The devices are read
// through MultimediaSource, the Windows multimedia system in production.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "infosink.h"

namespace quorrel {

struct MmDeviceCaps {
  unsigned manufacturer = 0;
  std::string product;
  unsigned driverVersion = 0;
  DWORD formats = 0;         // wave: WAVE_FORMAT_ flags
  unsigned channels = 0;     // wave
  DWORD support = 0;         // wave/MIDI out: WAVECAPS_ / MIDICAPS_ flags
  unsigned technology = 0;   // MIDI out
  unsigned voices = 0, notes = 0, channelMask = 0;  // MIDI out
};

enum class MmKind { WaveOut, WaveIn, MidiOut, MidiIn };

class MultimediaSource {
 public:
  virtual ~MultimediaSource() = default;
  virtual int DeviceCount(MmKind kind) = 0;
  virtual bool DeviceCaps(MmKind kind, int index, MmDeviceCaps* caps) = 0;
  // MCI: open by type name; *error gets the MCI error of a failed open.
  virtual bool MciOpen(const std::string& type, UINT* id, DWORD* error) = 0;
  virtual void MciClose(UINT id) = 0;
  virtual bool MciCaps(UINT id, DWORD item, DWORD* value) = 0;
  virtual bool MciProduct(UINT id, std::string* product) = 0;
  virtual unsigned MciCount() = 0;
  virtual bool MciName(unsigned number, std::string* name) = 0;
  // "Driver" of HKLM System\CurrentControlSet\control\MediaResources\mci\<name>.
  virtual bool MciDriver(const std::string& name, std::string* driver) = 0;
  // Product name of mixer 0 (open, query, close); false when there is none.
  virtual bool MixerProduct(std::string* product) = 0;
};

// The source the writers use (the system's own unless a test set another;
// a collection's shared devices while a MultimediaScope holds them).
MultimediaSource& Multimedia();
void SetMultimediaSource(MultimediaSource* source);  // nullptr: the system's

// Every MCI device opened once through `base` and kept open until this
// source goes (MciClose leaves it open for the next writer); a failed open
// answers the same error again. Everything else is asked of `base`.
class SharedMciSource : public MultimediaSource {
 public:
  explicit SharedMciSource(MultimediaSource& base) : base_(base) {}
  ~SharedMciSource() override;
  int DeviceCount(MmKind kind) override { return base_.DeviceCount(kind); }
  bool DeviceCaps(MmKind kind, int index, MmDeviceCaps* caps) override { return base_.DeviceCaps(kind, index, caps); }
  bool MciOpen(const std::string& type, UINT* id, DWORD* error) override;
  void MciClose(UINT) override {}
  bool MciCaps(UINT id, DWORD item, DWORD* value) override { return base_.MciCaps(id, item, value); }
  bool MciProduct(UINT id, std::string* product) override { return base_.MciProduct(id, product); }
  unsigned MciCount() override { return base_.MciCount(); }
  bool MciName(unsigned number, std::string* name) override { return base_.MciName(number, name); }
  bool MciDriver(const std::string& name, std::string* driver) override { return base_.MciDriver(name, driver); }
  bool MixerProduct(std::string* product) override { return base_.MixerProduct(product); }

 private:
  struct Opened {
    bool ok;
    UINT id;
    DWORD error;
  };
  MultimediaSource& base_;
  std::vector<std::pair<std::string, Opened>> opened_;  // by upper-case type
};

// Makes Multimedia() answer with `source` on this thread while it lives
// (nullptr: no change).
class MultimediaScope {
 public:
  explicit MultimediaScope(MultimediaSource* source);
  ~MultimediaScope();
  MultimediaScope(const MultimediaScope&) = delete;
  MultimediaScope& operator=(const MultimediaScope&) = delete;

 private:
  MultimediaSource* previous_;
};

// Names of installed MCI devices for the writers (normally MciDeviceNames()).
void WriteWaveOutDevices(InfoSink& out);
void WriteWaveInDevices(InfoSink& out);
void WriteMidiOutDevices(InfoSink& out);
void WriteMidiInDevices(InfoSink& out);
void WriteMciDeviceList(InfoSink& out, int classFlag);
void WriteMciDeviceDetails(InfoSink& out, int deviceNumber, int classFlag);
void WriteMciTypeCapabilities(InfoSink& out, UINT deviceId, DWORD type);
unsigned CountMciDevices();
// Installed MCI device names (upper case), filled once per process.
const std::vector<std::string>& MciDeviceNames();
void BuildMciDeviceList();
int IsAudioDiscDeviceBusy();

}  // namespace quorrel
