// dhry.dll: the classic Dhrystone 2.1 benchmark. DoDhrystoneTest(runs)
// runs the main loop `runs` times and answers the seconds it took, timed
// with QueryPerformanceCounter; 0.0 when it cannot time them or runs is not
// positive. runs / (seconds * 1000) is thousands of Dhrystones per second.
#pragma once
#include <string>

namespace dhry {

// The globals and locals that the program's own report checks at its end.
struct Outcome {
  int intGlob, boolGlob;
  char ch1Glob, ch2Glob;
  int arr1Glob8, arr2Glob87;
  int ptrGlobIntComp, ptrGlobEnumComp, nextPtrIntComp, nextPtrEnumComp;
  int int1Loc, int2Loc, int3Loc, enumLoc;
  std::string ptrGlobStr, str1Loc, str2Loc;
};
Outcome RunLoops(int runs);

}  // namespace dhry

#ifdef _WIN32
#include <windows.h>
extern "C" double WINAPI DoDhrystoneTest(int runs);
#endif
