// Percent-sign tokens at the start of file names ("%styles%\...") rewritten to folders, the
// known-folder macros ("%LOCALAPPDATA%" ...) mapped to XDG folders, and the temp folder.
#pragma once

#include <string>
#include <vector>

namespace dax::container {

struct TPathModifierItem {
  std::string name;    // case-folded, e.g. "%styles%"
  std::string folder;  // absolute, trailing "/"
  bool isDefault = false;
};

class TPathModifiersList {
 public:
  const std::vector<TPathModifierItem>& Items() const { return items_; }
  size_t Count() const { return items_.size(); }
  void Append(TPathModifierItem item) { items_.push_back(std::move(item)); }

 private:
  std::vector<TPathModifierItem> items_;
};

// The name is case-folded; the folder loses a trailing separator, has a leading known-folder
// macro expanded and is resolved against the program's folder ("..\" steps go up).
void AddPathModifier(TPathModifiersList& list, const std::string& name, const std::string& folder,
                     bool isDefault);
// Replaces the process's active list as a whole.
void InstallPathModifiers(TPathModifiersList list);
TPathModifiersList ActivePathModifiers();
// "%styles%" -> program's "All/Themes" then the user's styles folder; "%effects%" likewise.
TPathModifiersList DefaultPathModifiers();
void InstallDefaultPathModifiers();

// Rewrites the tokens of a name with the active list: a candidate that exists is taken and
// ends the search for that token; a missing one is taken anyway from a default item.
std::string ApplyPathModifiers(const std::string& name);

// Replaces known "%TOKEN%" macros (at most 14 characters with both percent signs, letters in
// any case) and one separator after them by the folder with a trailing "/". With leadingOnly
// only a token at the very start counts.
std::string ExpandFolderMacros(const std::string& path, bool leadingOnly);

// $TMPDIR when it is an existing folder, else /tmp; with a trailing "/".
std::string SystemTempFolder();

// The folder of the running program, with a trailing "/". Tests may override it.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);  // empty restores the real one

// Turns "a/b/../c" into "a/c" and removes "." components; leading ".." of relative paths stay.
std::string NormalizePath(const std::string& path);

}  // namespace dax::container
