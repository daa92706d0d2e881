#include "app/CommandsStorage.h"

#include <limits>

#include "foundation/Numbers.h"
#include "foundation/Strings.h"

namespace dax::app {

std::vector<std::string> TokenizeCommandLine(std::string_view commandLine) {
  std::vector<std::string> tokens;
  std::string current;
  bool inToken = false;
  bool quoted = false;
  for (char ch : commandLine) {
    auto code = static_cast<unsigned char>(ch);
    if (ch == '"') {
      quoted = !quoted;
      inToken = true;
      continue;  // every quote is dropped from the token
    }
    if (code <= 32 && !quoted) {
      if (inToken) tokens.push_back(std::move(current));
      current.clear();
      inToken = false;
      continue;
    }
    current.push_back(ch);
    inToken = true;
  }
  if (inToken) tokens.push_back(std::move(current));
  return tokens;
}

TCommandsStorage TCommandsStorage::FromCommandLine(std::string_view commandLine) {
  TCommandsStorage storage;
  storage.AddTokens(TokenizeCommandLine(commandLine));
  return storage;
}

TCommandsStorage TCommandsStorage::FromArguments(const std::vector<std::string>& args) {
  TCommandsStorage storage;
  storage.AddTokens(args);
  return storage;
}

void TCommandsStorage::AddTokens(const std::vector<std::string>& tokens) {
  std::string current;  // plain tokens before the first switch belong to the empty name
  for (const std::string& token : tokens) {
    raw_.push_back(token);
    if (!token.empty() && token[0] == '-') {
      current = token.substr(1);
      TCommand& command = commands_->FindOrAdd(current);
      command.name = current;
      continue;
    }
    TCommand& command = commands_->FindOrAdd(current);
    command.name = current;
    command.values.push_back(token);
  }
}

bool TCommandsStorage::HasSwitch(std::string_view name) const {
  return commands_->Find(AsciiLower(name)) != nullptr;
}

std::optional<std::string> TCommandsStorage::GetSwitchValue(std::string_view name,
                                                            size_t index) const {
  const TCommand* command = commands_->Find(AsciiLower(name));
  if (!command || index >= command->values.size()) return std::nullopt;
  return command->values[index];
}

size_t TCommandsStorage::ValueCount(std::string_view name) const {
  const TCommand* command = commands_->Find(AsciiLower(name));
  return command ? command->values.size() : 0;
}

namespace {
// The arguments the system gives a screen saver: "/s" run, "/c" or "/c:<window>" settings,
// "/p <window>" or "/p:<window>" preview.
bool IsScreenSaverArgument(std::string_view arg, bool& windowFollows) {
  windowFollows = false;
  if (arg.size() < 2 || arg[0] != '/') return false;
  char letter = static_cast<char>(arg[1] | 0x20);
  if (letter != 's' && letter != 'c' && letter != 'p') return false;
  if (arg.size() == 2) {
    windowFollows = letter == 'p';
    return true;
  }
  return letter != 's' && arg[2] == ':' && ParseInt64(arg.substr(3)).has_value();
}
}  // namespace

std::optional<std::string> TCommandsStorage::FirstPlainArgument() const {
  const TCommand* command = commands_->Find("");
  if (!command) return std::nullopt;
  bool skipWindow = false;
  for (const std::string& value : command->values) {
    bool windowFollows = false;
    if (skipWindow && ParseInt64(value)) {
      skipWindow = false;
      continue;
    }
    skipWindow = false;
    if (IsScreenSaverArgument(value, windowFollows)) {
      skipWindow = windowFollows;
      continue;
    }
    return value;
  }
  return std::nullopt;
}

bool TCommandsStorage::HasRawArgument(std::string_view arg) const {
  for (const std::string& raw : raw_)
    if (raw == arg) return true;
  return false;
}

namespace {
// A 32-bit decimal value minus one; a parse error or a value of 0 or less gives 0.
int64_t PositionFrom(const std::string& text) {
  auto value = ParseInt64(text);
  if (!value || *value <= 0 || *value > std::numeric_limits<int32_t>::max()) return 0;
  return *value - 1;
}
}  // namespace

TStartPosition GetStartPosition(const TCommandsStorage& commands) {
  // A "slide" value decides even when it is no number; only without one does "time" count,
  // and then it seeks even to 0.
  if (auto slide = commands.GetSwitchValue("slide")) return {PositionFrom(*slide), false};
  if (auto time = commands.GetSwitchValue("time")) return {PositionFrom(*time), true};
  return {};
}

namespace {
TCommandsStorage& ProcessCommands() {
  static TCommandsStorage commands;
  return commands;
}
}  // namespace

const TCommandsStorage& Commands() {
  return ProcessCommands();
}
void SetCommands(TCommandsStorage commands) {
  ProcessCommands() = std::move(commands);
}

}  // namespace dax::app
