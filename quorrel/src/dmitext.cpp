#include "dmitext.h"

#include <cstdio>
#include <cstring>

#include "appkit/text.h"

namespace quorrel {

namespace {

bool SameName(const std::string& a, const char* b) { return ::_stricmp(a.c_str(), b) == 0; }

bool StartsWith(const std::string& s, char c) { return !s.empty() && s[0] == c; }

// Rule of every shown instance: no empty or comment lines; the first line
// (the section's title) in brackets.
void AddInstanceLines(const std::vector<std::string>& instance, std::vector<std::string>* out) {
  bool first = true;
  for (const std::string& line : instance) {
    if (line.empty() || StartsWith(line, ';')) {
      first = false;
      continue;
    }
    out->push_back(first ? "[" + line + "]" : line);
    first = false;
  }
}

// The number of a ";Handle: n" or ";Index: n" line ("%s %d"); -1 without one.
int LineNumber(const std::string& line) {
  char word[256];
  int n = -1;
  if (std::sscanf(line.c_str(), "%255s %d", word, &n) != 2) return -1;
  return n;
}

}  // namespace

std::vector<std::string> SplitDmiText(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool ParseDmiLines(const std::vector<std::string>& lines, DmiModel* model, std::string* status) {
  DmiModel& m = *model;
  m = DmiModel();
  std::vector<std::string>* current = nullptr;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    if (StartsWith(line, ';') && line.find(";Handle:") == std::string::npos &&
        line.find(";Index:") == std::string::npos)
      continue;
    size_t close = line.size() > 1 ? line.find(']', 1) : std::string::npos;
    if (StartsWith(line, '[') && close != std::string::npos) {
      std::string name = line.substr(1, close - 1);
      if (SameName(name, "Mem. Controller")) m.controller = true;
      DmiPage* page = nullptr;
      for (DmiPage& p : m.pages)
        if (::_stricmp(p.name.c_str(), name.c_str()) == 0) page = &p;
      if (!page) {
        m.pages.emplace_back();
        page = &m.pages.back();
        if (SameName(name, "Mem. Module")) {
          page->module = true;
          ++m.moduleCount;
        } else if (SameName(name, "Memory")) {
          page->memory = true;
        }
      }
      page->name = name;
      page->instances.emplace_back();
      current = &page->instances.back();
      continue;
    }
    if (current) current->push_back(line);
  }
  if (!m.controller) {
    for (DmiPage& p : m.pages) {
      if (!p.module) continue;
      p.module = false;
      p.name = "Memory";
      --m.moduleCount;
    }
  }
  // The folded module pages go behind all others, in their order.
  std::vector<DmiPage> ordered;
  for (DmiPage& p : m.pages)
    if (!p.module) ordered.push_back(std::move(p));
  for (DmiPage& p : m.pages)
    if (p.module) ordered.push_back(std::move(p));
  m.pages = std::move(ordered);
  m.sectionCount = m.pages.size() - m.moduleCount;
  if (m.sectionCount > 0) return true;
  for (const std::string& line : lines)
    if (!StartsWith(line, ';')) *status += line + "\n";
  return false;
}

bool IsDmiMemoryPage(const DmiModel& m, const DmiPage& page) {
  if (SameName(page.name, "Memory")) return true;
  // The controller names its modules by handle: its page is where they show.
  return m.controller && m.moduleCount > 0 && SameName(page.name, "Mem. Controller");
}

DmiPageView ShowDmiInstance(const DmiModel& m, size_t pageIndex, size_t instance, const DmiTexts& texts) {
  DmiPageView v;
  if (pageIndex >= m.pages.size()) return v;
  const DmiPage& page = m.pages[pageIndex];
  bool memory = IsDmiMemoryPage(m, page);
  if (memory && !m.controller) {
    // Modules without a controller: all of them, under an unknown controller.
    for (size_t i = 0; i < page.instances.size(); ++i) {
      if (i == 0) {
        v.lines.push_back(texts.controllerHeading);
        v.lines.push_back(texts.unknown);
        v.lines.push_back("");
        v.title = texts.memoryTitle;
      }
      AddInstanceLines(page.instances[i], &v.lines);
    }
    return v;
  }
  v.instanceChoice = page.instances.size() > 1;
  if (instance >= page.instances.size()) return v;
  const std::vector<std::string>& lines = page.instances[instance];
  v.title = memory ? texts.memoryTitle : (lines.empty() ? std::string() : lines[0]);
  AddInstanceLines(lines, &v.lines);
  if (!memory) return v;
  bool linked = false;
  for (const std::string& line : lines) {
    if (!StartsWith(line, ';') || line.find(";Index:") == std::string::npos) continue;
    if (!linked) v.lines.push_back(" ");
    linked = true;
    int n = LineNumber(line);
    if (n < 0) continue;
    for (size_t p = m.sectionCount; p < m.pages.size(); ++p) {
      for (const std::vector<std::string>& module : m.pages[p].instances) {
        if (module.size() < 2) continue;
        if (LineNumber(module[1]) == n) AddInstanceLines(module, &v.lines);
      }
    }
  }
  return v;
}

}  // namespace quorrel
