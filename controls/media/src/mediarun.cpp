#include "mediarun.h"

#include <cwchar>
#include <cwctype>

#include "ids.h"
#include "mm/devicethread.h"
#include "mm/mixer.h"

namespace media {

namespace {

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = (wchar_t)towlower(c);
  return s;
}

std::wstring Formatted(const std::wstring& format, const std::wstring& arg) {
  std::wstring out;
  size_t at = format.find(L"%s");
  if (at == std::wstring::npos) return format;
  out = format.substr(0, at) + arg + format.substr(at + 2);
  return out;
}

}  // namespace

WORD FileTypeOf(const std::wstring& path, bool audioMode) {
  if (path.size() < 4) return kTypeNone;
  std::wstring ext = Lower(path.substr(path.size() - 4));
  if (audioMode) {
    if (ext == L".wav") return kTypeWave;
    if (ext == L".mid" || ext == L".rmi") return kTypeMidi;
  } else {
    if (ext == L".avi") return kTypeAvi;
    if (ext == L".mpg") return kTypeMpeg;
  }
  return kTypeNone;
}

std::wstring DisplayName(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ChooseCdDrives(const std::wstring& letters, int driveNo) {
  if (letters.empty() || driveNo < 1) return letters;
  if ((int)letters.size() < driveNo) return letters.substr(0, 1);
  return letters.substr((size_t)driveNo - 1, 1);
}

DWORD CdSourceType(int drive, const std::wstring& cd1, const std::wstring& cd2) {
  const std::wstring& name = drive == 1 ? cd2 : cd1;
  if (_wcsicmp(name.c_str(), L"CD") == 0) return MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
  if (_wcsicmp(name.c_str(), L"AUX") == 0) return MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY;
  return drive == 1 ? MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY : MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
}

bool AcceptedExtension(const std::wstring& path, bool audioMode) {
  return FileTypeOf(path, audioMode) != kTypeNone;
}

std::wstring FileDialogFilter(const std::wstring& text) {
  std::wstring f = text;
  for (wchar_t& c : f)
    if (c == L'|') c = L'\0';
  f.push_back(L'\0');
  return f;
}

std::vector<MediaFile> FilesFromLines(const std::vector<std::wstring>& lines) {
  std::vector<MediaFile> files;
  for (size_t i = 0; i < lines.size() && i < (size_t)kMaxFiles; ++i) {
    WORD type = FileTypeOf(lines[i], true);
    if (type == kTypeNone) type = FileTypeOf(lines[i], false);
    if (type != kTypeNone) files.push_back({lines[i], type});
  }
  return files;
}

std::vector<MediaFile> PlayListFrom(const std::vector<std::wstring>& listed, bool audioMode,
                                    const std::vector<MediaFile>& defaults,
                                    bool (*exists)(const std::wstring& path)) {
  std::vector<MediaFile> files;
  for (size_t i = 0; i < listed.size() && i < (size_t)kMaxFiles; ++i) {
    const std::wstring& path = listed[i];
    if (path.empty() || !exists(path)) continue;
    WORD type = FileTypeOf(path, audioMode);
    if (type != kTypeNone) files.push_back({path, type});
  }
  if (!files.empty()) return files;
  for (const MediaFile& d : defaults)
    if (exists(d.path)) files.push_back(d);
  return files;
}

std::vector<std::wstring> DialogLinesFrom(const std::vector<std::wstring>& listed,
                                          const std::vector<MediaFile>& playList) {
  std::vector<std::wstring> lines = ListedFromLines(listed);
  if (!lines.empty()) return lines;
  for (const MediaFile& f : playList) lines.push_back(f.path);
  return lines;
}

std::vector<std::wstring> ListedFromLines(const std::vector<std::wstring>& lines) {
  std::vector<std::wstring> listed;
  for (const std::wstring& l : lines)
    if (!l.empty() && listed.size() < (size_t)kMaxFiles) listed.push_back(l);
  return listed;
}

bool WriteStoredList(const std::vector<std::optional<std::wstring>>& before,
                     const std::vector<std::optional<std::wstring>>& after, ListStore& store) {
  for (size_t i = 0; i < after.size(); ++i) {
    if (!after[i] || store.Write((int)i, *after[i])) continue;
    // The list is put back as it was: what was written goes back to its
    // old text, a value that was not there goes again.
    for (size_t j = 0; j < i && j < before.size(); ++j) {
      if (!after[j]) continue;
      if (before[j])
        store.Write((int)j, *before[j]);
      else
        store.Remove((int)j);
    }
    return false;
  }
  return true;
}

int ClampCdPlayDelay(long long value) { return value < 0 || value > 5 ? 1 : (int)value; }

DWORD PlayBoundMs(bool lengthKnown, DWORD lengthMs) {
  if (!lengthKnown) return kUnknownLengthBoundMs;
  if (lengthMs > kMaxPlayLengthMs) lengthMs = kMaxPlayLengthMs;
  DWORD margin = lengthMs / 4 > 30000 ? lengthMs / 4 : 30000;
  return lengthMs + margin;
}

std::wstring DeviceTimeoutText(const std::wstring& format, wchar_t drive, DWORD seconds) {
  std::wstring text = format;
  size_t at = text.find(L"%c");
  if (at != std::wstring::npos) text.replace(at, 2, 1, drive ? drive : L'?');
  at = text.find(L"%d");
  if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(seconds));
  return text;
}

