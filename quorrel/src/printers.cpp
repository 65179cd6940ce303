#include "printers.h"

#include <winspool.h>

#include <cstring>
#include <vector>

#include "appkit/system.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

namespace {

class MachinePrinterSpooler : public PrinterSpooler {
 public:
  bool EnumLocalPrinters(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned,
                         DWORD* error) override {
    BOOL ok = ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer, size, needed, returned);
    *error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (ok && level == 5 && !appkit::IsWindows9x()) CompleteKinds(buffer, size, *returned);
    return ok != FALSE;
  }
  // The NT spooler marks neither the default printer nor, always, the local
  // ones: the marks are completed from what the system says otherwise.
  static void CompleteKinds(BYTE* buffer, DWORD size, DWORD count) {
    char name[512] = {};
    DWORD length = sizeof(name);
    bool haveDefault = ::GetDefaultPrinterA(name, &length) != FALSE;
    auto* records = reinterpret_cast<PRINTER_INFO_5A*>(buffer);
    for (DWORD i = 0; i < count && (i + 1) * sizeof(PRINTER_INFO_5A) <= size; ++i) {
      bool isDefault = haveDefault && records[i].pPrinterName && _stricmp(records[i].pPrinterName, name) == 0;
      records[i].Attributes = CompleteNtPrinterAttributes(records[i].Attributes, isDefault);
    }
  }
  bool EnumDrivers(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned, DWORD* error) override {
    BOOL ok = ::EnumPrinterDriversA(nullptr, nullptr, level, buffer, size, needed, returned);
    *error = ok ? ERROR_SUCCESS : ::GetLastError();
    return ok != FALSE;
  }
};

// One enumeration's records: the buffer it filled and how many records of
// `recordSize` it holds. A count that would reach past the buffer is cut to
// what the buffer holds.
struct Enumerated {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  template <class T>
  const T& At(DWORD i) const {
    return *reinterpret_cast<const T*>(buffer.data() + i * sizeof(T));
  }
};

// Asks first with `firstSize` bytes; when the records do not fit, asks again
// with what the spooler says it needs (a printer may come between the two
// calls, so a few times at most).
template <class Call>
bool Enumerate(DWORD firstSize, size_t recordSize, Call call, Enumerated* result) {
  DWORD size = firstSize;
  for (int attempt = 0; attempt < 4; ++attempt) {
    result->buffer.assign(size, 0);
    DWORD needed = 0, returned = 0, error = ERROR_SUCCESS;
    if (call(result->buffer.data(), size, &needed, &returned, &error)) {
      DWORD fits = (DWORD)(size / recordSize);
      result->count = returned < fits ? returned : fits;
      return true;
    }
    if (error != ERROR_INSUFFICIENT_BUFFER || needed <= size || needed > (64u << 20)) break;
    size = needed;
  }
  result->buffer.clear();
  result->count = 0;
  return false;
}

const char* Text(const char* s) { return s ? s : ""; }

std::string Bounded(std::string s) {
  if (s.size() > kPrinterLineMax) s.resize(kPrinterLineMax);
  return s;
}

}  // namespace

std::unique_ptr<PrinterSpooler> MakeMachinePrinterSpooler() { return std::make_unique<MachinePrinterSpooler>(); }

DWORD CompleteNtPrinterAttributes(DWORD attributes, bool isDefault) {
  if (!(attributes & PRINTER_ATTRIBUTE_NETWORK)) attributes |= PRINTER_ATTRIBUTE_LOCAL;
  if (isDefault) attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  return attributes;
}

std::string PrinterLine(const std::string& name, bool matched, DWORD attributes) {
  std::string line = name;
  if (matched) {
    line += " (";
    if (attributes & PRINTER_ATTRIBUTE_NETWORK)
      line += Str(IDS_PRINTER_NETWORK);
    else if (attributes & PRINTER_ATTRIBUTE_LOCAL)
      line += Str(IDS_PRINTER_LOCAL);
    if (attributes & PRINTER_ATTRIBUTE_DEFAULT) line += ", " + Str(IDS_PRINTER_DEFAULT);
    if (attributes & PRINTER_ATTRIBUTE_SHARED) line += ", " + Str(IDS_PRINTER_SHARED);
    line += ") ";
  }
  return Bounded(line);
}

void WritePrinterInfo(InfoSink& out, int summary, PrinterSpooler& spooler) {
  if (summary) return;

  Enumerated kinds;
  Enumerate(
      kPrinterKindsBuffer, sizeof(PRINTER_INFO_5A),
      [&](BYTE* b, DWORD s, DWORD* n, DWORD* r, DWORD* e) { return spooler.EnumLocalPrinters(5, b, s, n, r, e); },
      &kinds);
  out.EndLine();

  Enumerated names;
  if (Enumerate(
          kPrinterNamesBuffer, sizeof(PRINTER_INFO_1A),
          [&](BYTE* b, DWORD s, DWORD* n, DWORD* r, DWORD* e) { return spooler.EnumLocalPrinters(1, b, s, n, r, e); },
          &names)) {
    out.Heading(Str(IDS_PRINTERS));
    for (DWORD i = 0; i < names.count; ++i) {
      const char* name = Text(names.At<PRINTER_INFO_1A>(i).pName);
      const PRINTER_INFO_5A* kind = nullptr;
      for (DWORD k = 0; k < kinds.count && !kind; ++k) {
        const PRINTER_INFO_5A& candidate = kinds.At<PRINTER_INFO_5A>(k);
        if (_stricmp(Text(candidate.pPrinterName), name) == 0) kind = &candidate;
      }
      out.Indented(PrinterLine(name, kind != nullptr, kind ? kind->Attributes : 0));
      if (kind) {
        out.Indented(Bounded(Str(IDS_PRINTER_PORT) + Text(kind->pPortName)));
      }
      out.EndLine();
    }
    if (names.count == 0) {
      out.Indented(Str(IDS_MIXER_NA));
    }
  }
  out.EndLine();

  Enumerated drivers;
  if (Enumerate(
          kPrinterDriversBuffer, sizeof(DRIVER_INFO_3A),
          [&](BYTE* b, DWORD s, DWORD* n, DWORD* r, DWORD* e) { return spooler.EnumDrivers(3, b, s, n, r, e); },
          &drivers)) {
    out.Heading(Str(IDS_PRINTER_DRIVERS));
    for (DWORD i = 0; i < drivers.count; ++i) {
      const DRIVER_INFO_3A& d = drivers.At<DRIVER_INFO_3A>(i);
      out.Indented(Bounded(Text(d.pName)));
      out.Indented(Bounded(Text(d.pDriverPath)));
      out.EndLine();
    }
  }
}

void WritePrinterInfo(InfoSink& out, int summary) {
  if (summary) return;
  auto spooler = MakeMachinePrinterSpooler();
  WritePrinterInfo(out, summary, *spooler);
}

}  // namespace quorrel
