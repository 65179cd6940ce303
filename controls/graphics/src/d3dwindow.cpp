// The Direct3D test window: a textured, lit cube in retained mode. The
// choreography of a step is gfxtest::RenderDirect3DStep; this file holds the
// retained-mode objects and the window that makes and frees them.
#include <d3drm.h>
#include <ddraw.h>

#include "appkit/text.h"
#include "gfxtest/d3dscene.h"
#include "gfxtest/devicewindow.h"
#include "gfxtest/ids.h"
#include "graphics.h"

namespace graphics {

namespace {

typedef HRESULT(WINAPI* Direct3DRMCreateFn)(IDirect3DRM**);
typedef HRESULT(WINAPI* DirectDrawCreateClipperFn)(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*);

struct Retained {
  bool ready = false;
  int error = 0;
  int steps = 0;
  IDirect3DRM* rm = nullptr;
  IDirect3DRMFrame *scene = nullptr, *camera = nullptr, *rotate = nullptr;
  LPDIRECTDRAWCLIPPER clipper = nullptr;
  IDirect3DRMDevice* device = nullptr;
  IDirect3DRMViewport* viewport = nullptr;
};
Retained r;

template <class T>
void ReleaseAndClear(T** p) {
  if (*p) (*p)->Release();
  *p = nullptr;
}

bool Fail(int code, const char* debugText = nullptr) {
  if (debugText) ::OutputDebugStringA(debugText);
  r.error = code;
  Run().d3dErrorCode = code;
  return false;
}

// The cube: the first child of the rotate frame (the caller releases it).
int CubeFrame(IDirect3DRMFrame** cube, int noChildren, int noCube) {
  IDirect3DRMFrameArray* children = nullptr;
  if (FAILED(r.rotate->GetChildren(&children)) || !children) return noChildren;
  HRESULT hr = children->GetSize() > 0 ? children->GetElement(0, cube) : E_FAIL;
  children->Release();
  return SUCCEEDED(hr) && *cube ? 0 : noCube;
}

bool CreateDeviceAndViewport(HWND window) {
  if (!::IsWindow(window)) return Fail(9);
  RECT rc;
  ::GetClientRect(window, &rc);
  if (rc.right - rc.left <= 0 || rc.bottom - rc.top <= 0) return Fail(10);
  if (FAILED(r.rm->CreateDeviceFromClipper(r.clipper, nullptr, rc.right, rc.bottom, &r.device)) || !r.device) {
    r.device = nullptr;
    return Fail(11);
  }
  if (FAILED(r.rm->CreateViewport(r.device, r.camera, 0, 0, r.device->GetWidth(), r.device->GetHeight(),
                                  &r.viewport)) ||
      !r.viewport) {
    r.viewport = nullptr;
    return Fail(12);
  }
  if (FAILED(r.viewport->SetBack(5000.0f))) return Fail(13);
  return true;
}

bool SetLightsAndQuality() {
  if (!r.rm || !r.camera || !r.scene || !r.device || !r.rotate) return Fail(47);
  IDirect3DRMLight* light = nullptr;
  if (r.rm->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.1f, 0.1f, 0.1f, &light) < 0 || !light) return Fail(48);
  HRESULT hr = r.camera->AddLight(light);
  light->Release();
  if (hr < 0) return Fail(49);
  light = nullptr;
  if (r.rm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.3f, 0.3f, 0.3f, &light) < 0 || !light) return Fail(50);
  hr = r.camera->AddLight(light);
  light->Release();
  if (hr < 0) return Fail(51);
  if (r.scene->SetSceneBackground(0xFF000000) < 0) return Fail(52);
  if (r.device->SetQuality(D3DRMRENDER_GOURAUD) < 0) return Fail(53);
  return true;
}

// Device quality and background for a new device, without another pair of
// lights on the camera.
bool SetQualityOnly() {
  if (!r.scene || !r.device) return Fail(47);
  if (r.scene->SetSceneBackground(0xFF000000) < 0) return Fail(52);
  if (r.device->SetQuality(D3DRMRENDER_GOURAUD) < 0) return Fail(53);
  return true;
}