bool NothingTested(int stepsTried, bool stopped) { return stepsTried <= 0 && !stopped; }

namespace {
// The device timer passed: handled as a failure, with a line of its own.
constexpr WPARAM kDeviceTimedOut = 0x100;
}  // namespace

MediaRun::MediaRun(MediaHost& host, const MediaSettings& settings, std::vector<MediaFile> files,
                   std::wstring cdDrives, mm::CMixer* mixer, bool haveMixerHandle)
    : host_(host),
      s_(settings),
      files_(std::move(files)),
      drives_(std::move(cdDrives)),
      mixer_(mixer),
      haveMixerHandle_(haveMixerHandle) {
  if (files_.size() > (size_t)kMaxFiles) files_.resize(kMaxFiles);
  if (s_.loop < 1) s_.loop = 1;
}

MediaRun::~MediaRun() { Shutdown(); }

MCIDEVICEID MediaRun::OpenDeviceId() const { return device_ ? deviceId_ : 0; }

// ---- Calls into the devices ---------------------------------------------------------

template <class R, class F>
R MediaRun::Ask(F f, R failed, Subject subject) {
  if (!answering_) return failed;
  auto result = std::make_shared<R>(failed);
  if (host_.CallDevice([f, result] { *result = f(); })) return *result;
  // The call may still return one day: nothing it holds is freed here.
  mm::Forsake(result);
  NoAnswer(subject);
  return failed;
}

void MediaRun::NoAnswer(Subject subject) {
  answering_ = false;
  if (device_) mm::Forsake(device_);
  UINT id = IDS_MEDIA_NOANSWER_WAVE;
  wchar_t drive = 0;
  if (subject == Subject::WaveIn) {
    id = IDS_MEDIA_NOANSWER_WAVEIN;
  } else if (subject == Subject::Mixer) {
    id = IDS_MEDIA_NOANSWER_MIXER;
  } else {
    switch (deviceType_) {
      case mm::kMciCdAudio:
        id = IDS_MEDIA_TIMEOUT_CD;  // "did not answer", naming the drive
        if (drive_ >= 0 && drive_ < DriveCount()) drive = drives_[drive_];
        break;
      case mm::kMciSequencer: id = IDS_MEDIA_NOANSWER_MIDI; break;
      case mm::kMciWaveAudio: id = IDS_MEDIA_NOANSWER_WAVE; break;
      default: id = IDS_MEDIA_NOANSWER_VIDEO; break;
    }
  }
  host_.AddLine(DeviceTimeoutText(host_.Text(id), drive, mm::kDeviceAnswerMs / 1000));
  ++errors_;
}

std::shared_ptr<mm::MciDevice> MediaRun::OpenDevice(WORD type, const std::wstring& element) {
  deviceType_ = type;
  HWND notify = host_.NotifyWindow();
  std::shared_ptr<mm::MciDevice> device = Ask(
      [type, element, notify] { return std::make_shared<mm::MciDevice>(type, element, notify, nullptr); },
      std::shared_ptr<mm::MciDevice>());
  if (!device || !device->IsOpen()) return nullptr;  // a device that did not open holds nothing to close
  return device;
}

