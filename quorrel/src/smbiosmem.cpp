// Physical memory for the SMBIOS reader: the MAPMEM driver, or the BIOS area
// laid out from the system's firmware table when the driver is missing.
#include <cstring>

#include "smbios.h"

namespace quorrel {

namespace {

// The bytes of a fixed view; only ranges inside F0000h-FFFFFh exist.
class BiosAreaMemory : public PhysicalMemory {
 public:
  explicit BiosAreaMemory(std::vector<uint8_t> view) : view_(std::move(view)) {}
  bool Open() override { return true; }
  bool Read(uint32_t address, uint32_t length, std::vector<uint8_t>* out) override {
    if (address < kBiosAreaBase) return false;
    uint64_t off = address - kBiosAreaBase;
    if (off + length > view_.size()) return false;
    out->assign(view_.begin() + (size_t)off, view_.begin() + (size_t)(off + length));
    return true;
  }
  void Close() override {}

 private:
  std::vector<uint8_t> view_;
};

// The outside kernel driver: one map request per read, unmapped at once.
class MapMemDriver : public PhysicalMemory {
 public:
  explicit MapMemDriver(HANDLE device) : device_(device) {}
  ~MapMemDriver() override { Close(); }
  bool Open() override { return device_ != INVALID_HANDLE_VALUE; }
  bool Read(uint32_t address, uint32_t length, std::vector<uint8_t>* out) override {
    if (device_ == INVALID_HANDLE_VALUE || length == 0) return false;
    MapMemRequest req{};
    req.interfaceType = 1;  // ISA bus
    req.busNumber = 0;
    req.busAddress = address;
    req.addressSpace = 0;   // memory
    req.length = length;
    // The driver answers with the view's address in our address space: a
    // pointer's width on a 64-bit system, 32 bits on a 32-bit one.
    ULONG_PTR view = 0;
    DWORD got = 0;
    if (!::DeviceIoControl(device_, kMapMemMap, &req, sizeof(req), &view, sizeof(view), &got, nullptr) || got < 4 ||
        !view)
      return false;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(view);
    out->assign(p, p + length);
    DWORD none = 0;
    ::DeviceIoControl(device_, kMapMemUnmap, &view, got, nullptr, 0, &none, nullptr);
    return true;
  }
  void Close() override {
    if (device_ != INVALID_HANDLE_VALUE) ::CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE device_;
};

// No access at all.
class NoMemory : public PhysicalMemory {
 public:
  bool Open() override { return false; }
  bool Read(uint32_t, uint32_t, std::vector<uint8_t>*) override { return false; }
  void Close() override {}
};

typedef UINT(WINAPI* GetSystemFirmwareTableFn)(DWORD, DWORD, PVOID, DWORD);

// The SMBIOS data the system hands out, with its 8-byte header.
bool ReadFirmwareTable(std::vector<uint8_t>* data) {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto get = kernel ? reinterpret_cast<GetSystemFirmwareTableFn>(::GetProcAddress(kernel, "GetSystemFirmwareTable"))
                    : nullptr;
  if (!get) return false;
  const DWORD rsmb = ('R' << 24) | ('S' << 16) | ('M' << 8) | 'B';
  UINT size = get(rsmb, 0, nullptr, 0);
  if (size == 0 || size > (16u << 20)) return false;
  data->assign(size, 0);
  UINT got = get(rsmb, 0, data->data(), size);
  if (got == 0 || got > size) return false;
  data->resize(got);
  return true;
}

}  // namespace

std::unique_ptr<PhysicalMemory> MakeBiosAreaMemory(std::vector<uint8_t> view) {
  return std::make_unique<BiosAreaMemory>(std::move(view));
}

std::unique_ptr<PhysicalMemory> MakeMachinePhysicalMemory() {
  HANDLE device = ::CreateFileA("\\\\.\\MAPMEM", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device != INVALID_HANDLE_VALUE) return std::make_unique<MapMemDriver>(device);
  std::vector<uint8_t> data, view;
  if (ReadFirmwareTable(&data) && BuildBiosAreaFromFirmwareTable(data.data(), data.size(), &view))
    return MakeBiosAreaMemory(std::move(view));
  return std::make_unique<NoMemory>();
}

}  // namespace quorrel
