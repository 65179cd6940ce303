// GCC joins sin(x) and cos(x) of one argument into a single sincos call.
// msvcrt.dll has no sincos, and the toolchain's own one is the slow x87
// version: this one answers with the C library's sin and cos, so that the
// joined call gives exactly what the two separate calls would.
// Built with -fno-builtin, so the two calls are not joined here again.
#include <math.h>

extern "C" void sincos(double x, double* s, double* c) {
  *s = sin(x);
  *c = cos(x);
}
