// KytMODEM.IFO and the summary's modem lines end to end: the server probes
// COM1 to COM9 of this prefix, where modem_ports.sh has put simulated modems
// on COM5 and on the last port, COM9, and silent ports on COM6 to COM8
// (pseudo-terminals).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;
using namespace infotest;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);

std::wstring InfoFile(unsigned category) {
  std::string base = suite::kInfoFileBase[category];
  return TestBinDir() + std::wstring(base.begin(), base.end()) + L".IFO";
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Host {
 public:
  Host() {
    if (process.Start(TestBinDir() + L"quorrel_host.exe") && process.WaitIdle(10000))
      server = WaitForWindow(suite::kInfoServerTitle, L"", process.Pid(), 10000);
  }
  ~Host() {
    if (process.Running()) {
      ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", process.Pid()), WM_CLOSE, 0, 0);
      EXPECT_TRUE(process.WaitExit(60000));
    }
  }
  bool Ask(unsigned category) {
    ::DeleteFileW(InfoFile(category).c_str());
    return ::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), category) != FALSE;
  }
  // Waits for the reply of `category`; the order of replies is kept in `order`.
  bool WaitReply(unsigned category, DWORD ms = 120000) {
    DWORD start = ::GetTickCount();
    while (std::find(order.begin(), order.end(), category) == order.end()) {
      DWORD spent = ::GetTickCount() - start;
      if (spent >= ms) return false;
      MessageCatcher::Caught reply{};
      if (!catcher.WaitFor(kMsg, ms - spent, &reply)) return false;
      EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
      order.push_back(static_cast<unsigned>(reply.lp));
    }
    return true;
  }
  std::vector<std::string> Lines(unsigned category) {
    std::vector<std::string> lines;
    EXPECT_TRUE(SplitCrLf(ReadFileLocked(InfoFile(category)), &lines)) << "every line ends in CR LF";
    return lines;
  }
  Process process;
  HWND server = nullptr;
  MessageCatcher catcher;
  std::vector<unsigned> order;
};

TEST(ModemServer, TheCategoryFindsTheSimulatedModemAndSkipsTheSilentPort) {
  ASSERT_NE(std::getenv("HALVIX_MODEM_PORTS"), nullptr) << "run through modem_ports.sh";
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  Host host;
  ASSERT_NE(host.server, nullptr);

  DWORD start = ::GetTickCount();
  ASSERT_TRUE(host.Ask(suite::INFO_MODEM));
  // The probe takes seconds; another category meanwhile is not held up by it.
  ::Sleep(300);
  ASSERT_TRUE(host.Ask(suite::INFO_MEMORY));
  ASSERT_TRUE(host.WaitReply(suite::INFO_MODEM));
  DWORD spent = ::GetTickCount() - start;
  ASSERT_TRUE(host.WaitReply(suite::INFO_MEMORY, 20000));
  EXPECT_EQ(host.order.front(), (unsigned)suite::INFO_MEMORY) << "the memory file waited for the modem probe";
  std::printf("[ measured ] first KytMODEM.IFO (probe of COM1 to COM9): %lu ms\n", (unsigned long)spent);

  std::vector<std::string> lines = host.Lines(suite::INFO_MODEM);
  const std::vector<std::string> expected = {"",
                                             "@3Modem Information",
                                             "Modem Port:\tCOM5",
                                             "Fax Support:\tYES",
                                             "Class Support:\t0,1,2.0",
                                             "",
                                             "ATI0:\t56000",
                                             "ATI1:\tOK",
                                             "ATI2:\tOK",
                                             "ATI3:\tSimvale 56K V.92 Data/Fax",
                                             "ATI4:\tTOKEN RING ADAPTER NOT FITTED",
                                             "",
                                             ""};
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
  // The modem on the last port follows, in port order.
  const std::vector<std::string> last = {"Modem Port:\tCOM9", "Fax Support:\tYES", "Class Support:\t0,1", "",
                                         "ATI3:\tLastport 33.6 Voice", "", ""};
  auto at = std::find(lines.begin(), lines.end(), last.front());
  ASSERT_NE(at, lines.end()) << "the modem on COM9 was not found";
  EXPECT_GE(at - lines.begin(), (long)expected.size());
  ASSERT_GE(lines.end() - at, (long)last.size());
  EXPECT_EQ(std::vector<std::string>(at, at + last.size()), last);
  for (const char* silent : {"Modem Port:\tCOM6", "Modem Port:\tCOM7", "Modem Port:\tCOM8"})
    EXPECT_FALSE(Has(lines, silent)) << silent;
  EXPECT_FALSE(Has(lines, "Modem:\tNot Found"));

  // The second request asks only the modem that answered, without ATZ.
  host.order.clear();
  start = ::GetTickCount();
  ASSERT_TRUE(host.Ask(suite::INFO_MODEM));
  ASSERT_TRUE(host.WaitReply(suite::INFO_MODEM));
  EXPECT_EQ(host.Lines(suite::INFO_MODEM), lines);
  std::printf("[ measured ] second KytMODEM.IFO (known modem only): %lu ms\n",
              (unsigned long)(::GetTickCount() - start));
}

TEST(ModemServer, TheSummaryListsTheModemUnderItsHeading) {
  ASSERT_NE(std::getenv("HALVIX_MODEM_PORTS"), nullptr) << "run through modem_ports.sh";
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  SetDword(suite::kQuorrelSettingKey, L"ModemSummary", 1);
  Host host;
  ASSERT_NE(host.server, nullptr);
  ASSERT_TRUE(host.Ask(suite::INFO_SUMMARY));
  bool replied = host.WaitReply(suite::INFO_SUMMARY);
  DeleteValue(suite::kQuorrelSettingKey, L"ModemSummary");
  ASSERT_TRUE(replied);
  std::vector<std::string> lines = host.Lines(suite::INFO_SUMMARY);
  auto at = std::find(lines.begin(), lines.end(), "@3Modem");
  ASSERT_NE(at, lines.end());
  ASSERT_GE(lines.end() - at, 3);
  EXPECT_EQ(at[1], "Modem:\tInstalled (COM5)");
  EXPECT_EQ(at[2], "Fax Class Support:\t0,1,2.0");
  ASSERT_GE(lines.end() - at, 5);
  EXPECT_EQ(at[3], "Modem:\tInstalled (COM9)");
  EXPECT_EQ(at[4], "Fax Class Support:\t0,1");
  EXPECT_FALSE(Has(lines, "Modem:\tInstalled (COM6)"));
}

}  // namespace
