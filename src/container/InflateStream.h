// Raw deflate (no zlib header or trailer) read as a stream, and inflation into memory with a
// size cap so that a decompression bomb cannot exhaust memory.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/Stream.h"

namespace dax::container {

class EZDecompressionError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// Raised when inflated data would pass the caller's limit.
class EInflateLimitExceeded : public EZDecompressionError {
 public:
  EInflateLimitExceeded() : EZDecompressionError("Inflated size limit exceeded") {}
};

class TInflateStream : public TStream {
 public:
  // Reads deflate data from source's current position; source is borrowed.
  explicit TInflateStream(TStream& source, int64_t declaredSize = -1);
  ~TInflateStream() override;
  TInflateStream(const TInflateStream&) = delete;
  TInflateStream& operator=(const TInflateStream&) = delete;

  // Stops at the end of the deflate data (the source is then left just after it) or when the
  // source runs dry. zlib errors raise EZDecompressionError with zlib's message.
  size_t Read(void* buffer, size_t count) override;
  // Current position: nothing; 0: restart; forwards: read and discard; else
  // EZDecompressionError "Invalid ZStream operation!".
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return declaredSize_; }
  size_t Write(const void* buffer, size_t count) override;
  void SetSize(int64_t size) override;

  bool Finished() const { return finished_; }

  static constexpr size_t kInputBufferSize = 65536;

 private:
  void Restart();

  TStream& source_;
  int64_t sourceStart_;
  int64_t declaredSize_;
  int64_t position_ = 0;
  bool finished_ = false;
  z_stream z_{};
  std::vector<uint8_t> input_;
};

// A read-only stream over an owned block of mapped memory that grows without copying.
class TByteBlockStream : public TStream {
 public:
  TByteBlockStream() = default;
  ~TByteBlockStream() override;
  TByteBlockStream(const TByteBlockStream&) = delete;
  TByteBlockStream& operator=(const TByteBlockStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(size_); }

  const uint8_t* Data() const { return data_; }
  // Grows capacity to at least `capacity` bytes; false when memory is short.
  bool Reserve(size_t capacity);
  uint8_t* Tail() { return data_ + size_; }
  // Maps in the pages of the next `bytes` spare bytes ahead of writing them.
  void Populate(size_t bytes);
  size_t Spare() const { return capacity_ - size_; }
  void Commit(size_t bytes) { size_ += bytes; }
  void Trim();

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  int64_t position_ = 0;
};

// Inflates the raw deflate data that follows source's position completely. Raises
// EInflateLimitExceeded past `limit` bytes and EZDecompressionError on bad or cut data.
std::unique_ptr<TByteBlockStream> InflateToMemory(TStream& source, int64_t limit,
                                                  int64_t sizeHint = 0);

// The cap on one inflated entry; settable so tests can use small bombs.
int64_t InflatedEntryLimit();
void SetInflatedEntryLimit(int64_t limit);
inline constexpr int64_t kDefaultInflatedEntryLimit = int64_t{1} << 30;

// Raw deflate of a whole buffer (the writer's side of the same format).
std::vector<uint8_t> DeflateRaw(const uint8_t* data, size_t size,
                                int level = Z_DEFAULT_COMPRESSION);

}  // namespace dax::container
