// File sources with the show's name map ("FileMap") and picture orientations
// ("RotationState"): on disk for project files, and on a packed container.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "container/DaxUnpack.h"
#include "container/FileSource.h"
#include "foundation/HashList.h"
#include "ini/IniFile.h"

namespace dax::container {

inline constexpr char kFileMapSection[] = "FileMap";
inline constexpr char kRotationStateSection[] = "RotationState";
// FileMap targets are followed at most this many steps; a longer chain or a cycle opens nothing.
inline constexpr int kMaxFileMapDepth = 16;

// Splits one "FileMap" line: a leading ";" is dropped, the line splits at the first "="
// outside double quotes, both sides are trimmed and lose one pair of surrounding double quotes.
// Nothing when there is no such "=" or a side is empty.
std::optional<std::pair<std::string, std::string>> SplitFileMapLine(std::string_view line);

// The lines of the document's "FileMap" sections as written, from the document's bytes (any
// encoding the INI reader takes). A parsed key line has lost the blanks around its first "=",
// which may lie inside a quoted name.
std::vector<std::string> FileMapLines(std::string_view documentBytes);

struct TMappingStr {
  std::string target;
};

class TMappedFileSource : public TFileSource {
 public:
  // Relative disk names count from rootFolder (the project's folder).
  explicit TMappedFileSource(std::string rootFolder = {});

  // Reads the sections "FileMap" (from documentBytes, the document as stored: FileMapLines)
  // and "RotationState" of the show document. Call before the source is shared.
  void LoadMaps(const ini::TIniFile& document, std::string_view documentBytes);
  // One line of "FileMap" (SplitFileMapLine); the left side maps to the right.
  void AddFileMapLine(std::string_view line);
  // One comment line of "RotationState": ;"name"=n with n one of 1, 3, 6, 8.
  void AddRotationLine(std::string_view line);

  // The first target of a name, when the map has it.
  std::optional<std::string> MappedName(const std::string& name) const;
  // EXIF orientation recorded for a name; 1 when none.
  int RotationOf(const std::string& name) const;
  size_t RotationCount() const { return rotation_->Count(); }
  const std::string& RootFolder() const { return rootFolder_; }

 protected:
  std::unique_ptr<TStream> DoOpenRawStream(const std::string& name,
                                           std::unique_lock<std::mutex>& openLock) final;
  // Opening after the map: the disk variant handles "|" and the path modifiers.
  virtual std::unique_ptr<TStream> OpenUnmapped(const std::string& name,
                                                std::unique_lock<std::mutex>& openLock);

 private:
  std::string rootFolder_;
  THashList<std::vector<TMappingStr>> fileMap_{251};
  // Shared with the orientation provider, which may outlive the source inside a picture store.
  std::shared_ptr<THashList<int>> rotation_ = std::make_shared<THashList<int>>(251);
};

class TPackedFileSource : public TMappedFileSource {
 public:
  explicit TPackedFileSource(std::shared_ptr<TDaxUnpack> unpack);
  TDaxUnpack& Unpack() const { return *unpack_; }

 protected:
  // Without the source's lock: a whole deflated entry is inflated here, and the reader opens
  // entries from several threads at once.
  std::unique_ptr<TStream> OpenUnmapped(const std::string& name,
                                        std::unique_lock<std::mutex>& openLock) override;

 private:
  std::shared_ptr<TDaxUnpack> unpack_;
};

}  // namespace dax::container
