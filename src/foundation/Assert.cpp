#include "foundation/Assert.h"

#include <cstdio>
#include <string_view>

#include "foundation/Log.h"

namespace dax {

std::string AssertionText(const std::string& message, const char* file, int line) {
  std::string_view unit(file ? file : "");
  if (auto pos = unit.find_last_of('/'); pos != std::string_view::npos) unit.remove_prefix(pos + 1);
  return "Asseertion with message: '" + message + "' (" + std::string(unit) +
         ", line: " + std::to_string(line) + ")";
}

std::string ReportAssertion(const std::string& message, const char* file, int line) {
  std::string text = AssertionText(message, file, line);
  Log().Write(text);
  if (Log().Kind() != TLogKind::Stderr) std::fprintf(stderr, "%s\n", text.c_str());
  return text;
}

void AssertFailed(const std::string& message, const char* file, int line) {
  throw EAssertionFailed(ReportAssertion(message, file, line));
}

}  // namespace dax
