// The Direct3D test's step schedule against a recording fake of the
// retained-mode scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gfxtest/d3dscene.h"

using namespace gfxtest;

namespace {

class FakeScene : public RetainedScene {
 public:
  std::vector<std::string> calls;
  int failOn = -1;  // index of the operation that fails (the caption is none)
  int code = 99;
  int operations = 0;
  int Answer(const std::string& call) {
    calls.push_back(call);
    return operations++ == failOn ? code : 0;
  }
  int SetCubeVelocity(int k, float s) override {
    return Answer("velocity " + std::to_string(k) + " " + std::to_string((int)(s * 100 + 0.5f)));
  }
  int SetCubeRotation(int k, float t) override {
    return Answer("rotation " + std::to_string(k) + " " + std::to_string((int)(t * 1000 + 0.5f)));
  }
  int SpinFrame(float t) override { return Answer("spin " + std::to_string((int)(t * 10000 + 0.5f))); }
  int MoveScene(float) override { return Answer("move"); }
  int RenderFrame() override { return Answer("render"); }
  void DrawCaption() override { calls.push_back("caption"); }
};

}  // namespace

TEST(Direct3DSchedule, TwelveDriftPhasesThenTheModelTurns) {
  FakeScene scene;
  int steps = 0;
  for (int i = 0; i < 243; ++i) ASSERT_EQ(RenderDirect3DStep(scene, &steps, false), 0) << i;
  EXPECT_EQ(steps, 243);
  std::vector<std::string> phases;
  for (const std::string& c : scene.calls)
    if (c.rfind("velocity", 0) == 0 || c.rfind("rotation", 0) == 0 || c.rfind("spin", 0) == 0) phases.push_back(c);
  std::vector<std::string> expected;
  for (int k = 0; k < 12; ++k) {
    expected.push_back("velocity " + std::to_string(k) + " 21");
    expected.push_back("rotation " + std::to_string(k) + " 100");
  }
  expected.push_back("velocity 0 0");
  for (int i = 0; i < 3; ++i) expected.push_back("spin 1256");
  EXPECT_EQ(phases, expected);
  // Every step moves and renders; no caption in a window.
  EXPECT_EQ(std::count(scene.calls.begin(), scene.calls.end(), "move"), 243);
  EXPECT_EQ(std::count(scene.calls.begin(), scene.calls.end(), "render"), 243);
  EXPECT_EQ(std::count(scene.calls.begin(), scene.calls.end(), "caption"), 0);
}

TEST(Direct3DSchedule, CaseOrderBringsTheCubeBackAfterEveryTwoPhases) {
  float x = 0, y = 0, z = 0;
  for (int k = 0; k < 12; ++k) {
    CubeMotion m = MotionForCase(k, 0.21f, 0.1f);
    x += 20 * m.vx, y += 20 * m.vy, z += 20 * m.vz;
    if (k % 2 == 1) {
      EXPECT_NEAR(x, 0, 1e-4) << k;
      EXPECT_NEAR(y, 0, 1e-4) << k;
      EXPECT_NEAR(z, 0, 1e-4) << k;
    }
  }
  CubeMotion last = MotionForCase(11, 0.21f, 0.1f);
  EXPECT_EQ(last.az, 1.0f);  // the last drift spins about z
  CubeMotion other = MotionForCase(12, 0.21f, 0.1f);
  EXPECT_EQ(other.vx + other.vy + other.vz, 0.0f);
  EXPECT_EQ(other.ax, 1.0f);
}

TEST(Direct3DSchedule, AFailingOperationEndsTheStepWithItsCode) {
  struct Case {
    int failOn;  // call index within the first step: velocity, rotation, move, render
    int stepsAfter;
  } cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 1}};
  for (const Case& c : cases) {
    FakeScene scene;
    scene.failOn = c.failOn;
    scene.code = 40 + c.failOn;
    int steps = 0;
    EXPECT_EQ(RenderDirect3DStep(scene, &steps, true), 40 + c.failOn) << c.failOn;
    EXPECT_EQ(steps, c.stepsAfter) << c.failOn;
    EXPECT_EQ(scene.calls.front(), "caption");  // full-screen steps draw the caption first
  }
}
