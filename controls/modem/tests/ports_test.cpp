// The modem control end to end against modem simulators on the COM ports
// of the test's Wine prefix (run through with_modems.sh): modem.mod with
// -AutoRun, its result log and reported error count, and its ending; and
// the control hosted here against each kind of modem (its Done count and
// its log), stopped at every stage of a run and disconnected during a call.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "appkit/axhost.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "suite/controls.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/soundserver.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\modem\\Setting";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The folder the simulators watch, as this program sees it.
std::wstring SimDir() {
  std::string unix = Env("MODEMSIM_DIR");
  for (char& c : unix)
    if (c == '/') c = '\\';
  return L"Z:" + appkit::Widen(unix) + L"\\";
}

// A modem's answers: command -> JSON reply (a list of lines or an object).
using Replies = std::map<std::string, std::string>;

std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

Replies FullModem() {
  Replies r = {
      {"ATI0", R"(["56000", "OK"])"},
      {"ATI1", R"(["255", "OK"])"},
      {"ATI3", R"(["Simvale 56K V.92", "OK"])"},
      {"AT+FCLASS=?", R"(["0,1,2", "OK"])"},
      {"ATDT;", R"(["OK"])"},
      {"AT&T1", R"({"lines": ["CONNECT 9600"], "online": true, "then_after_ms": 300, "then": ["OK"]})"},
      {"ATS18=?", R"(["007", "OK"])"},
  };
  for (int i = 4; i <= 11; ++i) r["ATI" + std::to_string(i)] = R"(["ERROR"])";
  const char* values[] = {"000", "000", "043", "013", "010", "008", "002", "050", "002", "006", "014", "095", "050"};
  for (int i = 0; i <= 12; ++i) r["ATS" + std::to_string(i) + "?"] = std::string("[\"") + values[i] + "\", \"OK\"]";
  r["ATS25?"] = R"(["005", "OK"])";
  return r;
}

// The lines a full modem on `port` gives, with the dial-tone test on.
std::vector<std::string> FullModemLines(const std::string& port) {
  std::vector<std::string> l = {"Checking Modem on " + port + ":\tModem Found", "", "Testing Dial Tone:\tDetected", "",
                                "Standard Commands", "ATZ:\tPASSED", "ATQ:\tPASSED", "ATV:\tPASSED", "ATE:\tPASSED",
                                "ATX:\tPASSED", "ATI0:\t56000", "ATI1:\t255", "ATI2:\tOK", "ATI3:\tSimvale 56K V.92", "",
                                "Advanced Commands"};
  for (const char* c : {"AT&C1", "AT&S0", "AT&D2", "AT&Q0", "AT&Q5", "AT&F", "AT&J0", "AT%C1", "AT\\N3"})
    l.push_back(std::string(c) + ":\tPASSED");
  for (const char* s : {"", "Fax", "Fax Support:\tYes", "Class Support:\t0,1,2", "", "Factory Settings"}) l.push_back(s);
  const char* values[] = {"000", "000", "043", "013", "010", "008", "002", "050", "002", "006", "014", "095", "050"};
  for (int i = 0; i <= 12; ++i) l.push_back("S" + std::to_string(i) + ":\t" + values[i]);
  l.push_back("S25:\t005");
  l.push_back("");
  return l;
}

// The module runs a table's cases take: a case that costs no error shares
// a run with earlier ones that cost none and that `alike` finds to run
// under the same settings (nine at most, a port each; the run's count of 0
// is then each one's); any other case has a run of its own.
template <typename Case, size_t N, typename Alike>
std::vector<std::vector<const Case*>> ShareRuns(const Case (&cases)[N], Alike alike) {
  std::vector<std::vector<const Case*>> runs;
  for (const Case& c : cases) {
    std::vector<const Case*>* shared = nullptr;
    for (auto& run : runs)
      if (c.errors == 0 && run.front()->errors == 0 && alike(*run.front(), c) && run.size() < 9) shared = &run;
    if (shared)
      shared->push_back(&c);
    else
      runs.push_back({&c});
  }
  return runs;
}

