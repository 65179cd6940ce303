// The pattern engine of the memory test: the address test and the pattern
// tests over a region of 64 KB blocks, reporting through a sink (the results
// list and progress bar on the page, a recorder in tests). The first error
// ends the run. A fault injector lets tests run the engine over a region
// with a stuck bit or a coupled address. Stop (the sink's abort) is honoured
// within kStopCheckBlocks blocks in every step.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace memtest {

constexpr size_t kBlockBytes = 0x10000;  // one test block, 64 KB
constexpr size_t kBlockWords = kBlockBytes / 4;
constexpr size_t kMinBlocks = 8;         // below this the test does not run
constexpr int kCopyRounds = 2000;
constexpr size_t kCopyDistance = 8;      // blocks copied lie at least this far apart
// Every step reads the stop flag at least once every this many blocks (1 MB)
// of its work, so that Stop acts at once even over a block of gigabytes.
constexpr size_t kStopCheckBlocks = 16;

// Where the test's lines and progress go, and where it learns of an abort.
class TestSink {
 public:
  virtual ~TestSink() = default;
  // Adds a line at the end; answers its index.
  virtual int AddLine(const std::string& text) = 0;
  virtual void ReplaceLine(int index, const std::string& text) = 0;
  virtual void SetProgress(int percent) = 0;
  // Background erasing of the results list (off during a pass).
  virtual void SetErasing(bool on) = 0;
  virtual bool AbortRequested() = 0;
};

enum class Outcome { Passed, Failed, Aborted };

// Which pattern tests run (the address test always runs).
struct Selection {
  bool dataPattern = true;
  bool walkingOnes = true;
  bool movingInversion = true;
  bool walkingZeros = true;
  bool randomCopy = true;
};

// Draws the blocks of the random block copy (any spread of values; the
// engine takes them modulo the block count).
using RandomSource = std::function<uint32_t()>;

// Faults placed into a region for tests. Offsets are byte offsets from the
// region's start; a fault acts on the aligned 32-bit word holding it.
struct Fault {
  enum Kind {
    StuckAt0,  // bit `bit` of the victim word always reads 0
    StuckAt1,  // ... always reads 1
    Coupled,   // a write over the aggressor byte inverts bit `bit` of the victim word
  };
  Kind kind = StuckAt1;
  size_t victim = 0;
  int bit = 0;
  size_t aggressor = 0;
};

class FaultInjector {
 public:
  void Add(const Fault& f) { faults_.push_back(f); }
  // Faults act only while armed (a test arms them where a pattern begins).
  void Arm(bool on) { armed_ = on; }
  bool armed() const { return armed_; }
  const std::vector<Fault>& faults() const { return faults_; }

 private:
  std::vector<Fault> faults_;
  bool armed_ = true;
};

// A region of `blocks` 64 KB blocks starting at `start` (the tail of the
// allocation below 64 KB is not part of it).
struct Region {
  uint8_t* start = nullptr;
  size_t blocks = 0;
};

// Hex text of an address: eight digits where they suffice, all digits of a
// 64-bit address otherwise.
std::string AddressText(uintptr_t address);

// The steps of the engine, each adding its own lines. `faults` may be null.
Outcome AddressTest(const Region& r, TestSink& sink, FaultInjector* faults = nullptr);
Outcome DataPatternTest(const Region& r, TestSink& sink, FaultInjector* faults = nullptr);
Outcome WalkingOnesTest(const Region& r, TestSink& sink, FaultInjector* faults = nullptr);
Outcome MovingInversionTest(const Region& r, TestSink& sink, FaultInjector* faults = nullptr);
Outcome WalkingZerosTest(const Region& r, TestSink& sink, FaultInjector* faults = nullptr);
Outcome RandomBlockCopyTest(const Region& r, TestSink& sink, const RandomSource& random,
                            FaultInjector* faults = nullptr);

// The address test, then the selected tests in order; stops at the first
// error or abort. Progress 10 after the address test.
Outcome RunPatternTests(const Region& r, const Selection& sel, TestSink& sink, const RandomSource& random,
                        FaultInjector* faults = nullptr);

}  // namespace memtest
