// The media control's runner: the audio mode (default) or the video mode
// ("-VideoTest"), their settings under Software\Qev\MEDIA\Setting, the test
// file list of the mode, and the sheet with the Information page and the
// media Test page, on the test-control framework's runner.
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>
#include <vector>

#include "ctlfw/runner.h"
#include "mediarun.h"

// The numeric settings, one field each (bound to their names in Fields()).
struct MediaValues {
  int loop = 0;
  int leftChannel = 0;
  int rightChannel = 0;
  int waveEnable = 0;
  int midiEnable = 0;
  int audioCDEnable = 0;
  int recordMicrophone = 0;
  int recordLinein = 0;
  int silenceVol = 0;
  int silenceJumpMicrophone = 0;
  int silenceJumpLinein = 0;
  int driveNo = 0;
  int defaultVolume = 0;
  int setVolume = 0;
  int cdPlayDelay = 0;
  int aviEnable = 0;
  int mpgEnable = 0;
};

class CMediaRunner : public ctlfw::FieldRunner<MediaValues> {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlMedia; }
  bool SecondMode() const override { return !AudioMode(); }
  std::wstring MakerKey() const override { return L"Software\\Qev"; }
  ctlfw::FieldTable<MediaValues> Fields() const override;
  std::vector<int MediaValues::*> EnableFields() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AfterSettingsRead() override;
  void BeforeSettingsWritten() const override;

  bool AudioMode() const { return !Options().videoTest; }
  // The test files of the mode (at most 10).
  std::vector<media::MediaFile>& Files() { return files_; }
  const std::wstring& CdTestTitle() const { return cdTestTitle_; }
  // The settings the step machine reads.
  media::MediaSettings RunSettings() const;

  // The list of the mode from its ten values, or the TESTDATA defaults.
  // The values themselves are kept as they were read, and written back only
  // when the user changed the list in the select-files dialog.
  void LoadFileLists();
  void SaveFileLists() const;
  // What the select-files dialog shows, and what its OK takes over.
  std::vector<std::wstring> DialogLines() const;
  void TakeDialogLines(const std::vector<std::wstring>& lines);

 private:
  std::vector<media::MediaFile> DefaultFiles() const;

  std::vector<media::MediaFile> files_;
  std::vector<std::wstring> listed_;  // the ten stored values ("" for none)
  std::vector<bool> stored_;          // which of the ten exist as values
  bool listChanged_ = false;
  std::wstring cdTestTitle_;
  std::wstring cd1_ = L"CD", cd2_ = L"AUX";
};
