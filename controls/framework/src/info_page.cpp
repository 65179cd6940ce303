// The Information page's information-server client: requests on activation
// and Refresh, replies, the reader thread, and Free Memory.
#include "ctlfw/testinfo.h"

#include <commctrl.h>

#include "appkit/system.h"
#include "appkit/text.h"
#include "infoclient/infoclient.h"
#include "ctlfw/rules.h"
#include "ctlfw/runner.h"
#include "ctlfw/sheet.h"
#include "suite/info.h"

namespace ctlfw {

InfoClient& CTestInfo::Client() {
  if (!client_) {
    int category = Category();
    const char* base = category >= 0 && category < (int)suite::INFO_CATEGORY_COUNT ? suite::kInfoFileBase[category] : "";
    client_ = std::make_unique<InfoClient>((unsigned)category, base);
    client_->SetLines(runner_.InfoStyle().lines);
    client_->SetReplyDeadline(runner_.InfoStyle().replyDeadlineMs);
    client_->SetMutexWait(runner_.InfoStyle().readerMutexWaitMs);
    client_->SetThreadStarter(&StartWorker);
    client_->OnWaitChanged([this](bool on) {
      waiting_ = on;
      if (hwnd()) ShowWaitProgress(on);
    });
  }
  // The sheet's message id and mutex, and the directory, are looked up anew:
  // the server may have started or gone since the last request.
  CTest* sheet = runner_.GetSheet();
  std::wstring label = appkit::LoadStr(runner_.InfoStyle().lastUpdatedId, runner_.Resources());
  client_->Attach(hwnd(), List(), sheet ? sheet->QuorrelMessage() : 0, sheet ? sheet->ServerMutex() : nullptr,
                  runner_.InfoDirectory(), appkit::Narrow(label));
  return *client_;
}

void CTestInfo::RequestInfo(bool reuse) {
  if (hwnd()) Client().Request(reuse);
}

void CTestInfo::OnRefresh() { RequestInfo(false); }

LRESULT CTestInfo::OnServerReply(WPARAM wp, LPARAM lp) {
  LRESULT result = 1;
  if (client_) client_->HandleMessage(runner_.GetSheet()->QuorrelMessage(), wp, lp, &result);
  return result;
}

void CTestInfo::StartReading(int category) {
  if (!client_) return;
  LRESULT r = 0;
  client_->HandleMessage(runner_.GetSheet()->QuorrelMessage(), suite::INFO_REPLY_READY, category, &r);
}

void CTestInfo::CheckWait() {
  if (client_) client_->OnWaitTick();
}

void CTestInfo::StopReading() {
  if (client_) client_->Detach();
}

namespace {

bool IsNt() { return !appkit::IsWindows9x(); }

// Reads one word at the start of every page of the block.
void TouchPages(HWND bar, volatile const BYTE* block, SIZE_T size, int round) {
  const SIZE_T page = 4096;
  for (SIZE_T offset = 0; offset + sizeof(DWORD) <= size; offset += page) {
    (void)*reinterpret_cast<volatile const DWORD*>(block + offset);
    int pos = FreeMemoryProgress(round, offset, size);
    if (pos >= 0) ::SendMessageW(bar, PBM_SETPOS, (WPARAM)pos, 0);
  }
}

// A block size that an allocation can take in this process.
SIZE_T ToAllocSize(uint64_t size) {
  const uint64_t most = static_cast<SIZE_T>(-1);
  return static_cast<SIZE_T>(size > most ? most : size);
}

}  // namespace

void CTestInfo::OnFreeMemory() {
  HWND bar = Item(IDC_INFO_PROGRESS);
  SIZE_T keptMin = 0, keptMax = 0;
  HANDLE self = ::GetCurrentProcess();
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof(ms);
  ::GlobalMemoryStatusEx(&ms);
  if (IsNt()) {
    SIZE_T target = ToAllocSize(ms.ullTotalPageFile);
    if (::GetProcessWorkingSetSize(self, &keptMin, &keptMax)) {
      while (keptMin < target && target > 0x100000 && !::SetProcessWorkingSetSize(self, target, target))
        target -= 0x100000;
    }
  }
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
  ::SendMessageW(bar, PBM_SETPOS, 10, 0);
  ::ShowWindow(bar, SW_SHOW);
  for (int i = 1; i <= 5; ++i) {
    ::GlobalMemoryStatusEx(&ms);
    SIZE_T mn = 0, mx = 0;
    if (IsNt() && !::GetProcessWorkingSetSize(self, &mn, &mx)) {
      runner_.RunnerMessageBox(94, MB_OK);
      break;
    }
    // Up to the machine's physical memory rather than what is free (the point
    // is to make room by pushing other programs out), but never past what it
    // can commit now: past that, a host that overcommits kills programs.
    uint64_t size = FreeMemoryBlockSize(IsNt(), mx, ms.ullAvailPhys, ms.ullAvailPageFile, ms.ullTotalPhys);
    HGLOBAL block = nullptr;
    while (size && !(block = ::GlobalAlloc(GMEM_FIXED, ToAllocSize(size)))) size = ShrinkFreeMemoryBlock(size);
    ::SendMessageW(bar, PBM_SETPOS, (WPARAM)(i * 18 - 13), 0);
    if (block) {
      if (void* p = ::GlobalLock(block)) {
        TouchPages(bar, static_cast<const BYTE*>(p), ToAllocSize(size), i);
        ::GlobalUnlock(block);
      }
      ::GlobalFree(block);
    }
  }
  if (IsNt() && keptMin && keptMax) ::SetProcessWorkingSetSize(self, keptMin, keptMax);
  ::SendMessageW(bar, PBM_SETPOS, 100, 0);
  ::ShowWindow(bar, SW_HIDE);
  OnRefresh();
}

}  // namespace ctlfw
