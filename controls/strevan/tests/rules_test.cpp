// The port Test page's rules: the check list, the tester commands, the
// judging of result files and the run's count.
#include <gtest/gtest.h>

#include <set>

#include "infoclient/listbox.h"
#include "porttest_rules.h"

using namespace porttest;

namespace {
constexpr long kOn = 0x81, kOpen = 0x80, kShut = 0x82;
}

TEST(PortCheckList, FreshListLocksLoopbackItemsOfAnUncheckedGroup) {
  struct Case {
    std::vector<int> flags;
    std::vector<long> data;
    std::vector<int> flagsAfter;
  } cases[] = {
      {{1, 0, 0, 1, 0}, {kOn, kOpen, kOpen, kOn, kOpen}, {1, 0, 0, 1, 0}},
      {{0, 1, 1, 1, 1}, {kOpen, kShut, kShut, kOn, kOn}, {0, 0, 0, 1, 1}},
      {{1, 1, 0, 0, 1}, {kOn, kOn, kOpen, kOpen, kShut}, {1, 1, 0, 0, 0}},
      {{1, 2, 0, 1, 0}, {kOn, kOpen, kOpen, kOn, kOpen}, {1, 0, 0, 1, 0}},
  };
  for (auto& c : cases) {
    std::vector<int> flags = c.flags;
    EXPECT_EQ(PortItemData(&flags), c.data);
    EXPECT_EQ(flags, c.flagsAfter);
  }
}

TEST(PortCheckList, ClicksAndTheirSideEffects) {
  struct Case {
    const char* name;
    bool check;  // else uncheck
    int index;
    std::vector<int> flags;
    int answer;
    std::vector<long> dataAfter;  // from {all open, or kOn where flagged}
  } cases[] = {
      {"check printer unlocks its loopbacks", true, 0, {0, 0, 0, 1, 0}, 1, {kOpen, kOpen, kOpen, kOn, kOpen}},
      {"loopback 1 refused without printer", true, 1, {0, 0, 0, 1, 0}, 0, {kOpen, kOpen, kOpen, kOn, kOpen}},
      {"loopback 2 unchecks loopback 1", true, 2, {1, 1, 0, 1, 0}, 1, {kOn, kOpen, kOpen, kOn, kOpen}},
      {"serial loopback refused without serial", true, 4, {1, 0, 0, 0, 0}, 0, {kOn, kOpen, kOpen, kOpen, kOpen}},
      {"serial loopback with serial", true, 4, {1, 0, 0, 1, 0}, 1, {kOn, kOpen, kOpen, kOn, kOpen}},
      {"check serial unlocks its loopback", true, 3, {1, 0, 0, 0, 0}, 1, {kOn, kOpen, kOpen, kOpen, kOpen}},
      {"printer alone stays", false, 0, {1, 0, 0, 0, 0}, 0, {kOn, kOpen, kOpen, kOpen, kOpen}},
      {"printer and one loopback stay", false, 0, {1, 0, 1, 0, 0}, 0, {kOn, kOpen, kOn, kOpen, kOpen}},
      {"printer and both loopbacks stay", false, 0, {1, 1, 1, 0, 0}, 0, {kOn, kOn, kOn, kOpen, kOpen}},
      {"printer off locks its loopbacks", false, 0, {1, 1, 0, 1, 0}, 1, {kOn, kShut, kShut, kOn, kOpen}},
      {"serial alone stays", false, 3, {0, 0, 0, 1, 0}, 0, {kOpen, kOpen, kOpen, kOn, kOpen}},
      {"serial and its loopback stay", false, 3, {0, 0, 0, 1, 1}, 0, {kOpen, kOpen, kOpen, kOn, kOn}},
      {"serial off locks its loopback", false, 3, {1, 0, 0, 1, 1}, 1, {kOn, kOpen, kOpen, kOn, kShut}},
      {"a loopback goes while another stays", false, 4, {0, 0, 0, 1, 1}, 1, {kOpen, kOpen, kOpen, kOn, kOn}},
      {"the last one stays", false, 4, {0, 0, 0, 0, 1}, 0, {kOpen, kOpen, kOpen, kOpen, kOn}},
  };
  for (auto& c : cases) {
    std::vector<int> flags = c.flags;
    std::vector<long> data;
    for (int f : flags) data.push_back(f ? kOn : kOpen);
    int answer = c.check ? PortCanCheck(c.index, &flags, &data) : PortCanUncheck(c.index, &flags, &data);
    EXPECT_EQ(answer, c.answer) << c.name;
    EXPECT_EQ(data, c.dataAfter) << c.name;
    for (size_t i = 0; i < data.size(); ++i)
      if ((long)i != c.index) {
        EXPECT_EQ(flags[i], (data[i] & 1) ? 1 : 0) << c.name << " item " << i;
      }
  }
}

