// Registry helpers: a key that closes itself and typed value access.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace appkit {

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(RegKey&& o) noexcept : key_(o.key_) { o.key_ = nullptr; }
  RegKey& operator=(RegKey&& o) noexcept { if (this != &o) { Close(); key_ = o.key_; o.key_ = nullptr; } return *this; }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  bool Open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ);
  bool Create(HKEY root, const std::wstring& path, REGSAM access = KEY_READ | KEY_WRITE);
  void Close();
  bool IsOpen() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

  bool GetDword(const std::wstring& name, DWORD* value) const;
  bool GetString(const std::wstring& name, std::wstring* value) const;
  bool GetBinary(const std::wstring& name, std::vector<BYTE>* value) const;
  bool SetDword(const std::wstring& name, DWORD value);
  bool SetString(const std::wstring& name, const std::wstring& value);
  bool SetBinary(const std::wstring& name, const void* data, DWORD size);
  bool DeleteValue(const std::wstring& name);

 private:
  HKEY key_ = nullptr;
};

// One-shot helpers on HKEY_CURRENT_USER-style keys.
DWORD RegReadDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD def);
std::wstring RegReadString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& def);
bool RegWriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
bool RegWriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
// Deletes a key and everything below it.
bool RegDeleteTree(HKEY root, const std::wstring& path);

}  // namespace appkit
