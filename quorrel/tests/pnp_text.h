// Devices of a Plug and Play device text as the system-access library's
// partner lays them out: a title line, indented labelled lines, a line of
// one character after each device.
#pragma once

namespace pnptext {

constexpr char kSerialPort[] = "Communications Port (COM1)\n  I/O Range: 03F8-03FF\n  Portname: COM1\n.\n";
constexpr char kParallelPort[] = "Printer Port (LPT1)\n  I/O Range: 0378-037A\n  Portname: LPT1\n.\n";
constexpr char kOtherDevice[] = "System Timer\n  I/O Range: 0040-0043\n.\n";

}  // namespace pnptext
