// What the category writers share: start-up bindings of the network
// libraries, the processor clock table, the installed MCI devices, the reply
// buffer of the system-access library and a few small routines.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "infosink.h"
#include "module.h"

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

GathererBindings& Bindings();
// Built-in nominal clock rates (MHz), possibly replaced from "cpuspeed.dat".
std::vector<uint16_t>& StandardCpuSpeeds();
const std::vector<uint16_t>& BuiltInCpuSpeeds();
// Installed MCI device names (upper case), filled once per process.
const std::vector<std::string>& MciDeviceNames();

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

int PrepareGatherers();
void ShutdownGatherers();
void BuildMciDeviceList();
std::string GetErrorText(DWORD code);
// Free and total bytes of a volume; 1 on success. `extended` tells whether
// GetDiskFreeSpaceEx answered.
int GetFreeDiskSpace(const char* root, double* freeBytes, double* totalBytes, int* extended);

}  // namespace quorrel
