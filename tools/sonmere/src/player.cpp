#include "player.h"

#include <commctrl.h>

#include <cstdio>

#include "mm/mci.h"

namespace sonmere {

std::wstring FormatTime(int seconds) {
  if (seconds < 0) seconds = 0;
  wchar_t text[32];
  swprintf(text, 32, L"%d:%02d", seconds / 60, seconds % 60);
  return text;
}

std::wstring FormatTrackCount(int track, int count) {
  wchar_t text[32];
  swprintf(text, 32, L"%2d/%2d", track, count);
  std::wstring s = text;
  for (wchar_t& c : s)
    if (c == L' ') c = L'0';
  return s;
}

int SeekStep(int trackSeconds) {
  int step = trackSeconds / 8;
  return step < 1 ? 1 : step > 60 ? 60 : step;
}

int WrapTrack(int track, int count) {
  if (count < 1) return 0;
  if (track < 1) return count;
  if (track > count) return 1;
  return track;
}

DisplayState StateOfMode(DWORD mode, bool paused) {
  switch (mode) {
    case mm::kModeNotReady:
    case mm::kModeOpen: return kEmpty;
    case mm::kModeStop: return paused ? kPaused : kReady;
    case mm::kModePlay: return kPlaying;
    default: return kReady;
  }
}

int PlayTickBound(int discSeconds) {
  const int kLongestDisc = 80 * 60, kMargin = 60;
  if (discSeconds <= 0 || discSeconds > kLongestDisc) discSeconds = kLongestDisc;
  return discSeconds + kMargin;
}

CdPlayer::CdPlayer(PlayerView& view, HWND notify) : view_(view), notify_(notify) {}

CdPlayer::~CdPlayer() = default;

bool CdPlayer::CreateDevice() {
  device_.reset();
  discRead_ = false;
  auto device = std::make_unique<mm::MciDevice>(mm::kMciCdAudio, L"", notify_);
  if (!device->IsOpen()) return false;
  device->SetNotifyOnStop(true);
  device_ = std::move(device);
  return true;
}

int CdPlayer::TrackLength(int track) const {
  return track >= 1 && track <= (int)lengths_.size() ? lengths_[(size_t)track - 1] : 0;
}

bool CdPlayer::MediaPresent() { return device_ && device_->GetStatus(MCI_STATUS_MEDIA_PRESENT) == TRUE; }

bool CdPlayer::IsPlaying() { return device_ && device_->GetStatus(MCI_STATUS_MODE) == mm::kModePlay; }

void CdPlayer::ReadDisc() {
  lengths_.clear();
  total_ = 0;
  firstAudio_ = 0;
  if (!device_) return;
  DWORD n = device_->GetStatus(MCI_STATUS_NUMBER_OF_TRACKS);
  if (n > 99) n = 0;  // no real disc has more: the query failed
  for (DWORD t = 1; t <= n; ++t) {
    DWORD msf = device_->GetTrackLength(t);
    int seconds = (int)(msf & 0xFF) * 60 + (int)((msf >> 8) & 0xFF);
    lengths_.push_back(seconds);
    total_ += seconds;
    if (!firstAudio_ && device_->GetTrackStatus(MCI_CDA_STATUS_TYPE_TRACK, t) == mm::kTrackAudio) firstAudio_ = (int)t;
  }
}

bool CdPlayer::NeedDevice() {
  if (device_) return true;
  view_.Message(view_.String(kStrNotOpen), false);
  return false;
}

void CdPlayer::SetUpSlider(int track, int pos) {
  view_.SetSliderRange(TrackLength(track));
  view_.SetSliderPos(pos < 0 ? 0 : pos);
}

void CdPlayer::OnTimer() {
  busy_ = true;
  DisplayState before = state_;
  if (!device_) {
    state_ = kEmpty;
  } else {
    bool present = MediaPresent();
    if (present && !discRead_) {
      discRead_ = true;
      paused_ = seeking_ = false;
      current_ = 1;
      ReadDisc();
      if (firstAudio_) current_ = firstAudio_;
    } else if (!present && discRead_) {
      // The disc is gone: the next tick finds the drive empty.
      discRead_ = false;
      lengths_.clear();
      total_ = firstAudio_ = 0;
      paused_ = false;
      Refresh();
      busy_ = false;
      return;
    }
    state_ = StateOfMode(device_->GetStatus(MCI_STATUS_MODE), paused_);
  }
  if (state_ != kPlaying) {
    // A disc that stopped playing starts again at its first audio track.
    if (before == kPlaying && !paused_) current_ = FirstOrOne();
    if (view_.PositionSliderShown()) view_.ShowPositionSlider(false);
    playTicks_ = 0;
  } else if (++playTicks_ > PlayTickBound(total_)) {
    // The drive says "playing" longer than the disc lasts: it never ends by
    // itself. It is stopped, and the player shows the disc at rest.
    playTicks_ = 0;
    paused_ = false;
    current_ = FirstOrOne();
    device_->Stop();
    view_.ShowPositionSlider(false);
    state_ = StateOfMode(device_->GetStatus(MCI_STATUS_MODE), paused_);
  } else {
    DWORD pos = device_->GetStatus(MCI_STATUS_POSITION);
    int track = mm::TmsfTrack(pos);
    if (track != current_ && track >= 1) {
      current_ = track;
      elapsed_ = 0;
      SetUpSlider(track, mm::TmsfMinutes(pos) * 60 + mm::TmsfSeconds(pos) - 1);
    }
    if (!view_.PositionSliderShown()) view_.ShowPositionSlider(true);
    int slider = view_.SliderPos();
    if (slider < TrackLength(current_)) {
      view_.SetSliderPos(slider + 1);
      elapsed_ = slider + 1;
    }
  }
  Refresh();
  busy_ = false;
}

void CdPlayer::PlayTrack(int track) {
  if (!NeedDevice()) return;
  if (!discRead_) {
    discRead_ = true;
    paused_ = seeking_ = false;
    current_ = 1;
    if (!MediaPresent()) {
      Refresh();
      return;
    }
    ReadDisc();
    if (firstAudio_) track = firstAudio_;
  }
  if (device_->GetTrackStatus(MCI_CDA_STATUS_TYPE_TRACK, (DWORD)track) != mm::kTrackAudio) {
    view_.Message(view_.String(kStrNotPlayable) + L" " + std::to_wstring(track), false);
    Refresh();
    return;
  }
  paused_ = false;
  current_ = track;
  elapsed_ = 0;
  SetUpSlider(track, 0);
  PlayFrom(mm::PackTmsf(track, 0, 0, 0));
  view_.ShowPositionSlider(true);
  Refresh();
}

void CdPlayer::PlayFrom(DWORD position) {
  playTicks_ = 0;
  device_->PlayFrom(notify_, position);
}

void CdPlayer::Step(int direction) {
  if (busy_ || lengths_.empty()) return;
  int track = WrapTrack(current_ + direction, TrackCount());
  if (IsPlaying()) {
    PlayTrack(track);
  } else {
    current_ = track;
    Refresh();
  }
}

void CdPlayer::Seek(int direction) {
  if (busy_) return;
  if (!NeedDevice()) return;
  if (!IsPlaying()) {
    view_.Message(view_.String(kStrNotPlaying), true);
    return;
  }
  int length = TrackLength(current_);
  int p = view_.SliderPos() + direction * SeekStep(length);
  if (p > 0 && p < length) {
    PlayFrom(mm::PackTmsf(current_, p / 60, p % 60, 30));
    view_.SetSliderPos(p);
    elapsed_ = p + 1;
    view_.SetDisplayText(kIdElapsed, FormatTime(elapsed_));
  } else {
    PlayTrack(WrapTrack(current_ + direction, TrackCount()));
  }
}

void CdPlayer::OnCommand(int id) {
  switch (id) {
    case kIdPlay:
      if (!device_) {
        Refresh();
        return;
      }
      if (IsPlaying()) return;
      view_.SetSliderPos(0);
      PlayTrack(current_);
      return;
    case kIdStop:
      if (!NeedDevice()) return;
      view_.SetSliderPos(0);
      paused_ = false;
      current_ = FirstOrOne();
      device_->Stop();
      view_.ShowPositionSlider(false);
      return;
    case kIdPause:
      if (!NeedDevice()) return;
      paused_ = device_->TogglePause() != FALSE;
      playTicks_ = 0;
      return;
    case kIdPrevious: Step(-1); return;
    case kIdNext: Step(1); return;
    case kIdBack: Seek(-1); return;
    case kIdForward: Seek(1); return;
    case kIdEject:
      if (NeedDevice()) device_->ToggleDoor();
      return;
    case kIdVolDown:
    case kIdVolUp: {
      int direction = id == kIdVolUp ? 1 : -1;
      if (device_)
        device_->StepVolume(4096, direction);
      else
        mm::StepMixerVolume(4096, direction);
      return;
    }
    default: return;
  }
}

void CdPlayer::OnSlider(int code, int pos) {
  if (!device_ || !view_.PositionSliderShown()) return;
  switch (code) {
    case TB_LINEUP:
    case TB_LINEDOWN:
    case TB_PAGEUP:
    case TB_PAGEDOWN:
    case TB_THUMBTRACK:
      seeking_ = true;
      return;
    case TB_THUMBPOSITION:
    case TB_ENDTRACK:
      if (!seeking_) return;
      seeking_ = false;
      if (code == TB_ENDTRACK) pos = view_.SliderPos();
      if (pos < TrackLength(current_))
        PlayFrom(mm::PackTmsf(current_, pos / 60, pos % 60, 30));
      else
        PlayTrack(WrapTrack(current_ + 1, TrackCount()));
      return;
    default: return;
  }
}

bool CdPlayer::OnNotify(WPARAM code) {
  if (code != MCI_NOTIFY_SUCCESSFUL && code != MCI_NOTIFY_ABORTED) return false;
  current_ = FirstOrOne();
  paused_ = false;
  view_.ShowPositionSlider(false);
  return true;
}

void CdPlayer::StopForClose() {
  if (device_) device_->Stop();
}

void CdPlayer::Refresh() {
  auto set = [&](int id, const std::wstring& text) {
    if (view_.DisplayText(id) != text) view_.SetDisplayText(id, text);
  };
  set(kIdStatus, view_.String(kStrEmpty + state_));
  if (state_ == kEmpty) {
    view_.ShowPositionSlider(false);
    set(kIdTrack, L"");
    set(kIdElapsed, L"");
    set(kIdLength, L"");
    return;
  }
  if (lengths_.empty()) {
    set(kIdLength, L"");
    set(kIdTrack, L"");
  } else {
    set(kIdLength, state_ == kReady     ? FormatTime(total_)
                   : state_ == kPlaying ? FormatTime(TrackLength(current_))
                                        : L"");
    set(kIdTrack, FormatTrackCount(current_, TrackCount()));
  }
  set(kIdElapsed, state_ == kPlaying ? FormatTime(elapsed_) : L"");
}

}  // namespace sonmere
