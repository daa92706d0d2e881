#include "image/JpegLoader.h"

// clang-format off
#include <cstdio>
#include <csetjmp>
#include <jpeglib.h>
// clang-format on

#include <cstring>

#include "foundation/Exceptions.h"
#include "foundation/Progress.h"
#include "image/ColorProfile.h"

namespace dax::image {
namespace {

constexpr size_t kSourceBuffer = 64 * 1024;
constexpr int kMaxJpegLevel = 3;
// What libjpeg may allocate for one decode (progressive files keep every coefficient).
constexpr long kMaxJpegMemory = 1L << 30;

// Everything the C callbacks touch lives here, on the heap, so that longjmp leaves it intact.
struct TJpegContext {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  jpeg_source_mgr src{};
  jpeg_progress_mgr monitor{};
  std::jmp_buf jump{};
  TStream* stream = nullptr;
  uint8_t buffer[kSourceBuffer];
  bool aborted = false;
  int errorCode = 0;
  char message[JMSG_LENGTH_MAX] = {};
  const std::function<void(float)>* progress = nullptr;
  std::unique_ptr<TBitmap> bitmap;
  std::vector<uint8_t> row;
};

TJpegContext* Context(j_common_ptr cinfo) {
  return static_cast<TJpegContext*>(cinfo->client_data);
}

void ErrorExit(j_common_ptr cinfo) {
  TJpegContext* ctx = Context(cinfo);
  ctx->errorCode = cinfo->err->msg_code;
  cinfo->err->format_message(cinfo, ctx->message);
  std::longjmp(ctx->jump, 1);
}

void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  TJpegContext* ctx = Context(reinterpret_cast<j_common_ptr>(cinfo));
  size_t n = 0;
  try {
    n = ctx->stream->Read(ctx->buffer, kSourceBuffer);
  } catch (const std::exception&) {
    n = 0;
  }
  if (n == 0) {
    // A truncated file ends with a fake end marker, as libjpeg expects.
    ctx->buffer[0] = 0xFF;
    ctx->buffer[1] = JPEG_EOI;
    n = 2;
  }
  ctx->src.next_input_byte = ctx->buffer;
  ctx->src.bytes_in_buffer = n;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  TJpegContext* ctx = Context(reinterpret_cast<j_common_ptr>(cinfo));
  while (count > 0) {
    if (ctx->src.bytes_in_buffer == 0) FillInput(cinfo);
    size_t step = std::min<size_t>(static_cast<size_t>(count), ctx->src.bytes_in_buffer);
    ctx->src.next_input_byte += step;
    ctx->src.bytes_in_buffer -= step;
    count -= static_cast<long>(step);
  }
}

void TermSource(j_decompress_ptr) {}

void Progress(j_common_ptr cinfo) {
  TJpegContext* ctx = Context(cinfo);
  bool abort = false;
  try {
    LoadProgress();
  } catch (const EOperationAborted&) {
    abort = true;
  } catch (const std::exception&) {
    abort = true;
  }
  if (ctx->progress && *ctx->progress) {
    const jpeg_progress_mgr& m = ctx->monitor;
    double total = static_cast<double>(m.pass_limit) * std::max(m.total_passes, 1);
    double done = static_cast<double>(m.completed_passes) * m.pass_limit + m.pass_counter;
    try {
      (*ctx->progress)(total > 0 ? static_cast<float>(done / total) : 0.f);
    } catch (const std::exception&) {
    }
  }
  if (abort) {
    ctx->aborted = true;
    std::longjmp(ctx->jump, 2);
  }
}

void Setup(TJpegContext& ctx, TStream& stream) {
  ctx.stream = &stream;
  ctx.cinfo.err = jpeg_std_error(&ctx.err);
  ctx.err.error_exit = ErrorExit;
  ctx.err.output_message = OutputMessage;
  ctx.src.init_source = InitSource;
  ctx.src.fill_input_buffer = FillInput;
  ctx.src.skip_input_data = SkipInput;
  ctx.src.resync_to_restart = jpeg_resync_to_restart;
  ctx.src.term_source = TermSource;
}

void Start(TJpegContext& ctx) {
  jpeg_create_decompress(&ctx.cinfo);
  ctx.cinfo.client_data = &ctx;
  ctx.cinfo.src = &ctx.src;
  ctx.cinfo.mem->max_memory_to_use = kMaxJpegMemory;
}

// One output row into 32-bit BGRA.
void StoreRow(TJpegContext& ctx, uint8_t* dst) {
  const jpeg_decompress_struct& c = ctx.cinfo;
  const uint8_t* s = ctx.row.data();
  const int w = static_cast<int>(c.output_width);
  if (c.out_color_space == JCS_GRAYSCALE) {
    for (int x = 0; x < w; ++x) {
      dst[x * 4] = dst[x * 4 + 1] = dst[x * 4 + 2] = s[x];
      dst[x * 4 + 3] = 255;
    }
  } else {  // JCS_CMYK; Adobe writes it inverted
    const bool inverted = c.saw_Adobe_marker;
    for (int x = 0; x < w; ++x, s += 4) {
      unsigned cc = inverted ? s[0] : 255 - s[0];
      unsigned m = inverted ? s[1] : 255 - s[1];
      unsigned y = inverted ? s[2] : 255 - s[2];
      unsigned k = inverted ? s[3] : 255 - s[3];
      dst[x * 4 + 2] = static_cast<uint8_t>((cc * k + 127) / 255);
      dst[x * 4 + 1] = static_cast<uint8_t>((m * k + 127) / 255);
      dst[x * 4] = static_cast<uint8_t>((y * k + 127) / 255);
      dst[x * 4 + 3] = 255;
    }
  }
}

}  // namespace

