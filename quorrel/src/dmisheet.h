// The server's DMI sheet: while it initialises it has DMI.TXT written (the
// SMBIOS reader on NT, the outside dumper dmi.pif on Windows 9x), then reads
// the file into one tab per kind of structure, with a selector for the
// instance and a memory view that joins the controller with its modules.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "infoclient/listbox.h"
#include "dmitext.h"

namespace quorrel {

class CDMI;

// One tab: the instances of one section.
class CDMIInfo : public appkit::Dialog {
 public:
  CDMIInfo(HINSTANCE res, CDMI* sheet, size_t pageIndex);
  const std::string& SectionName() const;
  void OnSetActive();
  void OnKillActive();
  // The instance shown (the combo box's selection).
  void ShowSelectedInstance();

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnOK() override {}
  void OnCancel() override {}

 private:
  CDMI* sheet_;
  size_t page_;
  HICON icon_ = nullptr;
  ctlfw::CInfoListBox list_{L"Software\\Qev"};
};

class CDMI : public appkit::Dialog {
 public:
  // `dir`: where DMI.TXT lies (with a trailing backslash).
  CDMI(HINSTANCE res, const std::wstring& caption, const std::wstring& dir);
  ~CDMI() override;

  bool Create(HWND owner);
  // Accumulated error and notice texts, each ended by "\n"; the server shows
  // them instead of the sheet when there are any.
  const std::string& StatusText() const { return status_; }
  bool Loaded() const { return loaded_; }
  const DmiModel& Model() const { return model_; }
  const DmiTexts& Texts() const { return texts_; }
  int ActivePage() const { return active_; }
  // Makes a page the active one (again), so that it shows its lines anew.
  void ActivatePage(int index);
  size_t PageCount() const { return pages_.size(); }
  CDMIInfo* Page(size_t i) const { return i < pages_.size() ? pages_[i].get() : nullptr; }

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  LRESULT OnNotify(NMHDR* hdr) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnOK() override {}
  void OnCancel() override {}

 private:
  void StopDump();
  bool ParseFile();
  void BuildPages();

  HINSTANCE res_;
  std::wstring caption_;
  std::wstring dir_;
  std::string status_;
  DmiTexts texts_;
  DmiModel model_;
  bool loaded_ = false;
  std::vector<std::unique_ptr<CDMIInfo>> pages_;
  int active_ = -1;
  HANDLE dumper_ = nullptr;
  int ticks_ = 0;
  HICON icon_ = nullptr;
};

}  // namespace quorrel
