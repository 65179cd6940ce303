#include "tools_options.h"

#include "appkit/profile.h"

void CToolsOptions::Load(const appkit::Profile& profile) {
  unsigned options = static_cast<unsigned>(profile.GetInt(L"Options", static_cast<int>(kDefaultOptions)));
  for (int bit = 0; bit < kBits; ++bit) switches_[bit] = (options >> bit) & 1u;
}

unsigned CToolsOptions::Bits() const {
  unsigned v = 0;
  for (int bit = 0; bit < kBits; ++bit)
    if (switches_[bit]) v |= 1u << bit;
  return v;
}
