#include "container/TempFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <vector>

#include "container/PathModifiers.h"
#include "foundation/Assert.h"
#include "foundation/Log.h"

namespace dax::container {
namespace {
constexpr char kLockSuffix[] = ".lock";
constexpr int kMaxRemoveDepth = 256;
constexpr int kMaxNameTries = 100;

// From the system's entropy, not the show's random service: making a folder must not move a
// seeded show's sequence, and every run needs names of its own.
void FillRandom(uint8_t* b, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = ::getrandom(b + got, n - got, 0);
    if (r > 0) {
      got += static_cast<size_t>(r);
    } else if (r < 0 && errno != EINTR) {
      break;
    }
  }
  if (got == n) return;
  std::random_device device;
  for (size_t i = got; i < n; ++i) b[i] = static_cast<uint8_t>(device());
}

std::string NewGuidText() {
  static constexpr char kHex[] = "0123456789ABCDEF";
  uint8_t b[16];
  FillRandom(b, sizeof b);
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
  std::string out;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[b[i] >> 4];
    out += kHex[b[i] & 15];
  }
  return out;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Opens a root candidate: created 0700 when missing; refused when it is a link, not a folder
// or not ours. Returns the folder's descriptor or -1.
int OpenSafeRoot(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    return -1;
  }
  if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int64_t AgeSeconds(const struct stat& st) {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) - static_cast<int64_t>(st.st_mtim.tv_sec);
}

bool RemoveTreeAtDepth(int parentFd, const std::string& name, int depth) {
  struct stat st;
  if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(parentFd, name.c_str(), 0) == 0;
  if (depth > kMaxRemoveDepth) return false;
  int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  std::vector<std::string> children;
  while (dirent* e = ::readdir(dir)) {
    std::string child = e->d_name;
    if (child != "." && child != "..") children.push_back(child);
  }
  bool ok = true;
  for (const std::string& child : children)
    ok = RemoveTreeAtDepth(::dirfd(dir), child, depth + 1) && ok;
  ::closedir(dir);
  return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

// An empty lock file, so that a later run retries the removal.
void RecreateLockFile(int rootFd, const std::string& lockName) {
  int fd = ::openat(rootFd, lockName.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}
}  // namespace

bool RemoveTreeAt(int parentFd, const std::string& name) {
  return RemoveTreeAtDepth(parentFd, name, 0);
}

TTempFolderManager::TTempFolderManager(std::string systemTemp, int minStaleAgeSeconds)
    : systemTemp_(std::move(systemTemp)), minStaleAgeSeconds_(minStaleAgeSeconds) {}

TTempFolderManager::~TTempFolderManager() {
  RemoveOwnFolders();
  if (rootFd_ >= 0) ::close(rootFd_);
}

void TTempFolderManager::EstablishRoot() {
  std::string base = systemTemp_.empty() ? SystemTempFolder() : systemTemp_;
  if (base.back() != '/') base += '/';
  std::string path = base + kVendorTempFolder;
  int fd = OpenSafeRoot(path);
  if (fd < 0) {
    // Someone else's or a planted link: use a name of our own.
    path = base + kVendorTempFolder + "-" + std::to_string(::geteuid());
    fd = OpenSafeRoot(path);
  }
  if (fd < 0) AssertFailed("VendorTemp Create Error: " + path, __FILE__, __LINE__);
  rootFd_ = fd;
  root_ = path + "/";
}

std::string TTempFolderManager::TempRoot() {
  {
    std::lock_guard lock(lock_);
    if (!root_.empty()) return root_;
    EstablishRoot();
  }
  CleanStaleFolders();
  struct stat st;
  std::lock_guard lock(lock_);
  if (::fstat(rootFd_, &st) != 0 || st.st_nlink == 0)
    AssertFailed("Temp Path not Found", __FILE__, __LINE__);
  return root_;
}

std::string TTempFolderManager::NewTempFolder(bool trailingSlash) {
  std::string root = TempRoot();
  std::lock_guard lock(lock_);
  for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
    std::string name = "[" + NewGuidText() + "]";
    std::string lockName = name + kLockSuffix;
    // The lock file comes first and is held before the folder exists, so a concurrent
    // clean-up never sees a folder whose lock is free.
    int lockFd = ::openat(rootFd_, lockName.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd < 0) continue;
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
      ::close(lockFd);
      ::unlinkat(rootFd_, lockName.c_str(), 0);
      continue;
    }
    if (::mkdirat(rootFd_, name.c_str(), 0700) != 0) {
      ::unlinkat(rootFd_, lockName.c_str(), 0);
      ::close(lockFd);
      continue;
    }
    folders_[name] = lockFd;
    return root + name + (trailingSlash ? "/" : "");
  }
  AssertFailed("VendorTemp Create Error: " + root, __FILE__, __LINE__);
}

int TTempFolderManager::CleanStaleFolders() {
  std::lock_guard lock(lock_);
  if (rootFd_ < 0) return 0;
  int dupFd = ::dup(rootFd_);
  if (dupFd < 0) return 0;
  DIR* dir = ::fdopendir(dupFd);
  if (!dir) {
    ::close(dupFd);
    return 0;
  }
  ::rewinddir(dir);
  std::vector<std::string> lockNames;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (EndsWith(name, kLockSuffix) && name.size() > sizeof(kLockSuffix) - 1)
      lockNames.push_back(name);
  }
  ::closedir(dir);
  int removed = 0;
  for (const std::string& lockName : lockNames) {
    std::string folder = lockName.substr(0, lockName.size() - (sizeof(kLockSuffix) - 1));
    if (folders_.count(folder)) continue;
    int fd = ::openat(rootFd_, lockName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat lockStat;
    // A held lock means a running instance; a fresh one may be a folder being made now.
    bool skip = ::fstat(fd, &lockStat) != 0 || !S_ISREG(lockStat.st_mode) ||
                ::flock(fd, LOCK_EX | LOCK_NB) != 0 || AgeSeconds(lockStat) < minStaleAgeSeconds_;
    struct stat folderStat;
    if (!skip && ::fstatat(rootFd_, folder.c_str(), &folderStat, AT_SYMLINK_NOFOLLOW) == 0 &&
        AgeSeconds(folderStat) < minStaleAgeSeconds_)
      skip = true;
    if (skip) {
      ::close(fd);
      continue;
    }
    ::unlinkat(rootFd_, lockName.c_str(), 0);
    if (RemoveTreeAt(rootFd_, folder)) {
      ++removed;
    } else {
      RecreateLockFile(rootFd_, lockName);
      TLogLine("Temp folder clean-up failed: ").Add(root_ + folder);
    }
    ::close(fd);
  }
  return removed;
}

void TTempFolderManager::RemoveOwnFolders() {
  std::lock_guard lock(lock_);
  for (auto& [name, lockFd] : folders_) {
    std::string lockName = name + kLockSuffix;
    if (lockFd >= 0) ::close(lockFd);
    lockFd = -1;
    if (::unlinkat(rootFd_, lockName.c_str(), 0) != 0 && errno != ENOENT) continue;
    if (!RemoveTreeAt(rootFd_, name)) RecreateLockFile(rootFd_, lockName);
  }
  folders_.clear();
}

TTempFolderManager& TempFolders() {
  static TTempFolderManager manager;
  return manager;
}

}  // namespace dax::container
