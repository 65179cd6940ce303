// The network, sockets and dial-up writers on made-up machines: provider
// enumerations laid out as MPR lays them out, the installed components of
// Windows 9x, NT 4 and Windows 2000 from registry fixtures (real keys below
// a scratch key that stands for HKEY_LOCAL_MACHINE), interface tables,
// socket and dial-up answers; the enumerations that must end, and the
// buffers that must not be overrun.
#include <gtest/gtest.h>
#include <windows.h>
#include <winnetwk.h>
#include <ras.h>
#include <iphlpapi.h>

#include <cstddef>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "netinfo.h"

using namespace quorrel;

namespace {

// ---- Registry fixtures ------------------------------------------------------------

// A scratch key under HKEY_CURRENT_USER, removed with everything below it.
class Fixture {
 public:
  Fixture() {
    path_ = "Software\\HalvixTest\\NetFixture" + std::to_string(::GetCurrentProcessId()) + "_" +
            std::to_string(++count_);
    ::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr);
  }
  ~Fixture() {
    if (root_) ::RegCloseKey(root_);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  }
  HKEY root() const { return root_; }
  void Key(const std::string& key) { Close(Open(key)); }
  void String(const std::string& key, const std::string& name, const std::string& value) {
    HKEY k = Open(key);
    ::RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     (DWORD)value.size() + 1);
    Close(k);
  }
  void Dword(const std::string& key, const std::string& name, DWORD value) {
    HKEY k = Open(key);
    ::RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    Close(k);
  }

 private:
  HKEY Open(const std::string& key) {
    HKEY k = nullptr;
    ::RegCreateKeyExA(root_, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    return k;
  }
  static void Close(HKEY k) {
    if (k) ::RegCloseKey(k);
  }
  static int count_;
  std::string path_;
  HKEY root_ = nullptr;
};
int Fixture::count_ = 0;

// ---- A made-up machine ------------------------------------------------------------

struct Resource {
  const char* local;
  const char* remote;
  const char* provider;
};
// One answer of the resource enumeration: its result and its records.
struct Answer {
  DWORD result;
  std::vector<Resource> records;
};

struct Interface {
  ULONG index;
  std::wstring name;
};

class FakeNetwork : public NetworkSource {
 public:
  DWORD version = 0x1DB10106;  // NT family, 6.1
  bool provider = true;
  DWORD openResult = NO_ERROR;
  std::deque<Answer> answers;  // then ERROR_NO_MORE_ITEMS
  std::vector<DWORD> countsAsked;
  bool closed = false;
  std::string user = "alice", computer = "QUARRY";
  DWORD userResult = NO_ERROR;
  DWORD userSizeReported = 0;  // with a failing user query
  DWORD computerSizeGiven = 0;
  HKEY machine = nullptr;
  bool haveTable = false;
  std::vector<uint8_t> table;
  bool sockets = true;
  int startup = 0;
  WSADATA wsa{};
  int cleanups = 0;
  bool dialUp = true;
  DWORD entriesResult = 0, connectionsResult = 0;
  std::vector<std::string> entries;
  std::vector<std::pair<std::string, std::string>> connections;  // entry, device
  DWORD entriesCount = ~0u;  // a count to report instead of the list's

