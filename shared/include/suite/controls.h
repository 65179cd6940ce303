// Identity of every ActiveX control of the suite: class ids, ProgIDs,
// property pages, type libraries, dispatch and event interfaces, and what
// the hosts and the stress dialogs tell them by (module name, module kinds,
// information categories, log base names). A new control joins here only.
#pragma once
#ifndef RC_INVOKED
#include <windows.h>
#include <oaidl.h>

#include <cstddef>

namespace suite {

// The dispatch interface every test control offers (DISPIDs).
enum TestControlDispid : DISPID {
  kDispInit = 1,       // Init(szCmdLine) -> BOOL
  kDispSetProp = 2,    // SetProp(Name, Value) -> BOOL
  kDispDoTest = 3,     // DoTest(szParam) -> BOOL
  kDispIsRunning = 4,  // IsRunning() -> BOOL
  kDispAbort = 5,      // Abort() -> BOOL
  kDispGetProp = 6,    // GetProp(Name) -> string
};
// Events of every test control.
enum TestControlEvent : DISPID {
  kEventStart = 1,  // never fired
  kEventDone = 2,   // Done(szResult): decimal error count
};
// Posted by a Test page to the initialised control's window at the end of an
// automatic run: wParam = error count, lParam = 0.
constexpr UINT WM_TESTDONE = WM_USER + 1000;  // 2024

// Type library version of every control.
constexpr WORD kControlTypeLibMajor = 1;
constexpr WORD kControlTypeLibMinor = 0;
// OLEMISC_RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST
constexpr DWORD kControlMiscStatus = 0x20191;

struct ControlIdentity {
  const char* name;           // module name: "ZENTREL" (the first four letters pick a control)
  const wchar_t* file;        // control file in the suite directory
  GUID clsid;
  const wchar_t* progId;
  GUID pageClsid;
  const wchar_t* pageProgId;
  GUID typeLibId;
  GUID dispatchIid;
  GUID eventIid;
  int viewKind;               // module view kind (0: not hosted by the view)
  int moduleKind[2];          // module program kinds (main mode, second mode), -1: none
  int infoCategory[2];        // information categories (main mode, second mode), -1: none
  const char* logBase[2];     // result log base names (main mode, second mode), nullptr: none
  const wchar_t* settingsKey; // the control's settings under HKEY_CURRENT_USER
};

// {xxxxxxxx-F0F6-11D2-AA4B-00403323FD64}
#define HALVIX_CTL_GUID_A(d1) GUID{d1, 0xF0F6, 0x11D2, {0xAA, 0x4B, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}
// {xxxxxxxx-E947-11D2-AA49-00403323FD64}
#define HALVIX_CTL_GUID_B(d1) GUID{d1, 0xE947, 0x11D2, {0xAA, 0x49, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}
// {xxxxxxxx-ED2D-11D2-AA49-00403323FD64}
#define HALVIX_CTL_GUID_C(d1) GUID{d1, 0xED2D, 0x11D2, {0xAA, 0x49, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}
// {xxxxxxxx-F111-11D2-AA4B-00403323FD64}
#define HALVIX_CTL_GUID_D(d1) GUID{d1, 0xF111, 0x11D2, {0xAA, 0x4B, 0x00, 0x40, 0x33, 0x23, 0xFD, 0x64}}

// Indexes into kControls.
enum ControlIndex {
  kCtlGraphics, kCtlMedia, kCtlModem, kCtlFenwold, kCtlZentrel, kCtlCdrom, kCtlStrevan, kCtlMurrick, kCtlQuorrel,
  kControlCount
};

inline constexpr ControlIdentity kControls[kControlCount] = {
    {"GRAPHICS", L"GRAPHICS.OCX", HALVIX_CTL_GUID_A(0xA02BD608), L"GRAPHICS.GraphicsCtrl.1",
     HALVIX_CTL_GUID_D(0x8ED54076), L"GRAPHICS.GraphicsPropPage.1", HALVIX_CTL_GUID_D(0x8ED54073),
     HALVIX_CTL_GUID_D(0x8ED54074), HALVIX_CTL_GUID_D(0x8ED54075), 7, {1, -1}, {7, -1}, {"KytVGA", nullptr}, L"Software\\Kyt\\GRAPHICS\\Setting"},
    {"MEDIA", L"MEDIA.OCX", HALVIX_CTL_GUID_A(0xA02BD678), L"MEDIA.MediaCtrl.1", HALVIX_CTL_GUID_A(0xA02BD679),
     L"MEDIA.MediaPropPage.1", HALVIX_CTL_GUID_A(0xA02BD675), HALVIX_CTL_GUID_A(0xA02BD676),
     HALVIX_CTL_GUID_A(0xA02BD677), 2, {0, -1}, {8, 7}, {"KytADO", "KytVDO"}, L"Software\\Qev\\MEDIA\\Setting"},
    {"MODEM", L"MODEM.OCX", HALVIX_CTL_GUID_A(0xA02BD620), L"MODEM.ModemCtrl.1", HALVIX_CTL_GUID_A(0xA02BD621),
     L"MODEM.ModemPropPage.1", HALVIX_CTL_GUID_A(0xA02BD61D), HALVIX_CTL_GUID_A(0xA02BD61E),
     HALVIX_CTL_GUID_A(0xA02BD61F), 3, {2, -1}, {11, -1}, {"KytMODM", nullptr}, L"Software\\Kyt\\modem\\Setting"},
    {"FENWOLD", L"FENWOLD.OCX", HALVIX_CTL_GUID_B(0x2CE58526), L"FENWOLD.FenwoldCtrl.1",
     HALVIX_CTL_GUID_B(0x2CE58527), L"FENWOLD.FenwoldPropPage.1", HALVIX_CTL_GUID_B(0x2CE58523),
     HALVIX_CTL_GUID_B(0x2CE58524), HALVIX_CTL_GUID_B(0x2CE58525), 1, {4, 5}, {9, 10}, {"KytDISK", "KytFLPY"}, L"Software\\Kyt\\Fenwold\\Setting"},
    {"ZENTREL", L"ZENTREL.OCX", HALVIX_CTL_GUID_A(0xA02BD662), L"ZENTREL.ZentrelCtrl.1",
     HALVIX_CTL_GUID_A(0xA02BD663), L"ZENTREL.ZentrelPropPage.1", HALVIX_CTL_GUID_A(0xA02BD65F),
     HALVIX_CTL_GUID_A(0xA02BD660), HALVIX_CTL_GUID_A(0xA02BD661), 5, {11, 10}, {1, 2}, {"KytMEM", "KytPROC"}, L"Software\\Kyt\\ZENTREL\\Setting"},
    {"CDROM", L"CDROM.OCX", HALVIX_CTL_GUID_A(0xA02BD64C), L"CDROM.CdromCtrl.1", HALVIX_CTL_GUID_A(0xA02BD64D),
     L"CDROM.CdromPropPage.1", HALVIX_CTL_GUID_A(0xA02BD649), HALVIX_CTL_GUID_A(0xA02BD64A),
     HALVIX_CTL_GUID_A(0xA02BD64B), 4, {3, -1}, {12, -1}, {"KytCD", nullptr}, L"Software\\Kyt\\CDROM\\Setting"},
    {"STREVAN", L"STREVAN.OCX", HALVIX_CTL_GUID_A(0xA02BD636), L"STREVAN.StrevanCtrl.1",
     HALVIX_CTL_GUID_A(0xA02BD637), L"STREVAN.StrevanPropPage.1", HALVIX_CTL_GUID_A(0xA02BD633),
     HALVIX_CTL_GUID_A(0xA02BD634), HALVIX_CTL_GUID_A(0xA02BD635), 6, {14, -1}, {6, -1}, {"KytPORT", nullptr}, L"Software\\Kyt\\Strevan\\Setting"},
    {"MURRICK", L"MURRICK.OCX", HALVIX_CTL_GUID_A(0xA02BD6A4), L"MURRICK.MurrickCtrl.1",
     HALVIX_CTL_GUID_A(0xA02BD6A5), L"MURRICK.MurrickPropPage.1", HALVIX_CTL_GUID_A(0xA02BD6A1),
     HALVIX_CTL_GUID_A(0xA02BD6A2), HALVIX_CTL_GUID_A(0xA02BD6A3), 8, {-1, -1}, {-1, -1}, {nullptr, nullptr}, L"Software\\Qev\\Murrick\\Setting"},
    {"QUORREL", L"QUORREL.OCX", HALVIX_CTL_GUID_C(0xD451B636), L"QUORREL.QuorrelCtrl.1",
     HALVIX_CTL_GUID_C(0xD451B637), L"QUORREL.QuorrelPropPage.1", HALVIX_CTL_GUID_C(0xD451B633),
     HALVIX_CTL_GUID_C(0xD451B634), HALVIX_CTL_GUID_C(0xD451B635), 0, {-1, -1}, {-1, -1}, {nullptr, nullptr}, L"Software\\Qev\\Quorrel\\Setting"},
};

inline const ControlIdentity& Control(ControlIndex index) { return kControls[index]; }

}  // namespace suite
#endif  // RC_INVOKED
