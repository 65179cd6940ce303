// CTestInfo: the Information page (dialog template 102) of a test control's
// sheet: icon 1000, text 1001, Refresh 1016, "Loading..." 1017, progress bar
// 1018, Free Memory 1019 and the information list 1004 (CInfoListBox).
//
// The page's window side lives in testinfo.cpp; its information-server
// client (requests, replies, the reader thread, Free Memory) lives in the
// info*.cpp files of the framework.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "appkit/propsheet.h"
#include "infoclient/infoclient.h"
#include "infoclient/listbox.h"
#include "ctlfw/resource_ids.h"

namespace ctlfw {

class TestRunner;

class CTestInfo : public appkit::SheetPage {
 public:
  // The page of `category` (0..15).
  CTestInfo(TestRunner& runner, int category);
  ~CTestInfo() override;

  TestRunner& Runner() const { return runner_; }
  bool Initialised() const { return initialised_; }
  bool Waiting() const { return waiting_; }
  HWND List() const { return list_.hwnd(); }
  // Category of the control's information file and its full name
  // (information directory + base name + ".IFO").
  int Category() const;
  std::wstring InfoFilePath() const;

  // The sheet closes its pages: no longer initialised, no longer waiting.
  void Close();
  // Fits the tab control, this page, list 1004 and progress bar 1018.
  BOOL ResizeControls();

  // ---- Information-server client (info*.cpp) ------------------------------
  // Posts the request for the page's category (with the reuse bit when
  // `reuse`), enters the waiting state. Nothing without a server window.
  void RequestInfo(bool reuse);
  // Refresh button: a request without the reuse bit.
  void OnRefresh();
  // Free Memory button (memory variant).
  void OnFreeMemory();
  // A "kyt_quorrel_msg" reply; returns the message result.
  LRESULT OnServerReply(WPARAM wp, LPARAM lp);
  void StartReading(int category);
  void ShowWaitProgress(bool on);
  // Timer 1001 of the wait display.
  void OnWaitTimer();
  // The page's client, attached to the sheet's message, mutex and directory.
  InfoClient& Client();
  // Ends a wait no reply can end any more (server gone, no reply in time).
  void CheckWait();
  // Cancels and joins the reader threads.
  void StopReading();

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

  TestRunner& runner_;
  bool initialised_ = false;
  std::atomic<bool> waiting_{false};
  CInfoListBox list_;
  std::unique_ptr<InfoClient> client_;
  int category_;
};

}  // namespace ctlfw
