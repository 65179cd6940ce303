// The hidden server window: finds no one, is found by its title, takes
// category requests and window commands on "kyt_quorrel_msg", answers the
// self-test message "kyt_quorrel_msg2", and starts one worker per request.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "dmisheet.h"
#include "system.h"

namespace quorrel {

class CTest;
class CIni;

class CQuorrelServerDlg : public appkit::Dialog {
 public:
  // `system`: the run-time bindings handed to every collection; `closed`:
  // called once the window has closed, however it was closed.
  CQuorrelServerDlg(HINSTANCE resources, const std::wstring& moduleDir, const SystemBindings& system,
                    std::function<void()> closed);
  ~CQuorrelServerDlg() override;

  const std::string& DmiCheckLine() const { return dmiLine_; }
  CDMI* DmiSheet() const { return dmiSheet_.get(); }
  // Workers that have not ended yet (for tests and shut-down).
  size_t RunningWorkers();
  // The information and configuration-file sheets (nullptr when not made).
  CTest* InfoSheet() const { return infoSheet_.get(); }
  CIni* IniSheet() const { return iniSheet_.get(); }

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;
  void OnOK() override {}
  // Reached only through WM_CLOSE: Esc and Enter are swallowed in OnCommand.
  void OnCancel() override { OnClose(); }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void OnClose();
  void HandleRequest(HWND client, uint32_t categoryWord);
  void AdvancePrebuildChain();
  void StartDmiCheck();
  void CreateDmiSheet();
  void ShowDmiSheet();
  void HideDmiSheet();
  void ReapWorkers();
  void JoinWorkers();

  std::wstring moduleDir_;
  SystemBindings system_;
  std::function<void()> closed_;
  int prebuild_[16] = {};
  int prebuildCursor_ = -1;
  std::string dmiLine_;
  UINT monitorMsg_ = 0;
  UINT requestMsg_ = 0;
  UINT selfTestMsg_ = 0;
  HINSTANCE resources_ = nullptr;  // holds the icon
  HICON icon_ = nullptr;
  HANDLE checker_ = nullptr;
  int checkerTicks_ = 0;
  bool closing_ = false;
  std::vector<HANDLE> workers_;
  std::unique_ptr<CDMI> dmiSheet_;
  // Sheets for people, shown and hidden by the window commands.
  void CreateSheets();
  void DestroySheets();
  std::unique_ptr<CTest> infoSheet_;
  std::unique_ptr<CIni> iniSheet_;
};

}  // namespace quorrel
