#include "ports.h"

#include <cstdlib>
#include <cstring>

#include "bios.h"
#include "devices_resource.h"
#include "format.h"
#include "gather.h"
#include "modem.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

namespace {

// The value after `label` on an indented line: its first word.
bool LabelledValue(const std::string& line, const std::string& label, std::string* value) {
  std::string rest;
  if (!SplitIndentedLabel(line, label, &rest)) return false;
  size_t end = 0;
  while (end < rest.size() && !IsBlankByte(rest[end])) ++end;
  *value = rest.substr(0, end);
  return true;
}

// "COM" or "LPT" (any case) followed by a number above 0.
bool ParsePortNameLine(const std::string& line, const PortLabels& labels, const char* kind, std::string* value) {
  std::string v;
  if (!LabelledValue(line, labels.portName, &v)) return false;
  if (!HasTextAt(v, 0, kind) || std::atoi(v.c_str() + 3) <= 0) return false;
  *value = v;
  return true;
}

struct PortBlock {
  std::string text, ioRange, serialName, parallelName;
  bool serial = false, parallel = false;
  bool firstLine = true;
};

}  // namespace

PortLabels MachinePortLabels(HMODULE labelTexts) {
  PortLabels labels;
  if (HMODULE rc = labelTexts) {
    char text[256];
    if (::LoadStringA(rc, 111, text, sizeof(text)) > 0) labels.ioRange = text;
    if (::LoadStringA(rc, 114, text, sizeof(text)) > 0) labels.portName = text;
  }
  return labels;
}

bool ParseIoRangeLine(const std::string& line, const PortLabels& labels, std::string* value) {
  return LabelledValue(line, labels.ioRange, value);
}
bool ParseComPortLine(const std::string& line, const PortLabels& labels, std::string* value) {
  return ParsePortNameLine(line, labels, "COM", value);
}
bool ParseLptPortLine(const std::string& line, const PortLabels& labels, std::string* value) {
  return ParsePortNameLine(line, labels, "LPT", value);
}

void ParsePortText(InfoSink& out, const char* text, size_t size, int summary, const PortLabels& labels,
                   const PortSettingsWriter& settings) {
  size_t length = text ? strnlen(text, size) : 0;
  std::string serialList, parallelList;
  PortBlock block;

  auto finish = [&] {
    if (block.serial || block.parallel) {
      if (summary == 0) {
        out.Text(block.text);
        if (block.serial && settings) settings(out, block.serialName);
        out.EndLine();
      } else if (block.serial) {
        serialList += FormatA(Str(IDS_PORT_SERIAL_ITEM).c_str(), block.ioRange.c_str(), block.serialName.c_str());
      } else {
        parallelList +=
            FormatA(Str(IDS_PORT_PARALLEL_ITEM).c_str(), block.ioRange.c_str(), block.parallelName.c_str());
      }
    }
    block = PortBlock();
  };

  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] != '\n') continue;
    std::string line(text + start, i - start);
    bool last = i + 1 == length;
    if (line.size() >= 2) {
      block.text += line + infofile::kLineEnd;
      if (block.firstLine) {
        block.firstLine = false;  // the device's title
      } else {
        if (block.ioRange.empty()) ParseIoRangeLine(line, labels, &block.ioRange);
        if (block.serialName.empty() && ParseComPortLine(line, labels, &block.serialName)) block.serial = true;
        if (block.parallelName.empty() && ParseLptPortLine(line, labels, &block.parallelName)) block.parallel = true;
      }
    }
    // A one-character line ends a device; an empty line does not, except
    // at the end of the text.
    if (line.size() == 1 || last) finish();
    start = i + 1;
  }
  // A text without a final line end still finishes the device it was in;
  // its unended last line is not read.
  finish();

  if (summary != 0) {
    const std::string na = Str(IDS_MIXER_NA);
    out.Line(Str(IDS_PORT_SERIAL_LABEL) + (serialList.empty() ? na : serialList));
    out.Line(Str(IDS_PORT_PARALLEL_LABEL) + (parallelList.empty() ? na : parallelList));
  }
}

void WritePortInformation(InfoSink& out, int summary, GetQuorrelFn access, const PortLabels& labels,
                          const PortSettingsWriter& settings) {
  if (summary == 0) out.EndLine();
  if (!AskSystemAccess(access, kInfoClassPnp)) return;
  ParsePortText(out, InfoReplyBuffer(), kInfoReplyBufferSize, summary, labels, settings);
}

void WritePortInformation(InfoSink& out, int summary, const SystemBindings& sys) {
  WritePortInformation(out, summary, sys.getQuorrel, MachinePortLabels(sys.mirvaneRc),
                       [](InfoSink& o, const std::string& name) { WritePortSettings(o, name); });
}

}  // namespace quorrel
