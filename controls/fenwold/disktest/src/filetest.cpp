#include "disktest/filetest.h"

#include <cstdlib>
#include <memory>

#include "appkit/text.h"
#include "disktest/ids.h"
#include "disktest/rules.h"

namespace disktest {

namespace {

class FileTest {
 public:
  FileTest(const FileTestConfig& c, FileTestHost& h) : c_(c), host_(h) {}
  FileTestOutcome Run();

 private:
  std::string T(UINT id) const { return appkit::Narrow(appkit::LoadStr(id, c_.texts)); }
  std::string ErrorText(DWORD code) const { return SystemErrorText(code, T(IDS_DISK_GENERAL_FAILURE)); }
  void Fail(const std::string& name, DWORD code) {
    host_.Line(name + " " + ErrorText(code));
    failed_ = true;
  }
  void FailText(const std::string& name, UINT id) {
    host_.Line(name + " " + T(id));
    failed_ = true;
  }
  bool AbortCheck() {
    if (host_.Aborted()) aborted_ = true;
    return aborted_;
  }
  bool Body();
  bool SizeStepRun(SizeStep s, int percent);
  bool WritePass(int64_t block, int64_t file, int percent);
  bool ReadPasses(int64_t block, int64_t file, int percent);
  bool RandomPass(int64_t block, int64_t file, int percent);
  bool ReadAndCompare(HANDLE h, int64_t offset, int64_t block, UINT incorrectId);
  bool Seek(HANDLE h, int64_t to, DWORD method);
  void CloseFile() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

