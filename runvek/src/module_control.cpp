#include "module_control.h"

namespace runvek {

std::unique_ptr<ModuleControl> CreateModuleControl(const ModuleInfo& module, HWND parent, const RECT& rc,
                                                   DoneHandler onDone) {
  return nullptr;
}

}  // namespace runvek