  DWORD Version() override { return version; }
  bool HasProvider() override { return provider; }
  DWORD OpenConnected(HANDLE* e) override {
    *e = reinterpret_cast<HANDLE>(0x1234);
    return openResult;
  }
  DWORD EnumResource(HANDLE, DWORD* count, void* buffer, DWORD* size) override {
    countsAsked.push_back(*count);
    if (answers.empty()) return ERROR_NO_MORE_ITEMS;
    Answer a = answers.front();
    answers.pop_front();
    if (a.result != NO_ERROR) return a.result;
    auto* rec = static_cast<NETRESOURCEA*>(buffer);
    size_t fits = *size / sizeof(NETRESOURCEA);
    for (size_t i = 0; i < a.records.size() && i < fits; ++i) {
      rec[i] = NETRESOURCEA{};
      rec[i].lpLocalName = Keep(a.records[i].local);
      rec[i].lpRemoteName = Keep(a.records[i].remote);
      rec[i].lpProvider = Keep(a.records[i].provider);
    }
    *count = (DWORD)a.records.size();
    return NO_ERROR;
  }
  void CloseEnum(HANDLE) override { closed = true; }
  DWORD GetUser(char* name, DWORD* size) override {
    if (userResult != NO_ERROR) {
      *size = userSizeReported;
      return userResult;
    }
    std::strncpy(name, user.c_str(), *size);
    return NO_ERROR;
  }
  bool ComputerName(char* name, DWORD* size) override {
    computerSizeGiven = *size;
    if (computer.size() + 1 > *size) return false;
    std::strcpy(name, computer.c_str());
    return true;
  }
  HKEY Machine() override { return machine; }
  bool InterfaceTable(std::vector<uint8_t>* t) override {
    *t = table;
    return haveTable;
  }
  bool HasSockets() override { return sockets; }
  int WsaStartup(WORD, WSADATA* data) override {
    if (startup == 0) *data = wsa;
    return startup;
  }
  void WsaCleanup() override { ++cleanups; }
  bool HasDialUp() override { return dialUp; }
  DWORD DialUpEntries(void* buffer, DWORD* size, DWORD* count) override {
    if (entriesResult) return entriesResult;
    EXPECT_EQ(static_cast<RASENTRYNAMEA*>(buffer)->dwSize, sizeof(RASENTRYNAMEA));
    auto* rec = static_cast<RASENTRYNAMEA*>(buffer);
    for (size_t i = 0; i < entries.size() && (i + 1) * sizeof(RASENTRYNAMEA) <= *size; ++i)
      std::strncpy(rec[i].szEntryName, entries[i].c_str(), sizeof(rec[i].szEntryName) - 1);
    *count = entriesCount != ~0u ? entriesCount : (DWORD)entries.size();
    return 0;
  }
  DWORD DialUpConnections(void* buffer, DWORD* size, DWORD* count) override {
    if (connectionsResult) return connectionsResult;
    EXPECT_EQ(static_cast<RASCONNA*>(buffer)->dwSize, sizeof(RASCONNA));
    auto* rec = static_cast<RASCONNA*>(buffer);
    for (size_t i = 0; i < connections.size() && (i + 1) * sizeof(RASCONNA) <= *size; ++i) {
      std::strncpy(rec[i].szEntryName, connections[i].first.c_str(), sizeof(rec[i].szEntryName) - 1);
      std::strncpy(rec[i].szDeviceName, connections[i].second.c_str(), sizeof(rec[i].szDeviceName) - 1);
    }
    *count = (DWORD)connections.size();
    return 0;
  }

  void SetTable(const std::vector<Interface>& list, LONG count) {
    haveTable = true;
    table.assign(offsetof(IP_INTERFACE_INFO, Adapter) + list.size() * sizeof(IP_ADAPTER_INDEX_MAP), 0);
    std::memcpy(table.data(), &count, sizeof(count));
    for (size_t i = 0; i < list.size(); ++i) {
      IP_ADAPTER_INDEX_MAP m{};
      m.Index = list[i].index;
      wcsncpy(m.Name, list[i].name.c_str(), MAX_ADAPTER_NAME);  // a full name has no terminating zero
      std::memcpy(table.data() + offsetof(IP_INTERFACE_INFO, Adapter) + i * sizeof(m), &m, sizeof(m));
    }
  }
  void SetSockets(const char* description, const char* status, unsigned short maxSockets, unsigned short maxUdp) {
    std::memset(&wsa, 0, sizeof(wsa));
    std::strncpy(wsa.szDescription, description, WSADESCRIPTION_LEN);
    std::strncpy(wsa.szSystemStatus, status, WSASYS_STATUS_LEN);
    wsa.iMaxSockets = maxSockets;
    wsa.iMaxUdpDg = maxUdp;
  }

 private:
  char* Keep(const char* s) {
    if (!s) return nullptr;
    strings_.emplace_back(s);
    return &strings_.back()[0];
  }
  std::list<std::string> strings_;
};

std::string NetworkText(FakeNetwork& net, int mode) {
  StringSink out;
  WriteNetworkInfo(out, mode, net);
  return out.text;
}

const char kSocketsSection[] =
    "@3Windows Sockets\t\n"
    "\tWinSock 2.0\n"
    "\tRunning\n"
    "\tMax. # of Sockets: 32767\n"
    "\tMax. UDP size: 65467 bytes\n"
    "\n";
const char kDialUpNone[] =
    "@3Dial-Up Networking\n"
    "@3\t[Phonebook]\n"
    "\tNone.\n"
    "\n"
    "@3\t[Active Connection]\n"
    "\tNone.\n"
    "\n";

}  // namespace

