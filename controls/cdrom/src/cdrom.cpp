// The CD-ROM control's runner values: its settings, their ranges and the
// write-back rules, titles, icons and the Information page.
#include "runner.h"

#include "appkit/registry.h"
#include "appkit/text.h"
#include "cdtest/ids.h"
#include "testpage.h"

namespace {
const wchar_t kDefaultTestFile[] = L"E:\\testdata\\test6\\test1.dat";
}

std::vector<ctlfw::SettingDef> CCdromRunner::SettingTable() const {
  // The settings that divide, or that size a buffer or a count, come to the
  // nearer bound of a range where every step stays defined (a run of no pass
  // would find no error without testing).
  using ctlfw::ClampedTo;
  using ctlfw::kSwitch;
  return {
      {"Loop", 1, ClampedTo(1, 100000)},
      // Written back by BeforeSettingsWritten: only when TestFileMinSizeK is 0.
      {"BufferMultiple", 200, ClampedTo(1, 4096), false},
      {"TestFileMinSizeM", 5, ClampedTo(0, 4000)},
      {"TestFileMaxSizeM", 30, ClampedTo(0, 4000)},
      {"DiskSize", 500, ClampedTo(0, 8000)},
      {"ClearBufferBlocks", 800, ClampedTo(0, 65535)},
      {"SeekTestNum", 80, ClampedTo(1, 10000)},
      // -Check runs without it and leaves the stored value alone.
      {"FullStrokeTestEnable", 0, kSwitch, !Options().check},
      {"ReadDataTestEnable", 1, kSwitch},
      {"TransferRateTestEnable", 1, kSwitch},
      {"RandomAccessTestEnable", 1, kSwitch},
      {"ForceFullStroke", 0, kSwitch},
      {"ForceRandom", 0, kSwitch},
      // 1 GB at most.
      {"TestFileMinSizeK", 0, ClampedTo(0, 1048576)},
  };
}

std::vector<std::string> CCdromRunner::EnableSettings() const {
  return {"ReadDataTestEnable", "TransferRateTestEnable", "FullStrokeTestEnable", "RandomAccessTestEnable"};
}

void CCdromRunner::AfterSettingsRead() {
  if (Options().check) SetSetting("FullStrokeTestEnable", 0);

  std::wstring key = SettingsKey();
  testFile_ = appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"TestFile", kDefaultTestFile));
  selectedDrive_ = appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"SelectedDrive", L""));
}

void CCdromRunner::BeforeSettingsWritten() const {
  std::wstring key = SettingsKey();
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"TestFile", appkit::Widen(testFile_));
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"SelectedDrive", appkit::Widen(selectedDrive_));
  if (Setting("TestFileMinSizeK") == 0)
    appkit::RegWriteDword(HKEY_CURRENT_USER, key, L"BufferMultiple", (DWORD)Setting("BufferMultiple"));
}

cdtest::RunConfig CCdromRunner::MakeRunConfig(cdtest::ReadSectorsFn reader) const {
  cdtest::RunConfig c;
  c.settings.loop = Setting("Loop");
  c.settings.bufferMultiple = Setting("BufferMultiple");
  c.settings.testFileMinSizeM = Setting("TestFileMinSizeM");
  c.settings.testFileMaxSizeM = Setting("TestFileMaxSizeM");
  c.settings.diskSize = Setting("DiskSize");
  c.settings.clearBufferBlocks = Setting("ClearBufferBlocks");
  c.settings.seekTestNum = Setting("SeekTestNum");
  c.settings.testFileMinSizeK = Setting("TestFileMinSizeK");
  c.readData = Setting("ReadDataTestEnable") != 0;
  c.transferRate = Setting("TransferRateTestEnable") != 0;
  c.fullStroke = Setting("FullStrokeTestEnable") != 0;
  c.randomAccess = Setting("RandomAccessTestEnable") != 0;
  c.forceFullStroke = Setting("ForceFullStroke") != 0;
  c.forceRandom = Setting("ForceRandom") != 0;
  const ctlfw::Switches& o = Options();
  c.autoRun = o.autoRun;
  c.check = o.check;
  c.bench = o.bench;
  c.testFile = testFile_;
  c.reader = reader;
  c.texts = Resources();
  return c;
}

ctlfw::RunnerResourceIds CCdromRunner::ResourceIds() const {
  return {IDS_CD_TITLE, IDS_CD_TITLE, IDI_CDROM, IDS_CD_INFO};
}

std::unique_ptr<ctlfw::TestPage> CCdromRunner::CreateTestPage() { return cdtest::MakeCdromTestPage(*this); }
