// Runs a shell command line for tests that drive the built programs.
#pragma once

#include <string>

namespace dax::test {

// What the command writes on stdout; its exit status in `rc` (-1 when it did not exit).
std::string RunCommand(const std::string& command, int& rc);

}  // namespace dax::test
