#include "testsupport/registry.h"

#include "appkit/registry.h"

namespace testsupport {

bool KeyExists(const std::wstring& path) {
  appkit::RegKey k;
  return k.Open(HKEY_CURRENT_USER, path);
}

bool MoveKey(const std::wstring& from, const std::wstring& to) {
  if (!KeyExists(from)) return false;
  appkit::RegKey dest;
  if (!dest.Create(HKEY_CURRENT_USER, to)) return false;
  appkit::RegKey src;
  src.Open(HKEY_CURRENT_USER, from);
  bool ok = ::RegCopyTreeW(src.get(), nullptr, dest.get()) == ERROR_SUCCESS;
  src.Close();
  if (ok) appkit::RegDeleteTree(HKEY_CURRENT_USER, from);
  return ok;
}

KeyAside::KeyAside(std::wstring key, std::wstring backup) : key_(std::move(key)), backup_(std::move(backup)) {
  appkit::RegDeleteTree(HKEY_CURRENT_USER, backup_);
  saved_ = MoveKey(key_, backup_);
}

KeyAside::~KeyAside() {
  appkit::RegDeleteTree(HKEY_CURRENT_USER, key_);
  if (saved_) MoveKey(backup_, key_);
  appkit::RegDeleteTree(HKEY_CURRENT_USER, backup_);
  // The backup's parent goes too once nothing else is kept there (a key
  // with subkeys is not deleted by RegDeleteKey).
  size_t slash = backup_.rfind(L'\\');
  if (slash != std::wstring::npos) ::RegDeleteKeyW(HKEY_CURRENT_USER, backup_.substr(0, slash).c_str());
}

}  // namespace testsupport
