#pragma once
// Little-endian field coding for the binary files. Every value is encoded
// byte by byte (never by copying a struct), so the files read the same on any
// host and no padding can leak into them.
//
// ByteWriter appends fields to a buffer and hands full chunks to a sink (a
// vector in memory, or a file). ByteReader takes fields from a span or from a
// refill callback and always knows how many bytes are left, so that a decoder
// can check a count against them before allocating anything. A reader that
// runs short fails once and stays failed: every later read returns false.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

// --- fixed-width encoding into / decoding from raw bytes -------------------
// REQUIRES: p has room for (or holds) the field's bytes.

inline void EncodeFixed16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void EncodeFixed32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void EncodeFixed64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint16_t DecodeFixed16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t DecodeFixed32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t DecodeFixed64(const uint8_t* p) {
  return static_cast<uint64_t>(DecodeFixed32(p)) |
         (static_cast<uint64_t>(DecodeFixed32(p + 4)) << 32);
}

// --- writer ------------------------------------------------------------------

class ByteWriter {
 public:
  // Receives each full chunk, and the rest on Finish; returns false to stop
  // the writer (every later call is then a no-op and Finish returns false).
  using Sink = std::function<bool(std::span<const uint8_t>)>;

  explicit ByteWriter(Sink sink, size_t chunkBytes = size_t{1} << 20)
      : sink_(std::move(sink)), buf_(std::max<size_t>(chunkBytes, 64)) {}

  // Appends to out (the writer must not outlive it).
  explicit ByteWriter(std::vector<uint8_t>& out)
      : ByteWriter([&out](std::span<const uint8_t> b) {
          out.insert(out.end(), b.begin(), b.end());
          return true;
        }) {}

  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  void U8(uint8_t v) { *Room(1) = v; }
  void U16(uint16_t v) { EncodeFixed16(Room(2), v); }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void U32(uint32_t v) { EncodeFixed32(Room(4), v); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void I64(int64_t v) { EncodeFixed64(Room(8), static_cast<uint64_t>(v)); }
  void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
  void F64(double v) { EncodeFixed64(Room(8), std::bit_cast<uint64_t>(v)); }
  // A 16-bit boolean: true is -1 (FF FF), false 0.
  void Bool16(bool v) { U16(v ? 0xFFFF : 0); }
  void Bytes(std::span<const uint8_t> b) {
    while (!b.empty()) {
      if (used_ == buf_.size()) Flush();
      size_t n = std::min(b.size(), buf_.size() - used_);
      std::memcpy(buf_.data() + used_, b.data(), n);
      used_ += n;
      b = b.subspan(n);
    }
  }
  void Bytes(std::string_view s) {
    Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  }

  // Room for n bytes to be filled by the caller with the Encode* helpers
  // (one record at a time). REQUIRES: n <= 64.
  uint8_t* Append(size_t n) { return Room(n); }

  // Hands the buffered rest to the sink. False when the sink refused any
  // chunk.
  bool Finish() {
    Flush();
    return ok_;
  }
  bool ok() const { return ok_; }
  // Bytes accepted so far (written or buffered).
  uint64_t Written() const { return flushed_ + used_; }

 private:
  uint8_t* Room(size_t n) {
    if (buf_.size() - used_ < n) Flush();
    uint8_t* p = buf_.data() + used_;
    used_ += n;
    return p;
  }
  void Flush() {
    if (used_ == 0) return;
    if (ok_) ok_ = sink_(std::span<const uint8_t>(buf_.data(), used_));
    flushed_ += used_;
    used_ = 0;
  }

  Sink sink_;
  std::vector<uint8_t> buf_;
  size_t used_ = 0;
  uint64_t flushed_ = 0;
  bool ok_ = true;
};

// --- reader ------------------------------------------------------------------

class ByteReader {
 public:
  // Fills dst with up to n bytes; returns how many (0 at the end or on a read
  // error).
  using Refill = std::function<size_t(uint8_t* dst, size_t n)>;

  // Reads straight from bytes (which must outlive the reader).
  explicit ByteReader(std::span<const uint8_t> bytes)
      : cur_(bytes.data()), end_(bytes.data() + bytes.size()) {}

