#include "netinfo.h"

#include <winnetwk.h>
#include <ras.h>
#include <iphlpapi.h>

#include <cstddef>
#include <cstring>

#include "format.h"
#include "gather.h"
#include "net_resource.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

namespace {

// A text of at most `max` characters from a fixed field or a pointer that
// may be null.
std::string Field(const char* text, size_t max = kNetTextMax) {
  if (!text) return {};
  return std::string(text, strnlen(text, max));
}

std::string Cut(std::string s, size_t max = kNetTextMax) {
  if (s.size() > max) s.resize(max);
  return s;
}

// Lines of at most kNetTextMax characters, a heading's prefix or an
// indented line's tab counted.
void Line(InfoSink& out, const std::string& text) { out.Line(Cut(text)); }
void Heading(InfoSink& out, const std::string& text) {
  out.Heading(Cut(text, kNetTextMax - infofile::kHeadingPrefixLength));
}
void Indented(InfoSink& out, const std::string& text) { out.Indented(Cut(text, kNetTextMax - 1)); }

// A registry key opened for reading, with the bounded reads the writers use:
// values in 256-byte buffers, key and value names of up to 255 characters.
class ReadKey {
 public:
  ReadKey() = default;
  ~ReadKey() {
    if (key_) ::RegCloseKey(key_);
  }
  ReadKey(const ReadKey&) = delete;
  ReadKey& operator=(const ReadKey&) = delete;
  bool Open(HKEY parent, const std::string& path) {
    return parent && ::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }
  bool String(const char* name, std::string* value) const {
    char buf[257] = {};
    DWORD size = 256, type = 0;
    if (::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
      return false;
    buf[size < 256 ? size : 256] = 0;
    *value = buf;
    return true;
  }
  // A missing value counts as empty.
  std::string String(const char* name) const {
    std::string v;
    String(name, &v);
    return v;
  }
  bool Dword(const char* name, DWORD* value) const {
    DWORD v = 0, size = sizeof(v), type = 0;
    if (::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
        size != sizeof(v))
      return false;
    *value = v;
    return true;
  }
  // Calls `each` with every subkey name, from index 0 until the
  // enumeration ends or `each` returns false; a name too long for the
  // buffer is passed over.
  template <class Each>
  void Subkeys(Each each) const {
    Names([this](DWORD i, char* name, DWORD* n) {
      return ::RegEnumKeyExA(key_, i, name, n, nullptr, nullptr, nullptr, nullptr);
    }, each);
  }
  // The same with every value name.
  template <class Each>
  void ValueNames(Each each) const {
    Names([this](DWORD i, char* name, DWORD* n) {
      return ::RegEnumValueA(key_, i, name, n, nullptr, nullptr, nullptr, nullptr);
    }, each);
  }

 private:
  template <class Enum, class Each>
  static void Names(Enum enumerate, Each each) {
    for (DWORD i = 0;; ++i) {
      char name[256] = {};
      DWORD n = sizeof(name);
      LONG r = enumerate(i, name, &n);
      if (r == ERROR_MORE_DATA) continue;
      if (r != ERROR_SUCCESS || !each(std::string(name, n < sizeof(name) ? n : sizeof(name) - 1))) return;
    }
  }
  HKEY key_ = nullptr;
};

typedef DWORD(WINAPI* WNetOpenEnumFn)(DWORD, DWORD, DWORD, LPNETRESOURCEA, LPHANDLE);
typedef DWORD(WINAPI* WNetEnumResourceFn)(HANDLE, LPDWORD, LPVOID, LPDWORD);
typedef DWORD(WINAPI* WNetCloseEnumFn)(HANDLE);
typedef DWORD(WINAPI* WNetGetUserFn)(LPCSTR, LPSTR, LPDWORD);
typedef DWORD(WINAPI* GetInterfaceInfoFn)(PIP_INTERFACE_INFO, PULONG);

class MachineNetwork : public NetworkSource {
 public:
  explicit MachineNetwork(const SystemBindings& sys) : sys_(sys) {}
  DWORD Version() override { return ::GetVersion(); }
  bool HasProvider() override {
    const SystemBindings& m = sys_;
    return m.wnetOpenEnum && m.wnetEnumResource && m.wnetCloseEnum && m.wnetGetUser;
  }
  DWORD OpenConnected(HANDLE* e) override {
    return reinterpret_cast<WNetOpenEnumFn>(sys_.wnetOpenEnum)(RESOURCE_CONNECTED, RESOURCETYPE_ANY,
                                                                   RESOURCEUSAGE_CONTAINER, nullptr, e);
  }
  DWORD EnumResource(HANDLE e, DWORD* count, void* buffer, DWORD* size) override {
    return reinterpret_cast<WNetEnumResourceFn>(sys_.wnetEnumResource)(e, count, buffer, size);
  }
  void CloseEnum(HANDLE e) override { reinterpret_cast<WNetCloseEnumFn>(sys_.wnetCloseEnum)(e); }
  DWORD GetUser(char* name, DWORD* size) override {
    return reinterpret_cast<WNetGetUserFn>(sys_.wnetGetUser)(nullptr, name, size);
  }
  bool ComputerName(char* name, DWORD* size) override { return ::GetComputerNameA(name, size) != FALSE; }
  HKEY Machine() override { return HKEY_LOCAL_MACHINE; }
  bool InterfaceTable(std::vector<uint8_t>* table) override {
    char dir[260] = {};
    UINT n = ::GetSystemDirectoryA(dir, 259);
    std::string path = n > 0 && n < 260 ? std::string(dir, n) + "\\iphlpapi.dll" : std::string();
    HMODULE lib = path.empty() ? nullptr : ::LoadLibraryA(path.c_str());
    if (!lib) return false;
    bool ok = false;
    auto get = reinterpret_cast<GetInterfaceInfoFn>(::GetProcAddress(lib, "GetInterfaceInfo"));
    ULONG size = 0;
    if (get && get(nullptr, &size) == ERROR_INSUFFICIENT_BUFFER && size >= sizeof(LONG) && size < (16u << 20)) {
      table->assign(size, 0);
      ok = get(reinterpret_cast<PIP_INTERFACE_INFO>(table->data()), &size) == NO_ERROR;
    }
    ::FreeLibrary(lib);
    return ok;
  }
  bool HasSockets() override { return Bindings().wsaStartup && Bindings().wsaCleanup; }
  int WsaStartup(WORD version, WSADATA* data) override { return Bindings().wsaStartup(version, data); }
  void WsaCleanup() override { Bindings().wsaCleanup(); }
  bool HasDialUp() override { return Bindings().rasEnumEntries && Bindings().rasEnumConnections; }
  DWORD DialUpEntries(void* entries, DWORD* size, DWORD* count) override {
    return Bindings().rasEnumEntries(nullptr, nullptr, entries, size, count);
  }
  DWORD DialUpConnections(void* connections, DWORD* size, DWORD* count) override {
    // RasEnumConnectionsA(connections, size, count) through the shared
    // five-argument type: the first three are the call's own.
    typedef DWORD(WINAPI * Fn)(void*, DWORD*, DWORD*);
    return reinterpret_cast<Fn>(Bindings().rasEnumConnections)(connections, size, count);
  }

