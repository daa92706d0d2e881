#include "container/InflateStream.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace dax::container {
namespace {
constexpr size_t kSkipStep = 8192;
constexpr size_t kHugePage = 2 * 1024 * 1024;
constexpr size_t kPopulateStep = 8 * 1024 * 1024;
std::atomic<int64_t> gInflatedEntryLimit{kDefaultInflatedEntryLimit};

std::string ZMessage(const z_stream& z, int code) {
  if (z.msg) return z.msg;
  const char* text = zError(code);
  return text ? text : "zlib error";
}
}  // namespace

int64_t InflatedEntryLimit() {
  return gInflatedEntryLimit.load();
}
void SetInflatedEntryLimit(int64_t limit) {
  gInflatedEntryLimit.store(limit);
}

TInflateStream::TInflateStream(TStream& source, int64_t declaredSize)
    : source_(source),
      sourceStart_(source.Position()),
      declaredSize_(declaredSize),
      input_(kInputBufferSize) {
  int rc = inflateInit2(&z_, -15);
  if (rc != Z_OK) throw EZDecompressionError(ZMessage(z_, rc));
}

TInflateStream::~TInflateStream() {
  inflateEnd(&z_);
}

void TInflateStream::Restart() {
  inflateReset(&z_);
  z_.next_in = nullptr;
  z_.avail_in = 0;
  source_.Seek(sourceStart_, TSeekOrigin::Begin);
  position_ = 0;
  finished_ = false;
}

size_t TInflateStream::Read(void* buffer, size_t count) {
  if (finished_ || count == 0) return 0;
  // zlib counts in 32-bit units; larger requests are served in several rounds.
  size_t done = 0;
  while (done < count && !finished_) {
    uInt room = static_cast<uInt>(std::min<size_t>(count - done, 1u << 30));
    z_.next_out = static_cast<Bytef*>(buffer) + done;
    z_.avail_out = room;
    while (z_.avail_out > 0) {
      if (z_.avail_in == 0) {
        size_t n = source_.Read(input_.data(), input_.size());
        if (n == 0) break;
        z_.next_in = input_.data();
        z_.avail_in = static_cast<uInt>(n);
      }
      int rc = inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        // Leave the source just after the deflate data.
        if (z_.avail_in > 0) source_.Seek(-static_cast<int64_t>(z_.avail_in), TSeekOrigin::Current);
        z_.avail_in = 0;
        finished_ = true;
        break;
      }
      if (rc == Z_BUF_ERROR) {
        if (z_.avail_in == 0) continue;
        break;
      }
      if (rc != Z_OK) throw EZDecompressionError(ZMessage(z_, rc));
    }
    size_t got = room - z_.avail_out;
    done += got;
    if (got < room) break;
  }
  position_ += static_cast<int64_t>(done);
  return done;
}

int64_t TInflateStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target;
  if (origin == TSeekOrigin::Begin) {
    target = offset;
  } else if (origin == TSeekOrigin::Current) {
    target = position_ + offset;
  } else {
    throw EZDecompressionError("Invalid ZStream operation!");
  }
  if (target == position_) return position_;
  if (target == 0) {
    Restart();
    return 0;
  }
  if (target < position_) throw EZDecompressionError("Invalid ZStream operation!");
  uint8_t scratch[kSkipStep];
  while (position_ < target) {
    size_t want = static_cast<size_t>(std::min<int64_t>(kSkipStep, target - position_));
    if (Read(scratch, want) != want) throw EStreamReadError("Stream read error");
  }
  return position_;
}

size_t TInflateStream::Write(const void*, size_t) {
  throw EZDecompressionError("Invalid ZStream operation!");
}

void TInflateStream::SetSize(int64_t) {
  throw EZDecompressionError("Invalid ZStream operation!");
}

TByteBlockStream::~TByteBlockStream() {
  if (data_) ::munmap(data_, capacity_);
}

bool TByteBlockStream::Reserve(size_t capacity) {
  if (capacity <= capacity_) return true;
  // Whole huge pages for big blocks: a few hundred faults instead of one per 4 KiB page.
  const size_t align = capacity >= kHugePage ? kHugePage : static_cast<size_t>(::getpagesize());
  capacity = (capacity + align - 1) / align * align;
  void* block = data_ ? ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE)
                      : ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (block == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(block);
  capacity_ = capacity;
  if (capacity >= kHugePage) ::madvise(data_, capacity_, MADV_HUGEPAGE);
  return true;
}

void TByteBlockStream::Populate(size_t bytes) {
  const uintptr_t page = static_cast<uintptr_t>(::getpagesize());
  uintptr_t from = reinterpret_cast<uintptr_t>(Tail()) & ~(page - 1);
  uintptr_t to = reinterpret_cast<uintptr_t>(Tail()) + std::min(bytes, Spare());
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

void TByteBlockStream::Trim() {
  if (!data_) return;
  const size_t page = static_cast<size_t>(::getpagesize());
  size_t keep = (size_ + page - 1) / page * page;
  if (keep == capacity_) return;
  if (keep == 0) {
    ::munmap(data_, capacity_);
    data_ = nullptr;
    capacity_ = 0;
    return;
  }
  // Shrinking in place never moves the block.
  if (::mremap(data_, capacity_, keep, 0) != MAP_FAILED) capacity_ = keep;
}

size_t TByteBlockStream::Read(void* buffer, size_t count) {
  int64_t size = static_cast<int64_t>(size_);
  if (position_ >= size || count == 0) return 0;
  size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size - position_));
  std::memcpy(buffer, data_ + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

int64_t TByteBlockStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Begin     ? 0
                 : origin == TSeekOrigin::Current ? position_
                                                  : static_cast<int64_t>(size_);
  int64_t pos = base + offset;
  if (pos < 0) throw EStreamError("Invalid stream position");
  position_ = pos;
  return position_;
}

std::unique_ptr<TByteBlockStream> InflateToMemory(TStream& source, int64_t limit,
                                                  int64_t sizeHint) {
  auto out = std::make_unique<TByteBlockStream>();
  TInflateStream inflater(source);
  const size_t cap = static_cast<size_t>(std::max<int64_t>(limit, 0));
  size_t capacity = static_cast<size_t>(std::clamp<int64_t>(sizeHint, 64 * 1024, 64 << 20));
  for (;;) {
    if (out->Spare() == 0) {
      if (static_cast<size_t>(out->Size()) > cap) throw EInflateLimitExceeded();
      // One byte beyond the cap tells a bomb from an entry of exactly the cap.
      size_t next = std::min(std::max(capacity, static_cast<size_t>(out->Size()) * 2), cap + 1);
      if (!out->Reserve(next)) throw std::bad_alloc();
      capacity = next;
    }
    // Fault each step's pages in one call: far cheaper than a trap per page while inflating,
    // and never more than one step beyond what the data needs.
    size_t step = std::min(out->Spare(), kPopulateStep);
    out->Populate(step);
    size_t n = inflater.Read(out->Tail(), step);
    out->Commit(n);
    if (static_cast<size_t>(out->Size()) > cap) throw EInflateLimitExceeded();
    if (inflater.Finished()) break;
    if (n == 0) throw EZDecompressionError("Unexpected end of deflate data");
  }
  out->Trim();
  return out;
}

std::vector<uint8_t> DeflateRaw(const uint8_t* data, size_t size, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw EZDecompressionError("deflateInit2 failed");
  std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(size)));
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw EZDecompressionError("deflate failed");
  out.resize(z.total_out);
  return out;
}

}  // namespace dax::container
