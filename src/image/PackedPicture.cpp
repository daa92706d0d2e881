#include "image/PackedPicture.h"

#include <zlib.h>

#include <cstring>

#include "foundation/Numbers.h"
#include "foundation/Progress.h"
#include "image/BmpReader.h"

namespace dax::image {
namespace {

constexpr char kMagic[4] = {'K', 'V', 'G', 'F'};
// Headers and a full palette on top of the pixels.
constexpr int64_t kBmpOverhead = 64 * 1024;

std::optional<int64_t> KeyInt(const std::map<std::string, std::string>& keys, const char* key) {
  auto it = keys.find(key);
  if (it == keys.end()) return {};
  return ParseInt64(it->second);
}

std::optional<std::vector<uint8_t>> InflateWith(const uint8_t* data, size_t size, size_t limit,
                                                int windowBits) {
  z_stream z{};
  if (inflateInit2(&z, windowBits) != Z_OK) return {};
  // The progress hook may throw (an aborted load): the zlib state is released on every exit.
  struct TInflateEnd {
    z_stream& z;
    ~TInflateEnd() { inflateEnd(&z); }
  } end{z};
  std::vector<uint8_t> out;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(std::min<size_t>(size, UINT32_MAX));
  int rc = Z_OK;
  uint8_t chunk[65536];
  while (rc == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    size_t got = sizeof chunk - z.avail_out;
    if (out.size() + got > limit) {
      rc = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), chunk, chunk + got);
    if (rc == Z_OK && got == 0 && z.avail_in == 0) rc = Z_BUF_ERROR;  // truncated
    LoadProgress();
  }
  if (rc != Z_STREAM_END) return {};
  return out;
}

}  // namespace

std::optional<TPackedPictureHeader> ParsePackedPictureHeader(const uint8_t* data, size_t size,
                                                             int64_t maxPixels) {
  if (size < 6 || std::memcmp(data, kMagic, 4) != 0) return {};
  TPackedPictureHeader h;
  size_t p = 4;
  const unsigned count = data[p] | data[p + 1] << 8;
  p += 2;
  auto readString = [&](std::string& s) {
    if (p + 2 > size) return false;
    size_t len = data[p] | data[p + 1] << 8;
    p += 2;
    if (len > size - p) return false;
    s.assign(reinterpret_cast<const char*>(data + p), len);
    p += len;
    return true;
  };
  for (unsigned i = 0; i < count; ++i) {
    std::string key, value;
    if (!readString(key) || !readString(value)) return {};
    h.keys[key] = value;
  }
  auto width = KeyInt(h.keys, "Width");
  auto height = KeyInt(h.keys, "Height");
  auto original = KeyInt(h.keys, "OriginalSize");
  if (!h.keys.count("File") || !width || !height || !original) return {};
  if (!SizeAcceptable(*width, *height) || *width * *height > maxPixels) return {};
  h.width = static_cast<int>(*width);
  h.height = static_cast<int>(*height);
  h.originalSize = *original;
  h.payloadOffset = p;
  return h;
}

std::optional<std::vector<uint8_t>> InflatePayload(const uint8_t* data, size_t size, size_t limit) {
  // Written as zlib data by some tools and as raw deflate by others: take either.
  const bool zlibHeader =
      size >= 2 && (data[0] & 0x0F) == 8 && ((data[0] << 8) | data[1]) % 31 == 0;
  if (zlibHeader) {
    if (auto out = InflateWith(data, size, limit, 15)) return out;
  }
  return InflateWith(data, size, limit, -15);
}

TBitmap DecodePackedPayload(const TPackedPictureHeader& header, const uint8_t* payload,
                            size_t size) {
  const int64_t pixels = static_cast<int64_t>(header.width) * header.height;
  const size_t limit = static_cast<size_t>(pixels * 4 + kBmpOverhead);
  if (auto bmp = InflatePayload(payload, size, limit)) {
    auto bitmap = ReadBmp(bmp->data(), bmp->size(), pixels);
    if (bitmap && bitmap->Width() == header.width && bitmap->Height() == header.height)
      return std::move(*bitmap);
  }
  TBitmap filled(header.width, header.height, TPixelFormat::A8R8G8B8);
  filled.Fill(kDamagedPictureColour);
  return filled;
}

std::vector<uint8_t> WritePackedPicture(
    const std::vector<std::pair<std::string, std::string>>& keys,
    const std::vector<uint8_t>& bmpFile, bool rawDeflate) {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  auto put16 = [&](size_t v) {
    out.push_back(static_cast<uint8_t>(v & 255));
    out.push_back(static_cast<uint8_t>(v >> 8 & 255));
  };
  put16(keys.size());
  for (auto& [k, v] : keys) {
    put16(k.size());
    out.insert(out.end(), k.begin(), k.end());
    put16(v.size());
    out.insert(out.end(), v.begin(), v.end());
  }
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, rawDeflate ? -15 : 15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> packed(deflateBound(&z, static_cast<uLong>(bmpFile.size())));
  z.next_in = const_cast<Bytef*>(bmpFile.data());
  z.avail_in = static_cast<uInt>(bmpFile.size());
  z.next_out = packed.data();
  z.avail_out = static_cast<uInt>(packed.size());
  deflate(&z, Z_FINISH);
  packed.resize(z.total_out);
  deflateEnd(&z);
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

namespace {

class TGfxBitmapStore : public TSysBitmapStore {
 public:
  TGfxBitmapStore(std::string name, TPackedPictureHeader header, std::vector<uint8_t> payload)
      : TSysBitmapStore(std::move(name), header.width, header.height, TPixelFormat::A8R8G8B8),
        header_(std::move(header)),
        payload_(std::move(payload)) {}

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    if (level != 0) return nullptr;
    auto bitmap =
        std::make_unique<TBitmap>(DecodePackedPayload(header_, payload_.data(), payload_.size()));
    // The compressed payload is kept only until the first decode.
    std::vector<uint8_t>().swap(payload_);
    return bitmap;
  }

 private:
  TPackedPictureHeader header_;
  std::vector<uint8_t> payload_;
};

}  // namespace

TRef<TSysBitmapStore> LoadPackedPicture(const TLoadRequest& request) {
  constexpr int64_t kMaxPackedBytes = kMaxImagePixels * 4 + kBmpOverhead;
  TStream& s = *request.stream;
  uint8_t magic[4];
  if (s.Read(magic, 4) != 4 || std::memcmp(magic, kMagic, 4) != 0) return nullptr;
  s.SetPosition(request.start);
  const int64_t size = s.Size() - request.start;
  std::vector<uint8_t> bytes = ReadRest(s, kMaxPackedBytes);
  if (static_cast<int64_t>(bytes.size()) != size) return nullptr;  // a short copy declines
  auto header = ParsePackedPictureHeader(bytes.data(), bytes.size());
  if (!header) return nullptr;
  std::vector<uint8_t> payload(bytes.begin() + static_cast<ptrdiff_t>(header->payloadOffset),
                               bytes.end());
  return MakeRef<TGfxBitmapStore>(request.name, std::move(*header), std::move(payload));
}

}  // namespace dax::image