class ModemPorts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(ctltest::RegisterControl(SuitePath(L"MODEM.OCX")), 0);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }

  void SetUp() override {
    if (Env("MODEMSIM_DIR").empty()) GTEST_SKIP() << "run through with_modems.sh";
    // The user's modem settings stay out of the way; each test starts afresh.
    modemKey_.emplace(L"Software\\Kyt\\modem", L"Software\\HalvixModemTestBackup\\modem");
    // Short waits: a silent port or command costs little.
    Set(L"ShortTimeout", 800);
    Set(L"StandardTimeout", 1200);
    Set(L"LongTimeout", 3000);
    Set(L"ConnectTimeout", 4000);
    Set(L"ATT1Timeout", 2000);
    Set(L"InnerLoopDelay", 30);
    Set(L"DialtoneTestEnable", 1);
    std::vector<std::pair<int, std::string>> none;
    for (int n = 1; n <= 9; ++n) none.emplace_back(n, kAbsent);
    Profiles(none);
    ::DeleteFileW(SuitePath(L"KytMODM.LOG").c_str());
  }
  void TearDown() override {
    host.Destroy();
    if (window) ::DestroyWindow(window);
    modemKey_.reset();
  }

  static void Set(const wchar_t* name, DWORD v) { appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, v); }
  static void SetText(const wchar_t* name, const wchar_t* v) { appkit::RegWriteString(HKEY_CURRENT_USER, kKey, name, v); }

  // Gives each port of `ports` its profile (a modem, or "present": false
  // for none) and waits until every simulator has taken its own; the
  // simulators take theirs side by side.
  void Profiles(const std::vector<std::pair<int, std::string>>& ports) {
    static int serial = 0;
    std::vector<std::pair<std::wstring, std::string>> acks;  // file, serial it must hold
    for (const auto& [n, body] : ports) {
      ++serial;
      std::wstring file = SimDir() + L"port" + std::to_wstring(n) + L".json";
      std::string json = "{\"serial\": " + std::to_string(serial) + ", " + body + "}";
      ASSERT_TRUE(WriteFileBytes(file, json));
      acks.emplace_back(file + L".ack", std::to_string(serial));
    }
    for (size_t i = 0; i < acks.size(); ++i) {
      bool taken = PumpUntil(
          [&] {
            std::string ack = ReadFileBytes(acks[i].first);
            while (!ack.empty() && (ack.back() == '\n' || ack.back() == '\r')) ack.pop_back();
            return ack == acks[i].second;
          },
          10000);
      ASSERT_TRUE(taken) << "COM" << ports[i].first << " did not take its profile";
      ::DeleteFileW((SimDir() + L"port" + std::to_wstring(ports[i].first) + L".log").c_str());
    }
  }
  void Profile(int n, const std::string& body) { Profiles({{n, body}}); }
  // The profile of a modem with `replies`.
  static std::string ModemBody(const Replies& replies, const std::string& extra = "") {
    std::string body = "\"echo\": true, \"replies\": {";
    bool first = true;
    for (const auto& [k, v] : replies) {
      body += (first ? "" : ", ") + Quote(k) + ": " + v;
      first = false;
    }
    body += "}";
    if (!extra.empty()) body += ", " + extra;
    return body;
  }
  void Modem(int n, const Replies& replies, const std::string& extra = "") { Profile(n, ModemBody(replies, extra)); }
  // Modems on COM1, COM2, ... with `modems`' replies and none on the other
  // ports, taken side by side.
  void Modems(const std::vector<Replies>& modems) {
    std::vector<std::pair<int, std::string>> ports;
    for (const Replies& r : modems) ports.emplace_back((int)ports.size() + 1, ModemBody(r));
    while (ports.size() < 9) ports.emplace_back((int)ports.size() + 1, kAbsent);
    Profiles(ports);
  }
  static constexpr const char* kAbsent = "\"present\": false";
  void Absent(int n) { Profile(n, kAbsent); }

  // What COM`n`'s modem heard, one command a line.
  static std::vector<std::string> Heard(int n) {
    return SplitLines(ReadFileBytes(SimDir() + L"port" + std::to_wstring(n) + L".log"));
  }
  static bool HeardLine(int n, const std::string& line) {
    for (const std::string& l : Heard(n))
      if (l == line) return true;
    return false;
  }

  // modem.mod with `args`, started as the main program starts it; its
  // reported result.
  WPARAM RunModule(const std::wstring& args) {
    Process p;
    WPARAM result = 99;
    EXPECT_TRUE(ctltest::StartModuleAndWaitReport(p, SuitePath(L"modem.mod"), args, &result, 180000));
    EXPECT_TRUE(p.WaitExit(20000));
    // The run as a person reads it (shown with ctest -V).
    std::printf("[ module  ] modem.mod %s reported %u; KytMODM.LOG:\n", appkit::Narrow(args).c_str(), (unsigned)result);
    for (const std::string& l : LogLines()) std::printf("    | %s\n", l.c_str());
    return result;
  }
  // The result lines of the log, after its header and title.
  static std::vector<std::string> LogLines() {
    std::vector<std::string> all = SplitLines(ReadFileBytes(SuitePath(L"KytMODM.LOG")));
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i] == "Modem Test") return std::vector<std::string>(all.begin() + (long)i + 1, all.end());
    return {};
  }
  // The lines of a run's log about COM`n`: from its "Checking Modem on"
  // line up to the next port's (or the log's end); none when it was not
  // checked.
  static std::vector<std::string> PortLines(const std::vector<std::string>& lines, int n) {
    const std::string mine = "Checking Modem on COM" + std::to_string(n) + ":", any = "Checking Modem on COM";
    std::vector<std::string> out;
    for (const std::string& l : lines) {
      if (l.rfind(any, 0) == 0) {
        if (!out.empty()) break;
        if (l.rfind(mine, 0) != 0) continue;
      }
      if (!out.empty() || l.rfind(mine, 0) == 0) out.push_back(l);
    }
    return out;
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
      if (l == line) return true;
    return false;
  }

  // ---- The control hosted here -----------------------------------------------
  void HostControl(const std::string& cmdLine) {
    window = ctltest::CreateHostWindow(700, 560);
    ASSERT_EQ(host.Create(suite::Control(suite::kCtlModem).clsid, window, RECT{10, 10, 650, 490}, 1001), S_OK);
    ASSERT_TRUE(Call(suite::kDispInit, {cmdLine}));
    Call(suite::kDispSetProp, {std::string("Size"), std::string("640 480")});
  }
  // A run of a control hosted here, as -AutoRun runs it, under the settings
  // the registry holds now (a control of its own: it reads them at Init);
  // the error count its Done event reports (99 when none came). Its log is
  // written afresh at the run's end, as the module writes it. The control
  // is closed after its run: it keeps its settings then, before the next
  // case sets its own.
  WPARAM RunHosted() {
    done_.clear();
    ::DeleteFileW(SuitePath(L"KytMODM.LOG").c_str());
    HostControl("-AutoRun");
    EXPECT_EQ(host.SinkEvents(IID_NULL,
                              [this](DISPID id, const std::vector<std::wstring>& args) {
                                if (id == suite::kEventDone) done_.push_back(args.empty() ? L"?" : args[0]);
                              }),
              S_OK);
    EXPECT_TRUE(Call(suite::kDispDoTest, {std::string()}));
    EXPECT_TRUE(PumpUntil([&] { return !done_.empty() && !Call(suite::kDispIsRunning); }, 180000));
    WaitButton(1007, L"&Start");
    EXPECT_EQ(done_.size(), 1u) << "one Done a run";
    WPARAM result = done_.empty() ? 99 : (WPARAM)std::wcstoul(done_[0].c_str(), nullptr, 10);
    std::printf("[ hosted  ] Done(%u); KytMODM.LOG:\n", (unsigned)result);
    for (const std::string& l : LogLines()) std::printf("    | %s\n", l.c_str());
    host.Destroy();
    ::DestroyWindow(window);
    window = nullptr;
    return result;
  }
  bool Call(DISPID id, const std::vector<appkit::AxArg>& args = {}) { return ctltest::Call(host, id, args); }
  HWND Sheet() const { return ::GetWindow(host.hwnd(), GW_CHILD); }
  HWND Item(int id) const { return FindChildById(Sheet(), id); }
  std::vector<std::string> Results() const {
    std::vector<std::string> lines;
    for (const std::wstring& l : ListBoxLines(Item(1005))) lines.push_back(appkit::Narrow(l));
    return lines;
  }
  bool WaitHeard(int n, const std::string& line, DWORD ms) {
    return PumpUntil([&] { return HeardLine(n, line); }, ms);
  }
  // Stops the run as a host's Abort does, again and again until it is over
  // and a few times after; how long it took.
  double StopAndTime() {
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(Call(suite::kDispAbort));
    bool over = PumpUntil(
        [&] {
          Call(suite::kDispAbort);
          return !Call(suite::kDispIsRunning);
        },
        20000);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_TRUE(over);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Call(suite::kDispAbort)) << "nothing runs";
    WaitButton(1007, L"&Start");
    return s;
  }
  // The worker's last lines and the button follow right after IsRunning
  // turns FALSE.
  void WaitButton(int id, const wchar_t* text) {
    EXPECT_TRUE(PumpUntil([&] { return GetText(Item(id)) == text; }, 10000));
  }
  static std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
  }

  HWND window = nullptr;
  appkit::AxHost host;
  std::vector<std::wstring> done_;
  std::optional<testsupport::KeyAside> modemKey_;
};

TEST_F(ModemPorts, FullModemPassesEveryStep) {
  Modem(1, FullModem());
  EXPECT_EQ(RunModule(L"-AutoRun"), 0u);
  std::vector<std::string> want = {"Searching Modem....."};
  for (const std::string& l : FullModemLines("COM1")) want.push_back(l);
  want.push_back("No Error Found.");
  EXPECT_EQ(LogLines(), want);
  // The dial tone was hung up, and the modem was reset at the end.
  std::vector<std::string> heard = Heard(1);
  ASSERT_GE(heard.size(), 2u);
  EXPECT_TRUE(HeardLine(1, "ATH0"));
  EXPECT_EQ(heard[heard.size() - 2], "ATZ");
  EXPECT_EQ(heard.back(), "AT");
}

TEST_F(ModemPorts, ModemsOnCom2AndCom4AreBothTested) {
  Modem(2, FullModem());
  Modem(4, FullModem());
  Set(L"DialtoneTestEnable", 0);
  EXPECT_EQ(RunHosted(), 0u);
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(Has(lines, "Checking Modem on COM2:\tModem Found"));
  EXPECT_TRUE(Has(lines, "Checking Modem on COM4:\tModem Found"));
  int sregs = 0;
  for (const std::string& l : lines) sregs += l == "S25:\t005";
  EXPECT_EQ(sregs, 2) << "each modem went through the sequence";
  EXPECT_FALSE(Has(lines, "Checking Modem on COM1:\tModem Found"));
  EXPECT_EQ(lines.back(), "No Error Found.");
}

TEST_F(ModemPorts, NoModemIsOneError) {
  EXPECT_EQ(RunHosted(), 1u);
  std::vector<std::string> want = {"Searching Modem.....", "Failed to find a modem connected to your computer.", "",
                                   "Found Error(s)."};
  EXPECT_EQ(LogLines(), want);

  // A port whose device never answers is listed, and is no modem either;
  // its probe waits out the standard time-out twice: a short one.
  Profile(3, "\"silent\": true");
  Set(L"StandardTimeout", 500);
  EXPECT_EQ(RunHosted(), 1u);
  want = {"Searching Modem.....", "Checking Modem on COM3:\tNot Found ( return code: 10 )",
          "Failed to find a modem connected to your computer.", "", "Found Error(s)."};
  EXPECT_EQ(LogLines(), want);
  EXPECT_EQ(Heard(3), (std::vector<std::string>{"ATZ", "ATZ"})) << "probed twice";

  // "Loop" searches the ports that many times.
  Absent(3);
  Set(L"Loop", 3);
  EXPECT_EQ(RunHosted(), 1u);
  want = {"Searching Modem.....", "Searching Modem.....", "Searching Modem.....",
          "Failed to find a modem connected to your computer.", "", "Found Error(s)."};
  EXPECT_EQ(LogLines(), want);
}

