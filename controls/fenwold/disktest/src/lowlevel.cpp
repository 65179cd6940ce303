#include "disktest/lowlevel.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "appkit/text.h"
#include "disktest/ids.h"
#include "disktest/rules.h"

namespace disktest {

namespace {

constexpr WORD kReadOne = 0x0201, kVerifyOne = 0x0401, kSeek = 0x0C01;

class Verify {
 public:
  Verify(bool floppy, const SystemAccess& a, VerifyHost& h, HINSTANCE texts)
      : floppy_(floppy), a_(a), h_(h), texts_(texts), buffer_(kSystemAccessBufferSize, 0) {}
  void Run();

 private:
  std::string T(UINT id) const { return appkit::Narrow(appkit::LoadStr(id, texts_)); }
  bool Ask(WORD infoClass, uint8_t drive, bool alsoByte2) {
    std::fill(buffer_.begin(), buffer_.end(), 0);
    buffer_[0] = (char)drive;
    if (alsoByte2) buffer_[2] = (char)drive;
    bool ok = a_.getQuorrel(infoClass, (WORD)buffer_.size(), buffer_.data()) != 0;
    buffer_.back() = 0;
    return ok;
  }
  // The drive's geometry; false (a failed query) also for a 0 in it.
  bool Geometry(WORD infoClass, uint8_t drive, bool alsoByte2, disktest::Geometry* g) {
    const std::string& label = floppy_ ? a_.floppyLabel : a_.diskLabel;
    return Ask(infoClass, drive, alsoByte2) && FindGeometry(buffer_.data(), buffer_.size(), label, g) &&
           g->cylinders && g->sectors && g->heads;
  }
  // One test: its title and a placeholder, one line for the latest step,
  // the first failure ends it; all passed leaves only the PASSED line.
  void Test(UINT title, UINT passed, uint32_t steps, const std::function<bool(uint32_t, std::string*)>& step,
            int progressAfter);
  void Tests(uint8_t drive, const disktest::Geometry& g);

