// Made-up modems behind ModemLine: each port name has a profile (echo,
// replies, silence, replies in chunks, endless chatter); time is the fake
// line's own clock, moved on by the probe's Sleep.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "modem.h"

namespace modemtest {

struct ModemProfile {
  bool echo = true;
  bool silent = false;
  bool chatter = false;  // sends text without end and never a result line
  std::map<std::string, std::vector<std::string>> replies;
  std::vector<std::string> otherwise{"OK"};
  size_t chunk = 0;      // bytes per piece of a reply, 0 = all at once
  DWORD chunkGap = 0;    // ms between pieces
  DWORD delay = 30;      // ms before a reply starts
};

class FakeModemLine : public quorrel::ModemLine {
 public:
  std::map<std::string, ModemProfile> ports;
  std::map<std::string, std::vector<std::string>> commands;  // by port, as received
  std::map<std::string, int> opens;
  bool haveDefault = true;
  DCB defaultDcb{};
  std::string defaultAskedFor;
  DWORD now = 1000000;

  bool Open(const std::string& name) override {
    Close();
    auto it = ports.find(name);
    if (it == ports.end()) return false;
    current_ = name;
    ++opens[name];
    echo_ = it->second.echo;
    return true;
  }
  void Close() override {
    current_.clear();
    arriving_.clear();
    partial_.clear();
  }
  bool IsOpen() const override { return !current_.empty(); }
  bool Purge() override {
    arriving_.clear();
    return IsOpen();
  }
  bool Write(const char* data, DWORD size) override {
    if (!IsOpen()) return false;
    const ModemProfile& p = ports[current_];
    std::string text(data, size);
    if (p.silent) return true;
    if (echo_) Arrive(now, text);
    partial_ += text;
    size_t cr;
    while ((cr = partial_.find('\r')) != std::string::npos) {
      std::string command = partial_.substr(0, cr);
      partial_.erase(0, cr + 1);
      commands[current_].push_back(command);
      auto it = p.replies.find(command);
      const std::vector<std::string>& lines = it != p.replies.end() ? it->second : p.otherwise;
      std::string reply;
      for (const std::string& l : lines) reply += "\r\n" + l + "\r\n";
      size_t chunk = p.chunk ? p.chunk : (reply.empty() ? 1 : reply.size());
      DWORD at = now + p.delay;
      for (size_t i = 0; i < reply.size(); i += chunk, at += p.chunkGap) Arrive(at, reply.substr(i, chunk));
    }
    return true;
  }
  bool Queued(DWORD* bytes) override {
    if (!IsOpen()) return false;
    if (ports[current_].chatter) Arrive(now, "NOISE ");
    *bytes = 0;
    for (const auto& a : arriving_)
      if (a.first <= now) *bytes += static_cast<DWORD>(a.second.size());
    return true;
  }
  bool Read(char* buffer, DWORD size, DWORD* got) override {
    *got = 0;
    while (*got < size && !arriving_.empty() && arriving_.front().first <= now) {
      std::string& piece = arriving_.front().second;
      DWORD n = static_cast<DWORD>(piece.size()) < size - *got ? static_cast<DWORD>(piece.size()) : size - *got;
      memcpy(buffer + *got, piece.data(), n);
      *got += n;
      piece.erase(0, n);
      if (piece.empty()) arriving_.erase(arriving_.begin());
    }
    return IsOpen();
  }
  void Sleep(DWORD ms) override { now += ms; }
  DWORD Tick() override { return now; }
  bool DefaultConfig(const std::string& name, COMMCONFIG* config, DWORD* size) override {
    defaultAskedFor = name;
    if (!haveDefault) return false;
    config->dcb = defaultDcb;
    *size = sizeof(*config);
    return true;
  }

 private:
  void Arrive(DWORD at, const std::string& bytes) {
    auto pos = arriving_.end();
    while (pos != arriving_.begin() && (pos - 1)->first > at) --pos;
    arriving_.insert(pos, {at, bytes});
  }
  std::string current_;
  std::string partial_;
  bool echo_ = true;
  std::vector<std::pair<DWORD, std::string>> arriving_;
};

}  // namespace modemtest