// One modem that differs from the full one in one answer; the line it
// gives and the errors it costs. Each run has only the group of tests on
// that asks the command (the standard group holds the fax query and the
// registers too); the full sequence is FullModemPassesEveryStep's. Cases
// that cost no error and ask the same group share a run, each modem on a
// port of its own and judged on its own port's lines.
TEST_F(ModemPorts, EachKindOfAnswerGivesItsLine) {
  enum Group { kDialTone, kStandard, kAdvanced };
  struct Case {
    const char* what;
    Group group;
    const char* command;
    const char* reply;
    const char* line;     // a line the log must hold ("" none)
    const char* missing;  // a line it must not hold ("" none)
    WPARAM errors;
  };
  const Case cases[] = {
      {"an advanced command unsupported", kAdvanced, "AT%C1", R"(["ERROR"])", "AT%C1:\tNO SUPPORT", "", 0},
      {"an advanced command unanswered", kAdvanced, "AT&J0", "[]", "AT&J0:\tNO RESPONSE ( return code: 10 )", "", 0},
      {"a standard command refused", kStandard, "ATQ0", R"(["ERROR"])", "ATQ:\tFAILED", "", 1},
      {"a standard command unanswered", kStandard, "ATX4", "[]", "ATX:\tFAILED ( return code: 10 )", "", 1},
      {"a silent identity query", kStandard, "ATI3", "[]", "", "ATI3:\tSimvale 56K V.92", 0},
      {"no dial tone", kDialTone, "ATDT;", R"(["NO DIALTONE"])", "Testing Dial Tone:\tFAILED-NO DIALTONE", "", 1},
      {"no fax", kStandard, "AT+FCLASS=?", R"(["ERROR"])", "Fax Support:\tNo", "Fax Support:\tYes", 0},
      {"a register unanswered", kStandard, "ATS7?", "[]", "S7:\tNO RESPONSE ( return code: 10 )", "", 0},
      {"a register unsupported", kStandard, "ATS25?", R"(["ERROR"])", "S25:\tNO SUPPORT", "", 0},
  };
  for (const auto& run : ShareRuns(cases, [](const Case& a, const Case& b) { return a.group == b.group; })) {
    const Group group = run.front()->group;
    Set(L"DialtoneTestEnable", group == kDialTone);
    Set(L"StandardTestEnable", group == kStandard);
    Set(L"AdvancedTestEnable", group == kAdvanced);
    // A command left unanswered waits out its whole time-out: a short one.
    bool unanswered = false;
    std::vector<Replies> modems;
    WPARAM errors = 0;
    for (const Case* c : run) {
      unanswered |= std::string(c->reply) == "[]";
      modems.push_back(FullModem());
      modems.back()[c->command] = c->reply;
      errors += c->errors;
    }
    Set(L"ShortTimeout", unanswered ? 500 : 800);
    Set(L"StandardTimeout", unanswered ? 500 : 1200);
    Modems(modems);
    EXPECT_EQ(RunHosted(), errors) << run.front()->what << " and the cases of its run";
    std::vector<std::string> all = LogLines();
    EXPECT_EQ(all.empty() ? "" : all.back(), errors ? "Found Error(s)." : "No Error Found.") << run.front()->what;
    for (size_t i = 0; i < run.size(); ++i) {
      const Case& c = *run[i];
      const int port = (int)i + 1;
      SCOPED_TRACE(std::string(c.what) + " on COM" + std::to_string(port));
      std::vector<std::string> lines = PortLines(all, port);
      EXPECT_TRUE(Has(lines, "Checking Modem on COM" + std::to_string(port) + ":\tModem Found")) << Joined(all);
      EXPECT_TRUE(HeardLine(port, c.command)) << "the case's group asked it";
      if (*c.line) {
        EXPECT_TRUE(Has(lines, c.line)) << Joined(lines);
      }
      if (*c.missing) {
        EXPECT_FALSE(Has(lines, c.missing)) << Joined(lines);
      }
    }
  }
}

// The call at the end of the sequence and its speed verdict. The other
// groups of the sequence are off: the call is the run's only step.
TEST_F(ModemPorts, CallToTheRemoteSystem) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  Set(L"AdvancedTestEnable", 0);
  Set(L"ConnectionTest", 1);
  struct Case {
    const char* what;
    const wchar_t* number;
    DWORD checkSpeed;
    const char* reply;  // for "ATDT 5551234"
    const char* line;
    WPARAM errors;
    bool hungUpOnLine;  // the escape sequence and ATH0 followed
    DWORD connectMs;    // "ConnectTimeout": what a dial waits for its answer
  };
  const Case cases[] = {
      {"busy", L"5551234", 1, R"(["BUSY"])", "Testing Connection:\tBUSY", 1, false, 4000},
      {"too slow", L"5551234", 1, R"({"delay_ms": 300, "lines": ["CONNECT 14400"], "online": true})",
       "Testing Connection:\tFAILED(14400)", 1, true, 4000},
      {"fast enough", L"5551234", 1, R"({"delay_ms": 300, "lines": ["CONNECT 28800"], "online": true})",
       "Testing Connection:\tPASSED(28800)", 0, true, 4000},
      {"speed not judged", L"5551234", 0, R"({"lines": ["CONNECT 14400"], "online": true})",
       "Testing Connection:\tPASSED(14400)", 0, true, 4000},
      {"no speed", L"5551234", 0, R"({"lines": ["CONNECT"], "online": true})", "Testing Connection:\tPASSED", 0, true, 4000},
      {"no number", L"", 1, "[]", "Testing Connection:\tABORTED", 0, false, 4000},
      // The dial waits out the whole connect time-out (a short one).
      {"no answer", L"5551234", 1, R"({"delay_ms": 60000, "lines": ["CONNECT 28800"]})", "Testing Connection:\tFAILED",
       1, false, 1000},
  };
  // Cases under the same settings that cost no error share a run, each
  // modem on a port of its own and judged on its own port's lines.
  auto alike = [](const Case& a, const Case& b) {
    return std::wstring(a.number) == b.number && a.checkSpeed == b.checkSpeed && a.connectMs == b.connectMs;
  };
  for (const auto& run : ShareRuns(cases, alike)) {
    const Case& first = *run.front();
    SetText(L"BBSNumber", first.number);
    Set(L"CheckConnectSpeed", first.checkSpeed);
    Set(L"ConnectTimeout", first.connectMs);
    std::vector<Replies> modems;
    WPARAM errors = 0;
    for (const Case* c : run) {
      modems.push_back(FullModem());
      modems.back()["ATDT 5551234"] = c->reply;
      errors += c->errors;
    }
    Modems(modems);
    EXPECT_EQ(RunHosted(), errors) << first.what << " and the cases of its run";
    std::vector<std::string> all = LogLines();
    for (size_t i = 0; i < run.size(); ++i) {
      const Case& c = *run[i];
      const int port = (int)i + 1;
      SCOPED_TRACE(std::string(c.what) + " on COM" + std::to_string(port));
      EXPECT_TRUE(Has(PortLines(all, port), c.line)) << Joined(all);
      std::vector<std::string> heard = Heard(port);
      bool escaped = false;
      for (size_t j = 0; j + 1 < heard.size(); ++j) escaped |= heard[j] == "+++" && heard[j + 1] == "ATH0";
      EXPECT_EQ(escaped, c.hungUpOnLine);
      if (std::string(c.what) == "no answer") {
        EXPECT_TRUE(HeardLine(port, "<dial aborted>")) << "the call was given up";
      }
    }
  }
}

// A telephone number too long for the command buffer is not dialled cut
// short: the call fails without dialling.
TEST_F(ModemPorts, NumberTooLongIsNotDialled) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  Set(L"ConnectionTest", 1);
  SetText(L"BBSNumber", std::wstring(120, L'5').c_str());
  Modem(1, FullModem());
  EXPECT_EQ(RunHosted(), 1u);
  EXPECT_TRUE(Has(LogLines(), "Testing Connection:\tFAILED"));
  for (const std::string& l : Heard(1)) EXPECT_NE(l.rfind("ATDT", 0), 0u) << l;
}

