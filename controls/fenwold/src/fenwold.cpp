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

ctlfw::FieldTable<DiskValues> CFenwoldRunner::Fields() const {
  const ctlfw::Switches& o = Options();
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  using V = DiskValues;
  // The three sizes bound one another: AfterSettingsRead brings them into
  // range together, on their unsigned values.
  const ctlfw::SettingRange sizes{};
  ctlfw::FieldTable<V> table;
  if (o.floppy) {
    // -Check runs with sizes of its own: the configured ones stay as they are.
    table = {
        {&V::largest, {"nFloppyLargestSize", 1280000, sizes, !o.check}},
        {&V::increment, {"nFloppyIncrement", 5000, sizes, !o.check}},
        {&V::incrementMax, {"nFloppyIncrementMax", 160000, sizes, !o.check}},
        {&V::sequentialEnable, {"FloppySequentialTestEnable", 1, kSwitch}},
        {&V::randomEnable, {"FloppyRandomTestEnable", 1, kSwitch}},
    };
  } else {
    table = {
        {&V::largest, {"nLargestSize", 20480000, sizes, !o.check}},
        {&V::increment, {"nIncrement", 5000, sizes, !o.check}},
        {&V::incrementMax, {"nIncrementMax", 640000, sizes, !o.check}},
        {&V::sequentialEnable, {"DiskSequentialTestEnable", 1, kSwitch}},
        {&V::randomEnable, {"DiskRandomTestEnable", 1, kSwitch}},
        // 16 KB reads per block size.
        {&V::baseLoop, {"BaseLoop", 2000, InRange(1, 100000)}},
        {&V::fullStrokeTestCount, {"FullStrokeTestCount", 10, InRange(1, 10000)}},
        {&V::randomSeekTestCount, {"RandomSeekTestCount", 10, InRange(1, 10000)}},
        {&V::benchTestSizeMB, {"BenchTestSizeMB", 4, InRange(1, 4096)}},
        {&V::benchRandomTestSizeMB, {"BenchRandomTestSizeMB", 16, InRange(1, 4096)}},
        {&V::randomRatio, {"RandomRatio", 50, InRange(0, 100)}},
    };
  }
  table.push_back({&V::nThread, {"nThread", 1, ctlfw::ClampedTo(1, 3)}});
  return table;
}

void CFenwoldRunner::AfterSettingsRead() {
  const ctlfw::Switches& o = Options();
  const auto table = Fields();
  const DiskValues v = FieldValues(table);
  // The registry holds 32-bit values: read them as unsigned and clamp in 64 bits.
  auto raw = [](int value) { return (int64_t)(uint32_t)value; };
  disktest::SizeSettings s =
      disktest::ClampSizes(o.floppy, o.check, raw(v.largest), raw(v.increment), raw(v.incrementMax));
  SetField(table, &DiskValues::largest, (int)s.largest);
  SetField(table, &DiskValues::increment, (int)s.increment);
  SetField(table, &DiskValues::incrementMax, (int)s.incrementMax);

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

std::vector<int DiskValues::*> CFenwoldRunner::EnableFields() const {
  return {&DiskValues::sequentialEnable, &DiskValues::randomEnable};
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
