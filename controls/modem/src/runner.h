// The modem control's runner: its settings under Software\Kyt\modem, its
// titles, log base and Information page, on the framework's runner.
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>

#include "ctlfw/runner.h"

class CModemRunner : public ctlfw::TestRunner {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlModem; }
  std::vector<ctlfw::SettingDef> SettingTable() const override;
  std::vector<std::string> EnableSettings() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AfterSettingsRead() override;
  void BeforeSettingsWritten() const override;

  // The string settings.
  const std::string& BbsNumber() const { return bbsNumber_; }
  void SetBbsNumber(const std::string& s) { bbsNumber_ = s; }
  const std::string& ToneDigits() const { return toneDigits_; }
  const std::string& ToneInput() const { return toneInput_; }

 private:
  std::string bbsNumber_;
  std::string toneDigits_;
  std::string toneInput_;
};