  bool floppy_;
  const SystemAccess& a_;
  VerifyHost& h_;
  HINSTANCE texts_;
  std::vector<char> buffer_;
  char sector_[512];
};

void Verify::Test(UINT title, UINT passed, uint32_t steps, const std::function<bool(uint32_t, std::string*)>& step,
                  int progressAfter) {
  int titleAt = h_.AddLine(T(title));
  int stepAt = h_.AddLine("");
  h_.Erase(false);
  bool allPassed = true;
  for (uint32_t k = 0; k < steps; ++k) {
    std::string line;
    if (!step(k, &line)) {
      // The placeholder goes when no step passed before.
      if (k == 0) h_.DeleteLine(stepAt);
      h_.AddLine(line);
      allPassed = false;
      break;
    }
    h_.DeleteLine(stepAt);
    h_.AddLine(line);
  }
  if (allPassed) {
    h_.DeleteLine(stepAt);
    h_.DeleteLine(titleAt);
    h_.AddLine(T(passed));
  }
  h_.Erase(true);
  h_.Progress(progressAfter);
}

void Verify::Tests(uint8_t drive, const disktest::Geometry& g) {
  auto request = [&](uint32_t cylinder, uint32_t head, uint32_t sector, WORD ax) {
    return a_.readSector(drive, cylinder & 0xFFFF, head & 0xFFFF, sector & 0xFF, ax, sector_, 512) != 0;
  };
  Test(IDS_DISK_VERIFY_TITLE, IDS_DISK_VERIFY_PASSED, g.cylinders,
       [&](uint32_t c, std::string* line) {
         bool ok = request(c, 0, 1, kVerifyOne);
         *line = appkit::FormatA(T(ok ? IDS_DISK_TRACK_OK : IDS_DISK_TRACK_FAILED).c_str(), (int)c);
         return ok;
       },
       15);
  Test(IDS_DISK_HEAD_TITLE, IDS_DISK_HEAD_PASSED, g.heads,
       [&](uint32_t h, std::string* line) {
         bool ok = request(1 < g.cylinders ? 1 : 0, h, 1, kReadOne);
         *line = appkit::FormatA(T(ok ? IDS_DISK_HEAD_OK : IDS_DISK_HEAD_FAILED).c_str(), (int)h);
         return ok;
       },
       35);
  std::vector<uint32_t> funnel = FunnelOrder(g.cylinders);
  Test(IDS_DISK_FUNNEL_TITLE, IDS_DISK_FUNNEL_PASSED, (uint32_t)funnel.size(),
       [&](uint32_t k, std::string* line) {
         bool ok = request(funnel[k], 0, 1, kReadOne);
         *line = appkit::FormatA(T(ok ? IDS_DISK_TRACK_OK : IDS_DISK_TRACK_FAILED).c_str(), (int)funnel[k]);
         return ok;
       },
       50);
  // Random seeks inside the geometry: cylinders and heads count from 0,
  // sectors from 1.
  Test(IDS_DISK_RANDOM_TITLE, IDS_DISK_RANDOM_PASSED, g.cylinders / 2,
       [&](uint32_t, std::string* line) {
         uint32_t c = (uint32_t)(std::rand() & 0xFFFF) % g.cylinders;
         uint32_t h = (uint32_t)(std::rand() & 0xFFFF) % g.heads;
         uint32_t s = (uint32_t)(std::rand() & 0xFFFF) % g.sectors + 1;
         bool ok = request(c, h, s, kSeek);
         *line = appkit::FormatA(T(ok ? IDS_DISK_RANDOM_OK : IDS_DISK_RANDOM_FAILED).c_str(), (int)c, (int)s, (int)h);
         return ok;
       },
       100);
}

void Verify::Run() {
  uint8_t first = floppy_ ? 0 : 0x80;
  WORD geometryClass = floppy_ ? 3 : 4;
  if (!Ask(6, first, false)) return;
  uint32_t count = ParseDriveCount(buffer_.data(), buffer_.size()) & 0xFFFF;
  if (count == 0) {
    h_.Beep();
    return;
  }
  uint8_t n = first;
  for (uint32_t i = 0;;) {
    disktest::Geometry g;
    if (!Geometry(geometryClass, n, false, &g)) {
      h_.Beep();
      return;
    }
    h_.Progress(0);
    h_.AddLine(appkit::FormatA(T(IDS_DISK_DRIVE_NO).c_str(), (int)i));
    if (SkipsVerify(TranslatedGeometry(g))) {
      h_.AddLine(T(IDS_DISK_VERIFY_SKIPPED));
    } else {
      if (!Geometry(geometryClass, n, true, &g)) {
        h_.Beep();
        return;
      }
      Tests(n, g);
    }
    if (count < 2) return;
    if (floppy_) {
      if (n == 1) return;
      n = 1;
      i = 1;
    } else {
      ++i;
      ++n;
      if (i >= count || n > 0x84) return;
    }
    h_.AddLine("");
  }
}

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  if (!::QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return 0;
  return (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
}

}  // namespace

void RunVerifyTests(bool floppy, const SystemAccess& access, VerifyHost& host, HINSTANCE texts) {
  if (!access.Bound()) return;
  Verify(floppy, access, host, texts).Run();
}

double MeasureAccessTime9x(uint8_t unit, const SystemAccess& a) {
  if (!a.Bound() || unit == 0) return -1;
  std::vector<char> buffer(kSystemAccessBufferSize, 0);
  buffer[0] = (char)unit;
  if (!a.getQuorrel(4, (WORD)buffer.size(), buffer.data())) return -1;
  buffer.back() = 0;
  Geometry g;
  if (!FindGeometry(buffer.data(), buffer.size(), a.diskLabel, &g)) return -1;
  g = TranslatedGeometry(g);
  // A third of the disk apart, in at least one round.
  if (g.cylinders < 6) return -1;
  uint32_t distance = g.cylinders / 3 - 1;
  uint32_t rounds = distance < 100 ? distance : 100;
  char sector[512];
  double total = 0;
  for (uint32_t k = 0; k < rounds; ++k) {
    if (!a.readSector(unit, k, 0, 1, kReadOne, sector, 512)) return -1;
    LARGE_INTEGER t0, t1;
    ::QueryPerformanceCounter(&t0);
    if (!a.readSector(unit, k + distance, 0, 1, kReadOne, sector, 512)) return -1;
    ::QueryPerformanceCounter(&t1);
    total += Seconds(t0, t1);
  }
  double ms = total * 1000.0 / rounds;
  return ms > 0 ? ms : -1;
}

uint8_t GetInt13Unit(int drive, Int13Device& device, HINSTANCE texts) {
  HANDLE h = device.Open();
  if (h == INVALID_HANDLE_VALUE) return 0;
  static_assert(sizeof(DosRegisters) == 28, "the DOS IOCTL's register block");
  uint8_t record[16];
  auto ask = [&](DWORD ecx, DosRegisters* r) {
    std::memset(record, 0, sizeof record);
    record[0] = 16;
    *r = DosRegisters{};
    r->ebx = (DWORD)drive;
    r->edx = (DWORD)(uintptr_t)record;
    r->ecx = ecx;
    r->eax = 0x440D;
    r->flags = 1;  // carry preset
    return device.Call(h, r, record);
  };
  DosRegisters r;
  BOOL ok = ask(0x486F, &r);
  uint8_t unit = record[3];
  if (!ok || (r.flags & 1) || unit == 0 || unit == 0xFF) {
    ok = ask(0x086F, &r);
    unit = record[3];
    // The last value: EAX, the DOS error code when carry is set.
    device.RetryBox(appkit::Widen(appkit::FormatA(appkit::Narrow(appkit::LoadStr(IDS_DISK_UNIT_FAILED, texts)).c_str(),
                                                  drive, (int)ok, (int)unit, (int)(intptr_t)h, (int)record[0],
                                                  (int)record[1], (int)record[2], (unsigned long)r.eax)));
  }
  device.Close(h);
  // 0xFF names no unit either.
  if (!ok || (r.flags & 1) || unit == 0xFF) return 0;
  return unit;
}

uint8_t GetInt13Unit(int drive, HINSTANCE texts, const std::function<void(const std::wstring&)>& retryBox) {
  class Vwin32 : public Int13Device {
   public:
    explicit Vwin32(const std::function<void(const std::wstring&)>& box) : box_(box) {}
    HANDLE Open() override {
      return ::CreateFileW(L"\\\\.\\vwin32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    BOOL Call(HANDLE device, DosRegisters* r, uint8_t*) override {
      DWORD n = 0;
      return ::DeviceIoControl(device, 1, r, sizeof *r, r, sizeof *r, &n, nullptr);
    }
    void Close(HANDLE device) override { ::CloseHandle(device); }
    void RetryBox(const std::wstring& text) override {
      if (box_) box_(text);
    }

   private:
    const std::function<void(const std::wstring&)>& box_;
  };
  Vwin32 device(retryBox);
  return GetInt13Unit(drive, device, texts);
}

}  // namespace disktest
