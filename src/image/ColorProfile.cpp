#include "image/ColorProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>

#include "image/ImageLoader.h"

namespace dax::image {
namespace {

constexpr char kSrgbMarker[] = "sRGB IEC61966-2.1";
constexpr size_t kSrgbMarkerWindow = 512;

std::vector<uint8_t> SaveProfile(cmsHPROFILE profile) {
  std::vector<uint8_t> bytes;
  cmsUInt32Number size = 0;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  if (profile) cmsCloseProfile(profile);
  return bytes;
}

std::vector<uint8_t> MakeAdobeRgbBytes() {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  if (profile) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", "Adobe RGB (1998)");
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
  }
  return SaveProfile(profile);
}

std::mutex gTargetLock;
TRef<TColorProfile> gTarget;
std::mutex gDisplayLock;
TRef<TColorProfile> gDisplay;

bool SameProfile(const TRef<TColorProfile>& a, const TRef<TColorProfile>& b) {
  return a.Get() == b.Get() || (a && b && a->SameAs(*b));
}

}  // namespace

TColorProfile::TColorProfile(std::string name, std::vector<uint8_t> bytes)
    : name_(std::move(name)), bytes_(std::move(bytes)) {}

bool TColorProfile::SameAs(const TColorProfile& other) const {
  return this == &other || (!bytes_.empty() && bytes_ == other.bytes_);
}

const TBitmap* TColorProfile::ColorTable() {
  std::call_once(tableOnce_, [this] {
    auto table = std::make_unique<TBitmap>(kLatticeSteps, kLatticeSteps * kLatticeSteps,
                                           TPixelFormat::A8R8G8B8);
    for (int b = 0; b < kLatticeSteps; ++b)
      for (int g = 0; g < kLatticeSteps; ++g)
        for (int r = 0; r < kLatticeSteps; ++r)
          table->SetPixel(
              r, b * kLatticeSteps + g,
              0xFF000000u | LatticeValue(r) << 16 | LatticeValue(g) << 8 | LatticeValue(b));
    TRef<TColorProfile> self = TRef<TColorProfile>::Share(this);
    TICCColorTransform transform(BuiltinSrgbProfile(), self);
    if (SameAs(*BuiltinSrgbProfile())) {
      table_ = std::move(table);
      return;
    }
    TBitmap before = *table;
    transform.Apply(*table);
    // A transform that could not be made leaves the lattice as it was: no table then.
    if (table->Bytes() != before.Bytes()) table_ = std::move(table);
  });
  return table_.get();
}

uint32_t TColorProfile::ConvertColor(uint32_t argb) {
  const TBitmap* table = ColorTable();
  return table ? LookupLattice(*table, argb) : argb;
}

uint32_t LookupLattice(const TBitmap& table, uint32_t argb) {
  if (table.Width() != kLatticeSteps || table.Height() != kLatticeSteps * kLatticeSteps ||
      BytesPerPixel(table.Format()) != 4)
    return argb;
  int index[3];
  int64_t frac[3];
  const int channel[3] = {static_cast<int>(argb >> 16 & 255), static_cast<int>(argb >> 8 & 255),
                          static_cast<int>(argb & 255)};
  for (int c = 0; c < 3; ++c) {
    int64_t coord = static_cast<int64_t>(channel[c]) * 7967;  // 255 maps to just under 31.0
    index[c] = std::min<int>(static_cast<int>(coord >> 16), kLatticeSteps - 2);
    frac[c] = coord - (static_cast<int64_t>(index[c]) << 16);
  }
  auto at = [&](int dr, int dg, int db, int shift) -> int64_t {
    uint32_t p = table.Pixel(index[0] + dr, (index[2] + db) * kLatticeSteps + index[1] + dg);
    return p >> shift & 255;
  };
  auto lerp = [](int64_t a, int64_t b, int64_t f) {
    return (a * (65536 - f) + b * f + 0x7FFF) >> 16;
  };
  uint32_t out = argb & 0xFF000000u;
  for (int shift : {16, 8, 0}) {
    int64_t c00 = lerp(at(0, 0, 0, shift), at(1, 0, 0, shift), frac[0]);
    int64_t c10 = lerp(at(0, 1, 0, shift), at(1, 1, 0, shift), frac[0]);
    int64_t c01 = lerp(at(0, 0, 1, shift), at(1, 0, 1, shift), frac[0]);
    int64_t c11 = lerp(at(0, 1, 1, shift), at(1, 1, 1, shift), frac[0]);
    int64_t c0 = lerp(c00, c10, frac[1]);
    int64_t c1 = lerp(c01, c11, frac[1]);
    int64_t v = std::clamp<int64_t>(lerp(c0, c1, frac[2]), 0, 255);
    out |= static_cast<uint32_t>(v) << shift;
  }
  return out;
}

TRef<TColorProfile> BuiltinSrgbProfile() {
  static TColorProfile* profile = new TColorProfile("sRGB", SaveProfile(cmsCreate_sRGBProfile()));
  return TRef<TColorProfile>::Share(profile);
}

TRef<TColorProfile> BuiltinAdobeRgbProfile() {
  static TColorProfile* profile = new TColorProfile("AdobeRGB", MakeAdobeRgbBytes());
  return TRef<TColorProfile>::Share(profile);
}

TRef<TColorProfile> DisplayProfile() {
  std::lock_guard<std::mutex> guard(gDisplayLock);
  return gDisplay ? gDisplay : BuiltinSrgbProfile();
}

