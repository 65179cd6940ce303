// Fenwold's runner values: settings and their clamps, titles, icons and the
// Information page by mode.
#include "runner.h"

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "disktest/ids.h"
#include "disktest/rules.h"
#include "testpage.h"

bool IsNetDiskModuleName(const std::wstring& fileName) {
  static const wchar_t kWord[] = L"NFENWOLD";
  if (fileName.size() < 8) return false;
  for (size_t i = 0; i < 8; ++i)
    if (towupper(fileName[i]) != kWord[i]) return false;
  return true;
}


void CFenwoldRunner::AdjustSwitches(ctlfw::Switches* s) const {
  // The module's own file, or the module program hosting it (nfenwold.mod).
  if (IsNetDiskModuleName(appkit::FileNamePart(appkit::ModulePath(OwnModule()))) ||
      IsNetDiskModuleName(appkit::FileNamePart(appkit::ModulePath(nullptr))))
    s->netDisk = true;
}

std::vector<ctlfw::SettingDef> CFenwoldRunner::SettingTable() const {
  const ctlfw::Switches& o = Options();
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  // The three sizes bound one another: AfterSettingsRead brings them into
  // range together, on their unsigned values.
  const ctlfw::SettingRange sizes{};
  std::vector<ctlfw::SettingDef> table;
  if (o.floppy) {
    // -Check runs with sizes of its own: the configured ones stay as they are.
    table = {
        {"nFloppyLargestSize", 1280000, sizes, !o.check},
        {"nFloppyIncrement", 5000, sizes, !o.check},
        {"nFloppyIncrementMax", 160000, sizes, !o.check},
        {"FloppySequentialTestEnable", 1, kSwitch},
        {"FloppyRandomTestEnable", 1, kSwitch},
    };
  } else {
    table = {
        {"nLargestSize", 20480000, sizes, !o.check},
        {"nIncrement", 5000, sizes, !o.check},
        {"nIncrementMax", 640000, sizes, !o.check},
        {"DiskSequentialTestEnable", 1, kSwitch},
        {"DiskRandomTestEnable", 1, kSwitch},
        // 16 KB reads per block size.
        {"BaseLoop", 2000, InRange(1, 100000)},
        {"FullStrokeTestCount", 10, InRange(1, 10000)},
        {"RandomSeekTestCount", 10, InRange(1, 10000)},
        {"BenchTestSizeMB", 4, InRange(1, 4096)},
        {"BenchRandomTestSizeMB", 16, InRange(1, 4096)},
        {"RandomRatio", 50, InRange(0, 100)},
    };
  }
  table.push_back({"nThread", 1, ctlfw::ClampedTo(1, 3)});
  return table;
}

void CFenwoldRunner::AfterSettingsRead() {
  const ctlfw::Switches& o = Options();
  const char* largestKey = Key("nLargestSize", "nFloppyLargestSize");
  const char* incKey = Key("nIncrement", "nFloppyIncrement");
  const char* maxKey = Key("nIncrementMax", "nFloppyIncrementMax");
  // The registry holds 32-bit values: read them as unsigned and clamp in 64 bits.
  auto raw = [&](const char* k) { return (int64_t)(uint32_t)Setting(k); };
  disktest::SizeSettings s = disktest::ClampSizes(o.floppy, o.check, raw(largestKey), raw(incKey), raw(maxKey));
  SetSetting(largestKey, (int)s.largest);
  SetSetting(incKey, (int)s.increment);
  SetSetting(maxKey, (int)s.incrementMax);

  std::wstring key = SettingsKey();
  selectedDrive_ = appkit::Narrow(appkit::RegReadString(
      HKEY_CURRENT_USER, key, appkit::Widen(Key("DiskSelectedDrive", "FloppySelectedDrive")), L""));
  netPath_ = o.netDisk ? appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"DiskSelectedPath", L"")) : "";
}

void CFenwoldRunner::BeforeSettingsWritten() const {
  std::wstring key = SettingsKey();
  appkit::RegWriteString(HKEY_CURRENT_USER, key, appkit::Widen(Key("DiskSelectedDrive", "FloppySelectedDrive")),
                         appkit::Widen(selectedDrive_));
  if (Options().netDisk) appkit::RegWriteString(HKEY_CURRENT_USER, key, L"DiskSelectedPath", appkit::Widen(netPath_));
}

std::vector<std::string> CFenwoldRunner::EnableSettings() const {
  if (Options().floppy) return {"FloppySequentialTestEnable", "FloppyRandomTestEnable"};
  return {"DiskSequentialTestEnable", "DiskRandomTestEnable"};
}

bool CFenwoldRunner::SecondMode() const { return Options().floppy; }

ctlfw::RunnerResourceIds CFenwoldRunner::ResourceIds() const {
  if (Options().floppy) return {IDS_DISK_TEST_CAPTION, IDS_DISK_FLOPPY_TITLE, IDI_FENWOLD_FLOPPY, IDS_DISK_INFO_FLOPPY};
  UINT info = Options().netDisk ? IDS_DISK_INFO_NETWORK : IDS_DISK_INFO_FIXED;
  return {IDS_DISK_TEST_CAPTION, IDS_DISK_HARD_TITLE, IDI_FENWOLD_FIXED, info};
}

std::wstring CFenwoldRunner::Caption() const {
  UINT kind = Options().floppy ? IDS_DISK_REMOVABLE : Options().netDisk ? IDS_DISK_NETWORK : IDS_DISK_FIXED;
  return appkit::LoadStr(IDS_DISK_TEST_CAPTION, Resources()) + L" - " + appkit::LoadStr(kind, Resources());
}

// A network disk's information is the network category, not the disk's.
int CFenwoldRunner::InfoCategory() const { return !Options().floppy && Options().netDisk ? 13 : TestRunner::InfoCategory(); }

ctlfw::InfoPageStyle CFenwoldRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.tabStops = {170, 260, 350, 440};
  return style;
}

std::unique_ptr<ctlfw::TestPage> CFenwoldRunner::CreateTestPage() { return disktest::MakeDiskTestPage(*this); }