TEST_F(ModemPorts, AnalogLoopbackAndItsTimer) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  Set(L"ATT1BaudRate", 9600);
  // COM1's modem answers S18; COM2's does not, and its S18 is not
  // overwritten with 0. One run tests both.
  Replies silentS18 = FullModem();
  silentS18["ATS18=?"] = "[]";
  Modems({FullModem(), silentS18});
  EXPECT_EQ(RunHosted(), 0u);
  std::vector<std::string> all = LogLines();
  EXPECT_TRUE(Has(PortLines(all, 1), "AT&T1:\tPASSED(CONNECT 9600)")) << Joined(all);
  EXPECT_TRUE(HeardLine(1, "ATS18=2")) << "the loopback time-out in seconds";
  EXPECT_TRUE(HeardLine(1, "ATS18=7")) << "the old value put back";

  EXPECT_TRUE(HeardLine(2, "ATS18=2"));
  EXPECT_FALSE(HeardLine(2, "ATS18=0"));
}

// Whether this machine has a mixer and a recording device.
bool HaveSound() {
  HMIXER mixer = nullptr;
  bool sound = ::mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) == MMSYSERR_NOERROR && ::waveInGetNumDevs() > 0;
  if (mixer) ::mixerClose(mixer);
  return sound;
}

// The volume of a mixer's destination of `type`, both channels; `write`
// sets it instead. This process's own view of the mixer, which a control
// hosted here shares.
bool DestinationVolume(UINT mixerId, DWORD type, DWORD values[2], bool write) {
  HMIXER h = nullptr;
  if (::mixerOpen(&h, mixerId, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return false;
  MIXERLINEW line{};
  line.cbStruct = sizeof(line);
  line.dwComponentType = type;
  MIXERCONTROLW control{};
  control.cbStruct = sizeof(control);
  MIXERLINECONTROLSW mlc{};
  mlc.cbStruct = sizeof(mlc);
  mlc.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  mlc.cControls = 1;
  mlc.cbmxctrl = sizeof(control);
  mlc.pamxctrl = &control;
  MIXERCONTROLDETAILS_UNSIGNED v[2] = {{values[0]}, {values[1]}};
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof(d);
  d.cChannels = 2;
  d.cbDetails = sizeof(v[0]);
  d.paDetails = v;
  bool ok = ::mixerGetLineInfoW((HMIXEROBJ)h, &line, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_HMIXER) == 0;
  mlc.dwLineID = line.dwLineID;
  ok = ok && ::mixerGetLineControlsW((HMIXEROBJ)h, &mlc, MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_HMIXER) == 0;
  d.dwControlID = control.dwControlID;
  if (line.cChannels < 2 || (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM)) d.cChannels = 1;
  ok = ok && (write ? ::mixerSetControlDetails((HMIXEROBJ)h, &d, MIXER_OBJECTF_HMIXER)
                    : ::mixerGetControlDetailsW((HMIXEROBJ)h, &d, MIXER_OBJECTF_HMIXER)) == 0;
  if (ok && !write) {
    values[0] = v[0].dwValue;
    values[1] = d.cChannels > 1 ? v[1].dwValue : v[0].dwValue;
  }
  ::mixerClose(h);
  return ok;
}

// How long the tone-dialling test records: the simulator plays once the
// recording runs, and its seven digits end 2.8 s after that (1.5 s off
// hook, then 90 ms tones 90 ms apart); the rest is room for a busy machine
// to notice the recording and start the player.
constexpr DWORD kToneRecordingMs = 6000;

// The tone-dialling test: the modem dials blind while the sound card
// records its speaker. With a mixer and a recording device (a sound server
// whose recording source hears what is played) the seven digits are
// counted when the recording takes the input the modem is on: the sound
// server's recording source is a microphone to Windows, and a card without
// a line input says so when the line input is asked for. Without sound
// devices the test says so and counts one error.
TEST_F(ModemPorts, ToneDiallingThroughTheSoundCard) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  SetText(L"TestATS6", L"5551234");
  SetText(L"TestATS6Input", L"MIC");
  Set(L"TestATS6Sleep", kToneRecordingMs);
  Modem(1, FullModem(), "\"tones\": true");
  bool sound = HaveSound();
  if (Env("HALVIX_AUDIO") == "1") {
    EXPECT_TRUE(sound) << "the test run has a sound server";
  }
  WPARAM errors = RunHosted();
  std::vector<std::string> lines = LogLines();
  if (sound) {
    std::printf("[ tones   ] with a sound device\n");
    EXPECT_EQ(errors, 0u);
    EXPECT_TRUE(Has(lines, "ATS6:\tPASSED")) << Joined(lines);
    EXPECT_TRUE(HeardLine(1, "ATS6=0X0DT5551234"));

    // The line input: this card has none.
    SetText(L"TestATS6Input", L"LINEIN");
    EXPECT_EQ(RunHosted(), 1u);
    lines = LogLines();
    EXPECT_TRUE(Has(lines, "ATS6:\t")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "Failed to find the specific line of the mixer device.")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "FAILED")) << "the result lands on the message's last line\n" << Joined(lines);
  } else {
    std::printf("[ tones   ] without a sound device\n");
    EXPECT_EQ(errors, 1u);
    EXPECT_TRUE(Has(lines, "Failed to get mixer handle."));
    EXPECT_FALSE(Has(lines, "ATS6:\tPASSED"));
  }
}

// The sound card while the Test page is open: every line at
// "DefaultVolume", the tone-dialling test passing on it, and the user's
// volumes back when the control closes (read in this process, which the
// hosted control shares).
TEST_F(ModemPorts, ToneDiallingSetsUpTheMixerAndPutsItBack) {
  if (!HaveSound()) GTEST_SKIP() << "no sound devices";
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  Set(L"DefaultVolume", 45000);
  SetText(L"TestATS6", L"5551234");
  SetText(L"TestATS6Input", L"MIC");
  Set(L"TestATS6Sleep", kToneRecordingMs);
  Modem(1, FullModem(), "\"tones\": true");
  UINT recordingMixer = 0;
  ASSERT_EQ(::mixerGetID((HMIXEROBJ)(UINT_PTR)WAVE_MAPPER, &recordingMixer, MIXER_OBJECTF_WAVEIN) == 0 ||
                ::mixerGetID((HMIXEROBJ)(UINT_PTR)0, &recordingMixer, MIXER_OBJECTF_WAVEIN) == 0,
            true);
  // The user's settings, and what this test leaves behind.
  DWORD original[2][2] = {};
  ASSERT_TRUE(DestinationVolume(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, original[0], false));
  ASSERT_TRUE(DestinationVolume(recordingMixer, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, original[1], false));
  // (The mixer here keeps one value for both channels.)
  DWORD user[2][2] = {{61000, 61000}, {63000, 63000}};
  ASSERT_TRUE(DestinationVolume(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, user[0], true));
  ASSERT_TRUE(DestinationVolume(recordingMixer, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, user[1], true));
  auto volumes = [&](std::vector<DWORD>* out) {
    DWORD speaker[2] = {}, input[2] = {};
    EXPECT_TRUE(DestinationVolume(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, speaker, false));
    EXPECT_TRUE(DestinationVolume(recordingMixer, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, input, false));
    *out = {speaker[0], speaker[1], input[0], input[1]};
  };
  std::vector<DWORD> seen;
  volumes(&seen);
  ASSERT_EQ(seen, (std::vector<DWORD>{61000, 61000, 63000, 63000})) << "the user's volumes as set";

  HostControl("-AutoRun");
  volumes(&seen);
  EXPECT_EQ(seen, (std::vector<DWORD>{45000, 45000, 45000, 45000})) << "set up when the page opened";
  ASSERT_TRUE(Call(suite::kDispDoTest, {std::string()}));
  EXPECT_TRUE(PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 180000));
  WaitButton(1007, L"&Start");
  std::vector<std::string> lines = Results();
  std::printf("[ tones   ] hosted run:\n");
  for (const std::string& l : lines) std::printf("    | %s\n", l.c_str());
  EXPECT_TRUE(Has(lines, "ATS6:\tPASSED")) << Joined(lines);
  volumes(&seen);
  EXPECT_EQ(seen, (std::vector<DWORD>{45000, 45000, 45000, 45000})) << "kept while the page is open";

  host.Destroy();
  volumes(&seen);
  EXPECT_EQ(seen, (std::vector<DWORD>{61000, 61000, 63000, 63000})) << "the user's volumes back";
  std::printf("[ tones   ] volumes: user 61000 and 63000, page 45000, after closing %u/%u and %u/%u\n",
              (unsigned)seen[0], (unsigned)seen[1], (unsigned)seen[2], (unsigned)seen[3]);
  DestinationVolume(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, original[0], true);
  DestinationVolume(recordingMixer, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, original[1], true);
}

