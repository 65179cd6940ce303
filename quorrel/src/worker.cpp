#include "worker.h"

#include <cstdlib>

#include "appkit/system.h"
#include "audio.h"
#include "bios.h"
#include "cdrominfo.h"
#include "cpuinfo.h"
#include "devicelines.h"
#include "diskinfo.h"
#include "format.h"
#include "memory.h"
#include "mmdevices.h"
#include "modem.h"
#include "netinfo.h"
#include "ports.h"
#include "printers.h"
#include "resource.h"
#include "software.h"
#include "texts.h"
#include "videoinfo.h"

namespace quorrel {

namespace {
HANDLE g_mutex = nullptr;
HANDLE g_stop = nullptr;
volatile LONG g_live = 0;
}  // namespace

void OpenInfoMutex() {
  if (!g_mutex) g_mutex = ::CreateMutexW(nullptr, FALSE, suite::kInfoMutexName);
  if (!g_stop) g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  else ::ResetEvent(g_stop);
}

void CloseInfoMutex() {
  if (g_mutex) ::CloseHandle(g_mutex);
  g_mutex = nullptr;
}

void SignalWorkersToStop() {
  if (g_stop) ::SetEvent(g_stop);
}

bool WorkersAskedToStop() { return g_stop && ::WaitForSingleObject(g_stop, 0) == WAIT_OBJECT_0; }

CollectionDevices::CollectionDevices() = default;
CollectionDevices::~CollectionDevices() = default;

MultimediaSource& CollectionDevices::Multimedia(MultimediaSource& base) {
  if (!mci_) mci_ = std::make_unique<SharedMciSource>(base);
  return *mci_;
}

int GatherContext::Switch(unsigned i) const {
  if (i >= suite::SW_COUNT) return 0;
  return switches ? switches[i] : suite::kInfoSwitches[i].def;
}

bool MayReuseInfoFile(const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, suite::kHalvixSettingKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool reuse = false;
  DWORD autoRefresh = 1, size = sizeof(autoRefresh), type = 0;
  FILETIME begin{};
  if (::RegQueryValueExW(key, suite::kAutoRefreshValue, nullptr, &type, reinterpret_cast<BYTE*>(&autoRefresh),
                         &size) == ERROR_SUCCESS &&
      size == sizeof(DWORD) && autoRefresh == 0 && ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
    size = sizeof(begin);
    if (::RegQueryValueExW(key, suite::kModuleBeginValue, nullptr, &type, reinterpret_cast<BYTE*>(&begin), &size) ==
            ERROR_SUCCESS &&
        size == sizeof(begin)) {
      HANDLE f = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (f != INVALID_HANDLE_VALUE) {
        FILETIME written{};
        if (::GetFileTime(f, nullptr, nullptr, &written)) reuse = IsFileNewerThan(written, begin);
        ::CloseHandle(f);
      }
    }
  }
  ::RegCloseKey(key);
  return reuse;
}

namespace {

void WriteVersionLine(InfoSink& out) {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  if (!::GetVersionExA(&vi)) return;
  out.Line(VersionLine(Str(VersionLabelId(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion)),
                              vi.dwMajorVersion, vi.dwMinorVersion, vi.dwBuildNumber));
}

}  // namespace

void WriteSummaryCategory(InfoSink& out, const GatherContext& ctx) {
  using namespace suite;
  bool nine = appkit::IsWindows9x();
  out.SpacedHeading(Str(IDS_SUMMARY));
  auto block = [&](unsigned sw, bool only9x, auto&& body) {
    if (!ctx.Switch(sw) || (only9x && !nine)) return;
    body();
    out.Flush();
  };
  block(SW_SUMMARY_VERSION, false, [&] { WriteVersionLine(out); });
  block(SW_SUMMARY_BIOS, false, [&] { WriteBiosInfo(out, 1, ctx.dmiLine, ctx.system); });
  block(SW_SUMMARY_BUS, false, [&] { WriteBusTypeLine(out, ctx.system); });
  block(SW_SUMMARY_CPU, false, [&] { WriteProcessorInfo(out, 1, ctx.system); });
  block(SW_SUMMARY_MEM, false, [&] { WriteMemoryInfo(out, 1, ctx); });
  block(SW_SUMMARY_FLOPPY, false, [&] {
    if (nine)
      WriteFloppyCategory(out, 1, *NewMachineDisks(ctx.system));
    else
      WriteDriveSummaryLine(out, 1, *NewMachineDisks(ctx.system));
  });
  block(SW_SUMMARY_DISK, false, [&] { WriteDiskCategory(out, 1, *NewMachineDisks(ctx.system)); });
  block(SW_SUMMARY_CDROM, false, [&] { WriteCdromInfo(out, 1, ctx.system); });
  // Floppy, disk, CD-ROM, video BIOS, media and monitor lines: likewise.
  ResetVideoModeCounters();
  block(SW_SUMMARY_VIDEO, true, [&] { WriteVideoBiosInformation(out, 1, ctx.system); });
  block(SW_SUMMARY_MEDIA, true, [&] { WriteMediaLine(out, ctx.system); });
  block(SW_SUMMARY_MONITOR, true, [&] { WriteMonitorLine(out, ctx.system); });
  block(SW_VIDEO_SUMMARY, false, [&] {
    out.SpacedHeading(Str(IDS_HEADING_VIDEO));
    WriteDisplayInformation(out, 1, ctx.clientWindow, ctx);
  });
  block(SW_AUDIO_SUMMARY, false, [&] {
    out.SpacedHeading(Str(IDS_HEADING_AUDIO));
    WriteAudioInformation(out, 1, ctx);
  });
  block(SW_MODEM_SUMMARY, false, [&] {
    out.SpacedHeading(Str(IDS_HEADING_MODEM));
    if (ctx.modemText)
      out.Text(*ctx.modemText);
    else
      WriteModemSummary(out);
  });
  block(SW_IODEVICE_SUMMARY, true, [&] {
    out.SpacedHeading(Str(IDS_HEADING_IODEVICES));
    WriteIoDeviceLines(out, ctx.system);
  });
  block(SW_NETWORK_SUMMARY, false, [&] {
    out.SpacedHeading(Str(IDS_HEADING_NETWORK));
    WriteNetworkInfo(out, 1, ctx.system);
    WriteWinsockInfo(out, 1, ctx.system);
  });
  block(SW_RESOURCE_SUMMARY, true, [&] {
    out.SpacedHeading(Str(IDS_HEADING_RESOURCE));
    WriteResourceMonitorLines(out, ctx.monitorMessage, ctx.clientWindow, ctx.system);
  });
}

bool WriteCategory(InfoSink& out, unsigned category, const GatherContext& ctx) {
  // The collection's MCI devices serve every writer of this category.
  MultimediaScope devices(ctx.devices ? &ctx.devices->Multimedia(Multimedia()) : nullptr);
  switch (category) {
    case suite::INFO_SUMMARY:
      WriteSummaryCategory(out, ctx);
      break;
    case suite::INFO_MEMORY:
      WriteMemoryInfo(out, 0, ctx);
      break;
    case suite::INFO_PROCESSOR:
      WriteProcessorInfo(out, 0, ctx.system);
      break;
    case suite::INFO_BIOS:
      WriteBiosInfo(out, 0, ctx.dmiLine, ctx.system);
      break;
    case suite::INFO_PCI:
      WritePciInfo(out, ctx.system);
      break;
    case suite::INFO_PNP:
      WritePnpInfo(out, ctx.system);
      break;
    case suite::INFO_DISK:
      WriteDiskCategory(out, 0, *NewMachineDisks(ctx.system));
      break;
    case suite::INFO_FLOPPY:
      WriteFloppyCategory(out, 0, *NewMachineDisks(ctx.system));
      break;
    case suite::INFO_AUDIO:
      WriteAudioInformation(out, 0, ctx);
      break;
    case suite::INFO_MODEM:
      if (ctx.modemText)
        out.Text(*ctx.modemText);
      else
        WriteModemInfo(out);
      break;
    case suite::INFO_VIDEO:
      ResetVideoModeCounters();
      if (appkit::IsWindows9x()) WriteVideoBiosInformation(out, 0, ctx.system);
      WriteDisplayInformation(out, 0, ctx.clientWindow, ctx);
      break;
    case suite::INFO_PRINTER:
      WritePrinterInfo(out, 0);
      break;
    case suite::INFO_CDROM:
      WriteCdromInfo(out, 0, ctx.system);
      break;
    case suite::INFO_NETWORK:
      WriteNetworkInfo(out, 0, ctx.system);
      break;
    case suite::INFO_PORT:
      WritePortInformation(out, 0, ctx.system);
      break;
    case suite::INFO_SOFTWARE:
      return WriteSoftwareInfo(out, 0, ctx.softwareList, [] { return WorkersAskedToStop(); });
    default:
      break;
  }
  return true;
}

namespace {

// Removes a file of ours, also one marked read-only (an old information
// file that was moved aside keeps its attributes). A reader that still
// holds it lets it go when it closes it.
void RemoveOwnFile(const wchar_t* path) {
  ::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(path);
}

// Puts the whole new file `temp` in place of the old one at `path`; false
// (and the old file as it was) when it cannot. A reader holding the old
// file keeps it from being replaced where it lies, also when it lets it be
// deleted: the old file then moves to a name of ours beside it and the new
// one takes its place at once; the old one goes when that reader lets go.
// Between those two renames no file lies at `path`: nothing else runs in
// that moment (the name aside is made before), and when the second rename
// fails the old file goes back.
bool ReplaceInfoFile(const wchar_t* temp, const wchar_t* path, const std::wstring& dir) {
  if (::MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING)) return true;
  DWORD attributes = ::GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  wchar_t aside[MAX_PATH] = {};
  if (::GetTempFileNameW(dir.c_str(), kInfoTempPrefix, 0, aside) == 0) return false;
  if (!::MoveFileExW(path, aside, MOVEFILE_REPLACE_EXISTING)) {
    RemoveOwnFile(aside);
    return false;
  }
  if (!::MoveFileExW(temp, path, 0)) {
    ::MoveFileExW(aside, path, 0);
    return false;
  }
  RemoveOwnFile(aside);
  return true;
}

}  // namespace

