// Murrick's runner: the information viewer's values on the test control
// framework's runner: one Information page a category, no Test page.
#pragma once
#include <memory>
#include <vector>

#include "ctlfw/runner.h"

namespace murrick {

// The categories of the viewer's pages, in page order: all sixteen on
// Windows 9x, without PCI (4), PNP (5) and I/O Port (6) on Windows NT.
std::vector<int> ViewerCategories(bool windows9x);
// Icon of a category's page (0 for a category out of range).
unsigned CategoryIconId(int category);
// The list's four tab stops of a category's page.
std::vector<int> CategoryTabStops(int category);
// SetProp "Size" in the viewer: at (2, 2), at least 456 x 236, else 4 less.
ctlfw::SheetRect ViewerSheetRect(int cx, int cy);

}  // namespace murrick

class CMurrickRunner : public ctlfw::TestRunner {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlMurrick; }
  std::wstring MakerKey() const override;
  std::vector<ctlfw::SettingDef> SettingTable() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  int InfoCategory() const override;
  std::vector<int> InfoCategories() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  ctlfw::InfoPageLook InfoLook(int category) const override;
  ctlfw::SheetRect SheetPlacement(int cx, int cy) const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
};
