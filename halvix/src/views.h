// The views of the main frame's panes. The module view hosts one test
// control; the others are, for now, the plain panes the layouts need: the
// icon list and the tree are empty controls, the title and toolbar strips
// grey, the logo pane white; the web view hosts the browser control.
#pragma once
#include <memory>
#include <string>

#include "appkit/axhost.h"
#include "appkit/frame.h"
#include "hosting/module_view.h"

// The icon list of the test items (a list view control).
class CHalvixView : public appkit::View {
 public:
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  // Takes the current item positions (for the settings); none are kept yet.
  void CapturePositions() {}

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// A plain list view: the tree layout's left strip when the common controls
// could not be initialised.
class CPlainListView : public appkit::View {
 public:
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
};

// The tree of the test groups (a tree view control). A test command's
// WM_SELECTTEST reaches the frame as WM_SELECTPAGE; its first selection is
// the tests group.
class CMyTreeView : public appkit::View {
 public:
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  void OnInitialUpdate() override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// The dark strip above the right-hand panes.
class CMyTitleView : public appkit::View {
 public:
  const wchar_t* ClassName() const override { return L"HalvixTitleView"; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// The vertical strip of test buttons at the left.
class CToolbarView : public appkit::View {
 public:
  const wchar_t* ClassName() const override { return L"HalvixToolbarView"; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// The help pane when no web browser is available: white, it takes the path
// of the page to show.
class CLogoView : public appkit::View {
 public:
  const wchar_t* ClassName() const override { return L"HalvixLogoView"; }
  const std::wstring& page() const { return page_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::wstring page_;
};

// The help pane with the platform's web browser control (child id 1144).
class CWebView : public appkit::View {
 public:
  static constexpr UINT kBrowserId = 1144;
  const wchar_t* ClassName() const override { return L"HalvixWebView"; }
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  // Whether the browser's window exists.
  bool HasBrowser() const { return browser_.hwnd() && ::IsWindow(browser_.hwnd()); }
  HWND browserWindow() const { return browser_.hwnd(); }
  void Navigate(const std::wstring& url);
  void GoBack();
  void GoForward();
  void Refresh();

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  appkit::AxHost browser_;
};

// The right-hand pane that hosts one test control at a time (tree layout).
class CModuleView : public appkit::View {
 public:
  const wchar_t* ClassName() const override { return L"HalvixModuleView"; }
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  void CreateTestControl(const std::string& name, const std::string& switches);
  void CloseTestControl();
  bool IsTestRunning();
  bool PreTranslate(MSG& msg) override;
  hosting::ModuleViewHost* host() const { return host_.get(); }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::unique_ptr<hosting::ModuleViewHost> host_;
};