void SetDisplayProfile(std::vector<uint8_t> bytes) {
  TRef<TColorProfile> profile;
  if (!bytes.empty()) profile = ProfileFromEmbedded(std::move(bytes), "Display");
  std::lock_guard<std::mutex> guard(gDisplayLock);
  gDisplay = profile;
}

TRef<TColorProfile> ProfileFromEmbedded(std::vector<uint8_t> bytes, const std::string& fileName) {
  if (bytes.empty()) return nullptr;
  const size_t window = std::min(bytes.size(), kSrgbMarkerWindow);
  const size_t markerLen = sizeof(kSrgbMarker) - 1;
  auto end = bytes.begin() + static_cast<ptrdiff_t>(window);
  if (std::search(bytes.begin(), end, kSrgbMarker, kSrgbMarker + markerLen) != end)
    return BuiltinSrgbProfile();
  if (BuiltinSrgbProfile()->Bytes() == bytes) return BuiltinSrgbProfile();
  return MakeRef<TColorProfile>(fileName, std::move(bytes));
}

TRef<TColorProfile> ProfileForSetting(const std::string& value, const TShowOpener& opener) {
  if (value.empty()) return nullptr;
  if (value == "sRGB") return BuiltinSrgbProfile();
  if (value == "AdobeRGB") return BuiltinAdobeRgbProfile();
  if (value == "ZedidUZE" || value == "?") return DisplayProfile();
  if (!opener) return nullptr;
  std::unique_ptr<TStream> stream = opener(value);
  if (!stream) return nullptr;
  constexpr int64_t kMaxProfileBytes = 64 << 20;
  int64_t size = stream->Size() - stream->Position();
  if (size <= 0 || size > kMaxProfileBytes) return nullptr;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (stream->Read(bytes.data(), bytes.size()) != bytes.size()) return nullptr;
  cmsHPROFILE check =
      cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  if (!check) return nullptr;
  cmsCloseProfile(check);
  return ProfileFromEmbedded(std::move(bytes), value);
}

void SetTargetProfile(TRef<TColorProfile> profile) {
  std::lock_guard<std::mutex> guard(gTargetLock);
  gTarget = std::move(profile);
}

TRef<TColorProfile> TargetProfileOrNull() {
  std::lock_guard<std::mutex> guard(gTargetLock);
  return gTarget;
}

TRef<TColorProfile> TargetProfile() {
  TRef<TColorProfile> target = TargetProfileOrNull();
  return target ? target : BuiltinSrgbProfile();
}

void TICCColorTransform::Apply(TBitmap& bitmap) {
  if (BytesPerPixel(bitmap.Format()) != 4 || bitmap.Empty() || !Source() || !Destination()) return;
  const auto& src = Source()->Bytes();
  const auto& dst = Destination()->Bytes();
  if (src.empty() || dst.empty()) return;
  // Process-wide in LittleCMS: set once rather than raced on by every transform.
  static std::once_flag adaptation;
  std::call_once(adaptation, [] { cmsSetAdaptationState(0); });
  cmsHPROFILE in = cmsOpenProfileFromMem(src.data(), static_cast<cmsUInt32Number>(src.size()));
  cmsHPROFILE out = cmsOpenProfileFromMem(dst.data(), static_cast<cmsUInt32Number>(dst.size()));
  cmsHTRANSFORM transform = nullptr;
  if (in && out)
    transform = cmsCreateTransform(in, TYPE_BGRA_8, out, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
  if (transform) {
    for (int y = 0; y < bitmap.Height(); ++y) {
      uint8_t* row = bitmap.Scanline(y);
      cmsDoTransform(transform, row, row, static_cast<cmsUInt32Number>(bitmap.Width()));
    }
    cmsDeleteTransform(transform);
  }
  if (in) cmsCloseProfile(in);
  if (out) cmsCloseProfile(out);
}

TDaxViewerColorTransform::TDaxViewerColorTransform(TRef<TColorProfile> source,
                                                   TRef<TColorProfile> destination, TBitmap table)
    : TColorTransform(std::move(source), std::move(destination)), table_(std::move(table)) {}

void TDaxViewerColorTransform::Apply(TBitmap& bitmap) {
  if (BytesPerPixel(bitmap.Format()) != 4) return;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      bitmap.SetPixel(x, y, LookupLattice(table_, bitmap.Pixel(x, y)));
}

std::string PrecomputedTableName(const TColorProfile& source) {
  return "ColorSpaceExe_" + source.Name() + "].KVGFX";
}

TRef<TColorTransform> MakeColorTransform(const TRef<TColorProfile>& source,
                                         const TRef<TColorProfile>& destination,
                                         const TShowOpener& opener) {
  if (!source || !destination || SameProfile(source, destination)) return nullptr;
  if (opener) {
    std::string name = PrecomputedTableName(*source);
    if (std::unique_ptr<TStream> stream = opener(name)) {
      TImage table = OpenImage(std::move(stream), name);
      if (table && table.Width() == kLatticeSteps &&
          table.Height() == kLatticeSteps * kLatticeSteps) {
        try {
          TLevelBitmap level = table.Store()->GetMipLevel(0, TPixelFormat::A8R8G8B8);
          return MakeRef<TDaxViewerColorTransform>(source, destination, *level);
        } catch (const std::exception&) {
          // An unreadable table falls through to LittleCMS.
        }
      }
    }
  }
  return MakeRef<TICCColorTransform>(source, destination);
}

uint32_t ConvertColorForTarget(uint32_t argb) {
  TRef<TColorProfile> target = TargetProfileOrNull();
  if (!target || target->SameAs(*BuiltinSrgbProfile())) return argb;
  return target->ConvertColor(argb);
}

}  // namespace dax::image
