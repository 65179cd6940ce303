// What the Benchmark Details dialog holds of a file and the change its
// description makes, over hostile files: every byte the user did not change
// stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stress/benchscore.h"
#include "stress/detailsdoc.h"

using namespace stress;

namespace {

const std::string kHead = "[Last Updated: 12/10/2026 08:00AM]\n";

std::string Big() {
  std::string s = kHead + "Old machine\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n";
  for (int i = 0; s.size() < 1400 * 1024; ++i) s += "Line " + std::to_string(i) + ":\tsome figure\r\n";
  return s;
}

}  // namespace

TEST(DetailsDoc, DescriptionChangesTouchOnlyTheSecondLine) {
  const std::string longLine(5000, 'x');
  const std::string longDescription(200, 'd');
  const struct {
    const char* name;
    std::string file;
    std::string description;  // as the dialog shows it
    std::string changedTo;
    std::string expected;     // the file after the change
  } kCases[] = {
      {"second line replaced, LF and CR LF endings kept", kHead + "Old\r\nA\nB\r\n", "Old", "New",
       kHead + "New\r\nA\nB\r\n"},
      {"empty second line: a new line goes before it", kHead + "\r\nOS Type:\tX\r\n", "", "Mine",
       kHead + "Mine\r\n\r\nOS Type:\tX\r\n"},
      {"description taken out with its line end", kHead + "Old\nA\n", "Old", "", kHead + "A\n"},
      {"a single line without line end", "only", "", "Mine", "only\r\nMine\r\n"},
      {"a single line with its line end", "only\n", "", "Mine", "only\nMine\r\n"},
      {"an empty file", "", "", "Mine", "\r\nMine\r\n"},
      {"second line last, without line end", kHead + "Old", "Old", "New", kHead + "New"},
      {"a line longer than a result line stays whole", kHead + "Old\r\n" + longLine + "\r\nEnd\r\n", "Old", "New",
       kHead + "New\r\n" + longLine + "\r\nEnd\r\n"},
      {"a NUL inside a later line stays with what follows it",
       kHead + "Old\r\nA" + std::string(1, '\0') + "after\r\nB\r\n", "Old", "New",
       kHead + "New\r\nA" + std::string(1, '\0') + "after\r\nB\r\n"},
      {"a long description is held whole", kHead + longDescription + "\r\nA\r\n", longDescription, "Short",
       kHead + "Short\r\nA\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    DetailsDoc doc = MakeDetailsDoc(c.file, c.file.size());
    EXPECT_TRUE(doc.whole);
    EXPECT_EQ(doc.description, c.description);
    EXPECT_EQ(WithDescription(c.file, c.description), c.file) << "the same description changes nothing";
    EXPECT_EQ(WithDescription(c.file, c.changedTo), c.expected);
  }
}

TEST(DetailsDoc, TheShownLinesAreForShowingOnly) {
  // A long line and a NUL are shown cut and blanked; the bytes stay.
  const std::string file = kHead + "Desc\r\n" + std::string(5000, 'y') + "\r\nA" + std::string(1, '\0') + "B\n";
  DetailsDoc doc = MakeDetailsDoc(file, file.size());
  EXPECT_EQ(doc.bytes, file);
  ASSERT_EQ(doc.shown.size(), 3u);
  EXPECT_EQ(doc.shown[0], kHead.substr(0, kHead.size() - 1));
  EXPECT_EQ(doc.shown[1], std::string(kMaxShownLine, 'y') + "...");
  EXPECT_EQ(doc.shown[2], "A B");
  EXPECT_EQ(doc.description, "Desc");

  EXPECT_FALSE(doc.shownInPart);

  // A file of 1.4 MB is held whole; the list shows the lines of its first
  // megabyte.
  const std::string big = Big();
  doc = MakeDetailsDoc(big, big.size());
  EXPECT_TRUE(doc.whole);
  EXPECT_TRUE(doc.shownInPart);
  EXPECT_EQ(doc.bytes, big);
  const std::string head = big.substr(0, kMaxResultFile);
  size_t lines = (size_t)std::count(head.begin(), head.end(), '\n') + (head.back() == '\n' ? 0 : 1);
  EXPECT_EQ(doc.shown.size() + 1, lines);
  EXPECT_EQ(WithDescription(big, "New"), kHead + "New" + big.substr(kHead.size() + 11));

  // A file larger than what is read of it cannot be changed.
  doc = MakeDetailsDoc(big.substr(0, 4096), big.size());
  EXPECT_FALSE(doc.whole);
  EXPECT_EQ(doc.description, "Old machine");
}

TEST(DetailsDoc, ADescriptionIsOneLine) {
  EXPECT_EQ(OneLine("abc"), "abc");
  EXPECT_EQ(OneLine("abc\r\ndef"), "abc");
  EXPECT_EQ(OneLine("abc\ndef"), "abc");
  EXPECT_EQ(OneLine(""), "");
}
