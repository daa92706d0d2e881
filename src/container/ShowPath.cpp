#include "container/ShowPath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "foundation/Strings.h"

namespace dax::container {
namespace {
bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `component` without regard to case; the smallest
// such name when several match, so the choice does not depend on directory order.
std::optional<std::string> MatchInFolder(const std::string& folder, const std::string& component) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (dirent* e = ::readdir(dir)) {
    std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    if (SameText(name, component) && (!best || name < *best)) best = std::string(name);
  }
  ::closedir(dir);
  return best;
}
}  // namespace

std::string ShowNameToPath(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::optional<std::string> ResolveShowPath(std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string path = ShowNameToPath(name);
  if (Exists(path)) return path;
  std::string resolved;
  size_t pos = 0;
  if (path[0] == '/') {
    resolved = "/";
    pos = 1;
  }
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string component = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (component.empty()) continue;
    std::string candidate = resolved + component;
    if (component != "." && component != ".." && !Exists(candidate)) {
      std::optional<std::string> match = MatchInFolder(resolved, component);
      if (!match) return std::nullopt;
      candidate = resolved + *match;
    }
    resolved = candidate;
    if (pos <= path.size()) resolved += '/';
  }
  if (resolved.empty() || !Exists(resolved)) return std::nullopt;
  return resolved;
}

std::optional<std::string> ResolveShowFile(std::string_view name) {
  std::optional<std::string> path = ResolveShowPath(name);
  struct stat st;
  if (!path || ::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return path;
}

std::string FolderOf(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) return {};
  std::string folder(path.substr(0, slash + 1));
  if (folder.back() == '\\') folder.back() = '/';
  return folder;
}

std::string FileNamePart(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return std::string(name);
  if (folder.empty()) return std::string(name);
  std::string out(folder);
  if (out.back() != '/' && out.back() != '\\') out += '/';
  out += name;
  return out;
}

}  // namespace dax::container
