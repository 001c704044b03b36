#pragma once
// Whole-file writes that never leave a half-written file behind, and bounded
// reads.
//
// AtomicFileWriter writes into a fresh temporary file in the target's folder
// (same file system, so the final rename is atomic), and Commit flushes it to
// disk and renames it over the target. Until Commit succeeds the old file is
// untouched; a writer destroyed without Commit, or a failed Commit, removes
// its temporary file. Readers therefore see either the old file or the whole
// new one, even after a crash or a full disk.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/Outcome.h"

namespace orvane {

class AtomicFileWriter {
 public:
  // Creates the temporary file next to target. Check ok(): the folder may be
  // missing or read-only.
  explicit AtomicFileWriter(std::filesystem::path target);
  ~AtomicFileWriter();  // discards the temporary file unless committed
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Appends bytes (buffered). False once any write has failed.
  bool Write(std::span<const uint8_t> bytes);
  bool Write(std::string_view text);
  // Flushes and syncs what is written so far, on the calling thread, so that
  // a Commit or HandOver on another finds nothing left to wait for. False
  // once anything failed.
  bool Sync();
  // Flushes, syncs and renames the temporary file over the target. After a
  // failure the temporary file is gone and the target is as it was.
  bool Commit();
  // Gives up: removes the temporary file, leaves the target alone.
  void Discard();
  // Flushes and syncs the temporary file and hands it over without renaming
  // it: the caller (a FolderTransaction) puts it in place. Returns its name,
  // or "" after a failure (the temporary file is then gone).
  std::filesystem::path HandOver();

  bool ok() const { return error_.empty(); }
  // Why the writer failed ("" while it has not), naming the file and the
  // system's reason.
  const std::string& Error() const { return error_; }
  const std::filesystem::path& Target() const { return target_; }

 private:
  bool FlushBuffer();
  bool WriteThrough(const uint8_t* p, size_t n);
  void SetError(std::string_view what);

  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  std::vector<uint8_t> buf_;
  size_t used_ = 0;
  uint64_t written_ = 0;     // bytes in the temporary file
  uint64_t handedOver_ = 0;  // of which the disk has been asked to take
  bool committed_ = false;
  std::string error_;
};

// A name beside target that no other writer (this process or another) will
// pick: target's name (shortened when needed to stay within 255 bytes), then
// "." + tag, the process id, a counter and a random part. It never ends in
// the target's extension, so folder scans by extension skip it.
std::filesystem::path UniqueSiblingPath(const std::filesystem::path& target, std::string_view tag);

// Files that a rename replaced, still open: the system frees a file's pages
// and blocks when its last name and handle go, a tenth of a second for a
// surface of a million points, and a change need not wait for that. When
// the holder goes, the files are closed on a thread of their own. A change
// keeps its holder until it has synced the folder: a sync while the blocks
// are being freed would wait for that too.
class ReplacedFiles {
 public:
  ReplacedFiles() = default;
  ReplacedFiles(const ReplacedFiles&) = delete;
  ReplacedFiles& operator=(const ReplacedFiles&) = delete;
  ~ReplacedFiles();

 private:
  friend int RenameOver(const std::filesystem::path&, const std::filesystem::path&, ReplacedFiles&);
  std::vector<int> open_;
};

// rename(2) of from over to, with its result and errno. A replaced file of
// many megabytes stays open in replaced.
int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to,
               ReplacedFiles& replaced);
// The same, the replaced file closed at once on a thread of its own.
int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Lets the system drop its cached copy of a large file that is about to be
// replaced (a surface's files before its rebuild). The memory it held is
// then free for the work that replaces the file, which would otherwise take
// memory the system must first fetch and clear while the old copy sits
// unused until the rename. The file itself is untouched; links are not
// followed and anything but a regular file is left alone.
void DropCachedCopy(const std::filesystem::path& file);

// Holds a lock on a folder while it lives, so that changes of a project
// folder (builds, imports, renames, deletes, ...) never interleave, and a
// scan never sees a change half made. Exclusive for a change, shared for a
// reader. Advisory, and only between the processes that take it; without a
// lockable folder it does nothing.
//
// Within one process the lock is re-entrant: a change that calls another
// (a split that builds its results) holds it once. A shared request under an
// exclusive hold is covered by it; an exclusive request under a shared hold
// upgrades it.
class FolderLock {
 public:
  enum class Mode { Exclusive, Shared };
  // Waits for the lock unless wait is false; then Held() tells whether it
  // was free.
  explicit FolderLock(const std::filesystem::path& folder, Mode mode = Mode::Exclusive,
                      bool wait = true);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return held_; }

 private:
  Mode mode_;
  uint64_t dev_ = 0, ino_ = 0;
  bool held_ = false;
  bool upgraded_ = false;  // this holder turned a shared hold exclusive
};

// Writes the whole of bytes to file through an AtomicFileWriter.
Outcome WriteFileAtomically(const std::filesystem::path& file, std::span<const uint8_t> bytes);

// A regular file opened for sequential reading. Opening refuses folders,
// pipes and devices, so a read can neither block nor run forever.
class FileReader {
 public:
  // NotFound when the file is not there, Unreadable for any other refusal;
  // the text names the file and the reason.
  static Result<FileReader> Open(const std::filesystem::path& file);
  FileReader(FileReader&& other) noexcept;
  FileReader& operator=(FileReader&& other) noexcept;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  // The size when opened, in bytes.
  uint64_t Size() const { return size_; }
  // Up to n bytes into dst; 0 at the end of the file or on a read error.
  size_t Read(uint8_t* dst, size_t n);

 private:
  explicit FileReader(int fd, uint64_t size) : fd_(fd), size_(size) {}
  int fd_ = -1;
  uint64_t size_ = 0;
};

// The whole file, or why not: it cannot be read or is larger than maxBytes.
Result<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& file, uint64_t maxBytes);

}  // namespace orvane
