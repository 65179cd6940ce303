// The multimedia devices of the machine as information-file lines: wave and
// MIDI devices, MCI devices and their capabilities. The devices are read
// through MultimediaSource, the Windows multimedia system in production.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

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

// The source the writers use (the system's own unless a test set another).
MultimediaSource& Multimedia();
void SetMultimediaSource(MultimediaSource* source);  // nullptr: the system's

// Names of installed MCI devices for the writers (normally MciDeviceNames()).
void WriteWaveOutDevices(InfoSink& out);
void WriteWaveInDevices(InfoSink& out);
void WriteMidiOutDevices(InfoSink& out);
void WriteMidiInDevices(InfoSink& out);
void WriteMciDeviceList(InfoSink& out, int classFlag);
void WriteMciDeviceDetails(InfoSink& out, int deviceNumber, int classFlag);
void WriteMciTypeCapabilities(InfoSink& out, UINT deviceId, DWORD type);
unsigned CountMciDevices();
int IsAudioDiscDeviceBusy();

}  // namespace quorrel
