// The parsed command line: switches with their values, plus the raw argument list.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/HashList.h"

namespace dax::app {

struct TCommand {
  std::string name;
  std::vector<std::string> values;  // one TCommandItem each
};

// Splits a raw command line: blanks (code 32 or less) separate tokens outside double quotes;
// a quote toggles the quoted state and is dropped from the token.
std::vector<std::string> TokenizeCommandLine(std::string_view commandLine);

class TCommandsStorage {
 public:
  static constexpr size_t kBucketCount = 251;

  TCommandsStorage() = default;
  // A raw command line (as inside a show's command texts).
  static TCommandsStorage FromCommandLine(std::string_view commandLine);
  // Arguments the system already split (argv without the program name).
  static TCommandsStorage FromArguments(const std::vector<std::string>& args);

  // Switch names are matched exactly; the getters lower-case the name they are asked for.
  bool HasSwitch(std::string_view name) const;
  std::optional<std::string> GetSwitchValue(std::string_view name, size_t index = 0) const;
  size_t ValueCount(std::string_view name) const;
  bool HasRawArgument(std::string_view arg) const;
  const std::vector<std::string>& RawArguments() const { return raw_; }

  // The first plain argument before any switch (the show named on the command line); the
  // screen-saver arguments ("/s", "/c", "/p <window>") are no show name.
  std::optional<std::string> FirstPlainArgument() const;

  TCommandsStorage(TCommandsStorage&&) = default;
  TCommandsStorage& operator=(TCommandsStorage&&) = default;

 private:
  void AddTokens(const std::vector<std::string>& tokens);

  // THashList itself does not move; the storage moves it through the pointer.
  std::unique_ptr<THashList<TCommand>> commands_ =
      std::make_unique<THashList<TCommand>>(kBucketCount);
  std::vector<std::string> raw_;
};

struct TStartPosition {
  int64_t position = 0;  // slide index (0-based) or milliseconds
  bool isTime = false;
};

// Switch "slide" first, then "time"; a value that is no decimal integer, or 0 or less,
// counts as absent. The result is the value minus one.
TStartPosition GetStartPosition(const TCommandsStorage& commands);

// The process-wide command line, set once at start-up.
const TCommandsStorage& Commands();
void SetCommands(TCommandsStorage commands);

}  // namespace dax::app
