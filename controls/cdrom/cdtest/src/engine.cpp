#include "cdtest/engine.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "appkit/text.h"
#include "cdtest/ids.h"

namespace cdtest {

namespace {

// The process runs at high priority while it times reads, and at the class
// it had before whatever way the measurement ends.
class HighPriority {
 public:
  HighPriority() : before_(::GetPriorityClass(::GetCurrentProcess())) {
    ::SetPriorityClass(::GetCurrentProcess(), HIGH_PRIORITY_CLASS);
  }
  ~HighPriority() { ::SetPriorityClass(::GetCurrentProcess(), before_ ? before_ : NORMAL_PRIORITY_CLASS); }
  HighPriority(const HighPriority&) = delete;
  HighPriority& operator=(const HighPriority&) = delete;

 private:
  DWORD before_;
};

// An uncached buffer of one read block (reserved, then committed).
class BlockBuffer {
 public:
  explicit BlockBuffer(size_t size) {
    void* reserved = ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_READWRITE);
    if (reserved) p_ = ::VirtualAlloc(reserved, size, MEM_COMMIT, PAGE_NOCACHE | PAGE_READWRITE);
    if (reserved && !p_) ::VirtualFree(reserved, 0, MEM_RELEASE);
  }
  ~BlockBuffer() {
    if (p_) ::VirtualFree(p_, 0, MEM_RELEASE);
  }
  // A read the system never gave back may still write here: the buffer
  // stays.
  void KeepFor(const OverlappedFile& file) {
    if (file.Unsettled()) p_ = nullptr;
  }
  BlockBuffer(const BlockBuffer&) = delete;
  BlockBuffer& operator=(const BlockBuffer&) = delete;
  void* get() const { return p_; }

