// The single-instance guard: an flock on a lock file in the user's runtime folder.
#pragma once

#include <string>

#include "platform/Services.h"

namespace dax::platform {

// "Instance_ID" + the decimal lengths of the full path, its folder (with the trailing "/")
// and its file name, then the file name.
std::string InstanceLockName(const std::string& programPath);
// $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp.
std::string InstanceLockFolder();

class TInstanceLock : public IInstanceLock {
 public:
  explicit TInstanceLock(std::string lockPath);
  ~TInstanceLock() override;
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  // Tries the lock without waiting; once taken it is held until destruction.
  bool AnotherInstanceRuns() override;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace dax::platform
