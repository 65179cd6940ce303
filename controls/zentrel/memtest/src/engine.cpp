// The pattern engine. Every test is a template over the way memory is
// touched: straight volatile accesses for real runs, or accesses that pass
// through a fault injector in tests. Patterns are written and read as
// aligned 32-bit words (16-bit words in the address test), block by block.
#include "memtest/engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace memtest {
namespace {

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return {};
  return std::string(buf, (size_t)n < sizeof buf ? (size_t)n : sizeof buf - 1);
}

// Real memory.
struct Direct {
  uint32_t Read32(const uint8_t* p) const { return *reinterpret_cast<const volatile uint32_t*>(p); }
  void Write32(uint8_t* p, uint32_t v) const { *reinterpret_cast<volatile uint32_t*>(p) = v; }
  uint16_t Read16(const uint8_t* p) const { return *reinterpret_cast<const volatile uint16_t*>(p); }
  void Write16(uint8_t* p, uint16_t v) const { *reinterpret_cast<volatile uint16_t*>(p) = v; }
};

// Real memory with faults laid over it.
class Faulty {
 public:
  Faulty(FaultInjector& fi, uint8_t* base) : fi_(fi), base_(base) {}

  uint32_t Read32(const uint8_t* p) const {
    uint32_t v = *reinterpret_cast<const volatile uint32_t*>(p);
    return Stuck(Offset(p), v, 0, 32);
  }
  void Write32(uint8_t* p, uint32_t v) const {
    *reinterpret_cast<volatile uint32_t*>(p) = v;
    Couple(Offset(p), 4);
  }
  uint16_t Read16(const uint8_t* p) const {
    size_t off = Offset(p);
    uint16_t v = *reinterpret_cast<const volatile uint16_t*>(p);
    int low = (int)(off & 3) * 8;
    return (uint16_t)(Stuck(off, (uint32_t)v << low, low, 16) >> low);
  }
  void Write16(uint8_t* p, uint16_t v) const {
    *reinterpret_cast<volatile uint16_t*>(p) = v;
    Couple(Offset(p), 2);
  }

 private:
  size_t Offset(const uint8_t* p) const { return (size_t)(p - base_); }
  static size_t WordOf(size_t off) { return off & ~(size_t)3; }

  // Applies stuck bits of the word holding `off` to the bits low..low+width-1 of v.
  uint32_t Stuck(size_t off, uint32_t v, int low, int width) const {
    if (!fi_.armed()) return v;
    for (const Fault& f : fi_.faults()) {
      if (f.kind == Fault::Coupled || WordOf(f.victim) != WordOf(off)) continue;
      if (f.bit < low || f.bit >= low + width) continue;
      uint32_t mask = 1u << f.bit;
      v = f.kind == Fault::StuckAt1 ? (v | mask) : (v & ~mask);
    }
    return v;
  }
  // A write of `width` bytes at `off` that covers an aggressor inverts its victim bit.
  void Couple(size_t off, size_t width) const {
    if (!fi_.armed()) return;
    for (const Fault& f : fi_.faults()) {
      if (f.kind != Fault::Coupled || f.aggressor < off || f.aggressor >= off + width) continue;
      auto* victim = reinterpret_cast<volatile uint32_t*>(base_ + WordOf(f.victim));
      *victim = *victim ^ (1u << f.bit);
    }
  }

  FaultInjector& fi_;
  uint8_t* base_;
};

uintptr_t Addr(const uint8_t* p) { return reinterpret_cast<uintptr_t>(p); }

std::string Hex32(uint32_t v) { return Fmt("%8.8lX", (unsigned long)v); }

// ---- address test ----------------------------------------------------------

inline uint16_t AddressValue(size_t offset, size_t k) { return (uint16_t)(((offset + k) * 2) & 0xFFFF); }

