// Benchmark results against the default values: golden scores, the rows a
// file fills, files that are cut, huge or garbled, the HTML report and the
// bar chart's figures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stress/benchscore.h"

using namespace stress;

namespace {

const char* const kDefaults =
    "[Last Updated: 01/01/1999 12:00AM]\n"
    "Default system\r\n"
    "OS Type:\tWindows NT [4.00.1381]\r\n"
    "\r\n"
    "CPU Performance Tests:\r\n"
    "CPU Type:\tPentium II\r\n"
    "CPU Speed:\t300 MHz\r\n"
    "Dhrystone:\t200.0 K Dhrystones/Sec\r\n"
    "Whetstone:\t60.0 MWIPS\r\n"
    "\r\n"
    "Memory Size:\t64.00 MB\r\n"
    "\r\n"
    "Memory Read Performance Tests:\r\n"
    "4K Blocks:\t900.00 MB/Sec\r\n"
    "Memory Read Average:\t150.00 MB/Sec\r\n"
    "\r\n"
    "Memory Write Performance Tests:\r\n"
    "Memory Write Average:\t100.00 MB/Sec\r\n"
    "\r\n"
    "Fixed Drive Performance Test(s):\r\n"
    "Transfer Rate (C:)\t8.00 MB/Sec\r\n"
    "Average Access Time (C:)\t12 ms\r\n"
    "\r\n"
    "CD-ROM Performance Test:\r\n"
    "Transfer Rate (d:)\t1200.00 KB/Sec\r\n"
    "\r\n"
    "Video Performance Tests:\r\n"
    "Current Resolution:\t800x600 (16 bits per pixel)\r\n"
    "Video Speed:\t15.00 Million Pixels/Sec\r\n"
    "\r\n";

struct Figures {
  std::string dhry = "200.0", whet = "60.0", read = "150.00", write = "100.00", transfer = "8.00", access = "12",
              cdrom = "1200.00", video = "15.00";
  bool withCdrom = true;
};

// A results file as a benchmark series writes it, with these figures.
std::string ResultsFile(const Figures& f) {
  std::string s =
      "[Last Updated: 12/10/2026 07:00AM]\n\r\n"
      "OS Type:\tWindows NT [6.01.7601]\r\n\r\n"
      "Memory Size:\t1024.00 MB\r\n\r\n"
      "Memory Read Performance Tests:\r\n4K Blocks:\t1.00 MB/Sec\r\n"
      "Memory Read Average:\t" + f.read + " MB/Sec\r\n\r\n"
      "Memory Write Performance Tests:\r\n"
      "Memory Write Average:\t" + f.write + " MB/Sec\r\n\r\n"
      "CPU Performance Tests:\r\nCPU Type:\tTest CPU\r\nCPU Speed:\t2000 MHz\r\n"
      "Dhrystone:\t" + f.dhry + " K Dhrystones/Sec\r\n"
      "Whetstone:\t" + f.whet + " MWIPS\r\n\r\n"
      "Fixed Drive Performance Test(s):\r\n"
      "Transfer Rate (C:)\t" + f.transfer + " MB/Sec\r\n"
      "Average Access Time (C:)\t" + f.access + " ms\r\n\r\n";
  if (f.withCdrom) s += "CD-ROM Performance Test:\r\nTransfer Rate (d:)\t" + f.cdrom + " KB/Sec\r\n\r\n";
  s += "Video Performance Tests:\r\nCurrent Resolution:\t1024x768 (32 bits per pixel)\r\nVideo Speed:\t" + f.video +
       " Million Pixels/Sec\r\n\r\n";
  return s;
}

ResultColumn Score(const std::string& file, bool nt = true) {
  auto rows = ResultRows(nt);
  auto defaults = ReadDefaults(ResultLines(kDefaults), rows);
  return ReadResults(ResultLines(file), rows, defaults);
}

int RowOf(const std::string& label, bool nt = true) {
  auto rows = ResultRows(nt);
  for (size_t i = 0; i < rows.size(); ++i)
    if (label == rows[i].label) return (int)i;
  return -1;
}

TEST(BenchScore, GoldenScores) {
  Figures same;
  Figures better;  // ratios 2,1,2,1,1,(12/6)=2,1 and video 2 twice: 2^5 over 9
  better.dhry = "400.0";
  better.read = "300.00";
  better.access = "6";
  better.video = "30.00";
  Figures zeroWhet = better;  // no Whetstone figure: 2^5 over the other 8
  zeroWhet.whet = "0.0";
  Figures noCdrom = better;  // the CD-ROM block is missing: 2^5 over 8
  noCdrom.withCdrom = false;
  Figures slowDisk;  // an access time twice the default halves its ratio
  slowDisk.access = "24";
  struct Case {
    const char* name;
    Figures figures;
    const char* score;
  } cases[] = {
      {"all defaults", same, "100.00"},
      {"complete", better, "146.97"},
      {"incomplete", zeroWhet, "154.22 (Incomplete Result)"},
      {"one category missing", noCdrom, "154.22 (Incomplete Result)"},
      {"slow disk", slowDisk, "92.59"},  // 100 x 0.5^(1/9)
  };
  for (const Case& c : cases) {
    ResultColumn col = Score(ResultsFile(c.figures));
    EXPECT_EQ(col.score, c.score) << c.name;
    EXPECT_EQ(col.cells[ScoreRow(ResultRows(true))], c.score) << c.name;
  }
}

TEST(BenchScore, VideoSpeedCountsTwice) {
  Figures f;
  f.video = "30.00";  // ratio 2, counted twice: 4^(1/9) over 9 ratios
  ResultColumn col = Score(ResultsFile(f));
  EXPECT_EQ(col.count, 9);
  EXPECT_EQ(col.score, "116.65");
}

TEST(BenchScore, AReferenceFileWithAZeroIsIncomplete) {
  Figures ref;
  ref.dhry = "0.0";
  EXPECT_EQ(Score(ResultsFile(ref)).score, "100.00 (Incomplete Result)");
  // A zero default leaves that row out of the score instead.
  std::string defaults = kDefaults;
  defaults.replace(defaults.find("200.0 K"), 5, "0.0");
  auto rows = ResultRows(true);
  auto d = ReadDefaults(ResultLines(defaults), rows);
  EXPECT_EQ(d[RowOf("Dhrystone")], 0);
  EXPECT_EQ(d[RowOf("Whetstone")], 6000);
  ResultColumn col = ReadResults(ResultLines(ResultsFile(Figures())), rows, d);
  EXPECT_EQ(col.score, "100.00");
  EXPECT_EQ(col.count, 8);
}

TEST(BenchScore, RowsTakeTheirTextsFromTheirSections) {
  ResultColumn col = Score(ResultsFile(Figures()));
  EXPECT_EQ(col.cells[RowOf("Description")], "");  // the empty second line
  EXPECT_EQ(col.cells[RowOf("OS Type")], "Windows NT [6.01.7601]");
  EXPECT_EQ(col.cells[RowOf("CPU Type")], "Test CPU");
  EXPECT_EQ(col.cells[RowOf("CPU Clock Rate")], "2000 MHz");
  EXPECT_EQ(col.cells[RowOf("Memory Size")], "1024.00 MB");
  EXPECT_EQ(col.cells[RowOf("Fixed Disk Transfer Rate")], "8.00 MB/Sec");
  EXPECT_EQ(col.cells[RowOf("Fixed Disk Average Access Time")], "12 ms");
  // "Transfer Rate" of the CD-ROM section is its own row.
  EXPECT_EQ(col.cells[RowOf("CD-ROM Transfer Rate")], "1200.00 KB/Sec");
  EXPECT_EQ(col.cells[RowOf("Current Resolution")], "1024x768 (32 bits per pixel)");
  // The defaults' description, and Windows 9x rows.
  auto rows9x = ResultRows(false);
  EXPECT_EQ(rows9x.size(), ResultRows(true).size() + 2);
  ResultColumn d = ReadResults(ResultLines(kDefaults), rows9x, ReadDefaults(ResultLines(kDefaults), rows9x));
  EXPECT_EQ(d.cells[0], "Default system");
  EXPECT_EQ(d.score, "100.00");
}

TEST(BenchScore, LinesThatNameRowsAreTraced) {
  std::string seen;
  auto rows = ResultRows(true);
  auto d = ReadDefaults(ResultLines(kDefaults), rows, [&](const std::string& t) { seen += t; });
  EXPECT_NE(seen.find("Dhrystone:\t200.0 K Dhrystones/Sec\n200.0 K Dhrystones/Sec<<<\n"), std::string::npos);
  EXPECT_NE(seen.find("Default system\n"), std::string::npos);
  EXPECT_EQ(seen.find("4K Blocks"), std::string::npos);
  seen.clear();
  ReadResults(ResultLines(ResultsFile(Figures())), rows, d, [&](const std::string& t) { seen += t; });
  EXPECT_NE(seen.find("Memory Read Average:\t150.00 MB/Sec\n"), std::string::npos);
  EXPECT_EQ(seen.find("<<<"), std::string::npos);
}

TEST(BenchScore, HostileFilesGiveAnIncompleteResultOrNone) {
  std::string good = ResultsFile(Figures());
  std::string longLine(10000, 'x');
  struct Case {
    const char* name;
    std::string text;
    bool scored;  // a score is shown (then always incomplete)
  } cases[] = {
      {"cut inside the CPU block", good.substr(0, good.find("Dhrystone:") + 6), true},
      {"huge figure", [&] {
         Figures f;
         f.dhry = "1e400";
         return ResultsFile(f);
       }(), true},
      {"figure beyond any machine", [&] {
         Figures f;
         f.read = "99999999999999999999999";
         return ResultsFile(f);
       }(), true},
      {"negative figure", [&] {
         Figures f;
         f.write = "-5";
         return ResultsFile(f);
       }(), true},
      {"no tabs", [&] {
         std::string s = good;
         for (char& ch : s)
           if (ch == '\t') ch = ' ';
         return s;
       }(), false},
      {"no separators at all", "Dhrystone 400 Whetstone 60 Memory Read Average 150", false},
      {"10,000-character lines", "\r\n" + longLine + "\r\nCPU Performance Tests:" + longLine +
                                     "\r\nDhrystone:\t400" + longLine + "\r\n" + longLine, true},
      {"binary", std::string("\0\xff\xfe\r\n\x01\tDhrystone\0:\t5", 18), false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    ResultColumn col = Score(c.text);
    if (c.scored) {
      EXPECT_NE(col.score.find(" (Incomplete Result)"), std::string::npos) << c.name << ": " << col.score;
    } else {
      EXPECT_EQ(col.score, "") << c.name;
    }
    EXPECT_EQ(col.score.find("inf"), std::string::npos) << c.name;
    EXPECT_EQ(col.score.find("nan"), std::string::npos) << c.name;
    for (const std::string& cell : col.cells) EXPECT_LE(cell.size(), kMaxCellText) << c.name;
  }
}

TEST(BenchScore, HostileDefaultsLeaveRowsUnscored) {
  std::string defaults = std::string("x\r\n\r\nCPU Performance Tests:\r\nDhrystone:\t1e400\r\nWhetstone:\t-3\r\n") +
                         "Whetstone:\tabc\r\n\r\nMemory Read Performance Tests:\r\nMemory Read Average\r\n";
  auto rows = ResultRows(true);
  auto d = ReadDefaults(ResultLines(defaults), rows);
  for (long v : d) EXPECT_EQ(v, 0);
  EXPECT_EQ(ReadResults(ResultLines(ResultsFile(Figures())), rows, d).score, "");
}

TEST(BenchScore, LinesAreCutAndLineEndsTaken) {
  std::string bytes = "a\r\nb\n\r\n" + std::string(5000, 'y') + "\nlast";
  auto lines = ResultLines(bytes);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "a");
  EXPECT_EQ(lines[1], "b");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3].size(), kMaxResultLine);
  EXPECT_EQ(lines[4], "last");
}

