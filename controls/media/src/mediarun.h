// The media test's step machine: the selected files played one after the
// other through MCI, then (audio mode) the audio CD phase with its listening
// and loopback recording steps. It runs on the page's window thread and
// moves on when a notification (MM_MCINOTIFY) or the CD timer arrives; the
// page is reached through MediaHost, the devices through the MCI, mixer and
// wave-in routines.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mm/mci.h"

namespace mm {
class CMixer;
}

namespace media {

// File types of the test lists.
enum FileType : WORD { kTypeNone = 0, kTypeMidi = 1, kTypeWave = 2, kTypeAvi = 3, kTypeMpeg = 4 };
constexpr int kMaxFiles = 10;

struct MediaFile {
  std::wstring path;
  WORD type = kTypeNone;
};

// The type of a list entry by its extension (last four characters, any
// case): audio ".wav" 2, ".mid"/".rmi" 1; video ".avi" 3, ".mpg" 4; else 0.
WORD FileTypeOf(const std::wstring& path, bool audioMode);
// The part of a path after its last backslash.
std::wstring DisplayName(const std::wstring& path);
// The CD drive letters a run tests: every CD-ROM letter for DriveNo 0, else
// the DriveNo-th (counted from 1), the first when there are fewer.
std::wstring ChooseCdDrives(const std::wstring& letters, int driveNo);
// The mixer source type of the CD of drive `drive` during loopback: the
// "CD1" name for drives 0 and 2.., "CD2" for drive 1; "CD" is the compact
// disc source, "AUX" the auxiliary one, other names by the drive.
DWORD CdSourceType(int drive, const std::wstring& cd1, const std::wstring& cd2);

// Whether a chosen file's extension is one the mode takes.
bool AcceptedExtension(const std::wstring& path, bool audioMode);
// A "a|b|c||" filter as the file dialog takes it ("a\0b\0c\0\0").
std::wstring FileDialogFilter(const std::wstring& text);
// The list the select dialog's lines make: lines of any of the four types,
// in order, at most ten; empty and unknown lines are dropped.
std::vector<MediaFile> FilesFromLines(const std::vector<std::wstring>& lines);
// The files a run plays from the user's stored list (its values in order,
// "" for none): the entries whose file exists and whose type the mode takes;
// when none does, the defaults that exist. The stored list itself is left
// as it is.
std::vector<MediaFile> PlayListFrom(const std::vector<std::wstring>& listed, bool audioMode,
                                    const std::vector<MediaFile>& defaults,
                                    bool (*exists)(const std::wstring& path));
// The lines the select-files dialog opens with: the user's stored entries
// (missing files and other types included, so that nothing is hidden) when
// there are any, else the play list.
std::vector<std::wstring> DialogLinesFrom(const std::vector<std::wstring>& listed,
                                          const std::vector<MediaFile>& playList);
// The stored list the dialog's lines make: the non-empty lines in order, at
// most ten.
std::vector<std::wstring> ListedFromLines(const std::vector<std::wstring>& lines);

// Where the stored list's ten values live (the control's settings key).
class ListStore {
 public:
  virtual ~ListStore() = default;
  virtual bool Write(int index, const std::wstring& text) = 0;
  virtual bool Remove(int index) = 0;
};
// Writes the stored list as a whole: value i becomes `after[i]` (none: left
// as it is); `before` is what is stored now (none: no such value). When a
// write fails, the values written before it are put back as they were, so
// that the user's list is never left half old and half new: false then.
bool WriteStoredList(const std::vector<std::optional<std::wstring>>& before,
                     const std::vector<std::optional<std::wstring>>& after, ListStore& store);

// CDPlayDelay: 0..5, anything else 1.
int ClampCdPlayDelay(long long value);

// How long a played file may take before its device counts as hung: its
// length plus a margin for a slow start on a busy machine (a quarter of the
// length, at least 30 s); a length the device cannot tell gets a fixed bound.
constexpr DWORD kUnknownLengthBoundMs = 120000;
constexpr DWORD kMaxPlayLengthMs = 4 * 3600 * 1000;  // longer "lengths" are taken as this
DWORD PlayBoundMs(bool lengthKnown, DWORD lengthMs);
// How long a disc stopped at the end of its play time has to say so.
constexpr DWORD kCdStopAnswerMs = 10000;
// A device text with "%c" (a drive letter) and "%d" (seconds) filled in.
std::wstring DeviceTimeoutText(const std::wstring& format, wchar_t drive, DWORD seconds);
// Whether the end of a run says "Nothing was tested." and counts one error:
// no file, disc or file check was tried (every test disabled) and the run
// was not stopped.
bool NothingTested(int stepsTried, bool stopped);

struct MediaSettings {
  bool audioMode = true;
  int loop = 1;
  int waveEnable = 1, midiEnable = 1, audioCdEnable = 0, aviEnable = 0, mpgEnable = 0;
  int recordMicrophone = 0, recordLinein = 0;
  int silenceJumpMicrophone = 128, silenceJumpLinein = 32;
  int cdPlayDelay = 1;
  std::wstring cd1 = L"CD", cd2 = L"AUX";
};

// What the machine needs of its page.
class MediaHost {
 public:
  virtual ~MediaHost() = default;
  virtual std::wstring Text(UINT id) = 0;
  virtual int AddLine(const std::wstring& text) = 0;
  virtual int LineCount() = 0;
  // Removes line `index` and inserts it again at its place with `text`
  // appended (nothing when the index is beyond the list).
  virtual void AppendToLine(int index, const std::wstring& text) = 0;
  virtual void SetProgress(int position) = 0;
  virtual void SetCdTimer(UINT ms) = 0;
  virtual void KillCdTimer() = 0;
  // The bound on the open device's answer (a timer of its own).
  virtual void SetDeviceTimer(UINT ms) = 0;
  virtual void KillDeviceTimer() = 0;
  // Queues an MM_MCINOTIFY to the page (a stop ends the run even when the
  // device itself sends nothing).
  virtual void PostNotify(WPARAM code, MCIDEVICEID deviceId) = 0;
  // Runs a call into the sound devices (MCI, mixer, wave input) where it
  // cannot hold the page: false when it did not return within the bound of
  // a device's answer, or when an earlier call did not (it then does not
  // run). The call captures by value.
  virtual bool CallDevice(std::function<void()> call) = 0;
  virtual void Wait(DWORD ms) = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  virtual HWND NotifyWindow() = 0;
  // A device was closed: its notifications still queued can go.
  virtual void DeviceClosed() {}
  virtual void ShowVideoWindow(HWND window, const std::wstring& title) {}
  // The run is over (summary, log and report are the page's).
  virtual void RunEnded() = 0;
};

class MediaRun {
 public:
  MediaRun(MediaHost& host, const MediaSettings& settings, std::vector<MediaFile> files, std::wstring cdDrives,
           mm::CMixer* mixer, bool haveMixerHandle);
  ~MediaRun();

