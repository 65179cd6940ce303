// The owner-drawn list boxes of every page of the suite: CInfoListBox shows
// "Label:\tValue" lines with "@1".."@3" headings against up to ten tab stops;
// CTestListBox adds a check picture in front of checkable items and asks its
// parent before an item changes state.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "appkit/window.h"

namespace ctlfw {

// ---- Rules of the lists, as plain functions -------------------------------

constexpr int kMaxTabStops = 10;
constexpr int kDefaultFontHeight = 15;
constexpr int kDefaultFontWeight = 700;

struct ListFontSpec {
  int height = kDefaultFontHeight;
  int weight = kDefaultFontWeight;
  std::wstring face = L"Arial";
};

// Registry values out of range fall back to the defaults.
int ClampRegistryFontHeight(long long value);  // 12..20, else 15
int ClampRegistryFontWeight(long long value);  // 300..800, else 700
// "Font_Height", "Font_Weight", "Font_Type" under HKCU `makerKey`; missing
// values keep the defaults.
ListFontSpec ReadListFontSpec(const std::wstring& makerKey);
// SetListFont's rule: height taken above 7, weight above 200, face when given.
ListFontSpec ApplyListFont(ListFontSpec spec, int height, int weight, const wchar_t* face);

// 1..3 for a line that is longer than 2 characters and starts with "@1",
// "@2" or "@3"; 0 for any other line (drawn as it stands).
int HeadingLevel(const std::wstring& text);
// Item height: the font height, plus 2 for "@1" and 5 for "@2" lines that are
// shorter than 256 characters.
int MeasuredItemHeight(const std::wstring& text, int fontHeight);
// Tab positions in pixels for the first min(10, count) stops (quarters of the
// average character width, truncated).
std::vector<int> TabPixels(const int* stops, int count, int aveCharWidth);
// Lines longer than this are not drawn.
constexpr size_t kMaxDrawnText = 255;

// Check-list item data bits (set by the owner with LB_SETITEMDATA).
constexpr LRESULT kItemCheckable = 0x80;
constexpr LRESULT kItemChecked = 0x01;
constexpr LRESULT kItemDisabled = 0x02;  // cannot be checked
constexpr LRESULT kItemLocked = 0x04;    // cannot be unchecked

enum class CheckState { Plain, CheckedLocked, Checked, UncheckedDisabled, Unchecked };
CheckState CheckStateOf(LRESULT itemData);  // LB_ERR or no 0x80: Plain
struct CheckVisual {
  int bitmapId;          // 0 for a plain line
  const wchar_t* text;   // drawn when the bitmap is missing
  bool grey;             // text colour RGB(128,128,128) instead of black
};
CheckVisual CheckVisualOf(CheckState state);
// What a left click on an item does.
enum class ClickAction { None, Beep, AskUncheck, AskCheck };
ClickAction ClickActionOf(CheckState state);
// Parent notifications of the check list (WM_COMMAND wParam; lParam = -index).
constexpr WPARAM kAskUncheck = 103;
constexpr WPARAM kAskCheck = 104;
// WM_COMMAND wParam that switches a list's default background erasing (lParam).
constexpr WPARAM kSetDefaultErase = 101;

// Text of list item `index` when it holds fewer than `maxChars` characters
// (LB_GETTEXTLEN checked before LB_GETTEXT). False otherwise.
bool ListItemText(HWND list, int index, std::wstring* text, size_t maxChars);
// The same for item `index` of a combo box's list (CB_GETLBTEXTLEN first).
bool ComboItemText(HWND combo, int index, std::wstring* text, size_t maxChars);

// Owner-draw messages (WM_DRAWITEM, WM_MEASUREITEM) that reach a dialog for
// one of these lists go to the list object. True when handled.
bool ReflectOwnerDraw(HWND dialog, UINT msg, WPARAM wp, LPARAM lp);

// ---- The list boxes --------------------------------------------------------

class CInfoListBox : public appkit::Window {
 public:
  // Fonts from HKCU `makerKey` ("Software\Kyt" for the test controls).
  explicit CInfoListBox(const std::wstring& makerKey = L"Software\\Kyt");
  ~CInfoListBox() override;

  // Subclasses dialog item `id` of `dialog` (once).
  bool Attach(HWND dialog, int id);

  BOOL SetTabStops(int count, const int* positions);
  void SetListFont(int height, int weight, const wchar_t* face);

  virtual void DrawItem(const DRAWITEMSTRUCT* dis);
  void MeasureItem(MEASUREITEMSTRUCT* mis);

  int TabCount() const { return tabCount_; }
  const int* TabStops() const { return tabs_; }
  const ListFontSpec& FontSpec() const { return font_; }
  bool DefaultErase() const { return defaultErase_ != 0; }
  HFONT Font(int index) const { return index >= 0 && index < 4 ? fonts_[index] : nullptr; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // Draws one line from x = left + offset; returns the text width.
  int DrawLine(HDC dc, const RECT& item, const std::wstring& text, int offset);
  void CreateFonts();
  void DeleteFonts();

 private:
  void EraseBelowLastItem(HDC dc);

  int defaultErase_ = 1;
  HFONT fonts_[4] = {};
  int tabCount_ = 1;
  int tabs_[kMaxTabStops] = {80};
  ListFontSpec font_;
};

class CTestListBox : public CInfoListBox {
 public:
  // `resources`: the module that holds the state pictures, by default
  // 134..137 (checked, unchecked, unchecked and locked, checked and locked).
  explicit CTestListBox(HINSTANCE resources, const std::wstring& makerKey = L"Software\\Kyt",
                        const UINT pictureIds[4] = nullptr);
  ~CTestListBox() override;

  void DrawItem(const DRAWITEMSTRUCT* dis) override;
  // A click at `pt` (client coordinates), as the left button's release.
  void Click(POINT pt);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HBITMAP BitmapFor(int id) const;
  HBITMAP bitmaps_[4] = {};  // by state: checked and locked, checked, unchecked and locked, unchecked
};

// Copies `cx` x `cy` of `bitmap` to (x, y) of `dc`. False without a bitmap.
BOOL DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int cx, int cy);

}  // namespace ctlfw
