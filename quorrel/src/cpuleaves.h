// Where the processor writer and the self-tests get CPUID values from: the
// instruction itself, or leaves laid down in advance (tests, other machines).
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace quorrel {

struct CpuidLeaf {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

class CpuidSource {
 public:
  virtual ~CpuidSource() = default;
  // Whether the processor has the instruction at all (a 386 or early 486
  // does not; executing it there would fault).
  virtual bool Supported() const = 0;
  virtual CpuidLeaf Query(uint32_t leaf) const = 0;
};

// The instruction of the processor this runs on.
class RealCpuid : public CpuidSource {
 public:
  bool Supported() const override;
  CpuidLeaf Query(uint32_t leaf) const override;
};

// Leaves given by hand. A leaf that was not given answers what `missing`
// holds (all zero unless set), as a processor answers a leaf it lacks with
// some other leaf's data.
class CannedCpuid : public CpuidSource {
 public:
  bool Supported() const override { return supported; }
  CpuidLeaf Query(uint32_t leaf) const override {
    auto it = leaves.find(leaf);
    return it == leaves.end() ? missing : it->second;
  }
  CannedCpuid& Set(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
    leaves[leaf] = CpuidLeaf{eax, ebx, ecx, edx};
    return *this;
  }
  // Leaf 0 with the highest standard leaf and the 12-character vendor text.
  CannedCpuid& Vendor(uint32_t maxLeaf, const char* vendor12);
  // Leaves 0x80000002..4 holding a brand text (at most 47 characters).
  CannedCpuid& Brand(const std::string& text);

  std::map<uint32_t, CpuidLeaf> leaves;
  CpuidLeaf missing;
  bool supported = true;
};

}  // namespace quorrel
