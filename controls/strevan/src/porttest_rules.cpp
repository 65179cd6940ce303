#include "porttest_rules.h"

#include <algorithm>
#include <cctype>

#include "infoclient/listbox.h"

namespace porttest {

namespace {

constexpr long kOpen = (long)ctlfw::kItemCheckable;
constexpr long kOn = (long)(ctlfw::kItemCheckable | ctlfw::kItemChecked);
constexpr long kShut = (long)(ctlfw::kItemCheckable | ctlfw::kItemDisabled);

bool Has(const std::vector<int>& f, int i) { return i < (int)f.size() && f[i] == 1; }

void Set(std::vector<int>* flags, std::vector<long>* data, int i, long value) {
  if (i < (int)data->size()) (*data)[i] = value;
  if (i < (int)flags->size()) (*flags)[i] = (value & ctlfw::kItemChecked) ? 1 : 0;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)std::toupper(c); });
  return s;
}

}  // namespace

std::vector<long> PortItemData(std::vector<int>* flags) {
  flags->resize(kItemCount, 0);
  std::vector<long> data(kItemCount, 0);
  for (int i = 0; i < kItemCount; ++i) Set(flags, &data, i, Has(*flags, i) ? kOn : kOpen);
  if (!Has(*flags, kPrinter)) {
    Set(flags, &data, kPrinterLoopback1, kShut);
    Set(flags, &data, kPrinterLoopback2, kShut);
  }
  if (!Has(*flags, kSerial)) Set(flags, &data, kSerialLoopback, kShut);
  return data;
}

int PortCanCheck(int index, std::vector<int>* flags, std::vector<long>* data) {
  switch (index) {
    case kPrinter:
      Set(flags, data, kPrinterLoopback1, kOpen);
      Set(flags, data, kPrinterLoopback2, kOpen);
      return 1;
    case kPrinterLoopback1:
    case kPrinterLoopback2:
      if (!Has(*flags, kPrinter)) return 0;
      // One loopback test of the two.
      Set(flags, data, index == kPrinterLoopback1 ? kPrinterLoopback2 : kPrinterLoopback1, kOpen);
      return 1;
    case kSerial:
      Set(flags, data, kSerialLoopback, kOpen);
      return 1;
    case kSerialLoopback:
      return Has(*flags, kSerial) ? 1 : 0;
  }
  return 0;
}

int PortCanUncheck(int index, std::vector<int>* flags, std::vector<long>* data) {
  int checked = 0;
  for (int i = 0; i < kItemCount; ++i) checked += Has(*flags, i);
  const bool lb1 = Has(*flags, kPrinterLoopback1), lb2 = Has(*flags, kPrinterLoopback2);
  switch (index) {
    case kPrinter:
      // The printer group alone (with its loopback items) stays.
      if (checked == 1 || (checked == 2 && (lb1 || lb2)) || (checked == 3 && lb1 && lb2)) return 0;
      Set(flags, data, kPrinterLoopback1, kShut);
      Set(flags, data, kPrinterLoopback2, kShut);
      return 1;
    case kSerial:
      if (checked == 1 || (checked == 2 && Has(*flags, kSerialLoopback))) return 0;
      Set(flags, data, kSerialLoopback, kShut);
      return 1;
    default:
      return checked > 1 ? 1 : 0;
  }
}

GroupCommand CommandFor(Group g, const PortChoices& c, const std::wstring& dir,
                        const std::function<bool(const std::wstring&)>& exists) {
  GroupCommand cmd;
  const wchar_t* program = nullptr;
  const wchar_t* fallback = nullptr;
  switch (g) {
    case kGroupPrinter:
      if (!c.printer) return cmd;
      program = L"LANVET.EXE";
      fallback = c.printerLoopback1 ? L"LANVETLB1.PIF" : c.printerLoopback2 ? L"LANVETLB2.PIF" : L"LANVET.PIF";
      cmd.resultFile = dir + L"LANVET.TXT";
      break;
    case kGroupSerial:
      if (!c.serial) return cmd;
      program = L"KOPREL.EXE";
      fallback = c.serialLoopback ? L"KOPRELLB.PIF" : L"KOPREL.PIF";
      cmd.resultFile = dir + L"KOPREL.TXT";
      break;
    default:
      if (!c.game) return cmd;
      program = L"BRUMLET.EXE";
      fallback = L"BRUMLET.PIF";
      cmd.resultFile = dir + L"BRUMLET.TXT";
      break;
  }
  cmd.program = dir + program;
  if (!exists(cmd.program)) cmd.program = dir + fallback;
  return cmd;
}

const char* VerdictPrefix(Group g) {
  switch (g) {
    case kGroupPrinter: return "Printer Port Loopback Test\t";
    case kGroupSerial: return "Serial Port Loopback Test\t";
    default: return "";
  }
}

bool ResultFileFailed(Group g, bool readable, const std::string& text, std::vector<std::string>* lines, bool whole,
                      bool* cut) {
  if (cut) *cut = false;
  if (!readable || text.empty()) return true;
  std::string prefix = VerdictPrefix(g);
  bool failed = false, verdict = prefix.empty();
  size_t at = 0, count = 0;
  while (at < text.size()) {
    if (++count > kMaxResultLines) {
      whole = false;
      break;
    }
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
    std::string upper = Upper(line);
    if (upper.find("FAILED") != std::string::npos) failed = true;
    if (g != kGroupGame && upper.find("NOT TESTED") != std::string::npos) failed = true;
    if (!prefix.empty() && line.compare(0, prefix.size(), prefix) == 0 &&
        (line.compare(prefix.size(), 6, "PASSED") == 0 || line.compare(prefix.size(), 6, "FAILED") == 0))
      verdict = true;
  }
  if (!whole && cut) *cut = true;
  // A file without the tester's verdict, or with more than a tester
  // writes, is no evidence of a pass.
  return failed || !verdict || !whole;
}

int RunErrorCount(bool serialFailed, bool printerFailed, bool gameChosen, bool gameFailed) {
  return serialFailed || printerFailed || (gameChosen && gameFailed) ? 1 : 0;
}

}  // namespace porttest
