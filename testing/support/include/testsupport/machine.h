// The memory of the machine a test runs on, as the test chooses it. A test
// entry marked SMALL_MACHINE runs through scripts/small-machine, whose
// /proc/meminfo is a file of the test's: Wine reads the available memory and
// the page file of GlobalMemoryStatusEx from there, in this process and in
// every program it starts afterwards, so that the memory test walks a few
// megabytes instead of the whole machine. The programs under test know
// nothing of it.
#pragma once

namespace testsupport {

// The machine has `mb` megabytes available (at most what it really had
// when the test started), no page file beyond them; true once this process
// sees it. False (with the reason on stderr) outside such an entry.
bool UseSmallMachine(unsigned mb);
// The machine's own figures again, as they were when the test started.
bool UseWholeMachine();

}  // namespace testsupport
