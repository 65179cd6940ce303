// Made-up modems behind ModemLine: each port name has a profile (echo,
// replies, silence, replies in chunks, endless chatter). FakeModems is the
// machine; every line it hands out has a clock of its own, moved on by the
// line's waits only: a wait ends when the next byte arrives or when its
// time is up, so the line time a dialogue took is exact.
#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
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

constexpr DWORD kFakeStart = 1000000;

class FakeModems {
 public:
  std::map<std::string, ModemProfile> ports;
  // Guarded by `lock` (a probe's ports talk on threads of their own).
  std::map<std::string, std::vector<std::string>> commands;  // by port, as received
  std::map<std::string, int> opens;
  std::map<std::string, DWORD> lineTime;  // line time of the last open of each port, open to close
  int openNow = 0;
  int mostOpen = 0;  // the most ports open at the same time
  // When set, an open waits (really, for at most a few seconds) until this
  // many ports are open: ports asked one after another never get there.
  // Once they have met, a port opened again later waits no more.
  int meetAt = 0;
  bool haveDefault = true;
  DCB defaultDcb{};
  std::string defaultAskedFor;
  std::mutex lock;
  std::condition_variable changed;

  quorrel::ModemLineFactory Lines();
  void Clear() {
    std::lock_guard<std::mutex> hold(lock);
    commands.clear();
    opens.clear();
    lineTime.clear();
    mostOpen = 0;
  }
};

class FakeModemLine : public quorrel::ModemLine {
 public:
  explicit FakeModemLine(FakeModems& machine) : m_(machine) {}
  ~FakeModemLine() override { Close(); }
  DWORD now = kFakeStart;

  bool Open(const std::string& name) override {
    Close();
    std::unique_lock<std::mutex> hold(m_.lock);
    auto it = m_.ports.find(name);
    if (it == m_.ports.end()) return false;
    current_ = name;
    profile_ = it->second;
    opened_ = now;
    ++m_.opens[name];
    ++m_.openNow;
    if (m_.openNow > m_.mostOpen) m_.mostOpen = m_.openNow;
    m_.changed.notify_all();
    if (m_.meetAt > 0)
      m_.changed.wait_for(hold, std::chrono::seconds(5), [&] { return m_.mostOpen >= m_.meetAt; });
    return true;
  }
  void Close() override {
    if (current_.empty()) return;
    {
      std::lock_guard<std::mutex> hold(m_.lock);
      m_.lineTime[current_] = now - opened_;
      --m_.openNow;
    }
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
    const ModemProfile& p = profile_;
    std::string text(data, size);
    if (p.silent) return true;
    if (p.echo) Arrive(now, text);
    partial_ += text;
    size_t cr;
    while ((cr = partial_.find('\r')) != std::string::npos) {
      std::string command = partial_.substr(0, cr);
      partial_.erase(0, cr + 1);
      {
        std::lock_guard<std::mutex> hold(m_.lock);
        m_.commands[current_].push_back(command);
      }
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
  bool ReadWaiting(char* buffer, DWORD size, DWORD waitMs, DWORD* got) override {
    *got = 0;
    if (!IsOpen()) return false;
    ++waits;
    if (profile_.chatter) {  // a piece every 100 ms without end: the queue is never empty
      now += 100;
      Arrive(now, "NOISE ");
    }
    if (arriving_.empty() || arriving_.front().first > now + waitMs) {
      now += waitMs;
      return true;
    }
    if (arriving_.front().first > now) now = arriving_.front().first;
    while (*got < size && !arriving_.empty() && arriving_.front().first <= now) {
      std::string& piece = arriving_.front().second;
      DWORD n = static_cast<DWORD>(piece.size()) < size - *got ? static_cast<DWORD>(piece.size()) : size - *got;
      memcpy(buffer + *got, piece.data(), n);
      *got += n;
      piece.erase(0, n);
      if (piece.empty()) arriving_.erase(arriving_.begin());
    }
    return true;
  }
  DWORD Tick() override { return now; }
  bool DefaultConfig(const std::string& name, COMMCONFIG* config, DWORD* size) override {
    std::lock_guard<std::mutex> hold(m_.lock);
    m_.defaultAskedFor = name;
    if (!m_.haveDefault) return false;
    config->dcb = m_.defaultDcb;
    *size = sizeof(*config);
    return true;
  }
  int waits = 0;

 private:
  void Arrive(DWORD at, const std::string& bytes) {
    auto pos = arriving_.end();
    while (pos != arriving_.begin() && (pos - 1)->first > at) --pos;
    arriving_.insert(pos, {at, bytes});
  }
  FakeModems& m_;
  std::string current_;
  ModemProfile profile_;
  DWORD opened_ = 0;
  std::string partial_;
  std::vector<std::pair<DWORD, std::string>> arriving_;
};

inline quorrel::ModemLineFactory FakeModems::Lines() {
  return [this] { return std::unique_ptr<quorrel::ModemLine>(new FakeModemLine(*this)); };
}

}  // namespace modemtest
