#include "container/PathModifiers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "container/ShowPath.h"
#include "foundation/Strings.h"

namespace dax::container {
namespace {
constexpr size_t kMaxMacroLength = 14;

std::mutex gModifierLock;
TPathModifiersList gActiveModifiers;
std::mutex gProgramFolderLock;
std::string gProgramFolderOverride;

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string EnvValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvValue("HOME");
  return home.empty() ? std::string("/") : home;
}

// XDG base folders: an unset or relative value means the default.
std::string XdgFolder(const char* variable, const char* fallbackUnderHome) {
  std::string v = EnvValue(variable);
  if (!v.empty() && v[0] == '/') return WithSlash(v);
  return WithSlash(JoinPath(HomeFolder(), fallbackUnderHome));
}

std::string KnownFolder(const std::string& upperToken) {
  if (upperToken == "%APPDATA%") return XdgFolder("XDG_CONFIG_HOME", ".config");
  if (upperToken == "%LOCALAPPDATA%") return XdgFolder("XDG_DATA_HOME", ".local/share");
  if (upperToken == "%PROGRAMDATA%") {
    std::string dirs = EnvValue("XDG_DATA_DIRS");
    std::string first = dirs.substr(0, dirs.find(':'));
    return WithSlash(!first.empty() && first[0] == '/' ? first : "/usr/local/share");
  }
  if (upperToken == "%SYSTEMROOT%") {
    std::string v = EnvValue("SYSTEMROOT");
    return WithSlash(!v.empty() && v[0] == '/' ? v : "/");
  }
  if (upperToken == "%TEMP%") return SystemTempFolder();
  return {};
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool CandidateExists(const std::string& candidate) {
  std::string file = candidate.substr(0, candidate.find('|'));
  return ResolveShowFile(file).has_value();
}
}  // namespace

std::string SystemTempFolder() {
  std::string tmp = EnvValue("TMPDIR");
  if (!tmp.empty() && tmp[0] == '/' && IsFolder(tmp)) return WithSlash(tmp);
  return "/tmp/";
}

std::string ProgramFolder() {
  {
    std::lock_guard lock(gProgramFolderLock);
    if (!gProgramFolderOverride.empty()) return gProgramFolderOverride;
  }
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  return FolderOf(std::string(buf, static_cast<size_t>(n)));
}

void SetProgramFolder(const std::string& folder) {
  std::lock_guard lock(gProgramFolderLock);
  gProgramFolderOverride = folder.empty() ? std::string() : WithSlash(ShowNameToPath(folder));
}

std::string NormalizePath(const std::string& path) {
  bool absolute = !path.empty() && path[0] == '/';
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(part);
      }
      continue;
    }
    parts.push_back(part);
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '/';
    out += parts[i];
  }
  return out;
}

std::string ExpandFolderMacros(const std::string& path, bool leadingOnly) {
  std::string out;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t open = path.find('%', pos);
    if (open == std::string::npos || (leadingOnly && open != 0)) break;
    size_t close = path.find('%', open + 1);
    if (close == std::string::npos) break;
    size_t length = close - open + 1;
    std::string folder;
    if (length <= kMaxMacroLength) folder = KnownFolder(AsciiUpper(path.substr(open, length)));
    if (folder.empty()) {
      // Not a macro: keep the first percent sign and look again from the second.
      out += path.substr(pos, close - pos);
      pos = close;
      if (leadingOnly) break;
      continue;
    }
    out += path.substr(pos, open - pos);
    out += folder;
    pos = close + 1;
    if (pos < path.size() && IsSeparator(path[pos])) ++pos;
    if (leadingOnly) break;
  }
  out += path.substr(pos);
  return out;
}

void AddPathModifier(TPathModifiersList& list, const std::string& name, const std::string& folder,
                     bool isDefault) {
  std::string f = ShowNameToPath(ExpandFolderMacros(folder, true));
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  if (f.empty() || f[0] != '/') f = ProgramFolder() + f;
  list.Append({FoldUtf8(name), WithSlash(NormalizePath(f)), isDefault});
}

void InstallPathModifiers(TPathModifiersList list) {
  std::lock_guard lock(gModifierLock);
  gActiveModifiers = std::move(list);
}

TPathModifiersList ActivePathModifiers() {
  std::lock_guard lock(gModifierLock);
  return gActiveModifiers;
}

TPathModifiersList DefaultPathModifiers() {
  TPathModifiersList list;
  AddPathModifier(list, "%styles%", "All\\Themes", false);
  AddPathModifier(list, "%styles%", "%LOCALAPPDATA%\\Korvex\\Styles", true);
  AddPathModifier(list, "%effects%", "All\\Effects", false);
  AddPathModifier(list, "%effects%", "%LOCALAPPDATA%\\Korvex\\Effects", true);
  return list;
}

void InstallDefaultPathModifiers() {
  InstallPathModifiers(DefaultPathModifiers());
}

std::string ApplyPathModifiers(const std::string& name) {
  std::lock_guard lock(gModifierLock);
  if (gActiveModifiers.Count() == 0 || name.find('%') == std::string::npos) return name;
  std::string result = name;
  size_t pos = 0;
  while (pos < result.size()) {
    size_t open = result.find('%', pos);
    if (open == std::string::npos) break;
    size_t close = result.find('%', open + 1);
    if (close == std::string::npos) break;
    std::string token = FoldUtf8(result.substr(open, close - open + 1));
    std::string prefix = result.substr(0, open);
    std::string rest = result.substr(close + 1);
    std::string taken;
    size_t takenEnd = 0;
    for (const TPathModifierItem& item : gActiveModifiers.Items()) {
      if (item.name != token) continue;
      std::string tail = rest;
      if (!tail.empty() && IsSeparator(tail[0])) tail.erase(0, 1);
      std::string candidate = prefix + item.folder + tail;
      if (CandidateExists(candidate)) {
        taken = candidate;
        takenEnd = prefix.size() + item.folder.size();
        break;
      }
      if (item.isDefault) {
        taken = candidate;
        takenEnd = prefix.size() + item.folder.size();
      }
    }
    if (taken.empty()) {
      pos = close;  // the closing sign may open the next token
      continue;
    }
    result = taken;
    pos = takenEnd;
  }
  return result;
}

}  // namespace dax::container
