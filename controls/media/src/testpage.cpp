// The media Test page: the file sequence and the audio CD phase run on the
// page's thread, moved on by MCI notifications and the CD timer; the
// mixer set-up, the speaker channel boxes, the select-files dialog and the
// audio CD player button.
#include "testpage.h"

#include <commctrl.h>

#include <cwchar>
#include <vector>

#include "appkit/text.h"
#include "infoclient/listbox.h"
#include "ctlfw/runner.h"
#include "ids.h"
#include "mm/devicethread.h"
#include "mm/mixer.h"
#include "mm/mmapi.h"
#include "runner.h"
#include "suite/controls.h"

namespace media {

namespace {

// The player's own caption, looked for beside the "CDTestTitle" value.
const wchar_t kPlayerCaption[] = L"Audio CD Player";

class CTestTest : public ctlfw::TestPage, public MediaHost {
 public:
  explicit CTestTest(CMediaRunner& runner) : ctlfw::TestPage(runner, IDD_MEDIA_TEST_PAGE), media_(runner) {}
  ~CTestTest() override;

  // ---- MediaHost --------------------------------------------------------------
  std::wstring Text(UINT id) override { return appkit::LoadStr(id, media_.Resources()); }
  int AddLine(const std::wstring& text) override {
    return (int)SendItem(IDC_TEST_RESULTS, LB_ADDSTRING, 0, (LPARAM)text.c_str());
  }
  int LineCount() override { return (int)SendItem(IDC_TEST_RESULTS, LB_GETCOUNT); }
  void AppendToLine(int index, const std::wstring& text) override;
  void SetProgress(int position) override { SendItem(IDC_TEST_PROGRESS, PBM_SETPOS, (WPARAM)position); }
  void SetCdTimer(UINT ms) override { ::SetTimer(hwnd(), IDT_MEDIA_CD, ms, nullptr); }
  void KillCdTimer() override { ::KillTimer(hwnd(), IDT_MEDIA_CD); }
  void SetDeviceTimer(UINT ms) override { ::SetTimer(hwnd(), IDT_MEDIA_DEVICE, ms, nullptr); }
  void KillDeviceTimer() override { ::KillTimer(hwnd(), IDT_MEDIA_DEVICE); }
  void PostNotify(WPARAM code, MCIDEVICEID id) override { ::PostMessageW(hwnd(), MM_MCINOTIFY, code, (LPARAM)id); }
  bool CallDevice(std::function<void()> call) override { return devices_.Call(std::move(call)); }
  void Wait(DWORD ms) override { ::Sleep(ms); }
  bool FileExists(const std::wstring& path) override {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  HWND NotifyWindow() override { return hwnd(); }
  void DeviceClosed() override;
  void ShowVideoWindow(HWND window, const std::wstring& title) override;
  void RunEnded() override;

 protected:
  UINT TestIconId() const override { return media_.AudioMode() ? IDI_MEDIA_AUDIO : 0; }
  std::wstring Description() const override {
    return media_.AudioMode() ? appkit::LoadStr(IDS_MEDIA_DESCRIPTION, media_.Resources()) : L"";
  }
  std::vector<std::string> TestNames() const override;
  ctlfw::PageItems Items() const override;
  ctlfw::RunEnd RunEndRule() const override;
  void StartWorkers() override {}
  void StartStopTest() override;
  void KeepChoices() override;
  void AfterWorkersOut() override;

  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnTimer(UINT_PTR id) override;

 private:
  void SetProgressRange();
  void StopRun();
  void OnSelectFiles();
  void OnChannel();
  void OnCdPlayer();
  bool Idle() const { return !run_ || !run_->Running(); }
  // The top-level windows of the player this page started that bear the
  // "CDTestTitle" value or the player's own caption: its dialog and any box
  // it shows (which has the same caption), so that the close ends the
  // player and not just its box.
  std::vector<HWND> PlayerWindows() const;
  // Puts the mixer's settings back and lets it go, on the device thread
  // (it may close a mixer of its own); one a call may still use stays.
  void RestoreAndFreeMixer();

  CMediaRunner& media_;
  std::wstring drives_;
  // Every call into the sound devices goes through here: a driver that
  // never returns holds that thread, not the page's.
  mm::DeviceThread devices_;
  mm::CMixer* mixer_ = nullptr;  // freed on the device thread
  bool haveMixerHandle_ = false;
  std::unique_ptr<MediaRun> run_;
  HANDLE player_ = nullptr;
  bool initialised_ = false;
};

CTestTest::~CTestTest() {
  run_.reset();
  RestoreAndFreeMixer();
  if (player_) ::CloseHandle(player_);
  if (media_.AudioMode()) devices_.Call([] { mm::CloseMixerVolume(); });
  mm::SetMessageList(nullptr, nullptr);
}

void CTestTest::RestoreAndFreeMixer() {
  mm::CMixer* mixer = mixer_;
  mixer_ = nullptr;
  if (mixer) devices_.Call([mixer] {
    mixer->RestoreLineSettings();
    delete mixer;
  });
}

std::vector<std::string> CTestTest::TestNames() const {
  std::vector<UINT> ids = media_.AudioMode() ? std::vector<UINT>{IDS_MEDIA_ITEM_WAVE, IDS_MEDIA_ITEM_MIDI, IDS_MEDIA_ITEM_CD}
                                             : std::vector<UINT>{IDS_MEDIA_ITEM_AVI, IDS_MEDIA_ITEM_MPEG};
  std::vector<std::string> names;
  for (UINT id : ids) names.push_back(appkit::Narrow(appkit::LoadStr(id, media_.Resources())));
  return names;
}

ctlfw::PageItems CTestTest::Items() const {
  ctlfw::PageItems items;
  items.checkList = IDC_MEDIA_TESTLIST;
  items.showOptions = IDC_MEDIA_SHOW_OPTIONS;
  items.includes = IDC_MEDIA_INCLUDES;
  items.icon = IDC_MEDIA_ICON;
  if (media_.AudioMode()) items.optionsOnly = {IDC_MEDIA_LEFT, IDC_MEDIA_RIGHT};
  return items;
}

ctlfw::RunEnd CTestTest::RunEndRule() const {
  ctlfw::RunEnd end;
  end.summary = ctlfw::RunEnd::Summary::EmptyThenVerdict;
  end.tipsAnchor = media_.AudioMode() ? "audio" : "video";
  end.verdictNearTop = true;
  return end;
}

BOOL CTestTest::OnInit() {
  ctlfw::TestPage::OnInit();
  mm::SetMessageList(Item(IDC_TEST_RESULTS), media_.Resources());
  bool audio = media_.AudioMode();
  const MediaValues v = media_.Values();
  if (audio) {
    if (HICON icon = ::LoadIconW(media_.Resources(), MAKEINTRESOURCEW(IDI_MEDIA_AUDIO)))
      ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, (LPARAM)icon);
    std::wstring letters;
    for (wchar_t l = L'A'; l <= L'Z'; ++l) {
      wchar_t root[] = {l, L':', L'\\', 0};
      if (::GetDriveTypeW(root) == DRIVE_CDROM) letters += l;
    }
    drives_ = ChooseCdDrives(letters, v.driveNo);
  } else {
    SetItemText(IDC_TEST_TEXT, L"");
  }
  SetProgressRange();
  SetProgress(0);
  if (audio) {
    HWND page = hwnd();
    mm::CMixer* mixer = v.setVolume != 0 ? new mm::CMixer : nullptr;
    BOOL left = v.leftChannel != 0, right = v.rightChannel != 0;
    DWORD volume = (DWORD)v.defaultVolume;
    struct SetUp {
      bool handle = false, mixer = false;
    } got;
    if (devices_.Ask(
            [page, mixer, left, right, volume] {
              SetUp r;
              mm::OpenMixerVolume(page);
              r.handle = mm::MixerVolumeHandle() != nullptr;
              // The test volumes are set only over settings that were
              // saved, so that they can be put back.
              if (mixer && mixer->Open(mm::MixerVolumeHandle()) && mixer->SaveLineSettings())
                mixer->SetAllVolumes(left, right, volume);
              r.mixer = mixer && mixer->Handle();
              return r;
            },
            &got)) {
      haveMixerHandle_ = got.handle;
      mixer_ = mixer;
      // Without a mixer at all a run says so once, by itself.
      if (!got.mixer) RestoreAndFreeMixer();
    }
    Check(IDC_MEDIA_LEFT, v.leftChannel != 0);
    Check(IDC_MEDIA_RIGHT, v.rightChannel != 0);
  } else {
    for (int id : {IDC_MEDIA_LEFT, IDC_MEDIA_RIGHT, IDC_MEDIA_CD_PLAYER}) ShowItem(id, false);
  }
  if (media_.Options().autoRun) EnableItem(IDC_MEDIA_SELECT_FILES, false);
  initialised_ = true;
  return TRUE;
}

void CTestTest::SetProgressRange() {
  int range = (int)media_.Files().size() + (media_.AudioMode() ? 3 * (int)drives_.size() : 0);
  SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, range);
}

void CTestTest::AppendToLine(int index, const std::wstring& text) {
  HWND list = Item(IDC_TEST_RESULTS);
  std::wstring line;
  if (index < 0 || index >= LineCount() || !ctlfw::ListItemText(list, index, &line, 1023)) return;
  ::SendMessageW(list, LB_DELETESTRING, (WPARAM)index, 0);
  ::SendMessageW(list, LB_INSERTSTRING, (WPARAM)index, (LPARAM)(line + text).c_str());
}

void CTestTest::DeviceClosed() {
  // What a closed device still had queued is of no further use.
  MSG msg;
  while (::PeekMessageW(&msg, hwnd(), MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) {
  }
}

void CTestTest::ShowVideoWindow(HWND window, const std::wstring& title) {
  RECT r{}, screen{};
  ::GetWindowRect(window, &r);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  int cx = r.right - r.left, cy = r.bottom - r.top;
  ::SetWindowPos(window, nullptr, screen.left + (screen.right - screen.left - cx) / 2,
                 screen.top + (screen.bottom - screen.top - cy) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(window, SW_SHOW);
  ::SetWindowTextW(window, title.c_str());
  ::SetForegroundWindow(window);
}

void CTestTest::StartStopTest() {
  if (!Idle()) {
    StopRun();
    return;
  }
  if (media_.Files().empty()) {
    // Nothing to play: said once, and an automatic run still reports.
    ReadTestSelection();
    Check(IDC_MEDIA_SHOW_OPTIONS, false);
    ShowTestList(false);
    SendItem(IDC_TEST_RESULTS, LB_RESETCONTENT);
    AddLine(Text(IDS_MEDIA_NO_FILES));
    if (media_.Options().autoRun && media_.ControlWindow())
      ::PostMessageW(media_.ControlWindow(), suite::WM_TESTDONE, 1, 0);
    return;
  }
  PrepareRun();
  BeginRunOnPageThread();
  run_ = std::make_unique<MediaRun>(*this, media_.RunSettings(), media_.Files(), drives_, mixer_, haveMixerHandle_);
  run_->Start();
}

void CTestTest::StopRun() { run_->Stop(); }

void CTestTest::RunEnded() {
  ctlfw::RunState& s = ctlfw::TheRunState();
  ::EnterCriticalSection(&s.runLock);
  s.errorCount = run_->Errors();
  ::LeaveCriticalSection(&s.runLock);
  s.abortFlag = run_->Aborted() ? 1 : 0;
  ctlfw::EndWorker(false);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CTestTest::KeepChoices() {
  // The sheet closes: a run ends here without a report.
  if (run_ && run_->Running()) {
    run_->Shutdown();
    ctlfw::RunState& s = ctlfw::TheRunState();
    ::EnterCriticalSection(&s.runLock);
    s.runningCount = 0;
    ::LeaveCriticalSection(&s.runLock);
  }
}

struct PlayerLook {
  DWORD pid;
  std::wstring title;
  std::vector<HWND> found;
};

BOOL CALLBACK EachPlayerWindow(HWND w, LPARAM lp) {
  auto* l = reinterpret_cast<PlayerLook*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid != l->pid) return TRUE;
  wchar_t text[256] = L"";
  ::GetWindowTextW(w, text, 256);
  if (l->title == text || std::wcscmp(text, kPlayerCaption) == 0) l->found.push_back(w);
  return TRUE;
}

std::vector<HWND> CTestTest::PlayerWindows() const {
  PlayerLook look{player_ ? ::GetProcessId(player_) : 0, media_.CdTestTitle(), {}};
  if (!look.pid) return {};
  ::EnumWindows(EachPlayerWindow, (LPARAM)&look);
  return look.found;
}

void CTestTest::AfterWorkersOut() {
  if (!initialised_) return;
  initialised_ = false;
  RestoreAndFreeMixer();
  run_.reset();
  devices_.Call([] { mm::CloseWaveIn(); });
  DWORD code = 0;
  if (player_ && ::GetExitCodeProcess(player_, &code) && code == STILL_ACTIVE)
    for (HWND w : PlayerWindows()) ::PostMessageW(w, WM_CLOSE, 0, 0);
  if (player_) ::CloseHandle(player_);
  player_ = nullptr;
}

bool CTestTest::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == MM_MCINOTIFY) {
    if (run_) run_->OnNotify(wp, lp);
    *result = 0;
    return true;
  }
  return ctlfw::TestPage::OnMessage(msg, wp, lp, result);
}

void CTestTest::OnTimer(UINT_PTR id) {
  if (id == IDT_MEDIA_CD && run_) run_->OnCdTimer();
  if (id == IDT_MEDIA_DEVICE && run_) run_->OnDeviceTimer();
}

bool CTestTest::OnCommand(int id, int code, HWND ctl) {
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_MEDIA_SELECT_FILES: OnSelectFiles(); return true;
      case IDC_MEDIA_LEFT:
      case IDC_MEDIA_RIGHT: OnChannel(); return true;
      case IDC_MEDIA_CD_PLAYER: OnCdPlayer(); return true;
      default: break;
    }
  }
  return ctlfw::TestPage::OnCommand(id, code, ctl);
}

