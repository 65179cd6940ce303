// Program settings in the registry: one key (by default under
// HKEY_CURRENT_USER\Software\<company>\<program>\<section>), every value read
// with a default and written back as a DWORD or a string.
#pragma once
#include <windows.h>

#include <string>

namespace appkit {

class Profile {
 public:
  Profile() = default;
  Profile(HKEY root, std::wstring keyPath) : root_(root), path_(std::move(keyPath)) {}
  // "Software\<company>\<program>\<section>".
  static std::wstring KeyPath(const std::wstring& company, const std::wstring& program, const std::wstring& section);

  HKEY root() const { return root_; }
  const std::wstring& keyPath() const { return path_; }

  // A DWORD value as a signed int; `def` when the key or value is missing
  // or the value is not a DWORD.
  int GetInt(const std::wstring& name, int def) const;
  // A string value; `def` when missing or not a string (an empty stored
  // string is returned as empty).
  std::wstring GetString(const std::wstring& name, const std::wstring& def) const;
  // Writes create the key when needed.
  bool WriteInt(const std::wstring& name, int value) const;
  bool WriteString(const std::wstring& name, const std::wstring& value) const;

 private:
  HKEY root_ = HKEY_CURRENT_USER;
  std::wstring path_;
};

}  // namespace appkit
