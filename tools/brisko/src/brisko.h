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
#include "safe_delete.h"

namespace brisko {

class CCleanApp : public appkit::App {
 public:
  bool InitInstance() override;
  int ExitInstance() override;

  std::wstring programDir;
  std::wstring extList = L"*.tmp|*.bak|";
  int undoDelete = 0;
  // The sheet was asked to close (OK, Cancel, its close box, WM_CLOSE): a
  // search under way ends.
  bool closing = false;

  std::wstring Str(UINT id) const;
  int Message(HWND owner, const std::wstring& text, UINT type) const;
  int MessageId(HWND owner, UINT id, UINT type) const { return Message(owner, Str(id), type); }
  void ShowHelp(HWND owner) const;
  // Deletes a listed file or folder after checking it is still the listed
  // one (to the Recycle Bin when "UndoDelete" is set).
  DeleteOutcome Delete(HWND owner, const ListedItem& item, const std::wstring& shownPath) const;
  // The failure message: `summary` then one line per entry that was not
  // deleted, saying why.
  std::wstring FailureReport(const std::wstring& summary,
                             const std::vector<std::pair<std::wstring, DeleteOutcome>>& failures) const;

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
  BOOL OnSetActive() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;

 private:
  struct Found {
    std::wstring path;    // the shortcut or folder
    std::wstring target;  // what a shortcut points to
    bool folder = false;
    ListedItem item;      // what is deleted
  };
  bool StartMenuFolder(std::wstring* folder) const;
  void Scan();
  void ScanStartMenu(const std::vector<std::wstring>& names, const WIN32_FIND_DATAW* self, SearchProgress& progress);
  bool IsBrokenLink(const std::wstring& path, std::wstring* target);
  void AddFound(Found found, const std::vector<std::wstring>& names, const WIN32_FIND_DATAW& fd);
  std::vector<int> SelectedLines() const;
  void OnMoreInfo();
  void OnRemove();

  std::wstring userName_;
  bool includeUnavailable_ = false;
  IShellLinkA* link_ = nullptr;
  IPersistFile* file_ = nullptr;
  std::vector<Found> found_;  // one per list line, in line order
  std::wstring root_;          // the Start Menu folder of the last scan
  std::wstring rootExtended_, rootFinal_;
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
    std::wstring path;  // as shown
    ListedItem item;    // what is deleted
  };
  void OnSearch();
  void RememberPattern(const std::wstring& pattern, const std::wstring& replacement);
  void SearchFiles(const std::vector<std::wstring>& names, const std::wstring& pattern, bool bySize, long long size,
                   SearchProgress& progress);
  void OnRemove();
  std::vector<std::wstring> BoxItems() const;
  // Every so often during a search: the thread's messages are handled (the
  // window stays alive and can be closed); false once the search should end.
  bool KeepAnswering();

  bool searching_ = false;
  bool searchEnded_ = false;   // closed (or the program quits) during the search
  DWORD lastLook_ = 0;
  std::wstring searchedDir_;   // the folder of the last search, as typed
  std::wstring rootExtended_;  // the same, in the exact form
  std::wstring rootFinal_;     // its final path at the search
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