TEST(BenchScore, HtmlReportFillsPlaceholdersInTurn) {
  std::vector<std::string> cells = {"My <PC>", "Windows NT", "CPU & co"};
  std::vector<std::string> lines = {
      "<html>", "AAAAAAA at the start stays", "<td>AAAAAAA</td>", "<td>AAAAAAA again</td>", "<td>BBBBBBB</td>",
      "<td>CCCCCCC</td><td>DDDDDDD</td>", "<td>DDDDDDD</td>", "</html>"};
  EXPECT_EQ(HtmlReport(lines, cells),
            "<!--My <PC>-->\n"
            "<html>\nAAAAAAA at the start stays\n<td>My &lt;PC&gt;</td>\n<td>AAAAAAA again</td>\n"
            "<td>Windows NT</td>\n<td>CPU &amp; co</td><td>DDDDDDD</td>\n<td></td>\n</html>\n");
  // The first cell cannot end the comment early.
  EXPECT_EQ(HtmlReport({}, {"a-->b"}), "<!--a- >b-->\n");
}

TEST(BenchChart, ItemsScalesAndBars) {
  ChartRow row;
  ASSERT_TRUE(SplitChartItem(ChartItem("Dhrystone", "400.0 K Dhrystones/Sec", "", 1), &row));
  EXPECT_EQ(row.label, "Dhrystone");
  EXPECT_EQ(row.thisText, "400.0 K Dhrystones/Sec");
  EXPECT_EQ(row.refText, "");
  EXPECT_EQ(row.image, 1);
  EXPECT_FALSE(SplitChartItem("a|b|c", &row));

  double v;
  std::string unit;
  ChartValue("400.0 K Dhrystones/Sec", &v, &unit);
  EXPECT_EQ(v, 400.0);
  EXPECT_EQ(unit, "K Dhrystones/Sec");
  ChartValue("N/A", &v, &unit);
  EXPECT_EQ(v, 0.0);
  ChartValue("1e999 x", &v, &unit);
  EXPECT_EQ(v, 0.0);

  ChartScales s;
  EXPECT_EQ(FullScale("Dhrystone", s), 400);
  EXPECT_EQ(FullScale("Fixed Disk Average Access Time", s), 15);
  EXPECT_EQ(FullScale("Qev Benchmark Score", s), 200);
  EXPECT_EQ(FullScale("CPU Type", s), 0);

  EXPECT_EQ(BarLength(400, 400, 500), 500);  // full scale fills the width
  EXPECT_EQ(BarLength(800, 400, 500), 1000);  // a larger one runs past it
  EXPECT_EQ(BarLength(1e9, 400, 500), 32767);
  EXPECT_EQ(BarLength(0, 400, 500), 0);
  EXPECT_EQ(BarLength(100, 0, 500), 0);
}

}  // namespace
