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

ctlfw::FieldTable<CdromValues> CCdromRunner::Fields() const {
  // The settings that divide, or that size a buffer or a count, come to the
  // nearer bound of a range where every step stays defined (a run of no pass
  // would find no error without testing).
  using ctlfw::ClampedTo;
  using ctlfw::kSwitch;
  return {
      {&CdromValues::loop, {"Loop", 1, ClampedTo(1, 100000)}},
      // Written back by BeforeSettingsWritten: only when TestFileMinSizeK is 0.
      {&CdromValues::bufferMultiple, {"BufferMultiple", 200, ClampedTo(1, 4096), false}},
      {&CdromValues::testFileMinSizeM, {"TestFileMinSizeM", 5, ClampedTo(0, 4000)}},
      {&CdromValues::testFileMaxSizeM, {"TestFileMaxSizeM", 30, ClampedTo(0, 4000)}},
      {&CdromValues::diskSize, {"DiskSize", 500, ClampedTo(0, 8000)}},
      {&CdromValues::clearBufferBlocks, {"ClearBufferBlocks", 800, ClampedTo(0, 65535)}},
      {&CdromValues::seekTestNum, {"SeekTestNum", 80, ClampedTo(1, 10000)}},
      // -Check runs without it and leaves the stored value alone.
      {&CdromValues::fullStrokeTestEnable, {"FullStrokeTestEnable", 0, kSwitch, !Options().check}},
      {&CdromValues::readDataTestEnable, {"ReadDataTestEnable", 1, kSwitch}},
      {&CdromValues::transferRateTestEnable, {"TransferRateTestEnable", 1, kSwitch}},
      {&CdromValues::randomAccessTestEnable, {"RandomAccessTestEnable", 1, kSwitch}},
      {&CdromValues::forceFullStroke, {"ForceFullStroke", 0, kSwitch}},
      {&CdromValues::forceRandom, {"ForceRandom", 0, kSwitch}},
      // 1 GB at most.
      {&CdromValues::testFileMinSizeK, {"TestFileMinSizeK", 0, ClampedTo(0, 1048576)}},
  };
}

std::vector<int CdromValues::*> CCdromRunner::EnableFields() const {
  return {&CdromValues::readDataTestEnable, &CdromValues::transferRateTestEnable, &CdromValues::fullStrokeTestEnable,
          &CdromValues::randomAccessTestEnable};
}

void CCdromRunner::AfterSettingsRead() {
  if (Options().check) SetField(Fields(), &CdromValues::fullStrokeTestEnable, 0);

  std::wstring key = SettingsKey();
  testFile_ = appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"TestFile", kDefaultTestFile));
  selectedDrive_ = appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"SelectedDrive", L""));
}

void CCdromRunner::BeforeSettingsWritten() const {
  std::wstring key = SettingsKey();
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"TestFile", appkit::Widen(testFile_));
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"SelectedDrive", appkit::Widen(selectedDrive_));
  const CdromValues v = Values();
  if (v.testFileMinSizeK == 0) {
    const char* name = ctlfw::SettingName(Fields(), &CdromValues::bufferMultiple);
    appkit::RegWriteDword(HKEY_CURRENT_USER, key, appkit::Widen(name).c_str(), (DWORD)v.bufferMultiple);
  }
}

cdtest::RunConfig CCdromRunner::MakeRunConfig(cdtest::ReadSectorsFn reader) const {
  cdtest::RunConfig c;
  const CdromValues v = Values();
  c.settings.loop = v.loop;
  c.settings.bufferMultiple = v.bufferMultiple;
  c.settings.testFileMinSizeM = v.testFileMinSizeM;
  c.settings.testFileMaxSizeM = v.testFileMaxSizeM;
  c.settings.diskSize = v.diskSize;
  c.settings.clearBufferBlocks = v.clearBufferBlocks;
  c.settings.seekTestNum = v.seekTestNum;
  c.settings.testFileMinSizeK = v.testFileMinSizeK;
  c.readData = v.readDataTestEnable != 0;
  c.transferRate = v.transferRateTestEnable != 0;
  c.fullStroke = v.fullStrokeTestEnable != 0;
  c.randomAccess = v.randomAccessTestEnable != 0;
  c.forceFullStroke = v.forceFullStroke != 0;
  c.forceRandom = v.forceRandom != 0;
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
