// The reader of a packed container: trailer, directory and entry streams.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/ContainerFormat.h"
#include "foundation/RefObject.h"
#include "foundation/Stream.h"
#include "ini/IniFile.h"

namespace dax::container {

inline constexpr char kErrorFileNotFound[] = "Slideshow File not Found";
inline constexpr char kErrorFileModified[] = "Slide-show File Modified";
inline constexpr char kErrorFileDamaged[] = "Slide-show File Damaged";
inline constexpr char kErrorOpenError[] = "Executable SlideShow Open Error";

// Opens one more read handle on the container file; null when it cannot.
using TStreamOpener = std::function<std::unique_ptr<TStream>()>;

struct TEntryInfo {
  std::string name;  // decoded section name
  TPackMethod method = TPackMethod::Stored;
  int64_t position = -1;  // corrected, absolute in the file
  int64_t size = -1;
  bool valid = false;  // position, size and method make sense for this file
};

// The parsed directory.
class TUnpackStruc {
 public:
  explicit TUnpackStruc(TRef<ini::TIniFile> document) : document_(std::move(document)) {}
  const ini::TIniFile& Document() const { return *document_; }
  // The entry's section, found under its encoded name; null when absent.
  const ini::TIniSection* FindEntrySection(const std::string& name) const;

 private:
  TRef<ini::TIniFile> document_;
};

class TDaxUnpack {
 public:
  explicit TDaxUnpack(const std::string& fileName);
  // Reads through `opener` instead of the file system (the name is kept for messages).
  TDaxUnpack(const std::string& fileName, TStreamOpener opener);
  ~TDaxUnpack();
  TDaxUnpack(const TDaxUnpack&) = delete;
  TDaxUnpack& operator=(const TDaxUnpack&) = delete;

  // Usable exactly when the file stream is still open.
  bool Usable() const { return file_ != nullptr; }
  // Empty for a file that is no container, else one of the kError* texts.
  const std::string& ErrorText() const { return errorText_; }
  const std::string& Version() const { return version_; }
  const std::string& FileName() const { return fileName_; }
  int64_t PositionCorrection() const { return correction_; }
  const TContainerTrailer& Trailer() const { return trailer_; }
  const TUnpackStruc* Directory() const { return directory_.get(); }

  // Both "_ps" and "_sz" present; valid tells whether they fit the file.
  std::optional<TEntryInfo> FindEntry(const std::string& name) const;
  // Every entry section in directory order.
  std::vector<TEntryInfo> Entries() const;
  // The entry's bytes (inflated, deciphered) on its own read handle, or null: a missing or
  // bad entry, a bomb past InflatedEntryLimit(), damaged data. Never throws.
  std::unique_ptr<TStream> OpenEntry(const std::string& name, bool withProgress = true) const;

  void Close();

 private:
  void Open();
  TEntryInfo Describe(const std::string& name, const ini::TIniSection& section) const;
  std::unique_ptr<TStream> OpenInfo(const TEntryInfo& info, bool withProgress) const;

  std::string fileName_;
  TStreamOpener opener_;
  std::unique_ptr<TStream> file_;
  TContainerTrailer trailer_;
  int64_t correction_ = 0;
  std::unique_ptr<TUnpackStruc> directory_;
  std::string version_;
  std::string errorText_;
  std::string key_ = kContainerKey;
};

// True, with the "daxversion" text, when the file is a container whose directory reads.
bool ReadContainerVersion(const std::string& fileName, std::string& version);

}  // namespace dax::container