void CTestTest::OnSelectFiles() {
  if (!Idle()) {
    UINT caption = media_.AudioMode() ? IDS_MEDIA_SELECT_AUDIO : IDS_MEDIA_SELECT_VIDEO;
    ::MessageBoxW(hwnd(), Text(IDS_MEDIA_SELECT_WHILE_TESTING).c_str(), Text(caption).c_str(), MB_OK);
    return;
  }
  CSelectFilesDlg dialog(media_);
  dialog.DoModal(hwnd());
  SetProgressRange();
}

void CTestTest::OnChannel() {
  bool left = IsChecked(IDC_MEDIA_LEFT), right = IsChecked(IDC_MEDIA_RIGHT);
  media_.SetField(media_.Fields(), &MediaValues::leftChannel, left ? 1 : 0);
  media_.SetField(media_.Fields(), &MediaValues::rightChannel, right ? 1 : 0);
  DWORD volume = (DWORD)media_.Values().defaultVolume;
  for (int channel = 0; channel < 2; ++channel) {
    DWORD value = (channel == 0 ? left : right) ? volume : 0;
    mm::ChannelVolumeResult r = mm::ChannelVolumeResult::NotSet;
    devices_.Ask([channel, value] { return mm::SetSpeakerChannelVolume(channel, value); }, &r);
    switch (r) {
      case mm::ChannelVolumeResult::NoControl: AddLine(Text(IDS_MEDIA_NO_LINE_CONTROL)); break;
      case mm::ChannelVolumeResult::NoDetails: AddLine(Text(IDS_MEDIA_NO_DETAILS)); break;
      case mm::ChannelVolumeResult::NotSet: AddLine(Text(IDS_MEDIA_NOT_SET)); break;
      default: break;
    }
  }
}

