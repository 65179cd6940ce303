// The modem runner's values: the settings with their defaults and clamps.
#include "runner.h"

#include "appkit/registry.h"
#include "appkit/text.h"
#include "ids.h"
#include "modemlogic/rules.h"
#include "testpage.h"

std::vector<ctlfw::SettingDef> CModemRunner::SettingTable() const {
  bool check = Options().check;
  return {
      {"Loop", 1},
      {"ConnectionTest", 0},
      {"BBSBaudRate", 19200},
      {"ATT1BaudRate", 0},
      {"ShortTimeout", 2000},
      {"StandardTimeout", 3000},
      {"LongTimeout", 12000},
      {"ConnectTimeout", 30000},
      {"ATT1Timeout", 5000},
      {"TestBaudRate", 300},
      {"InnerLoopDelay", 100},
      {"CheckConnectSpeed", 0},
      {"TestATS6Jump", 500},
      {"TestATS6Repeat", 4},
      {"TestATS6Sample", 30},
      {"TestATS6Percent", 20},
      {"TestATS6Period", 20},
      {"TestATS6Sleep", 6000},
      {"DefaultVolume", 50000},
      {"TestATS6BeginNoise", 500},
      {"TestATS6ToneTolerance", 1},
      // -Check runs without the dial-tone test and leaves its choice alone.
      {"DialtoneTestEnable", 0, !check},
      {"StandardTestEnable", 1},
      {"AdvancedTestEnable", 1},
      {"nThread", 1, true, true},
  };
}

void CModemRunner::AfterSettingsRead() {
  SetSetting("TestATS6Repeat", modemlogic::ClampToneRepeat(Setting("TestATS6Repeat")));
  if (Options().check) SetSetting("DialtoneTestEnable", 0);
  std::wstring key = SettingsKey();
  bbsNumber_ = appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"BBSNumber", L""));
  toneDigits_ = appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"TestATS6", L""));
  toneInput_ =
      modemlogic::UpperCased(appkit::Narrow(appkit::RegReadString(HKEY_CURRENT_USER, key, L"TestATS6Input", L"LINEIN")));
}

void CModemRunner::BeforeSettingsWritten() const {
  std::wstring key = SettingsKey();
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"BBSNumber", appkit::Widen(bbsNumber_));
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"TestATS6", appkit::Widen(toneDigits_));
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"TestATS6Input", appkit::Widen(toneInput_));
}

std::vector<std::string> CModemRunner::EnableSettings() const {
  return {"DialtoneTestEnable", "StandardTestEnable", "AdvancedTestEnable"};
}

UINT CModemRunner::TitleId() const { return IDS_MODEM_TITLE; }
UINT CModemRunner::LogTitleId() const { return IDS_MODEM_TITLE; }
UINT CModemRunner::IconId() const { return IDI_MODEM; }
UINT CModemRunner::InfoTextId() const { return IDS_MODEM_INFO_TEXT; }

ctlfw::InfoPageStyle CModemRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.tabStops = {140, 230, 320, 410};
  return style;
}

std::unique_ptr<ctlfw::TestPage> CModemRunner::CreateTestPage() { return modemtest::MakeModemTestPage(*this); }
