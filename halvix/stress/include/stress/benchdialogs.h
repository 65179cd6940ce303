// The Benchmark Results dialog (template 185), its bar chart (190, with the
// owner-drawn bar list), the Benchmark Details dialog (187) and the View
// Test Log dialog (161).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "stress/benchscore.h"
#include "stress/detailsdoc.h"
#include "stress/settings.h"

namespace stress {

// A file's bytes, at most kMaxResultFile of them; false when it cannot be opened.
bool ReadSmallFile(const std::wstring& path, std::string* bytes);

// Prints lines as a document named `docName`: a fixed-pitch font of
// `fontHeight`, pages headed "Page %d  <docName>", tabs expanded at
// `tabStops` (dialog-unit positions), at most 49 pages; lines beginning
// with '@' in bold without their first two characters when `atBold`.
void PrintLines(HWND owner, const std::wstring& docName, const std::vector<std::string>& lines, int fontHeight,
                const std::vector<int>& tabStops, bool atBold);

class CBenchResultsDlg : public appkit::Dialog {
 public:
  // `resultsFile`: BNCHMARK.BNH in the data directory.
  CBenchResultsDlg(const StressSettings& settings, const std::wstring& resultsFile, const std::wstring& title);

  const std::vector<ResultRow>& rows() const { return rows_; }
  // The texts of a row: label, "This System", "Ref. System".
  std::wstring Cell(int row, int column) const;
  // Loads a column: 0 the defaults, 1 this system, 2 the reference.
  void LoadResultFile(const std::wstring& path, int column);
  const std::wstring& referencePath() const { return refPath_; }

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  LRESULT OnNotify(NMHDR* hdr) override;
  void OnDestroy() override;

 private:
  void WriteHtmlReport();
  void OpenDetails(int column);
  void ChangeReference();
  void Print();

  StressSettings settings_;
  std::wstring resultsFile_, refPath_, title_;
  bool windowsNT_;
  std::vector<ResultRow> rows_;
  std::vector<long> defaults_;
  HIMAGELIST images_ = nullptr;
};

// The bar list: two legend lines, then two bars per charted row.
class CBarListBox {
 public:
  void Attach(HWND list, HIMAGELIST images, const ChartScales& scales);
  HWND hwnd() const { return list_; }
  void Measure(MEASUREITEMSTRUCT* m) const;
  void Draw(const DRAWITEMSTRUCT* d);

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  HWND list_ = nullptr;
  HIMAGELIST images_ = nullptr;
  ChartScales scales_;
  HBRUSH green_ = nullptr, cyan_ = nullptr;
  bool erase_ = true;
  RECT client_{};
  bool haveClient_ = false;
  int extent_ = 0;

 public:
  ~CBarListBox();
};

class CBenchChartDlg : public appkit::Dialog {
 public:
  CBenchChartDlg(CBenchResultsDlg& results, const ChartScales& scales, HIMAGELIST images);
  CBarListBox& bars() { return bars_; }

 protected:
  BOOL OnInit() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  CBenchResultsDlg& results_;
  ChartScales scales_;
  HIMAGELIST images_;
  CBarListBox bars_;
};

// A file as the details dialog read it: its bytes (all of them when it is
// no larger than kMaxDetailsFile, else the first kMaxResultFile), its size
// and time; `exists` false when it could not be opened.
struct FileSnapshot {
  bool exists = false;
  std::string bytes;
  unsigned long long size = 0;
  FILETIME written{};
};
FileSnapshot ReadFileSnapshot(const std::wstring& path);
// The same file as it was: same size and time, and the same bytes.
bool SameFile(const FileSnapshot& a, const FileSnapshot& b);

// Shows a results file and changes only what the user changed: OK writes
// nothing when nothing changed, and a change is made to the file's own bytes
// (never to the lines shown, which may be cut); a file too large to be held
// whole, or a description the box cannot show, cannot be changed.
class CBenchDetailsDlg : public appkit::Dialog {
 public:
  CBenchDetailsDlg(int mode, const std::wstring& filePath, const std::wstring& dataDirectory);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnOK() override;

 private:
  void Show(const DetailsDoc& doc);
  bool DescriptionChanged() const;
  // What the file holds after the user's changes.
  std::string ChangedBytes() const;
  bool WriteWhole(const std::wstring& path, const std::string& bytes);
  void Problem(const std::wstring& text);
  std::vector<std::string> ListLines() const;

  int mode_;
  std::wstring filePath_, dataDirectory_, defaultFileName_ = L"bnchdflt.dat";
  FileSnapshot loaded_;   // filePath_ as it was shown
  DetailsDoc doc_;        // what the dialog shows and changes
  bool replaced_ = false; // "Load Default": doc_ holds the default values
  bool descriptionEditable_ = false;
};

// What the View Test Log dialog shows: the lines of `secondFile` (when
// given), an empty line, the lines of `firstFile` ("name" or "name number",
// the number being the list's tab stop); whether the first file's loop
// (from its second line) is older than the second's.
struct LogView {
  std::vector<std::string> lines;
  int tabStop = 60;
  bool fromLastLoop = false;
};
LogView ReadLogView(const std::wstring& directory, const std::wstring& firstFile, const std::wstring& secondFile,
                    int tabStop);

class CTestLogDlg : public appkit::Dialog {
 public:
  CTestLogDlg();
  std::wstring directory, firstFile, secondFile, title;
  int tabStop = 60;
  int fontHeight = 12;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;

};

}  // namespace stress
