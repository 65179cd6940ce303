// Result log and troubleshooting tips.
#include "ctlfw/testlog.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "appkit/text.h"
#include "appkit/wholefile.h"

namespace ctlfw {
namespace {

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

bool StartsWithNoCase(const std::string& line, const std::string& prefix) {
  return line.size() >= prefix.size() && _strnicmp(line.c_str(), prefix.c_str(), prefix.size()) == 0;
}

bool EqualsNoCase(const std::string& a, const std::string& b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

}  // namespace

std::string LogHeader(const std::tm& t) {
  char when[64];
  if (!std::strftime(when, sizeof when, "%m/%d/%Y %I:%M%p", &t)) when[0] = 0;
  return std::string("[") + "Last Updated:" + " " + when + "]\n\n";
}

std::string LogTitle(const std::string& title, int loop, bool check) {
  if (loop == 0 || check) return title + "\n";
  return title + " - Loop " + std::to_string(loop) + "\n";
}

std::wstring LogFileName(const TestLogRequest& r, const std::function<bool(const std::wstring&)>& isCdrom) {
  std::wstring dir = r.directory;
  if (dir.size() >= 3 && dir[1] == L':' && isCdrom && isCdrom(dir.substr(0, 3))) dir = L"A:\\";
  return dir + appkit::Widen(r.baseName + r.digit + ".LOG");
}

std::string LogText(const TestLogRequest& r, const std::tm& localTime, const std::vector<std::string>& lines) {
  std::string text = LogHeader(localTime) + LogTitle(r.title, r.loop, r.check);
  for (const std::string& l : lines) text += l + "\n";
  if (r.append) text += "\n";
  return text;
}

bool ShouldWriteLog(const TestLogRequest& r) { return !r.baseName.empty() && (!r.append || r.errorCount > 0); }

bool IsCdromRoot(const std::wstring& root) { return ::GetDriveTypeW(root.c_str()) == DRIVE_CDROM; }

bool WriteTestLogFile(const TestLogRequest& r, const std::vector<std::string>& lines) {
  if (!ShouldWriteLog(r)) return false;
  // Wide all the way: a directory whose name the ANSI code page cannot
  // spell still gets its log.
  const std::wstring name = LogFileName(r, IsCdromRoot);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (std::tm* t = std::localtime(&now)) local = *t;
  // As a text-mode file holds it: every line end is CR LF.
  const std::string text = appkit::WithCrLf(LogText(r, local, lines));
  // A new log replaces the old one only once it is whole.
  if (!r.append) return appkit::WriteFileWhole(name, text);
  // An appended run goes at the end whole, or not at all: a run cut short
  // by a full disk would read as a run with fewer lines.
  HANDLE f = appkit::CreateFileForWriting(name, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (f == INVALID_HANDLE_VALUE) return false;
  const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
  bool ok = appkit::AppendWhole(f, text);
  ok = ::CloseHandle(f) && ok;
  if (!ok && created) ::DeleteFileW(name.c_str());
  return ok;
}

std::vector<std::string> ExtractTips(const std::string& html, const std::string& anchorName) {
  const std::string anchor = "<A NAME=\"" + anchorName + "\"></A>";
  std::vector<std::string> tips;
  std::istringstream in(html);
  std::string raw;
  bool found = false, copying = false;
  while (std::getline(in, raw)) {
    std::string line = Trim(raw);
    if (!found) {
      found = StartsWithNoCase(line, anchor);
    } else if (!copying) {
      copying = EqualsNoCase(line, "<PRE>");
    } else if (EqualsNoCase(line, "</PRE>")) {
      break;
    } else {
      tips.push_back(line);
    }
  }
  return tips;
}

std::string TroubleshootingFile(const std::string& directory) { return directory + "\\help\\errhelp.htm"; }

bool ReadTroubleshootingTips(const std::string& directory, const std::string& anchorName,
                             std::vector<std::string>* tips) {
  std::ifstream in(TroubleshootingFile(directory));
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *tips = ExtractTips(all.str(), anchorName);
  return true;
}

}  // namespace ctlfw
