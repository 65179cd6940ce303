// The "Tune-up" page (Windows 9x): the TCP/IP stack's values in the 9x
// registry, shown and changed. OK writes only the values the user changed.
#include <algorithm>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "netrick.h"
#include "resource.h"

namespace netrick {

namespace {

const wchar_t kClassKey[] = L"System\\CurrentControlSet\\Services\\Class\\";
const wchar_t kVxdKey[] = L"System\\CurrentControlSet\\Services\\Vxd\\";

std::vector<std::wstring> SubkeyNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    if (::RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  return names;
}

std::vector<std::wstring> ValueNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD len = 256;
    const LONG r = ::RegEnumValueW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  return names;
}

std::wstring ReadString(const std::wstring& path, const wchar_t* name, bool* found = nullptr) {
  appkit::RegKey key;
  std::wstring value;
  const bool ok = key.Open(HKEY_LOCAL_MACHINE, path) && key.GetString(name, &value);
  if (found) *found = ok;
  return ok ? value : L"";
}

void FillCombo(HWND combo, const std::vector<ComboItem>& items) {
  for (const ComboItem& item : items) ::SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)item.text);
}

}  // namespace

void CTuneup::ScanNetAdapters(const std::wstring& enumKey) {
  appkit::RegKey root;
  if (!root.Open(HKEY_LOCAL_MACHINE, enumKey)) return;
  for (const std::wstring& device : SubkeyNames(root.get())) {
    appkit::RegKey deviceKey;
    if (!deviceKey.Open(root.get(), device)) continue;
    for (const std::wstring& instance : SubkeyNames(deviceKey.get())) {
      appkit::RegKey adapter;
      std::wstring cls;
      if (!adapter.Open(deviceKey.get(), instance) || !adapter.GetString(L"Class", &cls) || _wcsicmp(cls.c_str(), L"Net") != 0)
        continue;
      std::wstring description;
      adapter.GetString(L"DeviceDesc", &description);
      appkit::RegKey bindings;
      if (!bindings.Open(adapter.get(), L"Bindings")) continue;
      for (const std::wstring& binding : ValueNames(bindings.get())) {
        if (binding.empty() || binding == L"(Default)") continue;
        const size_t slash = binding.find(L'\\');
        const std::wstring protocol = binding.substr(0, slash);
        const std::wstring inst = slash == std::wstring::npos ? L"" : binding.substr(slash + 1);
        if (_wcsicmp(protocol.c_str(), L"MSTCP") != 0) continue;
        const std::wstring driver = ReadString(L"Enum\\Network\\" + protocol + L"\\" + inst, L"Driver");
        if (driver.empty()) continue;
        stackKey_ = protocol;
        AdapterRecord record{description, driver};
        ReadAdapterMtu(&record);
        adapters_.push_back(record);
        SendItem(IDC_ADAPTER, CB_ADDSTRING, 0, (LPARAM)description.c_str());
      }
    }
  }
}

void CTuneup::ReadAdapterMtu(AdapterRecord* record) {
  if (stackKey_.empty() || record->driver.empty()) return;
  record->mtu = 576;
  record->mss = 536;
  bool found = false;
  const std::wstring text = ReadString(kClassKey + record->driver, L"MaxMTU", &found);
  if (found) {
    record->mtu = RegistryNumber(text, 576);
    record->mss = record->mtu - 40;
  }
  record->loadedMtu = record->mtu;
  largestMss_ = std::max(largestMss_, record->mss);
}

void CTuneup::LoadTcpSettings() {
  settings_ = TcpSettings{};
  if (!stackKey_.empty()) {
    appkit::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kVxdKey + stackKey_)) {
      std::wstring v;
      if (key.GetString(L"DefaultRcvWindow", &v)) settings_.receiveWindow = RegistryNumber(v, 0);
      if (key.GetString(L"DefaultTTL", &v)) settings_.ttl = RegistryNumber(v, 64);
      if (key.GetString(L"SessionKeepAlive", &v)) settings_.keepAliveMinutes = RegistryNumber(v, 3600000) / 60000;
      if (key.GetString(L"PMTUDiscovery", &v)) settings_.pmtuDiscovery = RegistryNumber(v, 1) ? 1 : 0;
      if (key.GetString(L"PMTUBlackHoleDetect", &v)) settings_.blackHoleDetect = RegistryNumber(v, 0) ? 1 : 0;
    }
  }
  if (settings_.receiveWindow == 0) settings_.receiveWindow = 4 * largestMss_;
}

BOOL CTuneup::OnInit() {
  for (const wchar_t* key : {L"Enum\\Root", L"Enum\\PCI", L"Enum\\ISAPNP"}) ScanNetAdapters(key);
  LoadTcpSettings();
  FillCombo(Item(IDC_MTU), kMtuItems);
  FillCombo(Item(IDC_MULTIPLIER), kMultiplierItems);
  FillCombo(Item(IDC_TTL), kTtlItems);
  FillCombo(Item(IDC_KEEP_ALIVE), kKeepAliveItems);
  if (!adapters_.empty()) {
    SendItem(IDC_ADAPTER, CB_SETCURSEL, 0);
    ShowAdapter(0);
    SetItemInt(IDC_RCV_WINDOW, settings_.receiveWindow);
    SendItem(IDC_MULTIPLIER, CB_SETCURSEL, (WPARAM)MultiplierIndex(adapters_[0].mss, settings_.receiveWindow));
    SetItemInt(IDC_TTL, settings_.ttl);
    SetItemInt(IDC_KEEP_ALIVE, settings_.keepAliveMinutes);
    Check(IDC_AUTO_DETECT, settings_.pmtuDiscovery != 0);
    Check(IDC_BLACK_HOLE, settings_.blackHoleDetect != 0);
    shown_ = true;
  }
  loaded_ = settings_;
  return TRUE;
}