std::optional<TJpegInfo> ReadJpegInfo(TStream& stream, bool readProfile) {
  auto ctx = std::make_unique<TJpegContext>();
  Setup(*ctx, stream);
  std::optional<TJpegInfo> result;
  if (setjmp(ctx->jump) == 0) {
    Start(*ctx);
    if (readProfile) jpeg_save_markers(&ctx->cinfo, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&ctx->cinfo, TRUE) == JPEG_HEADER_OK && ctx->cinfo.image_width > 0 &&
        ctx->cinfo.image_height > 0) {
      TJpegInfo info;
      info.width = static_cast<int>(ctx->cinfo.image_width);
      info.height = static_cast<int>(ctx->cinfo.image_height);
      info.components = ctx->cinfo.num_components;
      info.grayscale = ctx->cinfo.jpeg_color_space == JCS_GRAYSCALE;
      info.progressive = ctx->cinfo.progressive_mode;
      info.cmyk =
          ctx->cinfo.jpeg_color_space == JCS_CMYK || ctx->cinfo.jpeg_color_space == JCS_YCCK;
      if (readProfile) {
        JOCTET* icc = nullptr;
        unsigned int iccLength = 0;
        if (jpeg_read_icc_profile(&ctx->cinfo, &icc, &iccLength) && icc) {
          info.iccProfile.assign(icc, icc + iccLength);
        }
        std::free(icc);
      }
      result = std::move(info);
    }
  }
  jpeg_destroy_decompress(&ctx->cinfo);
  return result;
}

