// The graphics runner's values and the module-wide state the tests share.
#include "runner.h"

#include "appkit/paths.h"
#include "appkit/text.h"
#include "ctlfw/control.h"
#include "gfxtest/ids.h"
#include "gfxtest/rules.h"
#include "graphics.h"
#include "testpage.h"

CTLFW_CONTROL_MODULE(suite::Control(suite::kCtlGraphics), CGraphicsRunner)

namespace graphics {

const wchar_t kCommonClass[] = L"Kyt COMMON WINDOW";
const wchar_t kDirect3DClass[] = L"Kyt DIRECT3D WINDOW";
const wchar_t kDDrawClass[] = L"Kyt DDRAW WINDOW";

CGraphicsRunner& Runner() { return static_cast<CGraphicsRunner&>(ctlfw::ModuleRunner()); }
bool FullScreen() { return Runner().fullScreen; }
bool Closing() { return Runner().closing; }
void SetClosing(bool on) { Runner().closing = on; }
HINSTANCE Texts() { return Runner().Resources(); }
HINSTANCE Instance() { return appkit::ThisModule(); }
std::wstring Text(UINT id) { return appkit::LoadStr(id, Texts()); }
std::string TextA(UINT id) { return appkit::Narrow(Text(id)); }
std::wstring OwnDirectory() { return Runner().ModuleDirectory(); }
int Count(const char* setting) { return Runner().Setting(setting); }

void AddLine(const std::string& text) {
  if (HWND list = Run().resultsList) ::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(text).c_str());
}

}  // namespace graphics

std::vector<ctlfw::SettingDef> CGraphicsRunner::SettingTable() const {
  const ctlfw::Switches& o = Options();
  std::vector<ctlfw::SettingDef> table;
  // Counts scaled for -Check or -AutoRun are never written back.
  for (const gfxtest::Setting& s : gfxtest::SettingTable())
    table.push_back({s.name, (DWORD)s.def, {s.lo, s.hi, s.toNearerBound}, !(s.scaled && (o.check || o.autoRun))});
  return table;
}

std::vector<std::string> CGraphicsRunner::EnableSettings() const { return gfxtest::EnableNames(); }

void CGraphicsRunner::AfterSettingsRead() {
  const ctlfw::Switches& o = Options();
  for (const gfxtest::Setting& s : gfxtest::SettingTable())
    if (s.scaled) SetSetting(s.name, gfxtest::ScaledCount(s.name, Setting(s.name), o.check, o.autoRun));
  // Windowed DirectX tests in an automatic run.
  fullScreen = !o.autoRun;
  closing = false;
  cookie = 0;
  replyWindow = nullptr;
}

ctlfw::RunnerResourceIds CGraphicsRunner::ResourceIds() const {
  return {IDS_GFX_TITLE, IDS_GFX_LOG_TITLE, IDI_GRAPHICS, IDS_GFX_INFO_TEXT};
}

ctlfw::InfoPageStyle CGraphicsRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.lastUpdatedId = IDS_GFX_LAST_UPDATED;
  style.lines = ctlfw::InfoLines::OutsideVideoSections;
  return style;
}

std::unique_ptr<ctlfw::TestPage> CGraphicsRunner::CreateTestPage() { return graphics::MakeGraphicsTestPage(*this); }

bool CGraphicsRunner::BeforeSheetCreated() {
  struct ClassDef {
    const wchar_t* name;
    UINT style;
    int brush;
    WNDPROC proc;
  };
  const ClassDef classes[] = {
      {graphics::kCommonClass, CS_VREDRAW | CS_HREDRAW | CS_OWNDC, WHITE_BRUSH, &graphics::CommonWindowProc},
      {graphics::kDirect3DClass, CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_BYTEALIGNCLIENT, GRAY_BRUSH,
       &graphics::Direct3DWindowProc},
      {graphics::kDDrawClass, CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_BYTEALIGNCLIENT, GRAY_BRUSH,
       &graphics::DDrawWindowProc},
  };
  HINSTANCE instance = graphics::Instance();
  registered_ = 0;
  for (const ClassDef& c : classes) {
    WNDCLASSW wc = {};
    wc.style = c.style;
    wc.lpfnWndProc = c.proc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(Resources(), MAKEINTRESOURCEW(IDI_GRAPHICS));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)::GetStockObject(c.brush);
    wc.lpszClassName = c.name;
    if (!::RegisterClassW(&wc)) {
      // A later Init starts from nothing: the classes this one made go.
      AfterSheetGone();
      return false;
    }
    ++registered_;
  }
  return true;
}

void CGraphicsRunner::AfterSheetGone() {
  const wchar_t* names[] = {graphics::kCommonClass, graphics::kDirect3DClass, graphics::kDDrawClass};
  for (int i = 0; i < registered_ && i < 3; ++i) ::UnregisterClassW(names[i], graphics::Instance());
  registered_ = 0;
  graphics::FreeDirectXLibraries();
}
