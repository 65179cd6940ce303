// Stands in for the Windows 9x DMI dumper behind dmi.pif: writes the dump of
// a canned SMBIOS 2.1 machine as DMI.TXT into its current directory. With a
// file "dmi_hang" there it hangs instead, owning the mutex kHangingName (so
// that its end shows as the mutex abandoned) and then setting the event
// kHangingName + "Started" when the test made them.
#include <windows.h>

#include "smbios.h"
#include "smbios_images.h"

namespace {
const wchar_t kHangingName[] = L"quorrel_test_dmi_dumper_hangs";
const wchar_t kHangingStartedName[] = L"quorrel_test_dmi_dumper_hangsStarted";
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (::GetFileAttributesW(L"dmi_hang") != INVALID_FILE_ATTRIBUTES) {
    if (HANDLE hanging = ::OpenMutexW(SYNCHRONIZE, FALSE, kHangingName)) {
      ::WaitForSingleObject(hanging, INFINITE);
      if (HANDLE started = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kHangingStartedName)) ::SetEvent(started);
    }
    ::Sleep(60000);
    return 1;
  }
  auto mem = quorrel::MakeBiosAreaMemory(quorrel::BuildBiosArea(smbiostest::Smbios21Machine().bytes, 2, 1));
  return quorrel::DumpSmbiosText(0, 0, L"", *mem, false) == 0 ? 0 : 1;
}
