// Colour profiles, the show's target profile and the transforms between profiles.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/RefObject.h"
#include "foundation/Stream.h"

namespace dax::image {

// ICC profile bytes with a name, and a lazily built 32x32x32 table for single colours.
class TColorProfile : public TRefObject {
 public:
  TColorProfile(std::string name, std::vector<uint8_t> bytes);

  const std::string& Name() const { return name_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  bool SameAs(const TColorProfile& other) const;

  // An sRGB colour (ARGB, alpha kept) as this profile shows it, through the table; unchanged
  // when the table cannot be built.
  uint32_t ConvertColor(uint32_t argb);
  // The table: 32 wide, 1024 high; pixel (r, b * 32 + g) holds the converted lattice colour.
  const TBitmap* ColorTable();

 private:
  std::string name_;
  std::vector<uint8_t> bytes_;
  std::once_flag tableOnce_;
  std::unique_ptr<TBitmap> table_;
};

constexpr int kLatticeSteps = 32;
// The lattice value of step i: 0, 8, ..., 255.
constexpr int LatticeValue(int i) {
  return 8 * i + i / 4;
}
// Trilinear lookup of an ARGB colour in a 32x1024 lattice table (16.16 fixed point).
uint32_t LookupLattice(const TBitmap& table, uint32_t argb);

TRef<TColorProfile> BuiltinSrgbProfile();
// Adobe RGB (1998) from its primaries, D65 white point and gamma 563/256.
TRef<TColorProfile> BuiltinAdobeRgbProfile();
// The display's profile; sRGB unless the platform set one (empty bytes restore sRGB).
TRef<TColorProfile> DisplayProfile();
void SetDisplayProfile(std::vector<uint8_t> bytes);

// A profile embedded in a picture: bytes naming "sRGB IEC61966-2.1" within their first
// 512 bytes give the built-in sRGB profile, others a new profile named after the file.
TRef<TColorProfile> ProfileFromEmbedded(std::vector<uint8_t> bytes, const std::string& fileName);

// Opens a show entry by name (profile files, precomputed tables); null when absent.
using TShowOpener = std::function<std::unique_ptr<TStream>(const std::string& name)>;

// The profile a "ColorManagement" value picks: empty gives none (colour management off);
// "sRGB", "AdobeRGB" built-ins; "ZedidUZE" and "?" the display profile; else a profile file
// opened through `opener` (none when it cannot be read or is no valid profile).
TRef<TColorProfile> ProfileForSetting(const std::string& value, const TShowOpener& opener);

// The process-wide target profile: none means colour management is off.
void SetTargetProfile(TRef<TColorProfile> profile);
TRef<TColorProfile> TargetProfileOrNull();
// The current target profile, falling back to the built-in sRGB profile.
TRef<TColorProfile> TargetProfile();

class TColorTransform : public TRefObject {
 public:
  TColorTransform(TRef<TColorProfile> source, TRef<TColorProfile> destination)
      : source_(std::move(source)), destination_(std::move(destination)) {}
  // Converts a 32-bit bitmap in place; alpha is kept.
  virtual void Apply(TBitmap& bitmap) = 0;
  const TRef<TColorProfile>& Source() const { return source_; }
  const TRef<TColorProfile>& Destination() const { return destination_; }

 private:
  TRef<TColorProfile> source_;
  TRef<TColorProfile> destination_;
};

// Through LittleCMS, perceptual intent, adaptation state 0. Leaves pixels alone when the
// transform cannot be made.
class TICCColorTransform : public TColorTransform {
 public:
  using TColorTransform::TColorTransform;
  void Apply(TBitmap& bitmap) override;
};

// Through a precomputed 32x1024 lattice table image shipped with the show.
class TDaxViewerColorTransform : public TColorTransform {
 public:
  TDaxViewerColorTransform(TRef<TColorProfile> source, TRef<TColorProfile> destination,
                           TBitmap table);
  void Apply(TBitmap& bitmap) override;

 private:
  TBitmap table_;
};

// The show entry that holds the precomputed table for a source profile.
std::string PrecomputedTableName(const TColorProfile& source);

// Factory chain: the show's precomputed table when `opener` finds one, else LittleCMS; none
// when source and destination are the same profile or either is missing.
TRef<TColorTransform> MakeColorTransform(const TRef<TColorProfile>& source,
                                         const TRef<TColorProfile>& destination,
                                         const TShowOpener& opener = {});

// Converts an sRGB colour for the current target profile (unchanged when off).
uint32_t ConvertColorForTarget(uint32_t argb);

}  // namespace dax::image
