// The information-file format: the line kinds as every reader tells them
// apart, and the lines every writer puts out.
#include "infofile/infofile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

struct KindCase {
  std::string line;
  int level;           // HeadingLevel
  bool headingMark;    // BeginsWithHeadingMark
  std::string text;    // HeadingText
  bool hidden;         // IsHiddenLine
  bool videoMark;      // IsVideoBlockMark
};

TEST(InfoFileFormat, LineKinds) {
  const KindCase cases[] = {
      {"", 0, false, "", false, false},
      {"@", 0, true, "", false, false},
      {"@3", 0, true, "", false, false},  // a prefix alone is no heading
      {"@3Memory", 3, true, "Memory", false, false},
      {"@1A", 1, true, "A", false, false},
      {"@2\tTab", 2, true, "\tTab", false, false},
      {"@4Four", 0, true, "Four", false, false},
      {"@0Zero", 0, true, "Zero", false, false},
      {" @3Indented", 0, false, "3Indented", false, false},
      {"Memory:\t64 MB", 0, false, "mory:\t64 MB", false, false},
      {";CPU Type:\tcomment", 0, false, "PU Type:\tcomment", true, false},
      {";Video", 0, false, "ideo", true, true},
      {";VIDEO section", 0, false, "IDEO section", true, true},
      {";Vide", 0, false, "ide", true, false},
      {"Video", 0, false, "deo", false, false},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(infofile::HeadingLevel(c.line), c.level);
    EXPECT_EQ(infofile::HeadingLevel(std::wstring(c.line.begin(), c.line.end())), c.level);
    EXPECT_EQ(infofile::BeginsWithHeadingMark(c.line), c.headingMark);
    EXPECT_EQ(infofile::BeginsWithHeadingMark(std::wstring(c.line.begin(), c.line.end())), c.headingMark);
    EXPECT_EQ(infofile::HeadingText(c.line), c.text);
    EXPECT_EQ(infofile::HeadingText(std::wstring(c.line.begin(), c.line.end())),
              std::wstring(c.text.begin(), c.text.end()));
    EXPECT_EQ(infofile::IsHiddenLine(c.line), c.hidden);
    EXPECT_EQ(infofile::IsVideoBlockMark(c.line), c.videoMark);
  }
  EXPECT_TRUE(infofile::HasLabel("cpu type:\tAuthenticAMD", "CPU Type:"));
  EXPECT_FALSE(infofile::HasLabel("CPU", "CPU Type:"));
}

struct WriteCase {
  const char* name;
  std::function<void(infofile::Writer&)> write;
  std::string text;
};

TEST(InfoFileFormat, WriterLines) {
  const WriteCase cases[] = {
      {"text", [](infofile::Writer& w) { w.Text("a\tb"); }, "a\tb"},
      {"line", [](infofile::Writer& w) { w.Line("Memory:\t64 MB"); }, "Memory:\t64 MB\n"},
      {"blank", [](infofile::Writer& w) { w.BlankLine(); }, "\n"},
      {"heading", [](infofile::Writer& w) { w.Heading("Printer(s)"); }, "@3Printer(s)\n"},
      {"spaced heading", [](infofile::Writer& w) { w.SpacedHeading("Summary"); }, "\n@3Summary\n"},
      {"heading in pieces",
       [](infofile::Writer& w) {
         w.BeginHeading();
         w.Text("Drive ");
         w.Text("A:");
         w.EndLine();
       },
       "@3Drive A:\n"},
      {"item", [](infofile::Writer& w) { w.Item("Mixer:", "N/A"); }, "Mixer:\tN/A\n"},
      {"complete lines", [](infofile::Writer& w) { w.CompleteLines("one\n\ntwo\nhalf"); }, "one\ntwo\n"},
      {"no text", [](infofile::Writer& w) { w.CompleteLines(nullptr); }, ""},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    infofile::StringWriter w;
    c.write(w);
    EXPECT_EQ(w.text, c.text);
  }
}

TEST(InfoFileFormat, FileLinesEndInCrLf) {
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  ASSERT_NE(::GetTempPathW(MAX_PATH, dir), 0u);
  ASSERT_NE(::GetTempFileNameW(dir, L"ift", 0, path), 0u);
  {
    infofile::FileWriter f;
    ASSERT_TRUE(f.Create(path));
    f.SpacedHeading("Memory Utilization");
    f.Item("Memory:", "1.00 MB");
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.Close());  // closed once only
  }
  FILE* in = ::_wfopen(path, L"rb");
  ASSERT_NE(in, nullptr);
  char buf[128] = {};
  size_t n = std::fread(buf, 1, sizeof(buf), in);
  std::fclose(in);
  ::DeleteFileW(path);
  EXPECT_EQ(std::string(buf, n), "\r\n@3Memory Utilization\r\nMemory:\t1.00 MB\r\n");
}

}  // namespace
