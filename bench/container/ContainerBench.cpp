// Entry streams against their peers on the same file in the same run: a stored entry read
// through the accessor against plain read() calls on the same bytes, and a deflated entry
// against zlib's raw inflate of the same data alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "container/ContainerFormat.h"
#include "container/DaxUnpack.h"
#include "container/FileAccessor.h"
#include "container/MappedFileSource.h"
#include "container/PathModifiers.h"

namespace {
using namespace dax;
using namespace dax::container;

constexpr int64_t kStoredSize = int64_t{512} << 20;
constexpr int64_t kDeflatedSize = int64_t{256} << 20;
constexpr size_t kChunk = 64 * 1024;

std::string gFolder;
std::string gShow;
TEntryInfo gStored, gDeflated;

// Generated data: random words for the stored entry, text-like lines for the deflated one
// (about 3:1, like documents and uncompressed pictures).
class TGeneratedStream : public TStream {
 public:
  TGeneratedStream(int64_t size, bool text) : size_(size), text_(text) {}
  size_t Read(void* buffer, size_t count) override {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - pos_));
    for (size_t i = 0; i < n; ++i) {
      x_ ^= x_ << 13;
      x_ ^= x_ >> 7;
      x_ ^= x_ << 17;
      out[i] = text_ ? kAlphabet[(x_ >> 20) % 24] : static_cast<uint8_t>(x_ >> 24);
    }
    pos_ += static_cast<int64_t>(n);
    return n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin) override { return pos_ = offset; }

 private:
  static constexpr char kAlphabet[] = "eeeetttaaoinshrdl  \n\n,.";
  int64_t size_;
  bool text_;
  int64_t pos_ = 0;
  uint64_t x_ = 88172645463325252ull;
};

void Generate() {
  const char* tmp = std::getenv("TMPDIR");
  std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/daxbench-XXXXXX";
  if (!mkdtemp(tmpl.data())) std::abort();
  gFolder = tmpl;
  gShow = gFolder + "/bench.dxshow";
  {
    TFileStream out(gShow, TFileMode::Create);
    TContainerWriter writer(out, false);
    writer.SetDeflateLevel(1);  // keeps the set-up short; inflating costs the same
    TGeneratedStream stored(kStoredSize, false);
    writer.AddEntry("stored.bin", stored, TPackMethod::Stored);
    TGeneratedStream deflated(kDeflatedSize, true);
    writer.AddEntry("deflated.bin", deflated, TPackMethod::Deflate);
    writer.Finish(false, "bench");
  }
  TDaxUnpack unpack(gShow);
  gStored = *unpack.FindEntry("stored.bin");
  gDeflated = *unpack.FindEntry("deflated.bin");
}

TRef<TFileAccessor> OpenAccessor() {
  auto unpack = std::make_shared<TDaxUnpack>(gShow);
  return MakeRef<TFileAccessor>(MakeRef<TPackedFileSource>(unpack));
}

void BM_StoredPlainRead(benchmark::State& state) {
  std::vector<char> buf(kChunk);
  for (auto _ : state) {
    int fd = ::open(gShow.c_str(), O_RDONLY);
    ::lseek(fd, gStored.position, SEEK_SET);
    int64_t left = gStored.size;
    while (left > 0) {
      ssize_t n = ::read(fd, buf.data(), static_cast<size_t>(std::min<int64_t>(left, kChunk)));
      if (n <= 0) break;
      left -= n;
    }
    ::close(fd);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * gStored.size);
}

void BM_StoredEntryStream(benchmark::State& state) {
  auto accessor = OpenAccessor();
  std::vector<char> buf(kChunk);
  for (auto _ : state) {
    auto stream = accessor->OpenStream("stored.bin");
    while (stream->Read(buf.data(), buf.size()) > 0) {
    }
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * gStored.size);
}

void BM_DeflatedZlibAlone(benchmark::State& state) {
  std::vector<uint8_t> in(kChunk), out(kChunk);
  for (auto _ : state) {
    int fd = ::open(gShow.c_str(), O_RDONLY);
    ::lseek(fd, gDeflated.position, SEEK_SET);
    z_stream z{};
    inflateInit2(&z, -15);
    int64_t left = gDeflated.size;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
      if (z.avail_in == 0) {
        ssize_t n = ::read(fd, in.data(), static_cast<size_t>(std::min<int64_t>(left, kChunk)));
        if (n <= 0) break;
        left -= n;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
      }
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) std::abort();
    }
    inflateEnd(&z);
    ::close(fd);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * kDeflatedSize);
}

void BM_DeflatedEntryStream(benchmark::State& state) {
  auto accessor = OpenAccessor();
  std::vector<char> buf(kChunk);
  for (auto _ : state) {
    auto stream = accessor->OpenStream("deflated.bin");  // inflates the whole entry
    while (stream->Read(buf.data(), buf.size()) > 0) {
    }
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * kDeflatedSize);
}

BENCHMARK(BM_StoredPlainRead)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_StoredEntryStream)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_DeflatedZlibAlone)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeflatedEntryStream)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Generate();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(gFolder, ec);
  return 0;
}
