#include "appkit/msgroot.h"

namespace appkit {

namespace {
thread_local MessageRoot* g_announced = nullptr;
}  // namespace

MessageRoot::~MessageRoot() {
  if (hwnd_ && BoundWindowObject(hwnd_, kind_) == this) UnbindWindowObject(hwnd_, kind_);
  if (g_announced == this) g_announced = nullptr;
}

MessageRoot::Announce::Announce(MessageRoot* object) : previous_(g_announced) { g_announced = object; }

MessageRoot::Announce::~Announce() { g_announced = previous_; }

bool MessageRoot::Attach(HWND hwnd) {
  if (!hwnd || !BindWindowObject(hwnd, this, kind_)) return false;
  hwnd_ = hwnd;
  return true;
}

void MessageRoot::Detach() {
  if (hwnd_) UnbindWindowObject(hwnd_, kind_);
  hwnd_ = nullptr;
}

MessageRoot* MessageRoot::Enter(HWND hwnd, BoundKind kind, MessageRoot* candidate) {
  if (auto* self = static_cast<MessageRoot*>(BoundWindowObject(hwnd, kind))) return self;
  MessageRoot* self = candidate;
  if (!self && g_announced && g_announced->kind_ == kind) self = g_announced;
  if (!self || !self->Attach(hwnd)) return nullptr;
  // Taken: a window this one makes while it is created announces itself.
  if (g_announced == self) g_announced = nullptr;
  return self;
}

bool MessageRoot::Leave(HWND hwnd, UINT msg, MessageRoot* self) {
  if (msg != WM_NCDESTROY || !self || self->hwnd_ != hwnd) return false;
  self->Detach();
  return true;
}

}  // namespace appkit
