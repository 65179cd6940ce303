#include "views.h"

#include <windowsx.h>

#include "appkit/profile.h"
#include "appkit/registry.h"
#include "appkit/splitter.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "frame_rules.h"
#include "logo_text.h"
#include "resource.h"
#include "views_res.h"

namespace {

// The top-level window that holds `view`.
HWND MainWindow(HWND view) { return view ? ::GetAncestor(view, GA_ROOT) : nullptr; }

halvix::ItemPlatform Platform(const ViewContext& context) {
  halvix::ItemPlatform p;
  p.windows9x = appkit::IsWindows9x();
  p.ntMajor = static_cast<int>(::GetVersion() & 0xFF);
  p.corvithFound = context.corvithPresent();
  p.pernathFound = context.pernathPresent();
  return p;
}

// The refusal while a test runs in the module view; true when refused.
// While a box or dialog is up over the hosted control the change waits
// without a word: the control lives under that box.
bool RefuseWhileTestRuns(HWND view, ViewContext& context) {
  ViewFrame* f = FrameOf(view);
  if (!f) return false;
  if (f->IsHostedControlHeld()) return true;
  if (!f->IsHostedTestRunning()) return false;
  context.ShowAppMessageText(context.Str(IDS_TEST_MODULE_RUNNING), MB_OK);
  return true;
}

void FillRectWith(HDC dc, const RECT& rc, HBRUSH brush) { ::FillRect(dc, &rc, brush); }

}  // namespace

// ---- icon list

CHalvixView::CHalvixView(ViewContext& context) : context_(context) {}

CHalvixView::~CHalvixView() { EndDragImage(); }

bool CHalvixView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  // The image lists belong to the application.
  return CreateControlView(WC_LISTVIEWW,
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_ICON | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, 0,
                           parent, id, rc, doc);
}

void CHalvixView::OnInitialUpdate() {
  LVCOLUMNW col{};
  col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  col.fmt = LVCFMT_CENTER;
  col.cx = 150;
  col.pszText = const_cast<wchar_t*>(L"Name");
  col.iSubItem = 0;
  Send(LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
  col.fmt = LVCFMT_LEFT;
  col.cx = 400;
  col.pszText = const_cast<wchar_t*>(L"Description");
  col.iSubItem = 1;
  Send(LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&col));
  ApplyViewMode();
  BuildItems();
  const int mode = context_.settings().listControlView;
  if (mode == 0 || mode == 1) {
    LoadPositions();
    ApplyPositions();
    // Some list controls lay out their icons afresh at their first paint;
    // the saved places are given again after it.
    applyAfterPaint_ = true;
  }
}

void CHalvixView::ApplyViewMode() {
  const halvix::HalvixSettings& s = context_.settings();
  const int mode = s.listControlView;
  if (mode == 0)
    Send(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(context_.largeImages()));
  else
    Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(context_.smallImages()));
  static const DWORD kViews[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  LONG style = ::GetWindowLongW(hwnd(), GWL_STYLE);
  style &= ~(LVS_TYPEMASK | LVS_AUTOARRANGE);
  style |= (mode >= 0 && mode <= 3) ? kViews[mode] : LVS_ICON;
  if (s.autoArrange) style |= LVS_AUTOARRANGE;
  ::SetWindowLongW(hwnd(), GWL_STYLE, style);
  if (s.autoArrange) Send(LVM_ARRANGE, LVA_DEFAULT);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CHalvixView::BuildItems() {
  Send(LVM_DELETEALLITEMS);
  halvix::ItemView view;
  view.controlPanel = context_.settings().ControlPanelLayout();
  view.group = context_.itemGroup();
  halvix::ListBuild build = halvix::BuildListItems(context_.toolsOptionBits(), Platform(context_), view);
  for (const halvix::ListEntry& e : build.entries) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = e.index;
    item.pszText = const_cast<wchar_t*>(e.item->name);
    item.iImage = e.image;
    item.lParam = e.command;
    int at = static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) continue;
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<wchar_t*>(e.item->description);
    Send(LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
  }
  if (HMENU menu = MainWindow(hwnd()) ? ::GetMenu(MainWindow(hwnd())) : nullptr) {
    for (const halvix::MenuState& m : build.menu)
      ::EnableMenuItem(menu, static_cast<UINT>(m.command), MF_BYCOMMAND | (m.enabled ? MF_ENABLED : MF_GRAYED));
  }
}