// Stop at every stage: the run ends soon, with the modem hung up. Each run
// has only the groups on that lead to its stage, ticked in the page's test
// list as a person picks them (one at least; the call is not in the list),
// and all runs go through the one control, each after the last one's Stop.
TEST_F(ModemPorts, StopEndsEveryStageAtOnce) {
  const struct {
    const char* stage;
    bool dialTone, standard, advanced;  // the groups ticked
    const char* command;  // what the modem is busy with when Stop comes
    const char* reply;
    const char* line;     // the results list shows it
  } cases[] = {
      {"search", true, true, true, "ATZ", R"({"delay_ms": 60000, "lines": ["OK"]})", "Checking Modem on COM1:\tABORTED"},
      {"dial tone", true, false, false, "ATDT;", R"({"delay_ms": 60000, "lines": ["OK"]})",
       "Testing Dial Tone:\tABORTED"},
      {"standard command", false, true, false, "ATV1", R"({"delay_ms": 60000, "lines": ["OK"]})", "ATV:\tABORTED"},
      {"advanced command", false, false, true, "AT&Q5", R"({"delay_ms": 60000, "lines": ["OK"]})", "AT&Q5:\tABORTED"},
      {"loopback", false, false, true, "AT&T1",
       R"({"lines": ["CONNECT 9600"], "online": true, "then_after_ms": 60000, "then": ["OK"]})", "AT&T1:\tABORTED"},
      {"call", true, false, false, "ATDT 5551234", R"({"delay_ms": 60000, "lines": ["CONNECT 28800"], "online": true})",
       "Testing Connection:\tABORTED"},
  };
  Set(L"ATT1BaudRate", 9600);
  Set(L"ConnectionTest", 1);
  SetText(L"BBSNumber", L"5551234");
  Set(L"LongTimeout", 60000);
  Set(L"ConnectTimeout", 60000);
  Set(L"StandardTimeout", 60000);
  HostControl("-AutoRun");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stage);
    // The test list: dial tone, standard and advanced commands; an item's
    // data is 128 (it can be ticked) plus 1 when it is ticked.
    HWND list = Item(1009);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    const bool ticked[] = {c.dialTone, c.standard, c.advanced};
    for (int i = 0; i < 3; ++i) ::SendMessageW(list, LB_SETITEMDATA, i, 128 | (ticked[i] ? 1 : 0));
    Replies r = FullModem();
    r[c.command] = c.reply;
    Modem(1, r);
    ASSERT_TRUE(Call(suite::kDispDoTest, {std::string()}));
    EXPECT_TRUE(Call(suite::kDispIsRunning)) << "running as soon as DoTest returns";
    EXPECT_FALSE(Call(suite::kDispDoTest, {std::string()})) << "one run at a time";
    ASSERT_TRUE(WaitHeard(1, c.command, 60000));
    double s = StopAndTime();
    std::printf("[ stop    ] %-17s %.2f s\n", c.stage, s);
    EXPECT_LT(s, 10.0);
    std::vector<std::string> lines = Results();
    EXPECT_TRUE(Has(lines, c.line)) << Joined(lines);
    EXPECT_TRUE(Has(lines, "===>Test aborted."));
  }
  // The modem of the stopped call was hung up: its dial was cut short.
  EXPECT_TRUE(HeardLine(1, "<dial aborted>"));
}

// A control closed while its modem dials waits for the worker, which hangs
// up first.
TEST_F(ModemPorts, ClosingDuringACallHangsUpAndWaits) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  Set(L"ConnectionTest", 1);
  SetText(L"BBSNumber", L"5551234");
  Set(L"ConnectTimeout", 60000);
  Replies r = FullModem();
  r["ATDT 5551234"] = R"({"delay_ms": 60000, "lines": ["CONNECT 28800"], "online": true})";
  Modem(1, r);
  HostControl("-AutoRun");
  ASSERT_TRUE(Call(suite::kDispDoTest, {std::string()}));
  ASSERT_TRUE(WaitHeard(1, "ATDT 5551234", 60000));
  auto t0 = std::chrono::steady_clock::now();
  host.Destroy();
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("[ stop    ] %-17s %.2f s\n", "closing", s);
  EXPECT_LT(s, 10.0);
  EXPECT_TRUE(HeardLine(1, "<dial aborted>")) << "hung up before the control went";
}

// The Test page after a run against a modem on COM1 and a silent device on
// COM3, as a person sees it (a picture of the screen lands beside the test).
TEST_F(ModemPorts, TestPageAfterARun) {
  Modem(1, FullModem());
  Profile(3, "\"silent\": true");
  Set(L"DialtoneTestEnable", 1);
  // COM3's probe waits out the standard time-out twice: a short one.
  Set(L"StandardTimeout", 500);
  HostControl("-AutoRun");
  ASSERT_TRUE(Call(suite::kDispDoTest, {std::string()}));
  EXPECT_TRUE(PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 120000));
  WaitButton(1007, L"&Start");
  std::vector<std::string> lines = Results();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "No Error Found.");
  EXPECT_TRUE(Has(lines, "Checking Modem on COM3:\tNot Found ( return code: 10 )"));
  EXPECT_EQ(ctltest::GetProp(host, "count"), std::to_string(lines.size()));
  ::ShowWindow(window, SW_SHOW);
  ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  // Painted now; the page goes on painting while the picture is taken.
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  std::wstring done = SimDir() + L"shot.done";
  ::DeleteFileW(done.c_str());
  ASSERT_TRUE(WriteFileBytes(SimDir() + L"shot.request", "modem_test_page.png"));
  PumpUntil([&] { return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
}

// modem.mod with `args`, started as the main program starts it, with
// `host` as its reply window: it reports there when it ends.
bool StartAsTheMainProgram(Process& p, MessageCatcher& host, const std::wstring& args) {
  if (!p.Start(SuitePath(L"modem.mod"), args)) {
    ADD_FAILURE() << appkit::Narrow(p.LastError());
    return false;
  }
  if (!p.WaitIdle(10000)) {
    DWORD error = ::GetLastError();
    ADD_FAILURE() << "modem.mod did not come to take messages (error " << error << "); running " << p.Running()
                  << ", exit code " << p.ExitCode();
    return false;
  }
  UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagHostWindow, (LPARAM)host.hwnd());
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagStart, (LPARAM)p.Pid());
  return true;
}

