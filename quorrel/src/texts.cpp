#include "texts.h"

#include <atomic>

namespace quorrel {

namespace {
// Set on the server's thread before its workers start, and cleared only
// after they have ended.
std::atomic<HINSTANCE> g_resources{nullptr};
std::atomic<HMODULE> g_module{nullptr};
std::string g_messageBoxTitle;  // set before the server window is made
}  // namespace

void SetTextModules(HINSTANCE resources, HMODULE module) {
  g_resources = resources;
  g_module = module;
}

HINSTANCE ResourceInstance() {
  HINSTANCE res = g_resources;
  return res ? res : g_module.load();
}

void SetMessageBoxTitle(const std::string& title) { g_messageBoxTitle = title; }

int ShowQuorrelMessage(const std::string& text, UINT type) {
  return ::MessageBoxA(nullptr, text.c_str(), g_messageBoxTitle.c_str(), type);
}

int ShowQuorrelMessageId(UINT id, UINT type) { return ShowQuorrelMessage(Str(id), type); }

std::string Str(UINT id) {
  char buf[1024];
  HINSTANCE res = g_resources;
  HMODULE module = g_module;
  int n = ::LoadStringA(res ? res : module, id, buf, sizeof(buf));
  if (n <= 0 && res != module && module) n = ::LoadStringA(module, id, buf, sizeof(buf));
  return n > 0 ? std::string(buf, (size_t)n) : std::string();
}

}  // namespace quorrel
