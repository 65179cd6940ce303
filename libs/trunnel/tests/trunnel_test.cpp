// The two CD sector readers as their callers bind them: ReadSectorsFromCD at
// ordinal 2 of both, the thunk record at ordinal 1 of the Windows 9x build;
// a drive without a readable device answers 0 with no milliseconds, and the
// Windows 9x build without its 16-bit partner does not load.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "load_probe.h"
#include "testsupport/drives.h"
#include "testsupport/process.h"

namespace {

typedef DWORD(WINAPI* ReadSectorsFn)(DWORD letter, DWORD first, DWORD count, DWORD* elapsed);

struct Reader {
  explicit Reader(const wchar_t* file, DWORD flags = 0)
      : lib(::LoadLibraryExW(testsupport::SuitePath(file).c_str(), nullptr, flags)) {
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
  // Mapped without running their entry points (the Windows 9x build's
  // refuses the load here).
  for (const wchar_t* file : {L"trunnelnt.dll", L"trunnel.dll"}) {
    Reader r(file, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(r.lib) << file;
    ASSERT_TRUE(r.read) << file;
    EXPECT_EQ(reinterpret_cast<FARPROC>(r.read), ::GetProcAddress(r.lib, MAKEINTRESOURCEA(2)));
  }
  Reader nine(L"trunnel.dll", DONT_RESOLVE_DLL_REFERENCES);
  EXPECT_EQ(::GetProcAddress(nine.lib, "cd_ThunkData32"), ::GetProcAddress(nine.lib, MAKEINTRESOURCEA(1)));
  EXPECT_NE(::GetProcAddress(nine.lib, "cd_ThunkData32"), nullptr);
}

// The caller then reports "Failed to load trunnel.dll" and skips the reads
// that need the reader.
TEST(Trunnel, TheWindows9xReaderWithoutItsPartnerDoesNotLoad) {
  EXPECT_EQ(UnrefusedLoads(testsupport::SuitePath(L"trunnel.dll")), "");
  EXPECT_EQ(LoadInProbe(testsupport::SuitePath(L"trunnelnt.dll"), false), 0u);
}

TEST(Trunnel, ACallThatCannotReadAnswersZeroWithNoMilliseconds) {
  const char* unixTemp = "/tmp";
  bool cdrom = testsupport::DefineDrive(L'q', DRIVE_CDROM, unixTemp);
  if (cdrom) {
    ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), (UINT)DRIVE_CDROM);
  }

  struct Case {
    char letter;
    DWORD count;
  };
  const Case cases[] = {
      {'J', 8},  // no drive J:
      {'J', 0},
  };
  Reader r(L"trunnelnt.dll");
  ASSERT_TRUE(r.read);
  for (const Case& c : cases) {
    DWORD elapsed = 12345;
    EXPECT_EQ(r.read(c.letter, 16, c.count, &elapsed), 0u) << c.letter << " " << c.count;
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
