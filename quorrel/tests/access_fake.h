// A system-access library of a made-up Windows 9x machine: GetQuorrel
// answers canned texts (or flag bytes) by class and records every call.
#pragma once
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace accessfake {

struct Call {
  WORD infoClass, size;
  char secondByte;  // the short-form request byte as the caller set it
};

struct State {
  std::map<WORD, std::string> answers;  // a class without an answer fails
  std::vector<Call> calls;
};

inline State& Access() {
  static State state;
  return state;
}

inline DWORD WINAPI GetQuorrel(WORD infoClass, WORD size, void* buffer) {
  char* b = static_cast<char*>(buffer);
  Access().calls.push_back({infoClass, size, b[1]});
  auto a = Access().answers.find(infoClass);
  if (a == Access().answers.end()) return 0;
  size_t n = a->second.size() < size ? a->second.size() : size;
  std::memcpy(b, a->second.data(), n);
  return 1;
}

// Clears the answers and calls for a test.
inline void Reset() { Access() = State(); }

}  // namespace accessfake
