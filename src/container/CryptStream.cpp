#include "container/CryptStream.h"

#include <vector>

#include "foundation/Assert.h"

namespace dax::container {

void XorWithKey(uint8_t* data, size_t count, int64_t position, const std::string& key) {
  const size_t keyLength = key.size();
  size_t k = static_cast<size_t>(position % static_cast<int64_t>(keyLength));
  const auto* keyBytes = reinterpret_cast<const uint8_t*>(key.data());
  for (size_t i = 0; i < count; ++i) {
    data[i] ^= keyBytes[k];
    if (++k == keyLength) k = 0;
  }
}

TCryptStream::TCryptStream(TStream* inner, bool ownsInner, std::string key)
    : inner_(inner), ownsInner_(ownsInner), key_(std::move(key)) {
  if (key_.empty() || !inner_) {
    if (ownsInner_) delete inner_;
    inner_ = nullptr;
    DAX_ASSERT(false, "TCryptStream needs a key and a stream");
  }
}

TCryptStream::TCryptStream(std::unique_ptr<TStream> inner, std::string key)
    : TCryptStream(inner.release(), true, std::move(key)) {}

TCryptStream::~TCryptStream() {
  if (ownsInner_) delete inner_;
}

size_t TCryptStream::Read(void* buffer, size_t count) {
  int64_t position = inner_->Position();
  size_t n = inner_->Read(buffer, count);
  XorWithKey(static_cast<uint8_t*>(buffer), n, position, key_);
  return n;
}

size_t TCryptStream::Write(const void* buffer, size_t count) {
  int64_t position = inner_->Position();
  const auto* in = static_cast<const uint8_t*>(buffer);
  std::vector<uint8_t> copy(in, in + count);
  XorWithKey(copy.data(), count, position, key_);
  return inner_->Write(copy.data(), count);
}

int64_t TCryptStream::Seek(int64_t offset, TSeekOrigin origin) {
  return inner_->Seek(offset, origin);
}

int64_t TCryptStream::Size() {
  return inner_->Size();
}

void TCryptStream::SetSize(int64_t size) {
  inner_->SetSize(size);
}

}  // namespace dax::container