TEST(PortCommands, TesterOrItsFallbackInTheControlDirectory) {
  std::set<std::wstring> present = {L"D:\\S\\LANVET.EXE"};
  auto exists = [&](const std::wstring& p) { return present.count(p) > 0; };
  struct Case {
    Group group;
    PortChoices choices;
    std::wstring program, result;
  } cases[] = {
      {kGroupPrinter, {}, L"D:\\S\\LANVET.EXE", L"D:\\S\\LANVET.TXT"},
      {kGroupPrinter, {false}, L"", L""},
      {kGroupSerial, {}, L"D:\\S\\KOPREL.PIF", L"D:\\S\\KOPREL.TXT"},
      {kGroupSerial, {true, false, false, true, true}, L"D:\\S\\KOPRELLB.PIF", L"D:\\S\\KOPREL.TXT"},
      {kGroupSerial, {true, false, false, false}, L"", L""},
      {kGroupGame, {}, L"", L""},
      {kGroupGame, {true, false, false, true, false, true}, L"D:\\S\\BRUMLET.PIF", L"D:\\S\\BRUMLET.TXT"},
  };
  for (auto& c : cases) {
    GroupCommand cmd = CommandFor(c.group, c.choices, L"D:\\S\\", exists);
    EXPECT_EQ(cmd.program, c.program) << c.group;
    EXPECT_EQ(cmd.resultFile, c.result) << c.group;
  }
  present.clear();
  struct Fallback {
    bool lb1, lb2;
    const wchar_t* pif;
  } fallbacks[] = {{true, true, L"D:\\S\\LANVETLB1.PIF"}, {false, true, L"D:\\S\\LANVETLB2.PIF"},
                   {false, false, L"D:\\S\\LANVET.PIF"}};
  for (auto& f : fallbacks) {
    PortChoices c;
    c.printerLoopback1 = f.lb1;
    c.printerLoopback2 = f.lb2;
    EXPECT_EQ(CommandFor(kGroupPrinter, c, L"D:\\S\\", exists).program, f.pif);
  }
}

TEST(PortResultFiles, WhatFailsAGroup) {
  struct Case {
    const char* name;
    Group group;
    bool readable;
    std::string text;
    bool failed;
    size_t lines;
  } cases[] = {
      {"printer passed", kGroupPrinter, true, "Printer Port Loopback Test\tPASSED [378] \n", false, 1},
      {"printer failed", kGroupPrinter, true, "Printer Port Loopback Test\tFAILED [378][init-ack]\n", true, 1},
      {"driver missing", kGroupPrinter, true, "[kytntio.sys not found]\nPrinter Port Loopback Test\tFAILED [378][strb-slct]\n",
       true, 2},
      {"serial passed with its first line", kGroupSerial, true,
       "Testing Serial Port(s)\t\t2F8h \r\nSerial Port Loopback Test\tPASSED [2F8] \r\n", false, 2},
      {"serial not tested", kGroupSerial, true, "Serial Port Loopback Test\tPASSED [3F8] \nCOM2 not tested\n", true, 2},
      {"missing file", kGroupSerial, false, "", true, 0},
      {"empty file", kGroupPrinter, true, "", true, 0},
      {"no verdict line", kGroupSerial, true, "hello\n", true, 1},
      {"the other tester's verdict", kGroupSerial, true, "Printer Port Loopback Test\tPASSED [378] \n", true, 1},
      {"verdict without a result", kGroupPrinter, true, "Printer Port Loopback Test\t\n", true, 1},
      {"failed in lower case", kGroupPrinter, true, "Printer Port Loopback Test\tPASSED [378] \nport failed\n", true, 2},
      {"game port passed", kGroupGame, true, "Game port OK\n", false, 1},
      {"game port not tested does not fail", kGroupGame, true, "Joystick NOT TESTED\n", false, 1},
      {"game port failed", kGroupGame, true, "Joystick FAILED\n", true, 1},
      {"game port empty", kGroupGame, true, "", true, 0},
  };
  for (auto& c : cases) {
    std::vector<std::string> lines;
    EXPECT_EQ(ResultFileFailed(c.group, c.readable, c.text, &lines), c.failed) << c.name;
    EXPECT_EQ(lines.size(), c.lines) << c.name;
  }
  std::vector<std::string> lines;
  ResultFileFailed(kGroupSerial, true, "Testing Serial Port(s)\t\t2F8h \r\nSerial Port Loopback Test\tPASSED [2F8] ", &lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Testing Serial Port(s)\t\t2F8h ", "Serial Port Loopback Test\tPASSED [2F8] "}))
      << "lines are listed unchanged";
}

// A tester writes a line or two: a file with more lines than the page lists,
// or more bytes than it reads, is no evidence of a pass; its first lines are
// listed and the cut is told.
TEST(PortResultFiles, MoreThanATesterWritesFailsAndIsCut) {
  const std::string verdict = "Printer Port Loopback Test\tPASSED [378] \n";
  auto times = [](const std::string& line, size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text += line;
    return text;
  };
  struct Case {
    const char* name;
    std::string text;
    bool whole;
    bool failed;
    size_t lines;
    bool cut;
  } cases[] = {
      {"the verdict and 19 more lines", verdict + times("note\n", 19), true, false, kMaxResultLines, false},
      {"the verdict and 20 more lines", verdict + times("note\n", 20), true, true, kMaxResultLines, true},
      {"lines without end", times("\n", 70000), true, true, kMaxResultLines, true},
      {"the verdict after too many lines", times("noise\n", 25) + verdict, true, true, kMaxResultLines, true},
      {"a verdict in a file larger than was read", verdict, false, true, 1, true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    bool cut = !c.cut;
    EXPECT_EQ(ResultFileFailed(kGroupPrinter, true, c.text, &lines, c.whole, &cut), c.failed) << c.name;
    EXPECT_EQ(lines.size(), c.lines) << c.name;
    EXPECT_EQ(cut, c.cut) << c.name;
  }
}

TEST(PortResultFiles, AtMostOneErrorARun) {
  struct Case {
    bool serial, printer, gameChosen, game;
    int count;
  } cases[] = {
      {false, false, false, false, 0}, {true, false, false, false, 1}, {false, true, false, false, 1},
      {false, false, true, true, 1},   {false, false, false, true, 0}, {true, true, true, true, 1},
  };
  for (auto& c : cases) EXPECT_EQ(RunErrorCount(c.serial, c.printer, c.gameChosen, c.game), c.count);
}
