// Vexholm without its 16-bit partner: the library loads, its three exports
// sit at their ordinals, and every entry answers "not bound" without
// touching the caller's buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "testsupport/process.h"

typedef DWORD(WINAPI* GetQuorrelFn)(WORD infoClass, WORD size, void* buffer);
typedef DWORD(WINAPI* ReadSectorFn)(DWORD, DWORD, DWORD, DWORD, DWORD, void*, DWORD);

TEST(Vexholm, EveryEntryIsNotBoundWithoutItsPartner) {
  HMODULE lib = ::LoadLibraryW(testsupport::SuitePath(L"Vexholm.DLL").c_str());
  ASSERT_TRUE(lib);
  auto getQuorrel = reinterpret_cast<GetQuorrelFn>(::GetProcAddress(lib, "GetQuorrel"));
  auto readSector = reinterpret_cast<ReadSectorFn>(::GetProcAddress(lib, "ReadSector"));
  ASSERT_TRUE(getQuorrel);
  ASSERT_TRUE(readSector);
  EXPECT_EQ(reinterpret_cast<FARPROC>(getQuorrel), ::GetProcAddress(lib, MAKEINTRESOURCEA(2)));
  EXPECT_EQ(reinterpret_cast<FARPROC>(readSector), ::GetProcAddress(lib, MAKEINTRESOURCEA(3)));
  EXPECT_EQ(::GetProcAddress(lib, "diag_ThunkData32"), ::GetProcAddress(lib, MAKEINTRESOURCEA(1)));

  char buffer[10248];
  std::memset(buffer, 0x5A, sizeof buffer);
  buffer[0] = (char)0x80;
  for (WORD infoClass : {0, 4, 6, 11, 19, 0x66, 0x69}) {
    ::SetLastError(0);
    EXPECT_EQ(getQuorrel(infoClass, (WORD)sizeof buffer, buffer), 0u) << infoClass;
    EXPECT_EQ(::GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
  }
  EXPECT_EQ(buffer[0], (char)0x80);
  EXPECT_EQ(buffer[1], 0x5A);
  EXPECT_EQ(readSector(0x80, 0, 0, 1, 0x0201, buffer, 512), 0u);
  EXPECT_EQ(buffer[1], 0x5A);
  ::FreeLibrary(lib);
}