int CTuneup::SelectedAdapter() const {
  const int i = (int)SendItem(IDC_ADAPTER, CB_GETCURSEL);
  return i >= 0 && i < (int)adapters_.size() ? i : -1;
}

void CTuneup::ShowAdapter(int index) {
  if (index < 0) return;
  SetItemInt(IDC_MTU, adapters_[index].mtu);
  SetItemInt(IDC_MSS, adapters_[index].mss);
}

bool CTuneup::SkipFieldChecks() const {
  if (TheApp()->closing) return true;
  HWND focus = ::GetFocus();
  return focus && focus == ::GetDlgItem(SheetWindow(), IDCANCEL);
}

void CTuneup::CheckField(int id) {
  if (SkipFieldChecks()) return;
  CNetrickApp* app = TheApp();
  const std::wstring text = ItemText(id);
  switch (id) {
    case IDC_MTU: {
      const int adapter = SelectedAdapter();
      if (adapter < 0) return;
      const int v = ComboValue(text, kMtuItems);
      if (v > 40) {
        adapters_[adapter].mtu = v;
        adapters_[adapter].mss = v - 40;
        SetItemInt(IDC_MSS, v - 40);
      } else {
        app->Message(hwnd(), app->Str(IDS_MTU_TOO_SMALL), MB_OK);
        SetItemInt(IDC_MTU, adapters_[adapter].mtu);
      }
      break;
    }
    case IDC_TTL:
      if (ComboValue(text, kTtlItems) < 0) {
        app->Message(hwnd(), app->Str(IDS_TTL_NEGATIVE), MB_OK);
        SetItemInt(IDC_TTL, settings_.ttl);
      }
      break;
    case IDC_KEEP_ALIVE:
      if (ComboValue(text, kKeepAliveItems) <= 0) {
        app->Message(hwnd(), app->Str(IDS_KEEPALIVE_TOO_SMALL), MB_OK);
        SetItemInt(IDC_KEEP_ALIVE, settings_.keepAliveMinutes);
      }
      break;
    case IDC_RCV_WINDOW:
      if (DigitsValue(text) <= 0) {
        app->Message(hwnd(), app->Str(IDS_WINDOW_TOO_SMALL), MB_OK);
        SetItemInt(IDC_RCV_WINDOW, settings_.receiveWindow);
      }
      break;
    default:
      break;
  }
}

bool CTuneup::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_ADAPTER && code == CBN_SELCHANGE) {
    ShowAdapter(SelectedAdapter());
    return true;
  }
  if (id == IDC_MTU && code == CBN_SELCHANGE) {
    const int item = (int)SendItem(IDC_MTU, CB_GETCURSEL);
    const int adapter = SelectedAdapter();
    if (item >= 0 && item < (int)kMtuItems.size() && adapter >= 0) {
      adapters_[adapter].mtu = kMtuItems[item].value;
      adapters_[adapter].mss = kMtuItems[item].value - 40;
      SetItemInt(IDC_MSS, adapters_[adapter].mss);
    }
    return true;
  }
  if (id == IDC_MULTIPLIER && code == CBN_SELCHANGE) {
    const int item = (int)SendItem(IDC_MULTIPLIER, CB_GETCURSEL);
    const int mss = DigitsValue(ItemText(IDC_MSS));
    if (item >= 0 && item < (int)kMultiplierItems.size() && mss >= 0) {
      settings_.receiveWindow = mss * kMultiplierItems[item].value;
      SetItemInt(IDC_RCV_WINDOW, settings_.receiveWindow);
    }
    return true;
  }
  if ((code == CBN_KILLFOCUS && (id == IDC_MTU || id == IDC_TTL || id == IDC_KEEP_ALIVE)) ||
      (code == EN_KILLFOCUS && id == IDC_RCV_WINDOW)) {
    CheckField(id);
    return true;
  }
  return appkit::ModalSheetPage::OnCommand(id, code, ctl);
}

TcpSettings CTuneup::FieldsNow() const {
  TcpSettings now;
  now.receiveWindow = DigitsValue(ItemText(IDC_RCV_WINDOW));
  now.ttl = ComboValue(ItemText(IDC_TTL), kTtlItems);
  now.keepAliveMinutes = ComboValue(ItemText(IDC_KEEP_ALIVE), kKeepAliveItems);
  now.pmtuDiscovery = IsChecked(IDC_AUTO_DETECT) ? 1 : 0;
  now.blackHoleDetect = IsChecked(IDC_BLACK_HOLE) ? 1 : 0;
  return now;
}

void CTuneup::ApplyTuneup() {
  if (stackKey_.empty()) return;  // nothing was read, nothing is written
  for (const AdapterRecord& a : adapters_)
    if (a.mtu != -1 && a.mtu != a.loadedMtu && !a.driver.empty())
      appkit::RegWriteString(HKEY_LOCAL_MACHINE, kClassKey + a.driver, L"MaxMTU", std::to_wstring(a.mtu));
  if (!shown_) return;
  const auto changed = ChangedTcpValues(loaded_, FieldsNow());
  if (changed.empty()) return;
  appkit::RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kVxdKey + stackKey_, KEY_SET_VALUE)) return;
  for (const auto& v : changed) key.SetString(v.first, v.second);
}

}  // namespace netrick
