// The root of every object that serves a window's messages: plain windows,
// dialogs (and the sheets and pages built on them), the system's modal
// sheets and the in-place window of a control. It keeps the one piece of
// state they share, the handle, and the hand-off that links a new window to
// its object: the object is announced before the window is made, the first
// message that reaches the entry procedure binds it (binding.h), and
// WM_NCDESTROY unbinds it. Each kind keeps only its own entry procedure.
#pragma once
#include <windows.h>

#include "appkit/binding.h"

namespace appkit {

class MessageRoot {
 public:
  MessageRoot(const MessageRoot&) = delete;
  MessageRoot& operator=(const MessageRoot&) = delete;

  HWND hwnd() const { return hwnd_; }
  operator HWND() const { return hwnd_; }

 protected:
  explicit MessageRoot(BoundKind kind) : kind_(kind) {}
  virtual ~MessageRoot();

  // A message before the ordinary handling; true (and *result) when handled.
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) { return false; }

  // While one lives, the next window of this object's kind made on this
  // thread binds to it (the announcement before it is restored).
  class Announce {
   public:
    explicit Announce(MessageRoot* object);
    ~Announce();
    Announce(const Announce&) = delete;
    Announce& operator=(const Announce&) = delete;

   private:
    MessageRoot* previous_;
  };

  // The object of `kind` that serves `hwnd`: the one bound to it, else
  // `candidate` (a creation parameter), else the announced object of that
  // kind, which is bound to the handle. nullptr when none.
  static MessageRoot* Enter(HWND hwnd, BoundKind kind, MessageRoot* candidate = nullptr);
  // After the entry procedure handled `msg`: WM_NCDESTROY unbinds the object
  // (true then; the handle is gone).
  static bool Leave(HWND hwnd, UINT msg, MessageRoot* self);
  // Binds the object to a window made elsewhere (subclassing).
  bool Attach(HWND hwnd);
  // The object of `kind` bound to `hwnd`.
  // Unbinds the object from its window (the window stays).
  void Detach();
  template <class T>
  static T* Bound(HWND hwnd, BoundKind kind) {
    return static_cast<T*>(static_cast<MessageRoot*>(BoundWindowObject(hwnd, kind)));
  }

 private:
  HWND hwnd_ = nullptr;
  BoundKind kind_;
};

}  // namespace appkit
