// The processor category and the self-tests end to end: a host program
// starts the server, this test asks it for KytPROC.IFO and sends it the
// self-test message, and compares what comes back with how the system
// itself names this processor and its clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "appkit/text.h"
#include "infofile.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;
using namespace infotest;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
const UINT kMsg2 = ::RegisterWindowMessageW(suite::kQuorrelMessage2);
const wchar_t kCpuKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

std::wstring ProcessorFile() { return TestBinDir() + L"KytPROC.IFO"; }

// How the system names processor 0.
struct SystemProcessor {
  std::string vendor, name;
  unsigned family = 0, model = 0, stepping = 0;
  DWORD mhz = 0;
};

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

SystemProcessor ReadSystemProcessor() {
  SystemProcessor p;
  char text[256];
  DWORD size = sizeof(text);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, appkit::Narrow(kCpuKey).c_str(), "VendorIdentifier", RRF_RT_REG_SZ, nullptr,
                   text, &size) == ERROR_SUCCESS)
    p.vendor = text;
  size = sizeof(text);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, appkit::Narrow(kCpuKey).c_str(), "ProcessorNameString", RRF_RT_REG_SZ,
                   nullptr, text, &size) == ERROR_SUCCESS)
    p.name = Trim(text);
  size = sizeof(text);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, appkit::Narrow(kCpuKey).c_str(), "Identifier", RRF_RT_REG_SZ, nullptr, text,
                   &size) == ERROR_SUCCESS) {
    // "AMD64 Family 26 Model 2 Stepping 1"
    const char* f = strstr(text, "Family ");
    if (f) sscanf(f, "Family %u Model %u Stepping %u", &p.family, &p.model, &p.stepping);
  }
  size = sizeof(p.mhz);
  RegGetValueA(HKEY_LOCAL_MACHINE, appkit::Narrow(kCpuKey).c_str(), "~MHz", RRF_RT_REG_DWORD, nullptr, &p.mhz,
               &size);
  return p;
}

std::string ValueOf(const std::vector<std::string>& lines, const std::string& label) {
  for (const std::string& l : lines)
    if (l.rfind(label + "\t", 0) == 0) return l.substr(label.size() + 1);
  return "<missing>";
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Host {
 public:
  explicit Host(bool windows98 = false) {
    const wchar_t* key = L"Software\\Wine\\AppDefaults\\quorrel_host.exe";
    if (windows98) {
      HKEY k = nullptr;
      RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
      RegSetValueExW(k, L"Version", 0, REG_SZ, (const BYTE*)L"win98", sizeof(L"win98"));
      RegCloseKey(k);
    }
    if (process.Start(TestBinDir() + L"quorrel_host.exe") && process.WaitIdle(10000))
      server = WaitForWindow(suite::kInfoServerTitle, L"", process.Pid(), 10000);
    if (windows98) RegDeleteTreeW(HKEY_CURRENT_USER, key);
  }
  ~Host() {
    if (process.Running()) {
      ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", process.Pid()), WM_CLOSE, 0, 0);
      EXPECT_TRUE(process.WaitExit(20000));
    }
  }
  // A fresh KytPROC.IFO, as lines.
  std::vector<std::string> ProcessorLines() {
    ::DeleteFileW(ProcessorFile().c_str());
    std::vector<std::string> lines;
    if (!::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), suite::INFO_PROCESSOR)) return lines;
    MessageCatcher::Caught reply{};
    if (!catcher.WaitFor(kMsg, 20000, &reply)) return lines;
    EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
    EXPECT_EQ(reply.lp, (LPARAM)suite::INFO_PROCESSOR);
    std::string text = ReadFileLocked(ProcessorFile());
    EXPECT_TRUE(SplitCrLf(text, &lines)) << "every line ends in CR LF";
    return lines;
  }
  Process process;
  HWND server = nullptr;
  MessageCatcher catcher;
};

void ExpectNearTheSystemsClock(double mhz, DWORD systemMhz, const char* what) {
  ASSERT_GT(systemMhz, 0u);
  double off = std::fabs(mhz - systemMhz) / systemMhz;
  std::printf("[ measured ] %s: %.2f MHz, the system says %lu MHz (%.2f%% off)\n", what, mhz,
              (unsigned long)systemMhz, off * 100);
  EXPECT_LE(off, 0.05) << what;
}

}  // namespace

