// The summary's device lines on made-up machines: bus flags, device
// listings of the system-access library, the monitor's registry fallback,
// mouse, keyboard and joysticks, the resource report and the request to the
// health monitor Corvith.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "access_fake.h"
#include "devicelines.h"
#include "gather.h"

using namespace quorrel;

namespace {

class FakeDevices : public DeviceSource {
 public:
  bool bound = true;
  std::string label = "Class:";
  std::string monitorDesc;
  int buttons = 2, keyboard = 4;
  UINT joyDevs = 0;
  std::vector<UINT> joysticks;  // ids that answer
  HWND corvith = nullptr;
  std::wstring corvithPath;
  bool pathExists = true, startWorks = true;
  struct Posted {
    HWND window;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  std::vector<Posted> posted;
  std::vector<std::wstring> started;

  GetQuorrelFn SystemAccess() override { return bound ? &accessfake::GetQuorrel : nullptr; }
  std::string ClassLabel() override { return label; }
  bool DefaultMonitorDescription(std::string* name) override {
    *name = monitorDesc;
    return !monitorDesc.empty();
  }
  int MouseButtons() override { return buttons; }
  int KeyboardType() override { return keyboard; }
  UINT JoystickDevices() override { return joyDevs; }
  bool JoystickAnswers(UINT id) override {
    for (UINT j : joysticks)
      if (j == id) return true;
    return false;
  }
  HWND CorvithWindow() override { return corvith; }
  void Post(HWND w, UINT m, WPARAM wp, LPARAM lp) override { posted.push_back({w, m, wp, lp}); }
  std::wstring CorvithPath() override { return corvithPath; }
  bool FileExists(const std::wstring&) override { return pathExists; }
  bool Start(const std::wstring& line) override {
    started.push_back(line);
    return startWorks;
  }
};

class DeviceLines : public ::testing::Test {
 protected:
  void SetUp() override { accessfake::Reset(); }
  std::map<WORD, std::string>& Answers() { return accessfake::Access().answers; }
  FakeDevices src;
};

// Two sound devices, a display adapter, a monitor, and a device whose
// second Media line comes after a class line of its own.
const std::string kListing =
    "@3Sound Blaster 16\n"
    "  Class: Media\n"
    "  IRQ: 5\n"
    "\n"
    "@3Standard Display Adapter\n"
    "\tClass:\tDisplay\n"
    "\tClass:\tMedia\n"
    "@3Plug and Play Monitor\n"
    "   class:    MONITOR   \n"
    "@3Game Port Joystick\n"
    "\tCLASS: media devices\n"
    "Class: Media\n";

}  // namespace

TEST_F(DeviceLines, BusType) {
  struct Case {
    const char* answer;
    const char* line;
  } cases[] = {{"\x05", "Bus Type:\tISA+PCI+AGP\n"},
               {"\x07", "Bus Type:\tISA+PCI+USB+AGP\n"},
               {"\x02", "Bus Type:\tISA+USB\n"},
               {"\xF8", "Bus Type:\tISA\n"},
               {nullptr, "Bus Type:\tISA\n"}};  // the class fails
  for (const Case& c : cases) {
    accessfake::Reset();
    if (c.answer) Answers()[0x68] = c.answer;
    StringSink out;
    WriteBusTypeLine(out, src);
    EXPECT_EQ(out.text, c.line);
  }
  src.bound = false;
  StringSink none;
  WriteBusTypeLine(none, src);
  EXPECT_EQ(none.text, "") << "left out without the library";
}

TEST_F(DeviceLines, ClassLines) {
  struct Case {
    const char* line;
    const char* className;
    bool names, isClass;
  } cases[] = {
      {"  Class: Media", "Media", true, true},
      {" \t Class: \t Media \t ", "Media", true, true},
      {"  CLASS:MEDIA devices", "Media", true, true},
      {"  Class: Monitor", "Media", false, true},
      {"  Class: Med", "Media", false, true},
      {"  Class:", "Monitor", false, true},
      {"Class: Media", "Media", false, false},  // not indented
      {"  Kind: Media", "Media", false, false},
      {"\xA0 Class: Media", "Media", false, false},
      {"", "Media", false, false},
  };
  for (const Case& c : cases) {
    bool isClass = !c.isClass;
    EXPECT_EQ(IsClassLineOf(c.line, "Class:", c.className, &isClass), c.names) << c.line;
    EXPECT_EQ(isClass, c.isClass) << c.line;
  }
}

TEST_F(DeviceLines, MediaDevices) {
  Answers()[0x14] = kListing;
  StringSink out;
  WriteMediaLine(out, src);
  EXPECT_EQ(out.text, "Media:\tSound Blaster 16 \n\tGame Port Joystick \n");

  // A listing without Media devices, a last line without its line end, the
  // library's own label text, and no library at all.
  Answers()[0x14] = "@3Plug and Play Monitor\n  Class: Monitor\n@3Sound\n  Class: Media";
  StringSink none;
  WriteMediaLine(none, src);
  EXPECT_EQ(none.text, "Media:\tN/A\n");
  Answers()[0x14] = "@3Soundkarte\n  Klasse: Media\n";
  src.label = "Klasse:";
  StringSink labelled;
  WriteMediaLine(labelled, src);
  EXPECT_EQ(labelled.text, "Media:\tSoundkarte \n");
  src.bound = false;
  StringSink unbound;
  WriteMediaLine(unbound, src);
  EXPECT_EQ(unbound.text, "Media:\tN/A\n");
}

TEST_F(DeviceLines, Monitor) {
  struct Case {
    bool bound;
    const char* listing;
    const char* registry;
    const char* line;
  } cases[] = {
      {true, kListing.c_str(), "Default Monitor", "Monitor:\tPlug and Play Monitor\n"},
      {true, "@3Sound\n  Class: Media\n", "Default Monitor", "Monitor:\tDefault Monitor\n"},
      {true, "@3\n  Class: Monitor\n", "Default Monitor", "Monitor:\tDefault Monitor\n"},  // no name
      {false, nullptr, "Default Monitor", "Monitor:\tDefault Monitor\n"},
      {false, nullptr, "", "Monitor:\tUnknown\n"},
  };
  for (const Case& c : cases) {
    accessfake::Reset();
    src.bound = c.bound;
    if (c.listing) Answers()[0x14] = c.listing;
    src.monitorDesc = c.registry;
    StringSink out;
    WriteMonitorLine(out, src);
    EXPECT_EQ(out.text, c.line);
  }
}

TEST_F(DeviceLines, MouseKeyboardJoystick) {
  EXPECT_EQ(MouseLine(2), "Mouse:\tInstalled (2-button)");
  EXPECT_EQ(MouseLine(5), "Mouse:\tInstalled (5-button)");
  EXPECT_EQ(MouseLine(0), "Mouse:\tN/A");
  const char* keyboards[] = {"Keyboard:\t<unknown>",
                             "Keyboard:\tIBM PC/XT compatible (83-key)",
                             "Keyboard:\tOlivetti (102-key)",
                             "Keyboard:\tIBM PC/AT compatible (84-key)",
                             "Keyboard:\tIBM enhanced (101- or 102-key)",
                             "Keyboard:\tNodia 1050 compatible",
                             "Keyboard:\tNokia 9140 compatible",
                             "Keyboard:\tJapanese",
                             "Keyboard:\t<unknown>"};
  for (int type = 0; type <= 8; ++type) EXPECT_EQ(KeyboardLine(type), keyboards[type]) << type;
  EXPECT_EQ(KeyboardLine(-1), "Keyboard:\t<unknown>");

  StringSink noDriver;
  WriteJoystickLine(noDriver, src);
  EXPECT_EQ(noDriver.text, "Joystick:\tNo driver\n");
  src.joyDevs = 16;
  src.joysticks = {0, 3, 15, 16};  // id 16 is never asked
  StringSink some;
  WriteJoystickLine(some, src);
  EXPECT_EQ(some.text, "Joystick:\t3 connected\n");
  src.joysticks.clear();
  StringSink none;
  WriteJoystickLine(none, src);
  EXPECT_EQ(none.text, "Joystick:\t0 connected\n");
}

TEST_F(DeviceLines, ResourceReport) {
  Answers()[0x0E] = "Resource Summary\n\n  IRQ 5: Sound\nunended";
  StringSink summary, category;
  WriteResourceReport(summary, 1, src);
  WriteResourceReport(category, 0, src);
  EXPECT_EQ(summary.text, "Resource Summary\n  IRQ 5: Sound\n");
  EXPECT_EQ(category.text, "Resource Summary\n  IRQ 5: Sound\n\n");
  ASSERT_EQ(accessfake::Access().calls.size(), 2u);
  EXPECT_EQ(accessfake::Access().calls[0].secondByte, 1) << "the short form is asked for";
  EXPECT_EQ(accessfake::Access().calls[1].secondByte, 0);
  src.bound = false;
  StringSink unbound;
  WriteResourceReport(unbound, 0, src);
  EXPECT_EQ(unbound.text, "");
}

TEST_F(DeviceLines, CorvithRequest) {
  HWND client = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1A2B));
  // Corvith runs: it is told, nothing is started.
  src.corvith = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77));
  src.corvithPath = L"C:\\Program Files\\Corvith\\corvith.exe";
  StringSink running;
  RequestCorvithSummary(running, 1, 0xC123, client, src);
  ASSERT_EQ(src.posted.size(), 1u);
  EXPECT_EQ(src.posted[0].window, src.corvith);
  EXPECT_EQ(src.posted[0].msg, 0xC123u);
  EXPECT_EQ(src.posted[0].wp, 1u);
  EXPECT_EQ(src.posted[0].lp, (LPARAM)client);
  EXPECT_TRUE(src.started.empty());
  EXPECT_EQ(running.text, "");

  // Not running: its program is started for the client (the path quoted).
  src.corvith = nullptr;
  StringSink started;
  RequestCorvithSummary(started, 0, 0xC123, client, src);
  ASSERT_EQ(src.started.size(), 1u);
  EXPECT_EQ(src.started[0], L"\"C:\\Program Files\\Corvith\\corvith.exe\" -Summary -W1a2b");
  EXPECT_EQ(started.text, "\n");

  // No program, a path to nothing, or no message: nothing happens.
  src.started.clear();
  src.corvithPath.clear();
  RequestCorvithSummary(started, 1, 0xC123, client, src);
  src.corvithPath = L"C:\\gone.exe";
  src.pathExists = false;
  RequestCorvithSummary(started, 1, 0xC123, client, src);
  src.corvith = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77));
  src.pathExists = true;
  RequestCorvithSummary(started, 1, 0, client, src);
  EXPECT_TRUE(src.started.empty());
  EXPECT_EQ(src.posted.size(), 1u);
}

