#pragma once
// A file written in chunks that are formatted on two threads where two may
// run, taken in turn, and written in order from the calling thread: the
// bytes are those of one thread, and only the calling thread writes and
// reports.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "core/storage/AtomicFile.h"

namespace orvane {

class ChunkWriter {
 public:
  // format(chunk, text, formatter) formats the chunk into text (room for
  // chunkBytes) and returns its end; it is called on both threads, each
  // with its own formatter (index 0 this thread's, 1 the helper's).
  using Format = std::function<char*(int64_t chunk, char* text, int formatter)>;
  // written(chunk) after each chunk is written: false stops.
  using Written = std::function<bool(int64_t chunk)>;

  // False when written said stop or the file could not be written.
  static bool Run(int64_t chunks, size_t chunkBytes, AtomicFileWriter& out, const Format& format,
                  const Written& written);

 private:
  ChunkWriter(int64_t chunks, AtomicFileWriter& out, const Format& format, const Written& written)
      : chunks_(chunks), out_(out), format_(format), written_(written) {}

  static constexpr int64_t kSlots = 4;
  struct Slot {
    std::vector<char> Text;
    size_t Used = 0;
    int64_t Chunk = -1;  // the chunk the text holds, -1 none
  };

  bool OnTwoThreads(std::vector<char> first);
  // Whether a chunk is left whose slot is free (the chunk kSlots before it
  // written). Under the lock.
  bool CanTake() const { return taken_ < chunks_ && taken_ < writtenChunks_ + kSlots; }
  void FormatInto(int64_t k, int formatter);
  void Helper();
  bool Writer();
  void ReleaseHelper();

  const int64_t chunks_;
  AtomicFileWriter& out_;
  const Format& format_;
  const Written& written_;
  Slot slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t taken_ = 0;          // chunks taken for formatting
  int64_t writtenChunks_ = 0;  // chunks written, in order
  bool stop_ = false, failed_ = false;
};

}  // namespace orvane
