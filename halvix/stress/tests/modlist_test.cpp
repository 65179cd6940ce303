// The module list files: reading and writing both formats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appkit/paths.h"
#include "stress/modlist.h"
#include "testsupport/process.h"

using namespace stress;

namespace {

const std::wstring kDisabled = L"(Disabled)";

struct Fields {
  std::wstring name, program, arguments, state, log, icon, title;
  bool disabled;
};

void ExpectFields(const ModuleRecord& r, const Fields& f) {
  EXPECT_EQ(r.name, f.name);
  EXPECT_EQ(r.program, f.program);
  EXPECT_EQ(r.arguments, f.arguments);
  EXPECT_EQ(r.stateText, f.state);
  EXPECT_EQ(r.logName, f.log);
  EXPECT_EQ(r.icon, f.icon);
  EXPECT_EQ(r.windowTitle, f.title);
  EXPECT_EQ(r.disabled(), f.disabled);
  EXPECT_FALSE(r.hasStatus);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.failCount, 0);
  EXPECT_EQ(r.process.hProcess, nullptr);
}

}  // namespace

TEST(ModuleList, ReadsRecordsAndSkipsCommentsAndShortLines) {
  struct Case {
    const char* what;
    ListKind kind;
    std::string text;
    std::vector<Fields> expect;
  };
  const std::vector<Case> cases = {
      {"full stress record, CR LF", ListKind::Stress,
       ";Test Modules\r\nMemory Test|zentrel.mod|-AutoRun -Check||KytMEM.LOG 2|7||\r\n",
       {{L"Memory Test", L"zentrel.mod", L"-AutoRun -Check", L"", L"KytMEM.LOG 2", L"7", L"", false}}},
      {"comment lines, even with separators, are skipped", ListKind::Stress,
       ";a|b|c|d|e|f|g|h|\nA|a.mod|||||||\n", {{L"A", L"a.mod", L"", L"", L"", L"", L"", false}}},
      {"five or six separators are too few for modules.dat", ListKind::Stress,
       "A|a|b|c|d|\nB|a|b|c|d|e|\nC|a|b|c|d|e|f|\n", {{L"C", L"a", L"b", L"", L"d", L"e", L"f", false}}},
      {"five separators fill slots 0-3 and the log name in bnchmark.dat", ListKind::Benchmark,
       "Disk|fenwold.mod|-AutoRun -Bench||KytDISK.LOG|ignored tail\n",
       {{L"Disk", L"fenwold.mod", L"-AutoRun -Bench", L"", L"KytDISK.LOG", L"", L"", false}}},
      {"six separators fill the icon too; four are too few", ListKind::Benchmark, "A|p|x||L|3|tail\nB|p|x||\n",
       {{L"A", L"p", L"x", L"", L"L", L"3", L"", false}}},
      {"text after the seventh separator and further fields are ignored", ListKind::Stress,
       "A|p|x||L|3|Title|more|fields|\r\n", {{L"A", L"p", L"x", L"", L"L", L"3", L"Title", false}}},
      {"(Disabled) in any letter case disables and keeps its spelling", ListKind::Stress,
       "A|p|||||||\nB|p||(disabled)||||\nC|p||(DISABLED)||||\nD|p||Running...||||\n",
       {{L"A", L"p", L"", L"", L"", L"", L"", false},
        {L"B", L"p", L"", L"(disabled)", L"", L"", L"", true},
        {L"C", L"p", L"", L"(DISABLED)", L"", L"", L"", true},
        {L"D", L"p", L"", L"", L"", L"", L"", false}}},
      {"only comments", ListKind::Benchmark, ";Test Modules\r\n;nothing\r\n", {}},
      {"no line end after the last record", ListKind::Stress, "A|p|a|s|l|i|t|",
       {{L"A", L"p", L"a", L"", L"l", L"i", L"t", false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<ModuleRecord> got = ParseModuleList(c.text, c.kind, kDisabled);
    ASSERT_EQ(got.size(), c.expect.size());
    for (size_t i = 0; i < got.size(); ++i) ExpectFields(got[i], c.expect[i]);
  }
}

TEST(ModuleList, EntriesOver999CharactersAreRefusedNotCut) {
  // Neither cut to 999 characters nor split into a second line: refused as
  // a whole, with its line number, and kept for the writer.
  std::string longName(995, 'n');
  std::string overLong = longName + "|p|a|s|l|i|t|";
  std::string fits = std::string(986, 'n') + "|p|a||l|i|t|";  // 998 characters
  std::string text = ";Test Modules\r\n" + overLong + "\r\n" + fits + "\r\n;" + std::string(2000, 'c') + "\r\n" +
                     std::string(10000, 'x') + "|a|b|c|d|e|f|\n";
  ModuleListText list = ParseModuleListText(text, ListKind::Stress, kDisabled);
  ASSERT_EQ(list.records.size(), 1u);
  EXPECT_EQ(list.records[0].name, std::wstring(986, L'n'));
  // A long comment is no entry.
  EXPECT_EQ(list.overLongLines, (std::vector<size_t>{2, 5}));
  EXPECT_EQ(FormatModuleList(list.records, ListKind::Stress, list.layout), text);
}

TEST(ModuleList, WhatTheProgramDoesNotUnderstandIsWrittenBackAsItWas) {
  const std::string longLine = std::string(10000, 'L') + "|p|a||l|i|t|";
  struct Case {
    const char* what;
    ListKind kind;
    std::string text;
    // Disable the record at this index (-1: change nothing).
    int toggle;
    std::string expect;  // empty: the text itself
  };
  const Case cases[] = {
      {"comments, short lines, blank lines and a 10,000-character line stay in place", ListKind::Stress,
       ";Test Modules\r\n; my comment\r\nA|a.mod|-x||A.LOG|1||\r\nhalf|a line|\r\n\r\n" + longLine +
           "\r\nB|b.mod|||||Title|\r\n;last\r\n",
       -1, ""},
      {"only what the user changed differs", ListKind::Stress,
       ";Test Modules\r\n; my comment\r\nA|a.mod|-x||A.LOG|1||\r\nhalf|a line|\r\n" + longLine +
           "\r\nB|b.mod|||||Title|\r\n",
       1,
       ";Test Modules\r\n; my comment\r\nA|a.mod|-x||A.LOG|1||\r\nhalf|a line|\r\n" + longLine +
           "\r\nB|b.mod||(Disabled)|||Title|\r\n"},
      {"kept lines keep their own line ends, even the missing last one", ListKind::Stress,
       ";Test Modules\r\n;lf only\nA|a|||||||\r\nno end", -1, ""},
      {"text after the last separator stays with its record", ListKind::Stress,
       ";Test Modules\r\nA|p|x||L|3|Title|more|fields|\r\n", -1, ""},
      {"a file without the header gets it", ListKind::Stress, ";other\r\nA|a|||||||\r\n", -1,
       ";Test Modules\r\n;other\r\nA|a|||||||\r\n"},
      {"benchmark records change places, kept lines do not", ListKind::Benchmark,
       ";Test Modules\r\nZeta|z.mod|-Bench||Z.LOG|||\r\n;between\r\nshort|line\r\nAlpha|a.mod|-Bench||A.LOG|4||\r\n", -1,
       ";Test Modules\r\nAlpha|a.mod|-Bench||A.LOG|4||\r\n;between\r\nshort|line\r\nZeta|z.mod|-Bench||Z.LOG|||\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ModuleListText list = ParseModuleListText(c.text, c.kind, kDisabled);
    if (c.toggle >= 0) {
      ASSERT_LT((size_t)c.toggle, list.records.size());
      list.records[c.toggle].stateText = kDisabled;
    }
    std::string written = FormatModuleList(list.records, c.kind, list.layout);
    EXPECT_EQ(written, c.expect.empty() ? c.text : c.expect);
  }
}

TEST(ModuleList, WritesSevenSeparatorsStressInOrderBenchmarkReversed) {
  const std::string bench = ";Test Modules\n"
                            "Zeta|z.mod|-AutoRun -Bench||Z.LOG|\n"
                            "Alpha|a.mod|-AutoRun -Bench|(DiSaBlEd)|A.LOG|4|\n";
  std::vector<ModuleRecord> records = ParseModuleList(bench, ListKind::Benchmark, kDisabled);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(FormatModuleList(records, ListKind::Benchmark),
            ";Test Modules\r\n"
            "Alpha|a.mod|-AutoRun -Bench|(DiSaBlEd)|A.LOG|4||\r\n"
            "Zeta|z.mod|-AutoRun -Bench||Z.LOG|||\r\n");
  // The elapsed-time text is never written; a dropped state text is gone.
  const std::string stress = "A|a.mod|-x|PASSED|A.LOG|1|Win|\r\nB|b.mod|||||Title|\r\n";
  records = ParseModuleList(stress, ListKind::Stress, kDisabled);
  ASSERT_EQ(records.size(), 2u);
  records[0].elapsedText = L"0:00:05";
  const std::string written = FormatModuleList(records, ListKind::Stress);
  EXPECT_EQ(written, ";Test Modules\r\nA|a.mod|-x||A.LOG|1|Win|\r\nB|b.mod|||||Title|\r\n");
  // What was written reads back the same and writes out unchanged.
  EXPECT_EQ(FormatModuleList(ParseModuleList(written, ListKind::Stress, kDisabled), ListKind::Stress), written);
}

TEST(ModuleList, FilesRoundTripAndAMissingFileIsReported) {
  std::wstring dir = testsupport::TestBinDir() + L"modlist scratch\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring path = dir + L"bnchmark.dat";
  ::DeleteFileW(path.c_str());
  std::vector<ModuleRecord> records;
  EXPECT_FALSE(ReadModuleListFile(path, ListKind::Benchmark, kDisabled, &records));

  records = ParseModuleList("B|b.mod|-AutoRun -Bench|(disabled)|B.LOG|2|\nA|a.mod|-AutoRun -Bench||A.LOG|\n",
                            ListKind::Benchmark, kDisabled);
  ASSERT_TRUE(WriteModuleListFile(path, records, ListKind::Benchmark));
  std::vector<ModuleRecord> back;
  ASSERT_TRUE(ReadModuleListFile(path, ListKind::Benchmark, kDisabled, &back));
  ASSERT_EQ(back.size(), 2u);
  // Written from the last record to the first.
  EXPECT_EQ(back[0].name, L"A");
  EXPECT_EQ(back[1].name, L"B");
  EXPECT_TRUE(back[1].disabled());
  EXPECT_EQ(back[1].stateText, L"(disabled)");

  // A file of comments only opens and holds no record.
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put;
  ::WriteFile(f, ";Test Modules\r\n", 15, &put, nullptr);
  ::CloseHandle(f);
  EXPECT_TRUE(ReadModuleListFile(path, ListKind::Benchmark, kDisabled, &back));
  EXPECT_TRUE(back.empty());
  ::DeleteFileW(path.c_str());
  ::RemoveDirectoryW(dir.c_str());
}
