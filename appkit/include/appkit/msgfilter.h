// Win32's own modal loops (message boxes, DialogBox, menus, modal property
// sheets) take messages posted to the thread without a window and drop them:
// App::PreTranslate never sees them. While a ModalThreadMessageFilter lives,
// those loops hand every such thread message to App::PreTranslate first (a
// WH_MSGFILTER hook of the thread); what it handles is not dispatched.
#pragma once
#include <windows.h>

namespace appkit {

class ModalThreadMessageFilter {
 public:
  ModalThreadMessageFilter();
  ~ModalThreadMessageFilter();
  ModalThreadMessageFilter(const ModalThreadMessageFilter&) = delete;
  ModalThreadMessageFilter& operator=(const ModalThreadMessageFilter&) = delete;
  bool installed() const { return hook_ != nullptr; }

 private:
  static LRESULT CALLBACK FilterProc(int code, WPARAM wp, LPARAM lp);
  HHOOK hook_ = nullptr;
};

}  // namespace appkit
