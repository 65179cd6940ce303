// Netrick, the network tool: one modal sheet "TCP/IP Tool" with the TCP/IP
// tune-up page (Windows 9x only) and the ping and trace-route page.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "appkit/app.h"
#include "appkit/modalsheet.h"
#include "infoclient/listbox.h"
#include "tuneup_rules.h"

namespace netrick {

class CNetrickApp : public appkit::App {
 public:
  bool InitInstance() override;
  std::wstring programDir;
  // Set when the user closes the sheet from its system menu.
  bool closing = false;
  std::wstring Str(UINT id) const;
  int Message(HWND owner, const std::wstring& text, UINT type) const;
  void ShowHelp(HWND owner) const;
};
CNetrickApp* TheApp();

// What one run of the ping worker works on; the page keeps it until the
// worker has been joined.
struct PingJob {
  std::wstring host;  // as the user typed it (trimmed)
  bool trace = false;
  bool useLibrary = false;
  HWND list = nullptr;
  HWND start = nullptr;
  HINSTANCE res = nullptr;
  std::atomic<bool> stop{false};
};

class CPingTrace : public appkit::ModalSheetPage {
 public:
  CPingTrace() : appkit::ModalSheetPage(130) {}
  ~CPingTrace() override { CleanUp(); }
  // Ends a running worker (it stops at its next check) and shuts the
  // sockets interface down; called by the sheet when it closes.
  void CleanUp();
  bool Running() const;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void OnStart();
  void StopWorker();
  static DWORD WINAPI RawSocketWorker(LPVOID job);
  static DWORD WINAPI IcmpLibraryWorker(LPVOID job);

  ctlfw::CInfoListBox list_;
  bool initialised_ = false;
  bool socketsStarted_ = false;
  bool ready_ = false;
  bool useLibrary_ = false;
  HANDLE worker_ = nullptr;
  PingJob* job_ = nullptr;
};

struct AdapterRecord {
  std::wstring description;
  std::wstring driver;
  int mtu = -1;
  int mss = -1;
  int loadedMtu = -1;  // as read, so that OK writes only a changed one
};

class CTuneup : public appkit::ModalSheetPage {
 public:
  CTuneup() : appkit::ModalSheetPage(129) {}
  // Writes the values the user changed (the sheet's OK).
  void ApplyTuneup();

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;

 private:
  void ScanNetAdapters(const std::wstring& enumKey);
  void ReadAdapterMtu(AdapterRecord* record);
  void LoadTcpSettings();
  void ShowAdapter(int index);
  int SelectedAdapter() const;
  bool SkipFieldChecks() const;
  void CheckField(int id);
  TcpSettings FieldsNow() const;

  std::vector<AdapterRecord> adapters_;
  std::wstring stackKey_;
  TcpSettings settings_;  // the stored values (a refused entry shows them again)
  TcpSettings loaded_;    // as shown when the page opened
  bool shown_ = false;    // the stack-wide values are on the page
  int largestMss_ = 0;
};

class CTcpDlg : public appkit::ModalSheet {
 public:
  explicit CTcpDlg(const std::wstring& caption);

 protected:
  void OnInit() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void CleanUpPages();
  bool nineX_;
  CTuneup tuneup_;
  CPingTrace ping_;
};

}  // namespace netrick
