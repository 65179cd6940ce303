// Brisko, the clean-up tool: one modal sheet "Kyt Cleanup" with the pages
// "Uninstall List", "Start Menu" and "Disk Files". Every list line keeps
// the exact path (or registry key) it was made from, and only that is ever
// deleted.
#pragma once
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "appkit/app.h"
#include "appkit/dialog.h"
#include "appkit/modalsheet.h"

namespace brisko {

class CCleanApp : public appkit::App {
 public:
  bool InitInstance() override;
  int ExitInstance() override;

  std::wstring programDir;
  std::wstring extList = L"*.tmp|*.bak|";
  int undoDelete = 0;

  std::wstring Str(UINT id) const;
  int Message(HWND owner, const std::wstring& text, UINT type) const;
  int MessageId(HWND owner, UINT id, UINT type) const { return Message(owner, Str(id), type); }
  void ShowHelp(HWND owner) const;
  // Deletes one file or folder through the shell (to the recycle bin when
  // "UndoDelete" is set). True when it is gone afterwards.
  bool ShellDelete(HWND owner, const std::wstring& path) const;

 private:
  std::wstring profileKey_;
};
CCleanApp* TheApp();

class CMoreInfoDlg : public appkit::Dialog {
 public:
  CMoreInfoDlg() : appkit::Dialog(131) {}
  std::wstring nameTitle, nameValue, infoTitle, infoValue;

 protected:
  BOOL OnInit() override;
};

// Shows and hides the "Searching..." text and the progress bar, and moves
// the bar by 10 whenever more than a second has passed.
class SearchProgress {
 public:
  SearchProgress(HWND page, int textId, int barId);
  ~SearchProgress();
  void Step();

 private:
  HWND text_, bar_;
  DWORD last_;
  int pos_ = 0;
  HCURSOR cursor_;
};

class CUninstall : public appkit::ModalSheetPage {
 public:
  CUninstall() : appkit::ModalSheetPage(129) {}

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;

 private:
  struct Entry {
    std::wstring displayName;
    std::wstring uninstallString;
    std::wstring subkey;  // the key below Uninstall it was read from
  };
  void FillUninstallList();
  const Entry* SelectedEntry(int* line) const;
  void OnMoreInfo();
  void RemoveUninstallEntry();
  std::vector<Entry> entries_;
};

class CStartMenu : public appkit::ModalSheetPage {
 public:
  CStartMenu() : appkit::ModalSheetPage(132) {}
  ~CStartMenu() override;

 protected:
  BOOL OnInit() override;
  void OnSetActive() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;

 private:
  struct Found {
    std::wstring path;    // the shortcut or folder
    std::wstring target;  // what a shortcut points to
    bool folder = false;
  };
  bool StartMenuFolder(std::wstring* folder) const;
  void Scan();
  void ScanStartMenu(const std::wstring& folder, const std::wstring& root, SearchProgress& progress);
  bool IsBrokenLink(const std::wstring& path, std::wstring* target);
  void AddFound(const Found& found, const std::wstring& root);
  std::vector<int> SelectedLines() const;
  void OnMoreInfo();
  void OnRemove();

  std::wstring userName_;
  bool includeUnavailable_ = false;
  IShellLinkA* link_ = nullptr;
  IPersistFile* file_ = nullptr;
  std::vector<Found> found_;  // one per list line, in line order
};

class CFindTool : public appkit::ModalSheetPage {
 public:
  CFindTool() : appkit::ModalSheetPage(133) {}
  // "ExtList" from the pattern box (the sheet calls it as it closes).
  std::wstring ExtListFromBox() const;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;

 private:
  struct Found {
    std::wstring path;
    long long size;
  };
  void OnSearch();
  void RememberPattern(const std::wstring& pattern, const std::wstring& replacement);
  void SearchFiles(const std::wstring& directory, const std::wstring& pattern, bool bySize, long long size,
                   SearchProgress& progress);
  void OnRemove();
  std::vector<std::wstring> BoxItems() const;

  std::wstring searchedDir_;   // the folder of the last search
  std::vector<Found> found_;   // one per list line, in line order
};

class CCleanDlg : public appkit::ModalSheet {
 public:
  explicit CCleanDlg(const std::wstring& caption);

 protected:
  void OnInit() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  CUninstall uninstall_;
  CStartMenu startMenu_;
  CFindTool findTool_;
};

}  // namespace brisko
