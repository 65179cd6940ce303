// The Dhrystone 2.1 loop: its records, procedures and functions as the
// classic program has them. The procedures stay out of line, as the
// original keeps them in a second file.
#include "dhry/dhry.h"

#include <cstring>

#define NOINLINE __attribute__((noinline))

namespace dhry {
namespace {

enum Enumeration { Ident_1, Ident_2, Ident_3, Ident_4, Ident_5 };
using Str_30 = char[31];
using Arr_1_Dim = int[50];
using Arr_2_Dim = int[50][50];

struct Record {
  Record* Ptr_Comp;
  Enumeration Discr;
  union {
    struct {
      Enumeration Enum_Comp;
      int Int_Comp;
      char Str_Comp[31];
    } var_1;
    struct {
      Enumeration E_Comp_2;
      char Str_2_Comp[31];
    } var_2;
    struct {
      char Ch_1_Comp;
      char Ch_2_Comp;
    } var_3;
  } variant;
};

Record* Ptr_Glob;
Record* Next_Ptr_Glob;
int Int_Glob;
bool Bool_Glob;
char Ch_1_Glob, Ch_2_Glob;
int Arr_1_Glob[50];
int Arr_2_Glob[50][50];

void Proc_6(Enumeration Enum_Val_Par, Enumeration* Enum_Ref_Par);
void Proc_7(int Int_1_Par_Val, int Int_2_Par_Val, int* Int_Par_Ref);
Enumeration Func_1(char Ch_1_Par_Val, char Ch_2_Par_Val);
bool Func_3(Enumeration Enum_Par_Val);

NOINLINE void Proc_3(Record** Ptr_Ref_Par) {
  if (Ptr_Glob != nullptr) *Ptr_Ref_Par = Ptr_Glob->Ptr_Comp;
  Proc_7(10, Int_Glob, &Ptr_Glob->variant.var_1.Int_Comp);
}

NOINLINE void Proc_1(Record* Ptr_Val_Par) {
  Record* Next_Record = Ptr_Val_Par->Ptr_Comp;
  *Ptr_Val_Par->Ptr_Comp = *Ptr_Glob;
  Ptr_Val_Par->variant.var_1.Int_Comp = 5;
  Next_Record->variant.var_1.Int_Comp = Ptr_Val_Par->variant.var_1.Int_Comp;
  Next_Record->Ptr_Comp = Ptr_Val_Par->Ptr_Comp;
  Proc_3(&Next_Record->Ptr_Comp);
  if (Next_Record->Discr == Ident_1) {
    Next_Record->variant.var_1.Int_Comp = 6;
    Proc_6(Ptr_Val_Par->variant.var_1.Enum_Comp, &Next_Record->variant.var_1.Enum_Comp);
    Next_Record->Ptr_Comp = Ptr_Glob->Ptr_Comp;
    Proc_7(Next_Record->variant.var_1.Int_Comp, 10, &Next_Record->variant.var_1.Int_Comp);
  } else {
    *Ptr_Val_Par = *Ptr_Val_Par->Ptr_Comp;
  }
}

NOINLINE void Proc_2(int* Int_Par_Ref) {
  int Int_Loc = *Int_Par_Ref + 10;
  Enumeration Enum_Loc = Ident_2;
  do {
    if (Ch_1_Glob == 'A') {
      Int_Loc -= 1;
      *Int_Par_Ref = Int_Loc - Int_Glob;
      Enum_Loc = Ident_1;
    }
  } while (Enum_Loc != Ident_1);
}

NOINLINE void Proc_4() {
  bool Bool_Loc = Ch_1_Glob == 'A';
  Bool_Glob = Bool_Loc | Bool_Glob;
  Ch_2_Glob = 'B';
}

NOINLINE void Proc_5() {
  Ch_1_Glob = 'A';
  Bool_Glob = false;
}

NOINLINE void Proc_6(Enumeration Enum_Val_Par, Enumeration* Enum_Ref_Par) {
  *Enum_Ref_Par = Enum_Val_Par;
  if (!Func_3(Enum_Val_Par)) *Enum_Ref_Par = Ident_4;
  switch (Enum_Val_Par) {
    case Ident_1: *Enum_Ref_Par = Ident_1; break;
    case Ident_2: *Enum_Ref_Par = Int_Glob > 100 ? Ident_1 : Ident_4; break;
    case Ident_3: *Enum_Ref_Par = Ident_2; break;
    case Ident_4: break;
    case Ident_5: *Enum_Ref_Par = Ident_3; break;
  }
}

NOINLINE void Proc_7(int Int_1_Par_Val, int Int_2_Par_Val, int* Int_Par_Ref) {
  int Int_Loc = Int_1_Par_Val + 2;
  *Int_Par_Ref = Int_2_Par_Val + Int_Loc;
}

NOINLINE void Proc_8(Arr_1_Dim Arr_1_Par_Ref, Arr_2_Dim Arr_2_Par_Ref, int Int_1_Par_Val, int Int_2_Par_Val) {
  int Int_Loc = Int_1_Par_Val + 5;
  Arr_1_Par_Ref[Int_Loc] = Int_2_Par_Val;
  Arr_1_Par_Ref[Int_Loc + 1] = Arr_1_Par_Ref[Int_Loc];
  Arr_1_Par_Ref[Int_Loc + 30] = Int_Loc;
  for (int Int_Index = Int_Loc; Int_Index <= Int_Loc + 1; ++Int_Index) Arr_2_Par_Ref[Int_Loc][Int_Index] = Int_Loc;
  Arr_2_Par_Ref[Int_Loc][Int_Loc - 1] += 1;
  Arr_2_Par_Ref[Int_Loc + 20][Int_Loc] = Arr_1_Par_Ref[Int_Loc];
  Int_Glob = 5;
}

NOINLINE Enumeration Func_1(char Ch_1_Par_Val, char Ch_2_Par_Val) {
  char Ch_1_Loc = Ch_1_Par_Val;
  char Ch_2_Loc = Ch_1_Loc;
  if (Ch_2_Loc != Ch_2_Par_Val) return Ident_1;
  Ch_1_Glob = Ch_1_Loc;
  return Ident_2;
}

NOINLINE bool Func_2(const char* Str_1_Par_Ref, const char* Str_2_Par_Ref) {
  int Int_Loc = 2;
  char Ch_Loc = 'A';
  while (Int_Loc <= 2) {
    if (Func_1(Str_1_Par_Ref[Int_Loc], Str_2_Par_Ref[Int_Loc + 1]) == Ident_1) {
      Ch_Loc = 'A';
      Int_Loc += 1;
    }
  }
  if (Ch_Loc >= 'W' && Ch_Loc < 'Z') Int_Loc = 7;
  if (Ch_Loc == 'R') return true;
  if (std::strcmp(Str_1_Par_Ref, Str_2_Par_Ref) > 0) {
    Int_Loc += 7;
    Int_Glob = Int_Loc;
    return true;
  }
  return false;
}

NOINLINE bool Func_3(Enumeration Enum_Par_Val) { return Enum_Par_Val == Ident_3; }

volatile int g_runs;

}  // namespace

Outcome RunLoops(int runs) {
  g_runs = runs;
  const int Number_Of_Runs = g_runs;
  Record glob{}, next{};
  Next_Ptr_Glob = &next;
  Ptr_Glob = &glob;
  Ptr_Glob->Ptr_Comp = Next_Ptr_Glob;
  Ptr_Glob->Discr = Ident_1;
  Ptr_Glob->variant.var_1.Enum_Comp = Ident_3;
  Ptr_Glob->variant.var_1.Int_Comp = 40;
  std::strcpy(Ptr_Glob->variant.var_1.Str_Comp, "DHRYSTONE PROGRAM, SOME STRING");
  Str_30 Str_1_Loc, Str_2_Loc;
  std::strcpy(Str_1_Loc, "DHRYSTONE PROGRAM, 1'ST STRING");
  std::memset(Arr_1_Glob, 0, sizeof Arr_1_Glob);
  std::memset(Arr_2_Glob, 0, sizeof Arr_2_Glob);
  Arr_2_Glob[8][7] = 10;
  Int_Glob = 0;
  Bool_Glob = false;
  Ch_1_Glob = Ch_2_Glob = 0;

  int Int_1_Loc = 0, Int_2_Loc = 0, Int_3_Loc = 0;
  Enumeration Enum_Loc = Ident_1;
  for (int Run_Index = 1; Run_Index <= Number_Of_Runs; ++Run_Index) {
    Proc_5();
    Proc_4();
    Int_1_Loc = 2;
    Int_2_Loc = 3;
    std::strcpy(Str_2_Loc, "DHRYSTONE PROGRAM, 2'ND STRING");
    Enum_Loc = Ident_2;
    Bool_Glob = !Func_2(Str_1_Loc, Str_2_Loc);
    while (Int_1_Loc < Int_2_Loc) {
      Int_3_Loc = 5 * Int_1_Loc - Int_2_Loc;
      Proc_7(Int_1_Loc, Int_2_Loc, &Int_3_Loc);
      Int_1_Loc += 1;
    }
    Proc_8(Arr_1_Glob, Arr_2_Glob, Int_1_Loc, Int_3_Loc);
    Proc_1(Ptr_Glob);
    for (char Ch_Index = 'A'; Ch_Index <= Ch_2_Glob; ++Ch_Index) {
      if (Enum_Loc == Func_1(Ch_Index, 'C')) {
        Proc_6(Ident_1, &Enum_Loc);
        std::strcpy(Str_2_Loc, "DHRYSTONE PROGRAM, 3'RD STRING");
        Int_2_Loc = Run_Index;
        Int_Glob = Run_Index;
      }
    }
    Int_2_Loc = Int_2_Loc * Int_1_Loc;
    Int_1_Loc = Int_2_Loc / Int_3_Loc;
    Int_2_Loc = 7 * (Int_2_Loc - Int_3_Loc) - Int_1_Loc;
    Proc_2(&Int_1_Loc);
  }

  Outcome o;
  o.intGlob = Int_Glob;
  o.boolGlob = Bool_Glob;
  o.ch1Glob = Ch_1_Glob;
  o.ch2Glob = Ch_2_Glob;
  o.arr1Glob8 = Arr_1_Glob[8];
  o.arr2Glob87 = Arr_2_Glob[8][7];
  o.ptrGlobIntComp = Ptr_Glob->variant.var_1.Int_Comp;
  o.ptrGlobEnumComp = Ptr_Glob->variant.var_1.Enum_Comp;
  o.nextPtrIntComp = Next_Ptr_Glob->variant.var_1.Int_Comp;
  o.nextPtrEnumComp = Next_Ptr_Glob->variant.var_1.Enum_Comp;
  o.int1Loc = Int_1_Loc;
  o.int2Loc = Int_2_Loc;
  o.int3Loc = Int_3_Loc;
  o.enumLoc = Enum_Loc;
  o.ptrGlobStr = Ptr_Glob->variant.var_1.Str_Comp;
  o.str1Loc = Str_1_Loc;
  o.str2Loc = Str_2_Loc;
  Ptr_Glob = Next_Ptr_Glob = nullptr;
  return o;
}

}  // namespace dhry
