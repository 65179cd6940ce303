#include "gfxtest/d3dscene.h"

namespace gfxtest {

CubeMotion MotionForCase(int k, float s, float t) {
  switch (k) {
    case 0: case 7: return {s, 0, 0, 0, 1, 0, t};
    case 1: case 6: return {-s, 0, 0, 0, 1, 0, -t};
    case 2: case 9: return {0, s, 0, 1, 0, 0, t};
    case 3: case 8: return {0, -s, 0, 1, 0, 0, -t};
    case 4: case 11: return {0, 0, s, 0, 0, 1, t};
    case 5: case 10: return {0, 0, -s, 0, 0, 1, -t};
    default: return {0, 0, 0, 1, 0, 0, t};
  }
}

int RenderDirect3DStep(RetainedScene& scene, int* stepCounter, bool fullScreen) {
  if (fullScreen) scene.DrawCaption();
  int n = *stepCounter;
  int code = 0;
  if (n < kDriftSteps) {
    if (n % kDriftPhase == 0) {
      int k = n / kDriftPhase;
      if ((code = scene.SetCubeVelocity(k, kDriftSpeed)) != 0) return code;
      if ((code = scene.SetCubeRotation(k, kDriftAngle)) != 0) return code;
    }
  } else {
    if (n == kDriftSteps && (code = scene.SetCubeVelocity(0, 0.0f)) != 0) return code;
    if ((code = scene.SpinFrame(kSpinAngle)) != 0) return code;
  }
  if ((code = scene.MoveScene(1.0f)) != 0) return code;
  ++*stepCounter;
  return scene.RenderFrame();
}

}  // namespace gfxtest
