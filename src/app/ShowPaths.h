// File names of shows: resolving against the program's folder, extensions, bundles.
#pragma once

#include <string>
#include <string_view>

namespace dax::app {

std::string FolderOf(const std::string& path);  // without the trailing "/"
std::string FileNameOf(const std::string& path);
std::string ExtensionOf(const std::string& path);  // with the dot, as written
std::string ChangeExtension(const std::string& path, std::string_view extension);
bool FileExists(const std::string& path);  // a regular file

// "\" becomes "/"; a relative name is taken from `folder` ("..\" steps go up from it); "."
// and ".." are folded; when that exact path is missing, each component is matched without
// regard to case.
std::string ResolveAgainstFolder(const std::string& folder, const std::string& name);

// The relative path from folder `base` to folder `target` ("" when equal).
std::string RelativeFolder(const std::string& base, const std::string& target);

// Maps a show name to the file that holds it: ".app" bundles to their slideshow.dat (or the
// ".dxshow" beside them); the built name of the open project and other names unchanged.
std::string ResolveShowFile(const std::string& name);

}  // namespace dax::app
