// Tamblet, the report wizard: three modal pages (test results, system
// information, the report) run one after the other by the application's
// start-up, or only the report page for a file named on the command line.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "appkit/app.h"
#include "appkit/dialog.h"
#include "appkit/msgfilter.h"
#include "report.h"
#include "report_list.h"

namespace tamblet {

class CReportWizardApp : public appkit::App {
 public:
  bool InitInstance() override;
  int ExitInstance() override;
  bool PreTranslate(MSG& msg) override;

  // Program-wide state of the run.
  std::wstring programDir;
  std::wstring dataDir;
  std::wstring computerName;
  std::wstring caption;     // application title, every message box's caption
  std::wstring reportPath;  // at most kReportPathMax characters
  std::wstring title;       // at most kTitleMax characters
  Selection selection;
  int leftMargin = 50;
  UINT diagMessage = 0;
  HWND host = nullptr;

  static constexpr size_t kTitleMax = 79;

  int Message(HWND owner, const std::wstring& text, UINT type) const;
  int MessageId(HWND owner, UINT id, UINT type) const;
  std::wstring Str(UINT id) const;
  void ShowHelp(HWND owner) const;
  // Writes the report from the selections: true when it was written.
  bool BuildReport(std::wstring* failure);

 private:
  void RunWizard();
  std::wstring profileKey_;
  HINSTANCE resourceModule_ = nullptr;
  std::unique_ptr<appkit::ModalThreadMessageFilter> filter_;
};

// Shared behaviour of the three pages: icon, brought to the front, help.
class WizardPage : public appkit::Dialog {
 public:
  WizardPage(UINT id, CReportWizardApp& app) : appkit::Dialog(id), app_(app) {}

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  CReportWizardApp& app_;
  HICON icon_ = nullptr;
};

class CTestResultsPage : public WizardPage {
 public:
  explicit CTestResultsPage(CReportWizardApp& app) : WizardPage(102, app) {}
  bool loaded = false;  // a report file was chosen with Load

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnOK() override;

 private:
  void StoreChecks();
  void Load();
};

class CSystemInfoPage : public WizardPage {
 public:
  explicit CSystemInfoPage(CReportWizardApp& app) : WizardPage(103, app) {}
  bool back = false;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void UpdateInfoChecks(bool restore);
  bool StoreChecks();  // true when any box is checked
  void OnCollectAll();
};

class CReportPage : public WizardPage {
 public:
  // `failure`: why the report could not be built (empty when it was, or
  // when the report is a given file).
  CReportPage(CReportWizardApp& app, bool fileGiven, std::wstring failure = L"")
      : WizardPage(104, app), fileGiven_(fileGiven), failure_(std::move(failure)) {}
  bool back = false;

  void LoadReport();
  int PrintReport();

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnOK() override { PrintReport(); }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void KeepTitle();
  bool fileGiven_;
  std::wstring failure_;
  CReportListBox list_;
};

}  // namespace tamblet
