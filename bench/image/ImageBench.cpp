// Preparing a 24-megapixel JPEG for a 1920x1080 slide against libjpeg-turbo decoding the same
// file at the same scale alone.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/BitmapStore.h"
#include "image/ImageLoader.h"
#include "image/StandardLoaders.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kSlideWidth = 1920;
constexpr int kSlideHeight = 1080;

const std::vector<uint8_t>& Photo() {
  static const std::vector<uint8_t> bytes = [] {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(kWidth * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        noise = noise * 1103515245u + 12345u;
        row[x * 3] = static_cast<uint8_t>(x * 255 / kWidth + (noise >> 28));
        row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / kHeight + (noise >> 24 & 15));
        row[x * 3 + 2] = static_cast<uint8_t>(((x / 97 + y / 89) & 1) ? 200 : 40);
      }
      JSAMPROW r = row.data();
      jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> result(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
  }();
  return bytes;
}

int ChosenLevel() {
  return dax::image::LevelFromSize(kWidth, kHeight, kSlideWidth, kSlideHeight);
}

// The peer: libjpeg-turbo alone, same scale, same output layout, into one buffer.
size_t DecodeAlone(const std::vector<uint8_t>& bytes, int level) {
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, bytes.data(), bytes.size());
  jpeg_read_header(&c, TRUE);
  c.scale_num = 1;
  c.scale_denom = 1u << level;
  c.dct_method = JDCT_ISLOW;
  c.do_fancy_upsampling = TRUE;
  c.do_block_smoothing = FALSE;
  c.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&c);
  const size_t stride = static_cast<size_t>(c.output_width) * 4;
  std::vector<uint8_t> pixels(stride * c.output_height);
  while (c.output_scanline < c.output_height) {
    JSAMPROW r = pixels.data() + stride * c.output_scanline;
    jpeg_read_scanlines(&c, &r, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return pixels.size();
}

size_t Prepare(const std::vector<uint8_t>& bytes) {
  dax::image::RegisterStandardImageLoaders();
  dax::image::TImage image =
      dax::image::OpenImage(std::make_unique<dax::TMemoryStream>(bytes), "photo.jpg");
  const int level =
      dax::image::LevelFromSize(image.Width(), image.Height(), kSlideWidth, kSlideHeight);
  image.Store()->SetOrientation(1);
  dax::image::TLevelBitmap bitmap = image.Store()->GetMipLevel(level);
  return bitmap->Bytes().size();
}

// A "Vm...:" line of /proc/self/status in bytes.
double StatusBytes(const char* key) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  double value = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, n) == 0) value = std::atof(line + n) * 1024.0;
  std::fclose(f);
  return value;
}

// Peak resident growth of one run, measured in a child process: the heap the parent kept is
// returned first and the peak mark reset, so that only this run's memory counts.
template <class F>
double PeakGrowthBytes(F work) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    malloc_trim(0);
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", f);  // resets the peak resident size
      std::fclose(f);
    }
    const double before = StatusBytes("VmRSS:");
    work();
    double grown = StatusBytes("VmHWM:") - before;
    if (write(pipeFd[1], &grown, sizeof grown) != sizeof grown) _exit(1);
    _exit(0);
  }
  double grown = -1;
  if (read(pipeFd[0], &grown, sizeof grown) != sizeof grown) grown = -1;
  waitpid(pid, nullptr, 0);
  close(pipeFd[0]);
  close(pipeFd[1]);
  return grown;
}

void BM_LibjpegScaledAlone(benchmark::State& state) {
  const auto& bytes = Photo();
  const int level = ChosenLevel();
  for (auto _ : state) benchmark::DoNotOptimize(DecodeAlone(bytes, level));
  state.counters["peak_growth_MiB"] =
      PeakGrowthBytes([&] { DecodeAlone(bytes, level); }) / (1 << 20);
}
BENCHMARK(BM_LibjpegScaledAlone)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_PrepareForSlide(benchmark::State& state) {
  const auto& bytes = Photo();
  for (auto _ : state) benchmark::DoNotOptimize(Prepare(bytes));
  const dax::image::TSize size = dax::image::MipLevelSize(kWidth, kHeight, ChosenLevel());
  state.counters["level"] = ChosenLevel();
  state.counters["level_MiB"] = size.width * 4.0 * size.height / (1 << 20);
  state.counters["peak_growth_MiB"] = PeakGrowthBytes([&] { Prepare(bytes); }) / (1 << 20);
}
BENCHMARK(BM_PrepareForSlide)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
