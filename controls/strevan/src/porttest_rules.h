// The port Test page's rules as plain functions: the check list, the tester
// command of each group, the judging of a tester's result file and the
// run's error count.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace porttest {

// The check list's items, in the order of the runner's enable settings.
enum Item { kPrinter, kPrinterLoopback1, kPrinterLoopback2, kSerial, kSerialLoopback, kItemCount };

// Item data of a freshly filled list from the five flags: a loopback item
// is locked and unchecked (its flag 0) while its group's item is unchecked.
std::vector<long> PortItemData(std::vector<int>* flags);
// The list's questions (nonzero: the click goes through); `flags` and
// `data` are those of the five items, changed as the click's side effects.
int PortCanCheck(int index, std::vector<int>* flags, std::vector<long>* data);
int PortCanUncheck(int index, std::vector<int>* flags, std::vector<long>* data);

// The three groups of a run, in run order.
enum Group { kGroupPrinter, kGroupSerial, kGroupGame, kGroupCount };

struct GroupCommand {
  std::wstring program;     // empty: the group is not run
  std::wstring resultFile;  // the tester's one-line result file
};
// The choices the commands depend on.
struct PortChoices {
  bool printer = true, printerLoopback1 = false, printerLoopback2 = false;
  bool serial = true, serialLoopback = false;
  bool game = false;
};
// The group's command in `dir` (ending in a backslash): the tester when it
// is there (`exists`), else its DOS fallback.
GroupCommand CommandFor(Group g, const PortChoices& c, const std::wstring& dir,
                        const std::function<bool(const std::wstring&)>& exists);

// The verdict line each tester writes ("" for the outside game-port tester,
// whose lines are judged only by "FAILED").
const char* VerdictPrefix(Group g);

// A tester's result file holds a line or two: the page reads at most
// kMaxResultFile bytes of one and lists at most kMaxResultLines of its lines.
constexpr size_t kMaxResultFile = 64 * 1024;
constexpr size_t kMaxResultLines = 20;

// Judges the text of a result file (`readable` false: missing or unreadable;
// `whole` false: the file holds more than `text`): the lines to list go to
// `lines`. Failed when there is nothing to read, when a tester of ours left
// no verdict line, or when a line holds "FAILED" (or, but for the game port,
// "NOT TESTED") in any case. A file with more than kMaxResultLines lines, or
// more than was read, is no tester's result either: it fails, only its
// first kMaxResultLines lines are listed, and *cut is set.
bool ResultFileFailed(Group g, bool readable, const std::string& text, std::vector<std::string>* lines,
                      bool whole = true, bool* cut = nullptr);

// The run's count: at most one error (serial first, then printer, then the
// game port when it was chosen).
int RunErrorCount(bool serialFailed, bool printerFailed, bool gameChosen, bool gameFailed);

}  // namespace porttest
