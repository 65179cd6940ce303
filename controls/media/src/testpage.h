// The media control's Test page and its select-files dialog.
#pragma once
#include <memory>
#include <vector>

#include "appkit/dialog.h"
#include "ctlfw/testpage.h"
#include "mediarun.h"

class CMediaRunner;

namespace media {

std::unique_ptr<ctlfw::TestPage> MakeMediaTestPage(CMediaRunner& runner);

class CSelectFilesDlg : public appkit::Dialog {
 public:
  explicit CSelectFilesDlg(CMediaRunner& runner);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnOK() override;

 private:
  void OnAdd();
  void OnEdit();
  void OnDelete();
  void UpdateExtent();
  bool ChooseFile(UINT filterId, const std::wstring& dir, const std::wstring& name, std::wstring* chosen);
  void Message(UINT id);

  CMediaRunner& runner_;
  std::vector<std::wstring> initial_;  // the lines it opened with
  std::vector<std::wstring> lines_;    // the lines as they stand (the list box shows them)
  bool audio_;
};

}  // namespace media