bool BuildCubeScene() {
  if (!r.rm || !r.scene || !r.camera || !r.rotate) return Fail(54);
  if (!SetLightsAndQuality()) return false;
  IDirect3DRMMeshBuilder* mesh = nullptr;
  IDirect3DRMTexture *side = nullptr, *top = nullptr;
  IDirect3DRMFrame* cube = nullptr;
  auto done = [&](bool ok) {
    if (side) side->Release();
    if (top) top->Release();
    if (mesh) mesh->Release();
    if (cube) cube->Release();
    return ok;
  };
  if (FAILED(r.rm->CreateMeshBuilder(&mesh)) || !mesh) return done(Fail(55));
  std::string dir = appkit::Narrow(OwnDirectory());
  if (FAILED(r.rm->LoadTexture((dir + "TESTDATA\\test3d.bmp").c_str(), &side)) || !side) return done(Fail(56));
  if (FAILED(r.rm->LoadTexture((dir + "TESTDATA\\test3d2.bmp").c_str(), &top)) || !top) return done(Fail(57));

  static const float corners[8][3] = {{1, 1, -1}, {1, -1, -1}, {1, -1, 1},  {1, 1, 1},
                                      {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}};
  D3DVECTOR vertices[24];
  for (int i = 0; i < 24; ++i) vertices[i] = D3DVECTOR{{corners[i % 8][0]}, {corners[i % 8][1]}, {corners[i % 8][2]}};
  D3DVECTOR normals[6] = {{{-1}, {0}, {0}}, {{1}, {0}, {0}}, {{0}, {-1}, {0}},
                          {{0}, {1}, {0}},  {{0}, {0}, {-1}}, {{0}, {0}, {1}}};
  DWORD faces[] = {4, 0, 3, 4, 3, 7, 3, 3, 3, 4, 8, 1, 11, 1, 2, 1, 1, 1, 4, 16, 4, 9, 4, 5, 4, 12, 4,
                   4, 17, 2, 10, 2, 14, 2, 21, 2, 4, 20, 0, 13, 0, 6, 0, 15, 0, 4, 19, 5, 23, 5, 22, 5, 18, 5, 0};
  if (FAILED(mesh->AddFaces(24, vertices, 6, normals, faces, nullptr))) return done(Fail(58));
  if (FAILED(mesh->SetColor(0xFFFFFFFF))) return done(Fail(59));
  IDirect3DRMFaceArray* list = nullptr;
  if (FAILED(mesh->GetFaces(&list)) || !list) return done(Fail(64));
  static const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  bool ok = true;
  for (DWORD f = 0; ok && f < list->GetSize(); ++f) {
    IDirect3DRMFace* face = nullptr;
    if (FAILED(list->GetElement(f, &face)) || !face) {
      ok = Fail(63);
      break;
    }
    for (int v = 0; ok && v < 4; ++v)
      if (FAILED(face->SetTextureCoordinates(v, uv[v][0], uv[v][1]))) ok = Fail(60);
    if (ok && FAILED(face->SetTexture(f == 0 || f == 3 ? top : side))) ok = Fail(f == 0 || f == 3 ? 61 : 62);
    face->Release();
  }
  list->Release();
  if (!ok) return done(false);
  if (FAILED(r.camera->SetPosition(r.scene, 10, 10, 0))) return done(Fail(65));
  if (FAILED(r.camera->SetOrientation(r.scene, -1, -1, 0, 0, 1, 0))) return done(Fail(66));
  if (FAILED(r.rotate->SetPosition(r.scene, 0, 0, 0))) return done(Fail(67));
  if (FAILED(r.rotate->SetOrientation(r.scene, 0, 0, 1, 0, 1, 0))) return done(Fail(68));
  if (FAILED(r.rm->CreateFrame(r.rotate, &cube)) || !cube) return done(Fail(69));
  if (FAILED(cube->AddVisual(mesh))) return done(Fail(70));
  if (FAILED(cube->SetPosition(r.rotate, 3, 0, 0))) return done(Fail(71));
  return done(true);
}

bool SetupDirect3D(HWND window) {
  r.ready = false;
  r.error = 0;
  Run().d3dErrorCode = 0;
  auto create = reinterpret_cast<Direct3DRMCreateFn>(Dx().direct3DRMCreate);
  auto clip = reinterpret_cast<DirectDrawCreateClipperFn>(Dx().directDrawCreateClipper);
  if (!create || FAILED(create(&r.rm)) || !r.rm) {
    r.rm = nullptr;
    return Fail(1, "Could not create Retained Mode Interface!");
  }
  if (FAILED(r.rm->CreateFrame(nullptr, &r.scene))) return Fail(2, "Could not create scene!");
  if (FAILED(r.rm->CreateFrame(r.scene, &r.camera))) return Fail(3, "Could not create camera frame!");
  if (FAILED(r.rm->CreateFrame(r.scene, &r.rotate))) return Fail(4, "Could not create rotate frame!");
  if (!clip || FAILED(clip(0, &r.clipper, nullptr)) || !r.clipper) {
    r.clipper = nullptr;
    return Fail(5, "Could not create clipper!");
  }
  if (FAILED(r.clipper->SetHWnd(0, window))) return Fail(6, "Could not associate clipper with window!");
  if (!CreateDeviceAndViewport(window)) return Fail(r.error, "Could not create viewport!");
  if (!BuildCubeScene()) return Fail(r.error, "Could not create scene!");
  r.ready = true;
  return true;
}

void ReleaseDirect3D() {
  r.ready = false;
  ReleaseAndClear(&r.viewport);
  ReleaseAndClear(&r.device);
  ReleaseAndClear(&r.clipper);
  ReleaseAndClear(&r.camera);
  ReleaseAndClear(&r.rotate);
  ReleaseAndClear(&r.scene);
  ReleaseAndClear(&r.rm);
}

