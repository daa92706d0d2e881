// Starts programs with posix_spawn (an argument vector, never a shell) and opens links and
// documents with the desktop's opener.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/Services.h"

namespace dax::platform {

class TPosixLauncher : public ILauncher {
 public:
  explicit TPosixLauncher(std::string opener = "xdg-open") : opener_(std::move(opener)) {}
  ~TPosixLauncher() override;

  int Launch(const std::string& program, const std::vector<std::string>& args,
             const std::string& workingFolder) override;
  int OpenLink(const std::string& url) override;

  // Waits for every program started so far (tests).
  void WaitAll();

 private:
  int Spawn(const std::string& path, bool searchPath, const std::vector<std::string>& args,
            const std::string& workingFolder);
  void Reap();

  std::string opener_;
  std::vector<pid_t> children_;
};

// The full path `program` names: absolute, relative to `workingFolder`, or found on PATH.
// Empty when there is no such file.
std::string FindProgram(const std::string& program, const std::string& workingFolder);

}  // namespace dax::platform
