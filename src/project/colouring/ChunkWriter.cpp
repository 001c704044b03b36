#include "project/colouring/ChunkWriter.h"

#include <optional>
#include <string_view>

#include "core/support/Threads.h"

namespace orvane {

bool ChunkWriter::Run(int64_t chunks, size_t chunkBytes, AtomicFileWriter& out,
                      const Format& format, const Written& written) {
  std::vector<char> single(chunkBytes);
  if (chunks < 2 || !TwoThreads()) {
    for (int64_t k = 0; k < chunks; ++k) {
      const char* end = format(k, single.data(), 0);
      if (!out.Write(std::string_view(single.data(), static_cast<size_t>(end - single.data()))) ||
          !written(k))
        return false;
    }
    return true;
  }
  return ChunkWriter(chunks, out, format, written).OnTwoThreads(std::move(single));
}

bool ChunkWriter::OnTwoThreads(std::vector<char> first) {
  slots_[0].Text = std::move(first);
  for (int64_t s = 1; s < kSlots; ++s) slots_[s].Text.resize(slots_[0].Text.size());
  bool going = true;
  RunBoth([&] { Helper(); }, [&] { going = Writer(); });
  return going;
}

void ChunkWriter::FormatInto(int64_t k, int formatter) {
  Slot& slot = slots_[k % kSlots];
  slot.Used = static_cast<size_t>(format_(k, slot.Text.data(), formatter) - slot.Text.data());
  {
    const std::lock_guard lock(mutex_);
    slot.Chunk = k;
  }
  changed_.notify_all();
}

void ChunkWriter::Helper() {
  try {
    for (;;) {
      int64_t k;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || CanTake() || taken_ >= chunks_; });
        if (stop_ || taken_ >= chunks_) return;
        k = taken_++;
      }
      FormatInto(k, 1);
    }
  } catch (...) {
    {
      const std::lock_guard lock(mutex_);
      failed_ = true;
    }
    changed_.notify_all();
    throw;
  }
}

void ChunkWriter::ReleaseHelper() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
}

bool ChunkWriter::Writer() {
  // However this side ends, the helper is let go.
  struct Release {
    ChunkWriter& w;
    ~Release() { w.ReleaseHelper(); }
  } release{*this};
  while (writtenChunks_ < chunks_) {
    Slot& next = slots_[writtenChunks_ % kSlots];
    std::optional<int64_t> mine;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return failed_ || next.Chunk == writtenChunks_ || CanTake(); });
      if (failed_) return false;  // the helper's exception follows
      if (next.Chunk != writtenChunks_) mine = taken_++;
    }
    if (mine) {
      FormatInto(*mine, 0);
      continue;
    }
    const bool wrote = out_.Write(std::string_view(next.Text.data(), next.Used));
    {
      const std::lock_guard lock(mutex_);
      next.Chunk = -1;
      ++writtenChunks_;
    }
    changed_.notify_all();
    if (!wrote || !written_(writtenChunks_ - 1)) return false;
  }
  return true;
}

}  // namespace orvane
