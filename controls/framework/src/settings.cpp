#include "ctlfw/settings.h"

namespace ctlfw {

namespace {

bool Inside(const SettingRange& r, int v) { return v >= r.lo && v <= r.hi; }

}  // namespace

int SettingValue(const SettingDef& def, const DWORD* stored) {
  int fallback = (int)def.def;
  if (!stored) return fallback;
  int v = (int)*stored;
  const SettingRange& r = def.range;
  if (Inside(r, v)) return v;
  if (r.toNearerBound) return v < r.lo ? r.lo : r.hi;
  return fallback;
}

}  // namespace ctlfw
