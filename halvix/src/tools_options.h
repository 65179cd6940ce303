// The tools options: which test items and tools the views and menus offer,
// one switch per bit of the setting "Options". Loaded at start, after a
// reset and by the dialog, always corrected for the system, so nothing
// offers a program this system cannot run whatever "Options" holds; the
// dialog's OK makes its switches the live ones.
#pragma once
#include <bitset>
#include <string>

#include "appkit/dialog.h"

namespace appkit {
class Profile;
}

class CToolsOptions {
 public:
  static constexpr unsigned kDefaultOptions = 0xFFFDFFFFu;  // all but the I/O port test
  static constexpr int kBits = 29;

  // "Options" without the bits of items this system cannot offer.
  void Load(const appkit::Profile& profile);
  bool IsOn(int bit) const { return bit >= 0 && bit < kBits && switches_[bit]; }
  void Set(int bit, bool on) {
    if (bit >= 0 && bit < kBits) switches_[bit] = on;
  }
  unsigned Bits() const;

 private:
  std::bitset<kBits> switches_;
};

// The "Tools Option" dialog over the application's switches. OK writes
// "Options" (and adds or removes the DMI programs); the caller rebuilds its
// views.
class CToolsOptionsDlg : public appkit::Dialog {
 public:
  CToolsOptionsDlg(HINSTANCE res, CToolsOptions& options, const appkit::Profile& profile, std::wstring suiteDir,
                   std::wstring msInfoPath, std::wstring caption);

 protected:
  BOOL OnInit() override;
  void OnOK() override;

 private:
  CToolsOptions& options_;  // the live switches
  CToolsOptions edited_;
  const appkit::Profile& profile_;
  std::wstring suiteDir_, msInfoPath_, caption_;
  bool dmiWasOn_ = false;
};