void MediaRun::Shutdown() {
  host_.KillCdTimer();
  host_.KillDeviceTimer();
  if (device_) {
    std::shared_ptr<mm::MciDevice> d = device_;
    Do([d] { d->Close(); });
    device_.reset();
    host_.DeviceClosed();
  }
  if (s_.audioMode) Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
  running_ = false;
}

bool MediaRun::Start() {
  running_ = true;
  step_ = 0;
  drive_ = 0;
  abort_ = false;
  errors_ = 0;
  item_ = -1;
  pass_ = 0;
  cdPhase_ = false;
  stepsTried_ = 0;
  resultLine_ = -1;
  if (mm::CMixer* m = mixer_) Do([m] { m->PrepareForPlayback(); }, Subject::Mixer);
  host_.SetProgress(0);
  if (s_.audioMode && !haveMixerHandle_) {
    ++errors_;
    host_.AddLine(host_.Text(IDS_MEDIA_NO_MIXER));
  }
  if (CheckSelectedFiles() && StartNextMediaItem()) return true;
  EndRun(1);
  return false;
}

bool MediaRun::Enabled(WORD type) const {
  if (s_.audioMode) return (type == kTypeWave && s_.waveEnable == 1) || (type == kTypeMidi && s_.midiEnable == 1);
  return (type == kTypeAvi && s_.aviEnable == 1) || (type == kTypeMpeg && s_.mpgEnable == 1);
}

bool MediaRun::CheckSelectedFiles() {
  struct Need {
    WORD type;
    int enable;
    UINT message;
  };
  const Need audio[] = {{kTypeWave, s_.waveEnable, IDS_MEDIA_NO_WAVE_SELECTED},
                        {kTypeMidi, s_.midiEnable, IDS_MEDIA_NO_MIDI_SELECTED}};
  const Need video[] = {{kTypeAvi, s_.aviEnable, IDS_MEDIA_NO_AVI_SELECTED},
                        {kTypeMpeg, s_.mpgEnable, IDS_MEDIA_NO_MPEG_SELECTED}};
  bool ok = true;
  for (const Need& n : s_.audioMode ? audio : video) {
    if (n.enable == 0) continue;
    bool found = false;
    for (const MediaFile& f : files_)
      if (f.type == n.type && host_.FileExists(f.path)) found = true;
    if (!found) {
      host_.AddLine(host_.Text(n.message));
      ok = false;
    }
  }
  if (!ok) {
    ++errors_;
    ++stepsTried_;  // the check is the run's result
  }
  return ok;
}

int MediaRun::NextEnabled(int from) const {
  int i = from < 0 ? 0 : from;
  while (i < FileCount() && !Enabled(files_[i].type)) ++i;
  return i;
}

bool MediaRun::StartNextMediaItem() {
  for (;;) {
    int next = NextEnabled(item_ + 1);
    while (next >= FileCount()) {
      ++pass_;
      if (pass_ >= s_.loop) {
        item_ = -1;
        pass_ = 0;
        if (s_.audioMode && s_.audioCdEnable == 1) return StartCdPhase();
        return false;
      }
      next = NextEnabled(0);
    }
    item_ = next;
    if (PlayMediaFile(files_[item_].type, files_[item_].path)) return true;
    ++errors_;
  }
}

