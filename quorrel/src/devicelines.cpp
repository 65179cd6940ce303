#include "devicelines.h"

#include <mmsystem.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "format.h"
#include "gather.h"
#include "ports.h"

namespace quorrel {

namespace {

// Calls `line` for every line of the listing that ends in "\n", until it
// answers false.
template <typename F>
void ForEachLine(const char* listing, size_t size, F&& line) {
  size_t length = listing ? strnlen(listing, size) : 0;
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (listing[i] != '\n') continue;
    if (!line(std::string(listing + start, i - start))) return;
    start = i + 1;
  }
}

// Walks the devices of a listing: `onClass` sees each class line of the
// current device with the device's name and whether it names `className`;
// another class closes the device. `onClass` answers false to stop.
template <typename F>
void WalkDevices(const char* listing, size_t size, const std::string& label, const std::string& className,
                 F&& onClass) {
  std::string name;
  bool inDevice = false;
  ForEachLine(listing, size, [&](const std::string& line) {
    if (line.empty()) return true;
    if (line.compare(0, infofile::kHeadingPrefixLength, infofile::kHeading) == 0) {
      name = line.substr(infofile::kHeadingPrefixLength);
      inDevice = true;
      return true;
    }
    if (!inDevice) return true;
    bool isClass = false;
    if (IsClassLineOf(line, label, className, &isClass)) return onClass(name);
    if (isClass) inDevice = false;
    return true;
  });
}

class MachineDeviceSource : public DeviceSource {
 public:
  explicit MachineDeviceSource(const SystemBindings& sys) : sys_(sys) {}
  GetQuorrelFn SystemAccess() override { return sys_.getQuorrel; }
  std::string ClassLabel() override {
    if (HMODULE rc = sys_.mirvaneRc) {
      char text[256];
      if (::LoadStringA(rc, 113, text, sizeof(text)) > 0) return text;
    }
    return "Class:";
  }
  bool DefaultMonitorDescription(std::string* name) override {
    return ReadFirstSubkeyDescription(HKEY_LOCAL_MACHINE, "Enum\\Monitor\\Default_Monitor", name);
  }
  int MouseButtons() override { return ::GetSystemMetrics(SM_CMOUSEBUTTONS); }
  int KeyboardType() override { return ::GetKeyboardType(0); }
  UINT JoystickDevices() override { return ::joyGetNumDevs(); }
  bool JoystickAnswers(UINT id) override {
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    info.dwFlags = 0;
    return ::joyGetPosEx(id, &info) == JOYERR_NOERROR;
  }
  HWND CorvithWindow() override { return ::FindWindowW(kCorvithWindowClass, nullptr); }
  void Post(HWND window, UINT msg, WPARAM wp, LPARAM lp) override { ::PostMessageW(window, msg, wp, lp); }
  std::wstring CorvithPath() override {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kCorvithSettingKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t), type = 0;
    LONG r = ::RegQueryValueExW(key, L"ModulePath", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(key);
    if (r != ERROR_SUCCESS || type != REG_SZ) return L"";
    buf[size / sizeof(wchar_t) < MAX_PATH ? size / sizeof(wchar_t) : MAX_PATH] = 0;
    return buf;
  }
  bool FileExists(const std::wstring& path) override {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool Start(const std::wstring& commandLine) override {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
  }

 private:
  SystemBindings sys_;
};

}  // namespace

std::unique_ptr<DeviceSource> MakeMachineDeviceSource(const SystemBindings& sys) {
  return std::make_unique<MachineDeviceSource>(sys);
}

bool ReadFirstSubkeyDescription(HKEY root, const char* key, std::string* name) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  char sub[129] = {};
  DWORD subLength = 128;
  bool found = false;
  if (::RegEnumKeyExA(k, 0, sub, &subLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    HKEY s = nullptr;
    if (::RegOpenKeyExA(k, sub, 0, KEY_READ, &s) == ERROR_SUCCESS) {
      char buf[257] = {};
      DWORD size = 256, type = 0;
      if (::RegQueryValueExA(s, "DeviceDesc", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
          (type == REG_SZ || type == REG_EXPAND_SZ)) {
        buf[size < 256 ? size : 256] = 0;
        *name = buf;
        found = !name->empty();
      }
      ::RegCloseKey(s);
    }
  }
  ::RegCloseKey(k);
  return found;
}

std::string BusTypeLine(unsigned char flags) {
  std::string text = "Bus Type:\tISA";
  if (flags & 1) text += "+PCI";
  if (flags & 2) text += "+USB";
  if (flags & 4) text += "+AGP";
  return text;
}

bool IsClassLineOf(const std::string& line, const std::string& label, const std::string& className,
                   bool* isClassLine) {
  std::string rest;
  *isClassLine = SplitIndentedLabel(line, label, &rest);
  if (!*isClassLine) return false;
  size_t end = rest.size();
  while (end > 0 && IsBlankByte(rest[end - 1])) --end;
  return HasTextAt(rest.substr(0, end), 0, className);
}

bool ListMediaDevices(InfoSink& out, const char* listing, size_t size, const std::string& label) {
  bool found = false;
  WalkDevices(listing, size, label, "Media", [&](const std::string& name) {
    if (!name.empty()) {
      out.Indented(name + " ");
      found = true;
    }
    return true;
  });
  return found;
}

bool FirstMonitorName(const char* listing, size_t size, const std::string& label, std::string* name) {
  bool found = false;
  WalkDevices(listing, size, label, "Monitor", [&](const std::string& device) {
    *name = device;
    found = !device.empty();
    return false;
  });
  return found;
}

std::string MouseLine(int buttons) {
  if (buttons > 0) return FormatA("Mouse:\tInstalled (%d-button)", buttons);
  return "Mouse:\tN/A";
}

std::string KeyboardLine(int type) {
  static const char* const kTexts[] = {"IBM PC/XT compatible (83-key)",
                                       "Olivetti (102-key)",
                                       "IBM PC/AT compatible (84-key)",
                                       "IBM enhanced (101- or 102-key)",
                                       "Nodia 1050 compatible",
                                       "Nokia 9140 compatible",
                                       "Japanese"};
  const char* text = type >= 1 && type <= 7 ? kTexts[type - 1] : "<unknown>";
  return std::string("Keyboard:\t") + text;
}

void WriteBusTypeLine(InfoSink& out, DeviceSource& src) {
  GetQuorrelFn access = src.SystemAccess();
  if (!access) return;
  unsigned char flags = AskSystemAccess(access, kInfoClassBusFlags) ? (unsigned char)InfoReplyBuffer()[0] : 0;
  out.Line(BusTypeLine(flags));
}

void WriteMediaLine(InfoSink& out, DeviceSource& src) {
  out.Text("Media:");
  bool found = AskSystemAccess(src.SystemAccess(), kInfoClassDevices) &&
               ListMediaDevices(out, InfoReplyBuffer(), kInfoReplyBufferSize, src.ClassLabel());
  if (!found) out.Indented("N/A");
}

void WriteMonitorLine(InfoSink& out, DeviceSource& src) {
  std::string name;
  bool found = AskSystemAccess(src.SystemAccess(), kInfoClassDevices) &&
               FirstMonitorName(InfoReplyBuffer(), kInfoReplyBufferSize, src.ClassLabel(), &name);
  if (!found && !src.DefaultMonitorDescription(&name)) name.clear();
  out.Item("Monitor:", name.empty() ? std::string("Unknown") : name);
}

void WriteMouseLine(InfoSink& out, DeviceSource& src) { out.Line(MouseLine(src.MouseButtons())); }

void WriteKeyboardLine(InfoSink& out, DeviceSource& src) { out.Line(KeyboardLine(src.KeyboardType())); }

void WriteJoystickLine(InfoSink& out, DeviceSource& src) {
  if (src.JoystickDevices() == 0) {
    out.Item("Joystick:", "No driver");
    return;
  }
  int count = 0;
  for (UINT id = 0; id < 16; ++id)
    if (src.JoystickAnswers(id)) ++count;
  out.Item("Joystick:", FormatA("%d connected", count));
}

void WriteResourceReport(InfoSink& out, int summary, DeviceSource& src) {
  GetQuorrelFn access = src.SystemAccess();
  if (!access) return;
  if (AskSystemAccess(access, kInfoClassResources, summary != 0)) out.CompleteLines(InfoReplyBuffer());
  if (summary == 0) out.EndLine();
}

void RequestCorvithSummary(InfoSink& out, int summary, UINT msg, HWND client, DeviceSource& src) {
  if (msg != 0) {
    if (HWND corvith = src.CorvithWindow()) {
      src.Post(corvith, msg, 1, reinterpret_cast<LPARAM>(client));
      return;
    }
    std::wstring path = src.CorvithPath();
    if (!path.empty() && src.FileExists(path)) {
      // The client window in lower-case hexadecimal; the path quoted, as it
      // may hold blanks.
      wchar_t window[32];
      swprintf(window, 32, L"%lx", (unsigned long)reinterpret_cast<uintptr_t>(client));
      if (!src.Start(L"\"" + path + L"\" -Summary -W" + window)) ::OutputDebugStringA("Failed to create process");
    }
  }
  if (summary == 0) out.EndLine();
}

void WriteBusTypeLine(InfoSink& out, const SystemBindings& sys) { WriteBusTypeLine(out, *MakeMachineDeviceSource(sys)); }
void WriteMediaLine(InfoSink& out, const SystemBindings& sys) { WriteMediaLine(out, *MakeMachineDeviceSource(sys)); }
void WriteMonitorLine(InfoSink& out, const SystemBindings& sys) { WriteMonitorLine(out, *MakeMachineDeviceSource(sys)); }

void WriteIoDeviceLines(InfoSink& out, const SystemBindings& sys) {
  auto src = MakeMachineDeviceSource(sys);
  WriteMouseLine(out, *src);
  WriteKeyboardLine(out, *src);
  WriteJoystickLine(out, *src);
  WritePortInformation(out, 1, sys);
}

void WriteResourceMonitorLines(InfoSink& out, UINT monitorMessage, HWND client, const SystemBindings& sys) {
  auto src = MakeMachineDeviceSource(sys);
  WriteResourceReport(out, 1, *src);
  RequestCorvithSummary(out, 1, monitorMessage, client, *src);
}

}  // namespace quorrel
