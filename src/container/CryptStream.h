// An XOR cipher over another stream: each byte is XORed with the key character chosen by its
// position, so any part of the stream can be read or written on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/Stream.h"

namespace dax::container {

class TCryptStream : public TStream {
 public:
  // The key must be non-empty and inner present (assertions).
  TCryptStream(TStream* inner, bool ownsInner, std::string key);
  TCryptStream(std::unique_ptr<TStream> inner, std::string key);
  ~TCryptStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

  TStream& Inner() { return *inner_; }

 private:
  TStream* inner_;
  bool ownsInner_;
  std::string key_;
};

// XORs data that starts at stream position `position` with the key, in place.
void XorWithKey(uint8_t* data, size_t count, int64_t position, const std::string& key);

}  // namespace dax::container
