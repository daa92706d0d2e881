#include "container/PartialStream.h"

#include <algorithm>
#include <cstring>

#include "foundation/Exceptions.h"

namespace dax::container {
namespace {
// Large reads go straight into the caller's memory in steps this big, so the hook still
// runs often enough to pace or abort a long read.
constexpr size_t kDirectStep = 1024 * 1024;
}  // namespace

TPartialStream::TPartialStream(TStream* inner, bool ownsInner, int64_t start, int64_t size)
    : inner_(inner), ownsInner_(ownsInner), start_(start), size_(size) {
  bool ok = inner_ != nullptr && start >= 0 && size >= 0;
  if (ok) {
    int64_t innerSize = inner_->Size();
    ok = start <= innerSize && size <= innerSize - start;
  }
  if (!ok) {
    if (ownsInner_) delete inner_;
    inner_ = nullptr;
    throw EStreamError("Insufficient Source Size");
  }
}

TPartialStream::TPartialStream(std::unique_ptr<TStream> inner, int64_t start, int64_t size)
    : TPartialStream(inner.release(), true, start, size) {}

TPartialStream::TPartialStream(std::unique_ptr<TStream> inner)
    : TPartialStream(inner.get(), false, 0, inner ? inner->Size() : 0) {
  ownsInner_ = true;
  inner.release();
}

TPartialStream::~TPartialStream() {
  if (ownsInner_) delete inner_;
}

void TPartialStream::SetProgressHook(TProgressHook hook, size_t requestedChunk) {
  hook_ = hook;
  if (!hook) {
    chunk_ = kDefaultChunk;
    buffer_.clear();
    buffer_.shrink_to_fit();
    bufLen_ = 0;
    return;
  }
  chunk_ = std::clamp<size_t>(requestedChunk, 1, kHookedChunk);
  buffer_.resize(kBufferSize);
  bufLen_ = 0;
}

void TPartialStream::CallHook(size_t bytes) {
  for (size_t done = 0; done < bytes; done += chunk_) hook_();
}

size_t TPartialStream::ReadDirect(uint8_t* out, size_t count) {
  // Nobody else moves an inner stream we own, so sequential reads need no seek call.
  const int64_t at = start_ + pos_;
  if (!ownsInner_ || innerPos_ != at) inner_->Seek(at, TSeekOrigin::Begin);
  innerPos_ = -1;
  size_t done = 0;
  while (done < count) {
    size_t n = inner_->Read(out + done, count - done);
    if (n == 0) break;
    done += n;
  }
  innerPos_ = at + static_cast<int64_t>(done);
  return done;
}

size_t TPartialStream::Read(void* buffer, size_t count) {
  if (pos_ >= size_ || count == 0) return 0;
  count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - pos_));
  auto* out = static_cast<uint8_t*>(buffer);
  if (!hook_) {
    size_t n = ReadDirect(out, count);
    pos_ += static_cast<int64_t>(n);
    return n;
  }
  size_t done = 0;
  while (done < count) {
    int64_t bufEnd = bufPos_ + static_cast<int64_t>(bufLen_);
    if (bufLen_ > 0 && pos_ >= bufPos_ && pos_ < bufEnd) {
      size_t n = std::min<size_t>({count - done, chunk_, static_cast<size_t>(bufEnd - pos_)});
      std::memcpy(out + done, buffer_.data() + (pos_ - bufPos_), n);
      pos_ += static_cast<int64_t>(n);
      done += n;
      hook_();
      continue;
    }
    size_t want = count - done;
    if (want >= kBufferSize) {
      // A big read gains nothing from the buffer: read in place, then run the hook as often
      // as the chunked read would have.
      size_t n = ReadDirect(out + done, std::min(want, kDirectStep));
      if (n == 0) break;
      pos_ += static_cast<int64_t>(n);
      done += n;
      CallHook(n);
      continue;
    }
    size_t fill = static_cast<size_t>(std::min<int64_t>(kBufferSize, size_ - pos_));
    int64_t at = pos_;
    size_t n = ReadDirect(buffer_.data(), fill);
    if (n == 0) break;
    bufPos_ = at;
    bufLen_ = n;
  }
  return done;
}

size_t TPartialStream::Write(const void* buffer, size_t count) {
  if (pos_ >= size_ || count == 0) return 0;
  bufLen_ = 0;
  count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - pos_));
  const auto* in = static_cast<const uint8_t*>(buffer);
  innerPos_ = -1;
  inner_->Seek(start_ + pos_, TSeekOrigin::Begin);
  size_t done = 0;
  while (done < count) {
    size_t n = inner_->Write(in + done, std::min(count - done, chunk_));
    if (hook_) hook_();
    if (n == 0) break;
    done += n;
    pos_ += static_cast<int64_t>(n);
  }
  return done;
}

int64_t TPartialStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? pos_ : size_;
  if ((offset > 0 && base > INT64_MAX - offset) || (offset < 0 && base < INT64_MIN - offset))
    throw EStreamError("Incorrect Position");
  int64_t pos = base + offset;
  if (pos < 0 || pos > size_) throw EStreamError("Incorrect Position");
  pos_ = pos;
  return pos_;
}

int64_t TPartialStream::CopyFromSource(TStream& source, int64_t count) {
  std::vector<uint8_t> scratch(chunk_);
  const bool all = count <= 0;
  int64_t copied = 0;
  while (all || copied < count) {
    size_t want = scratch.size();
    if (!all)
      want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(want), count - copied));
    size_t n = source.Read(scratch.data(), want);
    if (n == 0) {
      if (all) break;
      throw EStreamReadError("Stream read error");
    }
    if (hook_) hook_();
    if (Write(scratch.data(), n) != n) throw EStreamWriteError("Stream write error");
    if (hook_) hook_();
    copied += static_cast<int64_t>(n);
  }
  return copied;
}

void TPartialStream::SetSize(int64_t) {
  throw EStreamError("Stream Cannot be resized");
}

}  // namespace dax::container
