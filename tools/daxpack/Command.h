// daxpack's subcommands: each file *Command.cpp registers one or more with DAXPACK_COMMAND.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dax::daxpack {

// args excludes the program and subcommand names. Returns the process exit code. Errors are
// written to stderr by the command.
using TCommandFn = std::function<int(const std::vector<std::string>& args)>;

struct TCommandInfo {
  std::string name;
  std::string usage;  // one or more lines, shown by "daxpack help"
  TCommandFn run;
};

bool RegisterCommand(TCommandInfo info);

}  // namespace dax::daxpack

#define DAXPACK_CONCAT2(a, b) a##b
#define DAXPACK_CONCAT(a, b) DAXPACK_CONCAT2(a, b)
#define DAXPACK_COMMAND(name, usage, fn)                         \
  static const bool DAXPACK_CONCAT(kRegistered_, __LINE__) =     \
      ::dax::daxpack::RegisterCommand({name, usage, fn})