template <class M>
Outcome AddressTestT(const M& m, const Region& r, TestSink& sink) {
  int line = sink.AddLine("Initialize Memory Addresses:");
  sink.SetErasing(false);
  const size_t step = r.blocks / 100 + 1;
  for (size_t k = 1; k <= r.blocks; ++k) {
    if ((k - 1) % kStopCheckBlocks == 0 && sink.AbortRequested()) {
      sink.SetErasing(true);
      return Outcome::Aborted;
    }
    uint8_t* block = r.start + (k - 1) * kBlockBytes;
    for (size_t o = 0; o < kBlockBytes; o += 2) m.Write16(block + o, AddressValue(o, k));
    sink.SetProgress((int)(k / step));
  }
  uint8_t* end = r.start + r.blocks * kBlockBytes;
  sink.ReplaceLine(line, "Initialize Memory Addresses:\t" + AddressText(Addr(end)) + "h\tPASSED ");
  sink.SetErasing(true);
  sink.SetProgress(100);

  sink.SetErasing(false);
  for (size_t k = 1; k <= r.blocks; ++k) {
    if (sink.AbortRequested()) {
      sink.SetErasing(true);
      return Outcome::Aborted;
    }
    uint8_t* block = r.start + (k - 1) * kBlockBytes;
    for (size_t o = 0; o < kBlockBytes; o += 2) {
      uint16_t expected = AddressValue(o, k);
      uint16_t data = m.Read16(block + o);
      if (data != expected) {
        sink.SetProgress(100);
        sink.AddLine("Verify Memory Addresses:\t" + AddressText(Addr(block + o)) + "h\tFAILED ");
        sink.SetErasing(true);
        sink.AddLine("Addr = " + AddressText(Addr(block + o)) + Fmt(", Data = %4.4X, Expected = %4.4X", data, expected));
        return Outcome::Failed;
      }
    }
    sink.SetProgress((int)(k / step));
  }
  sink.SetProgress(100);
  sink.AddLine("Verify Memory Addresses:\t" + AddressText(Addr(end)) + "h\tPASSED ");
  sink.SetErasing(true);
  if (sink.AbortRequested()) return Outcome::Aborted;
  sink.SetProgress(10);
  return Outcome::Passed;
}

// ---- pattern tests ---------------------------------------------------------

struct PatternSpec {
  int passes;
  const char* passLabel;   // "Test Data Pattern:" ...
  const char* failedText;  // the whole FAILED line
  bool reread;             // read the whole block again after writing it
  int divisor, base, endProgress;
  uint32_t (*first)();
  uint32_t (*next)(uint32_t);
};

uint32_t DataFirst() { return 0xAAAAAAAAu; }
uint32_t DataNext(uint32_t p) { return ~p; }
uint32_t OnesFirst() { return 1u; }
uint32_t OnesNext(uint32_t p) { return p << 1; }
uint32_t InvFirst() { return 0xFFFFFFFFu; }
uint32_t InvNext(uint32_t p) { return p << 1; }
uint32_t ZerosFirst() { return 0xFFFFFFFEu; }
uint32_t ZerosNext(uint32_t p) { return p * 2 + 1; }

const PatternSpec kDataPattern{16, "Test Data Pattern:", "Test Data Pattern:\tFAILED ", true, 2, 20, 30, DataFirst, DataNext};
const PatternSpec kWalkingOnes{64, "Walking Ones Test:", "Walking Ones Test:\tFAILED ", false, 4, 30, 50, OnesFirst, OnesNext};
const PatternSpec kMovingInversion{64, "Moving Inversion Test:", "Moving Inversion Test:\t\tFAILED ", false, 4, 50, 70, InvFirst, InvNext};
const PatternSpec kWalkingZeros{64, "Walking Zeros Test:", "Walking Zeros Test:\t\tFAILED ", false, 4, 70, 95, ZerosFirst, ZerosNext};

// Pattern of pass j (1-based): the first pattern at j = 1 and again half-way
// (the data pattern restarts from 0 there), the next one after every pass.
uint32_t PatternOf(const PatternSpec& s, int j, uint32_t previous) {
  if (j == 1) return s.first();
  if (j == s.passes / 2 + 1) return &s == &kDataPattern ? 0u : s.first();
  return s.next(previous);
}

template <class M>
Outcome PatternTestT(const M& m, const Region& r, TestSink& sink, const PatternSpec& s) {
  int line = sink.AddLine(" ");
  sink.SetErasing(false);
  uint32_t pattern = 0;
  for (int j = 1; j <= s.passes; ++j) {
    pattern = PatternOf(s, j, pattern);
    if (sink.AbortRequested()) {
      sink.SetErasing(true);
      return Outcome::Aborted;
    }
    for (size_t k = 0; k < r.blocks; ++k) {
      if (k % kStopCheckBlocks == 0 && k && sink.AbortRequested()) {
        sink.SetErasing(true);
        return Outcome::Aborted;
      }
      uint8_t* block = r.start + k * kBlockBytes;
      uint8_t* bad = nullptr;
      uint32_t data = 0;
      for (size_t o = 0; o < kBlockBytes; o += 4) {
        m.Write32(block + o, pattern);
        data = m.Read32(block + o);
        if (data != pattern) {
          bad = block + o;
          break;
        }
      }
      if (!bad && s.reread) {
        for (size_t o = 0; o < kBlockBytes; o += 4) {
          data = m.Read32(block + o);
          if (data != pattern) {
            bad = block + o;
            break;
          }
        }
      }
      if (bad) {
        sink.ReplaceLine(line, s.failedText);
        sink.SetErasing(true);
        sink.AddLine("Addr = " + AddressText(Addr(bad)) + ", Data = " + Hex32(data) + ", Expected = " + Hex32(pattern));
        return Outcome::Failed;
      }
    }
    sink.ReplaceLine(line, std::string(s.passLabel) + "\t" + Hex32(pattern) + "h\tPASSED ");
    sink.SetProgress(j / s.divisor + s.base);
  }
  sink.SetErasing(true);
  sink.SetProgress(s.endProgress);
  return Outcome::Passed;
}

