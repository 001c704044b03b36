#include "core/storage/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

#include "core/storage/ChangeHistory.h"

namespace orvane {

namespace {

constexpr size_t kWriteBuffer = size_t{64} << 10;
// Written bytes are handed to the disk in slices of this size while the
// writer goes on, so that Commit's sync waits for the last slice only.
constexpr uint64_t kWritebackSlice = uint64_t{8} << 20;

std::string SystemReason(int err) {
  return std::strerror(err);
}

// Writes all of n bytes, retrying after signals and partial writes.
bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = EIO;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;  // the rename is done; durability of the entry is best effort
  ::fsync(dfd);
  ::close(dfd);
}

}  // namespace

std::filesystem::path UniqueSiblingPath(const std::filesystem::path& target, std::string_view tag) {
  static std::atomic<unsigned> counter{0};
  static const uint64_t random = [] {
    std::random_device rd;
    return (static_cast<uint64_t>(rd()) << 32) ^ rd();
  }();
  const unsigned n = counter++;
  std::string suffix(1, '.');
  suffix += tag;
  for (const std::string& part : {std::to_string(::getpid()), std::to_string(n)}) {
    suffix += '-';
    suffix += part;
  }
  suffix += '-';
  static const char kHex[] = "0123456789abcdef";
  uint64_t t = random ^ (static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull);
  for (int i = 0; i < 8; ++i, t >>= 4) suffix += kHex[t & 15];
  // File names hold at most 255 bytes: a long target name gives way to the
  // suffix, which alone makes the name unique.
  constexpr size_t kMaxName = 255;
  std::string name = target.filename().string();
  if (name.size() + suffix.size() > kMaxName) name.resize(kMaxName - suffix.size());
  return target.parent_path() / (name + suffix);
}

ReplacedFiles::~ReplacedFiles() {
  if (open_.empty()) return;
  try {
    std::thread([files = open_] {
      for (const int fd : files) ::close(fd);
    }).detach();
  } catch (const std::exception&) {
    for (const int fd : open_) ::close(fd);  // no thread to spare: freed here
  }
}

namespace {

// A handle on file when it is a regular file of at least minimum bytes,
// else -1. Not through a symbolic link (a rename replaces the link itself),
// and never waiting on a pipe.
int OpenLargeRegularFile(const std::filesystem::path& file, off_t minimum) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= minimum) return fd;
  ::close(fd);
  return -1;
}

}  // namespace

int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to,
               ReplacedFiles& replaced) {
  int old = OpenLargeRegularFile(to, off_t{64} << 20);
  int renamed = ::rename(from.c_str(), to.c_str());
  if (renamed != 0 && old >= 0) {
    // A network share may refuse to replace a file that is open (a
    // server's sharing rules): the handle goes, and the rename is tried
    // again as it would have been without it.
    ::close(old);
    old = -1;
    renamed = ::rename(from.c_str(), to.c_str());
  }
  const int err = errno;
  if (old >= 0) {
    try {
      replaced.open_.push_back(old);
    } catch (const std::bad_alloc&) {
      ::close(old);
    }
  }
  errno = err;
  return renamed;
}

int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  int renamed = 0, err = 0;
  {
    ReplacedFiles replaced;
    renamed = RenameOver(from, to, replaced);
    err = errno;
  }
  errno = err;
  return renamed;
}

void DropCachedCopy(const std::filesystem::path& file) {
  const int fd = OpenLargeRegularFile(file, off_t{16} << 20);
  if (fd < 0) return;
  // Pages still being written stay (the system only drops clean ones).
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target) : target_(std::move(target)) {
  if (target_.filename().empty()) {
    SetError("no file name");
    return;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = UniqueSiblingPath(target_, "tmp");
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      temp_ = std::move(candidate);
      break;
    }
    if (errno != EEXIST) {
      SetError("cannot create a temporary file: " + SystemReason(errno));
      return;
    }
  }
  if (fd_ < 0) {
    SetError("cannot find a free temporary file name");
    return;
  }
  // A replaced file keeps its permissions.
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd_, st.st_mode & 07777);
  buf_.resize(kWriteBuffer);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!committed_) Discard();
}