  const FileTestConfig& c_;
  FileTestHost& host_;
  bool failed_ = false, aborted_ = false;
  std::unique_ptr<uint8_t[]> pattern_, readBack_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::wstring tempPath_;
  std::string tempName_;
  bool created_ = false;
  int previous_ = 0;
  std::wstring directory_;
  std::string directoryName_;
  int64_t largest_ = 0;
};

FileTestOutcome FileTest::Run() {
  bool notReady = !Body();
  // Finish: whatever happened, the temporary file goes.
  CloseFile();
  if (created_) {
    if (::DeleteFileW(tempPath_.c_str())) {
      host_.Line(tempName_ + " " + T(IDS_DISK_FILE_DELETED));
    } else {
      Fail(tempName_, ::GetLastError());
    }
    created_ = false;
  }
  if (notReady) return FileTestOutcome::NotReady;
  if (aborted_) {
    host_.Line(c_.root + " " + T(IDS_DISK_TEST_ABORTED));
  } else if (failed_) {
    host_.Line(c_.root + " " + T(IDS_DISK_TEST_FAILED));
  }
  host_.ScrollToEnd();
  if (aborted_) return FileTestOutcome::Aborted;
  return failed_ ? FileTestOutcome::Failed : FileTestOutcome::Passed;
}

// False only for a drive that is not ready under -Check (no verdict).
bool FileTest::Body() {
  if (c_.root.empty()) {
    FailText(c_.root, IDS_DISK_NO_COMBO);
    return true;
  }
  pattern_.reset(new (std::nothrow) uint8_t[(size_t)c_.incrementMax]);
  readBack_.reset(new (std::nothrow) uint8_t[(size_t)c_.incrementMax]);
  if (!pattern_ || !readBack_) {
    FailText(c_.root, IDS_DISK_NO_MEMORY);
    return true;
  }
  if (AbortCheck()) return true;
  std::wstring root = appkit::Widen(c_.root);
  ULARGE_INTEGER freeToCaller{}, total{}, freeTotal{};
  if (!::GetDiskFreeSpaceExW(root.c_str(), &freeToCaller, &total, &freeTotal)) freeToCaller.QuadPart = 0;
  if (AbortCheck()) return true;

  wchar_t volume[MAX_PATH + 1], fs[MAX_PATH + 1];
  DWORD serial = 0, maxLen = 0, flags = 0;
  if (!::GetVolumeInformationW(root.c_str(), volume, MAX_PATH + 1, &serial, &maxLen, &flags, fs, MAX_PATH + 1)) {
    DWORD e = ::GetLastError();
    host_.Line(c_.root + " " + ErrorText(e));
    if (e == ERROR_NOT_READY && c_.check) return false;
    failed_ = true;
    return true;
  }

  directoryName_ = TestDirectory(c_);
  directory_ = appkit::Widen(directoryName_);
  // The reason given is the creation's refusal (a read-only or full drive),
  // not the missing folder that follows from it.
  DWORD refusal = ERROR_SUCCESS;
  if (::GetFileAttributesW(directory_.c_str()) == INVALID_FILE_ATTRIBUTES &&
      !::CreateDirectoryW(directory_.c_str(), nullptr))
    refusal = ::GetLastError();
  DWORD attributes = ::GetFileAttributesW(directory_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DWORD reason = attributes != INVALID_FILE_ATTRIBUTES ? ERROR_DIRECTORY : ::GetLastError();
    if (refusal != ERROR_SUCCESS && refusal != ERROR_ALREADY_EXISTS) reason = refusal;
    Fail(c_.root, reason);
    return true;
  }
  host_.UsedDirectory(directoryName_);

  // This worker's own room: a full drive lowers nobody else's sizes.
  largest_ = WorkerLargestSize(freeToCaller.QuadPart, c_.largest);
  SizeStep s = FirstSizeStep(c_.increment);
  if (s.block > largest_) {
    FailText(c_.root, IDS_DISK_NO_SPACE);
    return true;
  }
  for (; s.file <= largest_; s = NextSizeStep(s, c_.incrementMax)) {
    int percent = SizePercent(s.file, largest_);
    if (AbortCheck()) return true;
    if (!SizeStepRun(s, percent)) return true;
    host_.ScrollToEnd();
    host_.Progress(percent);
    previous_ = percent;
  }
  return true;
}

// One file; false when the drive's test ends here (failure or abort).
bool FileTest::SizeStepRun(SizeStep s, int percent) {
  for (int64_t i = 0; i < s.block; ++i) pattern_[(size_t)i] = (uint8_t)(std::rand() % 256);
  wchar_t name[MAX_PATH + 16];
  if (!::GetTempFileNameW(directory_.c_str(), L"Kyt", 0, name)) {
    Fail(directoryName_, ::GetLastError());
    return false;
  }
  // GetTempFileName normally makes the file: from then on it is ours to
  // remove (on a volume that refuses new files it may only name one).
  tempPath_ = name;
  tempName_ = appkit::Narrow(tempPath_);
  created_ = ::GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES;
  if (!WritePass(s.block, s.file, percent)) return false;
  if (AbortCheck()) return false;
  if (c_.sequential && !ReadPasses(s.block, s.file, percent)) return false;
  if (AbortCheck()) return false;
  if (c_.random && !RandomPass(s.block, s.file, percent)) return false;
  if (::DeleteFileW(tempPath_.c_str())) {
    created_ = false;
    host_.Line(tempName_ + " " + T(IDS_DISK_FILE_OK) + "  " + T(IDS_DISK_FILE_SIZE) + std::to_string(s.file));
    return true;
  }
  Fail(tempName_, ::GetLastError());
  return false;
}

bool FileTest::WritePass(int64_t block, int64_t file, int percent) {
  file_ = ::CreateFileW(tempPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_FLAG_WRITE_THROUGH | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    Fail(tempName_, ::GetLastError());
    return false;
  }
  created_ = true;
  host_.Progress(ProgressBetween(previous_, percent, 2));
  for (int64_t o = block; o <= file; o += block) {
    if (AbortCheck()) return false;
    DWORD written = 0;
    if (!::WriteFile(file_, pattern_.get(), (DWORD)block, &written, nullptr) || written != (DWORD)block) {
      DWORD e = ::GetLastError();
      Fail(tempName_, e ? e : ERROR_HANDLE_DISK_FULL);
      return false;
    }
  }
  CloseFile();
  return true;
}

bool FileTest::Seek(HANDLE h, int64_t to, DWORD method) {
  LARGE_INTEGER d, now;
  d.QuadPart = to;
  if (::SetFilePointerEx(h, d, &now, method) && (method != FILE_BEGIN || now.QuadPart == to)) return true;
  DWORD e = ::GetLastError();
  Fail(tempName_, e ? e : ERROR_SEEK);
  return false;
}

bool FileTest::ReadAndCompare(HANDLE h, int64_t offset, int64_t block, UINT incorrectId) {
  DWORD got = 0;
  if (!::ReadFile(h, readBack_.get(), (DWORD)block, &got, nullptr) || got != (DWORD)block) {
    DWORD e = ::GetLastError();
    Fail(tempName_, e ? e : ERROR_HANDLE_EOF);
    return false;
  }
  int64_t at = FirstDifference(readBack_.get(), pattern_.get(), (size_t)block);
  if (at < 0) return true;
  host_.Line(tempName_ + " " + T(incorrectId));
  host_.Line(appkit::FormatA("%llx: %x --> %x", (unsigned long long)(offset + at), readBack_[(size_t)at],
                             pattern_[(size_t)at]));
  failed_ = true;
  return false;
}

bool FileTest::ReadPasses(int64_t block, int64_t file, int percent) {
  file_ = ::CreateFileW(tempPath_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    Fail(tempName_, ::GetLastError());
    return false;
  }
  host_.Progress(ProgressBetween(previous_, percent, 4));
  for (int64_t o = 0; o < file; o += block) {
    if (AbortCheck()) return false;
    if (!ReadAndCompare(file_, o, block, IDS_DISK_READ_INCORRECT1)) return false;
  }
  host_.Progress(ProgressBetween(previous_, percent, 6));
  for (int64_t o = block; o <= file; o += block) {
    if (AbortCheck()) return false;
    if (!Seek(file_, 0, FILE_BEGIN) || !Seek(file_, file - o, FILE_BEGIN)) return false;
    if (!ReadAndCompare(file_, file - o, block, IDS_DISK_READ_INCORRECT2)) return false;
  }
  CloseFile();
  return true;
}

bool FileTest::RandomPass(int64_t block, int64_t file, int percent) {
  file_ = ::CreateFileW(tempPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_WRITE_THROUGH | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    Fail(tempName_, ::GetLastError());
    return false;
  }
  if (!Seek(file_, 0, FILE_BEGIN)) return false;
  host_.Progress(ProgressBetween(previous_, percent, 8));
  for (int64_t o = 0; o < file; o += block) {
    if (!ReadAndCompare(file_, o, block, IDS_DISK_READ_INCORRECT3)) return false;
    if (AbortCheck()) return false;
    if (!Seek(file_, -block, FILE_CURRENT)) return false;
    DWORD written = 0;
    if (!::WriteFile(file_, pattern_.get(), (DWORD)block, &written, nullptr) || written != (DWORD)block) {
      DWORD e = ::GetLastError();
      Fail(tempName_, e ? e : ERROR_HANDLE_DISK_FULL);
      return false;
    }
    if (AbortCheck()) return false;
    if (!Seek(file_, -block, FILE_CURRENT)) return false;
    if (!ReadAndCompare(file_, o, block, IDS_DISK_READ_INCORRECT4)) return false;
  }
  CloseFile();
  return true;
}

}  // namespace

std::string TestDirectory(const FileTestConfig& c) {
  std::string dir = c.root;
  if (c.network && !c.netPath.empty()) {
    dir += c.netPath;
    if (dir.back() != '\\') dir += '\\';
  }
  return dir + "DISKTEST";
}

FileTestOutcome RunFileTest(const FileTestConfig& config, FileTestHost& host) {
  return FileTest(config, host).Run();
}

}  // namespace disktest
