// The run state every part of the graphics control shares.
#include "graphics.h"

namespace graphics {

RunFlags& Run() {
  static RunFlags flags;
  return flags;
}

}  // namespace graphics