// This machine's Corvith stand-in: a window of Corvith's class receives the
// request through the machine's own source.
TEST(DeviceLinesMachine, CorvithWindowIsToldByItsClass) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kCorvithWindowClass;
  ASSERT_NE(::RegisterClassW(&wc), 0);
  HWND corvith = ::CreateWindowW(kCorvithWindowClass, L"Corvith", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 wc.hInstance, nullptr);
  ASSERT_NE(corvith, nullptr);
  HWND client = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));
  UINT msg = ::RegisterWindowMessageW(L"kyt_drelmak_msg");
  StringSink out;
  auto src = MakeMachineDeviceSource(SystemBindings());
  RequestCorvithSummary(out, 1, msg, client, *src);
  MSG m{};
  ASSERT_TRUE(::PeekMessageW(&m, corvith, msg, msg, PM_REMOVE));
  EXPECT_EQ(m.wParam, 1u);
  EXPECT_EQ(m.lParam, (LPARAM)client);
  ::DestroyWindow(corvith);
  ::UnregisterClassW(kCorvithWindowClass, wc.hInstance);
}

TEST(DeviceLinesMachine, FirstSubkeyDescription) {
  const char* root = "Software\\HalvixTest\\Monitor";
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\HalvixTest");
  std::string name = "old";
  EXPECT_FALSE(ReadFirstSubkeyDescription(HKEY_CURRENT_USER, root, &name));
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(root) + "\\0001").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_FALSE(ReadFirstSubkeyDescription(HKEY_CURRENT_USER, root, &name)) << "no DeviceDesc";
  std::string desc = "Plug and Play Monitor";
  ::RegSetValueExA(key, "DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(desc.c_str()), (DWORD)desc.size() + 1);
  EXPECT_TRUE(ReadFirstSubkeyDescription(HKEY_CURRENT_USER, root, &name));
  EXPECT_EQ(name, desc);
  std::string tooLong(300, 'M');
  ::RegSetValueExA(key, "DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                   (DWORD)tooLong.size() + 1);
  EXPECT_FALSE(ReadFirstSubkeyDescription(HKEY_CURRENT_USER, root, &name)) << "longer than its buffer";
  ::RegCloseKey(key);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\HalvixTest");
}
