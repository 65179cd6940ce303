// The modem control out of the prefix's registry (its own tests register
// it again), so that modem.mod stands for a module without its control and
// an automatic run of it ends at once instead of asking the machine's ports.
// regsvr32 is run here rather than through RunRegsvr32 so that a failure
// says which step failed: the start (with its error), the wait, or the
// program's own answer. Nothing in these tests registers the control again,
// so one run per test program is enough.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "appkit/text.h"
#include "testsupport/process.h"

inline void UnregisterModemControl() {
  static bool unregistered = false;
  if (unregistered) return;
  wchar_t sys[MAX_PATH] = {};
  ::GetSystemDirectoryW(sys, MAX_PATH);
  testsupport::Process p;
  ASSERT_TRUE(p.Start(std::wstring(sys) + L"\\regsvr32.exe",
                      L"/u /s \"" + testsupport::SuitePath(L"MODEM.OCX") + L"\""))
      << appkit::Narrow(p.LastError());
  ASSERT_TRUE(p.WaitExit(60000)) << "regsvr32 /u did not end within 60 s";
  ASSERT_EQ(p.ExitCode(), 0u) << "regsvr32 /u";
  unregistered = true;
}
