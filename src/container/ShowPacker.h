// What daxpack does with a show: collect a project's files, write a packed show (separate or
// appended to an executable) and extract entries under safe names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "container/ContainerFormat.h"
#include "container/DaxUnpack.h"

namespace dax::container {

struct TPackInput {
  std::string documentPath;  // packed as "Project.dax"
  // (entry name, disk path), in packing order, names unique without regard to case
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> warnings;
};

struct TPackOptions {
  TPackMethod method = TPackMethod::Deflate;
  bool allowModify = false;
  std::string appendTo;  // an executable to copy in front of the container
};

// A ".dax" project file with the files its document names (relative to the project's folder),
// or a folder with "Project.dax" and every regular file below it. Error text on failure.
std::optional<TPackInput> CollectPackInput(const std::string& source, std::string& error);

// The method an entry of `size` bytes is written with: the player refuses to inflate an entry
// past InflatedEntryLimit(), so such an entry is stored instead of deflated.
TPackMethod EntryPackMethod(TPackMethod requested, int64_t size);

// Writes the packed show to outPath (through a temporary file, renamed at the end). Returns an
// error text, empty on success. Entries written otherwise than asked get a line in notes.
std::string WritePackedShow(const TPackInput& input, const TPackOptions& options,
                            const std::string& outPath, std::vector<std::string>* notes = nullptr);

// The relative disk path an entry name may be extracted to: "\" and "/" separate, absolute
// prefixes, drive letters, "." and ".." are dropped, control characters become "_". Empty
// when nothing remains.
std::string SafeExtractPath(std::string_view entryName);

// Extracts every entry below folder (created when missing) without following links. Returns
// the number of entries written; problems get one line each.
int ExtractShow(const TDaxUnpack& unpack, const std::string& folder,
                std::vector<std::string>& problems);

}  // namespace dax::container
