// The tone-dialling test's recording through the sound card: 15 seconds of
// 8000 samples a second, 16-bit mono PCM, from the default wave-in device.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <memory>

#include "sequence.h"

namespace modemtest {

std::unique_ptr<ToneRecorder> MakeWaveToneRecorder(HINSTANCE texts);

}  // namespace modemtest