void CHalvixView::LoadPositions() {
  const appkit::Profile& profile = context_.profile();
  for (int n = 0; n < halvix::kPositionSlots; ++n) {
    positions_[n].x = profile.GetInt(halvix::ItemPosValueName(n, false), -1);
    positions_[n].y = profile.GetInt(halvix::ItemPosValueName(n, true), -1);
  }
}

void CHalvixView::ApplyPositions() {
  const int count = static_cast<int>(Send(LVM_GETITEMCOUNT));
  for (int n = 0; n < count && n < halvix::kPositionSlots; ++n) {
    if (!positions_[n].Valid()) continue;
    POINT pt{positions_[n].x, positions_[n].y};
    Send(LVM_SETITEMPOSITION32, n, reinterpret_cast<LPARAM>(&pt));
  }
}

void CHalvixView::CapturePositions() {
  if (!hwnd()) return;
  const int count = static_cast<int>(Send(LVM_GETITEMCOUNT));
  for (int n = 0; n < count && n < halvix::kPositionSlots; ++n) {
    POINT pt{};
    if (Send(LVM_GETITEMPOSITION, n, reinterpret_cast<LPARAM>(&pt))) positions_[n] = {pt.x, pt.y};
  }
}

void CHalvixView::SavePositions() {
  const int mode = context_.settings().listControlView;
  if (mode != 0 && mode != 1) return;
  const appkit::Profile& profile = context_.profile();
  if (context_.layoutChanged()) {
    // The next start (in the other layout) uses the default places.
    appkit::RegKey key;
    if (!key.Open(profile.root(), profile.keyPath(), KEY_SET_VALUE)) return;
    for (int n = 0; n < halvix::kPositionSlots; ++n) {
      ::RegDeleteValueW(key.get(), halvix::ItemPosValueName(n, false).c_str());
      ::RegDeleteValueW(key.get(), halvix::ItemPosValueName(n, true).c_str());
    }
    return;
  }
  for (int n = 0; n < halvix::kPositionSlots; ++n) {
    if (!positions_[n].Valid()) continue;
    profile.WriteInt(halvix::ItemPosValueName(n, false), positions_[n].x);
    profile.WriteInt(halvix::ItemPosValueName(n, true), positions_[n].y);
  }
}

bool CHalvixView::OnCommand(UINT id) {
  halvix::HalvixSettings& s = context_.settings();
  switch (id) {
    case ID_AUTO_ARRANGE:
      s.autoArrange = s.autoArrange ? 0 : 1;
      ApplyViewMode();
      return true;
    case ID_VIEW_LARGE_ICONS:
    case ID_VIEW_SMALL_ICONS:
      s.listControlView = id == ID_VIEW_LARGE_ICONS ? 0 : 1;
      ApplyViewMode();
      CapturePositions();
      return true;
    case ID_VIEW_LIST:
    case ID_VIEW_DETAILS:
      s.listControlView = id == ID_VIEW_LIST ? 2 : 3;
      ApplyViewMode();
      return true;
    default:
      return false;
  }
}

void CHalvixView::OpenFocusedItem() {
  int item = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
  if (item < 0) return;
  LVITEMW it{};
  it.mask = LVIF_PARAM;
  it.iItem = item;
  if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return;
  if (HWND main = MainWindow(hwnd())) ::PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(it.lParam), 0);
}

