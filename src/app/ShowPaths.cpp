#include "app/ShowPaths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "container/ShowLocator.h"
#include "container/ShowPath.h"
#include "foundation/Strings.h"

namespace dax::app {

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  std::string name = FileNameOf(path);
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeExtension(const std::string& path, std::string_view extension) {
  std::string ext = ExtensionOf(path);
  return path.substr(0, path.size() - ext.size()) + std::string(extension);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {
bool PathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part.empty() || part == ".") {
    } else if (part == "..") {
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
    } else {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  return parts;
}

std::string MatchComponent(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return name;
  std::string found = name;
  while (dirent* entry = ::readdir(dir)) {
    if (SameText(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}
}  // namespace

std::string ResolveAgainstFolder(const std::string& folder, const std::string& name) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  bool absolute = !path.empty() && path[0] == '/';
  if (!absolute) path = folder + "/" + path;
  bool rooted = !path.empty() && path[0] == '/';
  std::vector<std::string> parts = Components(path);
  std::string joined = rooted ? "" : ".";
  for (const std::string& part : parts) joined += "/" + part;
  if (joined.empty()) joined = "/";
  if (PathExists(joined)) return joined;
  std::string matched = rooted ? "" : ".";
  for (const std::string& part : parts) matched += "/" + MatchComponent(matched, part);
  return matched.empty() ? "/" : matched;
}

std::string RelativeFolder(const std::string& base, const std::string& target) {
  std::vector<std::string> from = Components(base), to = Components(target);
  size_t common = 0;
  while (common < from.size() && common < to.size() && SameText(from[common], to[common])) ++common;
  std::string rel;
  for (size_t i = common; i < from.size(); ++i) rel += rel.empty() ? ".." : "/..";
  for (size_t i = common; i < to.size(); ++i) rel += (rel.empty() ? "" : "/") + to[i];
  return rel;
}

std::string ResolveShowFile(const std::string& name) {
  container::TReplacePair pair = container::ReplacePair();
  // The built name is kept as the show wrote it; names here may already have "/" for "\".
  if (!pair.projectPath.empty() &&
      SameText(container::ShowNameToPath(name), container::ShowNameToPath(pair.exeName)))
    return name;
  std::string ext = ExtensionOf(name);
  if (SameText(ext, ".exe")) return name;
  if (SameText(ext, ".app")) {
    std::string candidate = name + "/Contents/Resources/slideshow.dat";
    if (FileExists(candidate)) return candidate;
    return ChangeExtension(name, ".dxshow");
  }
  return name;
}

}  // namespace dax::app
