// Audio information: KytAUDIO.IFO and the summary's "Audio" section.
#pragma once
#include "gather.h"
#include "infosink.h"

namespace quorrel {

void WriteAudioInformation(InfoSink& out, int summaryFlag, const GatherContext& ctx);
void WriteMixerLine(InfoSink& out);

}  // namespace quorrel
