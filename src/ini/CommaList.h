// A value cut at a separator byte: fields are the bytes between separators, untrimmed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dax::ini {

class TCommaList {
 public:
  TCommaList() = default;
  // An empty text has no fields; a text without separators has one.
  TCommaList(std::string text, char separator = ',');

  int Count() const { return text_.empty() ? 0 : static_cast<int>(separators_.size()) + 1; }
  // Field k (0-based); empty for a k out of range.
  std::string_view Field(int k) const;
  std::string AsString(int k) const { return std::string(Field(k)); }
  int32_t AsInteger(int k, int32_t def) const;
  int64_t AsInt64(int k, int64_t def) const;
  double AsFloat(int k, double def) const;
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  std::vector<uint32_t> separators_;
};

}  // namespace dax::ini
