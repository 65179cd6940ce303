// The summary's small device lines: bus type, multimedia devices, monitor,
// mouse, keyboard and joysticks ("I/O Devices"), and the "Resource Monitor"
// block, which copies the system-access library's resource report and asks
// the health monitor Corvith for a summary of its own for the client.
//
// What the lines ask of the machine goes through DeviceSource, so that they
// can be checked on made-up machines; the texts of the system-access library
// are parsed by the pure functions below.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "infosink.h"
#include "system.h"

namespace quorrel {

// GetQuorrel classes of these lines.
constexpr WORD kInfoClassResources = 0x0E;
constexpr WORD kInfoClassDevices = 0x14;
constexpr WORD kInfoClassBusFlags = 0x68;

// Corvith: its window class, and where its program is found.
constexpr wchar_t kCorvithWindowClass[] = L"Qev Drelmak WINDOW";
constexpr wchar_t kCorvithSettingKey[] = L"Software\\Qev\\Drelmak\\Setting";

class DeviceSource {
 public:
  virtual ~DeviceSource() = default;
  // The system-access library's GetQuorrel (Windows 9x), nullptr when unbound.
  virtual GetQuorrelFn SystemAccess() = 0;
  // Label of the device listing's class lines (MirvaneRC 113 or "Class:").
  virtual std::string ClassLabel() = 0;
  // DeviceDesc of the first subkey of HKLM "Enum\Monitor\Default_Monitor";
  // false when there is none.
  virtual bool DefaultMonitorDescription(std::string* name) = 0;
  virtual int MouseButtons() = 0;
  virtual int KeyboardType() = 0;
  virtual UINT JoystickDevices() = 0;
  // Whether joystick `id` answers a position request.
  virtual bool JoystickAnswers(UINT id) = 0;
  // Corvith's window, nullptr when it does not run.
  virtual HWND CorvithWindow() = 0;
  virtual void Post(HWND window, UINT msg, WPARAM wp, LPARAM lp) = 0;
  // Corvith's "ModulePath", "" when the key or value is missing.
  virtual std::wstring CorvithPath() = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  // Starts a program with a command line, not waiting for it.
  virtual bool Start(const std::wstring& commandLine) = 0;
};
std::unique_ptr<DeviceSource> MakeMachineDeviceSource(const SystemBindings& sys);

// DeviceDesc (at most 256 bytes) of the first subkey (name at most 128
// bytes) of `root`\`key`.
bool ReadFirstSubkeyDescription(HKEY root, const char* key, std::string* name);

// ---- Texts of the system-access library -------------------------------------
// "Bus Type:\tISA" and "+PCI", "+USB", "+AGP" for flag bits 0, 1, 2.
std::string BusTypeLine(unsigned char flags);
// Whether `line` is an indented class line (`*isClassLine`) naming the
// class `className` (compared over the name's length, any case).
bool IsClassLineOf(const std::string& line, const std::string& label, const std::string& className,
                   bool* isClassLine);
// "\t<device>\n" for each Media class line of a device listing (at most
// `size` bytes); true when one was written.
bool ListMediaDevices(InfoSink& out, const char* listing, size_t size, const std::string& label);
// The name of the first device of the listing with a Monitor class line.
bool FirstMonitorName(const char* listing, size_t size, const std::string& label, std::string* name);
std::string MouseLine(int buttons);
std::string KeyboardLine(int type);

// ---- The lines --------------------------------------------------------------
// Nothing without the system-access library.
void WriteBusTypeLine(InfoSink& out, DeviceSource& src);
void WriteMediaLine(InfoSink& out, DeviceSource& src);
void WriteMonitorLine(InfoSink& out, DeviceSource& src);
void WriteMouseLine(InfoSink& out, DeviceSource& src);
void WriteKeyboardLine(InfoSink& out, DeviceSource& src);
void WriteJoystickLine(InfoSink& out, DeviceSource& src);
// The library's resource report (summary: its short form); nothing without
// the library. With summary 0 an empty line follows.
void WriteResourceReport(InfoSink& out, int summary, DeviceSource& src);
// Asks Corvith for its summary for `client`: posts `msg` (wParam 1) to its
// window when it runs, else starts its program with "-Summary -W<client>".
// Nothing when `msg` is 0. With summary 0 an empty line follows.
void RequestCorvithSummary(InfoSink& out, int summary, UINT msg, HWND client, DeviceSource& src);

// The summary's blocks as the summary writer calls them (headings aside):
// bus line; media line; monitor line; the mouse, keyboard, joystick and port
// lines; the resource report and Corvith's request.
void WriteBusTypeLine(InfoSink& out, const SystemBindings& sys);
void WriteMediaLine(InfoSink& out, const SystemBindings& sys);
void WriteMonitorLine(InfoSink& out, const SystemBindings& sys);
void WriteIoDeviceLines(InfoSink& out, const SystemBindings& sys);
void WriteResourceMonitorLines(InfoSink& out, UINT monitorMessage, HWND client, const SystemBindings& sys);

}  // namespace quorrel