void CTestTest::OnCdPlayer() {
  Check(IDC_MEDIA_SHOW_OPTIONS, false);
  ShowTestList(false);
  std::wstring path = media_.ModuleDirectory() + L"sonmere.exe";
  std::wstring caption = media_.CdTestTitle();
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::wstring text = Text(IDS_MEDIA_MISSING_MODULE) + L"(" + path + L")";
    ::MessageBoxW(hwnd(), text.c_str(), caption.c_str(), MB_OK);
    return;
  }
  DWORD code = 0;
  if (player_ && ::GetExitCodeProcess(player_, &code) && code == STILL_ACTIVE) {
    std::vector<HWND> windows = PlayerWindows();
    if (!windows.empty()) ::SetForegroundWindow(windows.front());
    return;
  }
  if (player_) ::CloseHandle(player_);
  player_ = nullptr;
  std::wstring cmd = L"\"" + path + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(path.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ::MessageBoxW(hwnd(), Text(IDS_MEDIA_PLAYER_FAILED).c_str(), caption.c_str(), MB_OK);
    return;
  }
  ::CloseHandle(pi.hThread);
  player_ = pi.hProcess;
}

}  // namespace

std::unique_ptr<ctlfw::TestPage> MakeMediaTestPage(CMediaRunner& runner) {
  return std::make_unique<CTestTest>(runner);
}

}  // namespace media