std::unique_ptr<TBitmap> DecodeJpeg(TStream& stream, int level,
                                    const std::function<void(float)>& progress, bool* aborted) {
  auto ctx = std::make_unique<TJpegContext>();
  Setup(*ctx, stream);
  ctx->progress = &progress;
  int jumped = setjmp(ctx->jump);
  if (jumped == 0) {
    Start(*ctx);
    ctx->monitor.progress_monitor = Progress;
    ctx->cinfo.progress = &ctx->monitor;
    jpeg_read_header(&ctx->cinfo, TRUE);
    jpeg_decompress_struct& c = ctx->cinfo;
    c.scale_num = 1;
    c.scale_denom = 1u << std::clamp(level, 0, kMaxJpegLevel);
    c.do_block_smoothing = FALSE;
    c.dct_method = JDCT_ISLOW;
    c.do_fancy_upsampling = TRUE;
    if (c.jpeg_color_space == JCS_GRAYSCALE) {
      c.out_color_space = JCS_GRAYSCALE;
    } else if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) {
      c.out_color_space = JCS_CMYK;
    } else {
      c.out_color_space = JCS_EXT_BGRA;
    }
    jpeg_calc_output_dimensions(&c);
    if (!SizeAcceptable(c.output_width, c.output_height)) {
      jpeg_destroy_decompress(&c);
      throw EImageError("Image too large");
    }
    ctx->bitmap =
        std::make_unique<TBitmap>(static_cast<int>(c.output_width),
                                  static_cast<int>(c.output_height), TPixelFormat::X8R8G8B8);
    jpeg_start_decompress(&c);
    const bool direct = c.out_color_space == JCS_EXT_BGRA;
    if (!direct) ctx->row.resize(static_cast<size_t>(c.output_width) * c.output_components);
    while (c.output_scanline < c.output_height) {
      uint8_t* dst = ctx->bitmap->Scanline(static_cast<int>(c.output_scanline));
      JSAMPROW rowPtr = direct ? dst : ctx->row.data();
      if (jpeg_read_scanlines(&c, &rowPtr, 1) != 1) break;
      if (!direct) StoreRow(*ctx, dst);
    }
    jpeg_finish_decompress(&c);
  }
  jpeg_destroy_decompress(&ctx->cinfo);
  if (jumped == 1) {
    char text[64];
    std::snprintf(text, sizeof text, "JPEG error #%d", ctx->errorCode);
    throw EImageError(text);
  }
  // An aborted load keeps the rows decoded so far.
  if (!ctx->bitmap) throw EOperationAborted();
  if (aborted) *aborted = ctx->aborted;
  return std::move(ctx->bitmap);
}

namespace {

class TJpegBitmapStore : public TSysBitmapStore {
 public:
  TJpegBitmapStore(const TLoadRequest& request, const TJpegInfo& info)
      : TSysBitmapStore(request.name, info.width, info.height, TPixelFormat::X8R8G8B8),
        stream_(request.stream),
        start_(request.start) {}

 protected:
  std::unique_ptr<TBitmap> ProduceLevel(int level) override {
    if (level > kMaxJpegLevel) return nullptr;
    stream_->SetPosition(start_);
    SetDecodeProgress(0);
    bool aborted = false;
    auto bitmap = DecodeJpeg(
        *stream_, level, [this](float f) { SetDecodeProgress(f); }, &aborted);
    if (aborted) MarkPartial();
    SetDecodeProgress(1);
    return bitmap;
  }

 private:
  std::shared_ptr<TStream> stream_;
  int64_t start_;
};

}  // namespace

TRef<TSysBitmapStore> LoadJpeg(const TLoadRequest& request) {
  TStream& s = *request.stream;
  uint8_t soi[2];
  if (s.Read(soi, 2) != 2 || soi[0] != 0xFF || soi[1] != 0xD8) return nullptr;
  s.SetPosition(request.start);
  const bool readProfile = s.Size() - request.start <= kMaxProfileStream;
  auto info = ReadJpegInfo(s, readProfile);
  // Levels 1..3 decode at reduced size, so a huge picture is refused only when even its
  // smallest direct level would not fit.
  if (!info || !SizeAcceptable((info->width + 7) / 8, (info->height + 7) / 8)) return nullptr;
  auto store = MakeRef<TJpegBitmapStore>(request, *info);
  if (!info->iccProfile.empty())
    store->SetProfile(ProfileFromEmbedded(std::move(info->iccProfile), request.name));
  return store;
}

}  // namespace dax::image
