// Stands in for the Windows 9x DMI dumper behind dmi.pif: writes the dump of
// a canned SMBIOS 2.1 machine as DMI.TXT into its current directory. With a
// file "dmi_hang" there it hangs instead.
#include <windows.h>

#include "smbios.h"
#include "smbios_images.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (::GetFileAttributesW(L"dmi_hang") != INVALID_FILE_ATTRIBUTES) {
    ::Sleep(60000);
    return 1;
  }
  auto mem = quorrel::MakeBiosAreaMemory(quorrel::BuildBiosArea(smbiostest::Smbios21Machine().bytes, 2, 1));
  return quorrel::DumpSmbiosText(0, 0, L"", *mem, false) == 0 ? 0 : 1;
}
