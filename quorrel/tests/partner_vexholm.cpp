// Stands in for the system-access library of a Windows 9x machine with its
// 16-bit partner: answers the device texts of the port and device-line
// writers (and only those) as the partner would lay them out.
#include <windows.h>

#include <cstring>

namespace {

const char kPnpDevices[] =
    "Communications Port (COM1)\n"
    "  I/O Range: 03F8-03FF\n"
    "  Portname: COM1\n"
    ".\n"
    "Printer Port (LPT1)\n"
    "  I/O Range: 0378-037A\n"
    "  Portname: LPT1\n"
    ".\n"
    "System Timer\n"
    "  I/O Range: 0040-0043\n"
    ".\n";

const char kDeviceListing[] =
    "@3Creative Sound Card\n"
    "  Class: Media\n"
    "@3Plug and Play Monitor\n"
    "  Class: Monitor\n";

DWORD Answer(void* buffer, WORD size, const char* text, size_t length) {
  if (length > size) return 0;
  std::memcpy(buffer, text, length);
  return 1;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI GetQuorrel(WORD infoClass, WORD size, void* buffer) {
  if (!buffer) return 0;
  switch (infoClass) {
    case 0x0D:
      return Answer(buffer, size, kPnpDevices, sizeof(kPnpDevices));
    case 0x14:
      return Answer(buffer, size, kDeviceListing, sizeof(kDeviceListing));
    case 0x68:
      static_cast<char*>(buffer)[0] = 0x03;
      return 1;
    case 0x0E:
      // The short form when the caller asked for it.
      if (static_cast<char*>(buffer)[1] == 1) return Answer(buffer, size, "IRQ:\t5 of 16 used\n", 19);
      return Answer(buffer, size, "IRQ 5:\tCreative Sound Card\n", 28);
    default:
      return 0;
  }
}