void CHalvixView::OnItemChanged(const NMLISTVIEW* nm) {
  if (!(nm->uChanged & LVIF_STATE) || !(nm->uNewState & LVIS_SELECTED)) return;
  ViewFrame* f = FrameOf(hwnd());
  if (!f) return;
  const int command = static_cast<int>(nm->lParam);
  f->SetStatusText(halvix::StatusTextOf(command, appkit::IsWindows9x()));
  f->ShowHelpPage(command);
}

bool CHalvixView::InsideWindow(POINT client) const {
  RECT window;
  ::GetWindowRect(hwnd(), &window);
  POINT screen = client;
  ::ClientToScreen(hwnd(), &screen);
  return ::PtInRect(&window, screen) != FALSE;
}

void CHalvixView::EndDragImage() {
  if (!dragImage_) return;
  ::ImageList_DragLeave(hwnd());
  ::ImageList_EndDrag();
  ::ImageList_Destroy(dragImage_);
  dragImage_ = nullptr;
}

void CHalvixView::OnButtonDown(POINT pt) {
  press_ = pt;
  last_ = pt;
  EndDragImage();
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED;
  clear.state = 0;
  Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  LVHITTESTINFO hit{};
  hit.pt = pt;
  hitItem_ = static_cast<int>(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  offset_ = POINT{0, 0};
  if (hitItem_ >= 0) {
    POINT at{};
    if (Send(LVM_GETITEMPOSITION, hitItem_, reinterpret_cast<LPARAM>(&at))) offset_ = POINT{pt.x - at.x, pt.y - at.y};
  }
}

void CHalvixView::OnMouseMove(WPARAM flags, POINT pt) {
  const bool down = (flags & MK_LBUTTON) != 0;
  if (buttonHeld_ && !down) {
    ::ReleaseCapture();
    buttonHeld_ = false;
  }
  if (down && buttonHeld_ && hitItem_ >= 0) {
    if (dragImage_) {
      ::ImageList_DragMove(pt.x, pt.y);
    } else {
      POINT origin{};
      dragImage_ = reinterpret_cast<HIMAGELIST>(Send(LVM_CREATEDRAGIMAGE, hitItem_, reinterpret_cast<LPARAM>(&origin)));
      if (dragImage_) {
        ::ImageList_BeginDrag(dragImage_, 0, press_.x - origin.x - ::GetSystemMetrics(SM_CXBORDER),
                              press_.y - origin.y - ::GetSystemMetrics(SM_CYBORDER));
        ::ImageList_DragEnter(hwnd(), pt.x, pt.y);
      }
    }
    last_ = pt;
  }
  ::SetCursor(::LoadCursorW(nullptr, (InsideWindow(pt) || !buttonHeld_) ? IDC_ARROW : IDC_NO));
}

void CHalvixView::OnButtonUp(POINT pt) {
  ::ReleaseCapture();
  buttonHeld_ = false;
  const bool dragged = dragImage_ != nullptr;
  EndDragImage();
  if (dragged && hitItem_ >= 0 && InsideWindow(pt) &&
      halvix::DragMoves(press_.x, press_.y, last_.x, last_.y, context_.settings().dragMin)) {
    POINT to{last_.x - offset_.x - ::GetSystemMetrics(SM_CXBORDER), last_.y - offset_.y - ::GetSystemMetrics(SM_CYBORDER)};
    Send(LVM_SETITEMPOSITION32, hitItem_, reinterpret_cast<LPARAM>(&to));
  }
}

LRESULT CHalvixView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case halvix::WM_REFRESHITEMS:
      BuildItems();
      return 1;
    case WM_COMMAND:
      if (lp == 0 && OnCommand(LOWORD(wp))) return 0;
      break;
    case appkit::kReflectedNotify: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->code == NM_DBLCLK) OpenFocusedItem();
      else if (hdr->code == LVN_ITEMCHANGED) OnItemChanged(reinterpret_cast<NMLISTVIEW*>(lp));
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == VK_RETURN) OpenFocusedItem();
      break;
    case WM_LBUTTONDOWN: {
      OnButtonDown(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      LRESULT r = appkit::View::WndProc(msg, wp, lp);
      ::SetCapture(hwnd());
      buttonHeld_ = true;
      return r;
    }
    case WM_MOUSEMOVE:
      OnMouseMove(wp, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      break;
    case WM_LBUTTONUP:
      OnButtonUp(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      break;
    case WM_PAINT: {
      LRESULT r = appkit::View::WndProc(msg, wp, lp);
      if (applyAfterPaint_) {
        applyAfterPaint_ = false;
        ApplyPositions();
      }
      return r;
    }
    case WM_DESTROY:
      EndDragImage();
      SavePositions();
      break;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

bool CPlainListView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  return CreateControlView(WC_LISTVIEWW, WS_CHILD | WS_VISIBLE | LVS_ICON, 0, parent, id, rc, doc);
}

// ---- tree

CMyTreeView::CMyTreeView(ViewContext& context) : context_(context) {}

bool CMyTreeView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  return CreateControlView(WC_TREEVIEWW, WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_SHOWSELALWAYS, 0,
                           parent, id, rc, doc);
}

void CMyTreeView::OnInitialUpdate() {
  Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(context_.smallImages()));
  Build();
  Send(halvix::WM_SELECTTEST, halvix::kPageTests);
}