// Whatever the settings make a modem's waits (a polling pause of 49 days, or
// of a minute, and time-outs as long), Stop, the user's Close and the host's
// close act at once: the module started with -AutoRun ends (and reports)
// soon after, while its worker is waiting on the modem.
TEST_F(ModemPorts, NoSettingHoldsUpStopOrClose) {
  Replies r = FullModem();
  // Every probe waits on the modem until the run is ended.
  r["ATZ"] = R"({"delay_ms": 600000, "lines": ["OK"]})";
  Set(L"StandardTimeout", 0xFFFFFFFF);
  Set(L"ShortTimeout", 0xFFFFFFFF);
  Set(L"LongTimeout", 0xFFFFFFFF);
  enum How { kDiagClose, kUserClose, kStopButton };
  const struct {
    const char* how;
    How ending;
  } endings[] = {{"the host's close", kDiagClose}, {"the user's Close", kUserClose}, {"Stop", kStopButton}};
  UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
  for (DWORD delay : {0xFFFFFFFFu, 60000u}) {
    Set(L"InnerLoopDelay", delay);
    for (const auto& e : endings) {
      SCOPED_TRACE(std::string(e.how) + ", InnerLoopDelay " + std::to_string(delay));
      Modem(1, r);  // a modem that has not heard the last run's probe
      ::DeleteFileW(SuitePath(L"KytMODM.LOG").c_str());
      Process p;
      MessageCatcher host;
      ASSERT_TRUE(StartAsTheMainProgram(p, host, L"-AutoRun"));
      // The worker waits on COM1's modem.
      ASSERT_TRUE(WaitHeard(1, "ATZ", 60000));
      HWND top = WaitForWindow(L"Modem Test", L"", p.Pid(), 10000);
      ASSERT_NE(top, nullptr);
      auto t0 = std::chrono::steady_clock::now();
      auto since = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(); };
      if (e.ending == kStopButton) {
        HWND list = FindChildById(top, 1005);
        ASSERT_NE(list, nullptr);
        HWND button = FindChildById(::GetParent(list), 1007);
        ASSERT_TRUE(ClickButton(button));
        bool stopped = PumpUntil([&] { return GetText(button) == L"&Start"; }, 15000);
        std::printf("[ ending  ] %-17s InnerLoopDelay %10lu: the run stopped after %.2f s\n", e.how,
                    (unsigned long)delay, since());
        EXPECT_TRUE(stopped) << "the run did not stop";
        t0 = std::chrono::steady_clock::now();
        ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
      } else if (e.ending == kDiagClose) {
        ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
      } else {
        ::PostMessageW(top, WM_CLOSE, 0, 0);
      }
      MessageCatcher::Caught done{};
      bool reported = host.WaitFor(diag, 15000, &done);
      bool ended = reported && p.WaitExit(5000);
      std::printf("[ ending  ] %-17s InnerLoopDelay %10lu: the module ended after %.2f s\n", e.how,
                  (unsigned long)delay, since());
      EXPECT_TRUE(reported) << "the module did not report";
      EXPECT_TRUE(ended) << "the module did not end";
      std::vector<std::string> lines = LogLines();
      EXPECT_TRUE(Has(lines, "Checking Modem on COM1:\tABORTED")) << Joined(lines);
      EXPECT_TRUE(Has(lines, "===>Test aborted.")) << Joined(lines);
    }
  }
}

// What a modem sends before its result line is read past: NUL bytes, a
// line longer than the reply buffer, many lines; the modem is found.
TEST_F(ModemPorts, NulsAndLongLinesBeforeTheResultAreReadPast) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTestEnable", 0);
  const std::string longLine(1500, 'x');
  std::string manyLines;
  for (int i = 0; i < 300; ++i) manyLines += std::string(i ? ", " : "") + "\"line " + std::to_string(i) + " of the modem's banner\"";
  const struct {
    const char* what;
    std::string atz;  // the modem's answer to ATZ (JSON)
  } cases[] = {
      {"NULs before OK", R"(["\u0000\u0000OK"])"},
      {"NULs on a line of their own", R"(["\u0000\u0000\u0000", "OK"])"},
      {"a line over 999 bytes", "[\"" + longLine + "\", \"OK\"]"},
      {"a banner of many lines", "[" + manyLines + ", \"OK\"]"},
  };
  // One run: each case's modem on a port of its own, judged on its lines.
  std::vector<Replies> modems;
  for (const auto& c : cases) {
    modems.push_back(FullModem());
    modems.back()["ATZ"] = c.atz;
  }
  Modems(modems);
  RunHosted();
  std::vector<std::string> all = LogLines();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string port = "COM" + std::to_string(i + 1);
    SCOPED_TRACE(cases[i].what + (" on " + port));
    std::vector<std::string> lines = PortLines(all, (int)i + 1);
    EXPECT_TRUE(Has(lines, "Checking Modem on " + port + ":\tModem Found")) << Joined(all);
    EXPECT_TRUE(Has(lines, "AT&C1:\tPASSED")) << Joined(lines);
  }
}

// Answers every message box of this process titled "Modem Test" with OK and
// keeps what each said.
class BoxReader {
 public:
  BoxReader() { thread_ = ::CreateThread(nullptr, 0, &BoxReader::Run, this, 0, nullptr); }
  ~BoxReader() {
    stop_ = true;
    ::WaitForSingleObject(thread_, 5000);
    ::CloseHandle(thread_);
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> t;
    ::EnterCriticalSection(&lock_);
    t = texts_;
    ::LeaveCriticalSection(&lock_);
    return t;
  }

 private:
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<BoxReader*>(p);
    while (!self->stop_) {
      HWND box = FindTopWindow(L"Modem Test", L"#32770", ::GetCurrentProcessId());
      if (box && ::IsWindowVisible(box)) {
        std::wstring text;
        for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
          if (ClassOf(c) == L"Static" && GetText(c).size() > text.size()) text = GetText(c);
        ::EnterCriticalSection(&self->lock_);
        self->texts_.push_back(appkit::Narrow(text));
        ::LeaveCriticalSection(&self->lock_);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitWindowGone(box, 5000);
      }
      ::Sleep(50);
    }
    return 0;
  }
  struct Lock {
    Lock() { ::InitializeCriticalSection(&cs); }
    ~Lock() { ::DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
  };
  Lock lockHolder_;
  CRITICAL_SECTION& lock_ = lockHolder_.cs;
  std::vector<std::string> texts_;
  volatile bool stop_ = false;
  HANDLE thread_ = nullptr;
};

// Presses OK in the connection dialog with what is missing, one field
// after the other, then fills both in; after each press it waits until the
// box that says what is missing has been answered and has gone.
DWORD WINAPI AskForMissingFields(LPVOID param) {
  BoxReader& boxes = *static_cast<BoxReader*>(param);
  HWND dlg = WaitForWindow(L"Connection Test", L"#32770", ::GetCurrentProcessId(), 20000);
  if (!dlg) return 1;
  HWND number = ::GetDlgItem(dlg, 1015), speed = ::GetDlgItem(dlg, 1020);
  size_t answered = boxes.Texts().size();
  auto press = [&] {
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ++answered;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 20000; ::Sleep(20))
      if (boxes.Texts().size() >= answered && !FindTopWindow(L"Modem Test", L"#32770", ::GetCurrentProcessId())) break;
  };
  press();  // nothing filled in (14400 is not offered)
  ::SendMessageW(number, WM_SETTEXT, 0, (LPARAM)L"5551234");
  press();  // no speed
  ::SendMessageW(number, WM_SETTEXT, 0, (LPARAM)L"");
  ::SendMessageW(speed, CB_SETCURSEL, 3, 0);
  press();  // no number
  ::SendMessageW(number, WM_SETTEXT, 0, (LPARAM)L"5551234");
  ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  return 0;
}

// The connection dialog refuses to go on until it has a number and a
// speed; a stored speed that is not offered leaves the speed empty. The
// two tests exclude each other.
TEST_F(ModemPorts, ConnectionDialogAndTheTwoButtons) {
  Set(L"BBSBaudRate", 14400);
  Replies r = FullModem();
  r["ATDT 5551234"] = R"({"delay_ms": 60000, "lines": ["CONNECT 28800"], "online": true})";
  r["ATV1"] = R"({"delay_ms": 60000, "lines": ["OK"]})";
  Modem(1, r);
  HostControl("");
  BoxReader boxes;
  // The dialog, driven from a thread of its own while it runs here.
  HANDLE driver = ::CreateThread(nullptr, 0, &AskForMissingFields, &boxes, 0, nullptr);
  ::PostMessageW(Item(1016), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitHeard(1, "ATDT 5551234", 60000));
  ::WaitForSingleObject(driver, 5000);
  ::CloseHandle(driver);
  // Start while the call runs; then Disconnect.
  ::PostMessageW(Item(1007), BM_CLICK, 0, 0);
  PumpUntil([&] { return boxes.Texts().size() >= 4; }, 10000);
  ::PostMessageW(Item(1016), BM_CLICK, 0, 0);
  PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 20000);
  WaitButton(1016, L"&Connection Test");
  PumpUntil([&] { return boxes.Texts().size() >= 5; }, 10000);

  // The modem test; Connection Test while it runs; Stop.
  ::PostMessageW(Item(1007), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitHeard(1, "ATV1", 60000));
  ::PostMessageW(Item(1016), BM_CLICK, 0, 0);
  PumpUntil([&] { return boxes.Texts().size() >= 6; }, 10000);
  ::PostMessageW(Item(1007), BM_CLICK, 0, 0);
  PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 20000);
  WaitButton(1007, L"&Start");
  // Stop itself asks nothing.
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                               "Please fill in the BBS telephone number & connect speed.",
                               "Please fill in the connect speed.",
                               "Please fill in the BBS telephone number.",
                               "Please wait for connection test to finish.",
                               "Please wait for the test to abort.",
                               "Please wait for modem test to finish.",
                           }));
}

