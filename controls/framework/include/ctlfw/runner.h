// The runner behind a test control's six methods: one static instance per
// control module. It parses the host's command line, reads the control's
// settings, finds the resource library and the information directory, binds
// the optional libraries, and owns the property sheet it creates as a child
// of the control window. A control derives its runner from TestRunner and
// supplies its own values (base names, titles, settings, libraries, pages).
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "infoclient/infoclient.h"
#include "ctlfw/resource_ids.h"
#include "ctlfw/rules.h"
#include "ctlfw/settings.h"
#include "suite/controls.h"

namespace ctlfw {

class CTest;
class CTestInfo;
class TestPage;


// An optional library in the control's directory and the entries bound from
// it; a missing library or entry leaves the entry NULL.
struct OptionalLibrary {
  const wchar_t* file;
  std::vector<const char*> entries;
};

// How a control's Information pages show their files.
// The resource ids that name a runner's mode.
struct RunnerResourceIds {
  UINT title = 0;     // the sheet's caption
  UINT logTitle = 0;  // the title line of the result log; 0: the caption's
  UINT icon = 0;      // the sheet's and the Information page's icon
  UINT infoText = 0;  // the Information page's text (0: none)
};

struct InfoPageStyle {
  std::vector<int> tabStops{140, 230, 320, 410};
  UINT lastUpdatedId = IDS_LAST_UPDATED;  // "Last Updated:"
  InfoLines lines = InfoLines::AllButComments;
  // A page that has no answer this long after its request stops waiting.
  DWORD replyDeadlineMs = 120000;
  // How long a reader waits for the server's mutex before it reads anyway.
  DWORD readerMutexWaitMs = 30000;
  // A page that is left empties its list and hides its icon and text (it
  // asks again when it comes back).
  bool clearWhenLeft = false;
};

// How one Information page of a sheet looks: its icon, its text, the tab's
// text (0: the template's caption) and the list's tab stops.
struct InfoPageLook {
  UINT iconId;
  UINT textId;
  UINT tabTextId;
  std::vector<int> tabStops;
};

// Resource ids of the check list's state pictures.
struct CheckPictures {
  UINT checked = IDB_CHECK_CHECKED, unchecked = IDB_CHECK_UNCHECKED;
  UINT checkedLocked = IDB_CHECK_LOCKED, uncheckedLocked = IDB_CHECK_DISABLED;
};

// Live worker threads of this module (pages' test and reader threads). A
// control module refuses to unload while any lives.
long LiveWorkerCount();
// Starts a worker that holds a reference on this module until it ends.
// Returns the thread handle (the caller closes it) or nullptr.
HANDLE StartWorker(LPTHREAD_START_ROUTINE proc, void* arg);

class TestRunner {
 public:
  TestRunner();
  virtual ~TestRunner();
  TestRunner(const TestRunner&) = delete;
  TestRunner& operator=(const TestRunner&) = delete;

  // ---- The methods the control forwards -----------------------------------
  // FALSE only when a sheet already exists.
  BOOL Init(HWND controlWindow, const std::string& cmdLine);
  // "Size" with "%d %d": places the sheet (ResizeSheet).
  BOOL SetProp(const std::string& name, const std::string& value);
  // FALSE without a sheet.
  BOOL Cleanup();
  BOOL DoTest();
  BOOL IsRunning();
  BOOL Abort();
  // Handles what waits for a sheet that has no control window around it
  // (see Init); nothing otherwise.
  void ServeOwnSheet();
  // The sheet caption (ANSI).
  std::string Title() const;
  // The result list that GetProp "count" and "line:" read: list 1004 when the
  // Information page is active, else list 1005 of the active (Test) page;
  // nullptr without a sheet or list.
  HWND ActivePageList() const;

  // ---- What the pages read -------------------------------------------------
  CTest* GetSheet() const { return sheet_.get(); }
  bool Created() const { return created_; }
  HWND ControlWindow() const { return control_; }
  const Switches& Options() const { return switches_; }
  const std::string& RunSuffix() const { return switches_.runSuffix; }
  const std::string& BaseName() const { return baseName_; }
  const std::wstring& LogTitle() const { return logTitle_; }
  const std::wstring& WideTitle() const { return title_; }
  const std::wstring& ModuleDirectory() const { return moduleDir_; }
  const std::wstring& InfoDirectory() const { return infoDir_; }
  HINSTANCE Resources() const { return resources_; }
  UINT DiagMessage() const { return diagMessage_; }
  const BYTE* SystemInfo() const { return sysInfo_; }
  // A setting of the active mode (0 when the mode has no such setting).
  int Setting(const std::string& name) const;
  void SetSetting(const std::string& name, int value);
  bool HasSetting(const std::string& name) const;
  // The settings of `table` as its fields (a field whose setting the active
  // mode lacks reads 0), and one field's setting changed.
  template <class Values>
  Values FieldValues(const FieldTable<Values>& table) const {
    Values values{};
    for (const FieldSetting<Values>& f : table) values.*f.field = Setting(f.def.name);
    return values;
  }
  template <class Values>
  void SetField(const FieldTable<Values>& table, int Values::*field, int value) {
    SetSetting(SettingName(table, field), value);
  }
  // A bound optional entry point, or nullptr.
  FARPROC Entry(const char* name) const;

