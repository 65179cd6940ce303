// The DirectDraw test's sprites: slots with their frame sheets and motion
// rules, the clipping of one frame against the 640 x 480 target, and the
// placement of the backdrop and the fifteen sprites. Drawing goes through a
// callback so that the rules run without DirectDraw.
#pragma once
#include <functional>
#include <vector>

namespace gfxtest {

struct SpriteSlot {
  int active = 0;
  int x = 0, y = 0;
  int originX = 0, originY = 0;
  int width = 0, height = 0;
  int frameCount = 1, framesPerRow = 1, frame = 0;
  int delay = 1, counter = 0;
  int mode = 0, speed = 1;
  int xRate = 0, yRate = 0, xAcc = 0, yAcc = 0;
  int xDir = 0, yDir = 0;
  int wrap = 1;
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Source rectangle and target place of one frame after clipping.
struct Blit {
  int x, y;                          // on the target
  int left, top, right, bottom;      // in the image
  bool Empty() const { return right <= left || bottom <= top; }
};
constexpr int kTargetWidth = 640, kTargetHeight = 480;
Blit ClipSpriteBlit(int x, int y, int sourceX, int sourceY, int w, int h);

// The four steps: false when the sprite must wrap but may not (the position
// is then unchanged).
bool StepUp(int* x, int* y, int w, int h, int speed, const SpriteSlot& b, bool wrap);
bool StepDown(int* x, int* y, int w, int h, int speed, const SpriteSlot& b, bool wrap);
bool StepLeft(int* x, int* y, int w, int h, int speed, const SpriteSlot& b, bool wrap);
bool StepRight(int* x, int* y, int w, int h, int speed, const SpriteSlot& b, bool wrap);

class SpriteSet {
 public:
  explicit SpriteSet(int slots);
  int Count() const { return (int)slots_.size(); }
  // nullptr for an id not below the slot count.
  SpriteSlot* Slot(int id);

  void SetSprite(int id, int x, int y, int originX, int originY, int w, int h, int frames, int perRow, int first,
                 int delay, int mode, int speed, int wrap, int l, int t, int r, int b);
  void SetSpriteMotion(int id, int mode, int xRate, int yRate, int xDir, int yDir);
  void SetSpriteActive(int id, int on);
  void NextSpriteFrame(int id);
  void MoveSprite(int id);
  // Clipped blit of the slot's current frame (active slots only); the
  // callback answers whether the blit worked. True for an empty rectangle.
  bool DrawSprite(int id, const std::function<bool(const Blit&)>& blit);

  // Ids 6 .. 20 from a random source (the platform's rand()).
  void PlaceSprites(const std::function<int()>& rnd);
  void PlaceBackdrop();

 private:
  std::vector<SpriteSlot> slots_;
};

}  // namespace gfxtest
