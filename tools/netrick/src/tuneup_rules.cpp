#include "tuneup_rules.h"

#include <climits>

namespace netrick {

const std::vector<ComboItem> kMtuItems = {{L"552 (Lowest Normal Setting)", 552},
                                          {L"576 (Recommended for Dial-Up Connection)", 576},
                                          {L"1500 (Windows 95 Default Value)", 1500}};
const std::vector<ComboItem> kMultiplierItems = {{L"2", 2}, {L"4 (Recommended)", 4}, {L"6", 6}, {L"8", 8}};
const std::vector<ComboItem> kTtlItems = {{L"0", 0}, {L"32 (Default Value)", 32}, {L"64 (Recommended)", 64}, {L"128", 128}};
const std::vector<ComboItem> kKeepAliveItems = {
    {L"30 min", 30}, {L"60 min (Default Value)", 60}, {L"90 min", 90}, {L"120 min", 120}};

int DigitsValue(const std::wstring& text) {
  long long v = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return -1;
    v = v * 10 + (c - L'0');
    if (v > INT_MAX) return -1;
  }
  return (int)v;
}

int ComboValue(const std::wstring& text, const std::vector<ComboItem>& items) {
  for (const ComboItem& item : items)
    if (text == item.text) return item.value;
  return DigitsValue(text);
}

int MultiplierIndex(int mss, int window) {
  if (mss <= 0 || window % mss != 0) return -1;
  for (size_t i = 0; i < kMultiplierItems.size(); ++i)
    if (window / mss == kMultiplierItems[i].value) return (int)i;
  return -1;
}

int RegistryNumber(const std::wstring& text, int def) {
  std::wstring t = text;
  while (!t.empty() && (t.back() == L' ' || t.back() == L'\0')) t.pop_back();
  size_t start = t.find_first_not_of(L' ');
  if (start == std::wstring::npos) return def;
  int v = DigitsValue(t.substr(start));
  return v < 0 ? def : v;
}

std::vector<std::pair<std::wstring, std::wstring>> ChangedTcpValues(const TcpSettings& loaded, const TcpSettings& now) {
  std::vector<std::pair<std::wstring, std::wstring>> out;
  if (now.receiveWindow > 0 && now.receiveWindow != loaded.receiveWindow)
    out.push_back({L"DefaultRcvWindow", std::to_wstring(now.receiveWindow)});
  if (now.ttl >= 0 && now.ttl != loaded.ttl) out.push_back({L"DefaultTTL", std::to_wstring(now.ttl)});
  if (now.keepAliveMinutes >= 0 && now.keepAliveMinutes != loaded.keepAliveMinutes)
    out.push_back({L"SessionKeepAlive", std::to_wstring((long long)now.keepAliveMinutes * 60000)});
  if (now.blackHoleDetect != loaded.blackHoleDetect)
    out.push_back({L"PMTUBlackHoleDetect", now.blackHoleDetect ? L"1" : L"0"});
  if (now.pmtuDiscovery != loaded.pmtuDiscovery)
    out.push_back({L"PMTUDiscovery", now.pmtuDiscovery ? L"1" : L"0"});
  return out;
}

}  // namespace netrick
