// The result log of a test run and the troubleshooting tips taken from the
// suite's help page. The text rules are plain functions; the two entry
// points only add the file system.
#pragma once
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace ctlfw {

struct TestLogRequest {
  std::wstring directory;  // the control's own directory, ending in a backslash
  std::string baseName;   // "KytMEM"; empty: no log
  std::string digit;      // the digit after -AutoRun, or empty
  std::string title;      // "Memory Test"
  int loop = 0;           // -L
  bool check = false;     // -Check
  bool append = false;    // -Append
  int errorCount = 0;
};

// "[Last Updated: 12/08/2026 07:05AM]\n\n"
std::string LogHeader(const std::tm& localTime);
// "Memory Test\n" or "Memory Test - Loop 3\n"
std::string LogTitle(const std::string& title, int loop, bool check);
// Directory + base + digit + ".LOG"; a directory on a CD-ROM drive
// becomes "A:\". `isCdrom` answers for a root such as "D:\".
std::wstring LogFileName(const TestLogRequest& r, const std::function<bool(const std::wstring&)>& isCdrom);
// The whole text of one run ("\n" line ends; the file has CR LF).
std::string LogText(const TestLogRequest& r, const std::tm& localTime, const std::vector<std::string>& lines);
// Whether this run writes its log at all.
bool ShouldWriteLog(const TestLogRequest& r);

// Writes (or appends) the log of a run; false when nothing was written. A
// new log takes the old one's place only when whole (a write that fails
// keeps the old log as it was); an appended run is added whole or not at all.
bool WriteTestLogFile(const TestLogRequest& r, const std::vector<std::string>& lines);
// The drive-type test of LogFileName on this system.
bool IsCdromRoot(const std::wstring& root);

// The tips under <A NAME="anchor"></A>: the lines between the next "<PRE>"
// and "</PRE>" lines (or the end), trimmed.
std::vector<std::string> ExtractTips(const std::string& html, const std::string& anchorName);
// Name of the help page: directory + "\help\errhelp.htm".
std::string TroubleshootingFile(const std::string& directory);
// Reads the help page of `directory`; false when it cannot be opened.
bool ReadTroubleshootingTips(const std::string& directory, const std::string& anchorName,
                             std::vector<std::string>* tips);

}  // namespace ctlfw