bool MediaRun::PlayMediaFile(WORD type, const std::wstring& path) {
  ++stepsTried_;
  std::wstring name = DisplayName(path);
  if (!host_.FileExists(path)) {
    UINT id = type == kTypeMidi ? IDS_MEDIA_NO_MIDI_FILE
              : type == kTypeWave ? IDS_MEDIA_NO_WAVE_FILE
              : type == kTypeAvi  ? IDS_MEDIA_NO_AVI_FILE
                                  : IDS_MEDIA_NO_MPEG_FILE;
    host_.AddLine(Formatted(host_.Text(id), name));
    return false;
  }
  if (device_) {
    host_.AddLine(host_.Text(IDS_MEDIA_BUSY));
    return false;
  }
  video_ = nullptr;
  device_ = OpenDevice(type, path);
  if (!device_) {
    host_.AddLine(host_.Text(IDS_MEDIA_OPEN_FAILED));
    return false;
  }
  deviceId_ = device_->DeviceId();
  video_ = device_->DisplayWindow();
  if (video_) host_.ShowVideoWindow(video_, path);
  UINT id = type == kTypeMidi ? IDS_MEDIA_PLAY_MIDI
            : type == kTypeWave ? IDS_MEDIA_PLAY_WAVE
            : type == kTypeAvi  ? IDS_MEDIA_PLAY_AVI
                                : IDS_MEDIA_PLAY_MPEG;
  resultLine_ = host_.AddLine(Formatted(host_.Text(id), name));
  std::shared_ptr<mm::MciDevice> d = device_;
  HWND notify = host_.NotifyWindow();
  MCIERROR r = Ask([d, notify] { return d->Play(notify); }, (MCIERROR)MCIERR_DEVICE_NOT_READY);
  if (r == 0) {
    struct Length {
      bool known = false;
      DWORD ms = 0;
    };
    Length length = Ask(
        [d] {
          Length l;
          l.known = d->LengthMs(&l.ms);
          return l;
        },
        Length{});
    if (answering_) {
      ArmDeviceTimer(PlayBoundMs(length.known, length.ms));
      return true;
    }
  }
  host_.AppendToLine(resultLine_, host_.Text(r == MCIERR_WAVE_OUTPUTSINUSE ? IDS_MEDIA_BUSY : IDS_MEDIA_FAILED));
  CloseDevice(true);
  return false;
}

void MediaRun::CloseDevice(bool hideVideo, bool wait) {
  if (!device_) return;
  // The window belongs to the device's thread: told without waiting for it.
  if (hideVideo && video_ && ::IsWindow(video_)) ::ShowWindowAsync(video_, SW_HIDE);
  std::shared_ptr<mm::MciDevice> d = device_;
  if (answering_) {
    if (wait) host_.Wait(500);
    Do([d] { d->Close(); });
  }
  device_.reset();
  deviceId_ = 0;
  video_ = nullptr;
  host_.DeviceClosed();
}

void MediaRun::Stop() {
  if (!running_) return;
  MCIDEVICEID id = OpenDeviceId();
  std::shared_ptr<mm::MciDevice> d = device_;
  if (cdPhase_) {
    if (d) Do([d] { d->Stop(); });
    if (step_ == 1 || step_ == 2) Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
  } else {
    abort_ = true;
    pass_ = 0;
    item_ = -1;
    if (d) Do([d] { d->Stop(); });
  }
  // The stop's own notification ends the run; should the device send none,
  // this one does (whichever comes second finds the device closed).
  if (id) host_.PostNotify(MCI_NOTIFY_ABORTED, id);
}

void MediaRun::ArmDeviceTimer(DWORD ms) {
  boundMs_ = ms;
  host_.SetDeviceTimer(ms);
}

void MediaRun::OnDeviceTimer() {
  host_.KillDeviceTimer();
  if (!running_ || !device_) return;
  MediaTestStep(kDeviceTimedOut);
}

void MediaRun::ReportTimeout(int failedLine) {
  UINT id = IDS_MEDIA_TIMEOUT_WAVE;
  wchar_t drive = 0;
  switch (deviceType_) {
    case mm::kMciCdAudio:
      id = IDS_MEDIA_TIMEOUT_CD;
      if (drive_ >= 0 && drive_ < DriveCount()) drive = drives_[drive_];
      break;
    case mm::kMciSequencer: id = IDS_MEDIA_TIMEOUT_MIDI; break;
    case mm::kMciWaveAudio: id = IDS_MEDIA_TIMEOUT_WAVE; break;
    default: id = IDS_MEDIA_TIMEOUT_VIDEO; break;
  }
  if (failedLine >= 0 && failedLine < host_.LineCount()) host_.AppendToLine(failedLine, host_.Text(IDS_MEDIA_FAILED));
  host_.AddLine(DeviceTimeoutText(host_.Text(id), drive, (boundMs_ + 999) / 1000));
  ++errors_;
}

