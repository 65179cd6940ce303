// The memory bandwidth library: its exports as callers bind them, the walk
// over a block inside a larger buffer, and the calls that cannot measure.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "appkit/paths.h"
#include "kovlet/kovlet.h"

namespace {

using BenchFn = double(WINAPI*)(DWORD, DWORD*, DWORD);

class KovletLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = ::LoadLibraryW((appkit::ModuleDir() + L"..\\suite\\kovlet.dll").c_str());
    ASSERT_NE(lib_, nullptr);
    write_ = reinterpret_cast<BenchFn>(::GetProcAddress(lib_, "DoMemWriteBenchMark"));
    read_ = reinterpret_cast<BenchFn>(::GetProcAddress(lib_, "DoMemReadBenchMark"));
    ASSERT_NE(write_, nullptr);
    ASSERT_NE(read_, nullptr);
  }
  void TearDown() override {
    if (lib_) ::FreeLibrary(lib_);
  }
  HMODULE lib_ = nullptr;
  BenchFn write_ = nullptr, read_ = nullptr;
};

TEST_F(KovletLibrary, ExportsTheTwoEntriesByTheirOrdinals) {
  EXPECT_EQ(reinterpret_cast<void*>(::GetProcAddress(lib_, MAKEINTRESOURCEA(1))), reinterpret_cast<void*>(write_));
  EXPECT_EQ(reinterpret_cast<void*>(::GetProcAddress(lib_, MAKEINTRESOURCEA(2))), reinterpret_cast<void*>(read_));
}

TEST_F(KovletLibrary, WriteWalksOnlyTheBlockAndWrapsAtItsEnd) {
  // A 4 KB block at the start of a 1 MB buffer: 1024 words, wrapping after
  // every 1024 accesses; the rest of the buffer stays as it was.
  std::vector<DWORD> buffer(256 * 1024, 0xDEADBEEF);
  const DWORD accesses = 2 * 1024 + 10;
  double rate = write_(4, buffer.data(), accesses);
  EXPECT_TRUE(std::isfinite(rate));
  EXPECT_GT(rate, 0.0);
  // Each word holds the number of its last access in a walk.
  for (DWORD i = 0; i < 1024; ++i) {
    DWORD expected = i < 10 ? 2048 + i : 1024 + i;
    ASSERT_EQ(buffer[i], expected) << "word " << i;
  }
  for (size_t i = 1024; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xDEADBEEFu) << "word " << i;
}

TEST_F(KovletLibrary, ReadLeavesTheBufferAsItWas) {
  std::vector<DWORD> buffer(256 * 1024);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = (DWORD)(i * 2654435761u);
  std::vector<DWORD> copy = buffer;
  double rate = read_(1024, buffer.data(), 256 * 1024);
  EXPECT_TRUE(std::isfinite(rate));
  EXPECT_GT(rate, 0.0);
  EXPECT_EQ(buffer, copy);
}

TEST_F(KovletLibrary, CallsThatCannotMeasureAnswerZeroNeverInfinityOrNaN) {
  std::vector<DWORD> buffer(1024);
  struct Case {
    DWORD blockKB;
    DWORD* buffer;
    DWORD accesses;
  } cases[] = {
      {4, buffer.data(), 0},  // no access at all
      {0, buffer.data(), 100},  // an empty block
      {4, nullptr, 100},  // no buffer
  };
  for (const Case& c : cases) {
    EXPECT_EQ(write_(c.blockKB, c.buffer, c.accesses), 0.0);
    EXPECT_EQ(read_(c.blockKB, c.buffer, c.accesses), 0.0);
  }
}

TEST(KovletRate, OnlyPositiveFiniteFiguresMakeARate) {
  EXPECT_DOUBLE_EQ(kovlet::Rate(4e6, 0.5), 8.0);
  EXPECT_EQ(kovlet::Rate(4e6, 0.0), 0.0);
  EXPECT_EQ(kovlet::Rate(4e6, -1.0), 0.0);
  EXPECT_EQ(kovlet::Rate(0.0, 1.0), 0.0);
  EXPECT_EQ(kovlet::Rate(1e308, 1e-300), 0.0);
  EXPECT_EQ(kovlet::Rate(NAN, 1.0), 0.0);
}

TEST(KovletMeasure, ASingleShortWalkIsRepeatedUntilItLastsLongEnough) {
  // One access per walk: far too short to time on its own; the answer is
  // still a finite rate resting on at least the minimum time.
  std::vector<uint32_t> buffer(1024);
  double rate = kovlet::Measure(kovlet::Access::Read, 4, buffer.data(), 1, 0.02);
  EXPECT_TRUE(std::isfinite(rate));
  EXPECT_GT(rate, 0.0);
}

}  // namespace
