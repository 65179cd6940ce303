// The graphics control's rules as plain functions: settings and their
// scaling, the test list's item rules, the GDI steps' geometry, the
// benchmark's credits and scores, and the texts built from data.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gfxtest {

// ---- Settings -------------------------------------------------------------------
struct Setting {
  const char* name;
  int def;
  bool scaled;  // a test count: divided under -Check / -AutoRun, then not written back
  // The values it takes; a stored value outside reads as the default, or as
  // the nearer bound when `toNearerBound`.
  int lo, hi;
  bool toNearerBound = false;
};
// The 33 values of the "Setting" section, in the order they are kept.
const std::vector<Setting>& SettingTable();
// The eleven enables in the order of the test list's items.
const std::vector<std::string>& EnableNames();
// A test count as a run uses it: "Direct3D" at least 400, then divided by 4
// under -Check, else by 2 under -AutoRun; a count that asks for steps keeps
// at least one.
int ScaledCount(const std::string& name, int stored, bool check, bool autoRun);

// ---- Verdicts ----------------------------------------------------------------------
// A test's result line: a batch that ran no step (a count of 0 or less, or
// stopped before its first step) tested nothing and did not pass.
enum class Verdict { Passed, Failed, NotTested };
Verdict BatchVerdict(bool ok, int stepsDone);
// Whether a verdict counts as an error of the run.
inline bool IsError(Verdict v) { return v != Verdict::Passed; }
// Whether the end of a run adds "Nothing was tested." and one error: no test
// gave a result line ("Loop" of 0 or less) and the run was not stopped.
bool NothingTested(int resultLines, bool stopped);

// ---- Test list (11 items: 0 DirectSound, 1 Direct3D, 2 DirectDraw, 3.. GDI) -------
constexpr long kCheckable = 0x80, kChecked = 0x01, kLockedOff = 0x02;
// Item data of a freshly filled list; clears the DirectSound enable when
// neither Direct3D nor DirectDraw is enabled.
std::vector<long> FillItemData(std::vector<int>* enables);
// The list's questions before a click: nonzero lets it through. May change
// the enables and the item data.
int CanCheckTest(int index, std::vector<int>* enables, std::vector<long>* data);
int CanUncheckTest(int index, std::vector<int>* enables, std::vector<long>* data);

// ---- GDI steps -----------------------------------------------------------------------
// 0 when lo >= hi, else r % (hi - lo + 1) + lo (r: one rand() value).
int RandomInRange(int lo, int hi, int r);
// rand() % n for a modulus that may be 0 or negative: 0 then.
int SafeMod(int r, int n);
// PixelTest's limits: xhi = right - 2, not below xlo (left + 2, or 0 when
// left + 2 > right); the modulus is at least 1.
int PixelLimit(int lo, int hi);
// Scrolled rectangles of ScrollDC: min(bottom - h, right - w), never below 0
// nor above the point tables.
constexpr int kPointTableSize = 1002;
int ScrollRectangleCount(int right, int bottom, int width, int height);
// Vertex i of the regular polygon DrawRandomShape draws.
void PolygonVertex(int x, int y, int w, int n, int i, int* vx, int* vy);

// ---- Benchmark --------------------------------------------------------------------
// StretchBltBenchmark's pixel credit for a client of right x bottom.
double StretchCredit(int right, int bottom);
// LineBenchmark's length over the points, with the second term taking the
// new point's x (the reference results depend on it).
double LineLength(const std::vector<int>& xs, const std::vector<int>& ys);
// Million pixels per second; false for a measurement that cannot be one
// (no time elapsed, or no pixels).
bool BenchmarkValue(double pixels, double ms, double* value);
// "%.2lf Million Pixels/Sec"
std::string MillionPixelsText(double value);
// 10^(log10(product) / valid)
double GeometricMean(double product, int valid);
// "Current Resolution:\t%dx%d (%d bits per pixel)"; "" when a value is 0.
std::string ResolutionText(int width, int height, int bits);
// "Video Type:\t<type>\nVideo Memory:\t<size>" from the system-access
// library's video text ("Label\tValue" lines ending in line feeds).
std::string VideoAdapterText(const std::string& bios, const std::string& memoryLabel, const std::string& typeLabel);

// ---- Video-memory tester ----------------------------------------------------------------
// The verdict line from the tester's result file: empty when fewer than 37
// words were read.
std::string VideoMemoryLine(const std::vector<uint8_t>& file);

// ---- Device waits -------------------------------------------------------------------
// One look at a device that may still be busy: done, still busy (try again),
// lost (restore it, then try again) or failed.
enum class Poll { Done, Busy, Lost, Error };
enum class WaitEnd { Done, Error, TimedOut, Stopped };
// A wait on a device with a bound: `attempt` is tried until it is done or
// fails; between tries `between` runs (the message queue is drained there)
// and the wait ends as Stopped as soon as `stopRequested` answers true, or as
// TimedOut once `boundMs` have passed on `nowMs` since the first try.
struct DeviceWait {
  std::function<Poll()> attempt;
  std::function<void()> restore;        // may be empty
  std::function<void()> between;        // may be empty
  std::function<bool()> stopRequested;  // may be empty
  std::function<unsigned()> nowMs;
  unsigned boundMs = 0;
};
WaitEnd WaitForDevice(const DeviceWait& wait);

// A blocking call that cannot be interrupted is judged after it returns: a
// step that took longer than its bound failed.
inline bool StepOverran(double elapsedMs, unsigned boundMs) { return !(elapsedMs <= boundMs); }

}  // namespace gfxtest
