// Small show documents built in code for the show-model tests.
#pragma once

#include <string>
#include <string_view>

#include "foundation/RefObject.h"
#include "ini/IniFile.h"
#include "show/DaxSource.h"

namespace dax::show::test {

inline TRef<ini::TIniFile> Doc(std::string_view text) {
  auto doc = MakeRef<ini::TIniFile>();
  doc->LoadFromText(text);
  return doc;
}

// Stands in for the show's file accessor, which the source only keeps.
class TNoFiles : public TRefObject {};

inline TRef<TDaxSource> Source(std::string_view text, const std::string& program = "daxviewer") {
  return MakeRef<TDaxSource>(MakeRef<TNoFiles>(), Doc(text), program);
}

}  // namespace dax::show::test
