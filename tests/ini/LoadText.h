// A document parsed from text, for the INI suites.
#pragma once

#include <string_view>

#include "ini/IniFile.h"

namespace dax::ini {

inline TRef<TIniFile> Load(std::string_view text) {
  auto file = MakeRef<TIniFile>();
  file->LoadFromText(text);
  return file;
}

}  // namespace dax::ini
