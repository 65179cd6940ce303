#include "gather.h"

#include <cstdio>
#include <cstring>

#include "format.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

namespace {
const uint16_t kBuiltInSpeeds[47] = {40,  50,  60,  66,  75,  80,  90,  100, 120, 133, 150,  166,  200,  225, 233,  266,
                                     300, 333, 350, 366, 380, 400, 433, 450, 466, 480, 500,  550,  566,  600, 650,  667,
                                     700, 733, 750, 800, 850, 866, 933, 1000, 1100, 1130, 1200, 1300, 1400, 1500, 1700};
char g_replyBuffer[kInfoReplyBufferSize];
char g_startupBuffer[kStartupInfoBufferSize];
}  // namespace

GathererBindings& Bindings() {
  static GathererBindings b;
  return b;
}

const std::vector<uint16_t>& BuiltInCpuSpeeds() {
  static const std::vector<uint16_t> table(kBuiltInSpeeds, kBuiltInSpeeds + 47);
  return table;
}

std::vector<uint16_t>& StandardCpuSpeeds() {
  static std::vector<uint16_t> table = BuiltInCpuSpeeds();
  return table;
}

char* InfoReplyBuffer() { return g_replyBuffer; }
char* StartupInfoBuffer() { return g_startupBuffer; }

bool AskSystemAccess(GetQuorrelFn access, WORD infoClass, bool shortForm) {
  if (!access) return false;
  std::memset(g_replyBuffer, 0, kInfoReplyBufferSize);
  if (shortForm) g_replyBuffer[1] = 1;
  if (access(infoClass, (WORD)kInfoReplyBufferSize, g_replyBuffer) == 0) return false;
  g_replyBuffer[kInfoReplyBufferSize - 1] = 0;
  return true;
}

int PrepareGatherers(GetQuorrelFn access, const std::wstring& moduleDir) {
  if (access) access(11, (WORD)kStartupInfoBufferSize, g_startupBuffer);
  GathererBindings& b = Bindings();
  b = GathererBindings();
  char sys[260];
  UINT n = ::GetSystemDirectoryA(sys, sizeof(sys));
  if (n > 0 && n < sizeof(sys)) {
    std::string dir(sys, n);
    if ((b.wsock = ::LoadLibraryA((dir + "\\WSOCK32.DLL").c_str()))) {
      b.wsaStartup = reinterpret_cast<WsaStartupFn>(::GetProcAddress(b.wsock, "WSAStartup"));
      b.wsaCleanup = reinterpret_cast<WsaCleanupFn>(::GetProcAddress(b.wsock, "WSACleanup"));
    }
    if ((b.rasapi = ::LoadLibraryA((dir + "\\RASAPI32.DLL").c_str()))) {
      b.rasEnumEntries = reinterpret_cast<RasEnumFn>(::GetProcAddress(b.rasapi, "RasEnumEntriesA"));
      b.rasEnumConnections = reinterpret_cast<RasEnumFn>(::GetProcAddress(b.rasapi, "RasEnumConnectionsA"));
    }
  }
  // The clock table file lives beside the server, never in the host's
  // current directory. It is only read: a copy that cannot be written
  // (read-only, or open elsewhere for reading) serves as well.
  std::wstring path = moduleDir + L"cpuspeed.dat";
  if (FILE* f = ::_wfopen(path.c_str(), L"rb")) {
    std::vector<uint8_t> bytes(47 * 2);
    size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bytes.resize(got);
    StandardCpuSpeeds() = MergeCpuSpeeds(BuiltInCpuSpeeds(), bytes);
  }
  return 1;
}

void ShutdownGatherers() {
  GathererBindings& b = Bindings();
  if (b.wsock) {
    b.wsaStartup = nullptr;
    b.wsaCleanup = nullptr;
    ::FreeLibrary(b.wsock);
    b.wsock = nullptr;
  }
  if (b.rasapi) {
    b.rasEnumEntries = nullptr;
    b.rasEnumConnections = nullptr;
    ::FreeLibrary(b.rasapi);
    b.rasapi = nullptr;
  }
}

std::string GetErrorText(DWORD code) {
  if (code == ERROR_GEN_FAILURE) return Str(IDS_GENERAL_FAILURE);
  char* text = nullptr;
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text) out = TrimSystemMessage(std::string(text, n));
  if (text) ::LocalFree(text);
  return out;
}

int GetFreeDiskSpace(const char* root, double* freeBytes, double* totalBytes, int* extended) {
  typedef BOOL(WINAPI * ExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  HMODULE k = ::GetModuleHandleA("KERNEL32.DLL");
  auto ex = k ? reinterpret_cast<ExFn>(::GetProcAddress(k, "GetDiskFreeSpaceExA")) : nullptr;
  if (!freeBytes || !totalBytes) return 0;
  if (ex) {
    if (extended) *extended = 1;
    ULARGE_INTEGER avail{}, total{}, free{};
    if (!ex(root, &avail, &total, &free)) return 0;
    *freeBytes = free.LowPart + free.HighPart * 4294967296.0;
    *totalBytes = total.LowPart + total.HighPart * 4294967296.0;
    return 1;
  }
  if (extended) *extended = 0;
  DWORD spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
  if (!::GetDiskFreeSpaceA(root, &spc, &bps, &freeClusters, &totalClusters)) return 0;
  *freeBytes = (double)bps * spc * freeClusters;
  *totalBytes = (double)bps * spc * totalClusters;
  return 1;
}

}  // namespace quorrel
