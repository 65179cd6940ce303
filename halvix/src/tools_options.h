// The tools options: which test items and tools the views and menus offer,
// one switch per bit of the setting "Options". Loaded at start and after a
// reset. The dialog that edits them comes with the main frame's menus; until
// then only the switches are kept.
#pragma once
#include <bitset>

namespace appkit {
class Profile;
}

class CToolsOptions {
 public:
  static constexpr unsigned kDefaultOptions = 0xFFFDFFFFu;  // all but the I/O port test
  static constexpr int kBits = 29;

  void Load(const appkit::Profile& profile);
  bool IsOn(int bit) const { return bit >= 0 && bit < kBits && switches_[bit]; }
  unsigned Bits() const;

 private:
  std::bitset<kBits> switches_;
};