TEST(ProcessorServer, TheFileNamesThisProcessorAsTheSystemDoes) {
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  SystemProcessor sys = ReadSystemProcessor();
  ASSERT_FALSE(sys.vendor.empty());
  Host host;
  ASSERT_NE(host.server, nullptr);
  std::vector<std::string> lines = host.ProcessorLines();
  ASSERT_GE(lines.size(), 26u);  // heading, 9 lines, feature heading and word, 15 features
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "@3CPU Identification");
  std::string type = ValueOf(lines, "CPU Type:");
  EXPECT_EQ(type.rfind(sys.vendor, 0), 0u) << type;
  if (!sys.name.empty()) {
    EXPECT_NE(type.find(sys.name), std::string::npos) << type << " / " << sys.name;
  }
  EXPECT_EQ(ValueOf(lines, "Family:"), std::to_string(sys.family));
  EXPECT_EQ(ValueOf(lines, "Model:"), std::to_string(sys.model));
  EXPECT_EQ(ValueOf(lines, "Stepping:"), std::to_string(sys.stepping));
  EXPECT_EQ(ValueOf(lines, "Math Type:"), "3");
  std::string speed = ValueOf(lines, "CPU Speed:");
  ASSERT_EQ(speed.substr(speed.size() < 4 ? 0 : speed.size() - 4), " MHz") << speed;
  ExpectNearTheSystemsClock(atof(speed.c_str()), sys.mhz, "KytPROC.IFO");

  // The feature word and the features the system reports.
  EXPECT_TRUE(Has(lines, "@3Feature Information"));
  std::string flags = ValueOf(lines, "FeatureFlag:");
  unsigned long word = strtoul(flags.c_str(), nullptr, 16);
  EXPECT_NE(word, 0ul) << flags;
  const struct {
    DWORD feature;
    const char* label;
    int bit;
  } features[] = {{PF_MMX_INSTRUCTIONS_AVAILABLE, "MMX Technology:", 23},
                  {PF_RDTSC_INSTRUCTION_AVAILABLE, "Time Stamp Counter:", 4},
                  {PF_COMPARE_EXCHANGE_DOUBLE, "CMPXCHG8B Instruction:", 8}};
  for (const auto& f : features) {
    bool present = IsProcessorFeaturePresent(f.feature) != FALSE;
    EXPECT_EQ(ValueOf(lines, f.label), present ? "Yes" : "No") << f.label;
    EXPECT_EQ(((word >> f.bit) & 1) != 0, present) << f.label;
  }
  EXPECT_EQ(ValueOf(lines, "FPU on Chip:"), "Yes");
}

TEST(ProcessorServer, SelfTestsAnswerThroughTheMessage) {
  SystemProcessor sys = ReadSystemProcessor();
  Host host;
  ASSERT_NE(host.server, nullptr);
  auto lastResult = [] { return appkit::Narrow(ReadString(suite::kQuorrelSettingKey, suite::kLastResultValue)); };
  EXPECT_EQ(::SendMessageW(host.server, kMsg2, 0, 0), 0);
  for (unsigned t = 1; t <= 5; ++t) {
    SetDword(suite::kQuorrelSettingKey, L"unused", 0);  // the key exists
    HKEY k = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, KEY_SET_VALUE, &k);
    RegSetValueExA(k, "LastResult", 0, REG_SZ, (const BYTE*)"", 1);
    RegCloseKey(k);
    EXPECT_EQ(::SendMessageW(host.server, kMsg2, t, 0), 0) << t << ": " << lastResult();
    std::string text = lastResult();
    if (t <= 2) {
      EXPECT_EQ(text, "") << t;
    } else {
      char* end = nullptr;
      double figure = strtod(text.c_str(), &end);
      EXPECT_GT(figure, 0.0) << t << ": " << text;
      EXPECT_EQ(std::string(end), "") << text;
      EXPECT_EQ(text.size() - text.find('.'), 3u) << "two decimals: " << text;
      std::printf("[ measured ] self-test %u: %s\n", t, text.c_str());
    }
    if (t == 5) ExpectNearTheSystemsClock(atof(text.c_str()), sys.mhz, "self-test 5");
  }
  std::string before = lastResult();
  EXPECT_EQ(::SendMessageW(host.server, kMsg2, 6, 0), 1);
  EXPECT_EQ(lastResult(), before) << "no text for a number that is no test";
}

TEST(ProcessorServer, OnWindows98TheSameProcessorWithoutAPortDriver) {
  SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
  SystemProcessor sys = ReadSystemProcessor();
  Host host(true);
  ASSERT_NE(host.server, nullptr);
  std::vector<std::string> lines = host.ProcessorLines();
  ASSERT_GE(lines.size(), 26u);  // heading, 9 lines, feature heading and word, 15 features
  EXPECT_EQ(ValueOf(lines, "Family:"), std::to_string(sys.family));
  EXPECT_EQ(ValueOf(lines, "Stepping:"), std::to_string(sys.stepping));
  ExpectNearTheSystemsClock(atof(ValueOf(lines, "CPU Speed:").c_str()), sys.mhz, "KytPROC.IFO on Windows 98");
  EXPECT_EQ(::SendMessageW(host.server, kMsg2, 5, 0), 0);
  EXPECT_TRUE(host.process.Running()) << "no port was touched without access";
}
