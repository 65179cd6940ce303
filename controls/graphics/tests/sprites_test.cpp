// The DirectDraw test's sprite rules: motion, wrapping, frame animation and
// the clipping of a frame against the 640 x 480 target.
#include <gtest/gtest.h>

#include "gfxtest/sprites.h"

using namespace gfxtest;

TEST(SpriteClipping, FramesAreCutAtTheTargetsEdges) {
  struct Case {
    int x, y, sx, sy, w, h;
    Blit expected;
  } cases[] = {
      // Inside: the source starts one line below the frame's top edge.
      {10, 20, 128, 480, 128, 50, {10, 20, 128, 481, 256, 531}},
      // x = 600, width 128: 40 pixels wide.
      {600, 0, 0, 480, 128, 50, {600, 0, 0, 481, 40, 531}},
      // y = -10 loses its top 10 lines.
      {0, -10, 0, 480, 128, 50, {0, 0, 0, 491, 128, 531}},
      // x = -100: the source moves right by 100.
      {-100, 0, 0, 480, 128, 50, {0, 0, 100, 481, 128, 531}},
      // Bottom edge: 470 + 50 > 480 keeps 10 lines.
      {0, 470, 0, 0, 640, 50, {0, 470, 0, 1, 640, 11}},
  };
  for (const Case& c : cases) {
    Blit b = ClipSpriteBlit(c.x, c.y, c.sx, c.sy, c.w, c.h);
    EXPECT_EQ(b.x, c.expected.x) << c.x << "," << c.y;
    EXPECT_EQ(b.y, c.expected.y) << c.x << "," << c.y;
    EXPECT_EQ(b.left, c.expected.left) << c.x << "," << c.y;
    EXPECT_EQ(b.top, c.expected.top) << c.x << "," << c.y;
    EXPECT_EQ(b.right, c.expected.right) << c.x << "," << c.y;
    EXPECT_EQ(b.bottom, c.expected.bottom) << c.x << "," << c.y;
    EXPECT_FALSE(b.Empty());
  }
  // Entirely outside: nothing to copy.
  EXPECT_TRUE(ClipSpriteBlit(700, 0, 0, 0, 128, 50).Empty());
  EXPECT_TRUE(ClipSpriteBlit(0, -60, 0, 0, 128, 50).Empty());
}

TEST(SpriteMotion, FreeMotionAccumulatesHundredthsOfAPixel) {
  SpriteSet set(22);
  set.SetSprite(6, 100, 100, 0, 480, 128, 50, 15, 5, 0, 0, 2, 1, 1, 0, 0, 640, 480);
  set.SetSpriteMotion(6, 9, 350, 0, 4, 1);
  std::vector<int> steps;
  int last = 100;
  for (int i = 0; i < 6; ++i) {
    set.MoveSprite(6);
    steps.push_back(set.Slot(6)->x - last);
    last = set.Slot(6)->x;
  }
  EXPECT_EQ(steps, (std::vector<int>{3, 4, 3, 4, 3, 4}));
  EXPECT_EQ(set.Slot(6)->speed, 1);  // the speed field is not touched by free motion
}

TEST(SpriteMotion, StepsByModeWithWrappingAndBounds) {
  struct Case {
    int mode, x, y, wrap;
    int ex, ey, active;
  } cases[] = {
      {1, 100, 100, 1, 100, 98, 1},     // up
      {2, 100, 100, 1, 100, 102, 1},    // down
      {3, 100, 100, 1, 98, 100, 1},     // left
      {4, 100, 100, 1, 102, 100, 1},    // right
      {8, 100, 100, 1, 102, 102, 1},    // right and down
      {2, 100, 479, 1, 100, -50, 1},    // down past the bottom wraps above the top
      {4, 639, 10, 1, 639 - 768 + 2, 10, 1},  // right past the edge wraps left by width + frame
      {3, -127, 10, 1, 640 + 128 - 2, 10, 1}, // left past the edge wraps right
      {2, 100, 479, 0, 100, 479, 0},    // no wrap: stays and becomes inactive
      {0, 100, 100, 1, 100, 100, 1},    // no motion
  };
  for (const Case& c : cases) {
    SpriteSet set(22);
    set.SetSprite(7, c.x, c.y, 0, 480, 128, 50, 15, 5, 0, 0, c.mode, 2, c.wrap, 0, 0, 640, 480);
    set.MoveSprite(7);
    EXPECT_EQ(set.Slot(7)->x, c.ex) << "mode " << c.mode << " at " << c.x << "," << c.y;
    EXPECT_EQ(set.Slot(7)->y, c.ey) << "mode " << c.mode << " at " << c.x << "," << c.y;
    EXPECT_EQ(set.Slot(7)->active, c.active) << "mode " << c.mode;
  }
}

