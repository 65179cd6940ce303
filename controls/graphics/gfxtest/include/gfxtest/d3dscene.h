// The Direct3D test's choreography: which retained-mode operations one
// render step asks for, over a small interface the real window implements
// with the retained-mode objects and the tests with a fake.
#pragma once

namespace gfxtest {

// Velocity and rotation of the cube for a drift case (0 .. 11, else still).
struct CubeMotion {
  float vx, vy, vz;
  float ax, ay, az, angle;
};
CubeMotion MotionForCase(int k, float speed, float theta);

// The operations of one step; each answers 0 or the error code of its
// failure (the window's error table).
class RetainedScene {
 public:
  virtual ~RetainedScene() = default;
  virtual int SetCubeVelocity(int k, float speed) = 0;
  virtual int SetCubeRotation(int k, float theta) = 0;
  virtual int SpinFrame(float theta) = 0;
  virtual int MoveScene(float delta) = 0;
  // Clear the viewport, render the scene, update the device (19 when an
  // object is missing, else 16, 17 or 18).
  virtual int RenderFrame() = 0;
  virtual void DrawCaption() = 0;
};

constexpr int kDriftSteps = 240, kDriftPhase = 20;
constexpr float kDriftSpeed = 0.21f, kDriftAngle = 0.1f, kSpinAngle = 0.1256f;

// One step: the drift schedule for steps 0 .. 239, then the spin; the step
// counter grows once the scene moved. Answers 0 or the failure's code.
int RenderDirect3DStep(RetainedScene& scene, int* stepCounter, bool fullScreen);

}  // namespace gfxtest
