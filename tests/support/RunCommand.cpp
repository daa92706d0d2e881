#include "support/RunCommand.h"

#include <sys/wait.h>

#include <cstdio>

namespace dax::test {

std::string RunCommand(const std::string& command, int& rc) {
  std::string out;
  rc = -1;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  int status = ::pclose(pipe);
  rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

}  // namespace dax::test