TEST(SpriteMotion, InactiveSpritesNeitherMoveNorDraw) {
  SpriteSet set(22);
  set.SetSprite(8, 100, 479, 0, 480, 128, 50, 15, 5, 0, 0, 2, 5, 0, 0, 0, 640, 480);
  set.MoveSprite(8);
  ASSERT_EQ(set.Slot(8)->active, 0);
  set.Slot(8)->y = 0;
  set.MoveSprite(8);
  EXPECT_EQ(set.Slot(8)->y, 0);
  int blits = 0;
  EXPECT_TRUE(set.DrawSprite(8, [&](const Blit&) { return ++blits, true; }));
  EXPECT_EQ(blits, 0);
}

TEST(SpriteMotion, DelayThreeAdvancesTheFrameEveryFourthStepAndWraps) {
  SpriteSet set(22);
  set.SetSprite(9, 0, 0, 0, 480, 128, 50, 15, 5, 13, 3, 0, 1, 1, 0, 0, 640, 480);
  std::vector<int> frames;
  for (int i = 0; i < 12; ++i) {
    set.MoveSprite(9);
    frames.push_back(set.Slot(9)->frame);
  }
  EXPECT_EQ(frames, (std::vector<int>{13, 13, 13, 14, 14, 14, 14, 0, 0, 0, 0, 1}));
}

TEST(SpriteSetTest, FramesComeFromTheSheetAndIdsOutsideTheSetAreIgnored) {
  SpriteSet set(22);
  set.SetSprite(6, 10, 20, 0, 480, 128, 50, 15, 5, 7, 3, 0, 1, 1, 0, 0, 640, 480);
  Blit got{};
  ASSERT_TRUE(set.DrawSprite(6, [&](const Blit& b) { return got = b, true; }));
  // Frame 7: row 1, column 2 of the sheet.
  EXPECT_EQ(got.left, 256);
  EXPECT_EQ(got.top, 480 + 50 + 1);
  // A failing blit fails the drawing.
  EXPECT_FALSE(set.DrawSprite(6, [](const Blit&) { return false; }));
  EXPECT_EQ(set.Slot(22), nullptr);
  EXPECT_EQ(set.Slot(-1), nullptr);
  set.SetSprite(40, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1);
  set.MoveSprite(40);
  EXPECT_TRUE(set.DrawSprite(40, [](const Blit&) { return false; }));
}

TEST(SpriteSetTest, PlacementDrawsItsRandomNumbersInOrder) {
  SpriteSet set(22);
  int n = 0;
  std::vector<int> seq = {7, 100, 600, 50, 60, 1, 2};  // frame, y, x, x rate, y rate, x dir, y dir
  set.PlaceSprites([&] { return seq[n++ % seq.size()]; });
  const SpriteSlot* s = set.Slot(6);
  EXPECT_EQ(s->frame, 7);
  EXPECT_EQ(s->y, 100);
  EXPECT_EQ(s->x, 600);
  EXPECT_EQ(s->xRate, 350);
  EXPECT_EQ(s->yRate, 360);
  EXPECT_EQ(s->xDir, 4);  // odd: right
  EXPECT_EQ(s->yDir, 2);  // even: down
  EXPECT_EQ(s->mode, 9);
  EXPECT_EQ(s->active, 1);
  set.PlaceBackdrop();
  EXPECT_EQ(set.Slot(1)->width, 640);
  EXPECT_EQ(set.Slot(1)->wrap, 0);
  for (int id : {0, 2, 3, 4, 5, 21}) EXPECT_EQ(set.Slot(id)->active, 0) << id;
}
