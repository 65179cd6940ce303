#include "tools_options.h"

#include "appkit/msgbox.h"
#include "appkit/paths.h"
#include "appkit/profile.h"
#include "appkit/system.h"
#include "appkit/wholefile.h"
#include "options_rules.h"

namespace {

int MajorVersion() {
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  return ::GetVersionExW(&vi) ? (int)vi.dwMajorVersion : 0;
}

halvix::ToolsSystem CurrentSystem(const std::wstring& msInfoPath) {
  halvix::ToolsSystem s;
  s.nineX = appkit::IsWindows9x();
  s.majorVersion = MajorVersion();
  s.winipcfgPresent = appkit::FileExists(appkit::WindowsDir() + L"\\winipcfg.exe");
  s.msinfoPresent = !msInfoPath.empty() && appkit::FileExists(msInfoPath);
  return s;
}

}  // namespace

void CToolsOptions::Load(const appkit::Profile& profile) {
  unsigned options = static_cast<unsigned>(profile.GetInt(L"Options", static_cast<int>(kDefaultOptions)));
  options = halvix::CorrectToolsOptions(options, CurrentSystem(profile.GetString(L"MSInfoPath", L"")));
  for (int bit = 0; bit < kBits; ++bit) switches_[bit] = (options >> bit) & 1u;
}

unsigned CToolsOptions::Bits() const {
  unsigned v = 0;
  for (int bit = 0; bit < kBits; ++bit)
    if (switches_[bit]) v |= 1u << bit;
  return v;
}

CToolsOptionsDlg::CToolsOptionsDlg(HINSTANCE res, CToolsOptions& options, const appkit::Profile& profile,
                                   std::wstring suiteDir, std::wstring msInfoPath, std::wstring caption)
    : appkit::Dialog(232, res),
      options_(options),
      profile_(profile),
      suiteDir_(std::move(suiteDir)),
      msInfoPath_(std::move(msInfoPath)),
      caption_(std::move(caption)) {}

BOOL CToolsOptionsDlg::OnInit() {
  edited_.Load(profile_);
  dmiWasOn_ = edited_.IsOn(0);
  for (int bit = 0; bit < CToolsOptions::kBits; ++bit)
    if (int id = halvix::ToolsOptionControl(bit)) Check(id, edited_.IsOn(bit));
  const halvix::ToolsSystem s = CurrentSystem(msInfoPath_);
  const std::wstring system = appkit::SystemDir();
  if (s.nineX) {
    EnableItem(1144, false);
    EnableItem(1145, false);
  } else {
    if (s.majorVersion < 5) EnableItem(1146, false);
    for (int id : {1123, 1131, 1141, 1142}) EnableItem(id, false);
    if (!appkit::FileExists(system + L"\\winmsd.exe")) EnableItem(1144, false);
    if (!appkit::FileExists(system + L"\\taskmgr.exe")) EnableItem(1145, false);
  }
  if (!s.winipcfgPresent) EnableItem(1143, false);
  if (!s.msinfoPresent) EnableItem(1147, false);
  return TRUE;
}

void CToolsOptionsDlg::OnOK() {
  for (int bit = 0; bit < CToolsOptions::kBits; ++bit)
    if (int id = halvix::ToolsOptionControl(bit)) edited_.Set(bit, IsChecked(id));
  const std::wstring dmiPif = suiteDir_ + L"dmi.pif", pludorPif = suiteDir_ + L"pludor.pif";
  if (!edited_.IsOn(0)) {
    if (appkit::FileExists(dmiPif)) ::DeleteFileW(dmiPif.c_str());
    if (appkit::FileExists(pludorPif)) ::DeleteFileW(pludorPif.c_str());
  } else if (!dmiWasOn_) {
    // The server runs these programs when they are there: a copy is whole
    // or not made.
    const bool first = appkit::CopyFileWhole(suiteDir_ + L"dmi.bpf", dmiPif);
    const bool second = appkit::CopyFileWhole(suiteDir_ + L"pludor.bpf", pludorPif);
    appkit::MessageBoxText(hwnd(), halvix::DmiCopyMessage(first, second), caption_, MB_OK);
  }
  profile_.WriteInt(L"Options", static_cast<int>(edited_.Bits()));
  options_ = edited_;
  EndDialog(IDOK);
}
