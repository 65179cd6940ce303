// The graphics control's Test page: the eleven tests run one after another
// on the sheet's own thread, each a batch of drawing steps, with the
// message queue drained between steps; with -Bench the graphics benchmark.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "ctlfw/testpage.h"

class CGraphicsRunner;

namespace graphics {

std::unique_ptr<ctlfw::TestPage> MakeGraphicsTestPage(CGraphicsRunner& runner);

// Drains the thread's queue between steps; the host's module-protocol
// messages are taken on the way (a quit raises the closing flag and is
// handed back to the host when the run ends).
void PumpMessages();
// The executor of the tests: `count` steps of test `id`; `stepsDone` (when
// given) takes the number of steps it made.
bool RunGraphicsTests(int id, int count, int* stepsDone = nullptr);
// Waits on a device: between two looks the queue is drained (so that Stop,
// Close and the host's quit are seen) and the thread pauses briefly.
void BetweenDeviceLooks();
// Whether the batch is to end (Stop, Close, a key in a test window, the
// host's quit): a device wait then ends at once.
bool BatchEnding();
// A device that did not complete within its bound:
// "<api>: <device> did not <what> within <ms> ms."
void DeviceTimeoutLine(const wchar_t* api, const std::wstring& device, const wchar_t* what, unsigned ms);
// The display adapter as the user knows it: the display device "<name>".
std::wstring DisplayDevice();
// The benchmark executor; message lines also go to the benchmark file.
bool RunGdiBenchmarks(int id, int count);
// A message line of a step: the result list, and the benchmark file during
// a benchmark.
void StepMessage(UINT id);
// The test picture for the bitmap steps, selected into a memory DC.
struct TestBitmap {
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  bool Load(HDC dc);
  void Free();
};
// A batch of test `id` begins: none may run already, and the common test
// window and its device context must be had (else a message line, false).
bool BeginBatch(int id);
// The common test window erased, repainted (not for scrolling, id 8) and shown.
void ShowCommonWindow(int id);
// The batch ends: its flag, device context and picture go.
void EndBatch(TestBitmap* picture);
// The black frame brush of the flood-fill steps (none outside them).
extern HBRUSH g_frameBrush;
// The fill palette of the flood-fill and shape steps.
extern const COLORREF kFillPalette[14];

// The benchmark series (-Bench).
void RunBenchmarkSeries(HWND page, CGraphicsRunner& runner);

}  // namespace graphics
