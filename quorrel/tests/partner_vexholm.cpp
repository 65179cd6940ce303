// Stands in for the system-access library of a Windows 9x machine with its
// 16-bit partner: answers the device texts of the port and device-line
// writers (and only those) as the partner would lay them out.
#include <windows.h>

#include <cstring>
#include <string>

#include "pnp_text.h"

namespace {

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
    case 0x0D: {
      static const std::string devices =
          std::string(pnptext::kSerialPort) + pnptext::kParallelPort + pnptext::kOtherDevice;
      return Answer(buffer, size, devices.c_str(), devices.size() + 1);
    }
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