 private:
  SystemBindings sys_;
};

// One dial-up enumeration into a zero-filled block whose first record's
// size field is set; the records it listed (bounded by the block), or -1
// when it failed.
template <class Record, class Call>
long EnumerateDialUp(std::vector<BYTE>* block, Call call) {
  block->assign(kNetBlockSize, 0);
  reinterpret_cast<Record*>(block->data())->dwSize = sizeof(Record);
  DWORD size = kNetBlockSize;
  DWORD count = (DWORD)-1;
  if (call(block->data(), &size, &count) != 0) return -1;
  long listed = (long)(LONG)count;
  long fits = (long)(kNetBlockSize / sizeof(Record));
  if (listed < 0) listed = 0;
  return listed < fits ? listed : fits;
}

}  // namespace

std::unique_ptr<NetworkSource> NewMachineNetwork(const SystemBindings& sys) {
  return std::make_unique<MachineNetwork>(sys);
}

// ---- Windows Sockets and Dial-Up Networking ---------------------------------------

void WriteWinsockInfo(InfoSink& out, int summary, NetworkSource& net) {
  WSADATA data;
  std::memset(&data, 0, sizeof(data));
  bool bound = net.HasSockets();
  bool started = bound && net.WsaStartup(0x0002, &data) == 0;
  if (started) net.WsaCleanup();
  std::string description = Field(data.szDescription, sizeof(data.szDescription));
  if (summary) {
    Line(out, Str(IDS_WINSOCK_LABEL) + infofile::kTab + (started ? description : Str(IDS_MIXER_NA)));
    return;
  }
  std::string head = Str(IDS_WINSOCK) + infofile::kTab;
  if (!bound) {
    Line(out, head + Str(IDS_MIXER_NA));
  } else if (!started) {
    Heading(out, head + Str(IDS_MIXER_NA));
  } else {
    Heading(out, head);
    Indented(out, description);
    Indented(out, Field(data.szSystemStatus, sizeof(data.szSystemStatus)));
    Indented(out, FormatA(Str(IDS_WINSOCK_MAX_SOCKETS).c_str(), (int)data.iMaxSockets));
    Indented(out, FormatA(Str(IDS_WINSOCK_MAX_UDP).c_str(), (int)(unsigned short)data.iMaxUdpDg));
  }
  out.EndLine();
}

void WriteWinsockInfo(InfoSink& out, int summary, const SystemBindings& sys) {
  auto net = NewMachineNetwork(sys);
  WriteWinsockInfo(out, summary, *net);
}

void WriteDialUpInfo(InfoSink& out, int summary, NetworkSource& net) {
  if (!net.HasDialUp()) return;
  std::vector<BYTE> entryBlock, connectionBlock;
  long entries = EnumerateDialUp<RASENTRYNAMEA>(
      &entryBlock, [&](void* b, DWORD* s, DWORD* c) { return net.DialUpEntries(b, s, c); });
  long connections = EnumerateDialUp<RASCONNA>(
      &connectionBlock, [&](void* b, DWORD* s, DWORD* c) { return net.DialUpConnections(b, s, c); });
  if (summary) return;
  Heading(out, Str(IDS_DIALUP));
  if (entries >= 0) {
    Heading(out, infofile::kTab + Str(IDS_DIALUP_PHONEBOOK));
    auto* e = reinterpret_cast<const RASENTRYNAMEA*>(entryBlock.data());
    for (long i = 0; i < entries; ++i) Indented(out, Field(e[i].szEntryName, sizeof(e[i].szEntryName)));
    if (entries == 0) Indented(out, Str(IDS_DIALUP_NONE));
    out.EndLine();
  }
  if (connections >= 0) {
    Heading(out, infofile::kTab + Str(IDS_DIALUP_ACTIVE));
    auto* c = reinterpret_cast<const RASCONNA*>(connectionBlock.data());
    for (long i = 0; i < connections; ++i)
      Indented(out, Field(c[i].szEntryName, sizeof(c[i].szEntryName)) + " (" +
                    Field(c[i].szDeviceName, sizeof(c[i].szDeviceName)) + ") ");
    if (connections == 0) Indented(out, Str(IDS_DIALUP_NONE));
    out.EndLine();
  }
}

// ---- Installed components ---------------------------------------------------------

std::string GetNetComponentDesc(NetworkSource& net, const std::string& component, const std::string& instance) {
  ReadKey key;
  if (!key.Open(net.Machine(), "Enum\\Network\\" + component + "\\" + instance)) return {};
  return key.String("DeviceDesc");
}

bool ListNetBindings(InfoSink& out, NetworkSource& net, const std::string& branch) {
  ReadKey top;
  if (!top.Open(net.Machine(), branch)) return false;
  bool wrote = false;
  top.Subkeys([&](const std::string& deviceName) {
    ReadKey device;
    if (!device.Open(top.get(), deviceName)) return true;
    device.Subkeys([&](const std::string& instanceName) {
      ReadKey instance;
      std::string cls;
      if (!instance.Open(device.get(), instanceName) || !instance.String("Class", &cls) ||
          _stricmp(cls.c_str(), "Net") != 0)
        return true;
      std::string adapter = instance.String("DeviceDesc");
      ReadKey bindings;
      if (!bindings.Open(instance.get(), "Bindings")) return true;
      bindings.ValueNames([&](const std::string& name) {
        if (name.empty() || _stricmp(name.c_str(), "(Default)") == 0) return true;
        size_t slash = name.find('\\');
        if (slash == std::string::npos || slash == 0) return true;
        std::string component = GetNetComponentDesc(net, name.substr(0, slash), name.substr(slash + 1));
        if (!wrote) out.EndLine();
        wrote = true;
        Line(out, FormatA(Str(IDS_NET_BINDING).c_str(), Cut(component).c_str(), Cut(adapter).c_str()));
        return true;
      });
      return true;
    });
    return true;
  });
  return wrote;
}

bool ListAllNetBindings(InfoSink& out, NetworkSource& net) {
  bool any = false;
  for (const char* branch : {"Enum\\Root", "Enum\\PCI", "Enum\\ISAPNP"})
    if (ListNetBindings(out, net, branch)) any = true;
  return any;
}

std::string ConnectionIdOfInterface(const std::string& name) {
  std::string id = name;
  size_t open = id.find('{');
  if (open != std::string::npos) id = id.substr(open);
  size_t close = id.find('}');
  if (close != std::string::npos) id.resize(close + 1);
  return id;
}

std::string GetConnectionDeviceDesc(NetworkSource& net, const std::string& identifier) {
  ReadKey network;
  if (!network.Open(net.Machine(), "SYSTEM\\CurrentControlSet\\Control\\Network")) return {};
  std::string result;
  network.Subkeys([&](const std::string& cls) {
    ReadKey connection;
    if (!connection.Open(network.get(), cls + "\\" + identifier + "\\Connection")) return true;
    std::string instance;
    ReadKey device;
    if (connection.String("PnpInstanceID", &instance) &&
        device.Open(net.Machine(), "SYSTEM\\CurrentControlSet\\Enum\\" + instance))
      result = device.String("DeviceDesc");
    return false;
  });
  return result;
}

void WriteNetAdaptersByInterface(InfoSink& out, NetworkSource& net) {
  Heading(out, Str(IDS_NET_ADAPTERS));
  std::vector<uint8_t> table;
  long count = 0;
  if (net.InterfaceTable(&table) && table.size() >= sizeof(LONG)) {
    LONG listed = 0;
    std::memcpy(&listed, table.data(), sizeof(listed));
    constexpr size_t kFirst = offsetof(IP_INTERFACE_INFO, Adapter);
    size_t fits = table.size() < kFirst ? 0 : (table.size() - kFirst) / sizeof(IP_ADAPTER_INDEX_MAP);
    count = listed < 0 ? 0 : listed;
    for (size_t i = 0; i < (size_t)count && i < fits; ++i) {
      IP_ADAPTER_INDEX_MAP entry;
      std::memcpy(&entry, table.data() + kFirst + i * sizeof(entry), sizeof(entry));
      size_t length = wcsnlen(entry.Name, MAX_ADAPTER_NAME);
      char name[258] = {};
      int n = length ? ::WideCharToMultiByte(CP_ACP, 0, entry.Name, (int)length, name, 257, nullptr, nullptr) : 0;
      if (n <= 0) continue;
      std::string description = GetConnectionDeviceDesc(net, ConnectionIdOfInterface(std::string(name, n)));
      if (!description.empty()) Indented(out, description);
    }
  }
  if (count == 0) out.EndLine();
}

std::string GetNt4ComponentTitle(HKEY parent, const std::string& name, const std::string& type) {
  ReadKey key;
  if (!key.Open(parent, type.empty() ? name : name + "\\CurrentVersion")) return {};
  std::string software;
  if (!type.empty() && (!key.String("SoftwareType", &software) || _stricmp(software.c_str(), type.c_str()) != 0))
    return {};
  ReadKey rules;
  if (!rules.Open(key.get(), "NetRules")) return {};
  DWORD value = 0;
  bool visible = true;
  if (key.Dword("OperationsSupport", &value))
    visible = value >= 0x80;
  else if (key.Dword("Hidden", &value))
    visible = value == 0;
  return visible ? key.String("Title") : std::string();
}

void WriteNt4NetComponents(InfoSink& out, NetworkSource& net) {
  ReadKey microsoft;
  if (!microsoft.Open(net.Machine(), "SOFTWARE\\Microsoft")) return;
  auto section = [&](UINT label, const ReadKey* parent, const std::string& type) {
    out.BeginHeading();
    out.Text(Str(label));
    bool listed = false;
    if (parent && parent->get()) {
      parent->Subkeys([&](const std::string& name) {
        std::string title = GetNt4ComponentTitle(parent->get(), name, type);
        if (title.empty()) return true;
        if (!listed) out.EndLine();
        listed = true;
        Indented(out, title);
        return true;
      });
    }
    if (!listed) Line(out, Str(IDS_NA));
  };
  section(IDS_NET_SERVICES, &microsoft, "service");
  out.EndLine();
  section(IDS_NET_PROTOCOLS, &microsoft, "transport");
  out.EndLine();
  ReadKey cards;
  section(IDS_NET_ADAPTERS, cards.Open(microsoft.get(), "Windows NT\\CurrentVersion\\NetworkCards") ? &cards : nullptr,
          std::string());
}

// ---- The category -------------------------------------------------------------------

void WriteNetworkInfo(InfoSink& out, int mode, NetworkSource& net) {
  if (!net.HasProvider()) return;
  HANDLE e = nullptr;
  if (net.OpenConnected(&e) != NO_ERROR) {
    out.EndLine();
    Heading(out, Str(IDS_NET_LABEL));
    return;
  }
  HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));

  if (mode == 0) {
    out.EndLine();
    char name[257] = {};
    DWORD size = 255;
    if (net.GetUser(name, &size) == NO_ERROR) {
      name[256] = 0;
      Heading(out, Str(IDS_NET_USER_NAME));
      Indented(out, Field(name, 256));
    }
    // The computer name gets the whole buffer again, whatever size the
    // user-name call reported.
    std::memset(name, 0, sizeof(name));
    size = 255;
    if (net.ComputerName(name, &size)) {
      name[256] = 0;
      Heading(out, Str(IDS_NET_COMPUTER_NAME));
      Indented(out, Field(name, 256));
    }
    out.EndLine();

    DWORD version = net.Version();
    if (!(version & 0x80000000u)) {
      if ((version & 0xFF) >= 5)
        WriteNetAdaptersByInterface(out, net);
      else
        WriteNt4NetComponents(out, net);
    } else {
      out.BeginHeading();
      out.Text(Str(IDS_NET_BINDINGS));
      if (!ListAllNetBindings(out, net)) Line(out, Str(IDS_NA));
    }
    out.EndLine();
  }

  // Connected resources, one block at a time, until the provider has no
  // more (or answers with an error, or with nothing at all).
  std::string summary = Str(IDS_NET_LABEL);
  bool firstProvider = true;
  DWORD count = 0xFFFFFFFFu;
  std::vector<BYTE> block;
  for (int blocks = 0; blocks < 4096; ++blocks) {
    block.assign(kNetBlockSize, 0);
    DWORD asked = count, size = kNetBlockSize;
    if (net.EnumResource(e, &asked, block.data(), &size) != NO_ERROR || asked == 0) break;
    DWORD fits = kNetBlockSize / sizeof(NETRESOURCEA);
    DWORD listed = asked < fits ? asked : fits;
    auto* records = reinterpret_cast<const NETRESOURCEA*>(block.data());
    // A record without a provider name starts no provider group.
    std::string provider = Field(records[0].lpProvider);
    if (mode == 1) {
      if (!provider.empty()) {
        if (!firstProvider) summary += ", ";
        summary += provider;
        firstProvider = false;
      }
    } else {
      if (!provider.empty()) Heading(out, provider);
      for (DWORD i = 0; i < listed; ++i) {
        if (!records[i].lpRemoteName) continue;
        std::string line = infofile::kTab + Field(records[i].lpRemoteName);
        if (records[i].lpLocalName) line += " (" + Field(records[i].lpLocalName) + ") ";
        Line(out, line);
      }
      out.EndLine();
    }
    count = asked;
  }
  if (mode == 1) Line(out, summary);
  net.CloseEnum(e);

  if (mode == 0) {
    WriteWinsockInfo(out, 0, net);
    WriteDialUpInfo(out, 0, net);
  }
  if (previous) ::SetCursor(previous);
}

void WriteNetworkInfo(InfoSink& out, int mode, const SystemBindings& sys) {
  auto net = NewMachineNetwork(sys);
  WriteNetworkInfo(out, mode, *net);
}

}  // namespace quorrel
