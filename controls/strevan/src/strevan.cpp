// Strevan's runner values: settings, titles, icon and the Information page.
#include "runner.h"

#include <string>

#include "strevan_ids.h"
#include "suite/info.h"
#include "testpage.h"

ctlfw::FieldTable<PortValues> CStrevanRunner::Fields() const {
  // A quick check (-Check) runs without the loopback tests and keeps the
  // user's choice of them as it was.
  const bool keep = !Options().check;
  using ctlfw::kSwitch;
  return {
      // 200 ms waits a tester is given: up to ten minutes.
      {&PortValues::maxLoop, {"MaxLoop", 100, ctlfw::InRange(1, 3000)}},
      {&PortValues::bLPT, {"bLPT", 1, kSwitch}},
      {&PortValues::bLPTLoopback1, {"bLPTLoopback1", 0, kSwitch, keep}},
      {&PortValues::bLPTLoopback2, {"bLPTLoopback2", 0, kSwitch, keep}},
      {&PortValues::bCom, {"bCom", 1, kSwitch}},
      {&PortValues::bComLoopback, {"bComLoopback", 0, kSwitch, keep}},
      {&PortValues::bGame, {"bGame", 0, kSwitch}},
  };
}

std::vector<int PortValues::*> CStrevanRunner::EnableFields() const {
  return {&PortValues::bLPT, &PortValues::bLPTLoopback1, &PortValues::bLPTLoopback2, &PortValues::bCom,
          &PortValues::bComLoopback};
}

void CStrevanRunner::AfterSettingsRead() {
  // A quick check runs no external loopback test.
  if (Options().check)
    for (int PortValues::*field : {&PortValues::bLPTLoopback1, &PortValues::bLPTLoopback2, &PortValues::bComLoopback})
      SetField(Fields(), field, 0);
}

ctlfw::RunnerResourceIds CStrevanRunner::ResourceIds() const {
  return {IDS_STREVAN_TITLE, IDS_STREVAN_LOG_TITLE, IDI_STREVAN, IDS_STREVAN_INFO_TEXT};
}

// The Information page keeps its own column stops.
ctlfw::InfoPageStyle CStrevanRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.tabStops = {145, 260, 350, 440};
  return style;
}

bool CStrevanRunner::AnyComPortOpens() const {
  for (int n = 1; n <= 9; ++n) {
    std::wstring name = L"COM" + std::to_wstring(n);
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      ::CloseHandle(h);
      return true;
    }
  }
  return false;
}

std::unique_ptr<ctlfw::TestPage> CStrevanRunner::CreateTestPage() { return porttest::MakePortTestPage(*this); }
