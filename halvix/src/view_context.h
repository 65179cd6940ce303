// What the views of the main window ask of the program: its settings, the
// image lists of the test icons, the registry profile, its strings and its
// message box. The application implements it and the frame hands it to the
// views it makes, so that the views know no program-wide object.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "settings.h"

namespace appkit {
class Profile;
}

class ViewContext {
 public:
  // The program's settings (the icon list's view commands change them).
  virtual halvix::HalvixSettings& settings() = 0;
  // Where the icon list keeps its item places.
  virtual const appkit::Profile& profile() const = 0;
  virtual HIMAGELIST largeImages() const = 0;
  virtual HIMAGELIST smallImages() const = 0;
  // The switches of the tools options, one bit per item.
  virtual unsigned toolsOptionBits() const = 0;
  virtual bool commonControlsOk() const = 0;
  virtual bool corvithPresent() const = 0;
  virtual bool pernathPresent() const = 0;
  // The group the icon list shows: 0 tests, 1 shortcuts.
  virtual int itemGroup() const = 0;
  // The layout changes at the next start ("Show Control Panel Style").
  virtual bool layoutChanged() const = 0;
  // A text of the string table: the resource module's, else the program's.
  virtual std::wstring Str(UINT id) const = 0;
  // A message box with no owner and the program's caption.
  virtual int ShowAppMessageText(const std::wstring& text, UINT type) = 0;

 protected:
  ~ViewContext() = default;
};
