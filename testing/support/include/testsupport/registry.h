// Keys of the current user that a test moves aside while it runs.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// True when HKCU\`path` exists.
bool KeyExists(const std::wstring& path);
// Copies the tree HKCU\`from` to HKCU\`to` and removes `from`; false when
// `from` does not exist or the copy failed.
bool MoveKey(const std::wstring& from, const std::wstring& to);

// Moves HKCU\`key` into HKCU\`backup` for a test and back when it goes: the
// key the test leaves is removed first, so the user's tree returns as it was
// (and a key that did not exist does not exist afterwards). The backup's
// parent key is removed too once it holds nothing else.
class KeyAside {
 public:
  KeyAside(std::wstring key, std::wstring backup);
  ~KeyAside();
  KeyAside(const KeyAside&) = delete;
  KeyAside& operator=(const KeyAside&) = delete;

 private:
  std::wstring key_, backup_;
  bool saved_;
};

}  // namespace testsupport