void MediaRun::OnNotify(WPARAM code, LPARAM deviceId) {
  // Only the open device's notifications count: one of a device that was
  // closed since (a stop's late "aborted") must not end the next step.
  if (!device_ || (MCIDEVICEID)deviceId != deviceId_) return;
  MediaTestStep(code);
}

void MediaRun::MediaTestStep(WPARAM code) {
  if (!device_) return;
  host_.KillDeviceTimer();
  if (cdPhase_)
    CdStep(code);
  else
    FileStep(code);
}

void MediaRun::FileStep(WPARAM code) {
  switch (code) {
    case MCI_NOTIFY_SUCCESSFUL:
      host_.AppendToLine(resultLine_, host_.Text(IDS_MEDIA_OK));
      break;
    case MCI_NOTIFY_SUPERSEDED:
      host_.AddLine(L"");
      host_.AddLine(host_.Text(IDS_MEDIA_SUPERSEDED));
      ++errors_;
      break;
    case MCI_NOTIFY_ABORTED:
      host_.AddLine(L"");
      host_.AddLine(host_.Text(IDS_MEDIA_ABORTED));
      break;
    case MCI_NOTIFY_FAILURE:
      host_.AppendToLine(resultLine_, host_.Text(IDS_MEDIA_FAILED));
      ++errors_;
      break;
    case kDeviceTimedOut:
      // The device never said it finished: a failure, and the run goes on.
      ReportTimeout(resultLine_);
      code = MCI_NOTIFY_FAILURE;
      break;
    default:
      break;
  }
  host_.SetProgress(item_ + 1);
  CloseDevice(true);
  // A Stop that came after the device had finished (before its notice was
  // handled, or during the wait before the close) ends the run here: the
  // stop's own "aborted" notice finds the device closed.
  if (abort_ && code != MCI_NOTIFY_ABORTED) {
    host_.AddLine(L"");
    host_.AddLine(host_.Text(IDS_MEDIA_ABORTED));
    code = MCI_NOTIFY_ABORTED;
  }
  if ((code == MCI_NOTIFY_SUCCESSFUL || code == MCI_NOTIFY_FAILURE) && StartNextMediaItem()) return;
  EndRun(code);
}

void MediaRun::EndRun(WPARAM code) {
  cdPhase_ = false;
  host_.KillCdTimer();
  host_.KillDeviceTimer();
  if (code != MCI_NOTIFY_SUCCESSFUL && code != MCI_NOTIFY_FAILURE && item_ != -1) abort_ = true;
  // A run that tried nothing did not pass.
  if (NothingTested(stepsTried_, abort_)) {
    host_.AddLine(host_.Text(IDS_MEDIA_NOTHING_TESTED));
    ++errors_;
  }
  item_ = -1;
  pass_ = 0;
  running_ = false;
  host_.RunEnded();
}

// ---- The audio CD phase ------------------------------------------------------------

void MediaRun::CdProgress() { host_.SetProgress(FileCount() + step_ + 3 * drive_); }

bool MediaRun::StartCdPhase() {
  // Every drive is tried until one plays.
  for (drive_ = 0;; ++drive_) {
    step_ = 0;
    if (RunAudioCdTest(drive_)) return true;
    ++errors_;
    host_.SetProgress(FileCount() + 3 + 3 * drive_);
    if (drive_ + 1 >= DriveCount()) return false;
  }
}

int MediaRun::FindFirstAudioTrack() {
  std::shared_ptr<mm::MciDevice> d = device_;
  if (!d) return 0;
  return Ask(
      [d] {
        DWORD n = d->GetStatus(MCI_STATUS_NUMBER_OF_TRACKS);
        if (n == mm::kModeNotReady) return 0;
        for (DWORD t = 1; t <= n && t <= 99; ++t)
          if (d->GetTrackStatus(MCI_CDA_STATUS_TYPE_TRACK, t) == mm::kTrackAudio) return (int)t;
        return 0;
      },
      0);
}

