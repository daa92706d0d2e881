#include "platform/Launcher.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>

extern char** environ;

namespace dax::platform {

namespace {
bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string FindProgram(const std::string& program, const std::string& workingFolder) {
  if (program.empty()) return {};
  if (program[0] == '/') return IsFile(program) ? program : std::string();
  std::string local = workingFolder.empty() ? program : workingFolder + "/" + program;
  if (IsFile(local)) return local;
  if (program.find('/') != std::string::npos) return {};
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string dir = dirs.substr(start, colon - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + program;
      if (IsFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = colon + 1;
  }
  return {};
}

TPosixLauncher::~TPosixLauncher() {
  Reap();
}

int TPosixLauncher::Spawn(const std::string& path, bool searchPath,
                          const std::vector<std::string>& args, const std::string& workingFolder) {
  Reap();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!workingFolder.empty() && IsFolder(workingFolder))
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  pid_t pid = 0;
  int rc = searchPath ? posix_spawnp(&pid, path.c_str(), &actions, nullptr, argv.data(), environ)
                      : posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return rc == ENOENT ? kLaunchFileNotFound : kLaunchFailed;
  children_.push_back(pid);
  return kLaunchOk;
}

int TPosixLauncher::Launch(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workingFolder) {
  std::string path = FindProgram(program, workingFolder);
  if (path.empty()) {
    auto slash = program.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
      std::string folder = program.substr(0, slash);
      if (folder[0] != '/' && !workingFolder.empty()) folder = workingFolder + "/" + folder;
      if (!IsFolder(folder)) return kLaunchPathNotFound;
    }
    return kLaunchFileNotFound;
  }
  if (::access(path.c_str(), X_OK) == 0) return Spawn(path, false, args, workingFolder);
  // A document: its desktop handler opens it.
  return Spawn(opener_, true, {path}, workingFolder);
}

int TPosixLauncher::OpenLink(const std::string& url) {
  return Spawn(opener_, true, {url}, {});
}

void TPosixLauncher::Reap() {
  for (size_t i = 0; i < children_.size();) {
    if (::waitpid(children_[i], nullptr, WNOHANG) != 0) {
      children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void TPosixLauncher::WaitAll() {
  for (pid_t pid : children_) ::waitpid(pid, nullptr, 0);
  children_.clear();
}

}  // namespace dax::platform
