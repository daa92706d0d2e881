// daxpack: packs, lists, extracts and inspects shows.
#include <cstdio>
#include <exception>
#include <map>

#include "Command.h"
#include "container/PathModifiers.h"
#include "foundation/Memory.h"

namespace dax::daxpack {
namespace {
std::map<std::string, TCommandInfo>& Commands() {
  static std::map<std::string, TCommandInfo> commands;
  return commands;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: daxpack COMMAND [ARGS]\n\ncommands:\n");
  for (auto& [name, info] : Commands()) std::fprintf(out, "  %s\n", info.usage.c_str());
}
}  // namespace

bool RegisterCommand(TCommandInfo info) {
  std::string name = info.name;
  return Commands().emplace(name, std::move(info)).second;
}

}  // namespace dax::daxpack

int main(int argc, char** argv) {
  using namespace dax::daxpack;
  dax::KeepFreedMemory();
  dax::container::InstallDefaultPathModifiers();
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  std::string name = argv[1];
  if (name == "help" || name == "-h" || name == "--help") {
    PrintUsage(stdout);
    return 0;
  }
  auto it = Commands().find(name);
  if (it == Commands().end()) {
    std::fprintf(stderr, "daxpack: unknown command \"%s\"\n", name.c_str());
    PrintUsage(stderr);
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return it->second.run(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
