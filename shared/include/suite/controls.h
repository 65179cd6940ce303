// Identity of every ActiveX control of the suite: class ids, ProgIDs,
// property pages, type libraries, dispatch and event interfaces, and what
// the hosts and the stress dialogs tell them by (module name, module kinds,
// information categories, log base names), made from the rows of
// suite/controls.inc. A new control joins there only (one row), and its
// halvix_control() names that row.
#pragma once
#ifndef RC_INVOKED
#include <windows.h>
#include <oaidl.h>

#include <cstddef>

#include "suite/guid.h"

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

// One element of an identity array from a row of suite/controls.inc (or of
// a file of the same columns, for a control of the tests' own):
//   #define HALVIX_CONTROL SUITE_CONTROL_ROW
// (object-like, so that no name of a row is taken for a macro).
#define SUITE_CONTROL_ROW(key, display, clsid, pageClsid, typeLibId, dispatchIid, eventIid, viewKind, kind0, kind1, \
                          category0, category1, logBase0, logBase1, settingsKey)                                   \
  {#key,                                                                                                           \
   L"" #key ".OCX",                                                                                                \
   ::suite::Guid(clsid),                                                                                           \
   L"" #key "." #display "Ctrl.1",                                                                                 \
   ::suite::Guid(pageClsid),                                                                                       \
   L"" #key "." #display "PropPage.1",                                                                             \
   ::suite::Guid(typeLibId),                                                                                       \
   ::suite::Guid(dispatchIid),                                                                                     \
   ::suite::Guid(eventIid),                                                                                        \
   viewKind,                                                                                                       \
   {kind0, kind1},                                                                                                 \
   {category0, category1},                                                                                         \
   {logBase0, logBase1},                                                                                           \
   settingsKey},
#define SUITE_CONTROL_INDEX(key, display, ...) kCtl##display,

// Indexes into kControls.
enum ControlIndex {
#define HALVIX_CONTROL SUITE_CONTROL_INDEX
#include "suite/controls.inc"
#undef HALVIX_CONTROL
  kControlCount
};

inline constexpr ControlIdentity kControls[kControlCount] = {
#define HALVIX_CONTROL SUITE_CONTROL_ROW
#include "suite/controls.inc"
#undef HALVIX_CONTROL
};

inline const ControlIdentity& Control(ControlIndex index) { return kControls[index]; }

}  // namespace suite
#endif  // RC_INVOKED
