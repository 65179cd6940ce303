// DirectDraw, Direct3D retained mode and DirectSound, bound at run time from
// the system directory the first time a run needs them.
#include <ddraw.h>

#include "graphics.h"

namespace graphics {

DirectX& Dx() {
  static DirectX dx;
  return dx;
}

namespace {
typedef HRESULT(WINAPI* DirectDrawCreateFn)(GUID*, LPDIRECTDRAW*, IUnknown*);

void Free(HMODULE* h) {
  if (*h) ::FreeLibrary(*h);
  *h = nullptr;
}
}  // namespace

void LoadDirectXLibraries() {
  DirectX& dx = Dx();
  if (!dx.pending) return;
  dx.pending = false;
  wchar_t dir[MAX_PATH];
  UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n > MAX_PATH - 1) {
    dx.ddrawMissing = dx.d3dMissing = dx.dsoundMissing = true;
    return;
  }
  std::wstring sys(dir);

  // DirectDraw: available when an object can be made and answers its caps.
  dx.ddrawMissing = true;
  dx.ddraw = ::LoadLibraryW((sys + L"\\DDRAW.DLL").c_str());
  if (dx.ddraw) {
    dx.directDrawCreate = ::GetProcAddress(dx.ddraw, "DirectDrawCreate");
    dx.directDrawCreateClipper = ::GetProcAddress(dx.ddraw, "DirectDrawCreateClipper");
    if (dx.directDrawCreate) {
      LPDIRECTDRAW object = nullptr;
      if (SUCCEEDED(reinterpret_cast<DirectDrawCreateFn>(dx.directDrawCreate)(nullptr, &object, nullptr)) && object) {
        DDCAPS driver = {}, emulation = {};
        driver.dwSize = emulation.dwSize = sizeof(DDCAPS);
        if (SUCCEEDED(object->GetCaps(&driver, &emulation))) dx.ddrawMissing = false;
        object->Release();
      }
    }
    if (dx.ddrawMissing) {
      dx.directDrawCreate = dx.directDrawCreateClipper = nullptr;
      Free(&dx.ddraw);
    }
  }

  dx.d3dMissing = true;
  dx.d3drm = ::LoadLibraryW((sys + L"\\D3DRM.DLL").c_str());
  if (dx.d3drm) dx.direct3DRMCreate = ::GetProcAddress(dx.d3drm, "Direct3DRMCreate");
  if (dx.d3drm && dx.direct3DRMCreate && dx.directDrawCreateClipper) {
    dx.d3dMissing = false;
  } else {
    dx.direct3DRMCreate = nullptr;
    Free(&dx.d3drm);
  }

  dx.dsoundMissing = true;
  dx.dsound = ::LoadLibraryW((sys + L"\\DSOUND.DLL").c_str());
  if (dx.dsound) dx.directSoundCreate = ::GetProcAddress(dx.dsound, "DirectSoundCreate");
  if (dx.dsound && dx.directSoundCreate) {
    dx.dsoundMissing = false;
  } else {
    dx.directSoundCreate = nullptr;
    Free(&dx.dsound);
  }

  if (dx.ddrawMissing) dx.d3dMissing = true;
}

bool IsDirectDrawBound() { return Dx().directDrawCreate && Dx().ddraw; }

void FreeDirectXLibraries() {
  DirectX& dx = Dx();
  Free(&dx.ddraw);
  Free(&dx.d3drm);
  Free(&dx.dsound);
  dx = DirectX();
}

}  // namespace graphics