void AtomicFileWriter::SetError(std::string_view what) {
  if (error_.empty()) error_ = target_.string() + ": " + std::string(what);
}

bool AtomicFileWriter::FlushBuffer() {
  if (used_ == 0) return ok();
  if (ok()) WriteThrough(buf_.data(), used_);
  used_ = 0;
  return ok();
}

bool AtomicFileWriter::WriteThrough(const uint8_t* p, size_t n) {
  if (!WriteAll(fd_, p, n)) {
    SetError("write failed: " + SystemReason(errno));
    return false;
  }
  written_ += n;
#ifdef __linux__
  // Only a hint: the sync in Commit is what guarantees the data.
  if (written_ - handedOver_ >= kWritebackSlice) {
    ::sync_file_range(fd_, static_cast<off_t>(handedOver_),
                      static_cast<off_t>(written_ - handedOver_), SYNC_FILE_RANGE_WRITE);
    handedOver_ = written_;
  }
#endif
  return true;
}

bool AtomicFileWriter::Write(std::span<const uint8_t> bytes) {
  if (!ok() || fd_ < 0) return false;
  if (bytes.size() <= buf_.size() - used_) {
    if (!bytes.empty()) std::memcpy(buf_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
    return true;
  }
  if (!FlushBuffer()) return false;
  if (bytes.size() < buf_.size()) {
    std::memcpy(buf_.data(), bytes.data(), bytes.size());
    used_ = bytes.size();
    return true;
  }
  return WriteThrough(bytes.data(), bytes.size());
}

bool AtomicFileWriter::Write(std::string_view text) {
  return Write(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool AtomicFileWriter::Sync() {
  if (fd_ < 0 || !FlushBuffer()) return false;
  if (::fsync(fd_) != 0) SetError("cannot flush to disk: " + SystemReason(errno));
  return ok();
}

bool AtomicFileWriter::Commit() {
  if (committed_) return ok();
  if (fd_ < 0 || !FlushBuffer()) {
    Discard();
    return false;
  }
  if (::fsync(fd_) != 0) SetError("cannot flush to disk: " + SystemReason(errno));
  if (::close(fd_) != 0 && ok()) SetError("cannot close: " + SystemReason(errno));
  fd_ = -1;
  if (ok()) NoteReplacing(target_);
  ReplacedFiles replaced;
  if (ok() && RenameOver(temp_, target_, replaced) != 0)
    SetError("cannot replace the file: " + SystemReason(errno));
  if (!ok()) {
    Discard();
    return false;
  }
  committed_ = true;
  temp_.clear();
  SyncFolder(target_.parent_path());
  return true;
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  used_ = 0;
  SetError("discarded");
}

std::filesystem::path AtomicFileWriter::HandOver() {
  if (committed_ || fd_ < 0 || !FlushBuffer()) {
    Discard();
    return {};
  }
  if (::fsync(fd_) != 0) SetError("cannot flush to disk: " + SystemReason(errno));
  if (::close(fd_) != 0 && ok()) SetError("cannot close: " + SystemReason(errno));
  fd_ = -1;
  if (!ok()) {
    Discard();
    return {};
  }
  committed_ = true;
  return std::exchange(temp_, {});
}

namespace {

// The folder locks this process holds, by folder identity: flock locks
// belong to an open file, so a second open of the same folder would wait
// for the first forever.
struct HeldLock {
  int fd = -1;
  int exclusive = 0;
  int shared = 0;
};
std::mutex& LockRegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::pair<uint64_t, uint64_t>, HeldLock>& LockRegistry() {
  static std::map<std::pair<uint64_t, uint64_t>, HeldLock> held;
  return held;
}

bool Flock(int fd, int operation, bool wait) {
  for (;;) {
    if (::flock(fd, operation | (wait ? 0 : LOCK_NB)) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

FolderLock::FolderLock(const std::filesystem::path& folder, Mode mode, bool wait) : mode_(mode) {
  const char* name = folder.empty() ? "." : folder.c_str();
  struct stat st {};
  if (::stat(name, &st) != 0 || !S_ISDIR(st.st_mode)) {
    held_ = true;  // nothing to lock, nothing to wait for
    return;
  }
  dev_ = static_cast<uint64_t>(st.st_dev);
  ino_ = static_cast<uint64_t>(st.st_ino);
  const std::lock_guard<std::mutex> guard(LockRegistryMutex());
  auto& registry = LockRegistry();
  auto it = registry.find({dev_, ino_});
  if (it != registry.end()) {
    HeldLock& h = it->second;
    if (mode == Mode::Shared) {
      ++h.shared;
    } else if (h.exclusive > 0) {
      ++h.exclusive;
    } else {
      if (!Flock(h.fd, LOCK_EX, wait)) return;
      ++h.exclusive;
      upgraded_ = true;
    }
    held_ = true;
    return;
  }
  const int fd = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    held_ = true;
    return;
  }
  if (!Flock(fd, mode == Mode::Exclusive ? LOCK_EX : LOCK_SH, wait)) {
    ::close(fd);
    return;
  }
  HeldLock h;
  h.fd = fd;
  (mode == Mode::Exclusive ? h.exclusive : h.shared) = 1;
  registry.emplace(std::pair{dev_, ino_}, h);
  held_ = true;
}

FolderLock::~FolderLock() {
  if (!held_ || (dev_ == 0 && ino_ == 0)) return;
  const std::lock_guard<std::mutex> guard(LockRegistryMutex());
  auto& registry = LockRegistry();
  auto it = registry.find({dev_, ino_});
  if (it == registry.end()) return;
  HeldLock& h = it->second;
  if (mode_ == Mode::Exclusive)
    --h.exclusive;
  else
    --h.shared;
  if (h.exclusive == 0 && h.shared == 0) {
    ::flock(h.fd, LOCK_UN);
    ::close(h.fd);
    registry.erase(it);
  } else if (h.exclusive == 0 && upgraded_) {
    Flock(h.fd, LOCK_SH, true);
  }
}

Outcome WriteFileAtomically(const std::filesystem::path& file, std::span<const uint8_t> bytes) {
  AtomicFileWriter w(file);
  if (w.Write(bytes) && w.Commit()) return {};
  return Outcome::Failure(ErrorCode::CannotWrite, w.Error(), file);
}

// --- reading -----------------------------------------------------------------

Result<FileReader> FileReader::Open(const std::filesystem::path& file) {
  auto fail = [&](std::string_view why, ErrorCode code = ErrorCode::Unreadable) {
    return Outcome::Failure(code, file.string() + ": " + std::string(why), file);
  };
  // Non-blocking so that opening a pipe cannot wait for a writer.
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int err = errno;
    return fail(SystemReason(err), err == ENOENT ? ErrorCode::NotFound : ErrorCode::Unreadable);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("not a regular file");
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return FileReader(fd, static_cast<uint64_t>(st.st_size));
}

FileReader::FileReader(FileReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

size_t FileReader::Read(uint8_t* dst, size_t n) {
  if (fd_ < 0) return 0;
  size_t total = 0;
  while (total < n) {
    ssize_t r = ::read(fd_, dst + total, n - total);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    total += static_cast<size_t>(r);
  }
  return total;
}

Result<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& file, uint64_t maxBytes) {
  Result<FileReader> in = FileReader::Open(file);
  if (!in) return in.Error();
  if (in->Size() > maxBytes)
    return Outcome::Failure(ErrorCode::Unreadable,
                            file.string() + ": larger than " + std::to_string(maxBytes) + " bytes",
                            file);
  std::vector<uint8_t> bytes(static_cast<size_t>(in->Size()));
  if (in->Read(bytes.data(), bytes.size()) != bytes.size())
    return Outcome::Failure(ErrorCode::Unreadable,
                            file.string() + ": shorter than its size (changed while reading?)",
                            file);
  return bytes;
}

}  // namespace orvane
