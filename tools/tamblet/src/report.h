// The report file DIAGReport.txt: which result logs and information files
// exist, the order in which they are joined, and how a report file is read
// back into the lines of the report list. The sources are copied line by
// line, never interpreted.
#pragma once
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "appkit/paths.h"
#include "infoclient/linereader.h"

namespace tamblet {

struct ReportSource {
  const wchar_t* label;  // check box text
  const wchar_t* file;   // file name in the data directory
};

constexpr int kTestSourceCount = 12;
constexpr int kInfoSourceCount = 16;
extern const ReportSource kTestSources[kTestSourceCount];
extern const ReportSource kInfoSources[kInfoSourceCount];

// The report path is kept in a buffer of this many characters (without the
// terminator).
constexpr size_t kReportPathMax = 255;
constexpr wchar_t kReportFileName[] = L"DIAGReport.txt";

// Lines of the report are at most this long: the list draws and the printer
// prints no more. A longer source line is split (see ctlfw::BoundedLineReader).
constexpr size_t kMaxLine = ctlfw::kMaxTextLine;

// Which sources the user selected (index = the source's table index).
struct Selection {
  std::array<bool, kTestSourceCount> tests{};
  std::array<bool, kInfoSourceCount> info{};
  bool AnyTest() const;
  bool AnyInfo() const;
};

// Every source and report is read line by line with a bound on the line.
using LineReader = ctlfw::BoundedLineReader;

// The directory part of a path, up to and including its last backslash
// (empty when it has none).
using appkit::DirectoryPart;
// The name part of a path (after the last backslash).
std::wstring NamePart(const std::wstring& path);

enum class BuildResult {
  NothingSelected,  // no source selected: the old file stays untouched
  Written,
  PathTooLong,      // the report path does not fit the report path buffer
  CannotCreate,     // the report file could not be made (no folder, a folder or a
                    // read-only file in its place, no room for a new file)
  WriteFailed,      // the disk had no room for the report
};
// Either failure keeps an old report as it was.

// Writes the report at `reportPath` from the selected sources found in
// `dataDir` (the directory part, empty = the current directory). The two
// headings are the resource texts, each ending in "\n".
BuildResult BuildReportFile(const std::wstring& reportPath, const std::wstring& dataDir, const Selection& sel,
                            const std::string& testHeading, const std::string& infoHeading);

// The items of the report list for a report file: an empty line becomes
// " ", lines beginning with ';' are left out, one " " item ends the list.
// False (and no items) when the file does not open.
bool ReadReportItems(const std::wstring& path, std::vector<std::string>* items);

// The report file named on the command line (the text after the program's
// name): blanks around it and one pair of enclosing quotes removed.
std::wstring CommandLineArgument(const wchar_t* commandLine);

}  // namespace tamblet
