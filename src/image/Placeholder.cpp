#include "image/Placeholder.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>
#include <vector>

#include "foundation/Strings.h"

namespace dax::image {
namespace {

constexpr int kFullScalePixels = 32;
constexpr int kPixelSize = kFullScalePixels / 2;  // half scale
constexpr int kMargin = 4;
constexpr int kEmptyWidth = 160;
constexpr int kEmptyHeight = 40;

std::string DefaultFontFile() {
  std::string path;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
      path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return path;
}

// One face for the process; FreeType faces are not thread-safe, so every use is locked.
struct TFont {
  std::mutex lock;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  TFont() {
    std::string file = DefaultFontFile();
    if (file.empty() || FT_Init_FreeType(&library) != 0) return;
    if (FT_New_Face(library, file.c_str(), 0, &face) != 0 ||
        FT_Set_Pixel_Sizes(face, 0, kPixelSize) != 0)
      face = nullptr;
  }
};

TFont& Font() {
  static TFont* font = new TFont;  // kept for the run
  return *font;
}

std::u32string CodePoints(const std::string& text) {
  std::u32string out;
  for (size_t pos = 0; pos < text.size();) out.push_back(DecodeUtf8(text, pos));
  return out;
}

int LineWidth(FT_Face face, const std::u32string& line) {
  int width = 0;
  for (char32_t c : line)
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width += face->glyph->advance.x >> 6;
  return width;
}

void DrawLine(FT_Face face, const std::u32string& line, TBitmap& canvas, int x, int baseline) {
  for (char32_t c : line) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row) {
      const int y = baseline - g->bitmap_top + static_cast<int>(row);
      if (y < 0 || y >= canvas.Height()) continue;
      for (unsigned col = 0; col < bm.width; ++col) {
        const int px = x + g->bitmap_left + static_cast<int>(col);
        if (px < 0 || px >= canvas.Width()) continue;
        const unsigned a = bm.buffer[row * bm.pitch + col];
        uint8_t* d = canvas.Scanline(y) + px * 4;
        for (int ch = 0; ch < 3; ++ch) {
          const unsigned fg = kPlaceholderText >> (8 * ch) & 255;
          d[ch] = static_cast<uint8_t>((fg * a + d[ch] * (255 - a) + 127) / 255);
        }
      }
    }
    x += g->advance.x >> 6;
  }
}

}  // namespace

TBitmap RenderPlaceholder(const std::string& message, const std::string& fileName) {
  TFont& font = Font();
  std::lock_guard<std::mutex> guard(font.lock);
  if (!font.face) {
    TBitmap plain(kEmptyWidth, kEmptyHeight, TPixelFormat::A8R8G8B8);
    plain.Fill(kPlaceholderBackground);
    return plain;
  }
  const std::u32string lines[2] = {CodePoints(" " + message + " "),
                                   CodePoints(" " + fileName + " ")};
  const FT_Face face = font.face;
  const int lineHeight = std::max<int>(face->size->metrics.height >> 6, kPixelSize);
  const int ascender = face->size->metrics.ascender >> 6;
  // Long names are cut at a sane width rather than making a huge bitmap.
  const int width =
      std::min(std::max(LineWidth(face, lines[0]), LineWidth(face, lines[1])) + 2 * kMargin, 4096);
  TBitmap canvas(width, 2 * lineHeight + 2 * kMargin, TPixelFormat::A8R8G8B8);
  canvas.Fill(kPlaceholderBackground);
  for (int i = 0; i < 2; ++i)
    DrawLine(face, lines[i], canvas, kMargin, kMargin + i * lineHeight + ascender);
  return canvas;
}

}  // namespace dax::image