// Fills in the connection dialog (5551234 at 9600) and presses OK.
DWORD WINAPI FillConnectionDialog(LPVOID) {
  HWND dlg = WaitForWindow(L"Connection Test", L"#32770", ::GetCurrentProcessId(), 20000);
  if (!dlg) return 1;
  ::SendMessageW(::GetDlgItem(dlg, 1015), WM_SETTEXT, 0, (LPARAM)L"5551234");
  ::SendMessageW(::GetDlgItem(dlg, 1020), CB_SETCURSEL, 3, 0);  // 9600
  ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  return 0;
}

// The connection test: its dialog, the call, and Disconnect during it.
TEST_F(ModemPorts, DisconnectEndsTheCall) {
  Set(L"ConnectTimeout", 60000);
  Replies r = FullModem();
  r["ATDT 5551234"] = R"({"delay_ms": 60000, "lines": ["CONNECT 28800"], "online": true})";
  Modem(2, r);
  HostControl("");
  ctltest::MessageBoxAnswerer ok(L"Modem Test", IDOK);
  // The dialog asks for the number and the speed; a helper fills them in.
  HANDLE filler = ::CreateThread(nullptr, 0, &FillConnectionDialog, nullptr, 0, nullptr);
  ::PostMessageW(Item(1016), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitHeard(2, "ATDT 5551234", 60000));
  ::WaitForSingleObject(filler, 5000);
  ::CloseHandle(filler);
  EXPECT_TRUE(Call(suite::kDispIsRunning));
  EXPECT_EQ(GetText(Item(1016)), L"&Disconnect");

  auto t0 = std::chrono::steady_clock::now();
  ::PostMessageW(Item(1016), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 20000));
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("[ stop    ] %-17s %.2f s\n", "disconnect", s);
  EXPECT_LT(s, 10.0);
  WaitButton(1016, L"&Connection Test");
  std::vector<std::string> lines = Results();
  EXPECT_TRUE(Has(lines, "Testing Connection:\tABORTED")) << Joined(lines);
  EXPECT_TRUE(Has(lines, "===>Test aborted."));
  EXPECT_TRUE(HeardLine(2, "<dial aborted>"));
}

// What COM`n`'s modem heard after the first `command`, without the
// simulator's notes of what it did ("<hangup>").
std::vector<std::string> HeardAfter(int n, const std::string& command) {
  std::vector<std::string> heard = SplitLines(ReadFileBytes(SimDir() + L"port" + std::to_wstring(n) + L".log"));
  std::vector<std::string> after;
  bool seen = false;
  for (const std::string& l : heard) {
    if (seen && !(l.size() > 1 && l.front() == '<' && l.back() == '>')) after.push_back(l);
    seen |= l == command;
  }
  return after;
}

// A modem that goes away in the middle of a run (the device behind its port
// closes) or falls silent: the step shows it, a line names the port, one
// error counts, and nothing but one "AT" is asked of it after that; the
// search goes on, and the full modem on COM2 is tested as usual.
TEST_F(ModemPorts, AModemThatGoesAwayMidTestIsNamedAndCounted) {
  struct Case {
    const char* what;
    const char* command;  // what COM1's modem fails at
    const char* reply;
    bool dialTone;
    const char* line;    // the failing step's line ("" none)
    const char* before;  // the step's group, shown
    const char* after;   // a later group, not shown for COM1
    WPARAM errors;
  };
  const Case cases[] = {
      {"gone during the identity queries", "ATI3", R"({"hangup": true})", false, "", "ATI2:\tOK", "Advanced Commands", 1},
      {"silent from an advanced command on", "AT&C1", R"({"mute": true})", false,
       "AT&C1:\tNO RESPONSE ( return code: 10 )", "Advanced Commands", "Fax", 1},
      {"gone while dialling for the dial tone", "ATDT;", R"({"delay_ms": 300, "hangup": true})", true,
       "Testing Dial Tone:\tFAILED", "", "Standard Commands", 2},
      {"silent in the factory settings", "ATS7?", R"({"mute": true})", false, "S7:\tNO RESPONSE ( return code: 10 )",
       "S6:\t002", "S8:\tNO RESPONSE ( return code: 10 )", 1},
      {"gone as the standard commands begin", "ATQ0", R"({"hangup": true})", false, "", "ATZ:\tPASSED",
       "Advanced Commands", 2},
  };
  // Unanswered commands wait out their time-outs: short ones, with room for
  // the answers of the modems that do answer on a busy machine.
  Set(L"ShortTimeout", 800);
  Set(L"StandardTimeout", 1000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Set(L"DialtoneTestEnable", c.dialTone);
    std::vector<Replies> modems = {FullModem(), FullModem()};
    modems[0][c.command] = c.reply;
    Modems(modems);
    EXPECT_EQ(RunHosted(), c.errors);
    std::vector<std::string> all = LogLines();
    std::vector<std::string> com1 = PortLines(all, 1);
    EXPECT_TRUE(Has(com1, "Checking Modem on COM1:\tModem Found")) << Joined(all);
    if (*c.line) {
      EXPECT_TRUE(Has(com1, c.line)) << Joined(com1);
    }
    if (*c.before) {
      EXPECT_TRUE(Has(com1, c.before)) << Joined(com1);
    }
    EXPECT_TRUE(Has(com1, "===>The modem on COM1 stopped answering.")) << Joined(com1);
    EXPECT_FALSE(Has(com1, c.after)) << "nothing more was asked of it\n" << Joined(com1);
    std::vector<std::string> asked = HeardAfter(1, c.command);
    EXPECT_LE(asked.size(), 1u) << Joined(asked);
    if (!asked.empty()) {
      EXPECT_EQ(asked[0], "AT");
    }
    std::vector<std::string> com2 = PortLines(all, 2);
    EXPECT_TRUE(Has(com2, "S25:\t005")) << "the next modem was tested\n" << Joined(all);
    EXPECT_FALSE(Has(com2, "===>The modem on COM2 stopped answering."));
    EXPECT_EQ(all.empty() ? "" : all.back(), "Found Error(s).");
  }
}

// The modem goes away while it dials the tone-dialling test's digits: the
// test fails, and the next step finds the modem gone.
TEST_F(ModemPorts, AModemThatGoesAwayWhileToneDiallingIsNamedAndCounted) {
  if (!HaveSound()) GTEST_SKIP() << "no sound devices: the digits are not dialled";
  Set(L"DialtoneTestEnable", 0);
  SetText(L"TestATS6", L"5551234");
  SetText(L"TestATS6Input", L"MIC");
  Set(L"TestATS6Sleep", 1000);
  Replies r = FullModem();
  r["ATS6=0X0DT5551234"] = R"({"hangup": true})";
  Modem(1, r);
  EXPECT_EQ(RunHosted(), 2u);
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(Has(lines, "ATS6:\tFAILED")) << Joined(lines);
  EXPECT_TRUE(Has(lines, "===>The modem on COM1 stopped answering.")) << Joined(lines);
  EXPECT_FALSE(Has(lines, "Factory Settings")) << Joined(lines);
}

