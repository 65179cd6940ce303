// A small control of the tests' own on the framework: what a new control of
// the suite consists of (its runner values, its Test page and resources),
// with a worker that counts through ten passes and ends with the error count
// of the setting "SampleErrors" after about "SampleRunMs" milliseconds.
#pragma once

#define IDS_SAMPLE_TITLE 36
#define IDS_SAMPLE_LOG 93
#define IDS_SAMPLE_INFO 56
#define IDS_SAMPLE_QUESTION 57
#define IDI_SAMPLE 129
#define IDI_SAMPLE_TEST 130

#ifndef RC_INVOKED
#include "ctlfw/runner.h"
#include "ctlfw/testpage.h"

class SampleRunner : public ctlfw::TestRunner {
 public:
  std::wstring SettingsKey() const override { return L"Software\\Kyt\\CTLFWTEST\\Setting"; }
  std::wstring MakerKey() const override { return L"Software\\Kyt\\CTLFWTEST"; }
  std::vector<ctlfw::SettingDef> SettingTable() const override;
  std::vector<std::string> EnableSettings() const override;
  std::vector<ctlfw::OptionalLibrary> OptionalLibraries() const override;
  std::string ModeBaseName() const override { return "KytSMPL"; }
  ctlfw::RunnerResourceIds ResourceIds() const override {
    return {IDS_SAMPLE_TITLE, IDS_SAMPLE_LOG, IDI_SAMPLE, IDS_SAMPLE_INFO};
  }
  int InfoCategory() const override { return 6; }
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
};

// Lets the run going on in this process go through its remaining passes at
// once instead of waiting out "SampleRunMs"; the next run waits again.
void ReleaseSampleRun();
#endif
