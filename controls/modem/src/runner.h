// The modem control's runner: its settings under Software\Kyt\modem, its
// titles, log base and Information page, on the framework's runner.
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>

#include "ctlfw/runner.h"

// The numeric settings, one field each (runner.cpp binds them to their names).
struct ModemValues {
  int loop = 0;
  int connectionTest = 0;
  int bbsBaudRate = 0;
  int att1BaudRate = 0;
  int shortTimeout = 0;
  int standardTimeout = 0;
  int longTimeout = 0;
  int connectTimeout = 0;
  int att1Timeout = 0;
  int testBaudRate = 0;
  int innerLoopDelay = 0;
  int checkConnectSpeed = 0;
  int testATS6Jump = 0;
  int testATS6Repeat = 0;
  int testATS6Sample = 0;
  int testATS6Percent = 0;
  int testATS6Period = 0;
  int testATS6Sleep = 0;
  int defaultVolume = 0;
  int testATS6BeginNoise = 0;
  int testATS6ToneTolerance = 0;
  int dialtoneTestEnable = 0;
  int standardTestEnable = 0;
  int advancedTestEnable = 0;
  int nThread = 0;
};

class CModemRunner : public ctlfw::FieldRunner<ModemValues> {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlModem; }
  ctlfw::FieldTable<ModemValues> Fields() const override;
  std::vector<int ModemValues::*> EnableFields() const override;
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
