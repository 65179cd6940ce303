// A sink that keeps the lines as the results list would, for tests.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "memtest/engine.h"

namespace memtest {

class RecordingSink : public TestSink {
 public:
  std::vector<std::string> lines;
  std::vector<std::string> replaced;  // every text put over a line, in order
  std::vector<int> progress;
  int erasingOff = 0, erasingOn = 0;
  bool erasing = true;
  // Called for every added line (a test arms faults or asks for an abort there).
  std::function<void(const std::string&)> onAdd;
  std::function<bool()> abortWhen = [] { return false; };

  int AddLine(const std::string& text) override {
    lines.push_back(text);
    if (onAdd) onAdd(text);
    return (int)lines.size() - 1;
  }
  void ReplaceLine(int index, const std::string& text) override {
    lines.at(index) = text;
    replaced.push_back(text);
  }
  void SetProgress(int p) override { progress.push_back(p); }
  void SetErasing(bool on) override {
    (on ? erasingOn : erasingOff)++;
    erasing = on;
  }
  bool AbortRequested() override { return abortWhen(); }
};

}  // namespace memtest
