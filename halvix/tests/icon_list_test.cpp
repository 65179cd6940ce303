// The icon list made with a stand-in for the program (ViewContext) and no
// application object: its view commands change the settings it was handed,
// the list's style and its image list; its item places come from the handed
// profile and go back to it when the view goes, or are cleared there when
// the layout changes at the next start.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "appkit/profile.h"
#include "appkit/registry.h"
#include "resource.h"
#include "views.h"

namespace {

const wchar_t kTestKey[] = L"Software\\HalvixTests\\IconList";

class FakeContext : public ViewContext {
 public:
  FakeContext() : profile_(HKEY_CURRENT_USER, kTestKey) {
    large_ = ::ImageList_Create(32, 32, ILC_MASK | ILC_COLOR32, 1, 1);
    small_ = ::ImageList_Create(16, 16, ILC_MASK | ILC_COLOR32, 1, 1);
  }
  ~FakeContext() {
    ::ImageList_Destroy(large_);
    ::ImageList_Destroy(small_);
  }

  halvix::HalvixSettings& settings() override { return settings_; }
  const appkit::Profile& profile() const override { return profile_; }
  HIMAGELIST largeImages() const override { return large_; }
  HIMAGELIST smallImages() const override { return small_; }
  unsigned toolsOptionBits() const override { return 0xFFFFFFFFu; }
  bool commonControlsOk() const override { return true; }
  bool corvithPresent() const override { return true; }
  bool pernathPresent() const override { return true; }
  int itemGroup() const override { return 1; }
  bool layoutChanged() const override { return layoutChanged_; }
  std::wstring Str(UINT id) const override { return L"text " + std::to_wstring(id); }
  int ShowAppMessageText(const std::wstring& text, UINT) override {
    ADD_FAILURE() << "unexpected message box: " << std::string(text.begin(), text.end());
    return IDOK;
  }

  halvix::HalvixSettings settings_;
  bool layoutChanged_ = false;

 private:
  appkit::Profile profile_;
  HIMAGELIST large_ = nullptr, small_ = nullptr;
};

class IconList : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kTestKey);
    parent_ = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    view_.reset();
    if (parent_) ::DestroyWindow(parent_);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kTestKey);
  }
  // The view made and given its first update, as the frame does.
  HWND Make() {
    view_ = std::make_unique<CHalvixView>(context_);
    if (!view_->CreateView(parent_, 1, RECT{0, 0, 600, 400}, nullptr)) return nullptr;
    view_->OnInitialUpdate();
    return view_->hwnd();
  }
  POINT PlaceOf(HWND list, int item) const {
    POINT pt{-1, -1};
    ::SendMessageW(list, LVM_GETITEMPOSITION, item, reinterpret_cast<LPARAM>(&pt));
    return pt;
  }
  int Stored(int slot, bool y) const { return context_.profile().GetInt(halvix::ItemPosValueName(slot, y), -1); }

  FakeContext context_;
  HWND parent_ = nullptr;
  std::unique_ptr<CHalvixView> view_;
};

TEST_F(IconList, ViewCommandsChangeTheHandedSettingsStyleAndImageList) {
  context_.settings_.listControlView = 0;
  context_.settings_.autoArrange = 0;
  HWND list = Make();
  ASSERT_NE(list, nullptr);
  ASSERT_GT(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);

  struct Case {
    UINT command;
    int mode;
    DWORD style;
  };
  const Case cases[] = {{ID_VIEW_SMALL_ICONS, 1, LVS_SMALLICON},
                        {ID_VIEW_LIST, 2, LVS_LIST},
                        {ID_VIEW_DETAILS, 3, LVS_REPORT},
                        {ID_VIEW_LARGE_ICONS, 0, LVS_ICON}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ::SendMessageW(list, WM_COMMAND, c.command, 0);
    EXPECT_EQ(context_.settings_.listControlView, c.mode);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(list, GWL_STYLE)) & LVS_TYPEMASK, c.style);
    if (c.mode == 0)
      EXPECT_EQ(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0),
                reinterpret_cast<LRESULT>(context_.largeImages()));
    else
      EXPECT_EQ(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0),
                reinterpret_cast<LRESULT>(context_.smallImages()));
  }
  // "Auto Arrange" turns the setting and the style on and off again.
  for (int on : {1, 0}) {
    ::SendMessageW(list, WM_COMMAND, ID_AUTO_ARRANGE, 0);
    EXPECT_EQ(context_.settings_.autoArrange, on);
    EXPECT_EQ((::GetWindowLongW(list, GWL_STYLE) & LVS_AUTOARRANGE) != 0, on != 0);
  }
}

TEST_F(IconList, PlacesComeFromTheHandedProfileAndGoBackOrAreClearedAfterALayoutChange) {
  context_.settings_.listControlView = 0;
  context_.settings_.autoArrange = 0;
  ASSERT_TRUE(context_.profile().WriteInt(halvix::ItemPosValueName(0, false), 300));
  ASSERT_TRUE(context_.profile().WriteInt(halvix::ItemPosValueName(0, true), 200));
  for (bool layoutChanged : {false, true}) {
    SCOPED_TRACE(layoutChanged);
    context_.layoutChanged_ = layoutChanged;
    HWND list = Make();
    ASSERT_NE(list, nullptr);
    ASSERT_GT(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(PlaceOf(list, 0).x, 300);
    EXPECT_EQ(PlaceOf(list, 0).y, 200);
    POINT to{120, 140};
    ::SendMessageW(list, LVM_SETITEMPOSITION32, 1, reinterpret_cast<LPARAM>(&to));
    view_->CapturePositions();
    ::DestroyWindow(list);
    view_.reset();
    if (!layoutChanged) {
      EXPECT_EQ(Stored(0, false), 300);
      EXPECT_EQ(Stored(0, true), 200);
      EXPECT_EQ(Stored(1, false), 120);
      EXPECT_EQ(Stored(1, true), 140);
    } else {
      // The next start, in the other layout, uses the default places.
      for (int slot : {0, 1}) {
        EXPECT_EQ(Stored(slot, false), -1);
        EXPECT_EQ(Stored(slot, true), -1);
      }
    }
  }
}

}  // namespace
