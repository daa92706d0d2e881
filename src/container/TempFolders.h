// Private temporary folders under the system temp folder: each run's folders carry a lock
// file held (flock) until exit, so that a clean-up by another run leaves them alone.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace dax::container {

inline constexpr char kVendorTempFolder[] = "KORVEX_TEMP_ROOT";

class TTempFolderManager {
 public:
  // systemTemp: the folder the root goes into (default: SystemTempFolder()). Folders whose
  // lock is free but that are younger than minStaleAgeSeconds are not cleaned up.
  explicit TTempFolderManager(std::string systemTemp = {}, int minStaleAgeSeconds = 10);
  ~TTempFolderManager();  // removes this manager's folders
  TTempFolderManager(const TTempFolderManager&) = delete;
  TTempFolderManager& operator=(const TTempFolderManager&) = delete;

  // Established once: created mode 0700, refused when it is a link or another user's (then
  // "KORVEX_TEMP_ROOT-<uid>" is used); stale folders of earlier runs are removed. Fatal
  // assertion "VendorTemp Create Error: " + path when no safe root can be made.
  std::string TempRoot();
  // A new empty folder "[GUID]" inside the root with its held lock file "[GUID].lock".
  std::string NewTempFolder(bool trailingSlash = true);
  // Stale-folder clean-up (also run once by TempRoot); returns the folders removed.
  int CleanStaleFolders();
  // Closes the lock files and removes this manager's folders (also done on destruction).
  void RemoveOwnFolders();

 private:
  void EstablishRoot();

  std::mutex lock_;
  std::string systemTemp_;
  int minStaleAgeSeconds_;
  std::string root_;  // with trailing "/"
  int rootFd_ = -1;
  std::map<std::string, int> folders_;  // folder name -> open lock file (-1 when none)
};

// The process's manager, on the system temp folder.
TTempFolderManager& TempFolders();

// Removes a folder and everything in it without following links; false when some of it stays.
bool RemoveTreeAt(int parentFd, const std::string& name);

}  // namespace dax::container
