#include "appkit/frame.h"

#include "appkit/text.h"

namespace appkit {

// ---- CommandState

void CommandState::Enable(bool on) {
  if (menu_) ::EnableMenuItem(menu_, position_, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
  if (bar_) bar_->EnableButton(id_, on);
}

void CommandState::SetCheck(bool on) {
  if (menu_) ::CheckMenuItem(menu_, position_, MF_BYPOSITION | (on ? MF_CHECKED : MF_UNCHECKED));
  if (bar_) bar_->CheckButton(id_, on);
}

void CommandState::SetRadio(bool on) {
  if (menu_) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    if (::GetMenuItemInfoW(menu_, position_, TRUE, &info)) {
      info.fType = on ? (info.fType | MFT_RADIOCHECK) : (info.fType & ~MFT_RADIOCHECK);
      info.fState = on ? (info.fState | MFS_CHECKED) : (info.fState & ~MFS_CHECKED);
      ::SetMenuItemInfoW(menu_, position_, TRUE, &info);
    }
  }
  if (bar_) bar_->CheckButton(id_, on);
}

// ---- View

bool View::CreateView(HWND parent, UINT id, const RECT& rc, Document* doc) {
  document_ = doc;
  return Create(ClassName(), L"", ViewStyle(), 0, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

bool View::CreateControlView(const wchar_t* controlClass, DWORD style, DWORD exStyle, HWND parent, UINT id,
                             const RECT& rc, Document* doc) {
  document_ = doc;
  HWND h = ::CreateWindowExW(exStyle, controlClass, L"", style, rc.left, rc.top, rc.right - rc.left,
                             rc.bottom - rc.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
  if (!h) return false;
  if (!Subclass(h)) {
    ::DestroyWindow(h);
    return false;
  }
  isControl_ = true;
  return true;
}

FrameWindow* View::frame() const {
  if (!hwnd()) return nullptr;
  HWND top = ::GetAncestor(hwnd(), GA_ROOT);
  return dynamic_cast<FrameWindow*>(Window::FromHandle(top));
}

LRESULT View::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
    case WM_SETFOCUS:
      if (FrameWindow* f = frame()) f->SetActiveView(this);
      break;
    case WM_ERASEBKGND:
      if (!isControl_) {
        RECT rc;
        ::GetClientRect(hwnd(), &rc);
        ::FillRect(reinterpret_cast<HDC>(wp), &rc, ::GetSysColorBrush(COLOR_WINDOW));
        return 1;
      }
      break;
    case WM_COMMAND:
      // Commands posted or routed to the view.
      if (lp == 0 && OnCommand(LOWORD(wp))) return 0;
      break;
    default:
      break;
  }
  return Default(msg, wp, lp);
}

// ---- FrameWindow

namespace {
// A bar that is shown (also while the frame itself is still hidden).
bool Shows(HWND bar) { return bar && (::GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE); }
}  // namespace

FrameWindow::~FrameWindow() { activeView_ = nullptr; }

bool FrameWindow::LoadFrame(UINT resourceId, HINSTANCE res, const wchar_t* title, DWORD style, CreateContext* ctx) {
  res_ = res ? res : ::GetModuleHandleW(nullptr);
  HMENU menu = ::LoadMenuW(res_, MAKEINTRESOURCEW(resourceId));
  ctx_ = ctx;
  clientFailed_ = false;
  bool made = Create(ClassName(), title, style, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                     nullptr, menu);
  ctx_ = nullptr;
  if (!made) {
    if (menu) ::DestroyMenu(menu);
    return false;
  }
  HICON icon = ::LoadIconW(res_, MAKEINTRESOURCEW(resourceId));
  if (!icon) icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
  if (icon) {
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  return true;
}

void FrameWindow::InitialUpdateViews() {
  for (auto& v : views_)
    if (v->hwnd()) v->OnInitialUpdate();
}

void FrameWindow::ActivateFrame(int show) {
  ::ShowWindow(hwnd(), show);
  ::UpdateWindow(hwnd());
}

void FrameWindow::RecalcLayout() {
  if (!hwnd()) return;
  RECT rc;
  ::GetClientRect(hwnd(), &rc);
  if (statusBar_ && Shows(statusBar_->hwnd())) {
    // The status bar places itself at the bottom when it is told the size.
    statusBar_->Send(WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
    rc.bottom -= statusBar_->Height();
  }
  if (toolBar_ && Shows(toolBar_->hwnd())) {
    int t = toolBar_->Thickness();
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    switch (toolBar_->side()) {
      case ToolBar::kLeft:
        ::MoveWindow(toolBar_->hwnd(), rc.left, rc.top, t, h, TRUE);
        rc.left += t;
        break;
      case ToolBar::kRight:
        ::MoveWindow(toolBar_->hwnd(), rc.right - t, rc.top, t, h, TRUE);
        rc.right -= t;
        break;
      case ToolBar::kBottom:
        ::MoveWindow(toolBar_->hwnd(), rc.left, rc.bottom - t, w, t, TRUE);
        rc.bottom -= t;
        break;
      case ToolBar::kTop:
      default:
        ::MoveWindow(toolBar_->hwnd(), rc.left, rc.top, w, t, TRUE);
        rc.top += t;
        break;
    }
  }
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  if (rc.right < rc.left) rc.right = rc.left;
  if (HWND pane = ClientPane()) ::MoveWindow(pane, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void FrameWindow::ShowStatusText(const std::wstring& text) {
  if (statusBar_ && statusBar_->hwnd()) statusBar_->SetText(text);
}

bool FrameWindow::RouteCommand(UINT id) {
  if (activeView_ && activeView_->hwnd() && activeView_->OnCommand(id)) return true;
  return OnCommand(id);
}

bool FrameWindow::RouteUpdate(CommandState& state) {
  if (activeView_ && activeView_->hwnd() && activeView_->OnUpdateCommand(state)) return true;
  return OnUpdateCommand(state);
}

void FrameWindow::UpdateToolBarStates() {
  if (!toolBar_ || !toolBar_->hwnd()) return;
  for (int i = 0; i < toolBar_->ButtonCount(); ++i) {
    UINT id = toolBar_->CommandAt(i);
    if (!id) continue;
    CommandState state(id, toolBar_);
    RouteUpdate(state);
  }
}

void FrameWindow::UpdateMenu(HMENU menu) {
  int n = ::GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    if (info.hSubMenu || (info.fType & MFT_SEPARATOR) || info.wID == 0) continue;
    CommandState state(info.wID, menu, static_cast<UINT>(i));
    RouteUpdate(state);
  }
}

bool FrameWindow::PreTranslate(MSG& msg) {
  return activeView_ && activeView_->hwnd() && activeView_->PreTranslate(msg);
}

std::wstring FrameWindow::CommandText(UINT id, bool toolTip) const {
  std::wstring s = LoadStr(id, res_);
  if (s.empty() && res_ != ::GetModuleHandleW(nullptr)) s = LoadStr(id, ::GetModuleHandleW(nullptr));
  size_t nl = s.find(L'\n');
  if (toolTip) return nl == std::wstring::npos ? std::wstring() : s.substr(nl + 1);
  return nl == std::wstring::npos ? s : s.substr(0, nl);
}

LRESULT FrameWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      LRESULT r = Default(msg, wp, lp);
      if (r == -1 || OnCreate() == -1) return -1;
      RECT rc;
      ::GetClientRect(hwnd(), &rc);
      if (!OnCreateClient(rc, ctx_)) return -1;
      return 0;
    }
    case WM_SIZE:
      Default(msg, wp, lp);
      if (wp != SIZE_MINIMIZED) RecalcLayout();
      return 0;
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lp);
      if (from == nullptr || (toolBar_ && from == toolBar_->hwnd())) {
        bool handled = RouteCommand(LOWORD(wp));
        UpdateToolBarStates();
        if (handled) return 0;
      } else if (::GetParent(from) == hwnd()) {
        return ::SendMessageW(from, kReflectedCommand, wp, lp);
      }
      break;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->code == TTN_GETDISPINFOW) {
        // Tool tips of the tool bar's buttons: the text after the prompt.
        static std::wstring tip;
        auto* di = reinterpret_cast<NMTTDISPINFOW*>(lp);
        tip = CommandText(static_cast<UINT>(hdr->idFrom), true);
        di->lpszText = const_cast<wchar_t*>(tip.c_str());
        return 0;
      }
      if (hdr->hwndFrom && ::GetParent(hdr->hwndFrom) == hwnd() && (!toolBar_ || hdr->hwndFrom != toolBar_->hwnd()))
        return ::SendMessageW(hdr->hwndFrom, kReflectedNotify, wp, lp);
      break;
    }
    case WM_INITMENUPOPUP:
      if (!HIWORD(lp)) UpdateMenu(reinterpret_cast<HMENU>(wp));
      break;
    case WM_MENUSELECT: {
      UINT flags = HIWORD(wp);
      if (flags == 0xFFFF && lp == 0) {
        ShowStatusText(CommandText(kIdleMessageId, false));
      } else if (!(flags & (MF_POPUP | MF_SEPARATOR))) {
        ShowStatusText(CommandText(LOWORD(wp), false));
      } else {
        ShowStatusText(L"");
      }
      return 0;
    }
    default:
      break;
  }
  return Default(msg, wp, lp);
}

// ---- SingleDocTemplate

SingleDocTemplate::~SingleDocTemplate() {
  frame_.reset();
  document_.reset();
}

FrameWindow* SingleDocTemplate::OpenNewDocument(HINSTANCE res, const wchar_t* title, DWORD style, int show) {
  document_ = newDocument_ ? newDocument_() : nullptr;
  if (!document_ || !document_->OnNewDocument()) {
    document_.reset();
    return nullptr;
  }
  frame_ = newFrame_ ? newFrame_() : nullptr;
  CreateContext ctx{document_.get(), newView_};
  if (!frame_ || !frame_->LoadFrame(resourceId_, res, title, style, &ctx)) {
    frame_.reset();
    return nullptr;
  }
  frame_->InitialUpdateViews();
  frame_->ActivateFrame(show);
  return frame_.get();
}

}  // namespace appkit
