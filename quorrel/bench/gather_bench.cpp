// Times the information server's writers on this machine: every one of the
// sixteen categories written into its .IFO file (in a scratch directory),
// warm: after one pass that is not counted, the given number of passes
// (default 5) are timed, each category on its own and the whole pass. The
// modem lines are asked of the ports once before the timing and handed to
// the modem writer, so that the probe's waits for silent ports are not in
// the figures. Prints the median of each. Run it by hand:
//   gather_bench [passes]
// With "--once" it writes the sixteen files once, cold, and the modem
// writer gets the lines of a machine without modems instead of a probe: a
// process that does what one full collection does, for an outside timer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gather.h"
#include "infosink.h"
#include "mmdevices.h"
#include "modem.h"
#include "module.h"
#include "settings.h"
#include "suite/info.h"
#include "worker.h"

using namespace quorrel;

namespace {

double Seconds() {
  static LARGE_INTEGER f = [] {
    LARGE_INTEGER x;
    ::QueryPerformanceFrequency(&x);
    return x;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return (double)t.QuadPart / (double)f.QuadPart;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  bool once = argc > 1 && std::strcmp(argv[1], "--once") == 0;
  int passes = argc > 1 && !once ? std::atoi(argv[1]) : 5;
  if (passes < 1) passes = 1;

  ModuleState& m = Module();
  m.module = ::GetModuleHandleW(nullptr);
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + L"quorrel-bench\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  m.moduleDir = dir;
  ReadSummarySwitches(m.switches);
  PrepareGatherers(m.system.getQuorrel, m.moduleDir);
  BuildMciDeviceList();

  StringSink modem;
  double probe0 = Seconds();
  if (once)
    modem.text = "\n@3Modem Information\nModem:\tNot Found\n";
  else
    WriteModemInfo(modem);
  double probe = Seconds() - probe0;

  int switches[suite::SW_COUNT];
  for (unsigned i = 0; i < suite::SW_COUNT; ++i) switches[i] = m.switches[i];
  GatherContext ctx;
  ctx.switches = switches;
  ctx.modemText = &modem.text;

  std::vector<std::vector<double>> times(suite::INFO_CATEGORY_COUNT);
  std::vector<double> totals;
  int first = once ? 1 : 0;
  if (once) passes = 1;
  for (int pass = first; pass <= passes; ++pass) {
    double start = Seconds();
    for (unsigned c = 0; c < suite::INFO_CATEGORY_COUNT; ++c) {
      std::wstring path = dir + std::wstring(suite::kInfoFileBase[c], suite::kInfoFileBase[c] +
                                                 strlen(suite::kInfoFileBase[c])) + L".IFO";
      double t0 = Seconds();
      if (!WriteInfoFile(path.c_str(), c, ctx)) std::printf("category %u: the file was not written\n", c);
      if (pass > 0) times[c].push_back(Seconds() - t0);
    }
    if (pass > 0) totals.push_back(Seconds() - start);
  }

  if (!once) std::printf("modem probe (not counted): %.1f ms\n", probe * 1000);
  for (unsigned c = 0; c < suite::INFO_CATEGORY_COUNT; ++c)
    std::printf("%-9s %8.2f ms\n", suite::kInfoFileBase[c], Median(times[c]) * 1000);
  std::printf("all 16 categories, %s: median %.1f ms over %d passes (min %.1f, max %.1f)\n",
              once ? "cold" : "warm", Median(totals) * 1000, passes, *std::min_element(totals.begin(), totals.end()) * 1000,
              *std::max_element(totals.begin(), totals.end()) * 1000);
  ShutdownGatherers();
  return 0;
}