// Stop and closing act at once whatever the modem does: one that floods
// the port and answers nothing more, one that falls silent or goes away
// while it dials (the hang-up that follows asks it little, each ask with a
// short bound). The module ends, and reports, within a bound far below a
// modem's own waits.
TEST_F(ModemPorts, StopAndCloseEndARunOnAHostileModem) {
  Set(L"DialtoneTestEnable", 0);
  Set(L"StandardTimeout", 60000);
  Set(L"ConnectTimeout", 60000);
  SetText(L"BBSNumber", L"5551234");
  const struct {
    const char* what;
    const char* command;
    const char* reply;
    const char* waitFor;  // what the modem heard or did before the ending
    bool call;            // the sequence's call is on (the other groups off)
    bool close;           // the module is closed (else Stop is pressed)
  } cases[] = {
      {"Stop in a flood", "ATQ0", R"({"flood": "x", "mute": true})", "<flood>", false, false},
      {"close in a flood", "ATQ0", R"({"flood": "\u0000", "mute": true})", "<flood>", false, true},
      {"close when the modem fell silent dialling", "ATDT 5551234", R"({"delay_ms": 200, "mute": true})", "<mute>",
       true, true},
      {"close when the modem went away dialling", "ATDT 5551234", R"({"delay_ms": 200, "hangup": true})", "<hangup>",
       true, true},
  };
  UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Set(L"StandardTestEnable", !c.call);
    Set(L"AdvancedTestEnable", !c.call);
    Set(L"ConnectionTest", c.call);
    Replies r = FullModem();
    r[c.command] = c.reply;
    Modem(1, r);
    ::DeleteFileW(SuitePath(L"KytMODM.LOG").c_str());
    Process p;
    MessageCatcher host;
    ASSERT_TRUE(StartAsTheMainProgram(p, host, L"-AutoRun -Check"));
    ASSERT_TRUE(WaitHeard(1, c.waitFor, 60000));
    HWND top = WaitForWindow(L"Modem Test", L"", p.Pid(), 10000);
    ASSERT_NE(top, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    if (c.close) {
      ::PostMessageW(top, WM_CLOSE, 0, 0);
    } else {
      HWND list = FindChildById(top, 1005);
      ASSERT_NE(list, nullptr);
      ASSERT_TRUE(ClickButton(FindChildById(::GetParent(list), 1007)));
    }
    // With -Check a stopped run reports its count: Done, then the exit
    // message (after a Close at once; after Stop once the host asks it to).
    MessageCatcher::Caught report{};
    bool reported = host.WaitFor(diag, 30000, &report);
    if (!c.close && !reported) {
      ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
      reported = host.WaitFor(diag, 30000, &report);
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("[ ending  ] %-42s reported %u after %.2f s\n", c.what, (unsigned)report.wp, s);
    EXPECT_TRUE(reported);
    EXPECT_TRUE(p.WaitExit(10000));
    EXPECT_LT(s, 30.0) << "not after the modem's minute";
    std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(Has(lines, "===>Test aborted.")) << Joined(lines);
  }
}

// The sound server going away while the tone-dialling test records (a
// server of the test's own, through with_own_audio_server.sh; each case has
// a ctest entry and a server of its own): killed, as a crashed server ends,
// or stalled, as one that gets no time, either as the recording opens (the
// modem holds back its answer to the command before the test) or in its
// middle. The run ends all the same, within the bound of one device call:
// the test FAILED on a line that names the sound device that failed, one
// error, the log written and the run reported; a modem that dialled is
// hung up, and the module ends.
class ModemSoundServerStops : public ModemPorts {
 protected:
  enum class When { AsTheRecordingOpens, DuringTheRecording };
  void StopTheServerWhileToneDialling(const wchar_t* request, const wchar_t* undo, When when) {
    if (SoundServerControl().empty()) GTEST_SKIP() << "run through with_own_audio_server.sh";
    if (!HaveSound()) GTEST_SKIP() << "no sound devices: nothing records to be cut off";
    const std::string dial = "ATS6=0X0DT5551234";
    Set(L"DialtoneTestEnable", 0);
    Set(L"StandardTestEnable", 0);
    Set(L"StandardTimeout", 6000);
    SetText(L"TestATS6", L"5551234");
    SetText(L"TestATS6Input", L"MIC");
    Set(L"TestATS6Sleep", 8000);
    // No sample reaches the threshold: the count fails however much of the
    // tones the recording took before the server stopped, and what the
    // test looks at is the device the run names.
    Set(L"TestATS6Jump", 32767);
    Replies r = FullModem();
    // The last command before the tone-dialling test.
    r["AT\\N3"] = R"({"delay_ms": 2500, "lines": ["OK"]})";
    Modem(1, r, "\"tones\": true");
    Process p;
    MessageCatcher host;
    ASSERT_TRUE(StartAsTheMainProgram(p, host, L"-AutoRun"));
    if (when == When::AsTheRecordingOpens) {
      ASSERT_TRUE(WaitHeard(1, "AT\\N3", 60000));
    } else {
      ASSERT_TRUE(WaitHeard(1, dial, 60000));
      PumpUntil([] { return false; }, 3000);
    }
    ASSERT_TRUE(AskSoundServer(request)) << "the audio server did not take the request";
    auto t0 = std::chrono::steady_clock::now();
    UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
    MessageCatcher::Caught report{};
    bool reported = host.WaitFor(diag, 120000, &report);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("[ server  ] stopped (%s) %s: the module %s after %.1f s\n", appkit::Narrow(request).c_str(),
                when == When::AsTheRecordingOpens ? "as the recording opens" : "during the recording",
                reported ? "reported" : "had not reported", s);
    EXPECT_TRUE(reported) << "the run ends within the bound of a device call";
    if (reported) {
      EXPECT_EQ(report.wp, 1u);
      EXPECT_TRUE(p.WaitExit(30000)) << "the module ends";
      std::vector<std::string> lines = LogLines();
      for (const std::string& l : lines) std::printf("    | %s\n", l.c_str());
      // The tone-dialling test's lines: from its "ATS6:" line to the group's end.
      std::vector<std::string> tone;
      for (const std::string& l : lines) {
        if (tone.empty() && l.rfind("ATS6:\t", 0) != 0) continue;
        if (l.empty()) break;
        tone.push_back(l);
      }
      ASSERT_FALSE(tone.empty()) << Joined(lines);
      const std::string& last = tone.back();
      EXPECT_TRUE(last.size() >= 6 && last.compare(last.size() - 6, 6, "FAILED") == 0) << Joined(tone);
      // A stalled server's device is given up once its call overruns the
      // bound; a dead server's device no longer opens.
      const bool stalled = undo != nullptr;
      bool named = false;
      for (const std::string& l : tone) {
        bool device =
            l.find("waveform-audio input device") != std::string::npos || l.find("mixer") != std::string::npos;
        named |= device && (!stalled || l.find(" did not answer within 15 seconds.") != std::string::npos);
      }
      EXPECT_TRUE(named) << "a line names the sound device" << (stalled ? " that did not answer\n" : "\n")
                         << Joined(tone);
      EXPECT_EQ(lines.empty() ? "" : lines.back(), "Found Error(s).");
      if (HeardLine(1, dial)) {
        std::vector<std::string> heard = Heard(1);
        auto at = std::find(heard.begin(), heard.end(), dial);
        EXPECT_NE(std::find(at, heard.end(), "<dial aborted>"), heard.end()) << "the dial ended\n" << Joined(heard);
        EXPECT_NE(std::find(at, heard.end(), "ATZ"), heard.end()) << "the modem reset\n" << Joined(heard);
      }
    } else {
      ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
    }
    if (undo) {
      EXPECT_TRUE(AskSoundServer(undo));
    }
  }
};

TEST_F(ModemSoundServerStops, DiesAsTheRecordingOpens) {
  StopTheServerWhileToneDialling(L"kill", nullptr, When::AsTheRecordingOpens);
}
TEST_F(ModemSoundServerStops, DiesDuringTheRecording) {
  StopTheServerWhileToneDialling(L"kill", nullptr, When::DuringTheRecording);
}
TEST_F(ModemSoundServerStops, StallsAsTheRecordingOpens) {
  StopTheServerWhileToneDialling(L"freeze", L"thaw", When::AsTheRecordingOpens);
}
TEST_F(ModemSoundServerStops, StallsDuringTheRecording) {
  StopTheServerWhileToneDialling(L"freeze", L"thaw", When::DuringTheRecording);
}

}  // namespace
