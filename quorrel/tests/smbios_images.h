// Canned SMBIOS machines for the reader's tests: structure tables built
// field by field, and the BIOS areas that hold them.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace smbiostest {

// Little-endian field bytes: B(1) << W(0x1234) << D(...).
struct Fields {
  std::vector<uint8_t> b;
  Fields& B(unsigned v) {
    b.push_back((uint8_t)v);
    return *this;
  }
  Fields& W(unsigned v) { return B(v & 0xFF).B((v >> 8) & 0xFF); }
  Fields& D(uint32_t v) { return W(v & 0xFFFF).W(v >> 16); }
  Fields& Q(uint64_t v) { return D((uint32_t)v).D((uint32_t)(v >> 32)); }
  Fields& Zero(size_t n) {
    b.insert(b.end(), n, 0);
    return *this;
  }
};

struct Table {
  std::vector<uint8_t> bytes;
  // A structure: header (type, length, handle), the fields from offset 04h,
  // then the strings (two NULs when there are none).
  Table& Add(unsigned type, unsigned handle, const Fields& f, const std::vector<std::string>& strings = {}) {
    bytes.push_back((uint8_t)type);
    bytes.push_back((uint8_t)(4 + f.b.size()));
    bytes.push_back((uint8_t)(handle & 0xFF));
    bytes.push_back((uint8_t)(handle >> 8));
    bytes.insert(bytes.end(), f.b.begin(), f.b.end());
    for (const std::string& s : strings) {
      bytes.insert(bytes.end(), s.begin(), s.end());
      bytes.push_back(0);
    }
    if (strings.empty()) bytes.push_back(0);
    bytes.push_back(0);
    return *this;
  }
  Table& End(unsigned handle) { return Add(127, handle, Fields()); }
};

// The machines of the golden files.
Table Smbios21Machine();
Table Smbios23Machine();
Table Smbios24Machine();
// The structures of a 3.x machine (reached through its 2.x entry point).
Table Smbios3Machine();
// A table of more than 2 KB.
Table LargeMachine();

}  // namespace smbiostest
