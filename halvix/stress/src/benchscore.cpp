// Results rows, parsing, scores, the HTML report and the chart's figures.
#include "stress/benchscore.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace stress {

std::vector<ResultRow> ResultRows(bool windowsNT) {
  std::vector<ResultRow> rows = {
      {"Description", nullptr, nullptr, RowKind::Info, 0},
      {"OS Type", "OS Type", "OS Type", RowKind::Info, 0},
      {"CPU Type", "CPU Performance", "CPU Type", RowKind::Info, 0},
      {"CPU Clock Rate", "CPU Performance", "CPU Speed", RowKind::Info, 0},
      {"Dhrystone", "CPU Performance", "Dhrystone", RowKind::Scored, 1},
      {"Whetstone", "CPU Performance", "Whetstone", RowKind::Scored, 1},
      {"Memory Size", "Memory Size", "Memory Size", RowKind::Info, 0},
      {"Memory Read Average", "Memory Read Performance", "Memory Read Average", RowKind::Scored, 2},
      {"Memory Write Average", "Memory Write Performance", "Memory Write Average", RowKind::Scored, 2},
      {"Fixed Disk Transfer Rate", "Fixed Drive", "Transfer Rate", RowKind::Scored, 3},
      {"Fixed Disk Average Access Time", "Fixed Drive", "Average Access Time", RowKind::Inverted, 3},
      {"CD-ROM Transfer Rate", "CD-ROM", "Transfer Rate", RowKind::Scored, 4},
      {"Video Type", "Video Performance", "Video Type", RowKind::Info, 0},
      {"Video Memory", "Video Performance", "Video Memory", RowKind::Info, 0},
      {"Current Resolution", "Video Performance", "Current Resolution", RowKind::Info, 0},
      {"Video Speed", "Video Performance", "Video Speed", RowKind::Double, 5},
      {"Qev Benchmark Score", nullptr, nullptr, RowKind::Score, 6},
  };
  if (windowsNT) {
    std::vector<ResultRow> nt;
    for (const ResultRow& r : rows)
      if (std::strcmp(r.label, "Video Type") != 0 && std::strcmp(r.label, "Video Memory") != 0) nt.push_back(r);
    return nt;
  }
  return rows;
}

std::vector<std::string> ResultLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t pos = 0, n = bytes.size() < kMaxResultFile ? bytes.size() : kMaxResultFile;
  while (pos < n) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos || end > n) end = n;
    std::string line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A NUL ends the line as a C string would.
    size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
    if (line.size() > kMaxResultLine) line.resize(kMaxResultLine);
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

bool LeadingNumber(const std::string& text, double* value) {
  const char* s = text.c_str();
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s) return false;
  *value = v;
  return true;
}

namespace {

bool BeginsWith(const std::string& line, const char* text) {
  return line.compare(0, std::strlen(text), text) == 0;
}

// Walks a file's lines as the results table reads them: calls `take` with
// the row index and the line for every line that names a row.
template <class Take>
void WalkRows(const std::vector<std::string>& lines, const std::vector<ResultRow>& rows, Take take) {
  const char* section = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (i == 1 && !line.empty()) {
      take(kDescriptionRow, line, true);
      continue;
    }
    if (line.empty()) {
      section = nullptr;
      continue;
    }
    for (const ResultRow& r : rows) {
      if (r.section && BeginsWith(line, r.section)) {
        section = r.section;
        break;
      }
    }
    if (!section) continue;
    for (size_t k = 0; k < rows.size(); ++k) {
      const ResultRow& r = rows[k];
      if (r.section && std::strcmp(r.section, section) == 0 && BeginsWith(line, r.key)) {
        take((int)k, line, false);
        break;
      }
    }
  }
}

bool Scored(RowKind k) { return k == RowKind::Scored || k == RowKind::Inverted || k == RowKind::Double; }

}  // namespace

std::vector<long> ReadDefaults(const std::vector<std::string>& lines, const std::vector<ResultRow>& rows,
                               const RowTrace& trace) {
  std::vector<long> defaults(rows.size(), 0);
  WalkRows(lines, rows, [&](int row, const std::string& line, bool description) {
    if (trace) trace(line + "\n");
    if (description || !Scored(rows[row].kind)) return;
    size_t tab = line.find('\t');
    double v = 0;
    if (tab == std::string::npos || !LeadingNumber(line.substr(tab + 1), &v)) return;
    if (trace) trace(line.substr(tab + 1) + "<<<\n");
    double scaled = std::trunc(v * 100.0);
    // A default that is no usable positive figure leaves the row unscored.
    defaults[row] = std::isfinite(scaled) && scaled >= 1 && v <= kMaxFigure ? (long)std::min(scaled, 2e9) : 0;
  });
  return defaults;
}

