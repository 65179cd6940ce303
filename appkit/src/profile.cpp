#include "appkit/profile.h"

#include "appkit/registry.h"

namespace appkit {

std::wstring Profile::KeyPath(const std::wstring& company, const std::wstring& program, const std::wstring& section) {
  return L"Software\\" + company + L"\\" + program + L"\\" + section;
}

int Profile::GetInt(const std::wstring& name, int def) const {
  RegKey k;
  DWORD v = 0;
  if (k.Open(root_, path_) && k.GetDword(name, &v)) return static_cast<int>(v);
  return def;
}

std::wstring Profile::GetString(const std::wstring& name, const std::wstring& def) const {
  RegKey k;
  std::wstring v;
  if (k.Open(root_, path_) && k.GetString(name, &v)) return v;
  return def;
}

bool Profile::WriteInt(const std::wstring& name, int value) const {
  return RegWriteDword(root_, path_, name, static_cast<DWORD>(value));
}

bool Profile::WriteString(const std::wstring& name, const std::wstring& value) const {
  return RegWriteString(root_, path_, name, value);
}

}  // namespace appkit
