// The views of the main frame's panes: the icon list of the test items, the
// tree of the test groups, the title, toolbar and logo strips, and the
// module view that hosts one test control. The web view is in web_view.h.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <string>

#include "appkit/frame.h"
#include "hosting/module_view.h"
#include "test_items.h"
#include "view_context.h"
#include "web_view.h"

class CMyTitleView;

// What the views ask of the main window that holds them. A view finds it
// from its own window (FrameOf); what it asks of the program comes through
// the ViewContext it was made with, so views know no program-wide object.
class ViewFrame {
 public:
  // A test runs in the module view.
  virtual bool IsHostedTestRunning() = 0;
  // A box or dialog is up over the frame while the module view hosts a
  // control: the control may be inside its own handler, under the box.
  virtual bool IsHostedControlHeld() = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  // Shows the help page of a command in the help pane.
  virtual void ShowHelpPage(int command) = 0;
  virtual CMyTitleView* titleView() const = 0;
  // The outer window of the frame's panes.
  virtual HWND PaneHost() const = 0;

 protected:
  ~ViewFrame() = default;
};

// The frame of the top-level window that holds `view`, or nullptr (no such
// frame, or one that is going).
ViewFrame* FrameOf(HWND view);

// The icon list of the test items and tool shortcuts (a list view control).
class CHalvixView : public appkit::View {
 public:
  explicit CHalvixView(ViewContext& context);
  ~CHalvixView() override;
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  void OnInitialUpdate() override;
  bool OnCommand(UINT id) override;
  // Takes the current item positions into the position table.
  void CapturePositions();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ApplyViewMode();
  void BuildItems();
  void LoadPositions();
  void ApplyPositions();
  void SavePositions();
  void OpenFocusedItem();
  void OnItemChanged(const NMLISTVIEW* nm);
  void OnButtonDown(POINT pt);
  void OnMouseMove(WPARAM flags, POINT pt);
  void OnButtonUp(POINT pt);
  void EndDragImage();
  bool InsideWindow(POINT client) const;

  ViewContext& context_;
  std::array<halvix::SlotPoint, halvix::kPositionSlots> positions_;
  int hitItem_ = -1;
  POINT offset_{0, 0};
  POINT press_{0, 0};
  POINT last_{0, 0};
  bool buttonHeld_ = false;
  HIMAGELIST dragImage_ = nullptr;
  bool applyAfterPaint_ = false;
};

// A plain list view: the tree layout's left strip when the common controls
// could not be initialised.
class CPlainListView : public appkit::View {
 public:
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
};

// The tree of the test groups (a tree view control). Its selection picks the
// page of the right-hand pane; a change is refused while a hosted test runs.
class CMyTreeView : public appkit::View {
 public:
  explicit CMyTreeView(ViewContext& context);
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  void OnInitialUpdate() override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Build();
  void SelectByCommand(int command);
  void OnSelChanged(const NMTREEVIEWW* nm);
  LPARAM DataOf(HTREEITEM item) const;

  ViewContext& context_;
  bool building_ = false;
  LPARAM lastData_ = 0;
};

// The dark strip above the right-hand panes: caption and small icon of the
// selected tree node.
class CMyTitleView : public appkit::View {
 public:
  ~CMyTitleView() override;
  const wchar_t* ClassName() const override { return L"HalvixTitleView"; }
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  void SetCaption(const std::wstring& caption);
  // Takes ownership of the icon; a null icon is ignored.
  void SetIcon(HICON icon);
  const std::wstring& caption() const { return caption_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::wstring caption_;
  HICON icon_ = nullptr;
  HFONT font_ = nullptr;
};

// The vertical strip of large test buttons in a scrolling pager.
class CToolbarView : public appkit::View {
 public:
  explicit CToolbarView(ViewContext& context);
  ~CToolbarView() override;
  const wchar_t* ClassName() const override { return L"HalvixToolbarView"; }
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  HWND toolbar() const { return toolbar_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void BuildButtons();
  LRESULT OnPagerNotify(NMHDR* hdr);

  ViewContext& context_;
  HWND pager_ = nullptr;
  HWND toolbar_ = nullptr;
  bool stringsAdded_ = false;
  std::vector<std::pair<int, int>> stringIndex_;  // command -> string index
  HBRUSH grey_ = nullptr;
  HBRUSH hot_ = nullptr;
};

// The help pane when no web browser is available: the plain text between the
// "Text Begin" and "Text End" markers of the page.
class CLogoView : public appkit::View {
 public:
  const wchar_t* ClassName() const override { return L"HalvixLogoView"; }
  void OnInitialUpdate() override;
  const std::wstring& text() const { return text_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::wstring text_;
};

// The right-hand pane that hosts one test control at a time (tree layout).
class CModuleView : public appkit::View {
 public:
  const wchar_t* ClassName() const override { return L"HalvixModuleView"; }
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  void CreateTestControl(const std::string& name, const std::string& switches);
  void CloseTestControl();
  // Asks the hosted control's running test to stop, once (see ModuleViewHost).
  void StopTest();
  bool HasTestControl() const;
  bool IsTestRunning();
  bool PreTranslate(MSG& msg) override;
  hosting::ModuleViewHost* host() const { return host_.get(); }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::unique_ptr<hosting::ModuleViewHost> host_;
};
