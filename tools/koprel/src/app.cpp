// The program's one pass: everything happens at start-up, nothing shows.
#include <cstdio>
#include <string>

#include "appkit/wholefile.h"
#include "koprel/koprel.h"

namespace koprel {

namespace {

const wchar_t kResultFile[] = L"KOPREL.TXT";

// The whole of a small text file (at most `limit` bytes); false when it
// cannot be opened.
bool ReadSmallFile(const char* name, size_t limit, std::string* text) {
  FILE* f = std::fopen(name, "rb");
  if (!f) return false;
  char buffer[4096];
  size_t n;
  while (text->size() < limit && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
  std::fclose(f);
  return true;
}

}  // namespace

int RunKoprel(PortAccess& access, bool windows9x, const std::wstring& commandLine) {
  Settings s = ReadSettings();
  bool notepad = WantsNotepad(commandLine);
  bool selected[kPortCount];
  for (int i = 0; i < kPortCount; ++i) selected[i] = s.com[i] != 0;

  Selection how = Selection::Settings;
  std::string config;
  bool anyByFile = false;
  if (ReadSmallFile("CONFIG.TXT", 1 << 20, &config)) {
    ParseConfig(config, selected);
    for (bool b : selected) anyByFile = anyByFile || b;
    if (anyByFile) how = Selection::ConfigFile;
  }
  if (!anyByFile && s.autoDetect == 1 && windows9x) {
    how = Selection::AutoDetect;
    for (int i = 0; i < kPortCount; ++i) {
      selected[i] = access.Acquire() && ProbePort(access.Io(), kPortBase[i]);
      access.Release();
    }
  }

  // Made before the test, which runs only when it can be; written after it.
  HANDLE out = appkit::CreateFileForWriting(kResultFile, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL);
  if (out != INVALID_HANDLE_VALUE) {
    CommPortLink link;
    Verdict v = SerialLoopbackTest(access, link, s, selected);
    std::string lines = SelectionLine(how, selected) + VerdictLine(v, selected);
    bool written = appkit::AppendWhole(out, lines);
    written = ::CloseHandle(out) && written;
    // A verdict the disk had no room for is no verdict: no file is left
    // that a reader could take for one.
    if (!written) ::DeleteFileW(kResultFile);
  }
  for (int i = 0; i < kPortCount; ++i) s.com[i] = selected[i] ? 1 : 0;
  WriteSettings(s);
  if (notepad) ::WinExec("notepad koprel.txt", SW_SHOWNORMAL);
  return 0;
}

}  // namespace koprel