  // Starts a run; false when it ended at once (RunEnded was called).
  bool Start();
  // The Stop button during a run: stops the open device; its aborted
  // notification ends the run.
  void Stop();
  // MM_MCINOTIFY (wParam, lParam = the device id).
  void OnNotify(WPARAM code, LPARAM deviceId);
  // Timer 1124.
  void OnCdTimer();
  // The device timer: the open device did not answer in time.
  void OnDeviceTimer();

  bool Running() const { return running_; }
  int Errors() const { return errors_; }
  bool Aborted() const { return abort_; }
  bool CdPhase() const { return cdPhase_; }
  int Step() const { return step_; }
  int ItemIndex() const { return item_; }
  // The device id of the open device, 0 when none.
  MCIDEVICEID OpenDeviceId() const;
  // Whether the devices stopped answering during the run.
  bool DevicesGivenUp() const { return !answering_; }
  // Closes whatever is open (the page goes).
  void Shutdown();

 private:
  bool CheckSelectedFiles();
  bool Enabled(WORD type) const;
  int NextEnabled(int from) const;
  bool StartNextMediaItem();
  bool PlayMediaFile(WORD type, const std::wstring& path);
  void MediaTestStep(WPARAM code);
  void ArmDeviceTimer(DWORD ms);
  // "FAILED" on line `failedLine` and the line naming the device.
  void ReportTimeout(int failedLine);

  // Calls into the devices through the host: `f` runs where it cannot hold
  // the page, and its result comes back; `failed` when the devices did not
  // answer (the first time the run says so, naming `subject`, and gives
  // them up: later calls fail at once).
  enum class Subject { Device, WaveIn, Mixer };
  template <class R, class F>
  R Ask(F f, R failed, Subject subject = Subject::Device);
  template <class F>
  bool Do(F f, Subject subject = Subject::Device) {
    return Ask([f] { f(); return true; }, false, subject);
  }
  void NoAnswer(Subject subject);
  // Opens a device of `type` on `element`; the open device or null.
  std::shared_ptr<mm::MciDevice> OpenDevice(WORD type, const std::wstring& element);
  void FileStep(WPARAM code);
  void CdStep(WPARAM code);
  bool StartCdPhase();
  bool RunAudioCdTest(int drive);
  int FindFirstAudioTrack();
  bool SetUpLoopback();
  void LoopbackFailed();
  void NextStep();
  // Closes the open device: the video window hidden, half a second's wait
  // (`wait`), the close.
  void CloseDevice(bool hideVideo, bool wait = true);
  void EndRun(WPARAM code);
  int FileCount() const { return (int)files_.size(); }
  int DriveCount() const { return (int)drives_.size(); }
  void CdProgress();

  MediaHost& host_;
  MediaSettings s_;
  std::vector<MediaFile> files_;
  std::wstring drives_;
  mm::CMixer* mixer_;
  bool haveMixerHandle_;

  // The open device, and what the run knows of it without asking it.
  std::shared_ptr<mm::MciDevice> device_;
  MCIDEVICEID deviceId_ = 0;
  WORD deviceType_ = 0;
  HWND video_ = nullptr;
  bool answering_ = true;  // no device call has overrun its bound
  int resultLine_ = -1;    // the line that takes the open step's result
  int stepsTried_ = 0;
  bool running_ = false;
  int item_ = -1;
  int pass_ = 0;
  int errors_ = 0;
  bool abort_ = false;
  bool cdPhase_ = false;
  bool stopByUser_ = true;
  int poll_ = 0;
  int step_ = 0;
  int loopLine_ = -1;
  int drive_ = 0;
  DWORD boundMs_ = 0;  // the device timer's bound
};

}  // namespace media
