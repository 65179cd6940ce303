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
  return {
      {"Loop", 1},
      // Written back by BeforeSettingsWritten: only when TestFileMinSizeK is 0.
      {"BufferMultiple", 200, false},
      {"TestFileMinSizeM", 5},
      {"TestFileMaxSizeM", 30},
      {"DiskSize", 500},
      {"ClearBufferBlocks", 800},
      {"SeekTestNum", 80},
      // -Check runs without it and leaves the stored value alone.
      {"FullStrokeTestEnable", 0, !Options().check},
      {"ReadDataTestEnable", 1},
      {"TransferRateTestEnable", 1},
      {"RandomAccessTestEnable", 1},
      {"ForceFullStroke", 0},
      {"ForceRandom", 0},
      {"TestFileMinSizeK", 0},
  };
}

std::vector<std::string> CCdromRunner::EnableSettings() const {
  return {"ReadDataTestEnable", "TransferRateTestEnable", "FullStrokeTestEnable", "RandomAccessTestEnable"};
}

void CCdromRunner::AfterSettingsRead() {
  // The registry holds 32-bit values: the ranges are checked on them as read.
  cdtest::Settings raw;
  raw.loop = Setting("Loop");
  raw.bufferMultiple = Setting("BufferMultiple");
  raw.testFileMinSizeM = Setting("TestFileMinSizeM");
  raw.testFileMaxSizeM = Setting("TestFileMaxSizeM");
  raw.diskSize = Setting("DiskSize");
  raw.clearBufferBlocks = Setting("ClearBufferBlocks");
  raw.seekTestNum = Setting("SeekTestNum");
  raw.testFileMinSizeK = Setting("TestFileMinSizeK");
  cdtest::Settings s = cdtest::ClampSettings(raw);
  SetSetting("Loop", s.loop);
  SetSetting("BufferMultiple", s.bufferMultiple);
  SetSetting("TestFileMinSizeM", s.testFileMinSizeM);
  SetSetting("TestFileMaxSizeM", s.testFileMaxSizeM);
  SetSetting("DiskSize", s.diskSize);
  SetSetting("ClearBufferBlocks", s.clearBufferBlocks);
  SetSetting("SeekTestNum", s.seekTestNum);
  SetSetting("TestFileMinSizeK", s.testFileMinSizeK);
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

UINT CCdromRunner::TitleId() const { return IDS_CD_TITLE; }

UINT CCdromRunner::LogTitleId() const { return IDS_CD_TITLE; }

UINT CCdromRunner::IconId() const { return IDI_CDROM; }

UINT CCdromRunner::InfoTextId() const { return IDS_CD_INFO; }

ctlfw::InfoPageStyle CCdromRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.tabStops = {140, 230, 320, 410};
  return style;
}

std::unique_ptr<ctlfw::TestPage> CCdromRunner::CreateTestPage() { return cdtest::MakeCdromTestPage(*this); }