LPARAM CMyTreeView::DataOf(HTREEITEM item) const {
  TVITEMW it{};
  it.mask = TVIF_PARAM | TVIF_HANDLE;
  it.hItem = item;
  return Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)) ? it.lParam : 0;
}

void CMyTreeView::Build() {
  building_ = true;
  Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  auto insert = [this](HTREEITEM parent, const wchar_t* caption, int image, LPARAM data) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<wchar_t*>(caption);
    ins.item.iImage = ins.item.iSelectedImage = image;
    ins.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  };
  HTREEITEM root = insert(TVI_ROOT, L"Qev", 0, halvix::kPageTests);
  if (root) {
    for (const halvix::NodeEntry& n : halvix::TreeNodes(context_.toolsOptionBits()))
      insert(root, n.caption, n.image, n.command);
    insert(root, L"Shortcuts", 1, halvix::kPageShortcuts);
    Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  }
  building_ = false;
  if (!root) return;
  if (lastData_ != 0 && lastData_ != halvix::kPageTests) {
    for (HTREEITEM c = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
         c; c = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
      if (DataOf(c) == lastData_) {
        Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(c));
        return;
      }
    }
    return;  // the node is gone: nothing is selected
  }
  Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
}

void CMyTreeView::SelectByCommand(int command) {
  HTREEITEM root = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_ROOT, 0));
  if (!root) return;
  if (DataOf(root) == command) {
    Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
    return;
  }
  for (HTREEITEM c = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
       c; c = reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
    if (DataOf(c) == command) {
      Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(c));
      return;
    }
  }
}

void CMyTreeView::OnSelChanged(const NMTREEVIEWW* nm) {
  if (building_) return;
  HTREEITEM node = nm->itemNew.hItem;
  if (!node) return;
  wchar_t caption[256] = {};
  TVITEMW it{};
  it.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM;
  it.hItem = node;
  it.pszText = caption;
  it.cchTextMax = 256;
  const bool read = Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)) != 0;
  const LPARAM data = read ? it.lParam : nm->itemNew.lParam;
  if (data) lastData_ = data;
  ViewFrame* f = FrameOf(hwnd());
  if (read && f) {
    if (CMyTitleView* title = f->titleView(); title && title->hwnd()) {
      HICON icon = ::ImageList_GetIcon(context_.smallImages(), it.iImage, ILD_NORMAL);
      title->SetCaption(caption);
      title->SetIcon(icon);
      ::InvalidateRect(title->hwnd(), nullptr, TRUE);
      ::UpdateWindow(title->hwnd());
    }
  }
  if (HWND main = MainWindow(hwnd())) ::SendMessageW(main, halvix::WM_SELECTPAGE, static_cast<WPARAM>(data), 0);
}

