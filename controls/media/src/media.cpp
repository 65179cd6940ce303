// The media control's runner values: modes, settings and file lists.
#include "runner.h"

#include "appkit/registry.h"
#include "appkit/text.h"
#include "ids.h"
#include "testpage.h"

std::vector<ctlfw::SettingDef> CMediaRunner::SettingTable() const {
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  std::vector<ctlfw::SettingDef> table = {{"Loop", 1, InRange(1, 10000)}};
  if (AudioMode()) {
    // Levels are 16-bit sample values; volumes the mixer's 0..65535.
    for (ctlfw::SettingDef d : std::vector<ctlfw::SettingDef>{{"LeftChannel", 1, kSwitch},
                                                             {"RightChannel", 1, kSwitch},
                                                             {"WaveEnable", 1, kSwitch},
                                                             {"MidiEnable", 1, kSwitch},
                                                             {"AudioCDEnable", 0, kSwitch},
                                                             {"RecordMicrophone", 0, kSwitch},
                                                             {"RecordLinein", 0, kSwitch},
                                                             {"SilenceVol", 512, InRange(0, 32767)},
                                                             {"SilenceJumpMicrophone", 128, InRange(1, 32767)},
                                                             {"SilenceJumpLinein", 32, InRange(1, 32767)},
                                                             {"DriveNo", 0, InRange(0, 25)},
                                                             {"DefaultVolume", 50000, InRange(0, 65535)},
                                                             {"SetVolume", 1, kSwitch},
                                                             {"CDPlayDelay", 1, InRange(0, 5)}})
      table.push_back(d);
  } else {
    table.push_back({"AviEnable", 0, kSwitch});
    table.push_back({"MpgEnable", 0, kSwitch});
  }
  return table;
}

std::vector<std::string> CMediaRunner::EnableSettings() const {
  if (AudioMode()) return {"WaveEnable", "MidiEnable", "AudioCDEnable"};
  return {"AviEnable", "MpgEnable"};
}

UINT CMediaRunner::TitleId() const { return AudioMode() ? IDS_MEDIA_TITLE_AUDIO : IDS_MEDIA_TITLE_VIDEO; }
UINT CMediaRunner::LogTitleId() const { return AudioMode() ? IDS_MEDIA_LOG_AUDIO : IDS_MEDIA_LOG_VIDEO; }
UINT CMediaRunner::IconId() const { return AudioMode() ? IDI_MEDIA_AUDIO : IDI_MEDIA_VIDEO; }
UINT CMediaRunner::InfoTextId() const { return AudioMode() ? IDS_MEDIA_INFO_AUDIO : 0; }

ctlfw::InfoPageStyle CMediaRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.tabStops = {140, 230, 320, 410};
  style.lines = AudioMode() ? ctlfw::InfoLines::AllButComments : ctlfw::InfoLines::VideoSections;
  return style;
}

void CMediaRunner::AfterSettingsRead() {
  std::wstring key = SettingsKey();
  if (AudioMode()) {
    cd1_ = appkit::RegReadString(HKEY_CURRENT_USER, key, L"CD1", L"CD");
    cd2_ = appkit::RegReadString(HKEY_CURRENT_USER, key, L"CD2", L"AUX");
  }
  cdTestTitle_ = appkit::RegReadString(HKEY_CURRENT_USER, key, L"CDTestTitle",
                                       appkit::LoadStr(IDS_MEDIA_CD_TITLE, Resources()));
  LoadFileLists();
}

void CMediaRunner::BeforeSettingsWritten() const {
  std::wstring key = SettingsKey();
  SaveFileLists();
  appkit::RegWriteString(HKEY_CURRENT_USER, key, L"CDTestTitle", cdTestTitle_);
  if (AudioMode()) {
    appkit::RegWriteString(HKEY_CURRENT_USER, key, L"CD1", cd1_);
    appkit::RegWriteString(HKEY_CURRENT_USER, key, L"CD2", cd2_);
  }
}

void CMediaRunner::LoadFileLists() {
  files_.clear();
  std::wstring key = SettingsKey();
  const wchar_t* prefix = AudioMode() ? L"Audio" : L"Video";
  for (int i = 0; i < media::kMaxFiles; ++i) {
    std::wstring path = appkit::RegReadString(HKEY_CURRENT_USER, key, prefix + std::to_wstring(i), L"");
    if (path.empty() || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    WORD type = media::FileTypeOf(path, AudioMode());
    if (type != media::kTypeNone) files_.push_back({path, type});
  }
  if (!files_.empty()) return;
  const std::pair<const wchar_t*, WORD> audio[] = {{L"TESTDATA\\test.wav", media::kTypeWave},
                                                   {L"TESTDATA\\test.mid", media::kTypeMidi}};
  const std::pair<const wchar_t*, WORD> video[] = {{L"TESTDATA\\test.avi", media::kTypeAvi},
                                                   {L"TESTDATA\\test.mpg", media::kTypeMpeg}};
  for (const auto& d : AudioMode() ? audio : video) {
    std::wstring path = ModuleDirectory() + d.first;
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) files_.push_back({path, d.second});
  }
}

void CMediaRunner::SaveFileLists() const {
  std::wstring key = SettingsKey();
  const wchar_t* prefix = AudioMode() ? L"Audio" : L"Video";
  for (int i = 0; i < media::kMaxFiles; ++i)
    appkit::RegWriteString(HKEY_CURRENT_USER, key, prefix + std::to_wstring(i),
                           i < (int)files_.size() ? files_[i].path : L"");
}

media::MediaSettings CMediaRunner::RunSettings() const {
  media::MediaSettings s;
  s.audioMode = AudioMode();
  s.loop = Setting("Loop");
  if (s.audioMode) {
    s.waveEnable = Setting("WaveEnable");
    s.midiEnable = Setting("MidiEnable");
    s.audioCdEnable = Setting("AudioCDEnable");
    s.recordMicrophone = Setting("RecordMicrophone");
    s.recordLinein = Setting("RecordLinein");
    s.silenceJumpMicrophone = Setting("SilenceJumpMicrophone");
    s.silenceJumpLinein = Setting("SilenceJumpLinein");
    s.cdPlayDelay = Setting("CDPlayDelay");
    s.cd1 = cd1_;
    s.cd2 = cd2_;
  } else {
    s.aviEnable = Setting("AviEnable");
    s.mpgEnable = Setting("MpgEnable");
  }
  return s;
}

std::unique_ptr<ctlfw::TestPage> CMediaRunner::CreateTestPage() { return media::MakeMediaTestPage(*this); }