bool MediaRun::RunAudioCdTest(int drive) {
  ++stepsTried_;
  bool failed = false;
  if (drives_.empty()) {
    host_.AddLine(host_.Text(IDS_MEDIA_NO_CDROM));
  } else {
    if (step_ == 0 && drive == 0) {
      host_.AddLine(host_.Text(IDS_MEDIA_CD_WILL_STOP));
      host_.AddLine(host_.Text(IDS_MEDIA_CD_LISTEN));
    }
    if (drive >= DriveCount()) {
      host_.AddLine(host_.Text(IDS_MEDIA_CD_FAILED));
    } else {
      if (step_ == 0) {
        std::wstring line = host_.Text(IDS_MEDIA_TESTING_DRIVE);
        size_t at = line.find(L"%c");
        if (at != std::wstring::npos) line.replace(at, 2, 1, drives_[drive]);
        host_.AddLine(line);
      }
      if (device_) {
        CloseDevice(false);
        host_.AddLine(host_.Text(IDS_MEDIA_CD_FAILED));
        host_.AddLine(host_.Text(IDS_MEDIA_BUSY));
      } else {
        std::wstring element(1, drives_[drive]);
        element += L':';
        device_ = OpenDevice(mm::kMciCdAudio, element);
        if (!device_) {
          host_.AddLine(host_.Text(IDS_MEDIA_CD_OPEN_FAILED));
          failed = true;
        } else {
          deviceId_ = device_->DeviceId();
          if (s_.cdPlayDelay > 0) host_.Wait((DWORD)s_.cdPlayDelay * 1000);
          std::shared_ptr<mm::MciDevice> d = device_;
          DWORD mode = Ask([d] { return d->GetStatus(MCI_STATUS_MODE); }, mm::kModeNotReady);
          int track = 0;
          if (mode == mm::kModeNotReady || mode == mm::kModeOpen) {
            host_.AddLine(host_.Text(IDS_MEDIA_CD_NOT_READY));
            failed = true;
          } else if ((track = FindFirstAudioTrack()) == 0) {
            host_.AddLine(host_.Text(IDS_MEDIA_NO_AUDIO_TRACK));
            failed = true;
          } else {
            host_.KillCdTimer();
            cdPhase_ = true;
            HWND notify = host_.NotifyWindow();
            DWORD from = mm::PackTmsf(track, 0, 0, 0);
            Do([d, notify, from] { d->PlayFrom(notify, from); });
            poll_ = 0;
            stopByUser_ = true;
            host_.SetCdTimer(5000);
            if (step_ == 0) resultLine_ = host_.AddLine(host_.Text(IDS_MEDIA_CD_PLAYING));
            return true;
          }
        }
        if (failed) {
          CloseDevice(false, false);
          if (step_ == 0) host_.AddLine(host_.Text(IDS_MEDIA_CD_FAILED));
        }
      }
    }
  }
  if (step_ == 0)
    host_.SetProgress(FileCount() + 3 + 3 * drive);
  else
    host_.SetProgress(FileCount() + step_ + 1 + 3 * drive);
  return false;
}

void MediaRun::OnCdTimer() {
  host_.KillCdTimer();
  ++poll_;
  std::shared_ptr<mm::MciDevice> d = device_;
  if (!d) return;
  DWORD mode = Ask([d] { return d->GetStatus(MCI_STATUS_MODE); }, mm::kModeNotReady);
  if (mode == mm::kModePlay) {
    if (poll_ < 20) {
      host_.SetCdTimer(500);
      return;
    }
    if (step_ == 1 || step_ == 2) Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
    stopByUser_ = false;  // the aborted notification that follows is the end of the play time
    Do([d] { d->Stop(); });
    ArmDeviceTimer(kCdStopAnswerMs);
    return;
  }
  // The disc stopped before its time: a failure.
  if (step_ == 1 || step_ == 2) Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
  stopByUser_ = true;
  Do([d] { d->Stop(); });
  MediaTestStep(MCI_NOTIFY_FAILURE);
}

void MediaRun::NextStep() {
  ++step_;
  if (step_ == 1 && s_.recordMicrophone == 0) step_ = 2;
  if (step_ == 2 && s_.recordLinein == 0) step_ = 3;
}

