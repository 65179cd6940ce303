// The link from a window handle to its object: each kind keeps its own
// object, windows and dialogs are linked before the first message they
// handle and unlinked when their handle goes, and a window object may
// subclass a dialog's window without either losing its object, and windows
// made while another is being made find their own objects.
#include <gtest/gtest.h>

#include <vector>

#include "appkit/binding.h"
#include "appkit/dialog.h"
#include "appkit/window.h"

namespace {

constexpr UINT kProbe = WM_USER + 17;

// A captionless popup dialog template with the dialog font, built in memory.
std::vector<WORD> DialogTemplate() {
  DLGTEMPLATE head{};
  head.style = WS_POPUP | DS_SETFONT;
  head.cx = 100;
  head.cy = 60;
  const WORD* raw = reinterpret_cast<const WORD*>(&head);
  std::vector<WORD> t(raw, raw + sizeof(head) / sizeof(WORD));
  t.push_back(0);  // no menu
  t.push_back(0);  // the standard dialog class
  t.push_back(0);  // no title
  t.push_back(8);  // point size
  for (const wchar_t* c = L"MS Shell Dlg"; *c; ++c) t.push_back((WORD)*c);
  t.push_back(0);
  return t;
}

class ProbeDialog : public appkit::Dialog {
 public:
  ProbeDialog() : Dialog(0, ::GetModuleHandleW(nullptr)) {}
  bool Create() {
    tmpl_ = DialogTemplate();
    return CreateModelessIndirect(reinterpret_cast<const DLGTEMPLATE*>(tmpl_.data()), nullptr);
  }
  bool fontSeen = false;
  bool boundAtFont = false;
  bool boundAtInit = false;
  bool boundAtDestroy = false;
  int probes = 0;

 protected:
  BOOL OnInit() override {
    boundAtInit = FromHandle(hwnd()) == this;
    return FALSE;
  }
  void OnDestroy() override { boundAtDestroy = FromHandle(hwnd()) == this; }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    if (msg == WM_SETFONT && !fontSeen) {
      fontSeen = true;
      boundAtFont = FromHandle(hwnd()) == this;
    }
    if (msg == kProbe) {
      ++probes;
      *result = 7;
      return true;
    }
    return false;
  }

 private:
  std::vector<WORD> tmpl_;
};

class ProbeWindow : public appkit::Window {
 public:
  bool boundAtNcCreate = false;
  bool boundAtNcDestroy = false;
  bool finalDestroyWithoutHandle = false;
  int probes = 0;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_NCCREATE) boundAtNcCreate = FromHandle(hwnd()) == this;
    if (msg == WM_NCDESTROY) boundAtNcDestroy = FromHandle(hwnd()) == this;
    if (msg == kProbe) ++probes;
    return Window::WndProc(msg, wp, lp);
  }
  void OnFinalDestroy() override { finalDestroyWithoutHandle = hwnd() == nullptr; }
};

HWND PlainWindow() {
  return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(WindowBinding, EachKindKeepsItsOwnObject) {
  HWND h = PlainWindow();
  ASSERT_NE(h, nullptr);
  int window = 0, dialog = 0, control = 0, other = 0;
  EXPECT_TRUE(appkit::BindWindowObject(h, &window, appkit::BoundKind::Window));
  EXPECT_TRUE(appkit::BindWindowObject(h, &dialog, appkit::BoundKind::Dialog));
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Window), &window);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Dialog), &dialog);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Control), nullptr);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Plain), nullptr);

  // A new link replaces the old one of its kind only.
  EXPECT_TRUE(appkit::BindWindowObject(h, &other, appkit::BoundKind::Window));
  EXPECT_TRUE(appkit::BindWindowObject(h, &control, appkit::BoundKind::Control));
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Window), &other);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Dialog), &dialog);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Control), &control);

  appkit::UnbindWindowObject(h, appkit::BoundKind::Window);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Window), nullptr);
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Dialog), &dialog);
  appkit::UnbindWindowObject(h, appkit::BoundKind::Window);  // twice is harmless

  // Nothing links to a null handle or links a null object.
  EXPECT_FALSE(appkit::BindWindowObject(nullptr, &window, appkit::BoundKind::Window));
  EXPECT_FALSE(appkit::BindWindowObject(h, nullptr, appkit::BoundKind::Plain));
  EXPECT_EQ(appkit::BoundObject<int>(h, appkit::BoundKind::Plain), nullptr);
  EXPECT_EQ(appkit::BoundObject<int>(nullptr, appkit::BoundKind::Dialog), nullptr);

  appkit::UnbindWindowObject(h, appkit::BoundKind::Dialog);
  appkit::UnbindWindowObject(h, appkit::BoundKind::Control);
  ::DestroyWindow(h);
}

