// Processor-benchmark driver for the Dhrystone loop (see bench_driver.h in
// the Whetstone library's bench folder): dhry_bench RUNS prints seconds and
// thousands of Dhrystones per second.
#include "bench_driver.h"
#include "dhry/dhry.h"

namespace {

void PrintValues(int runs) {
  dhry::Outcome o = dhry::RunLoops(runs);
  std::printf("Int_Glob %d Bool_Glob %d Ch_1_Glob %c Ch_2_Glob %c\n", o.intGlob, o.boolGlob, o.ch1Glob, o.ch2Glob);
  std::printf("Arr_1_Glob[8] %d Arr_2_Glob[8][7] %d\n", o.arr1Glob8, o.arr2Glob87);
  std::printf("Ptr_Glob %d %d %s\nNext_Ptr_Glob %d %d\n", o.ptrGlobIntComp, o.ptrGlobEnumComp, o.ptrGlobStr.c_str(),
              o.nextPtrIntComp, o.nextPtrEnumComp);
  std::printf("Int_1_Loc %d Int_2_Loc %d Int_3_Loc %d Enum_Loc %d\n", o.int1Loc, o.int2Loc, o.int3Loc, o.enumLoc);
  std::printf("Str_1_Loc %s\nStr_2_Loc %s\n", o.str1Loc.c_str(), o.str2Loc.c_str());
}

void PrintRate(int runs, double seconds) {
  std::printf("%d runs: %.3f s, %.1f K Dhrystones/s\n", runs, seconds, runs / (seconds * 1000.0));
}

}  // namespace

int main(int argc, char** argv) {
  const benchdriver::Driver d{"dhry_bench", L"dhry.dll", "DoDhrystoneTest",
                              [](int runs) { dhry::RunLoops(runs); }, PrintValues, PrintRate};
  return benchdriver::Main(d, argc, argv);
}
