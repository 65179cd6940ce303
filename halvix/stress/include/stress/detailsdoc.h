// What the Benchmark Details dialog holds of a results or reference file:
// the file's own bytes, from which a change is made, and the lines it shows,
// which are for showing only and are never written back.
#pragma once
#include <string>
#include <vector>

namespace stress {

// Files up to this size are held whole and can be changed in the dialog;
// of a larger one the first kMaxResultFile bytes are shown.
constexpr unsigned long long kMaxDetailsFile = 16ull << 20;
// A shown line longer than this is cut for showing (the file keeps it).
constexpr size_t kMaxShownLine = 4096;

struct DetailsDoc {
  std::string bytes;                // the file as read
  bool whole = false;               // `bytes` is all of the file: a change can be made to it
  unsigned long long fileSize = 0;  // as the file system gave it
  std::vector<std::string> shown;   // the list's lines (not the description)
  bool shownInPart = false;         // the list shows the lines of the first kMaxResultFile bytes only
  std::string description;          // the second line, when it is not empty
};

// The document of a file of `fileSize` bytes whose first bytes are `bytes`
// (all of them when the file is no longer). The lines of the first
// kMaxResultFile bytes are shown. Lines end at LF (a CR before it is not
// shown); every line goes to the list except a non-empty second line,
// which is the description; a NUL is shown as a blank, and a line is cut for
// showing at kMaxShownLine characters.
DetailsDoc MakeDetailsDoc(std::string bytes, unsigned long long fileSize);

// `bytes` with its description set, every other byte kept: a non-empty
// second line is replaced (its line end kept) or, for an empty
// `description`, taken out with its line end; where the second line is empty
// or missing, a non-empty description goes in as a new second line ending in
// CR LF, before the former one.
std::string WithDescription(const std::string& bytes, const std::string& description);

// A description as the user typed it: one line (cut at a CR or LF).
std::string OneLine(const std::string& text);

}  // namespace stress
