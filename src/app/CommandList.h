// Command lists of a show ("prog args, other args"): checking and launching them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Services.h"

namespace dax::app {

// Parts split at commas outside double quotes, each trimmed.
std::vector<std::string> SplitCommandList(std::string_view text);

// False when the first word of `part` names a prohibited command, or the part holds shell
// syntax (redirection, pipes, command separators or substitutions).
bool IsCommandAllowed(std::string_view part);

struct TCommandPart {
  std::string program;     // quotes removed
  std::string parameters;  // as written, trimmed
};
TCommandPart SplitCommandPart(std::string_view part);

struct TLaunchContext {
  platform::ILauncher& launcher;
  platform::IMessageSink& messages;
  platform::IWindowHost* window = nullptr;  // made not top-most during a launch
};

constexpr const char* kProhibitedCommandText =
    "Command line contains prohibited command and will not be performed.";

// Checks every part first and launches nothing when one is refused. True when every part
// with a program was launched.
bool RunCommandList(std::string_view text, const std::string& defaultFolder,
                    const TLaunchContext& context);

}  // namespace dax::app
