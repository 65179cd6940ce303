// whet.dll: the classic Whetstone benchmark. DoWhetstoneTest(loops) runs
// the eleven modules `loops` times over (one loop is 100 Whetstone
// instructions, so loops / (seconds * 10) is MWIPS) and answers the
// seconds they took, timed with QueryPerformanceCounter; 0.0 when it
// cannot time them or loops is not positive.
#pragma once

namespace whet {

// What the modules leave behind, for checking that they ran as written.
struct Outcome {
  double e1[5];
  double x, y, z;
  int j, k, l;
};
Outcome RunLoops(int loops);

}  // namespace whet

#ifdef _WIN32
#include <windows.h>
extern "C" double WINAPI DoWhetstoneTest(int loops);
#endif
