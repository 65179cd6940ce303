#include "cpuleaves.h"

#include <cpuid.h>

#include <algorithm>
#include <cstring>

namespace quorrel {

bool RealCpuid::Supported() const {
  // On a 32-bit processor this tests the ID flag of EFLAGS first; it
  // answers 0 when the instruction does not exist.
  return __get_cpuid_max(0, nullptr) != 0;
}

CpuidLeaf RealCpuid::Query(uint32_t leaf) const {
  CpuidLeaf r;
  __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

CannedCpuid& CannedCpuid::Vendor(uint32_t maxLeaf, const char* vendor12) {
  char v[12] = {};
  std::memcpy(v, vendor12, std::min<size_t>(12, std::strlen(vendor12)));
  CpuidLeaf l;
  l.eax = maxLeaf;
  std::memcpy(&l.ebx, v, 4);
  std::memcpy(&l.edx, v + 4, 4);
  std::memcpy(&l.ecx, v + 8, 4);
  leaves[0] = l;
  return *this;
}

CannedCpuid& CannedCpuid::Brand(const std::string& text) {
  char b[48] = {};
  std::memcpy(b, text.data(), std::min<size_t>(47, text.size()));
  for (uint32_t i = 0; i < 3; ++i) {
    CpuidLeaf l;
    std::memcpy(&l.eax, b + 16 * i, 4);
    std::memcpy(&l.ebx, b + 16 * i + 4, 4);
    std::memcpy(&l.ecx, b + 16 * i + 8, 4);
    std::memcpy(&l.edx, b + 16 * i + 12, 4);
    leaves[0x80000002u + i] = l;
  }
  return *this;
}

}  // namespace quorrel