TEST(WindowBinding, WindowIsLinkedFromCreationToItsLastMessage) {
  ProbeWindow w;
  ASSERT_TRUE(w.Create(L"appkit.BindingProbe", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
  HWND h = w.hwnd();
  EXPECT_TRUE(w.boundAtNcCreate);
  EXPECT_EQ(appkit::Window::FromHandle(h), &w);
  EXPECT_EQ(appkit::Dialog::FromHandle(h), nullptr);
  ::SendMessageW(h, kProbe, 0, 0);
  EXPECT_EQ(w.probes, 1);

  ::DestroyWindow(h);
  EXPECT_TRUE(w.boundAtNcDestroy);
  EXPECT_TRUE(w.finalDestroyWithoutHandle);
  EXPECT_EQ(w.hwnd(), nullptr);
}

TEST(WindowBinding, SubclassedWindowIsLinkedUntilItsLastMessage) {
  HWND h = PlainWindow();
  ASSERT_NE(h, nullptr);
  ProbeWindow w;
  ASSERT_TRUE(w.Subclass(h));
  EXPECT_EQ(appkit::Window::FromHandle(h), &w);
  ProbeWindow second;
  EXPECT_FALSE(second.Subclass(h)) << "one window object per handle";
  ::SendMessageW(h, kProbe, 0, 0);
  EXPECT_EQ(w.probes, 1);
  EXPECT_EQ(second.probes, 0);

  ::DestroyWindow(h);
  EXPECT_TRUE(w.boundAtNcDestroy);
  EXPECT_TRUE(w.finalDestroyWithoutHandle);
  EXPECT_EQ(w.hwnd(), nullptr);
}

TEST(WindowBinding, DialogIsLinkedBeforeInitDialogUntilItGoes) {
  ProbeDialog d;
  ASSERT_TRUE(d.Create());
  HWND h = d.hwnd();
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(d.fontSeen) << "a DS_SETFONT dialog gets WM_SETFONT before WM_INITDIALOG";
  EXPECT_TRUE(d.boundAtFont);
  EXPECT_TRUE(d.boundAtInit);
  EXPECT_EQ(appkit::Dialog::FromHandle(h), &d);
  EXPECT_EQ(appkit::Window::FromHandle(h), nullptr);

  d.Destroy();
  EXPECT_TRUE(d.boundAtDestroy);
  EXPECT_EQ(d.hwnd(), nullptr);
}

TEST(WindowBinding, WindowSubclassingADialogKeepsBothObjects) {
  ProbeDialog d;
  ASSERT_TRUE(d.Create());
  HWND h = d.hwnd();
  ProbeWindow w;
  ASSERT_TRUE(w.Subclass(h));
  EXPECT_EQ(appkit::Dialog::FromHandle(h), &d);
  EXPECT_EQ(appkit::Window::FromHandle(h), &w);

  // The window object sees the message first and passes it to the dialog.
  EXPECT_EQ(::SendMessageW(h, kProbe, 0, 0), 7);
  EXPECT_EQ(w.probes, 1);
  EXPECT_EQ(d.probes, 1);

  d.Destroy();
  EXPECT_TRUE(d.boundAtDestroy);
  EXPECT_TRUE(w.boundAtNcDestroy);
  EXPECT_EQ(d.hwnd(), nullptr);
  EXPECT_EQ(w.hwnd(), nullptr);
}

// A window that makes a dialog and a second window while it is being made:
// each binds to its own object, and a later window still finds its own.
class NestingWindow : public appkit::Window {
 public:
  ProbeDialog inner;
  ProbeWindow innerWindow;
  bool innerMade = false;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_CREATE) {
      innerMade = inner.Create() &&
                  innerWindow.Create(L"appkit.BindingProbe", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
    }
    return Window::WndProc(msg, wp, lp);
  }
};

TEST(WindowBinding, WindowsMadeWhileAnotherIsMadeBindToTheirOwnObjects) {
  NestingWindow outer;
  ASSERT_TRUE(outer.Create(L"appkit.BindingNest", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
  ASSERT_TRUE(outer.innerMade);
  EXPECT_EQ(appkit::Window::FromHandle(outer.hwnd()), &outer);
  EXPECT_EQ(appkit::Dialog::FromHandle(outer.inner.hwnd()), &outer.inner);
  EXPECT_EQ(appkit::Window::FromHandle(outer.innerWindow.hwnd()), &outer.innerWindow);
  EXPECT_TRUE(outer.innerWindow.boundAtNcCreate);
  EXPECT_TRUE(outer.inner.boundAtFont);

  ProbeWindow later;
  ASSERT_TRUE(later.Create(L"appkit.BindingProbe", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr));
  EXPECT_EQ(appkit::Window::FromHandle(later.hwnd()), &later);
  ::SendMessageW(later.hwnd(), kProbe, 0, 0);
  EXPECT_EQ(later.probes, 1);
  EXPECT_EQ(outer.innerWindow.probes, 0);
}