bool WriteInfoFile(const wchar_t* path, unsigned category, const GatherContext& ctx) {
  std::wstring dir = DirectoryOf(path);
  wchar_t temp[MAX_PATH] = {};
  if (dir.empty() || ::GetTempFileNameW(dir.c_str(), kInfoTempPrefix, 0, temp) == 0) return false;
  bool whole = false;
  {
    FileSink file;
    if (file.Create(temp)) {
      bool complete = WriteCategory(file, category, ctx);
      // Every byte reached the drive (a full drive fails the writes, the
      // flush or the close).
      whole = file.Close() && complete;
    }
  }
  if (whole && ReplaceInfoFile(temp, path, dir)) return true;
  RemoveOwnFile(temp);
  return false;
}

void RemoveLeftoverTempFiles(const std::wstring& dir) {
  WIN32_FIND_DATAW found{};
  std::wstring pattern = dir + kInfoTempPrefix + L"*.tmp";
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsInfoTempFileName(found.cFileName)) continue;
    RemoveOwnFile((dir + found.cFileName).c_str());
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

long LiveWorkerCount() { return ::InterlockedCompareExchange(&g_live, 0, 0); }

namespace {

// The modem lines of a request, asked of the ports before the request
// mutex is taken: the probe has a lock of its own, and readers of the other
// files need not wait seconds for the modems. False when the request needs
// no modem lines (or may reuse its file).
bool GatherModemText(const InfoRequest& req, std::string* text) {
  uint32_t category = req.category & ~suite::INFO_REQUEST_REUSE;
  bool summary = category == suite::INFO_SUMMARY && req.switches[suite::SW_MODEM_SUMMARY];
  if (category != suite::INFO_MODEM && !summary) return false;
  if ((req.category & suite::INFO_REQUEST_REUSE) && MayReuseInfoFile(req.path)) return false;
  auto stopping = [] { return g_stop && ::WaitForSingleObject(g_stop, 0) == WAIT_OBJECT_0; };
  StringSink lines;
  if (summary)
    WriteModemSummary(lines, stopping);
  else
    WriteModemInfo(lines, stopping);
  *text = lines.text;
  return true;
}

}  // namespace

