// What the category writers share: the gather context of a collection,
// start-up bindings of the network libraries, the processor clock table, the
// reply buffer of the system-access library and a few small routines.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "infosink.h"
#include "system.h"

namespace quorrel {

typedef int(WINAPI* WsaStartupFn)(WORD, void*);
typedef int(WINAPI* WsaCleanupFn)();
typedef DWORD(WINAPI* RasEnumFn)(void*, void*, void*, DWORD*, DWORD*);

struct GathererBindings {
  HMODULE wsock = nullptr;
  HMODULE rasapi = nullptr;
  WsaStartupFn wsaStartup = nullptr;
  WsaCleanupFn wsaCleanup = nullptr;
  RasEnumFn rasEnumEntries = nullptr;
  RasEnumFn rasEnumConnections = nullptr;
};

class MultimediaSource;

// Devices that one collection opens once and all its writers share: the
// MCI devices (open until the collection ends) and DirectDraw's answer.
class CollectionDevices {
 public:
  CollectionDevices();
  ~CollectionDevices();
  CollectionDevices(const CollectionDevices&) = delete;
  CollectionDevices& operator=(const CollectionDevices&) = delete;
  // The MCI devices of the collection, opened through `base` on first use.
  MultimediaSource& Multimedia(MultimediaSource& base);
  struct DirectDrawAnswer {
    bool asked = false;
    int result = 0;
    std::string version;
  } directDraw;

 private:
  std::unique_ptr<MultimediaSource> mci_;
};

// What a category writer knows of its request.
struct GatherContext {
  const int* switches = nullptr;  // SW_COUNT entries
  std::string dmiLine;
  HWND clientWindow = nullptr;
  UINT monitorMessage = 0;
  HWND softwareList = nullptr;
  // The modem lines, when they were gathered before the request mutex was
  // taken (the ports' answers take seconds); nullptr: the writer asks.
  const std::string* modemText = nullptr;
  // Shared by every writer of this collection (copies of the context share
  // it); the devices are let go with the last copy.
  std::shared_ptr<CollectionDevices> devices = std::make_shared<CollectionDevices>();
  // The server's run-time bindings (all null: none bound).
  SystemBindings system;
  int Switch(unsigned i) const;
};

GathererBindings& Bindings();
// Built-in nominal clock rates (MHz), possibly replaced from "cpuspeed.dat".
std::vector<uint16_t>& StandardCpuSpeeds();
const std::vector<uint16_t>& BuiltInCpuSpeeds();

constexpr size_t kInfoReplyBufferSize = 10248;
constexpr size_t kStartupInfoBufferSize = 2048;
// Shared with every writer that calls the system-access library; the
// writers' mutex keeps two of them apart.
char* InfoReplyBuffer();
char* StartupInfoBuffer();
// Clears the reply buffer (its second byte 1 for a class's short form) and
// asks the system-access library for a class; true when it answered, the
// buffer then ending in a NUL. False when `access` is nullptr.
bool AskSystemAccess(GetQuorrelFn access, WORD infoClass, bool shortForm = false);

// `access`: the system-access library (null without one); `moduleDir`: the
// server's directory, where "cpuspeed.dat" may replace the clock table.
int PrepareGatherers(GetQuorrelFn access, const std::wstring& moduleDir);
void ShutdownGatherers();
std::string GetErrorText(DWORD code);
// Free and total bytes of a volume; 1 on success. `extended` tells whether
// GetDiskFreeSpaceEx answered.
int GetFreeDiskSpace(const char* root, double* freeBytes, double* totalBytes, int* extended);

}  // namespace quorrel