ResultColumn ReadResults(const std::vector<std::string>& lines, const std::vector<ResultRow>& rows,
                         const std::vector<long>& defaults, const RowTrace& trace) {
  ResultColumn c;
  c.cells.assign(rows.size(), std::string());
  std::vector<bool> seen(rows.size(), false);
  WalkRows(lines, rows, [&](int row, const std::string& line, bool description) {
    if (trace) trace(line + "\n");
    size_t tab = line.find('\t');
    std::string value = description ? line : tab == std::string::npos ? std::string() : line.substr(tab + 1);
    if (value.size() > kMaxCellText) value.resize(kMaxCellText);
    c.cells[row] = value;
    seen[row] = true;
    long d = (size_t)row < defaults.size() ? defaults[row] : 0;
    if (description || !Scored(rows[row].kind) || d == 0) return;
    double v = 0;
    if (tab == std::string::npos || !LeadingNumber(value, &v) || !(v > 0) || !std::isfinite(v) || v > kMaxFigure) {
      c.incomplete = true;
      return;
    }
    double ratio = std::log10(v) - std::log10(d / 100.0);
    switch (rows[row].kind) {
      case RowKind::Inverted:
        c.logSum -= ratio;
        c.count += 1;
        break;
      case RowKind::Double:
        c.logSum += 2 * ratio;
        c.count += 2;
        break;
      default:
        c.logSum += ratio;
        c.count += 1;
    }
  });
  // A category missing from the file leaves its rows without figures: the
  // score of the rest is no complete result.
  for (size_t r = 0; r < rows.size(); ++r)
    if (Scored(rows[r].kind) && r < defaults.size() && defaults[r] != 0 && !seen[r]) c.incomplete = true;
  c.score = FormatScore(c.logSum, c.count, c.incomplete);
  if (!c.score.empty()) c.cells[ScoreRow(rows)] = c.score;
  return c;
}

std::string FormatScore(double logSum, int count, bool incomplete) {
  if (count <= 0 || !std::isfinite(logSum)) return {};
  double score = 100.0 * std::pow(10.0, logSum / count);
  if (!std::isfinite(score)) return {};
  char buf[400];
  std::snprintf(buf, sizeof buf, incomplete ? "%.2f (Incomplete Result)" : "%.2f", score);
  return buf;
}

namespace {

std::string HtmlEscaped(const std::string& s) {
  std::string out;
  for (char ch : s) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ch;
    }
  }
  return out;
}

}  // namespace

std::string HtmlReport(const std::vector<std::string>& templateLines, const std::vector<std::string>& cells) {
  // The comment line keeps the first cell as it is, but may not close the
  // comment early.
  std::string first = cells.empty() ? std::string() : cells[0];
  for (size_t p; (p = first.find("--")) != std::string::npos;) first.replace(p, 2, "- ");
  std::string out = "<!--" + first + "-->\n";
  std::string placeholder(7, 'A');
  for (const std::string& line : templateLines) {
    std::string text = line;
    size_t at = text.find(placeholder);
    if (at != std::string::npos && at > 0) {
      size_t row = (unsigned char)placeholder[0] - 'A';
      std::string cell = row < cells.size() ? HtmlEscaped(cells[row]) : std::string();
      text.replace(at, placeholder.size(), cell);
      for (char& ch : placeholder) ++ch;
    }
    out += text + "\n";
  }
  return out;
}

int FullScale(const std::string& label, const ChartScales& s) {
  struct Entry {
    const char* text;
    int value;
  } table[] = {
      {"Dhrystone", s.dhrystone},
      {"Whetstone", s.whetstone},
      {"Memory Read Average", s.memRead},
      {"Memory Write Average", s.memWrite},
      {"Fixed Disk Transfer Rate", s.diskTransfer},
      {"Fixed Disk Average Access Time", s.diskAccess},
      {"CD-ROM Transfer Rate", s.cdromTransfer},
      {"Video Speed", s.videoSpeed},
      {"Qev Benchmark Score", s.index},
  };
  for (const Entry& e : table)
    if (BeginsWith(label, e.text)) return e.value;
  return 0;
}

std::string ChartItem(const std::string& label, const std::string& thisSystem, const std::string& refSystem,
                      int image) {
  return label + "|" + thisSystem + "|" + refSystem + "|" + std::to_string(image) + "|";
}

bool SplitChartItem(const std::string& item, ChartRow* row) {
  std::string fields[4];
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    size_t bar = item.find('|', pos);
    if (bar == std::string::npos) return false;
    fields[i] = item.substr(pos, bar - pos);
    pos = bar + 1;
  }
  row->label = fields[0];
  row->thisText = fields[1];
  row->refText = fields[2];
  row->image = std::atoi(fields[3].c_str());
  return true;
}

void ChartValue(const std::string& text, double* value, std::string* unit) {
  *value = 0;
  unit->clear();
  const char* s = text.c_str();
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s) return;
  *value = std::isfinite(v) ? v : 0;
  while (*end == ' ' || *end == '\t') ++end;
  *unit = end;
}

int BarLength(double value, double fullScale, int width) {
  if (!(value > 0) || !(fullScale > 0) || width <= 0) return 0;
  double length = value / fullScale * width;
  if (!std::isfinite(length) || length > 32767) return 32767;
  return (int)length;
}

}  // namespace stress

namespace stress {

int LogLoopNumber(const std::string& secondLine) {
  std::string upper = secondLine;
  for (char& ch : upper) ch = (char)std::toupper((unsigned char)ch);
  size_t at = upper.find("LOOP");
  if (at == std::string::npos) return 0;
  char word[64];
  int loop = 0;
  if (std::sscanf(upper.c_str() + at, "%63s %d", word, &loop) != 2) return 0;
  return loop;
}

}  // namespace stress