void DrawDirect3DCaption(HWND window) {
  HDC dc = ::GetDC(window);
  if (!dc) return;
  int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
  RECT wr;
  int w = 640, h = 480;
  if (::GetWindowRect(window, &wr)) {
    w = wr.right - wr.left;
    h = wr.bottom - wr.top;
  }
  DrawTestCaptions(dc, 16 * sw / 640, 16 * sh / 480, 0x00F4F4, RECT{0, h / 10, w, h}, IDS_GFX_D3D_CAPTION,
                   RECT{0, h - h / 6, w, h});
  ::ReleaseDC(window, dc);
}

// The step's operations on the retained-mode objects.
class LiveScene : public gfxtest::RetainedScene {
 public:
  explicit LiveScene(HWND window) : window_(window) {}
  int SetCubeVelocity(int k, float s) override {
    if (!r.rotate) return 37;
    IDirect3DRMFrame* cube = nullptr;
    if (int code = CubeFrame(&cube, 38, 39)) return code;
    gfxtest::CubeMotion m = gfxtest::MotionForCase(k, s, 0);
    HRESULT hr = cube->SetVelocity(r.rotate, m.vx, m.vy, m.vz, FALSE);
    cube->Release();
    return FAILED(hr) ? 40 : 0;
  }
  int SetCubeRotation(int k, float theta) override {
    if (!r.rotate) return 27;
    IDirect3DRMFrame* cube = nullptr;
    if (int code = CubeFrame(&cube, 28, 29)) return code;
    gfxtest::CubeMotion m = gfxtest::MotionForCase(k, 0, theta);
    HRESULT hr = cube->SetRotation(r.rotate, m.ax, m.ay, m.az, m.angle);
    cube->Release();
    return FAILED(hr) ? 30 : 0;
  }
  int SpinFrame(float theta) override {
    if (!r.rotate) return 41;
    return FAILED(r.rotate->AddRotation(D3DRMCOMBINE_AFTER, 0, 1, 0, theta)) ? 42 : 0;
  }
  int MoveScene(float delta) override { return r.scene && SUCCEEDED(r.scene->Move(delta)) ? 0 : 36; }
  int RenderFrame() override {
    if (!r.viewport || !r.scene || !r.device) return 19;
    if (FAILED(r.viewport->Clear())) return 16;
    if (FAILED(r.viewport->Render(r.scene))) return 17;
    if (FAILED(r.device->Update())) return 18;
    return 0;
  }
  void DrawCaption() override { DrawDirect3DCaption(window_); }

 private:
  HWND window_;
};

}  // namespace

bool Direct3DReady() { return r.ready; }
int Direct3DErrorCode() { return r.error; }

bool ResetDirect3DScene() {
  if (!r.rotate || !r.scene) return Fail(20);
  if (FAILED(r.rotate->SetOrientation(r.scene, 0, 0, 1, 0, 1, 0))) return Fail(21);
  if (FAILED(r.rotate->SetRotation(r.rotate, 0, 0, 0, 0))) return Fail(22);
  IDirect3DRMFrame* cube = nullptr;
  if (int code = CubeFrame(&cube, 23, 24)) return Fail(code);
  bool ok = true;
  if (FAILED(cube->SetOrientation(r.scene, 0, 0, 1, 0, 1, 0)))
    ok = Fail(25);
  else if (FAILED(cube->SetPosition(r.rotate, 3, 3, 0)))
    ok = Fail(26);
  cube->Release();
  if (!ok) return false;
  r.error = 0;
  Run().d3dErrorCode = 0;
  r.steps = 0;
  return true;
}

bool RenderDirect3DStep(HWND window) {
  LiveScene scene(window);
  int code = gfxtest::RenderDirect3DStep(scene, &r.steps, FullScreen());
  return code == 0 || Fail(code);
}

LRESULT CALLBACK Direct3DWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      if (!SetupDirect3D(hwnd)) {
        Run().batch = false;
        ::OutputDebugStringA("can't setup direct3d environment");
      }
      break;
    case WM_DESTROY:
      Run().batch = false;
      ReleaseDirect3D();
      if (Run().d3dWindow == hwnd) Run().d3dWindow = nullptr;
      break;
    case WM_ACTIVATE:
    case WM_PAINT: {
      // Without a window-device interface the paint renders the scene.
      struct RenderOnPaint : gfxtest::DeviceWindowFallback {
        HWND window;
        explicit RenderOnPaint(HWND w) : window(w) {}
        void Paint() override { LiveScene(window).RenderFrame(); }
      } render(hwnd);
      LRESULT result = 0;
      if (gfxtest::DeviceWindowMessage(hwnd, msg, wp, r.device, r.device && r.viewport, render, &result)) return result;
      break;
    }
    case WM_SIZE: {
      int w = LOWORD(lp), h = HIWORD(lp);
      if (r.device && r.viewport && r.rm && w && h && !::IsIconic(hwnd)) {
        ReleaseAndClear(&r.viewport);
        ReleaseAndClear(&r.device);
        if (!CreateDeviceAndViewport(hwnd))
          ::OutputDebugStringA("Cannot create new viewport and device");
        else
          SetQualityOnly();  // the camera keeps its lights
      }
      break;
    }
    case WM_CHAR:
      Run().batch = false;
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace graphics