  // Reads totalBytes through refill, bufferBytes at a time. The buffer grows
  // only when one field is larger than it (a string is at most 65535 bytes).
  ByteReader(uint64_t totalBytes, Refill refill, size_t bufferBytes = size_t{1} << 20)
      : refill_(std::move(refill)),
        buf_(std::max<size_t>(bufferBytes, 16)),
        unbuffered_(totalBytes) {
    cur_ = end_ = buf_.data();
  }

  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Bytes not yet consumed, as promised by the input's size.
  uint64_t Remaining() const { return unbuffered_ + static_cast<uint64_t>(end_ - cur_); }
  bool ok() const { return ok_; }
  // Marks the input as bad (a decoder found an inconsistent value).
  void Fail() { ok_ = false; }

  bool U8(uint8_t& v) {
    if (!Ensure(1)) return false;
    v = *cur_++;
    return true;
  }
  bool U16(uint16_t& v) {
    if (!Ensure(2)) return false;
    v = DecodeFixed16(cur_);
    cur_ += 2;
    return true;
  }
  bool I16(int16_t& v) {
    uint16_t u;
    if (!U16(u)) return false;
    v = static_cast<int16_t>(u);
    return true;
  }
  bool U32(uint32_t& v) {
    if (!Ensure(4)) return false;
    v = DecodeFixed32(cur_);
    cur_ += 4;
    return true;
  }
  bool I32(int32_t& v) {
    uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool U64(uint64_t& v) {
    if (!Ensure(8)) return false;
    v = DecodeFixed64(cur_);
    cur_ += 8;
    return true;
  }
  bool I64(int64_t& v) {
    uint64_t u;
    if (!U64(u)) return false;
    v = static_cast<int64_t>(u);
    return true;
  }
  bool F32(float& v) {
    uint32_t u;
    if (!U32(u)) return false;
    v = std::bit_cast<float>(u);
    return true;
  }
  bool F64(double& v) {
    uint64_t u;
    if (!U64(u)) return false;
    v = std::bit_cast<double>(u);
    return true;
  }
  // Any non-zero 16-bit value reads as true.
  bool Bool16(bool& v) {
    uint16_t u;
    if (!U16(u)) return false;
    v = u != 0;
    return true;
  }
  // n raw bytes. REQUIRES: n is small (a field, not a whole list).
  bool Bytes(uint8_t* dst, size_t n) {
    if (!Ensure(n)) return false;
    if (n != 0) std::memcpy(dst, cur_, n);
    cur_ += n;
    return true;
  }
  // n contiguous bytes, valid until the next read; nullptr when short.
  // REQUIRES: n is small (one record).
  const uint8_t* Take(size_t n) {
    if (!Ensure(n)) return nullptr;
    const uint8_t* p = cur_;
    cur_ += n;
    return p;
  }
  bool Text(std::string& s, size_t n) {
    if (!Ensure(n)) return false;
    s.assign(reinterpret_cast<const char*>(cur_), n);
    cur_ += n;
    return true;
  }

 private:
  // True when n bytes are available at cur_; otherwise fails the reader.
  bool Ensure(size_t n) {
    if (ok_ && static_cast<size_t>(end_ - cur_) >= n) [[likely]]
      return true;
    return Slow(n);
  }

  bool Slow(size_t n) {
    if (!ok_ || !refill_ || n > Remaining()) return ok_ = false;
    size_t have = static_cast<size_t>(end_ - cur_);
    if (n > buf_.size()) {
      std::vector<uint8_t> bigger(n);
      std::memcpy(bigger.data(), cur_, have);
      buf_.swap(bigger);
    } else if (have != 0) {
      std::memmove(buf_.data(), cur_, have);
    }
    cur_ = buf_.data();
    end_ = cur_ + have;
    while (have < n) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(buf_.size() - have, unbuffered_));
      size_t got = refill_(buf_.data() + have, want);
      if (got == 0 || got > want) return ok_ = false;
      have += got;
      unbuffered_ -= got;
      end_ = cur_ + have;
    }
    return true;
  }

  const uint8_t* cur_ = nullptr;
  const uint8_t* end_ = nullptr;
  Refill refill_;
  std::vector<uint8_t> buf_;
  uint64_t unbuffered_ = 0;  // bytes of the input not yet pulled into buf_
  bool ok_ = true;
};

}  // namespace orvane
