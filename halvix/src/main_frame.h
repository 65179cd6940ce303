// CMainFrame: Halvix's main window. It builds one of two pane layouts (the
// tree layout S1..S4, or the control-panel layout of S4 alone), creates the
// hidden information-server control so that the server runs while Halvix
// runs, carries out every menu and tool bar command (in the tree layout a
// test shows in the module view, in the control-panel layout it runs as a
// module program through the launcher), shows each command's help page,
// keeps the window and pane sizes for the settings, reads the user's web
// links, answers the module programs' DiagDone and closes them when it goes.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "appkit/frame.h"
#include "frame_bars.h"
#include "frame_rules.h"
#include "hosting/wrappers.h"
#include "modules/module_launcher.h"
#include "views.h"

class CHalvixView;
class CLogoView;
class CModuleView;
class CMyTitleView;
class CMyTreeView;
class CToolbarView;
class CWebView;

class CMainFrame : public appkit::FrameWindow, public ViewFrame {
 public:
  CMainFrame();
  ~CMainFrame() override;
  const wchar_t* ClassName() const override { return L"HalvixMainFrame"; }

  void ActivateFrame(int show) override;
  bool PreTranslate(MSG& msg) override;
  void OnLoopTop() override;

  // Shows the help page of a command in the help pane.
  void ShowHelpPage(int command) override;
  void SetStatusText(const std::wstring& text) override { ShowStatusText(text); }
  // Gives the splitters the pane sizes of the settings; `full` changes only
  // the help pane.
  void RecalcPanes(bool full);
  // A test runs in the module view.
  bool IsHostedTestRunning() override;
  // A box or dialog is up over the frame (it is disabled under it) while a
  // control is hosted: the page stays until it has gone.
  bool IsHostedControlHeld() override;
  HWND PaneHost() const override { return ClientPane(); }

  CHalvixView* iconListView() const { return iconList_; }
  CMyTreeView* treeView() const { return tree_; }
  CToolbarView* toolbarView() const { return toolbarView_; }
  CMyTitleView* titleView() const override { return title_; }
  CWebView* webView() const { return web_; }
  CModuleView* moduleView() const { return moduleView_; }
  int currentPage() const { return currentPage_; }

 protected:
  int OnCreate() override;
  bool OnCreateClient(const RECT& client, appkit::CreateContext* ctx) override;
  bool OnCommand(UINT id) override;
  bool OnUpdateCommand(appkit::CommandState& state) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool CreateControlPanelLayout(const RECT& client, appkit::CreateContext* ctx);
  bool CreateTreeLayout(const RECT& client, appkit::CreateContext* ctx);
  bool CreateHelpPane(HWND parent, UINT id, const RECT& rc, appkit::Document* doc);
  bool CheckWebBrowser();
  void StorePaneSizes();
  void DockFrameToolBar();
  void RedrawStrips();
  void PruneMenu();
  void ReadWebLinks();
  void SelectTestPage(int page);
  void OnDiagDone(WPARAM result, LPARAM cookie);
  bool PutOffClose();
  void OnClose();
  void OnDestroy();

  // Commands.
  void SelectInTree(int command);
  void OnTestCommand(int command);
  void OnToolCommand(int command);
  void OnInformationCommand(int command);
  void OnDosTest();
  void OnStressTest();
  void OnBenchmarks();
  void OnResetDefaults();
  void StartOutsideProgram(const std::wstring& cmdLine, const std::wstring& dir = L"");
  int FrameMessage(const std::wstring& text, UINT type);
  std::wstring Str(UINT id) const;
  bool ControlPanel() const;
  HWND InfoServerWindow() const;

  CFrameToolBar toolBar_;
  appkit::StatusBar statusBar_;
  CFrameSplitter s1_, s2_, s3_, s4_;
  std::unique_ptr<CQuorrel> quorrel_;
  std::unique_ptr<halvix::ModuleLauncher> launcher_;
  std::vector<halvix::WebLink> webLinks_;

  CHalvixView* iconList_ = nullptr;
  CModuleView* moduleView_ = nullptr;
  CLogoView* logo_ = nullptr;
  CWebView* web_ = nullptr;
  CMyTreeView* tree_ = nullptr;
  CMyTitleView* title_ = nullptr;
  CToolbarView* toolbarView_ = nullptr;

  int currentPage_ = 0;
  bool notYetShown_ = true;
  bool closePending_ = false;
  int splitterBarHalvix_ = 0;
  int splitterBarOthers_ = 0;
  int upperHeight_ = 0;
};
