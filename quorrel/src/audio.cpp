#include "audio.h"

#include "format.h"
#include "gather.h"
#include "mmdevices.h"
#include "resource.h"
#include "suite/info.h"
#include "texts.h"

namespace quorrel {

void WriteMixerLine(InfoSink& out) {
  std::string product;
  if (!Multimedia().MixerProduct(&product)) product = Str(IDS_MIXER_NA);
  out.Line(FormatA(Str(IDS_MIXER_DRIVER).c_str(), product.c_str()));
}

void WriteAudioInformation(InfoSink& out, int summaryFlag, const GatherContext& ctx) {
  bool category = summaryFlag == 0;
  if (category) out.SpacedHeading(Str(IDS_DRIVERS_INFORMATION));
  out.Text(Str(IDS_MCI_DRIVERS));
  WriteMciDeviceList(out, 0);
  WriteMixerLine(out);
  if (!category) return;
  out.EndLine();
  const struct {
    UINT title;
    void (*list)(InfoSink&);
  } lists[] = {{IDS_WAVE_OUT_DEVICES, &WriteWaveOutDevices},
               {IDS_WAVE_IN_DEVICES, &WriteWaveInDevices},
               {IDS_MIDI_OUT_DEVICES, &WriteMidiOutDevices},
               {IDS_MIDI_IN_DEVICES, &WriteMidiInDevices}};
  for (const auto& l : lists) {
    out.BeginHeading();
    out.Text(Str(l.title));
    l.list(out);
    out.EndLine();
  }
  if (ctx.Switch(suite::SW_AUDIO_MCI)) {
    out.BeginHeading();
    out.Text(Str(IDS_MCI_CAPABILITIES));
    const std::vector<std::string>& names = MciDeviceNames();
    if (names.empty()) {
      out.Line(Str(IDS_NA));
    } else {
      out.EndLine();
      for (size_t k = 1; k <= names.size(); ++k) WriteMciDeviceDetails(out, (int)k, 0);
    }
  }
}

}  // namespace quorrel