DWORD WINAPI GatherCategoryThread(LPVOID param) {
  auto* req = static_cast<InfoRequest*>(param);
  if (!req) return 0;
  ::InterlockedIncrement(&g_live);

  std::string modemText;
  bool haveModemText = GatherModemText(*req, &modemText);

  bool owned = false;
  bool failed = false;
  bool stopped = false;
  if (g_mutex) {
    HANDLE waits[2] = {g_mutex, g_stop};
    DWORD r = ::WaitForMultipleObjects(g_stop ? 2 : 1, waits, FALSE, 15000);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0) owned = true;  // an abandoned mutex is ours too
    else if (r == WAIT_OBJECT_0 + 1) stopped = true;
    else if (r == WAIT_FAILED) failed = true;
  }

  // Reply 101 says the file at the path answers this request: it is given
  // only for a file written now or reused by the rule.
  bool answered = false;
  if (!failed && !stopped) {
    bool reuse = false;
    if (req->category & suite::INFO_REQUEST_REUSE) {
      req->category &= ~suite::INFO_REQUEST_REUSE;
      reuse = MayReuseInfoFile(req->path);
    }
    if (!reuse) {
      GatherContext ctx;
      ctx.switches = req->switches;
      ctx.dmiLine = req->dmiLine;
      ctx.clientWindow = req->clientWindow;
      ctx.monitorMessage = req->monitorMessage;
      ctx.softwareList = req->softwareList;
      ctx.system = req->system;
      if (haveModemText) ctx.modemText = &modemText;
      // A file that could not be written whole and put in place (the
      // drive is full, the folder refuses a new file, another program
      // holds the old one without letting it be replaced, a listing was
      // cut short) is answered with 103: the old file stays as it was, and
      // it is not this request's answer.
      answered = WriteInfoFile(req->path, req->category, ctx);
    } else {
      answered = true;
    }
  }

  uint32_t category = req->category & ~suite::INFO_REQUEST_REUSE;
  if (!stopped && req->replyMessage && ::IsWindow(req->clientWindow))
    ::PostMessageW(req->clientWindow, req->replyMessage,
                   answered ? suite::INFO_REPLY_READY : suite::INFO_REPLY_FAILED, (LPARAM)category);
  std::free(req);
  if (owned) ::ReleaseMutex(g_mutex);
  ::InterlockedDecrement(&g_live);
  return 1;
}

}  // namespace quorrel
