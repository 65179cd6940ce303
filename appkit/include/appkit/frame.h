// Frame, document and views: a top-level frame window built from a menu
// resource, with an optional tool bar and status bar around one client pane
// (the child with the id kFirstPaneId, often a splitter); the views that
// show the document in its panes; command routing (the active view, then
// the frame) and the update of menu items and tool bar buttons (enabled,
// checked, radio) through the same targets; a single-document template that
// makes the document and its frame.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appkit/controlbars.h"
#include "appkit/splitter.h"
#include "appkit/window.h"

namespace appkit {

// The status text shown while no menu item is selected.
constexpr UINT kIdleMessageId = 0xE001;
constexpr UINT kToolBarId = 0xE800;
constexpr UINT kStatusBarId = 0xE801;

// The state of one command as a menu item or a tool bar button shows it.
// An update handler sets what it decides; what it leaves alone stays.
class CommandState {
 public:
  CommandState(UINT id, HMENU menu, UINT position) : id_(id), menu_(menu), position_(position) {}
  CommandState(UINT id, ToolBar* bar) : id_(id), bar_(bar) {}
  UINT id() const { return id_; }
  void Enable(bool on);
  void SetCheck(bool on);
  // A radio mark (a dot in a menu; a pressed button in a tool bar).
  void SetRadio(bool on);

 private:
  UINT id_;
  HMENU menu_ = nullptr;
  UINT position_ = 0;
  ToolBar* bar_ = nullptr;
};

// Takes commands and decides their state: a frame or a view.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // True when the command was handled.
  virtual bool OnCommand(UINT id) { return false; }
  // True when this target decided the command's state.
  virtual bool OnUpdateCommand(CommandState& state) { return false; }
};

class Document {
 public:
  virtual ~Document() = default;
  virtual bool OnNewDocument() { return true; }
};

class FrameWindow;

// A pane that shows the document. Its window is one of ours, or a common
// control it subclasses (a list or tree view).
class View : public Window, public CommandTarget {
 public:
  // Creates the view as child `id` of `parent` in `rc`.
  virtual bool CreateView(HWND parent, UINT id, const RECT& rc, Document* doc);
  // The window class a view of ours registers.
  virtual const wchar_t* ClassName() const { return L"AppkitView"; }
  Document* document() const { return document_; }
  // The frame that holds the view (nullptr while it has none).
  FrameWindow* frame() const;
  // After the frame is made, before it is shown.
  virtual void OnInitialUpdate() {}
  // A message before it is dispatched; true when consumed.
  virtual bool PreTranslate(MSG& msg) { return false; }

 protected:
  // Window style of the view (children of a pane clip each other).
  virtual DWORD ViewStyle() const { return WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS; }
  // A view that is a common control of class `controlClass`.
  bool CreateControlView(const wchar_t* controlClass, DWORD style, DWORD exStyle, HWND parent, UINT id,
                         const RECT& rc, Document* doc);
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  Document* document_ = nullptr;
  bool isControl_ = false;
};

// What the client creation of a frame gets: the document and the template's
// view (made on request).
struct CreateContext {
  Document* document = nullptr;
  std::function<std::unique_ptr<View>()> newView;
};

class FrameWindow : public Window, public CommandTarget {
 public:
  ~FrameWindow() override;
  virtual const wchar_t* ClassName() const { return L"AppkitFrame"; }
  // Creates the frame with the menu `resourceId` of `res` (a frame without
  // menu when there is none); OnCreate, then OnCreateClient. The frame is
  // not shown.
  bool LoadFrame(UINT resourceId, HINSTANCE res, const wchar_t* title, DWORD style, CreateContext* ctx);
  // The module whose string table gives prompts and tool tips.
  HINSTANCE resources() const { return res_; }

  // Views of the frame's panes, owned by the frame.
  template <class V>
  V* AddView(std::unique_ptr<V> view) {
    V* raw = view.get();
    views_.push_back(std::move(view));
    return raw;
  }
  View* activeView() const { return activeView_; }
  void SetActiveView(View* view) { activeView_ = view; }
  // The initial update of every view.
  void InitialUpdateViews();
  // Shows the frame (the template calls it after the initial update).
  virtual void ActivateFrame(int show);

  // Places the tool bar at its side, the status bar at the bottom and the
  // client pane in the rest.
  virtual void RecalcLayout();
  HWND ClientPane() const { return ::GetDlgItem(hwnd(), static_cast<int>(kFirstPaneId)); }
  void SetToolBar(ToolBar* bar) { toolBar_ = bar; }
  void SetStatusBar(StatusBar* bar) { statusBar_ = bar; }
  ToolBar* toolBar() const { return toolBar_; }
  StatusBar* statusBar() const { return statusBar_; }
  void ShowStatusText(const std::wstring& text);

  // A command: the active view first, then the frame. True when handled.
  bool RouteCommand(UINT id);
  // The state of a command from the same targets; false when none decided.
  bool RouteUpdate(CommandState& state);
  // The update handlers for every button of the tool bar.
  void UpdateToolBarStates();
  // Messages before dispatch (the active view's first); true when consumed.
  virtual bool PreTranslate(MSG& msg);
  // The program's loop is back at its top (App::OnLoopTop).
  virtual void OnLoopTop() {}

 protected:
  // WM_CREATE, before the client: -1 fails the creation.
  virtual int OnCreate() { return 0; }
  virtual bool OnCreateClient(const RECT& client, CreateContext* ctx) { return true; }
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // The prompt of a command: its string's text before "\n" (or the tool
  // tip, the text after it).
  std::wstring CommandText(UINT id, bool toolTip) const;

 private:
  void UpdateMenu(HMENU menu);

  HINSTANCE res_ = nullptr;
  CreateContext* ctx_ = nullptr;
  bool clientFailed_ = false;
  std::vector<std::unique_ptr<View>> views_;
  View* activeView_ = nullptr;
  ToolBar* toolBar_ = nullptr;
  StatusBar* statusBar_ = nullptr;
};

// One document in one frame.
class SingleDocTemplate {
 public:
  SingleDocTemplate(UINT resourceId, std::function<std::unique_ptr<Document>()> newDocument,
                    std::function<std::unique_ptr<FrameWindow>()> newFrame,
                    std::function<std::unique_ptr<View>()> newView)
      : resourceId_(resourceId), newDocument_(std::move(newDocument)), newFrame_(std::move(newFrame)),
        newView_(std::move(newView)) {}
  ~SingleDocTemplate();

  // A new document shown in a new frame: the frame is made, its views get
  // their initial update, then the frame is activated with `show`. nullptr
  // when the document or the frame could not be made.
  FrameWindow* OpenNewDocument(HINSTANCE res, const wchar_t* title, DWORD style, int show);
  Document* document() const { return document_.get(); }
  FrameWindow* frame() const { return frame_.get(); }

 private:
  UINT resourceId_;
  std::function<std::unique_ptr<Document>()> newDocument_;
  std::function<std::unique_ptr<FrameWindow>()> newFrame_;
  std::function<std::unique_ptr<View>()> newView_;
  std::unique_ptr<Document> document_;
  std::unique_ptr<FrameWindow> frame_;
};

}  // namespace appkit