  // MessageBox with the runner's caption and `type`, owned by the window
  // that holds the control (or by the dialog that is up over it), so that
  // the host cannot be used while the box is up; asked from another thread
  // than the control's, the box has no owner.
  int ShowMessage(const std::wstring& text, UINT type) const;
  // The owner of the runner's boxes on the calling thread, or nullptr.
  HWND MessageOwner() const;
  // The same with a text from the resource library.
  int RunnerMessageBox(UINT stringId, UINT type) const;

  // ---- What a control supplies ----------------------------------------------
  // The control's row of the suite's identity table (kControlCount: none).
  // The settings key, the log base name and the information category below
  // are read from that row unless a runner says otherwise.
  virtual suite::ControlIndex Identity() const { return suite::kControlCount; }
  // True in the control's second mode (floppy, processor, video): the row's
  // second log base name and category.
  virtual bool SecondMode() const { return false; }
  // HKCU key of the control's settings, e.g. "Software\Kyt\ZENTREL\Setting".
  virtual std::wstring SettingsKey() const;
  // HKCU key of the shared list fonts.
  virtual std::wstring MakerKey() const { return L"Software\\Kyt"; }
  // The settings of the active mode (Options() is parsed when this is asked).
  virtual std::vector<SettingDef> SettingTable() const = 0;
  // The five test-enable settings the Test page's check list keeps.
  virtual std::vector<std::string> EnableSettings() const { return {}; }
  virtual std::vector<OptionalLibrary> OptionalLibraries() const { return {}; }
  // Base name of the result log ("KytMEM"); empty: no log.
  virtual std::string ModeBaseName() const;
  // The resources that name the active mode.
  virtual RunnerResourceIds ResourceIds() const = 0;
  // Information category (0..15) of the control's information file.
  virtual int InfoCategory() const;
  // The categories of the sheet's Information pages, in page order (a
  // viewer shows many, a test control one).
  virtual std::vector<int> InfoCategories() const { return {InfoCategory()}; }
  virtual InfoPageStyle InfoStyle() const { return {}; }
  // The page of `category`; by default every page looks alike.
  virtual InfoPageLook InfoLook(int category) const {
    (void)category;
    RunnerResourceIds ids = ResourceIds();
    return {ids.icon, ids.infoText, 0, InfoStyle().tabStops};
  }
  // Where SetProp "Size" puts the sheet in the control.
  virtual SheetRect SheetPlacement(int cx, int cy) const { return SheetRectFor(cx, cy); }
  virtual CheckPictures CheckListPictures() const { return {}; }
  // Whether the Information page offers the Free Memory button.
  virtual bool InfoHasFreeMemory() const { return false; }
  // The Test page (owned by the sheet). Called at Init, after the switches
  // and settings are read.
  virtual std::unique_ptr<TestPage> CreateTestPage() = 0;
  // The switches a control takes from elsewhere than its command line (its
  // module's name, for instance); called right after the line is parsed.
  virtual void AdjustSwitches(Switches* switches) const {}
  // After the table's settings are read (each within its range): the rules
  // that tie settings together and the non-numeric values. Before they are written back: its own values.
  virtual void AfterSettingsRead() {}
  virtual void BeforeSettingsWritten() const {}
  // The sheet caption; by default the text of ResourceIds().title.
  virtual std::wstring Caption() const;
  // Right before the sheet is created: what the control's tests need of the
  // module (window classes, say). False makes Init fail (FALSE) with no
  // sheet; the hook undoes its own part first.
  virtual bool BeforeSheetCreated() { return true; }
  // At Cleanup, once the sheet is gone: undoes BeforeSheetCreated.
  virtual void AfterSheetGone() {}

 protected:
  // The module whose file names the resource library and the directory
  // (the control module; a test program in the framework's tests).
  virtual HMODULE OwnModule() const;

 private:
  friend class CTest;
  void ReadSettings();
  void WriteSettings() const;
  void LoadOptionalLibraries();
  void FreeOptionalLibraries();
  BOOL ResizeSheet(int cx, int cy);
  bool WaitForWorkers(DWORD ms);

  HWND control_ = nullptr;
  bool created_ = false;
  std::unique_ptr<CTest> sheet_;
  Switches switches_;
  std::wstring title_;
  std::wstring logTitle_;
  std::string baseName_;
  std::wstring moduleDir_;
  std::wstring infoDir_;
  HINSTANCE resources_ = nullptr;
  HMODULE resourceLibrary_ = nullptr;  // loaded resource DLL, else nullptr
  HMODULE vexholm_ = nullptr;
  UINT diagMessage_ = 0;
  std::vector<SettingDef> table_;
  std::map<std::string, int> settings_;
  std::vector<HMODULE> libraries_;
  std::map<std::string, FARPROC> entries_;
  BYTE sysInfo_[2048] = {};
};

// A runner whose settings are fields of `V`, bound once to their names,
// defaults, ranges and write-back rules in Fields(): the setting table, the
// Test page's check-list names and the values all come from that binding.
template <class V>
class FieldRunner : public TestRunner {
 public:
  // The settings of the active mode bound to their fields.
  virtual FieldTable<V> Fields() const = 0;
  // The switches the Test page's check list keeps, in row order.
  virtual std::vector<int V::*> EnableFields() const { return {}; }

  V Values() const { return FieldValues(Fields()); }
  std::vector<SettingDef> SettingTable() const final { return SettingDefs(Fields()); }
  std::vector<std::string> EnableSettings() const final {
    const FieldTable<V> table = Fields();
    std::vector<std::string> names;
    for (int V::*field : EnableFields()) names.push_back(SettingName(table, field));
    return names;
  }
};

}  // namespace ctlfw