// ---- random block copy -----------------------------------------------------

template <class M>
Outcome RandomBlockCopyT(const M& m, const Region& r, TestSink& sink, const RandomSource& random) {
  int line = sink.AddLine("Random Mem. Block Copy:");
  sink.SetErasing(false);
  if (r.blocks <= kCopyDistance) {
    // No two blocks lie far enough apart: nothing can be copied.
    sink.ReplaceLine(line, "Random Mem. Block Copy:\t\tPASSED ");
    sink.AddLine("Too little memory to copy blocks: the copy was skipped.");
    sink.SetErasing(true);
    return Outcome::Passed;
  }
  for (int round = 1; round <= kCopyRounds; ++round) {
    if (sink.AbortRequested()) {
      sink.SetErasing(true);
      return Outcome::Aborted;
    }
    size_t a, b;
    do {
      a = random() % r.blocks;
      b = random() % r.blocks;
    } while ((a > b ? a - b : b - a) < kCopyDistance);
    uint8_t* from = r.start + a * kBlockBytes;
    uint8_t* to = r.start + b * kBlockBytes;
    for (size_t o = 0; o < kBlockBytes; o += 4) m.Write32(to + o, m.Read32(from + o));
    for (size_t o = 0; o < kBlockBytes; o += 4) {
      uint32_t source = m.Read32(from + o);
      uint32_t copy = m.Read32(to + o);
      if (source != copy) {
        sink.SetErasing(true);
        sink.AddLine("FromAddr = " + AddressText(Addr(from + o)) + " ToAddr = " + AddressText(Addr(to + o)) +
                     ", Data = " + Hex32(source) + ", Expected = " + Hex32(copy) + ", FAILED ");
        return Outcome::Failed;
      }
    }
    if (round % 20 == 0) sink.SetProgress(round / 20);
  }
  sink.ReplaceLine(line, "Random Mem. Block Copy:\t\tPASSED ");
  sink.SetErasing(true);
  return Outcome::Passed;
}

template <class M>
Outcome RunAllT(const M& m, const Region& r, const Selection& sel, TestSink& sink, const RandomSource& random) {
  Outcome o = AddressTestT(m, r, sink);
  if (o != Outcome::Passed) return o;
  struct Step {
    bool on;
    const PatternSpec* spec;
  } steps[] = {{sel.dataPattern, &kDataPattern},
               {sel.walkingOnes, &kWalkingOnes},
               {sel.movingInversion, &kMovingInversion},
               {sel.walkingZeros, &kWalkingZeros}};
  for (const Step& s : steps) {
    if (!s.on) continue;
    o = PatternTestT(m, r, sink, *s.spec);
    if (o != Outcome::Passed) return o;
  }
  if (sel.randomCopy) return RandomBlockCopyT(m, r, sink, random);
  return Outcome::Passed;
}

// Runs `fn` over plain memory or over the faults.
template <class Fn>
Outcome Dispatch(const Region& r, FaultInjector* faults, Fn fn) {
  if (faults) return fn(Faulty(*faults, r.start));
  return fn(Direct());
}

}  // namespace

std::string AddressText(uintptr_t address) { return Fmt("%8.8llX", (unsigned long long)address); }

Outcome AddressTest(const Region& r, TestSink& sink, FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return AddressTestT(m, r, sink); });
}
Outcome DataPatternTest(const Region& r, TestSink& sink, FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return PatternTestT(m, r, sink, kDataPattern); });
}
Outcome WalkingOnesTest(const Region& r, TestSink& sink, FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return PatternTestT(m, r, sink, kWalkingOnes); });
}
Outcome MovingInversionTest(const Region& r, TestSink& sink, FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return PatternTestT(m, r, sink, kMovingInversion); });
}
Outcome WalkingZerosTest(const Region& r, TestSink& sink, FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return PatternTestT(m, r, sink, kWalkingZeros); });
}
Outcome RandomBlockCopyTest(const Region& r, TestSink& sink, const RandomSource& random, FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return RandomBlockCopyT(m, r, sink, random); });
}
Outcome RunPatternTests(const Region& r, const Selection& sel, TestSink& sink, const RandomSource& random,
                        FaultInjector* faults) {
  return Dispatch(r, faults, [&](const auto& m) { return RunAllT(m, r, sel, sink, random); });
}

}  // namespace memtest
