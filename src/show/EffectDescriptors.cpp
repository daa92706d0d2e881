#include "show/EffectDescriptors.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "foundation/Strings.h"
#include "ini/IniValue.h"

namespace dax::show {
namespace {

std::optional<int64_t> ParseField(std::string_view field) {
  return ini::ParseIniInt64(TrimBlanks(field));
}

uint8_t ClampByte(int64_t v) {
  return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

// Out-of-range doubles would not convert to float.
float ToFloat(double v) {
  constexpr double kMax = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(v, -kMax, kMax));
}

// Reads an entry's value as the renderer's parameters expect.
class TValues {
 public:
  explicit TValues(const TEffectProp& entry) : entry_(entry) {}

  std::string Text(std::string_view key) const { return entry_.Value(key); }
  double Number(std::string_view key, double def) const {
    return ini::ParseIniFloat(Text(key)).value_or(def);
  }
  int32_t IntNumber(std::string_view key, int32_t def) const {
    std::optional<double> v = ini::ParseIniFloat(Text(key));
    if (!v || !(std::fabs(*v) < 2147483648.0)) return def;
    return static_cast<int32_t>(std::trunc(*v));
  }
  bool Boolean(std::string_view key, bool def) const {
    return ini::ParseIniBool(Text(key)).value_or(def);
  }
  // Flag k comes from character positions[k] of the key's text of "0" and "1".
  void AppendFlags(std::vector<bool>& flags, std::string_view key,
                   std::initializer_list<size_t> positions) const {
    const std::string text = Text(key);
    for (size_t pos : positions) flags.push_back(pos < text.size() && text[pos] == '1');
  }
  void AppendFlags(std::vector<bool>& flags, std::string_view key, size_t count) const {
    const std::string text = Text(key);
    for (size_t pos = 0; pos < count; ++pos) flags.push_back(pos < text.size() && text[pos] == '1');
  }

