// The information server's own windows for people: the information sheet,
// one page a category, each asking the server for its file and listing it
// as the test controls' Information pages do (the framework's client), and
// the configuration-file sheet, one page a start-up file read from disk.
// Both are modeless, owned by the server window, created hidden with it and
// shown and hidden by its commands.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "appkit/propsheet.h"
#include "infoclient/infoclient.h"
#include "infoclient/listbox.h"

namespace quorrel {

// ---- Rules, as plain functions ----------------------------------------------

// The categories whose pages the information sheet shows, in page order:
// all sixteen on Windows 9x, without 4, 5 and 6 on Windows NT.
std::vector<int> InfoSheetCategories(bool windows9x);
// Icon of a category's page on the server's sheet (0 out of range).
unsigned InfoSheetIconId(int category);
// The Summary page's health-monitor line for `overLimit` inputs beyond
// their limits.
std::string HealthMonitorLine(long overLimit);

// A file of the configuration-file sheet.
struct IniFile {
  std::string name;  // also the tab text
  std::string dir;   // with a trailing backslash
};
// Pages of the configuration-file sheet: 6 on Windows NT, 5 on Windows 9x.
int IniPageCount(bool windows9x);
// The file of page `index`; false for an index outside the table.
bool IniFileFor(int index, bool windows9x, const std::string& windowsDir, const std::string& systemDir,
                IniFile* file);
// "NOTEPAD.EXE" and the path in quotes; "" when the path is empty or the
// whole would not fit a 256-character command line.
std::string NotepadCommandLine(const std::string& path);
// The lines of a text file as the configuration-file pages list them:
// every line as it stands, its line end removed, split every 1023
// characters. False when the file does not open.
bool ReadIniLines(const std::wstring& path, std::vector<std::string>* lines);

// The Windows and system directories with a trailing backslash ("" when
// the system does not say).
std::string WindowsDirectory();
std::string SystemDirectory();

// ---- The information sheet ---------------------------------------------------

class CTest;

class CTestInfo : public appkit::SheetPage {
 public:
  CTestInfo(CTest& sheet, int category, HINSTANCE resources);
  ~CTestInfo() override;

  int Category() const { return category_; }
  bool Waiting() const { return client_.Waiting(); }
  HWND List() const { return list_.hwnd(); }
  const std::string& ExtraLine() const { return extra_; }
  // The sheet hides or goes: no longer waiting, readers joined.
  void Close();
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void AttachClient();
  void ShowWaitProgress(bool on);

  CTest& sheet_;
  int category_;
  bool initialised_ = false;
  HICON icon_ = nullptr;
  std::wstring description_;
  std::string extra_;
  bool reading_ = false;
  ctlfw::CInfoListBox list_;
  ctlfw::InfoClient client_;
};

class CTest : public appkit::TabbedSheet {
 public:
  // `server`: the server window (owner, request target); `infoDir`: where
  // its files are; `dmiLine`: the server's DMI check line.
  CTest(HINSTANCE resources, HWND server, const std::wstring& infoDir, const std::string* dmiLine);
  ~CTest() override;

  bool CreateHidden();
  void Show();
  void Hide();

  HWND Server() const { return server_; }
  UINT RequestMessage() const { return requestMsg_; }
  UINT MonitorMessage() const { return monitorMsg_; }
  const std::wstring& InfoDir() const { return infoDir_; }
  bool DmiAvailable() const { return dmiLine_ && !dmiLine_->empty(); }
  HINSTANCE Resources() const { return resources_; }
  const std::vector<std::unique_ptr<CTestInfo>>& Pages() const { return pages_; }
  // The page activated with the sheet's creation asks nothing (the sheet is
  // still hidden); true once, for that activation.
  bool TakeFirstActivation();

 protected:
  BOOL OnInit() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  HINSTANCE resources_;
  HWND server_;
  std::wstring infoDir_;
  const std::string* dmiLine_;
  UINT requestMsg_ = 0;
  UINT monitorMsg_ = 0;
  bool firstActivation_ = true;
  std::vector<std::unique_ptr<CTestInfo>> pages_;
};

// ---- The configuration-file sheet ---------------------------------------------

class CIni;

class CINIInfo : public appkit::SheetPage {
 public:
  CINIInfo(CIni& sheet, int index, HINSTANCE resources);
  ~CINIInfo() override;
  int Index() const { return index_; }
  HWND List() const { return list_.hwnd(); }
  // Reads the page's file into the list (message boxes when it cannot).
  void Load();
  BOOL OnSetActive() override;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void Edit();

  CIni& sheet_;
  int index_;
  ctlfw::CInfoListBox list_;
};

class CIni : public appkit::TabbedSheet {
 public:
  CIni(HINSTANCE resources, HWND server, const std::string& windowsDir, const std::string& systemDir);
  ~CIni() override;

  bool CreateHidden();
  void Show();
  void Hide();

  bool Windows9x() const { return nine_; }
  const std::string& WindowsDir() const { return windowsDir_; }
  const std::string& SystemDir() const { return systemDir_; }
  HINSTANCE Resources() const { return resources_; }
  const std::vector<std::unique_ptr<CINIInfo>>& Pages() const { return pages_; }

 protected:
  BOOL OnInit() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  HINSTANCE resources_;
  HWND server_;
  bool nine_;
  std::string windowsDir_, systemDir_;
  std::vector<std::unique_ptr<CINIInfo>> pages_;
};

}  // namespace quorrel
