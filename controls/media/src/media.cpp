// The media control's runner values: modes, settings and file lists.
#include "runner.h"

#include "appkit/registry.h"
#include "appkit/text.h"
#include "ids.h"
#include "testpage.h"

ctlfw::FieldTable<MediaValues> CMediaRunner::Fields() const {
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  using V = MediaValues;
  ctlfw::FieldTable<V> table = {{&V::loop, {"Loop", 1, InRange(1, 10000)}}};
  if (AudioMode()) {
    // Levels are 16-bit sample values; volumes the mixer's 0..65535.
    table.insert(table.end(), {
                                  {&V::leftChannel, {"LeftChannel", 1, kSwitch}},
                                  {&V::rightChannel, {"RightChannel", 1, kSwitch}},
                                  {&V::waveEnable, {"WaveEnable", 1, kSwitch}},
                                  {&V::midiEnable, {"MidiEnable", 1, kSwitch}},
                                  {&V::audioCDEnable, {"AudioCDEnable", 0, kSwitch}},
                                  {&V::recordMicrophone, {"RecordMicrophone", 0, kSwitch}},
                                  {&V::recordLinein, {"RecordLinein", 0, kSwitch}},
                                  {&V::silenceVol, {"SilenceVol", 512, InRange(0, 32767)}},
                                  {&V::silenceJumpMicrophone, {"SilenceJumpMicrophone", 128, InRange(1, 32767)}},
                                  {&V::silenceJumpLinein, {"SilenceJumpLinein", 32, InRange(1, 32767)}},
                                  {&V::driveNo, {"DriveNo", 0, InRange(0, 25)}},
                                  {&V::defaultVolume, {"DefaultVolume", 50000, InRange(0, 65535)}},
                                  {&V::setVolume, {"SetVolume", 1, kSwitch}},
                                  {&V::cdPlayDelay, {"CDPlayDelay", 1, InRange(0, 5)}},
                              });
  } else {
    // The clip the suite ships plays unless switched off: the video mode is
    // started for automatic runs, where its test list cannot be changed
    // before the run, and with nothing switched on it would test nothing.
    table.insert(table.end(), {
                                  {&V::aviEnable, {"AviEnable", 1, kSwitch}},
                                  {&V::mpgEnable, {"MpgEnable", 0, kSwitch}},
                              });
  }
  return table;
}

std::vector<int MediaValues::*> CMediaRunner::EnableFields() const {
  if (AudioMode()) return {&MediaValues::waveEnable, &MediaValues::midiEnable, &MediaValues::audioCDEnable};
  return {&MediaValues::aviEnable, &MediaValues::mpgEnable};
}

ctlfw::RunnerResourceIds CMediaRunner::ResourceIds() const {
  if (AudioMode()) return {IDS_MEDIA_TITLE_AUDIO, IDS_MEDIA_LOG_AUDIO, IDI_MEDIA_AUDIO, IDS_MEDIA_INFO_AUDIO};
  return {IDS_MEDIA_TITLE_VIDEO, IDS_MEDIA_LOG_VIDEO, IDI_MEDIA_VIDEO, 0};
}

ctlfw::InfoPageStyle CMediaRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
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

namespace {

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

const wchar_t* ListPrefix(bool audio) { return audio ? L"Audio" : L"Video"; }

}  // namespace

std::vector<media::MediaFile> CMediaRunner::DefaultFiles() const {
  if (AudioMode())
    return {{ModuleDirectory() + L"TESTDATA\\test.wav", media::kTypeWave},
            {ModuleDirectory() + L"TESTDATA\\test.mid", media::kTypeMidi}};
  return {{ModuleDirectory() + L"TESTDATA\\test.avi", media::kTypeAvi},
          {ModuleDirectory() + L"TESTDATA\\test.mpg", media::kTypeMpeg}};
}

void CMediaRunner::LoadFileLists() {
  listed_.assign(media::kMaxFiles, L"");
  stored_.assign(media::kMaxFiles, false);
  listChanged_ = false;
  appkit::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, SettingsKey())) {
    for (int i = 0; i < media::kMaxFiles; ++i) {
      std::wstring name = ListPrefix(AudioMode()) + std::to_wstring(i);
      stored_[i] = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
      if (!key.GetString(name, &listed_[i])) listed_[i].clear();
    }
  }
  // A file missing now (a drive offline) or of another type is not played,
  // but stays in the user's list.
  files_ = media::PlayListFrom(listed_, AudioMode(), DefaultFiles(), PathExists);
}

namespace {

// The list's values under the settings key: Audio0..9 or Video0..9.
class RegistryListStore : public media::ListStore {
 public:
  RegistryListStore(appkit::RegKey& key, bool audio) : key_(key), audio_(audio) {}
  std::wstring Name(int i) const { return ListPrefix(audio_) + std::to_wstring(i); }
  std::optional<std::wstring> Read(int i) const {
    std::wstring text;
    if (!key_.GetString(Name(i), &text)) return std::nullopt;
    return text;
  }
  bool Write(int i, const std::wstring& text) override { return key_.SetString(Name(i), text); }
  bool Remove(int i) override { return key_.DeleteValue(Name(i)); }

 private:
  appkit::RegKey& key_;
  bool audio_;
};

}  // namespace

void CMediaRunner::SaveFileLists() const {
  appkit::RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, SettingsKey())) return;
  RegistryListStore store(key, AudioMode());
  std::vector<std::optional<std::wstring>> before, after;
  for (int i = 0; i < media::kMaxFiles; ++i) {
    before.push_back(store.Read(i));
    // A stored value the user did not change stays exactly as it is.
    if (!listChanged_ && i < (int)stored_.size() && stored_[i])
      after.push_back(std::nullopt);
    else
      after.push_back(listChanged_ && i < (int)listed_.size() ? listed_[i] : L"");
  }
  media::WriteStoredList(before, after, store);
}

std::vector<std::wstring> CMediaRunner::DialogLines() const { return media::DialogLinesFrom(listed_, files_); }

void CMediaRunner::TakeDialogLines(const std::vector<std::wstring>& lines) {
  if (lines == DialogLines()) return;  // OK without a change changes nothing
  listed_ = media::ListedFromLines(lines);
  listed_.resize(media::kMaxFiles);
  listChanged_ = true;
  files_ = media::PlayListFrom(listed_, AudioMode(), DefaultFiles(), PathExists);
}

media::MediaSettings CMediaRunner::RunSettings() const {
  media::MediaSettings s;
  s.audioMode = AudioMode();
  const MediaValues v = Values();
  s.loop = v.loop;
  if (s.audioMode) {
    s.waveEnable = v.waveEnable;
    s.midiEnable = v.midiEnable;
    s.audioCdEnable = v.audioCDEnable;
    s.recordMicrophone = v.recordMicrophone;
    s.recordLinein = v.recordLinein;
    s.silenceJumpMicrophone = v.silenceJumpMicrophone;
    s.silenceJumpLinein = v.silenceJumpLinein;
    s.cdPlayDelay = v.cdPlayDelay;
    s.cd1 = cd1_;
    s.cd2 = cd2_;
  } else {
    s.aviEnable = v.aviEnable;
    s.mpgEnable = v.mpgEnable;
  }
  return s;
}

std::unique_ptr<ctlfw::TestPage> CMediaRunner::CreateTestPage() { return media::MakeMediaTestPage(*this); }
