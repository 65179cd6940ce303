// The TCP/IP tune-up page's rules: reading its boxes, the receive-window
// multiplier, and which registry values an OK has to write.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace netrick {

struct ComboItem {
  const wchar_t* text;
  int value;
};
extern const std::vector<ComboItem> kMtuItems;
extern const std::vector<ComboItem> kMultiplierItems;
extern const std::vector<ComboItem> kTtlItems;
extern const std::vector<ComboItem> kKeepAliveItems;

// A combo box's text: the value of the item it equals exactly, else its
// number when it holds digits only (empty counts as 0), else -1.
int ComboValue(const std::wstring& text, const std::vector<ComboItem>& items);
// An edit's text: its number when it holds digits only, else -1.
int DigitsValue(const std::wstring& text);
// Index into kMultiplierItems of the multiplier that gives `window` from a
// positive `mss`, or -1.
int MultiplierIndex(int mss, int window);

// A registry number written as decimal text; `def` when it is not one.
int RegistryNumber(const std::wstring& text, int def);

// The stack-wide values as shown: receive window (bytes), time to live,
// keep-alive (minutes) and the two path-MTU switches.
struct TcpSettings {
  int receiveWindow = 0;
  int ttl = 64;
  int keepAliveMinutes = 60;
  int pmtuDiscovery = 1;
  int blackHoleDetect = 0;
};

// The values of the stack's key that an OK writes: those whose shown value
// differs from what was shown when the page opened, and that pass the
// checks (window above 0, time to live and minutes 0 or more). Names and
// decimal texts, in the order "DefaultRcvWindow", "DefaultTTL",
// "SessionKeepAlive", "PMTUBlackHoleDetect", "PMTUDiscovery".
std::vector<std::pair<std::wstring, std::wstring>> ChangedTcpValues(const TcpSettings& loaded, const TcpSettings& now);

}  // namespace netrick