// Windows 2000 and later: the logged-on user, the adapters of the interface
// table found through the network class keys, the connected resources of
// two providers, then sockets and dial-up.
TEST(NetworkCategory, Windows2000GoldenFile) {
  Fixture reg;
  const std::string network = "SYSTEM\\CurrentControlSet\\Control\\Network\\";
  // The first class key holds no connections: the search goes on.
  reg.Key(network + "{4D36E973-E325-11CE-BFC1-08002BE10318}\\{AAAA}");
  reg.String(network + "{4D36E972-E325-11CE-BFC1-08002BE10318}\\{1111-22}\\Connection", "PnpInstanceID",
             "PCI\\VEN_8086&DEV_100E\\3&1");
  reg.String(network + "{4D36E972-E325-11CE-BFC1-08002BE10318}\\{3333-44}\\Connection", "PnpInstanceID",
             "ROOT\\NET\\0000");
  reg.String("SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_100E\\3&1", "DeviceDesc",
             "Intel(R) PRO/1000 MT Network Connection");
  reg.String("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\NET\\0000", "DeviceDesc", "Loopback Adapter");

  FakeNetwork net;
  net.machine = reg.root();
  net.SetTable({{2, L"\\DEVICE\\TCPIP_{1111-22}"}, {5, L"\\DEVICE\\TCPIP_{3333-44}"}, {7, L"\\DEVICE\\TCPIP_{9999}"}},
               3);
  net.answers = {
      {NO_ERROR,
       {{"F:", "\\\\fileserv\\public", "Microsoft Windows Network"},
        {"G:", "\\\\fileserv\\home", "Microsoft Windows Network"},
        {"H:", "\\\\fileserv\\scratch", "Microsoft Windows Network"}}},
      {NO_ERROR,
       {{nullptr, "\\\\printhost\\laser", "Wine Network"},
        {"LPT2", nullptr, "Wine Network"}}},
  };
  net.SetSockets("WinSock 2.0", "Running", 32767, 65467);

  EXPECT_EQ(NetworkText(net, 0), std::string("\n"
                                     "@3User Name\n"
                                     "\talice\n"
                                     "@3Computer Name\n"
                                     "\tQUARRY\n"
                                     "\n"
                                     "@3Network Adapters\t\n"
                                     "\tIntel(R) PRO/1000 MT Network Connection\n"
                                     "\tLoopback Adapter\n"
                                     "\n"
                                     "@3Microsoft Windows Network\n"
                                     "\t\\\\fileserv\\public (F:) \n"
                                     "\t\\\\fileserv\\home (G:) \n"
                                     "\t\\\\fileserv\\scratch (H:) \n"
                                     "\n"
                                     "@3Wine Network\n"
                                     "\t\\\\printhost\\laser\n"
                                     "\n") +
                             kSocketsSection + kDialUpNone);
  EXPECT_TRUE(net.closed);
  EXPECT_EQ(net.cleanups, 1);
  // As many as fit first, then as many as the last block held.
  EXPECT_EQ(net.countsAsked, (std::vector<DWORD>{0xFFFFFFFFu, 3u, 2u}));
}

TEST(NetworkCategory, SummaryLineNamesEachProviderOnce) {
  FakeNetwork net;
  net.answers = {{NO_ERROR, {{"F:", "\\\\a\\x", "Microsoft Windows Network"}, {"G:", "\\\\a\\y", "Microsoft Windows Network"}}},
                 {NO_ERROR, {{"H:", "\\\\b\\z", "Wine Network"}}}};
  EXPECT_EQ(NetworkText(net, 1), "Network:\tMicrosoft Windows Network, Wine Network\n");
  EXPECT_TRUE(net.closed);
}