LRESULT CMyTreeView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case halvix::WM_SELECTTEST:
      SelectByCommand(static_cast<int>(wp));
      return 0;
    case halvix::WM_REFRESHITEMS:
      Build();
      return 0;
    case WM_CHAR:
      if (wp == L'\t') {
        // The focus goes to the first pane of the outer splitter.
        ViewFrame* f = FrameOf(hwnd());
        HWND outer = f ? f->PaneHost() : nullptr;
        if (HWND first = outer ? ::GetDlgItem(outer, static_cast<int>(appkit::kFirstPaneId)) : nullptr)
          ::SetFocus(first);
        return 0;
      }
      break;
    case appkit::kReflectedNotify: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->code == TVN_SELCHANGINGW || hdr->code == TVN_SELCHANGINGA) {
        if (building_) return 0;
        return RefuseWhileTestRuns(hwnd(), context_) ? 1 : 0;
      }
      if (hdr->code == TVN_SELCHANGEDW || hdr->code == TVN_SELCHANGEDA) {
        OnSelChanged(reinterpret_cast<NMTREEVIEWW*>(lp));
        return 0;
      }
      return 0;
    }
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- title strip

CMyTitleView::~CMyTitleView() {
  if (icon_) ::DestroyIcon(icon_);
  if (font_) ::DeleteObject(font_);
}

bool CMyTitleView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  if (!appkit::View::CreateView(parent, id, rc, doc)) return false;
  HDC dc = ::GetDC(hwnd());
  const int height = -::MulDiv(12, dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96, 72);
  if (dc) ::ReleaseDC(hwnd(), dc);
  font_ = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
  return true;
}

void CMyTitleView::SetCaption(const std::wstring& caption) {
  caption_ = caption;
  // Also the window's text, so that it can be read back.
  if (hwnd()) ::SetWindowTextW(hwnd(), caption_.c_str());
}

void CMyTitleView::SetIcon(HICON icon) {
  if (!icon) return;
  if (icon_) ::DestroyIcon(icon_);
  icon_ = icon;
}

LRESULT CMyTitleView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    HDC dc = reinterpret_cast<HDC>(wp);
    RECT clip;
    ::GetClipBox(dc, &clip);
    HBRUSH grey = ::CreateSolidBrush(RGB(128, 128, 128));
    FillRectWith(dc, clip, grey);
    ::DeleteObject(grey);
    RECT client;
    ::GetClientRect(hwnd(), &client);
    if (!caption_.empty()) {
      HGDIOBJ old = font_ ? ::SelectObject(dc, font_) : nullptr;
      ::SetTextColor(dc, RGB(255, 255, 255));
      ::SetBkMode(dc, TRANSPARENT);
      ::TextOutW(dc, 5, 0, caption_.c_str(), static_cast<int>(caption_.size()));
      if (old) ::SelectObject(dc, old);
    }
    if (icon_)
      ::DrawIconEx(dc, client.right - 20, halvix::TitleIconTop(client.bottom), icon_, 16, 16, 0, nullptr, DI_NORMAL);
    return 1;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- toolbar strip

CToolbarView::CToolbarView(ViewContext& context) : context_(context) {}

CToolbarView::~CToolbarView() {
  if (grey_) ::DeleteObject(grey_);
  if (hot_) ::DeleteObject(hot_);
}