 private:
  const TEffectProp& entry_;
};

}  // namespace

std::optional<TColorValue> ParseColorText(std::string_view text) {
  ini::TCommaList fields{std::string(text), ','};
  const int count = fields.Count();
  TColorValue c;
  if (count == 1 || count == 2) {
    std::string_view first = TrimBlanks(fields.Field(0));
    if (!first.empty() && first.front() == '#') {
      std::string_view hex = first.substr(1);
      if (hex.size() != 6) return std::nullopt;
      uint32_t rgb = 0;
      for (char ch : hex) {
        int digit;
        if (ch >= '0' && ch <= '9')
          digit = ch - '0';
        else if (ch >= 'a' && ch <= 'f')
          digit = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F')
          digit = ch - 'A' + 10;
        else
          return std::nullopt;
        rgb = rgb * 16 + static_cast<uint32_t>(digit);
      }
      c.r = static_cast<uint8_t>(rgb >> 16);
      c.g = static_cast<uint8_t>(rgb >> 8);
      c.b = static_cast<uint8_t>(rgb);
    } else {
      std::optional<int64_t> ref = ParseField(first);
      if (!ref) return std::nullopt;
      const uint32_t v = static_cast<uint32_t>(std::clamp<int64_t>(*ref, 0, 0xFFFFFF));
      c.r = static_cast<uint8_t>(v);
      c.g = static_cast<uint8_t>(v >> 8);
      c.b = static_cast<uint8_t>(v >> 16);
    }
    if (count == 2) {
      std::optional<int64_t> alpha = ParseField(fields.Field(1));
      if (!alpha) return std::nullopt;
      c.a = ClampByte(*alpha);
    }
    return c;
  }
  if (count == 3 || count == 4) {
    int64_t v[4] = {0, 0, 0, 255};
    for (int k = 0; k < count; ++k) {
      std::optional<int64_t> field = ParseField(fields.Field(k));
      if (!field) return std::nullopt;
      v[k] = *field;
    }
    c.r = ClampByte(v[0]);
    c.g = ClampByte(v[1]);
    c.b = ClampByte(v[2]);
    c.a = ClampByte(v[3]);
    return c;
  }
  return std::nullopt;
}

uint32_t EffectTypeOfKindName(std::string_view kindName) {
  for (uint32_t type = kEffectDissolve; type < kEffectCustom; ++type)
    if (SameText(kindName, EffectTypeName(type))) return type;
  return kEffectCustom;
}

uint32_t EffectTypeOfKindIndex(int32_t kindIndex) {
  switch (kindIndex) {
    case kKindDefault:
    case kKindDefOwnTime:
    case kKindQuick:
      return 0;
    case kKindDissolve:
      return kEffectDissolve;
    default:
      if (kindIndex >= kKindHourhand && kindIndex <= kKindSwap)
        return static_cast<uint32_t>(kindIndex - kKindHourhand) + kEffectHourhand;
      return kEffectCustom;
  }
}

TRef<TDaxEffect> BuildBuiltInEffect(uint32_t type, const TEffectProp& entry) {
  if (type < kEffectDissolve || type > kEffectCustom) return nullptr;
  TValues v(entry);
  auto e = MakeRef<TDaxEffect>(type);
  e->name = entry.Name();
  std::vector<bool>& f = e->flags;
  switch (type) {
    case kEffectDissolve:
      f.push_back(v.Boolean("checked", true));
      break;
    case kEffectHourhand:
      v.AppendFlags(f, "action", 2);
      v.AppendFlags(f, "direction", 9);
      e->floatParams = {ToFloat(v.Number("offset", 0))};
      e->SetSmoothness(ini::ParseIniFloat(v.Text("smoothline")).value_or(0.35));
      break;
    case kEffectShapes:
      v.AppendFlags(f, "action", 2);
      v.AppendFlags(f, "direction", 3);
      e->intParams = {v.IntNumber("centerx", 50), v.IntNumber("centery", 50)};
      e->SetSmoothness(ini::ParseIniFloat(v.Text("smoothline")).value_or(0));
      break;
    case kEffectGates:
    case kEffectPage:
      v.AppendFlags(f, "direction", 8);
      e->SetSmoothness(ini::ParseIniFloat(v.Text("smoothline")).value_or(0));
      break;
    case kEffectMosaic:
      f.push_back(v.Boolean("checked", true));
      // "appearence" is the key as the authoring tool spells it.
      e->intParams = {v.IntNumber("cols", 1), v.IntNumber("rows", 1), v.IntNumber("appearence", 0)};
      break;
    case kEffectPush:
    case kEffectSlide:
      v.AppendFlags(f, "direction", {1, 0, 2, 3});
      break;
    case kEffectCurling: {
      v.AppendFlags(f, "action", 2);
      v.AppendFlags(f, "direction", {7, 6, 5, 4, 3, 2, 1, 0});
      f.push_back(v.Boolean("usecolor", false));
      f.push_back(v.Boolean("usevolume", false));
      std::optional<TColorValue> color = ParseColorText(v.Text("color"));
      e->intParams = {v.IntNumber("pipe", 1), static_cast<int32_t>(color ? ColorRef(*color) : 0)};
      e->floatParams = {ToFloat(v.Number("radius", 0)), ToFloat(v.Number("3dvolume", 0.125))};
      break;
    }
    case kEffectFlip:
      v.AppendFlags(f, "direction", {1, 0, 2, 3});
      f.push_back(v.Boolean("spin_center", false));
      f.push_back(v.Boolean("nonlinear_speed", false));
      e->floatParams = {ToFloat(v.Number("3dvolume", 0.5))};
      break;
    case kEffectSwap:
      v.AppendFlags(f, "direction", {1, 0, 2, 3});
      e->floatParams = {ToFloat(v.Number("depth", 4)), ToFloat(v.Number("distance", 1)),
                        ToFloat(v.Number("angle", 60))};
      break;
    case kEffectCustom:
      f.push_back(true);
      break;
  }
  e->variantCount = e->CountVariants();
  if (e->variantCount == 0) return nullptr;
  return e;
}

}  // namespace dax::show
