// The two CD sector readers as their callers bind them: ReadSectorsFromCD at
// ordinal 2 of both, the thunk record at ordinal 1 of the Windows 9x build;
// a drive without a readable device answers 0 with no milliseconds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "testsupport/drives.h"
#include "testsupport/process.h"

namespace {

typedef DWORD(WINAPI* ReadSectorsFn)(DWORD letter, DWORD first, DWORD count, DWORD* elapsed);

struct Reader {
  explicit Reader(const wchar_t* file) : lib(::LoadLibraryW(testsupport::SuitePath(file).c_str())) {
    if (lib) read = reinterpret_cast<ReadSectorsFn>(::GetProcAddress(lib, "ReadSectorsFromCD"));
  }
  ~Reader() {
    if (lib) ::FreeLibrary(lib);
  }
  HMODULE lib;
  ReadSectorsFn read = nullptr;
};

}  // namespace

TEST(Trunnel, BothReadersExportTheEntryAtItsOrdinal) {
  for (const wchar_t* file : {L"trunnelnt.dll", L"trunnel.dll"}) {
    Reader r(file);
    ASSERT_TRUE(r.lib) << file;
    ASSERT_TRUE(r.read) << file;
    EXPECT_EQ(reinterpret_cast<FARPROC>(r.read), ::GetProcAddress(r.lib, MAKEINTRESOURCEA(2)));
  }
  Reader nine(L"trunnel.dll");
  EXPECT_EQ(::GetProcAddress(nine.lib, "cd_ThunkData32"), ::GetProcAddress(nine.lib, MAKEINTRESOURCEA(1)));
  EXPECT_NE(::GetProcAddress(nine.lib, "cd_ThunkData32"), nullptr);
}

// Every call that cannot read gives 0 and writes 0 milliseconds over
// whatever the caller had there: a letter with nothing behind it, the
// Windows 9x build without its 16-bit partner, and (under Wine) a CD-ROM
// drive whose device answers no CD-ROM control code.
TEST(Trunnel, ACallThatCannotReadAnswersZeroWithNoMilliseconds) {
  const char* unixTemp = "/tmp";
  bool cdrom = testsupport::DefineDrive(L'q', DRIVE_CDROM, unixTemp);
  if (cdrom) {
    ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), (UINT)DRIVE_CDROM);
  }

  struct Case {
    const wchar_t* file;
    char letter;
    DWORD count;
  };
  const Case cases[] = {
      {L"trunnelnt.dll", 'J', 8},  // no drive J:
      {L"trunnelnt.dll", 'J', 0},
      {L"trunnel.dll", 'Q', 8},    // 9x build without PELLOCK.DLL
      {L"trunnel.dll", 'C', 1},
  };
  for (const Case& c : cases) {
    Reader r(c.file);
    ASSERT_TRUE(r.read);
    DWORD elapsed = 12345;
    EXPECT_EQ(r.read(c.letter, 16, c.count, &elapsed), 0u) << c.file << " " << c.letter;
    EXPECT_EQ(elapsed, 0u);
  }
  if (cdrom) {
    Reader nt(L"trunnelnt.dll");
    DWORD elapsed = 777;
    DWORD result = nt.read('Q', 16, 4, &elapsed);
    // A folder behind the drive has no sectors to give: the reads fail.
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(elapsed, 0u);
    testsupport::DefineDrive(L'q', DRIVE_NO_ROOT_DIR, nullptr);
  }
}