bool CToolbarView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  if (!appkit::View::CreateView(parent, id, rc, doc)) return false;
  grey_ = ::CreateSolidBrush(RGB(128, 128, 128));
  hot_ = ::CreateSolidBrush(RGB(192, 192, 192));
  if (!context_.commonControlsOk()) {
    Destroy();
    return false;
  }
  RECT client;
  ::GetClientRect(hwnd(), &client);
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  pager_ = ::CreateWindowExW(0, WC_PAGESCROLLERW, L"Pager Control",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | PGS_VERT, 0, 0, client.right,
                             client.bottom, hwnd(), nullptr, inst, nullptr);
  if (!pager_) {
    context_.ShowAppMessageText(context_.Str(IDS_PAGER_FAILED), MB_OK);
    Destroy();
    return false;
  }
  toolbar_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"Toolbar Control",
                               WS_CHILD | TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE, 0, 0, 0, 0,
                               hwnd(), nullptr, inst, nullptr);
  if (!toolbar_) {
    context_.ShowAppMessageText(context_.Str(IDS_TOOLBAR_FAILED), MB_OK);
    Destroy();
    return false;
  }
  ::SetParent(toolbar_, pager_);
  ::SendMessageW(pager_, PGM_SETCHILD, 0, reinterpret_cast<LPARAM>(toolbar_));
  ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  ::SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(32, 32));
  ::SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(64, 96));
  ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(context_.largeImages()));
  ::SendMessageW(toolbar_, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(context_.largeImages()));
  ::SendMessageW(toolbar_, TB_SETINDENT, 0, 0);
  ::SendMessageW(toolbar_, TB_SETPADDING, 0, MAKELPARAM(5, 5));
  ::SendMessageW(toolbar_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(64, 64));
  ::SendMessageW(toolbar_, TB_SETMAXTEXTROWS, 2, 0);
  BuildButtons();
  ::ShowWindow(toolbar_, SW_SHOW);
  return true;
}

void CToolbarView::BuildButtons() {
  if (!toolbar_) return;
  while (::SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0) > 0) ::SendMessageW(toolbar_, TB_DELETEBUTTON, 0, 0);
  const unsigned options = context_.toolsOptionBits();
  if (!stringsAdded_) {
    // Every candidate's caption once, so that each button keeps its own
    // name whichever items are hidden later.
    for (const halvix::NodeEntry& n : halvix::ToolbarButtons(0xFFFFFFFFu)) {
      std::wstring s = n.caption;
      s.push_back(L'\0');
      s.push_back(L'\0');
      LRESULT at = ::SendMessageW(toolbar_, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(s.c_str()));
      if (at >= 0) stringIndex_.push_back({n.command, static_cast<int>(at)});
    }
    stringsAdded_ = true;
  }
  std::vector<TBBUTTON> buttons;
  for (const halvix::NodeEntry& n : halvix::ToolbarButtons(options)) {
    TBBUTTON b{};
    b.iBitmap = n.image;
    b.idCommand = n.command;
    b.fsState = TBSTATE_ENABLED | TBSTATE_WRAP;
    b.fsStyle = BTNS_BUTTON;
    b.iString = -1;
    for (const auto& [command, index] : stringIndex_)
      if (command == n.command) b.iString = index;
    buttons.push_back(b);
  }
  ::SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  if (pager_) ::PostMessageW(pager_, PGM_RECALCSIZE, 0, 0);
}

LRESULT CToolbarView::OnPagerNotify(NMHDR* hdr) {
  if (hdr->code == PGN_CALCSIZE) {
    auto* calc = reinterpret_cast<NMPGCALCSIZE*>(hdr);
    SIZE max{};
    if (toolbar_ && ::IsWindow(toolbar_)) {
      ::SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&max));
      if (calc->dwFlag == PGF_CALCWIDTH) calc->iWidth = max.cx;
      else if (calc->dwFlag == PGF_CALCHEIGHT) calc->iHeight = max.cy;
    }
    return 0;
  }
  if (hdr->code == PGN_SCROLL) {
    auto* scroll = reinterpret_cast<NMPGSCROLL*>(hdr);
    RECT rc;
    ::GetClientRect(pager_, &rc);
    if (scroll->iDir == PGF_SCROLLUP || scroll->iDir == PGF_SCROLLDOWN)
      scroll->iScroll = rc.bottom / 10;
    else
      scroll->iScroll = rc.right / 10;
    return 0;
  }
  return appkit::View::WndProc(WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr));
}

