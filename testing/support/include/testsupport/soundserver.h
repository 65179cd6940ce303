// The sound server of a test's own that
// testing/soundserver/with_own_audio_server.sh starts: the test stops it
// (kills or stalls it) in the middle of a program's play or recording, to see
// the program end and report all the same.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// The folder through which the script takes requests, as this program sees
// it (ending in a backslash); empty when the test runs on no server of its
// own.
std::wstring SoundServerControl();
// Asks for `request` ("kill", "freeze", "thaw") and waits, up to `ms`, until
// the script has carried it out.
bool AskSoundServer(const std::wstring& request, DWORD ms = 20000);

}  // namespace testsupport
