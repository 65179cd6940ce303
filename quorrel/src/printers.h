// Printer information: KytPRT.IFO. The printers known to the local spooler
// with their kind, default and shared marks and port, then the installed
// printer drivers.
//
// The spooler is reached through PrinterSpooler, whose calls have exactly
// the shape of EnumPrintersA / EnumPrinterDriversA (records first, their
// strings after them in the same buffer), so that the writer can be run on
// canned buffers.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "infosink.h"

namespace quorrel {

class PrinterSpooler {
 public:
  virtual ~PrinterSpooler() = default;
  // EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, ...): false with
  // GetLastError's value in *error when it fails (ERROR_INSUFFICIENT_BUFFER
  // with *needed set when the buffer is too small).
  virtual bool EnumLocalPrinters(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned,
                                 DWORD* error) = 0;
  // EnumPrinterDriversA(nullptr, nullptr, level, ...): the same contract.
  virtual bool EnumDrivers(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned,
                           DWORD* error) = 0;
};
std::unique_ptr<PrinterSpooler> MakeMachinePrinterSpooler();

// Buffer sizes the spooler is first asked with; a larger answer is fetched
// again in a buffer of the size the spooler asks for.
constexpr DWORD kPrinterKindsBuffer = 560;
constexpr DWORD kPrinterNamesBuffer = 448;
constexpr DWORD kPrinterDriversBuffer = 1120;

// Longest line the writer puts out (line end excluded); longer names are cut.
constexpr size_t kPrinterLineMax = 1023;

// Attributes of a printer from a local enumeration on the NT family, which
// sets PRINTER_ATTRIBUTE_DEFAULT for no printer and leaves LOCAL out on some
// spoolers: every printer that is not a network printer is local, and the
// system's default printer (`isDefault`) is marked.
DWORD CompleteNtPrinterAttributes(DWORD attributes, bool isDefault);

// "name" followed by " (LOCAL, DEFAULT) " and so on for a printer whose
// level-5 attributes are known (`matched`); just the name otherwise. Bounded
// by kPrinterLineMax.
std::string PrinterLine(const std::string& name, bool matched, DWORD attributes);

// The category (summary 0). With summary 1 nothing is written.
void WritePrinterInfo(InfoSink& out, int summary, PrinterSpooler& spooler);
void WritePrinterInfo(InfoSink& out, int summary);

}  // namespace quorrel
