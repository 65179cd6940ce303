#include "report.h"

#include <cwchar>

#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "infofile/infofile.h"

namespace tamblet {

const ReportSource kTestSources[kTestSourceCount] = {
    {L"Stress Test", L"STRESS.LOG"}, {L"Memory", L"KytMEM.LOG"},       {L"Processor", L"KytPROC.LOG"},
    {L"I/O Port", L"KytPORT.LOG"},   {L"Video", L"KytVDO.LOG"},        {L"Audio", L"KytADO.LOG"},
    {L"Hard Drive", L"KytDISK.LOG"}, {L"Floppy Drive", L"KytFLPY.LOG"}, {L"Modem", L"KytMODM.LOG"},
    {L"CD-ROM", L"KytCD.LOG"},       {L"Graphics", L"KytVGA.LOG"},     {L"Benchmarks", L"BNCHMARK.BNH"},
};

const ReportSource kInfoSources[kInfoSourceCount] = {
    {L"Summary", L"KytSUM.IFO"},     {L"Memory", L"KytMEM.IFO"},        {L"Processor", L"KytPROC.IFO"},
    {L"I/O Port", L"KytPORT.IFO"},   {L"Video", L"KytVIDEO.IFO"},       {L"Audio", L"KytAUDIO.IFO"},
    {L"Hard Drive", L"KytDISK.IFO"}, {L"Floppy Drive", L"KytFLPY.IFO"}, {L"Modem", L"KytMODEM.IFO"},
    {L"CD-ROM", L"KytCDROM.IFO"},    {L"BIOS", L"KytBIOS.IFO"},         {L"PCI", L"KytPCI.IFO"},
    {L"PNP", L"KytPNP.IFO"},         {L"Network", L"KytNET.IFO"},       {L"Printer", L"KytPRT.IFO"},
    {L"Software", L"KytSOFT.IFO"},
};

bool Selection::AnyTest() const {
  for (bool b : tests)
    if (b) return true;
  return false;
}

bool Selection::AnyInfo() const {
  for (bool b : info)
    if (b) return true;
  return false;
}

// ---- Paths -------------------------------------------------------------------

std::wstring NamePart(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// ---- Building ----------------------------------------------------------------

namespace {

// Gathers the report as a text-mode stream writes it: every "\n" goes out as
// CR LF.
class TextWriter {
 public:
  void Put(const std::string& text) { out_ += appkit::WithCrLf(text); }
  void Line(const std::string& line) {
    Put(line);
    out_ += "\r\n";
  }
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

// Copies every line of a source behind `lead`; nothing when it does not open.
// The source is opened with full sharing: the information server replaces
// its files while the wizard reads them.
void CopySource(const std::wstring& path, const char* lead, TextWriter& out) {
  FILE* in = ctlfw::OpenSharedForReading(path.c_str());
  if (!in) return;
  out.Put(lead);
  LineReader reader(in);
  std::string line;
  while (reader.Next(&line)) out.Line(line);
  std::fclose(in);
}

}  // namespace

BuildResult BuildReportFile(const std::wstring& reportPath, const std::wstring& dataDir, const Selection& sel,
                            const std::string& testHeading, const std::string& infoHeading) {
  if (!sel.AnyTest() && !sel.AnyInfo()) return BuildResult::NothingSelected;
  if (reportPath.empty() || reportPath.size() > kReportPathMax) return BuildResult::PathTooLong;
  TextWriter out;
  if (sel.AnyTest()) {
    out.Put(infofile::kHeading + testHeading);
    for (int i = 0; i < kTestSourceCount; ++i) {
      if (sel.tests[i]) CopySource(dataDir + kTestSources[i].file, "\n", out);
    }
    out.Put("\n\n");
  }
  if (sel.AnyInfo()) {
    out.Put(infofile::kHeading + infoHeading);
    for (int i = 0; i < kInfoSourceCount; ++i)
      if (sel.info[i]) CopySource(dataDir + kInfoSources[i].file, "", out);
  }
  // The new report takes the old one's place only when whole: a report
  // that cannot be written keeps the old one as it was.
  DWORD error = 0;
  if (appkit::WriteFileWhole(reportPath, out.text(), &error)) return BuildResult::Written;
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? BuildResult::WriteFailed
                                                                     : BuildResult::CannotCreate;
}

// ---- Loading -----------------------------------------------------------------

bool ReadReportItems(const std::wstring& path, std::vector<std::string>* items) {
  items->clear();
  FILE* in = ctlfw::OpenSharedForReading(path.c_str());
  if (!in) return false;
  LineReader reader(in);
  std::string line;
  bool hidden = false;
  while (reader.Next(&line)) {
    // The further pieces of a long line are hidden with its first piece.
    if (!reader.Continued()) hidden = infofile::IsHiddenLine(line);
    if (hidden) continue;
    items->push_back(line.empty() ? " " : line);
  }
  items->push_back(" ");
  std::fclose(in);
  return true;
}

// ---- Command line ------------------------------------------------------------

std::wstring CommandLineArgument(const wchar_t* commandLine) {
  const wchar_t* p = commandLine ? commandLine : L"";
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  std::wstring arg(p);
  auto trim = [](std::wstring& s) {
    size_t a = s.find_first_not_of(L" \t");
    size_t b = s.find_last_not_of(L" \t");
    s = a == std::wstring::npos ? std::wstring() : s.substr(a, b - a + 1);
  };
  trim(arg);
  if (arg.size() >= 2 && arg.front() == L'"' && arg.back() == L'"') {
    arg = arg.substr(1, arg.size() - 2);
    trim(arg);
  }
  return arg;
}

}  // namespace tamblet