LRESULT CToolbarView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr && hdr->hwndFrom == pager_) return OnPagerNotify(hdr);
      break;
    }
    case WM_COMMAND:
      if (toolbar_ && reinterpret_cast<HWND>(lp) == toolbar_) {
        if (RefuseWhileTestRuns(hwnd(), context_)) return 0;
        // The frame takes it as it takes a menu command.
        if (HWND main = MainWindow(hwnd())) ::PostMessageW(main, WM_COMMAND, wp, 0);
        return 0;
      }
      break;
    case halvix::WM_REFRESHITEMS:
      BuildButtons();
      return 1;
    case WM_SIZE:
      if (pager_) ::MoveWindow(pager_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      break;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wp);
      RECT client;
      ::GetClientRect(hwnd(), &client);
      FillRectWith(dc, client, grey_ ? grey_ : static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
      int hot = toolbar_ ? static_cast<int>(::SendMessageW(toolbar_, TB_GETHOTITEM, 0, 0)) : -1;
      RECT b{};
      if (hot >= 0 && ::SendMessageW(toolbar_, TB_GETITEMRECT, hot, reinterpret_cast<LPARAM>(&b))) {
        ::MapWindowPoints(toolbar_, hwnd(), reinterpret_cast<POINT*>(&b), 2);
        FillRectWith(dc, b, hot_ ? hot_ : static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
      }
      return 1;
    }
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- logo pane

void CLogoView::OnInitialUpdate() {
  if (ViewFrame* f = FrameOf(hwnd())) f->ShowHelpPage(halvix::kPageTests);
}

LRESULT CLogoView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case halvix::WM_SHOWPAGETEXT: {
      text_.clear();
      std::vector<std::string> lines;
      if (wp && halvix::ReadTextLines(reinterpret_cast<const wchar_t*>(wp), &lines))
        text_ = appkit::Widen(halvix::ExtractLogoText(lines));
      // The text is also the window's text, so that it can be read back.
      ::SetWindowTextW(hwnd(), text_.c_str());
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      ::UpdateWindow(hwnd());
      return 1;
    }
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wp);
      RECT clip;
      ::GetClipBox(dc, &clip);
      FillRectWith(dc, clip, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd(), &ps);
      HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
      RECT client;
      ::GetClientRect(hwnd(), &client);
      ::SetBkMode(dc, TRANSPARENT);
      ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &client, DT_WORDBREAK);
      ::SelectObject(dc, old);
      ::EndPaint(hwnd(), &ps);
      return 0;
    }
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- module view

bool CModuleView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  if (!appkit::View::CreateView(parent, id, rc, doc)) return false;
  host_ = std::make_unique<hosting::ModuleViewHost>(hwnd());
  return true;
}

void CModuleView::CreateTestControl(const std::string& name, const std::string& switches) {
  if (host_) host_->CreateTestControl(name, switches);
}

void CModuleView::CloseTestControl() {
  if (host_) host_->CloseTestControl();
}

void CModuleView::StopTest() {
  if (host_) host_->StopTest();
}

bool CModuleView::HasTestControl() const { return host_ && host_->HasTestControl(); }

bool CModuleView::IsTestRunning() { return host_ && host_->IsTestRunning(); }

bool CModuleView::PreTranslate(MSG& msg) { return host_ && host_->PreTranslate(msg); }

LRESULT CModuleView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT r = appkit::View::WndProc(msg, wp, lp);
      if (host_) host_->OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));
      return r;
    }
    case WM_DESTROY:
      // The control goes before the view (a running test is aborted).
      CloseTestControl();
      break;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

ViewFrame* FrameOf(HWND view) {
  appkit::Window* top = appkit::Window::FromHandle(MainWindow(view));
  return dynamic_cast<ViewFrame*>(top);
}
