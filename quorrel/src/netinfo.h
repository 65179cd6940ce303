// Network information: KytNET.IFO and the "Network:" line of the summary.
// Who is logged on, the installed network components (read from the
// registry as Windows 9x, Windows NT 4 and Windows 2000 and later keep
// them), the connected resources grouped by provider, then the Windows
// Sockets and Dial-Up Networking sections.
//
// Everything the writers ask of the system goes through NetworkSource, whose
// calls have the shape of the system calls behind them (MPR's enumeration,
// iphlpapi's interface table, WSOCK32, RASAPI32). The registry is the real
// one, read below Machine(): HKEY_LOCAL_MACHINE on the machine, a scratch
// key holding a made-up machine's keys in tests.
#pragma once
#include <windows.h>

#include <winsock2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "infosink.h"
#include "system.h"

namespace quorrel {

class NetworkSource {
 public:
  virtual ~NetworkSource() = default;
  // GetVersion's answer: high bit set on Windows 9x, major version in the
  // low byte.
  virtual DWORD Version() = 0;
  // The four network-provider functions were all bound.
  virtual bool HasProvider() = 0;
  // WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, RESOURCEUSAGE_CONTAINER, nullptr, e).
  virtual DWORD OpenConnected(HANDLE* e) = 0;
  // WNetEnumResourceA: NETRESOURCEA records in `buffer`.
  virtual DWORD EnumResource(HANDLE e, DWORD* count, void* buffer, DWORD* size) = 0;
  virtual void CloseEnum(HANDLE e) = 0;
  // WNetGetUserA(nullptr, name, size).
  virtual DWORD GetUser(char* name, DWORD* size) = 0;
  // GetComputerNameA.
  virtual bool ComputerName(char* name, DWORD* size) = 0;
  // Where the machine's keys are read (HKEY_LOCAL_MACHINE).
  virtual HKEY Machine() = 0;
  // The IP_INTERFACE_INFO table of iphlpapi.dll's GetInterfaceInfo; false
  // when the library, the function or the table is missing.
  virtual bool InterfaceTable(std::vector<uint8_t>* table) = 0;
  // WSAStartup and WSACleanup of WSOCK32 (both bound, or neither).
  virtual bool HasSockets() = 0;
  virtual int WsaStartup(WORD version, WSADATA* data) = 0;
  virtual void WsaCleanup() = 0;
  // RasEnumEntriesA(nullptr, nullptr, ...) and RasEnumConnectionsA of
  // RASAPI32 (both bound, or neither).
  virtual bool HasDialUp() = 0;
  virtual DWORD DialUpEntries(void* entries, DWORD* size, DWORD* count) = 0;
  virtual DWORD DialUpConnections(void* connections, DWORD* size, DWORD* count) = 0;
};
// The machine's own network (the start-up bindings of the server's module).
std::unique_ptr<NetworkSource> NewMachineNetwork(const SystemBindings& sys);

// The blocks the enumerations fill: connected resources, phonebook entries
// and active dial-up connections.
constexpr DWORD kNetBlockSize = 16384;
// Longest text the writers copy from a record or a registry value into one
// line; longer texts are cut.
constexpr size_t kNetTextMax = 1023;

// "Windows Sockets" section (summary 0) or the "Windows Sockets:" line.
void WriteWinsockInfo(InfoSink& out, int summary, NetworkSource& net);
void WriteWinsockInfo(InfoSink& out, int summary, const SystemBindings& sys);
// "Dial-Up Networking" section (nothing with summary 1).
void WriteDialUpInfo(InfoSink& out, int summary, NetworkSource& net);

// The category (mode 0) or the "Network:" summary line (mode 1).
void WriteNetworkInfo(InfoSink& out, int mode, NetworkSource& net);
void WriteNetworkInfo(InfoSink& out, int mode, const SystemBindings& sys);

// Windows 9x: the bindings of the network adapters under Enum\Root,
// Enum\PCI and Enum\ISAPNP; true when any line was written.
bool ListAllNetBindings(InfoSink& out, NetworkSource& net);
bool ListNetBindings(InfoSink& out, NetworkSource& net, const std::string& branch);
std::string GetNetComponentDesc(NetworkSource& net, const std::string& component, const std::string& instance);
// Windows 2000 and later: the adapters of the interface table.
void WriteNetAdaptersByInterface(InfoSink& out, NetworkSource& net);
// The connection identifier of an interface name: from its first "{" up to
// and including the next "}" (each cut only where the brace is found).
std::string ConnectionIdOfInterface(const std::string& name);
std::string GetConnectionDeviceDesc(NetworkSource& net, const std::string& identifier);
// Windows NT 4: services, protocols and adapters.
void WriteNt4NetComponents(InfoSink& out, NetworkSource& net);
std::string GetNt4ComponentTitle(HKEY parent, const std::string& name, const std::string& type);

}  // namespace quorrel
