// The "Technical Support Links" dialog and its settings dialog: the support
// web site, and a mail to support that carries the latest report, prepared
// as a local page from the suite's template.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/dialog.h"
#include "settings.h"

// What the support dialogs ask of the program. The application implements
// it, so that the dialogs know no program-wide object.
class SupportContext {
 public:
  // The program's settings (the settings dialog changes the links).
  virtual halvix::HalvixSettings& settings() = 0;
  virtual const std::wstring& programDir() const = 0;
  // The buttons' texts, formatted from the settings.
  virtual const std::wstring& webText() const = 0;
  virtual const std::wstring& emailText() const = 0;
  // Formats the texts again from the settings.
  virtual void FormatSupportTexts() = 0;
  // Opens a web page or a mail through Ombrix; `fallback` allows "help.txt".
  virtual void OpenHtmlPage(const std::wstring& path, bool fallback) = 0;

 protected:
  ~SupportContext() = default;
};

class CTechSupportDlg : public appkit::Dialog {
 public:
  CTechSupportDlg(HINSTANCE res, SupportContext& context);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void ShowButtons();
  SupportContext& context_;
  HINSTANCE res_;
  HICON icon_;
};

class CTechSupportSettingsDlg : public appkit::Dialog {
 public:
  CTechSupportSettingsDlg(HINSTANCE res, SupportContext& context);

 protected:
  BOOL OnInit() override;
  void OnOK() override;

 private:
  SupportContext& context_;
};
