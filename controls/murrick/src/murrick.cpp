// Murrick's runner values: the categories, their pages' looks and the
// sheet's placement.
#include "suite/controls.h"
#include "runner.h"

#include "appkit/system.h"
#include "infoclient/infoclient.h"
#include "ctlfw/testpage.h"
#include "murrick_ids.h"
#include "suite/info.h"

namespace murrick {

std::vector<int> ViewerCategories(bool windows9x) {
  std::vector<int> categories;
  for (int c = 0; c < (int)suite::INFO_CATEGORY_COUNT; ++c) {
    bool busOrPorts = c == suite::INFO_PCI || c == suite::INFO_PNP || c == suite::INFO_PORT;
    if (windows9x || !busOrPorts) categories.push_back(c);
  }
  return categories;
}

unsigned CategoryIconId(int category) {
  static const unsigned kIcons[suite::INFO_CATEGORY_COUNT] = {157, 163, 156, 168, 164, 172, 180, 138,
                                                              137, 153, 154, 139, 155, 177, 178, 204};
  return category >= 0 && category < (int)suite::INFO_CATEGORY_COUNT ? kIcons[category] : 0;
}

std::vector<int> CategoryTabStops(int category) { return ctlfw::InfoCategoryTabStops(category); }

ctlfw::SheetRect ViewerSheetRect(int cx, int cy) {
  return ctlfw::SheetRect{2, 2, cx < 460 ? 456 : cx - 4, cy < 240 ? 236 : cy - 4};
}

}  // namespace murrick

// The viewer keeps no settings of its own; its lists take the suite's fonts
// from the maker's key.
std::wstring CMurrickRunner::MakerKey() const { return L"Software\\Qev"; }
std::vector<ctlfw::SettingDef> CMurrickRunner::SettingTable() const { return {}; }
ctlfw::RunnerResourceIds CMurrickRunner::ResourceIds() const {
  return {IDS_MURRICK_TITLE, IDS_MURRICK_TITLE, IDI_MURRICK_SHEET, IDS_MURRICK_TEXT_BASE};
}
int CMurrickRunner::InfoCategory() const { return suite::INFO_SUMMARY; }

std::vector<int> CMurrickRunner::InfoCategories() const { return murrick::ViewerCategories(appkit::IsWindows9x()); }

ctlfw::InfoPageStyle CMurrickRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.lastUpdatedId = IDS_MURRICK_LAST_UPDATED;
  // As long as the server's writers wait for it.
  style.readerMutexWaitMs = 15000;
  style.clearWhenLeft = true;
  return style;
}

ctlfw::InfoPageLook CMurrickRunner::InfoLook(int category) const {
  return {murrick::CategoryIconId(category), IDS_MURRICK_TEXT_BASE + (UINT)category,
          IDS_MURRICK_TAB_BASE + (UINT)category, murrick::CategoryTabStops(category)};
}

ctlfw::SheetRect CMurrickRunner::SheetPlacement(int cx, int cy) const { return murrick::ViewerSheetRect(cx, cy); }

std::unique_ptr<ctlfw::TestPage> CMurrickRunner::CreateTestPage() { return nullptr; }
