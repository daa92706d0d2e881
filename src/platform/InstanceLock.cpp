#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace dax::platform {

std::string InstanceLockName(const std::string& programPath) {
  auto slash = programPath.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : programPath.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  return "Instance_ID" + std::to_string(programPath.size()) + std::to_string(folder.size()) +
         std::to_string(file.size()) + file;
}

std::string InstanceLockFolder() {
  for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "/tmp";
}

TInstanceLock::TInstanceLock(std::string lockPath) : path_(std::move(lockPath)) {}

TInstanceLock::~TInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool TInstanceLock::AnotherInstanceRuns() {
  if (held_) return false;
  if (fd_ < 0) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // Without a lock file there is nothing to guard with; do not refuse the show for it.
    if (fd_ < 0) return false;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    held_ = true;
    return false;
  }
  return errno == EWOULDBLOCK;
}

}  // namespace dax::platform
