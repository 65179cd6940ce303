// Port information: KytPORT.IFO and the summary's "Serial Port:" and
// "Parallel Port:" lines. The serial and parallel ports are picked out of
// the Plug and Play device text of the system-access library (Windows 9x,
// the class of KytPNP.IFO);
// without the library the category holds its leading empty line only.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "infosink.h"
#include "system.h"

namespace quorrel {

// Labels of the device text's lines, from MirvaneRC when it holds them.
struct PortLabels {
  std::string ioRange = "I/O Range:";
  std::string portName = "Portname:";
};
PortLabels MachinePortLabels(HMODULE labelTexts);

// One device line: true (and the value stored) when the line starts with
// white space, carries the label and a value of the right form; otherwise
// false and `value` is left alone.
bool ParseIoRangeLine(const std::string& line, const PortLabels& labels, std::string* value);
bool ParseComPortLine(const std::string& line, const PortLabels& labels, std::string* value);
bool ParseLptPortLine(const std::string& line, const PortLabels& labels, std::string* value);

// Writes the serial-port settings lines of a port (category mode).
using PortSettingsWriter = std::function<void(InfoSink&, const std::string& portName)>;

// Parses the device text, at most `size` bytes of `text` (up to its first
// NUL), and writes the port blocks (summary 0) or the two port lines
// (summary 1).
void ParsePortText(InfoSink& out, const char* text, size_t size, int summary, const PortLabels& labels,
                   const PortSettingsWriter& settings);

// The category (summary 0: a leading empty line, then the ports) or the
// summary's port lines (summary 1), from `access` (nullptr: not bound).
void WritePortInformation(InfoSink& out, int summary, GetQuorrelFn access, const PortLabels& labels,
                          const PortSettingsWriter& settings);
void WritePortInformation(InfoSink& out, int summary, const SystemBindings& sys);

}  // namespace quorrel
