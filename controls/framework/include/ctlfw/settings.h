// A control's numeric settings: each a 32-bit value under the control's
// settings key, read once at Init with its default and its valid range, and
// written back at Cleanup. The range is checked in one place (the runner's
// reading) on the 32-bit value as stored, taken as signed: 0xFFFFFFFF is -1.
#pragma once
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

namespace ctlfw {

// The values a setting takes and what a value outside them reads as: the
// setting's default, or the nearer bound.
struct SettingRange {
  int lo = INT_MIN;
  int hi = INT_MAX;
  bool toNearerBound = false;
};

// lo..hi; a value outside reads as the setting's default.
constexpr SettingRange InRange(int lo, int hi) { return {lo, hi, false}; }
// lo..hi; a value outside reads as the nearer bound.
constexpr SettingRange ClampedTo(int lo, int hi) { return {lo, hi, true}; }
// A switch: 0 or 1, anything else reads as the default.
constexpr SettingRange kSwitch = InRange(0, 1);

// One setting of the control's profile. Every setting names its range.
struct SettingDef {
  SettingDef(const char* name, DWORD def, SettingRange range, bool writeBack = true)
      : name(name), def(def), range(range), writeBack(writeBack) {}
  const char* name;
  DWORD def;
  SettingRange range;
  // False: read only (or written by the control's own hook).
  bool writeBack;
};

// The value a run uses for `def` when the profile holds `stored` (nullptr:
// no such value, the default).
int SettingValue(const SettingDef& def, const DWORD* stored);

// A control's settings kept as the named fields of a struct of its own: one
// table binds each setting (name, default, range, write-back) to the field
// that holds its value, so a setting's name is written in one place and the
// code reads fields.
template <class Values>
struct FieldSetting {
  int Values::*field;
  SettingDef def;
};

template <class Values>
using FieldTable = std::vector<FieldSetting<Values>>;

// The settings of `table`, in its order.
template <class Values>
std::vector<SettingDef> SettingDefs(const FieldTable<Values>& table) {
  std::vector<SettingDef> defs;
  defs.reserve(table.size());
  for (const FieldSetting<Values>& f : table) defs.push_back(f.def);
  return defs;
}

// The name of the setting held in `field` ("" when the table has none).
template <class Values>
const char* SettingName(const FieldTable<Values>& table, int Values::*field) {
  for (const FieldSetting<Values>& f : table)
    if (f.field == field) return f.def.name;
  return "";
}

}  // namespace ctlfw