// How the resource enumeration ends, and what stays listed.
TEST(NetworkCategory, EnumerationEndsAtTheFirstErrorOrEmptyAnswer) {
  struct Case {
    const char* name;
    std::deque<Answer> answers;
    const char* summary;
    size_t calls;
  };
  const Resource a{"F:", "\\\\a\\x", "Prov A"};
  const Case cases[] = {
      {"no resources at all", {}, "Network:\t\n", 1},
      // A success without entries would be answered the same way again.
      {"success with no entries", {{NO_ERROR, {}}, {NO_ERROR, {a}}}, "Network:\t\n", 1},
      {"more data", {{NO_ERROR, {a}}, {ERROR_MORE_DATA, {}}, {NO_ERROR, {a}}}, "Network:\tProv A\n", 2},
      {"provider failure", {{ERROR_EXTENDED_ERROR, {}}}, "Network:\t\n", 1},
      // A record without a provider name neither names nor heads a group.
      {"no provider name", {{NO_ERROR, {{"F:", "\\\\a\\x", nullptr}}}, {NO_ERROR, {a}}}, "Network:\tProv A\n", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeNetwork net;
    net.answers = c.answers;
    EXPECT_EQ(NetworkText(net, 1), c.summary);
    EXPECT_EQ(net.countsAsked.size(), c.calls);
  }
  FakeNetwork net;
  net.sockets = net.dialUp = false;
  net.haveTable = false;
  net.answers = {{NO_ERROR, {{"F:", "\\\\a\\x", nullptr}}}};
  std::string text = NetworkText(net, 0);
  EXPECT_NE(text.find("\n\n\t\\\\a\\x (F:) \n\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("@3\n"), std::string::npos) << "no empty heading: " << text;
}

TEST(NetworkCategory, MissingProviderOrFailingOpen) {
  FakeNetwork net;
  net.provider = false;
  EXPECT_EQ(NetworkText(net, 0), "");
  EXPECT_EQ(NetworkText(net, 1), "");
  net.provider = true;
  net.openResult = ERROR_NO_NETWORK;
  EXPECT_EQ(NetworkText(net, 0), "\n@3Network:\t\n");
  EXPECT_EQ(NetworkText(net, 1), "\n@3Network:\t\n");
  EXPECT_TRUE(net.countsAsked.empty());
}

// The computer name always gets the whole buffer, whatever size a failing
// user-name query reported.
TEST(NetworkCategory, ComputerNameGetsTheWholeBuffer) {
  for (DWORD reported : {0u, 3u, 300u, 0xFFFFFFFFu}) {
    FakeNetwork net;
    net.userResult = ERROR_MORE_DATA;
    net.userSizeReported = reported;
    net.computer = std::string(200, 'C');
    net.sockets = net.dialUp = false;
    std::string text = NetworkText(net, 0);
    EXPECT_EQ(net.computerSizeGiven, 255u);
    EXPECT_EQ(text.find("@3User Name"), std::string::npos);
    EXPECT_EQ(text.rfind("\n@3Computer Name\n\t" + net.computer + "\n\n", 0), 0u) << text;
  }
}

TEST(NetworkAdapters, InterfaceTableEdges) {
  Fixture reg;
  reg.String("SYSTEM\\CurrentControlSet\\Control\\Network\\{C}\\{AB}\\Connection", "PnpInstanceID", "ROOT\\NET\\1");
  reg.String("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\NET\\1", "DeviceDesc", "Adapter One");
  // A name that fills all 128 characters, with the identifier at its end.
  std::wstring longName = std::wstring(124, L'x') + L"{AB}";
  struct Case {
    const char* name;
    bool haveTable;
    std::vector<Interface> list;
    LONG count;
    const char* text;
  };
  const Case cases[] = {
      {"no library or table", false, {}, 0, "@3Network Adapters\t\n\n"},
      {"no interfaces", true, {}, 0, "@3Network Adapters\t\n\n"},
      {"a name without braces", true, {{1, L"{AB"}}, 1, "@3Network Adapters\t\n"},
      {"a full-length name", true, {{1, longName}}, 1, "@3Network Adapters\t\n\tAdapter One\n"},
      // A count beyond the table's size reads only what is there.
      {"count beyond the table", true, {{1, L"x{AB}y"}}, 1000, "@3Network Adapters\t\n\tAdapter One\n"},
      {"negative count", true, {{1, L"{AB}"}}, -5, "@3Network Adapters\t\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeNetwork net;
    net.machine = reg.root();
    if (c.haveTable) net.SetTable(c.list, c.count);
    StringSink out;
    WriteNetAdaptersByInterface(out, net);
    EXPECT_EQ(out.text, c.text);
  }
  EXPECT_EQ(ConnectionIdOfInterface("\\DEVICE\\TCPIP_{1-2}tail"), "{1-2}");
  EXPECT_EQ(ConnectionIdOfInterface("no braces"), "no braces");
  EXPECT_EQ(ConnectionIdOfInterface("open {only"), "{only");
  EXPECT_EQ(ConnectionIdOfInterface("close} only"), "close}");
}

// Windows 9x: the bindings of every adapter of class Net under the three
// branches, each group after an empty line.
TEST(NetworkBindings, Windows9xGroupsByBranch) {
  Fixture reg;
  reg.String("Enum\\Root\\Net\\0000", "Class", "Net");
  reg.String("Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
  reg.String("Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0000", "");
  reg.String("Enum\\Root\\Net\\0000\\Bindings", "\\0003", "");          // begins with a backslash
  reg.String("Enum\\Root\\Net\\0000\\Bindings", "NOBACKSLASH", "");     // no instance part
  reg.String("Enum\\Root\\Net\\0000\\Bindings", "(Default)", "");
  reg.String("Enum\\Root\\Display\\0000", "Class", "Display");  // not a network adapter
  reg.String("Enum\\Root\\Display\\0000\\Bindings", "MSTCP\\0000", "");
  reg.String("Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B", "Class", "net");
  reg.String("Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B", "DeviceDesc", "Realtek RTL8139");
  reg.String("Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B\\Bindings", "MSTCP\\0001", "");
  reg.String("Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B\\Bindings", "NWLINK\\0000", "");
  reg.String("Enum\\Network\\MSTCP\\0000", "DeviceDesc", "TCP/IP");
  reg.String("Enum\\Network\\MSTCP\\0001", "DeviceDesc", "TCP/IP");

  FakeNetwork net;
  net.version = 0xC0000A04;  // Windows 98
  net.machine = reg.root();
  net.sockets = net.dialUp = false;
  std::string text = NetworkText(net, 0);
  EXPECT_NE(text.find("\n\n@3Installed Network Components / Bindings\t\n"
                      "\tTCP/IP -> Dial-Up Adapter\n"
                      "\n"
                      "\tTCP/IP -> Realtek RTL8139\n"
                      "\t -> Realtek RTL8139\n"
                      "\n"
                      "Windows Sockets\tN/A\n"),
            std::string::npos)
      << text;

  Fixture empty;
  net.machine = empty.root();
  EXPECT_NE(NetworkText(net, 0).find("\n@3Installed Network Components / Bindings\tN/A\n\n"), std::string::npos);
}

// Windows NT 4: services and protocols from SOFTWARE\Microsoft, adapters
// from NetworkCards, with the visibility rules of each component.
TEST(NetworkNt4, ComponentsAndTheirVisibility) {
  Fixture reg;
  auto component = [&](const std::string& name, const char* type, const char* title) {
    std::string key = "SOFTWARE\\Microsoft\\" + name + "\\CurrentVersion";
    reg.String(key, "SoftwareType", type);
    reg.String(key, "Title", title);
    reg.Key(key + "\\NetRules");
    return key;
  };
  component("LanmanServer", "service", "Server");
  reg.Dword(component("Hidden7F", "service", "Hidden by support"), "OperationsSupport", 0x7F);
  reg.Dword("SOFTWARE\\Microsoft\\Hidden7F\\CurrentVersion", "Hidden", 0);
  reg.Dword(component("Shown80", "service", "Shown by support"), "OperationsSupport", 0x80);
  reg.Dword(component("HiddenFlag", "service", "Hidden by flag"), "Hidden", 1);
  reg.String("SOFTWARE\\Microsoft\\NoRules\\CurrentVersion", "SoftwareType", "service");
  reg.String("SOFTWARE\\Microsoft\\NoRules\\CurrentVersion", "Title", "Without NetRules");
  component("Tcpip", "TRANSPORT", "TCP/IP Protocol");
  component("NetBT", "driver", "Not a protocol");

  FakeNetwork net;
  net.version = 0x05650004;  // NT 4.0
  net.machine = reg.root();
  const std::string services =
      "@3Network Services\t\n"
      "\tServer\n"
      "\tShown by support\n"
      "\n"
      "@3Network Protocols\t\n"
      "\tTCP/IP Protocol\n"
      "\n";
  StringSink out;
  WriteNt4NetComponents(out, net);
  EXPECT_EQ(out.text, services + "@3Network Adapters\tN/A\n");

  const std::string cards = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
  reg.String(cards + "1", "Title", "Novell NE2000 Adapter");
  reg.Key(cards + "1\\NetRules");
  reg.String(cards + "2", "Title", "Without NetRules");
  StringSink withCards;
  WriteNt4NetComponents(withCards, net);
  EXPECT_EQ(withCards.text, services + "@3Network Adapters\t\n\tNovell NE2000 Adapter\n");

  // In the category, under the user and computer lines.
  net.sockets = net.dialUp = false;
  std::string text = NetworkText(net, 0);
  EXPECT_NE(text.find("\tQUARRY\n\n" + services + "@3Network Adapters\t\n\tNovell NE2000 Adapter\n\n"),
            std::string::npos)
      << text;
}

// ---- Windows Sockets and Dial-Up Networking ---------------------------------------

TEST(Winsock, SectionAndSummaryLine) {
  struct Case {
    const char* name;
    bool bound;
    int startup;
    const char* section;
    const char* summary;
  };
  const Case cases[] = {
      {"started", true, 0, nullptr, "Windows Sockets:\tWinSock 2.0\n"},
      {"unbound", false, 0, "Windows Sockets\tN/A\n\n", "Windows Sockets:\tN/A\n"},
      {"start-up fails", true, WSAVERNOTSUPPORTED, "@3Windows Sockets\tN/A\n\n", "Windows Sockets:\tN/A\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeNetwork net;
    net.sockets = c.bound;
    net.startup = c.startup;
    net.SetSockets("WinSock 2.0", "Running", 32767, 65467);
    StringSink section, summary;
    WriteWinsockInfo(section, 0, net);
    WriteWinsockInfo(summary, 1, net);
    EXPECT_EQ(section.text, c.section ? c.section : kSocketsSection);
    EXPECT_EQ(summary.text, c.summary);
    EXPECT_EQ(net.cleanups, c.bound && c.startup == 0 ? 2 : 0) << "clean-up only after a start-up";
  }
  // A description that fills its whole field (no terminating zero) stays
  // within the field.
  FakeNetwork net;
  std::memset(net.wsa.szDescription, 'D', sizeof(net.wsa.szDescription));
  std::memset(net.wsa.szSystemStatus, 'S', sizeof(net.wsa.szSystemStatus));
  StringSink summary;
  WriteWinsockInfo(summary, 1, net);
  EXPECT_EQ(summary.text, "Windows Sockets:\t" + std::string(sizeof(net.wsa.szDescription), 'D') + "\n");
}

TEST(DialUp, PhonebookAndConnections) {
  FakeNetwork net;
  net.entries = {"Office", "Home ISP"};
  net.connections = {{"Home ISP", "Standard Modem"}};
  StringSink out;
  WriteDialUpInfo(out, 0, net);
  EXPECT_EQ(out.text,
            "@3Dial-Up Networking\n"
            "@3\t[Phonebook]\n"
            "\tOffice\n"
            "\tHome ISP\n"
            "\n"
            "@3\t[Active Connection]\n"
            "\tHome ISP (Standard Modem) \n"
            "\n");
  StringSink summary;
  WriteDialUpInfo(summary, 1, net);
  EXPECT_EQ(summary.text, "");

  FakeNetwork none;
  StringSink empty;
  WriteDialUpInfo(empty, 0, none);
  EXPECT_EQ(empty.text, kDialUpNone);

  // A failing enumeration leaves its part out, heading included.
  FakeNetwork failing;
  failing.entriesResult = ERROR_INSUFFICIENT_BUFFER;
  failing.connections = {{"Office", "Modem"}};
  StringSink partial;
  WriteDialUpInfo(partial, 0, failing);
  EXPECT_EQ(partial.text, "@3Dial-Up Networking\n@3\t[Active Connection]\n\tOffice (Modem) \n\n");

  FakeNetwork unbound;
  unbound.dialUp = false;
  StringSink nothing;
  WriteDialUpInfo(nothing, 0, unbound);
  EXPECT_EQ(nothing.text, "");
}

// A count beyond what the block holds lists only the records in the block.
TEST(DialUp, CountBeyondTheBlockStaysInside) {
  FakeNetwork net;
  net.entries = {"Only"};
  net.entriesCount = 100000;
  net.connections = {};
  StringSink out;
  WriteDialUpInfo(out, 0, net);
  size_t fits = kNetBlockSize / sizeof(RASENTRYNAMEA);
  size_t lines = 0;
  for (char c : out.text) lines += c == '\n';
  // Heading, phonebook heading, the records of one block, an empty line,
  // then the connections' three lines and an empty line.
  EXPECT_EQ(lines, 2 + fits + 1 + 3);
  EXPECT_EQ(out.text.rfind("@3Dial-Up Networking\n@3\t[Phonebook]\n\tOnly\n\t\n", 0), 0u);
}
