// The small disk that testing/smalldisk/with_small_disk.sh makes for a test
// (HALVIX_SMALL_DISK names its folder on the host), shown to the prefix as
// drive K:. A test fills it to see what a program does when a write fails
// for want of room.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

class SmallDisk {
 public:
  // Defines K: over the disk when the run made one.
  SmallDisk();
  // Empties the disk and takes the drive away.
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool ready() const { return ready_; }
  // "K:\".
  std::wstring root() const { return L"K:\\"; }
  // Takes every free byte (the file "K:\filler"): afterwards a file can
  // grow only within the room its last allocated block leaves.
  bool FillSpace();
  // Takes every free file entry (empty files in "K:\entries"): afterwards no
  // new file can be made.
  bool FillEntries();
  // Gives back what the two took.
  void Free();

 private:
  bool ready_ = false;
};

}  // namespace testsupport
