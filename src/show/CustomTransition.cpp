#include "show/CustomTransition.h"

namespace dax::show {

TCustomSlideTransition ReadCustomSlideTransition(const ini::TIniSection& description) {
  TCustomSlideTransition t;
  t.length = description.ReadInteger("CustomEffTime", 2000);
  t.coverMode = description.ReadBool("CoverMode", true);
  t.transparentBackground = description.ReadBool("TransparentBg", false);
  t.background = description.ReadInteger("CustomEffBg", 0);
  return t;
}

}  // namespace dax::show
