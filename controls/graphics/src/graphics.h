// What the graphics control's parts share in its process: the runner's
// values the tests read, the run's flags, the test windows and the DirectX
// binding. Everything runs on the control's window thread.
#pragma once
#include <windows.h>

#include <string>

class CGraphicsRunner;
class CSoundPlayer;

namespace graphics {

struct DisplayMode {
  int width = 0, height = 0, bits = 0;
};

// The run state of the Test page, its executor and the test windows.
struct RunFlags {
  bool stop = false;      // Stop pressed (or the test window closed)
  bool batch = false;     // a batch of steps is active; clearing it ends the batch
  bool aborted = false;   // stopped by the user: no Done
  bool benchmark = false; // the run is a benchmark series
  int errorCount = 0;
  int currentTestId = -1;
  HWND commonWindow = nullptr, ddWindow = nullptr, d3dWindow = nullptr;
  HDC testDC = nullptr;
  DisplayMode current, saved;
  int directSoundResult = -1;  // the sound player's failure code (-1 not tested, 0 passed)
  int d3dErrorCode = 0;
  bool ddEngineActive = false;
  HWND resultsList = nullptr;  // where the DirectDraw engine's trace texts go
  CSoundPlayer* player = nullptr;
};
RunFlags& Run();

// The module's runner and what it keeps for the tests.
CGraphicsRunner& Runner();
// Full-screen DirectX windows (interactive runs) or windows on the desktop.
bool FullScreen();
// Raised when the sheet closes or the host asks the module to close.
bool Closing();
void SetClosing(bool on);
HINSTANCE Texts();    // resource module
HINSTANCE Instance(); // the control module (window classes)
std::wstring Text(UINT id);
std::string TextA(UINT id);
std::wstring OwnDirectory();
int Count(const char* setting);

// Adds a line to the run's result list.
void AddLine(const std::string& text);

// ---- DirectX binding ----------------------------------------------------------------
struct DirectX {
  bool pending = true;
  HMODULE ddraw = nullptr, d3drm = nullptr, dsound = nullptr;
  FARPROC directDrawCreate = nullptr, directDrawCreateClipper = nullptr;
  FARPROC direct3DRMCreate = nullptr, directSoundCreate = nullptr;
  bool ddrawMissing = true, d3dMissing = true, dsoundMissing = true;
};
DirectX& Dx();
void LoadDirectXLibraries();
bool IsDirectDrawBound();
void FreeDirectXLibraries();

// ---- Window classes ---------------------------------------------------------------------
extern const wchar_t kCommonClass[];
extern const wchar_t kDirect3DClass[];
extern const wchar_t kDDrawClass[];
LRESULT CALLBACK CommonWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Direct3DWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DDrawWindowProc(HWND, UINT, WPARAM, LPARAM);

// The two caption lines of a full-screen test window: the title and "Press
// Any Key to Exit", centred, in a Swiss font of the given size and colour.
void DrawTestCaptions(HDC dc, int fontHeight, int fontWidth, COLORREF colour, const RECT& titleRect, UINT titleId,
                      const RECT& keyRect);

// ---- DirectDraw engine ---------------------------------------------------------------------
bool DirectDrawEngineStart(const std::wstring& bitmapPath);
// One frame; false when a blit or flip failed.
bool DirectDrawEngineFrame();
// Whether the engine holds a DirectDraw object.
bool DirectDrawEngineHasObject();
void DirectDrawEngineStop();

// ---- Direct3D window ----------------------------------------------------------------------
bool Direct3DReady();
int Direct3DErrorCode();
bool ResetDirect3DScene();
bool RenderDirect3DStep(HWND window);

}  // namespace graphics