 private:
  void* p_ = nullptr;
};

double CounterSeconds(LONGLONG ticks) {
  LARGE_INTEGER f;
  if (!::QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return 0;
  return (double)ticks / (double)f.QuadPart;
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Bounds of the test-file search: the deepest folder it enters, and how
// many names it looks at on a disc (a disc's folders hold some thousands).
constexpr int kMaxSearchDepth = 32;
constexpr uint32_t kMaxSearchEntries = 200000;
// The search lets the window (and Stop) through after this many names.
constexpr uint32_t kSearchPumpEvery = 64;

// The identity of folder `dir` (volume and file index), or false when the
// system gives none.
bool FolderIdentity(const std::wstring& dir, std::pair<DWORD, uint64_t>* id) {
  HANDLE h = ::CreateFileW((dir + L"\\").c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (!ok || (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0)) return false;
  *id = {info.dwVolumeSerialNumber, ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow};
  return true;
}

}  // namespace

bool ReadVolume(char letter, Volume* v) {
  char root[4] = {letter, ':', '\\', 0};
  char fs[64] = {};
  if (!::GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, fs, sizeof fs)) return false;
  const char* name = fs;
  while (*name == ' ' || *name == '\t') ++name;
  DWORD perCluster = 0, bytes = 0, freeClusters = 0, clusters = 0;
  if (!::GetDiskFreeSpaceA(root, &perCluster, &bytes, &freeClusters, &clusters)) return false;
  v->cdfs = _strnicmp(name, "CDFS", 4) == 0;
  uint64_t total = (uint64_t)perCluster * clusters;
  v->totalSectors = (uint32_t)(total > 0xFFFFFFFFu ? 0xFFFFFFFFu : total);
  v->sectorSize = bytes;
  return true;
}

CdDriveTest::CdDriveTest(const RunConfig& config, CdHost& host)
    : config_(config), host_(host), settings_(config.settings), limits_(LimitsFor(config.settings)) {
  if (!config_.random) config_.random = [] { return ::rand(); };
  if (!config_.reseed) config_.reseed = [] { ::srand((unsigned)::time(nullptr)); };
}

std::string CdDriveTest::Text(UINT id) const { return appkit::Narrow(appkit::LoadStr(id, config_.texts)); }

int CdDriveTest::Rand() { return config_.random(); }

void CdDriveTest::ClearDriveResults() {
  rate_ = 0;
  fullMin_ = fullAvg_ = fullMax_ = randomMs_ = 0;
  smallFile_ = false;
  unanswered_ = false;
  noAnswerLine_.clear();
}

void CdDriveTest::NoAnswer(char letter, DWORD boundMs, bool deferLine) {
  unanswered_ = true;
  char drive[3] = {letter, ':', 0};
  std::string line =
      appkit::FormatA(Text(IDS_CD_NO_ANSWER).c_str(), drive, (unsigned long)((boundMs + 999) / 1000));
  host_.CountError();
  if (deferLine)
    noAnswerLine_ = line;
  else
    host_.Line(line);
}

void CdDriveTest::FlushNoAnswer() {
  if (noAnswerLine_.empty()) return;
  host_.Line(noAnswerLine_);
  noAnswerLine_.clear();
}

DWORD CdDriveTest::ReadSectors(char letter, DWORD first, DWORD count, DWORD* elapsed) {
  *elapsed = 0;
  if (!config_.reader || unanswered_) return 0;
  DWORD bound = config_.sectorReadBoundMs(count), result = 0;
  ReadOutcome r =
      CallSectorReader(config_.reader, (DWORD)(unsigned char)letter, first, count, bound, host_, &result, elapsed);
  if (r == ReadOutcome::TimedOut) NoAnswer(letter, bound, false);
  return r == ReadOutcome::Done ? result : 0;
}

bool CdDriveTest::ReadFileBlock(OverlappedFile& file, void* buffer, DWORD n, char letter, bool deferLine) {
  if (unanswered_) return false;
  DWORD bound = config_.fileReadBoundMs(n);
  ReadOutcome r = file.ReadAll(buffer, n, bound, host_);
  if (r == ReadOutcome::TimedOut) NoAnswer(letter, bound, deferLine);
  return r == ReadOutcome::Done;
}

bool CdDriveTest::CheckVolume(char letter) {
  volume_ = Volume();
  return config_.volume(letter, &volume_);
}

void CdDriveTest::NoTestFileLine(bool toFile) {
  std::string line = settings_.testFileMinSizeK != 0
                         ? appkit::FormatA(Text(IDS_CD_NO_FILE_KB).c_str(), settings_.testFileMinSizeK,
                                           settings_.testFileMaxSizeM)
                         : appkit::FormatA(Text(IDS_CD_NO_FILE_MB).c_str(), settings_.testFileMinSizeM,
                                           settings_.testFileMaxSizeM);
  host_.Line(line);
  if (toFile) host_.FileLine(line);
}

bool CdDriveTest::Search(const std::wstring& dir, int depth, SearchState* state, std::wstring* found) {
  if (depth > kMaxSearchDepth || state->entries >= kMaxSearchEntries) return false;
  // A folder seen before (a link back to a folder above) is not searched again.
  std::pair<DWORD, uint64_t> id;
  if (FolderIdentity(dir, &id) && !state->folders.insert(id).second) return false;
  WIN32_FIND_DATAW f;
  HANDLE h = ::FindFirstFileW((dir + L"\\*.*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool done = false;
  do {
    if (++state->entries > kMaxSearchEntries) break;
    if (state->entries % kSearchPumpEvery == 0) host_.Pump();
    if (host_.Stopped()) break;
    if (wcscmp(f.cFileName, L".") == 0 || wcscmp(f.cFileName, L"..") == 0) continue;
    if (f.dwFileAttributes == INVALID_FILE_ATTRIBUTES) continue;
    // Links and other reparse points may lead anywhere (back up the disc,
    // off it): the search takes only what lies on the disc itself.
    if (f.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    std::wstring path = dir + L"\\" + f.cFileName;
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      done = Search(path, depth + 1, state, found);
    } else {
      uint64_t size = ((uint64_t)f.nFileSizeHigh << 32) | f.nFileSizeLow;
      // A file the tests could not open by its name is passed over.
      if (InTestFileRange(limits_, size) && OpensByTheNameFound(path, appkit::Widen(appkit::Narrow(path)))) {
        *found = path;
        done = true;
      }
    }
  } while (!done && ::FindNextFileW(h, &f));
  ::FindClose(h);
  return done;
}

std::string CdDriveTest::FindTestFile(char letter) {
  host_.Searching(true);
  std::string path;
  std::string preferred = TestFileOnDrive(config_.testFile, letter);
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!preferred.empty() && ::GetFileAttributesExW(appkit::Widen(preferred).c_str(), GetFileExInfoStandard, &a) &&
      !(a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    path = preferred;
  } else {
    std::wstring found;
    wchar_t root[3] = {(wchar_t)letter, L':', 0};
    SearchState state;
    if (Search(root, 0, &state, &found)) path = appkit::Narrow(found);
  }
  host_.Searching(false);
  if (path.empty() || !::GetFileAttributesExW(appkit::Widen(path).c_str(), GetFileExInfoStandard, &a)) return path;
  uint64_t size = ((uint64_t)a.nFileSizeHigh << 32) | a.nFileSizeLow;
  SmallFile small = SmallFileRule(settings_, size, volume_.sectorSize);
  if (small.small) {
    smallFile_ = true;
    settings_.bufferMultiple = small.bufferMultiple;
    limits_.blockLimit = small.blockLimit;
  }
  return path;
}

UINT CdDriveTest::ReadDataTest(const std::string& path) {
  std::wstring wide = appkit::Widen(path);
  char letter = path.empty() ? '?' : path[0];
  OverlappedFile first(wide.c_str(), FILE_ATTRIBUTE_NORMAL), second(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!first.ok() || !second.ok()) return IDS_CD_OPEN_FAILED;
  uint64_t length = 0;
  if (!first.Size(&length)) return IDS_CD_SEEK_FILE_FAILED;
  if (!InTestFileRange(limits_, length)) return IDS_CD_SIZE_OUT_OF_RANGE;
  uint64_t block = (uint64_t)settings_.bufferMultiple * volume_.sectorSize;
  uint32_t blocks = BlockCount(length, block, limits_.blockLimit);
  // Nothing to read (a block larger than the file) is no evidence of a read.
  if (blocks == 0) return IDS_CD_READ_FAILED;
  BlockBuffer a((size_t)block), b((size_t)block);
  if (!a.get() || !b.get()) return IDS_CD_NO_MEMORY;

  host_.ProgressRange(blocks);
  host_.Progress(0);
  UINT result = 0;
  for (uint32_t k = 0; k < blocks; ++k) {
    host_.Pump();
    if (host_.Stopped()) break;
    bool okA = ReadFileBlock(first, a.get(), (DWORD)block, letter, true);
    bool okB = ReadFileBlock(second, b.get(), (DWORD)block, letter, true);
    a.KeepFor(first);
    b.KeepFor(second);
    // Stop while a read waited: the run ends without a verdict on it.
    if (host_.Stopped()) break;
    if (unanswered_) {
      result = IDS_CD_READ_FAILED;
      break;
    }
    if (std::memcmp(a.get(), b.get(), (size_t)block) != 0) {
      result = IDS_CD_COMPARE_FAILED;
      break;
    }
    if (!okA || !okB) {
      result = IDS_CD_READ_FAILED;
      break;
    }
    host_.Progress(k + 1);
  }
  if (result == 0) {
    LARGE_INTEGER zero{}, end{}, half{};
    half.QuadPart = (LONGLONG)(length / 2);
    if (!::SetFilePointerEx(first.get(), zero, nullptr, FILE_BEGIN) ||
        !::SetFilePointerEx(first.get(), zero, &end, FILE_END) || (uint64_t)end.QuadPart != length ||
        !::SetFilePointerEx(first.get(), half, nullptr, FILE_BEGIN))
      result = IDS_CD_SEEK_FILE_FAILED;
  }
  return result;
}

void CdDriveTest::ClearDriveCache(char letter) {
  if (!config_.reader) return;
  DWORD elapsed = 0;
  ReadSectors(letter, volume_.totalSectors / 2, (DWORD)settings_.clearBufferBlocks, &elapsed);
}

bool CdDriveTest::TestTransferRate(const std::string& path, char letter) {
  OverlappedFile file(appkit::Widen(path).c_str(), FILE_FLAG_NO_BUFFERING | FILE_ATTRIBUTE_NORMAL);
  if (!file.ok()) return false;
  uint64_t size = 0;
  if (!file.Size(&size) || !InTestFileRange(limits_, size)) return false;
  uint64_t block = (uint64_t)volume_.sectorSize * settings_.bufferMultiple;
  uint32_t blocks = BlockCount(size, block, limits_.blockLimit);
  if (blocks == 0) return false;
  BlockBuffer buffer((size_t)block);
  if (!buffer.get()) return false;

  LONGLONG ticks = 0;
  bool ok = true;
  {
    HighPriority high;
    host_.ProgressRange(blocks);
    if (!config_.autoRun) ClearDriveCache(letter);
    for (uint32_t k = 0; k < blocks; ++k) {
      host_.Pump();
      if (host_.Stopped()) break;
      LARGE_INTEGER t0, t1;
      ::QueryPerformanceCounter(&t0);
      bool read = ReadFileBlock(file, buffer.get(), (DWORD)block, letter, false);
      ::QueryPerformanceCounter(&t1);
      buffer.KeepFor(file);
      if (host_.Stopped()) break;
      if (!read) {
        ok = false;
        break;
      }
      // The first block only starts the drive: it is not timed.
      if (k > 0) ticks += t1.QuadPart - t0.QuadPart;
      host_.Progress(k + 1);
    }
  }
  if (!ok) return false;
  if (host_.Stopped()) return true;
  double rate = 0;
  if (!TransferRateKBs(block, blocks, CounterSeconds(ticks), &rate)) return false;
  rate_ = rate;
  std::string line = appkit::FormatA(Text(IDS_CD_RATE_LINE).c_str(), std::tolower((unsigned char)letter), rate);
  host_.Line(line);
  host_.FileLine(line);
  if (!config_.bench) host_.Line(appkit::FormatA(Text(IDS_CD_SPEED).c_str(), SpeedFactor(rate)));
  return true;
}

bool CdDriveTest::FullStrokeTest(char letter, DWORD* last) {
  ClearDriveCache(letter);
  if (host_.Stopped() || unanswered_) return false;
  uint32_t n = (uint32_t)settings_.seekTestNum;
  host_.ProgressRange(n + 1);
  uint64_t sum = 0;
  uint32_t lo = 0, hi = 0;
  bool failed = false;
  for (uint32_t i = 0; i <= n; ++i) {
    host_.Pump();
    if (host_.Stopped()) break;
    DWORD elapsed = 0;
    *last = ReadSectors(letter, FullStrokeSector(volume_.totalSectors, n, i), 1, &elapsed);
    if (host_.Stopped()) break;
    if (!*last) {
      failed = true;
      break;
    }
    if (i > 0) {
      sum += elapsed;
      if (elapsed > hi || hi == 0) hi = elapsed;
      if (elapsed < lo || lo == 0) lo = elapsed;
    }
    host_.Progress(i + 1);
  }
  if (host_.Stopped() || failed) return false;
  fullMin_ = lo;
  fullMax_ = hi;
  fullAvg_ = (uint32_t)(sum / n);
  host_.Line(appkit::FormatA(Text(IDS_CD_FULL_STROKE_MIN).c_str(), (unsigned long)fullMin_));
  host_.Line(appkit::FormatA(Text(IDS_CD_FULL_STROKE_AVG).c_str(), (unsigned long)fullAvg_));
  host_.Line(appkit::FormatA(Text(IDS_CD_FULL_STROKE_MAX).c_str(), (unsigned long)fullMax_));
  return true;
}

void CdDriveTest::RandomAccessTest(char letter, DWORD* last) {
  host_.Line(Text(IDS_CD_TESTING_RANDOM));
  config_.reseed();
  uint32_t n = 2 * (uint32_t)settings_.seekTestNum;
  host_.ProgressRange(n + 1);
  uint64_t sum = 0;
  bool failed = false;
  for (uint32_t i = 0; i <= n; ++i) {
    host_.Pump();
    if (host_.Stopped()) break;
    uint32_t sector = 0;
    if (!RandomSector(Random32([this] { return Rand(); }), volume_.totalSectors, &sector)) {
      *last = 0;
      failed = true;
      break;
    }
    DWORD elapsed = 0;
    *last = ReadSectors(letter, sector, 1, &elapsed);
    if (host_.Stopped()) break;
    if (!*last) {
      failed = true;
      break;
    }
    if (i > 0) sum += elapsed;
    host_.Progress(i + 1);
  }
  if (host_.Stopped() || failed) return;
  randomMs_ = (uint32_t)(sum / n);
  host_.Line(appkit::FormatA(Text(IDS_CD_RANDOM_TIME).c_str(), (unsigned long)randomMs_));
}

DWORD CdDriveTest::SeekTests(char letter) {
  bool full = config_.autoRun ? config_.forceFullStroke : config_.fullStroke;
  bool random = config_.autoRun ? config_.forceRandom : config_.randomAccess;
  if (!config_.reader) return (full || random) ? 0 : 1;
  // The last read counts as a success until a read says otherwise.
  DWORD last = 1;
  if (full) {
    if (!DiscLargeEnoughForFullStroke(volume_.totalSectors, limits_.leastDiscSectors,
                                      (uint32_t)settings_.seekTestNum)) {
      host_.Line(Text(IDS_CD_DISC_TOO_SMALL));
      host_.CountError();
    } else {
      FullStrokeTest(letter, &last);
    }
  }
  host_.Progress(0);
  if (random && last && !host_.Stopped()) RandomAccessTest(letter, &last);
  host_.Progress(0);
  return last;
}

void CdDriveTest::ShowMpcLevel() {
  if (!(rate_ > 0) || randomMs_ == 0) return;
  int level = MpcLevel(rate_, randomMs_);
  host_.Line("");
  host_.Line(level > 0 ? appkit::FormatA(Text(IDS_CD_MPC_LEVEL).c_str(), level) : Text(IDS_CD_NO_MPC));
}

void CdDriveTest::RunDrive(char letter) {
  char drive[2] = {letter, 0};
  host_.Line(appkit::FormatA(Text(IDS_CD_TESTING_DRIVE).c_str(), drive));
  if (!CheckVolume(letter)) {
    host_.Line(Text(IDS_CD_NO_DISK));
    if (!config_.check) host_.CountError();
    host_.Line("");
    return;
  }
  host_.Pump();
  ClearDriveResults();
  host_.Line(Text(IDS_CD_SCANNING));
  std::string path = FindTestFile(letter);
  if (path.empty()) {
    if (!host_.Stopped()) {
      NoTestFileLine(false);
      host_.CountError();
    }
  } else {
    if (config_.readData) {
      host_.Line(appkit::FormatA(Text(IDS_CD_READING_FILE).c_str(), FileNameOf(path).c_str()));
      host_.Pump();
      UINT r = ReadDataTest(path);
      // A read test cut short by Stop passed nothing.
      if (r != 0 || !host_.Stopped()) host_.AppendToLast(Text(r == 0 ? IDS_CD_PASSED : r));
      if (r != 0) host_.CountError();
      FlushNoAnswer();
    }
    host_.Progress(0);
    if (config_.transferRate && !host_.Stopped() && !unanswered_) {
      if (smallFile_) {
        host_.Line(appkit::FormatA(Text(IDS_CD_SMALL_FILE).c_str(), settings_.testFileMinSizeM));
      } else {
        host_.Line(Text(IDS_CD_TESTING_RATE));
        host_.Pump();
        if (!TestTransferRate(path, letter)) {
          host_.Line(Text(IDS_CD_RATE_FAILED));
          host_.CountError();
        }
      }
    }
  }
  host_.Progress(0);
  if (config_.autoRun && !config_.forceFullStroke && !config_.forceRandom) {
    host_.Line("");
    return;
  }
  if (!host_.Stopped() && volume_.cdfs && !unanswered_) {
    bool full = config_.autoRun ? config_.forceFullStroke : config_.fullStroke;
    if (full) host_.Line(Text(IDS_CD_TESTING_FULL_STROKE));
    host_.Pump();
    if (SeekTests(letter) == 0) {
      host_.Line(Text(IDS_CD_SEEK_FAILED));
      host_.CountError();
    }
  }
  ShowMpcLevel();
  host_.Progress(0);
  host_.Line("");
  host_.Progress(0);
  host_.ScrollToEnd();
  host_.Pump();
}

void CdDriveTest::RunBenchmarkDrive(char letter) {
  if (!CheckVolume(letter)) {
    host_.CountError();
    host_.Line(Text(IDS_CD_NO_DISK));
    host_.Line("");
    return;
  }
  host_.Pump();
  ClearDriveResults();
  std::string path = FindTestFile(letter);
  if (path.empty()) {
    if (!host_.Stopped()) {
      NoTestFileLine(true);
      host_.CountError();
    }
  } else if (smallFile_) {
    host_.Line(appkit::FormatA(Text(IDS_CD_SMALL_FILE).c_str(), settings_.testFileMinSizeM));
  } else {
    host_.Progress(0);
    if (!host_.Stopped()) {
      host_.Pump();
      if (!TestTransferRate(path, letter)) {
        std::string failed = Text(IDS_CD_RATE_FAILED);
        host_.Line(failed);
        host_.FileLine(failed);
        host_.CountError();
      }
    }
  }
  host_.Line("");
  host_.Progress(0);
  host_.ScrollToEnd();
  host_.Pump();
}

}  // namespace cdtest
