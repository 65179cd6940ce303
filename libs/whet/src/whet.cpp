// The Whetstone loops, after the classic double-precision program.
#include "whet/whet.h"

#include <cmath>

namespace whet {
namespace {

// Globals as in the original, so that every module works through memory.
double T, T1, T2, E1[5];
int J, K, L;

// Bounds read through a volatile, so that no module is folded away.
volatile int g_scale;
volatile double g_sink;

__attribute__((noinline)) void PA(double E[]) {
  J = 0;
  do {
    E[1] = (E[1] + E[2] + E[3] - E[4]) * T;
    E[2] = (E[1] + E[2] - E[3] + E[4]) * T;
    E[3] = (E[1] - E[2] + E[3] + E[4]) * T;
    E[4] = (-E[1] + E[2] + E[3] + E[4]) / T2;
    J += 1;
  } while (J < 6);
}

__attribute__((noinline)) void P0() {
  E1[J] = E1[K];
  E1[K] = E1[L];
  E1[L] = E1[J];
}

__attribute__((noinline)) void P3(double X, double Y, double* Z) {
  double X1 = X, Y1 = Y;
  X1 = T * (X1 + Y1);
  Y1 = T * (X1 + Y1);
  *Z = (X1 + Y1) / T2;
}

}  // namespace

Outcome RunLoops(int loops) {
  g_scale = loops;
  const long long loop = g_scale;
  T = .499975;
  T1 = 0.50025;
  T2 = 2.0;
  const long long N2 = 12 * loop, N3 = 14 * loop, N4 = 345 * loop, N6 = 210 * loop, N7 = 32 * loop,
                  N8 = 899 * loop, N9 = 616 * loop, N11 = 93 * loop;
  double X, Y, Z;

  // Module 2: array elements.
  E1[1] = 1.0;
  E1[2] = -1.0;
  E1[3] = -1.0;
  E1[4] = -1.0;
  for (long long i = 1; i <= N2; i++) {
    E1[1] = (E1[1] + E1[2] + E1[3] - E1[4]) * T;
    E1[2] = (E1[1] + E1[2] - E1[3] + E1[4]) * T;
    E1[3] = (E1[1] - E1[2] + E1[3] + E1[4]) * T;
    E1[4] = (-E1[1] + E1[2] + E1[3] + E1[4]) * T;
  }
  // Module 3: an array as parameter.
  for (long long i = 1; i <= N3; i++) PA(E1);
  // Module 4: conditional jumps.
  J = 1;
  for (long long i = 1; i <= N4; i++) {
    J = J == 1 ? 2 : 3;
    J = J > 2 ? 0 : 1;
    J = J < 1 ? 1 : 0;
  }
  // Module 6: integer arithmetic.
  J = 1;
  K = 2;
  L = 3;
  for (long long i = 1; i <= N6; i++) {
    J = J * (K - J) * (L - K);
    K = L * K - (L - J) * K;
    L = (L - K) * (K + J);
    E1[L - 1] = J + K + L;
    E1[K - 1] = J * K * L;
  }
  // Module 7: trigonometric functions.
  X = 0.5;
  Y = 0.5;
  for (long long i = 1; i <= N7; i++) {
    X = T * std::atan(T2 * std::sin(X) * std::cos(X) / (std::cos(X + Y) + std::cos(X - Y) - 1.0));
    Y = T * std::atan(T2 * std::sin(Y) * std::cos(Y) / (std::cos(X + Y) + std::cos(X - Y) - 1.0));
  }
  // Module 8: procedure calls.
  double x8 = 1.0, y8 = 1.0;
  Z = 1.0;
  for (long long i = 1; i <= N8; i++) P3(x8, y8, &Z);
  // Module 9: array references.
  J = 1;
  K = 2;
  L = 3;
  E1[1] = 1.0;
  E1[2] = 2.0;
  E1[3] = 3.0;
  for (long long i = 1; i <= N9; i++) P0();
  // Module 11: standard functions.
  double x11 = 0.75;
  for (long long i = 1; i <= N11; i++) x11 = std::sqrt(std::exp(std::log(x11) / T1));

  g_sink = E1[1] + E1[2] + E1[3] + E1[4] + X + Y + Z + x11;
  Outcome o{};
  for (int i = 0; i < 5; ++i) o.e1[i] = E1[i];
  o.x = X;
  o.y = Y;
  o.z = x11;
  o.j = J;
  o.k = K;
  o.l = L;
  return o;
}

}  // namespace whet