void MediaRun::CdStep(WPARAM code) {
  host_.KillCdTimer();
  // The line of this step's result: the listening line, or the loopback one.
  int line = step_ == 1 || step_ == 2 ? loopLine_ : resultLine_;
  if (code == MCI_NOTIFY_ABORTED && !stopByUser_) {
    // The end of the play time.
    stopByUser_ = true;
    if (step_ == 0) {
      host_.AppendToLine(line, host_.Text(IDS_MEDIA_OK));
    } else if (step_ == 1 || step_ == 2) {
      Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
      int threshold = step_ == 1 ? s_.silenceJumpMicrophone : s_.silenceJumpLinein;
      bool silent = Ask([threshold] { return mm::CheckRecordedLevel(threshold) != FALSE; }, true, Subject::WaveIn);
      if (silent) ++errors_;
      if (line >= 0 && line < host_.LineCount())
        host_.AppendToLine(line, host_.Text(silent ? IDS_MEDIA_FAILED : IDS_MEDIA_OK));
    }
  } else if (code == MCI_NOTIFY_ABORTED) {
    // Stopped by the user: nothing further of this or any other drive.
    step_ = 3;
    host_.AddLine(L"");
    host_.AddLine(host_.Text(IDS_MEDIA_ABORTED));
  } else if (code == MCI_NOTIFY_SUCCESSFUL) {
    host_.AppendToLine(line, host_.Text(IDS_MEDIA_OK));
  } else if (code == MCI_NOTIFY_SUPERSEDED) {
    host_.AddLine(L"");
    host_.AddLine(host_.Text(IDS_MEDIA_SUPERSEDED));
    ++errors_;
  } else if (code == MCI_NOTIFY_FAILURE) {
    host_.AppendToLine(line, host_.Text(IDS_MEDIA_FAILED));
    ++errors_;
  } else if (code == kDeviceTimedOut) {
    // The disc never answered its stop: a failure, and the phase goes on.
    stopByUser_ = true;
    ReportTimeout(line);
    code = MCI_NOTIFY_FAILURE;
  }
  if (step_ >= 1 && step_ <= 3) Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
  NextStep();
  CdProgress();
  CloseDevice(true);

  while (cdPhase_ && step_ >= 1 && step_ <= 3) {
    if (step_ == 1 || step_ == 2) {
      loopLine_ = host_.AddLine(host_.Text(step_ == 1 ? IDS_MEDIA_MIC_TEST : IDS_MEDIA_LINEIN_TEST));
      if (SetUpLoopback()) return;
      LoopbackFailed();
      continue;
    }
    // Step 3: the next drive, every one of them.
    if (drive_ + 1 < DriveCount()) {
      step_ = 0;
      ++drive_;
      if (RunAudioCdTest(drive_)) return;
      ++errors_;
      step_ = 3;
      CdProgress();
      continue;
    }
    step_ = 4;
  }
  EndRun(code == MCI_NOTIFY_ABORTED ? MCI_NOTIFY_SUCCESSFUL : code);
}

bool MediaRun::SetUpLoopback() {
  HWND notify = host_.NotifyWindow();
  if (!Ask([notify] { return mm::RecordLoopback(notify) != FALSE; }, false, Subject::WaveIn)) return false;
  if (!RunAudioCdTest(drive_)) return false;
  mm::CMixer* m = mixer_;
  if (!m) return false;
  DWORD cdType = CdSourceType(drive_, s_.cd1, s_.cd2);
  DWORD input = step_ == 1 ? MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE : MIXERLINE_COMPONENTTYPE_SRC_LINE;
  return Ask(
      [m, cdType, input] {
        return m->MuteAllSources(TRUE) && m->MuteAllSources(FALSE) && m->EnableSource(cdType, TRUE, TRUE) &&
               m->EnableSource(input, FALSE, TRUE) && mm::StartWaveIn();
      },
      false, Subject::Mixer);
}

void MediaRun::LoopbackFailed() {
  Do([] { mm::StopWaveIn(); }, Subject::WaveIn);
  host_.KillCdTimer();
  if (std::shared_ptr<mm::MciDevice> d = device_) {
    Do([d] { d->Stop(); });
    CloseDevice(false);
  }
  ++errors_;
  if ((step_ == 1 || step_ == 2) && loopLine_ >= 0 && loopLine_ < host_.LineCount())
    host_.AppendToLine(loopLine_, host_.Text(IDS_MEDIA_FAILED));
  NextStep();
  CdProgress();
}

}  // namespace media
