#include "bios.h"

#include <cstring>

#include "dmi_resource.h"
#include "format.h"
#include "gather.h"
#include "smbios.h"
#include "texts.h"

namespace quorrel {

namespace {

constexpr size_t kLineBuffer = 1024;

class MachineBiosPlatform : public BiosPlatform {
 public:
  explicit MachineBiosPlatform(const SystemBindings& sys) : sys_(sys) {}
  bool Windows9x() override { return (::GetVersion() & 0x80000000u) != 0; }
  bool RegistryString(const std::string& key, const std::string& value, std::string* out) override {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    char buf[kLineBuffer + 2] = {};
    DWORD size = kLineBuffer, type = 0;
    LONG r = ::RegQueryValueExA(k, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(k);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ)) return false;
    buf[size < kLineBuffer ? size : kLineBuffer] = 0;
    *out = buf;  // a multi-string's first string
    return true;
  }
  bool FirstSubkey(const std::string& key, std::string* name) override {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    char buf[256] = {};
    DWORD n = sizeof(buf);
    LONG r = ::RegEnumKeyExA(k, 0, buf, &n, nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(k);
    if (r != ERROR_SUCCESS) return false;
    *name = std::string(buf, n);
    return true;
  }
  GetQuorrelFn SystemAccess() override { return sys_.getQuorrel; }
  int PnpBiosVersion(char* buffer, size_t size) override { return ReadPnpBiosVersion(buffer, size); }

 private:
  SystemBindings sys_;
};

// The registry part of both families: the key's identity value must be
// there and not empty.
int WriteBiosFromKey(InfoSink& out, int mode, BiosPlatform& p, const std::string& key, const char* nameValue,
                     const char* dateValue, const char* versionValue, UINT firstId) {
  std::string name, date, version;
  if (!p.RegistryString(key, nameValue, &name) || name.empty()) return 0;
  p.RegistryString(key, dateValue, &date);
  if (mode == 1) {
    out.Text(BiosLine(Str(firstId), name, date));
    return 1;
  }
  out.Text(BiosLine(Str(firstId + 1), date));
  out.Text(BiosLine(Str(firstId + 2), name));
  p.RegistryString(key, versionValue, &version);
  out.Text(BiosLine(Str(firstId + 3), version));
  return 1;
}

}  // namespace

std::unique_ptr<BiosPlatform> MakeMachineBiosPlatform(const SystemBindings& sys) {
  return std::make_unique<MachineBiosPlatform>(sys);
}

std::string BiosLine(const std::string& format, const std::string& a, const std::string& b) {
  // Room for the values: the buffer less the format's own text and the NUL.
  size_t room = kLineBuffer - 1 > format.size() ? kLineBuffer - 1 - format.size() : 0;
  std::string va = a.substr(0, b.empty() ? room : room / 2);
  std::string vb = b.substr(0, room - va.size());
  std::string line = FormatA(format.c_str(), va.c_str(), vb.c_str());
  if (line.size() > kLineBuffer - 1) {
    line.resize(kLineBuffer - 2);
    line += infofile::kLineEnd;
  }
  return line;
}

int WriteBiosFromEnumRoot(InfoSink& out, int mode, BiosPlatform& p) {
  std::string sub;
  const std::string root = "Enum\\Root\\*PNP0C01";
  if (!p.FirstSubkey(root, &sub)) return 0;
  return WriteBiosFromKey(out, mode, p, root + "\\" + sub, "BIOSName", "BIOSDate", "BIOSVersion", IDS_BIOS_LINE_9X);
}

int WriteBiosFromHardwareKey(InfoSink& out, int mode, BiosPlatform& p) {
  return WriteBiosFromKey(out, mode, p, "HARDWARE\\DESCRIPTION\\System", "Identifier", "SystemBiosDate",
                          "SystemBiosVersion", IDS_BIOS_LINE_NT);
}

void WriteBiosInfo(InfoSink& out, int mode, const std::string& dmiLine, BiosPlatform& p) {
  if (mode == 0) out.SpacedHeading(Str(IDS_BIOS_INFORMATION));
  bool nine = p.Windows9x();
  int r = nine ? WriteBiosFromEnumRoot(out, mode, p) : WriteBiosFromHardwareKey(out, mode, p);
  if (mode == 1 && r == 1) return;
  if (GetQuorrelFn fn = p.SystemAccess()) {
    if (AskSystemAccess(fn, r == 1 ? kInfoClassBiosExtra : kInfoClassBios, mode == 1))
      out.CompleteLines(InfoReplyBuffer());
  }
  if (!nine) {
    // The shared start-up buffer is not used on NT otherwise: it holds the
    // version line of this call only.
    char* buf = StartupInfoBuffer();
    std::memset(buf, 0, kStartupInfoBufferSize);
    if (p.PnpBiosVersion(buf, kStartupInfoBufferSize)) {
      buf[kStartupInfoBufferSize - 1] = 0;
      out.Text(buf);
    }
  }
  if (!dmiLine.empty()) {
    out.Line(dmiLine);
  }
  if (mode == 0) out.EndLine();
}

void WritePciInfo(InfoSink& out, BiosPlatform& p) {
  out.SpacedHeading(Str(IDS_PCI_BIOS_INFORMATION));
  GetQuorrelFn fn = p.SystemAccess();
  if (!fn) {
    out.Text(Str(IDS_NOT_AVAILABLE));
    return;
  }
  if (!AskSystemAccess(fn, kInfoClassPciBios)) return;
  out.CompleteLines(InfoReplyBuffer());
  out.SpacedHeading(Str(IDS_PCI_DEVICES_INFORMATION));
  if (AskSystemAccess(fn, kInfoClassPciDevices)) out.CompleteLines(InfoReplyBuffer());
  out.EndLine();
}

void WritePnpInfo(InfoSink& out, BiosPlatform& p) {
  if (GetQuorrelFn fn = p.SystemAccess())
    if (AskSystemAccess(fn, kInfoClassPnp)) out.CompleteLines(InfoReplyBuffer());
  out.EndLine();
}

void WriteBiosInfo(InfoSink& out, int mode, const std::string& dmiLine, const SystemBindings& sys) {
  WriteBiosInfo(out, mode, dmiLine, *MakeMachineBiosPlatform(sys));
}
void WritePciInfo(InfoSink& out, const SystemBindings& sys) { WritePciInfo(out, *MakeMachineBiosPlatform(sys)); }
void WritePnpInfo(InfoSink& out, const SystemBindings& sys) { WritePnpInfo(out, *MakeMachineBiosPlatform(sys)); }

}  // namespace quorrel
