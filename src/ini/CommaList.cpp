#include "ini/CommaList.h"

#include "ini/IniValue.h"

namespace dax::ini {

TCommaList::TCommaList(std::string text, char separator) : text_(std::move(text)) {
  for (size_t i = 0; i < text_.size(); ++i)
    if (text_[i] == separator) separators_.push_back(static_cast<uint32_t>(i));
}

std::string_view TCommaList::Field(int k) const {
  if (k < 0 || k >= Count()) return {};
  size_t start = k == 0 ? 0 : separators_[static_cast<size_t>(k) - 1] + 1;
  size_t end = static_cast<size_t>(k) < separators_.size() ? separators_[static_cast<size_t>(k)]
                                                           : text_.size();
  return std::string_view(text_).substr(start, end - start);
}

int32_t TCommaList::AsInteger(int k, int32_t def) const {
  return ParseIniInteger(Field(k)).value_or(def);
}

int64_t TCommaList::AsInt64(int k, int64_t def) const {
  return ParseIniInt64(Field(k)).value_or(def);
}

double TCommaList::AsFloat(int k, double def) const {
  return ParseIniFloat(Field(k)).value_or(def);
}

}  // namespace dax::ini
