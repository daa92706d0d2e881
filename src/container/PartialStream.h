// A window [start, start + size) of another stream, read through a buffer when a progress hook
// is installed so that the hook runs every few hundred bytes without a system call each time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Stream.h"

namespace dax::container {

using TProgressHook = void (*)();

class TPartialStream : public TStream {
 public:
  // EStreamError "Insufficient Source Size" when inner is shorter than start + size.
  TPartialStream(TStream* inner, bool ownsInner, int64_t start, int64_t size);
  TPartialStream(std::unique_ptr<TStream> inner, int64_t start, int64_t size);
  // The whole of inner.
  explicit TPartialStream(std::unique_ptr<TStream> inner);
  ~TPartialStream() override;

  // With a hook, reads hand out at most min(chunk, 256) bytes between hook calls.
  void SetProgressHook(TProgressHook hook, size_t requestedChunk);
  TProgressHook ProgressHook() const { return hook_; }
  size_t Chunk() const { return chunk_; }

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  // Positions 0..Size() are valid; others raise EStreamError "Incorrect Position".
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  // Raises EStreamError "Stream Cannot be resized".
  void SetSize(int64_t size) override;
  // Writes count bytes of source (all that is left when count <= 0) at the current position,
  // chunk by chunk with the hook before and after each write; EStreamWriteError on a short
  // write.
  int64_t CopyFromSource(TStream& source, int64_t count);

  TStream& Inner() { return *inner_; }
  int64_t WindowStart() const { return start_; }

  static constexpr size_t kDefaultChunk = 32768;
  static constexpr size_t kHookedChunk = 256;
  static constexpr size_t kBufferSize = 64 * 1024;

 private:
  size_t ReadDirect(uint8_t* out, size_t count);
  void CallHook(size_t bytes);

  TStream* inner_;
  bool ownsInner_;
  int64_t start_;
  int64_t size_;
  int64_t pos_ = 0;
  int64_t innerPos_ = -1;  // where an owned inner stream stands; -1 when unknown
  TProgressHook hook_ = nullptr;
  size_t chunk_ = kDefaultChunk;
  // Buffered window of the inner stream, in window coordinates.
  std::vector<uint8_t> buffer_;
  int64_t bufPos_ = 0;
  size_t bufLen_ = 0;
};

}  // namespace dax::container
