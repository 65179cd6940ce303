// The modem runner's values: the settings with their defaults and clamps.
#include "runner.h"

#include "appkit/registry.h"
#include "appkit/text.h"
#include "ids.h"
#include "modemlogic/rules.h"
#include "testpage.h"

ctlfw::FieldTable<ModemValues> CModemRunner::Fields() const {
  bool check = Options().check;
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  // Port speeds in bits per second; times in milliseconds; levels are 16-bit
  // sample values.
  const ctlfw::SettingRange speed = InRange(110, 921600);
  const ctlfw::SettingRange timeout = InRange(100, 300000);
  return {
      {&ModemValues::loop, {"Loop", 1, InRange(1, 10000)}},
      {&ModemValues::connectionTest, {"ConnectionTest", 0, kSwitch}},
      {&ModemValues::bbsBaudRate, {"BBSBaudRate", 19200, speed}},
      // 0 skips the analog loopback.
      {&ModemValues::att1BaudRate, {"ATT1BaudRate", 0, InRange(0, 921600)}},
      {&ModemValues::shortTimeout, {"ShortTimeout", 2000, timeout}},
      {&ModemValues::standardTimeout, {"StandardTimeout", 3000, timeout}},
      {&ModemValues::longTimeout, {"LongTimeout", 12000, timeout}},
      {&ModemValues::connectTimeout, {"ConnectTimeout", 30000, timeout}},
      {&ModemValues::att1Timeout, {"ATT1Timeout", 5000, timeout}},
      {&ModemValues::testBaudRate, {"TestBaudRate", 300, speed}},
      // The reply read's polling interval.
      {&ModemValues::innerLoopDelay, {"InnerLoopDelay", 100, InRange(1, 1000)}},
      {&ModemValues::checkConnectSpeed, {"CheckConnectSpeed", 0, kSwitch}},
      {&ModemValues::testATS6Jump, {"TestATS6Jump", 500, InRange(1, 32767)}},
      {&ModemValues::testATS6Repeat, {"TestATS6Repeat", 4, ctlfw::ClampedTo(2, 5)}},
      // Samples of a window (the window test divides by it): up to a second.
      {&ModemValues::testATS6Sample, {"TestATS6Sample", 30, InRange(1, 8000)}},
      {&ModemValues::testATS6Percent, {"TestATS6Percent", 20, InRange(0, 100)}},
      {&ModemValues::testATS6Period, {"TestATS6Period", 20, InRange(0, 10000)}},
      {&ModemValues::testATS6Sleep, {"TestATS6Sleep", 6000, InRange(0, 30000)}},
      {&ModemValues::defaultVolume, {"DefaultVolume", 50000, InRange(0, 65535)}},
      {&ModemValues::testATS6BeginNoise, {"TestATS6BeginNoise", 500, InRange(0, 30000)}},
      {&ModemValues::testATS6ToneTolerance, {"TestATS6ToneTolerance", 1, InRange(0, 64)}},
      // -Check runs without the dial-tone test and leaves its choice alone.
      {&ModemValues::dialtoneTestEnable, {"DialtoneTestEnable", 0, kSwitch, !check}},
      {&ModemValues::standardTestEnable, {"StandardTestEnable", 1, kSwitch}},
      {&ModemValues::advancedTestEnable, {"AdvancedTestEnable", 1, kSwitch}},
      {&ModemValues::nThread, {"nThread", 1, ctlfw::ClampedTo(1, 3)}},
  };
}

void CModemRunner::AfterSettingsRead() {
  if (Options().check) SetField(Fields(), &ModemValues::dialtoneTestEnable, 0);
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

std::vector<int ModemValues::*> CModemRunner::EnableFields() const {
  return {&ModemValues::dialtoneTestEnable, &ModemValues::standardTestEnable, &ModemValues::advancedTestEnable};
}

ctlfw::RunnerResourceIds CModemRunner::ResourceIds() const {
  return {IDS_MODEM_TITLE, IDS_MODEM_TITLE, IDI_MODEM, IDS_MODEM_INFO_TEXT};
}

std::unique_ptr<ctlfw::TestPage> CModemRunner::CreateTestPage() { return modemtest::MakeModemTestPage(*this); }
