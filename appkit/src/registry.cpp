#include "appkit/registry.h"

namespace appkit {

bool RegKey::Open(HKEY root, const std::wstring& path, REGSAM access) {
  Close();
  return ::RegOpenKeyExW(root, path.c_str(), 0, access, &key_) == ERROR_SUCCESS || (key_ = nullptr, false);
}

bool RegKey::Create(HKEY root, const std::wstring& path, REGSAM access) {
  Close();
  return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key_, nullptr) == ERROR_SUCCESS ||
         (key_ = nullptr, false);
}

void RegKey::Close() {
  if (key_) ::RegCloseKey(key_);
  key_ = nullptr;
}

bool RegKey::GetDword(const std::wstring& name, DWORD* value) const {
  if (!key_) return false;
  DWORD type = 0, v = 0, size = sizeof(v);
  if (::RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(v))
    return false;
  *value = v;
  return true;
}

bool RegKey::GetString(const std::wstring& name, std::wstring* value) const {
  if (!key_) return false;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
  size = (DWORD)(buf.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) !=
      ERROR_SUCCESS)
    return false;
  buf.resize(size / sizeof(wchar_t));
  while (!buf.empty() && buf.back() == L'\0') buf.pop_back();
  *value = buf;
  return true;
}

bool RegKey::GetBinary(const std::wstring& name, std::vector<BYTE>* value) const {
  if (!key_) return false;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  std::vector<BYTE> buf(size);
  if (::RegQueryValueExW(key_, name.c_str(), nullptr, &type, buf.data(), &size) != ERROR_SUCCESS) return false;
  buf.resize(size);
  *value = std::move(buf);
  return true;
}

bool RegKey::SetDword(const std::wstring& name, DWORD value) {
  return key_ && ::RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                  sizeof(value)) == ERROR_SUCCESS;
}

bool RegKey::SetString(const std::wstring& name, const std::wstring& value) {
  return key_ && ::RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  (DWORD)((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegKey::SetBinary(const std::wstring& name, const void* data, DWORD size) {
  return key_ && ::RegSetValueExW(key_, name.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
                     ERROR_SUCCESS;
}

bool RegKey::DeleteValue(const std::wstring& name) {
  return key_ && ::RegDeleteValueW(key_, name.c_str()) == ERROR_SUCCESS;
}

DWORD RegReadDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD def) {
  RegKey k;
  DWORD v = def;
  if (k.Open(root, path) && k.GetDword(name, &v)) return v;
  return def;
}

std::wstring RegReadString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& def) {
  RegKey k;
  std::wstring v;
  if (k.Open(root, path) && k.GetString(name, &v)) return v;
  return def;
}

bool RegWriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
  RegKey k;
  return k.Create(root, path) && k.SetDword(name, value);
}

bool RegWriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value) {
  RegKey k;
  return k.Create(root, path) && k.SetString(name, value);
}

bool RegDeleteTree(HKEY root, const std::wstring& path) {
  LSTATUS s = ::RegDeleteTreeW(root, path.c_str());
  if (s == ERROR_SUCCESS) s = ::RegDeleteKeyW(root, path.c_str());
  return s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND;
}

}  // namespace appkit
