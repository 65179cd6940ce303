#include "gfxtest/sprites.h"

namespace gfxtest {

Blit ClipSpriteBlit(int x, int y, int sx, int sy, int w, int h) {
  if (x + w > kTargetWidth) w = kTargetWidth - x;
  if (y + h > kTargetHeight) h = kTargetHeight - y;
  if (y < 0) {
    sy -= y;
    h += y;
    y = 0;
  }
  if (x < 0) {
    sx -= x;
    w += x;
    x = 0;
  }
  // One line below the frame's top edge, as the frame sheets are drawn.
  Blit b{x, y, sx, sy + 1, sx + w, sy + 1 + h};
  return b;
}

bool StepUp(int* x, int* y, int w, int h, int s, const SpriteSlot& b, bool wrap) {
  int ny = *y;
  if (ny + h - s < b.top) {
    if (!wrap) return false;
    ny = b.bottom + h;
  }
  *y = ny - s;
  return true;
}

bool StepDown(int* x, int* y, int w, int h, int s, const SpriteSlot& b, bool wrap) {
  if (*y + s > b.bottom) {
    if (!wrap) return false;
    *y = b.top - h;
  } else {
    *y += s;
  }
  return true;
}

bool StepLeft(int* x, int* y, int w, int h, int s, const SpriteSlot& b, bool wrap) {
  int nx = *x;
  if (nx + w - s < b.left) {
    if (!wrap) return false;
    nx = b.right + w;
  }
  *x = nx - s;
  return true;
}

bool StepRight(int* x, int* y, int w, int h, int s, const SpriteSlot& b, bool wrap) {
  int nx = *x;
  if (nx + s > b.right) {
    if (!wrap) return false;
    nx -= b.right - b.left + w;
  }
  *x = nx + s;
  return true;
}

SpriteSet::SpriteSet(int slots) : slots_(slots > 0 ? slots : 0) {}

SpriteSlot* SpriteSet::Slot(int id) { return id >= 0 && id < Count() ? &slots_[id] : nullptr; }

void SpriteSet::SetSprite(int id, int x, int y, int ox, int oy, int w, int h, int frames, int perRow, int first,
                          int delay, int mode, int speed, int wrap, int l, int t, int r, int b) {
  SpriteSlot* s = Slot(id);
  if (!s) return;
  s->x = x, s->y = y, s->originX = ox, s->originY = oy, s->width = w, s->height = h;
  s->frameCount = frames > 0 ? frames : 1;
  s->framesPerRow = perRow > 0 ? perRow : 1;
  s->frame = first, s->delay = delay, s->mode = mode, s->speed = speed, s->wrap = wrap;
  s->left = l, s->top = t, s->right = r, s->bottom = b;
  s->xRate = s->yRate = s->xAcc = s->yAcc = 0;
  s->active = 1;
}

void SpriteSet::SetSpriteMotion(int id, int mode, int xRate, int yRate, int xDir, int yDir) {
  SpriteSlot* s = Slot(id);
  if (!s) return;
  s->mode = mode;
  if (mode == 9) {
    s->xRate = xRate, s->yRate = yRate, s->xDir = xDir, s->yDir = yDir;
    s->xAcc = s->yAcc = 0;
  }
}

void SpriteSet::SetSpriteActive(int id, int on) {
  if (SpriteSlot* s = Slot(id)) s->active = on;
}

void SpriteSet::NextSpriteFrame(int id) {
  if (SpriteSlot* s = Slot(id)) s->frame = (s->frame + 1) % s->frameCount;
}

void SpriteSet::MoveSprite(int id) {
  SpriteSlot* s = Slot(id);
  if (!s || !s->active) return;
  if (s->delay != 0 && ++s->counter > s->delay) {
    s->counter = 0;
    NextSpriteFrame(id);
  }
  int x = s->x, y = s->y, w = s->width, h = s->height, v = s->speed;
  bool wrap = s->wrap != 0;
  bool ok = true;
  switch (s->mode) {
    case 1: ok = StepUp(&x, &y, w, h, v, *s, wrap); break;
    case 2: ok = StepDown(&x, &y, w, h, v, *s, wrap); break;
    case 3: ok = StepLeft(&x, &y, w, h, v, *s, wrap); break;
    case 4: ok = StepRight(&x, &y, w, h, v, *s, wrap); break;
    case 5: ok = StepLeft(&x, &y, w, h, v, *s, wrap) & StepUp(&x, &y, w, h, v, *s, wrap); break;
    case 6: ok = StepRight(&x, &y, w, h, v, *s, wrap) & StepUp(&x, &y, w, h, v, *s, wrap); break;
    case 7: ok = StepLeft(&x, &y, w, h, v, *s, wrap) & StepDown(&x, &y, w, h, v, *s, wrap); break;
    case 8: ok = StepRight(&x, &y, w, h, v, *s, wrap) & StepDown(&x, &y, w, h, v, *s, wrap); break;
    case 9: {
      s->xAcc += s->xRate;
      int n = s->xAcc / 100;
      if (n != 0) {
        s->xAcc -= n * 100;
        ok &= s->xDir == 3 ? StepLeft(&x, &y, w, h, n, *s, wrap) : StepRight(&x, &y, w, h, n, *s, wrap);
      }
      s->yAcc += s->yRate;
      n = s->yAcc / 100;
      if (n != 0) {
        s->yAcc -= n * 100;
        ok &= s->yDir == 2 ? StepDown(&x, &y, w, h, n, *s, wrap) : StepUp(&x, &y, w, h, n, *s, wrap);
      }
      break;
    }
    default: break;
  }
  s->x = x;
  s->y = y;
  s->active = ok ? 1 : 0;
}

bool SpriteSet::DrawSprite(int id, const std::function<bool(const Blit&)>& blit) {
  SpriteSlot* s = Slot(id);
  if (!s || !s->active) return true;
  int sy = s->originY + (s->frame / s->framesPerRow) * s->height;
  int sx = s->originX + (s->frame % s->framesPerRow) * s->width;
  Blit b = ClipSpriteBlit(s->x, s->y, sx, sy, s->width, s->height);
  if (b.Empty()) return true;
  return blit(b);
}

void SpriteSet::PlaceSprites(const std::function<int()>& rnd) {
  for (int i = 0; i < 15; ++i) {
    int id = i + 6;
    int first = rnd() % 15;
    int y = rnd() % 480;
    int x = rnd() % 640;
    SetSprite(id, x, y, 0, 480, 128, 50, 15, 5, first, 3, 2, 1, 1, 0, 0, 640, 480);
    int xRate = rnd() % 200 + 300;
    int yRate = rnd() % 200 + 300;
    int xDir = (rnd() & 1) ? 4 : 3;
    int yDir = (rnd() & 1) ? 1 : 2;
    SetSpriteMotion(id, 9, xRate, yRate, xDir, yDir);
    SetSpriteActive(id, 1);
  }
}

void SpriteSet::PlaceBackdrop() { SetSprite(1, 0, 0, 0, 0, 640, 480, 1, 1, 0, 0, 0, 0, 0, 0, 0, 640, 480); }

}  // namespace gfxtest
