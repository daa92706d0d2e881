// The one mapping from a show's file names ("\" separators, any letter case) to disk paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dax::container {

// "\" -> "/".
std::string ShowNameToPath(std::string_view name);

// The disk path a show name means: "\" becomes "/"; when that path does not exist, each
// component is matched without regard to case. Nothing when no such path exists.
std::optional<std::string> ResolveShowPath(std::string_view name);

// ResolveShowPath, and the result is a regular file (links followed).
std::optional<std::string> ResolveShowFile(std::string_view name);

// The folder part of a path, with a trailing "/" ("" for a bare name).
std::string FolderOf(std::string_view path);
// The part after the last "/" or "\".
std::string FileNamePart(std::string_view path);
// Joins a folder and a name with exactly one "/" between them; an absolute name stays as is.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace dax::container
