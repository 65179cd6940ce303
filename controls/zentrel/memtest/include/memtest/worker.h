// The memory test worker's steps around the pattern engine: making room in
// physical memory, sizing the test block, pinning it in the working set,
// allocating it, and the whole run in order. The system's memory services
// sit behind SystemMemory so that the steps run against a fake in tests.
#pragma once
#include <cstdint>
#include <string>

#include "memtest/engine.h"

namespace memtest {

// Figures of GlobalMemoryStatusEx.
struct MemoryFigures {
  uint64_t totalPhys = 0;
  uint64_t availPhys = 0;
  uint64_t availPageFile = 0;
};

struct MemTestConfig {
  bool win9x = false;     // the Windows 9x branch (else NT)
  bool concurrent = false;  // "-C"
  int percent = 8;          // its percentage
  bool quick = false;       // "-Check"
  uint64_t maxMemMB = 20;   // MaxMem (caps the block with "-C")
  Selection selection;
};

constexpr uint64_t k9xSizeLimit = 0xF000000;  // 240 MB
constexpr uint64_t kQuickLimit = 0x700000;    // 7 MB
constexpr uint64_t kWorkingSetStep = 0x100000;
constexpr uint64_t kLowMemoryLimit = kMinBlocks * kBlockBytes;  // 512 KB
constexpr int kRoomPasses = 5;

// The stop flag is read at least once every this many bytes of a
// room-making pass's touching.
constexpr uint64_t kStopCheckBytes = kStopCheckBlocks * kBlockBytes;

// What the machine can commit now, less a margin (ctlfw::CommittableNow):
// no block of the test is larger.
uint64_t MemoryWithinReach(const MemoryFigures& m);
// Bytes a room-making pass allocates and touches.
uint64_t RoomPassSize(const MemoryFigures& m, const MemTestConfig& c);
// Bytes of the test block before the working set is grown.
uint64_t TestBlockSize(const MemoryFigures& m, const MemTestConfig& c);
// size x 15 / 16 without overflow.
uint64_t Shrink(uint64_t size);
// Progress interval of a touching pass over `size` bytes (never 0).
uint64_t TouchStep(uint64_t size);
// Progress of pass i (1-based) after touching the word at byte offset c.
int TouchProgress(int pass, uint64_t offset, uint64_t step);

// The system services the worker uses.
class SystemMemory {
 public:
  virtual ~SystemMemory() = default;
  virtual MemoryFigures Figures() = 0;
  // Fixed memory; nullptr on failure. Lock answers the usable address.
  virtual void* Alloc(uint64_t size) = 0;
  virtual uint8_t* Lock(void* block) = 0;
  virtual void Unlock(void* block) = 0;
  virtual void Free(void* block) = 0;
  virtual bool GetWorkingSet(uint64_t* minimum, uint64_t* maximum) = 0;
  virtual bool SetWorkingSet(uint64_t minimum, uint64_t maximum) = 0;
};

// The real services (GlobalMemoryStatusEx, GlobalAlloc, the process's
// working-set size). `machineLimit` (bytes, 0 = none) makes the figures
// those of a machine no larger than that: tests run real memory with it.
class RealSystemMemory : public SystemMemory {
 public:
  explicit RealSystemMemory(uint64_t machineLimit = 0) : limit_(machineLimit) {}
  MemoryFigures Figures() override;
  void* Alloc(uint64_t size) override;
  uint8_t* Lock(void* block) override;
  void Unlock(void* block) override;
  void Free(void* block) override;
  bool GetWorkingSet(uint64_t* minimum, uint64_t* maximum) override;
  bool SetWorkingSet(uint64_t minimum, uint64_t maximum) override;

 private:
  uint64_t limit_;
};

// Step 1: allocates, touches and frees the room-making blocks. Aborted when
// the abort flag was seen during or after a pass.
Outcome MakeRoom(SystemMemory& sys, const MemTestConfig& c, TestSink& sink);

// Step 3 (NT): grows the working set to hold `*size` bytes, lowering *size by
// 1 MB while the system refuses. True when the working set holds the block,
// also when its current minimum already covers it.
bool GrowWorkingSet(SystemMemory& sys, uint64_t currentMinimum, uint64_t* size);

// Step 5: allocates the test block, shrinking by 1/16 while that fails, down
// to the low-memory limit. nullptr when nothing could be had.
void* AllocateTestBlock(SystemMemory& sys, uint64_t* size);

// The whole memory test over the system's memory, lines to the sink;
// `faults` (tests) are laid over the test block.
Outcome RunMemoryTest(SystemMemory& sys, const MemTestConfig& c, TestSink& sink, const RandomSource& random,
                      FaultInjector* faults = nullptr);

}  // namespace memtest
